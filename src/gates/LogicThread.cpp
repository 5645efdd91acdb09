#include "LogicThread.h"

#include "UpdateDispatcher.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

// Workers do nothing but wait; a small stack keeps thousands of gates cheap.
constexpr std::size_t WorkerStackSize = 256 * 1024;

// Every gate holds a timer descriptor; networks of thousands of gates need more than the usual
// soft limit, so it is raised once to what the system allows.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int CreateTimer() {
    int timer = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    if (timer < 0 && (errno == EMFILE || errno == ENFILE)) {
        RaiseDescriptorLimit();
        timer = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    }
    if (timer < 0)
        throw std::system_error(errno, std::generic_category(), "Cannot create a gate's timer");
    return timer;
}

} // namespace

std::shared_ptr<TLogicalThread> TLogicalThread::Create() {
    std::shared_ptr<TUpdateDispatcher> dispatcher = TUpdateDispatcher::Instance();
    std::shared_ptr<TLogicalThread> thread(new TLogicalThread(dispatcher, CreateTimer()));

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, WorkerStackSize);
    auto *reference = new std::shared_ptr<TLogicalThread>(thread);
    dispatcher->ThreadStarted(thread.get());
    pthread_t id;
    const int error = pthread_create(&id, &attributes, &TLogicalThread::Run, reference);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete reference;
        dispatcher->ThreadEnded(thread.get());
        throw std::system_error(error, std::generic_category(), "Cannot start a gate's thread");
    }
    return thread;
}

TLogicalThread::TLogicalThread(std::shared_ptr<TUpdateDispatcher> dispatcher, int timer)
    : FDispatcher(std::move(dispatcher)), FTimer(timer) {}

TLogicalThread::~TLogicalThread() { close(FTimer); }

void *TLogicalThread::Run(void *reference) {
    std::shared_ptr<TLogicalThread> self = std::move(*static_cast<std::shared_ptr<TLogicalThread> *>(reference));
    delete static_cast<std::shared_ptr<TLogicalThread> *>(reference);
    // Idle priority: the gates get processor time only when nothing else wants it.
    sched_param parameter{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &parameter);
    self->Execute();
    self->FDispatcher->ThreadEnded(self.get());
    return nullptr;
}

void TLogicalThread::Execute() {
    std::uint32_t state = FState.load();
    for (;;) {
        if (state & Terminating) break;
        if (state & Suspending) {
            WaitWhilePaused();
            state = FState.load();
            continue;
        }
        // Only the worker leaves Waiting and Sleeping; a pause or stop that comes first wins.
        if (!FState.compare_exchange_weak(state, (state & ~PhaseMask) | Requested)) continue;
        // One request per thread in the queue: a request still waiting there from before a
        // pause serves this cycle too.
        if (!FQueued.exchange(true)) {
            FKeepAlive = shared_from_this();
            FDispatcher->Post(this);
        }
        // The GUI thread arms the timer once the evaluation has run (or at once when it is
        // cancelled), so the wait for the evaluation and the sleep are one block.
        SleepOnTimer();
        state = FState.load();
    }
    FState.fetch_or(Ended);
}

void TLogicalThread::WaitWhilePaused() {
    std::unique_lock lock(FMutex);
    FWake.wait(lock, [this] {
        const std::uint32_t state = FState.load();
        return !(state & Suspending) || (state & Terminating);
    });
}

void TLogicalThread::SleepOnTimer() {
    std::uint64_t expirations;
    while (read(FTimer, &expirations, sizeof expirations) < 0 && errno == EINTR) {
    }
}

void TLogicalThread::ArmTimer(std::int32_t milliseconds) {
    // Relative to the moment of arming, which is after the evaluation. A zero time would
    // disarm the timer instead, so "at once" is one nanosecond.
    itimerspec spec{};
    if (milliseconds > 0) {
        spec.it_value.tv_sec = milliseconds / 1000;
        spec.it_value.tv_nsec = long(milliseconds % 1000) * 1'000'000;
    } else {
        spec.it_value.tv_nsec = 1;
    }
    timerfd_settime(FTimer, 0, &spec, nullptr);
}

void TLogicalThread::ServeRequest() {
    FQueued.store(false);
    if (FState.load() != Requested) return;
    try {
        OnUpdate(this);
    } catch (...) {
        // A failing evaluation must not stop the gate: the next cycle tries again.
    }
    // The evaluation may have paused or stopped this very thread; then it is awake already.
    std::uint32_t expected = Requested;
    if (FState.compare_exchange_strong(expected, Sleeping)) ArmTimer(Delay());
}

void TLogicalThread::Signal(std::uint32_t flag, bool cutSleep) {
    std::uint32_t state = FState.load(), next;
    bool wake;
    do {
        next = state | flag;
        wake = Phase(state) == Requested || (cutSleep && Phase(state) == Sleeping);
        if (wake) next = (next & ~PhaseMask) | Sleeping;
    } while (!FState.compare_exchange_weak(state, next));
    if (wake) ArmTimer(0);
}

void TLogicalThread::Suspend() { Signal(Suspending, false); }

void TLogicalThread::Resume() {
    std::lock_guard lock(FMutex);
    FState.fetch_and(~Suspending);
    FWake.notify_one();
}

void TLogicalThread::Terminate() {
    std::lock_guard lock(FMutex);
    Signal(Terminating, false);
    FWake.notify_one();
}

void TLogicalThread::TerminateNow() {
    std::lock_guard lock(FMutex);
    Signal(Terminating, true);
    FWake.notify_one();
}
