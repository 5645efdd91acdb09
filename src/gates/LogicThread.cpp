#include "LogicThread.h"

#include "UpdateDispatcher.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

namespace {

// Workers do nothing but wait; a small stack keeps thousands of gates cheap.
constexpr std::size_t WorkerStackSize = 256 * 1024;

std::int64_t MonotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

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
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return !FSuspended || FTerminated; });
        if (FTerminated) break;
        FPhase = TPhase::Requested;
        // One request per thread in the queue: a request still waiting there from before a
        // pause serves this cycle too.
        const bool post = !FQueued;
        FQueued = true;
        lock.unlock();
        if (post) FDispatcher->Post(shared_from_this());
        // The GUI thread arms the timer once the evaluation has run (or at once when it is
        // cancelled), so the wait for the evaluation and the sleep are one block.
        SleepOnTimer();
        lock.lock();
    }
    FPhase = TPhase::Finished;
}

void TLogicalThread::SleepOnTimer() {
    std::uint64_t expirations;
    while (read(FTimer, &expirations, sizeof expirations) < 0 && errno == EINTR) {
    }
}

void TLogicalThread::ArmTimer(std::int64_t deadline) {
    // An absolute time in the past, not zero (which would disarm), fires at once.
    const std::int64_t at = deadline > 0 ? deadline : 1;
    itimerspec spec{};
    spec.it_value.tv_sec = time_t(at / 1'000'000'000);
    spec.it_value.tv_nsec = long(at % 1'000'000'000);
    timerfd_settime(FTimer, TFD_TIMER_ABSTIME, &spec, nullptr);
}

void TLogicalThread::ServeRequest() {
    {
        std::lock_guard lock(FMutex);
        FQueued = false;
        if (FPhase != TPhase::Requested || FSuspended || FTerminated) return;
    }
    try {
        OnUpdate(this);
    } catch (...) {
        // A failing evaluation must not stop the gate: the next cycle tries again.
    }
    std::lock_guard lock(FMutex);
    // The evaluation may have paused or stopped this very thread; then it is awake already.
    if (FPhase != TPhase::Requested) return;
    FPhase = TPhase::Sleeping;
    const std::int64_t delay = std::int64_t(Delay()) * 1'000'000;
    ArmTimer(MonotonicNow() + (delay > 0 ? delay : 0));
}

void TLogicalThread::CancelRequest() {
    if (FPhase != TPhase::Requested) return;
    FPhase = TPhase::Sleeping;
    ArmTimer(0);
}

bool TLogicalThread::Suspended() const {
    std::lock_guard lock(FMutex);
    return FSuspended;
}

void TLogicalThread::Suspend() {
    std::lock_guard lock(FMutex);
    FSuspended = true;
    CancelRequest();
}

void TLogicalThread::Resume() {
    std::lock_guard lock(FMutex);
    FSuspended = false;
    FWake.notify_one();
}

void TLogicalThread::Terminate() {
    std::lock_guard lock(FMutex);
    FTerminated = true;
    CancelRequest();
    FWake.notify_one();
}

void TLogicalThread::TerminateNow() {
    std::lock_guard lock(FMutex);
    FTerminated = true;
    if (FPhase == TPhase::Requested || FPhase == TPhase::Sleeping) ArmTimer(0);
    FWake.notify_one();
}

bool TLogicalThread::Terminated() const {
    std::lock_guard lock(FMutex);
    return FTerminated;
}

bool TLogicalThread::Finished() const {
    std::lock_guard lock(FMutex);
    return FPhase == TPhase::Finished;
}
