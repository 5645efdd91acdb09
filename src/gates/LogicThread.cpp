#include "LogicThread.h"

#include "Sanitizers.h"

#include "UpdateDispatcher.h"
#include "WakeTimer.h"

#include <linux/futex.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <system_error>

namespace {

// A worker only blocks and makes system calls: no allocation, no exception, no formatted output,
// and every signal blocked, so no handler's frame ever lands on its stack. A few KiB would do;
// thousands of them then cost little to map and nothing to trim when they end. Sanitizers run
// their own code on the thread's stack and need far more.
#ifdef ZENTARO_SANITIZED
constexpr std::size_t WorkerStackSize = 256 * 1024;
#else
constexpr std::size_t WorkerStackSize = 16 * 1024;
#endif
// Where the C library cannot fit its own per-thread data into the small stack.
constexpr std::size_t FallbackStackSize = 256 * 1024;

int StartDetached(void *(*run)(void *), void *argument, std::size_t stackSize) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, std::max<std::size_t>(stackSize, PTHREAD_STACK_MIN));
    sigset_t all;
    sigfillset(&all);
    pthread_attr_setsigmask_np(&attributes, &all);
    pthread_t id;
    const int error = pthread_create(&id, &attributes, run, argument);
    pthread_attr_destroy(&attributes);
    return error;
}

void ThrowIfFailed(int error) {
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "Cannot start a gate's thread");
}

} // namespace

int TLogicalThread::TStartBatch::FDepth = 0;

TLogicalThread::TStartBatch::TStartBatch() : FDispatcher(TUpdateDispatcher::Instance()) {
    ++FDepth;
}

TLogicalThread::TStartBatch::~TStartBatch() {
    // Ended by an error on the way: the gates are going anyway, so only wait for the starts.
    if (!FFinished) FDispatcher->WorkerStarter().AwaitStarted();
    --FDepth;
}

void TLogicalThread::TStartBatch::Finish() {
    FFinished = true;
    ThrowIfFailed(FDispatcher->WorkerStarter().AwaitStarted());
}

std::shared_ptr<TLogicalThread> TLogicalThread::Create() {
    std::shared_ptr<TUpdateDispatcher> dispatcher = TUpdateDispatcher::Instance();
    std::shared_ptr<TLogicalThread> thread(new TLogicalThread(dispatcher));
    // The dispatcher holds the object until the worker has ended, so the worker needs no
    // reference of its own and never frees anything.
    dispatcher->ThreadStarted(thread);
    ThrowIfFailed(TStartBatch::FDepth > 0 ? dispatcher->WorkerStarter().Add(thread)
                                          : thread->StartWorker());
    return thread;
}

int TLogicalThread::StartWorker() {
    int error = StartDetached(&TLogicalThread::Run, this, WorkerStackSize);
    if (error == EINVAL) error = StartDetached(&TLogicalThread::Run, this, FallbackStackSize);
    if (error != 0) {
        FState.fetch_or(Ended);
        FDispatcher->ThreadEnded();
    }
    return error;
}

TLogicalThread::TLogicalThread(std::shared_ptr<TUpdateDispatcher> dispatcher)
    : FDispatcher(std::move(dispatcher)) {}

void *TLogicalThread::Run(void *thread) {
    auto *self = static_cast<TLogicalThread *>(thread);
    // Once Execute has marked the end, the object may go at any moment; the dispatcher stays.
    TUpdateDispatcher &dispatcher = *self->FDispatcher;
    // Gates are background work: the desktop and the GUI thread come first. Set by the worker:
    // asked for through the attributes, the C library checks the policy's range and hands the
    // new thread over under a lock, four system calls more for the GUI thread.
    sched_param parameter{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &parameter);
    self->Execute();
    dispatcher.ThreadEnded();
    return nullptr;
}

void TLogicalThread::Execute() {
    std::uint32_t state = FState.load();
    for (;;) {
        if (state & Terminating) break;
        // Taken before the phase is published: whoever sees the phase wakes this very ticket.
        const std::uint32_t ticket = FWakeTicket.load();
        const std::uint32_t phase = state & Suspending ? Paused : Requested;
        // Fails if the GUI thread changed anything since the load; then look again.
        if (!FState.compare_exchange_weak(state, (state & ~PhaseMask) | phase)) continue;
        // A request left in the list by a pause is still there to be served: don't add another.
        if (phase == Requested && !FQueued.exchange(true)) {
            FKeepAlive = shared_from_this();
            FDispatcher->Post(this);
        }
        // Ends once the evaluation's sleep is over, or when a pause, resume or stop cuts in.
        SleepUntilWoken(ticket);
        state = FState.load();
    }
    // The worker's last touch of the object: the dispatcher may let go of it from now on.
    FState.fetch_or(Ended);
}

// Straight futex calls rather than std::atomic::wait, whose spinning before it blocks costs
// more than the gates themselves once there are thousands of workers.
void TLogicalThread::SleepUntilWoken(std::uint32_t ticket) {
    static_assert(sizeof FWakeTicket == sizeof(std::uint32_t));
    while (FWakeTicket.load() == ticket)
        syscall(SYS_futex, &FWakeTicket, FUTEX_WAIT_PRIVATE, ticket, nullptr, nullptr, 0);
}

void TLogicalThread::WakeTicket(std::uint32_t ticket, bool later) {
    if (!FWakeTicket.compare_exchange_strong(ticket, ticket + 1)) return;
    if (later)
        FDispatcher->WakeLater(*this);
    else
        WakeWorker();
}

void TLogicalThread::WakeWorker() {
    syscall(SYS_futex, &FWakeTicket, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

void TLogicalThread::WakeAfter(std::int32_t milliseconds) {
    const std::uint32_t ticket = FWakeTicket.load();
    if (milliseconds > 0) {
        try {
            FDispatcher->WakeTimer().WakeAt(shared_from_this(), ticket,
                                            TWakeTimer::Clock::now() +
                                                std::chrono::milliseconds(milliseconds));
            return;
        } catch (...) {
            // No timekeeper thread or no memory for the booking. Waking now keeps the gate
            // going (just too fast) and lets the rest of the round be served.
        }
    }
    WakeTicket(ticket);
}

void TLogicalThread::ServeRequest() {
    FQueued.store(false);
    // Any flag, or a phase other than Requested, means the request was withdrawn.
    if (FState.load() != Requested) return;
    try {
        OnUpdate(this);
    } catch (...) {
        // Swallowed: the gate simply tries again next cycle.
    }
    // If the evaluation paused or stopped its own gate, that already woke the worker.
    std::uint32_t expected = Requested;
    if (FState.compare_exchange_strong(expected, Sleeping)) WakeAfter(Delay());
}

void TLogicalThread::Change(std::uint32_t set, std::uint32_t clear, std::uint32_t wakeFrom,
                            bool later) {
    std::uint32_t state = FState.load(), next;
    do {
        next = (state | set) & ~clear;
        if (wakeFrom & Bit(Phase(state))) next = (next & ~PhaseMask) | Awake;
    } while (!FState.compare_exchange_weak(state, next));
    // The worker took its ticket before publishing the phase just left, and only this thread
    // ends a request or a pause, so this is the ticket it waits on. A sleep the timekeeper has
    // just ended gets a spare bump, harmless: the worker's next compare-and-swap fails.
    if (Phase(next) != Phase(state)) WakeTicket(FWakeTicket.load(), later);
}

void TLogicalThread::Suspend() {
    Change(Suspending, 0, Bit(Requested));
}

void TLogicalThread::Resume() {
    Change(0, Suspending, Bit(Paused));
}

void TLogicalThread::Terminate() {
    Change(Terminating, 0, Bit(Requested) | Bit(Paused), true);
}

void TLogicalThread::TerminateNow() {
    Change(Terminating, 0, Bit(Requested) | Bit(Paused) | Bit(Sleeping));
}
