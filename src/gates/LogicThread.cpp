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

// A worker only ever blocks; the default 8 MB stack per gate would add up fast.
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
    dispatcher->ThreadStarted(thread);
    pthread_t id;
    const int error = pthread_create(&id, &attributes, &TLogicalThread::Run, reference);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete reference;
        dispatcher->ThreadEnded();
        throw std::system_error(error, std::generic_category(), "Cannot start a gate's thread");
    }
    return thread;
}

TLogicalThread::TLogicalThread(std::shared_ptr<TUpdateDispatcher> dispatcher)
    : FDispatcher(std::move(dispatcher)) {}

void *TLogicalThread::Run(void *reference) {
    std::shared_ptr<TLogicalThread> self = std::move(*static_cast<std::shared_ptr<TLogicalThread> *>(reference));
    delete static_cast<std::shared_ptr<TLogicalThread> *>(reference);
    // Gates are background work: the desktop and the GUI thread come first.
    sched_param parameter{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &parameter);
    self->Execute();
    self->FDispatcher->ThreadEnded();
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
    FState.fetch_or(Ended);
}

// Straight futex calls rather than std::atomic::wait, whose spinning before it blocks costs
// more than the gates themselves once there are thousands of workers.
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
    const std::uint32_t ticket = FWakeTicket.load();
    if (milliseconds > 0) {
        try {
            FDispatcher->WakeTimer().WakeAt(shared_from_this(), ticket,
                                            TWakeTimer::Clock::now() + std::chrono::milliseconds(milliseconds));
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

void TLogicalThread::Change(std::uint32_t set, std::uint32_t clear, std::uint32_t wakeFrom) {
    std::uint32_t state = FState.load(), next;
    do {
        next = (state | set) & ~clear;
        if (wakeFrom & Bit(Phase(state))) next = (next & ~PhaseMask) | Awake;
    } while (!FState.compare_exchange_weak(state, next));
    // The worker took its ticket before publishing the phase just left, and only this thread
    // ends a request or a pause, so this is the ticket it waits on. A sleep the timekeeper has
    // just ended gets a spare bump, harmless: the worker's next compare-and-swap fails.
    if (Phase(next) != Phase(state)) WakeTicket(FWakeTicket.load());
}

void TLogicalThread::Suspend() { Change(Suspending, 0, Bit(Requested)); }

void TLogicalThread::Resume() { Change(0, Suspending, Bit(Paused)); }

void TLogicalThread::Terminate() { Change(Terminating, 0, Bit(Requested) | Bit(Paused)); }

void TLogicalThread::TerminateNow() {
    Change(Terminating, 0, Bit(Requested) | Bit(Paused) | Bit(Sleeping));
}
