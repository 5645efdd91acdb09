#include "LogicThread.h"

#include "UpdateDispatcher.h"
#include "WakeTimer.h"

#include <linux/futex.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

namespace {

// Workers do nothing but wait; a small stack keeps thousands of gates cheap.
constexpr std::size_t WorkerStackSize = 256 * 1024;

} // namespace

std::shared_ptr<TLogicalThread> TLogicalThread::Create() {
    std::shared_ptr<TUpdateDispatcher> dispatcher = TUpdateDispatcher::Instance();
    std::shared_ptr<TLogicalThread> thread(new TLogicalThread(dispatcher));

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

TLogicalThread::TLogicalThread(std::shared_ptr<TUpdateDispatcher> dispatcher)
    : FDispatcher(std::move(dispatcher)) {}

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
        // Read before the request exists, so no wake-up meant for this cycle can be missed.
        const std::uint32_t ticket = FWakeTicket.load();
        // Only the worker leaves Waiting and Sleeping; a pause or stop that comes first wins.
        if (!FState.compare_exchange_weak(state, (state & ~PhaseMask) | Requested)) continue;
        // One request per thread in the queue: a request still waiting there from before a
        // pause serves this cycle too.
        if (!FQueued.exchange(true)) {
            FKeepAlive = shared_from_this();
            FDispatcher->Post(this);
        }
        // The GUI thread books the wake-up once the evaluation has run (or wakes the worker at
        // once when it is cancelled), so the wait for the evaluation and the sleep are one block.
        SleepUntilWoken(ticket);
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

// The ticket is waited on with the kernel's futex directly: std::atomic::wait spins and yields
// before it blocks, which with thousands of workers costs more than the gates themselves.
void TLogicalThread::SleepUntilWoken(std::uint32_t ticket) {
    static_assert(sizeof FWakeTicket == sizeof(std::uint32_t));
    while (FWakeTicket.load() == ticket)
        syscall(SYS_futex, &FWakeTicket, FUTEX_WAIT_PRIVATE, ticket, nullptr, nullptr, 0);
}

void TLogicalThread::WakeTicket(std::uint32_t ticket) {
    if (FWakeTicket.compare_exchange_strong(ticket, ticket + 1))
        syscall(SYS_futex, &FWakeTicket, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

void TLogicalThread::WakeAfter(std::int32_t milliseconds) {
    // Measured from now, which is after the evaluation.
    const std::uint32_t ticket = FWakeTicket.load();
    if (milliseconds > 0) {
        try {
            FDispatcher->WakeTimer().WakeAt(shared_from_this(), ticket,
                                            TWakeTimer::Clock::now() + std::chrono::milliseconds(milliseconds));
            return;
        } catch (...) {
            // The system refused the timekeeper a thread or the booking its memory: the worker
            // is better woken at once than left blocked for good, and the GUI thread's round
            // must not be cut short.
        }
    }
    WakeTicket(ticket);
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
    if (FState.compare_exchange_strong(expected, Sleeping)) WakeAfter(Delay());
}

void TLogicalThread::Signal(std::uint32_t flag, bool cutSleep) {
    std::uint32_t state = FState.load(), next;
    bool wake;
    do {
        next = state | flag;
        wake = Phase(state) == Requested || (cutSleep && Phase(state) == Sleeping);
        if (wake) next = (next & ~PhaseMask) | Sleeping;
    } while (!FState.compare_exchange_weak(state, next));
    if (wake) WakeTicket(FWakeTicket.load());
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
