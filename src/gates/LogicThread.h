#pragma once

// TLogicalThread paces one gate. Its worker does no logic at all: each cycle it asks the GUI
// thread for an evaluation (UpdateDispatcher.h) and blocks; the GUI thread evaluates and then
// books the worker's wake-up Delay ms later (WakeTimer.h). That way the sleep is measured from
// the end of the evaluation and the worker blocks only once per cycle.
//
// The gate holds the object, and the dispatcher holds it until the worker has ended; the worker
// itself holds no reference, so it never frees memory (nor makes the C library set up
// allocation state for it). Nobody joins the worker.
//
// The worker runs at idle priority and may be preempted at any instruction, so it must never
// hold anything the GUI thread can wait for. Phase and flags therefore share one atomic word,
// and every block (asking, sleeping, paused) waits on the same futex ticket: the GUI thread
// wakes a worker with a compare-and-swap and a futex wake, never with a lock.

#include "stream/Event.h"

#include <atomic>
#include <cstdint>
#include <memory>

class TLogicalThread;
class TUpdateDispatcher;
using TThreadNotifyEvent = TEvent<TLogicalThread *>;

class TLogicalThread : public std::enable_shared_from_this<TLogicalThread> {
public:
    // GUI thread only. The worker starts paused, so a new gate stays still until resumed.
    static std::shared_ptr<TLogicalThread> Create();

    // GUI thread: while one exists (gates being read), Create leaves starting the workers to
    // a thread of their own (WorkerStarter.h). Finish waits until all have started and throws if
    // one could not; a batch left without Finish, by an error, only waits.
    class TStartBatch {
    public:
        TStartBatch();
        ~TStartBatch();
        TStartBatch(const TStartBatch &) = delete;
        TStartBatch &operator=(const TStartBatch &) = delete;
        void Finish();

    private:
        friend class TLogicalThread;
        static int FDepth;
        const std::shared_ptr<TUpdateDispatcher> FDispatcher;
        bool FFinished = false;
    };
    ~TLogicalThread() = default;
    TLogicalThread(const TLogicalThread &) = delete;
    TLogicalThread &operator=(const TLogicalThread &) = delete;

    // The evaluation, called on the GUI thread with this thread as sender. Exceptions are
    // swallowed: one bad evaluation must not kill the gate.
    TThreadNotifyEvent OnUpdate;

    // Read when the next sleep is booked, so changing it never stretches or cuts the current
    // one. Zero or negative means no sleep at all.
    std::int32_t Delay() const { return FDelay.load(std::memory_order_relaxed); }
    void SetDelay(std::int32_t value) { FDelay.store(value, std::memory_order_relaxed); }

    // GUI thread only. Suspend and Terminate also drop a request still waiting to be served, so
    // no evaluation slips in after them; a sleep is left to finish. Terminate leaves waking the
    // worker to the timekeeper, so closing a large network makes no system call per gate.
    bool Suspended() const { return FState.load() & Suspending; }
    void Suspend();
    void Resume();
    void Terminate();
    bool Terminated() const { return FState.load() & Terminating; }
    // Terminate that also ends the sleep: at program exit nobody cares about timing.
    void TerminateNow();
    bool Finished() const { return Phase(FState.load()) == Ended; }

private:
    friend class TUpdateDispatcher;
    friend class TWakeTimer;
    friend class TWorkerStarter;
    // Low bits: where the worker is. Higher bits: what the GUI thread asked for. Ended sets
    // every phase bit, so one fetch_or marks it from any phase.
    static constexpr std::uint32_t Awake = 0, Requested = 1, Sleeping = 2, Paused = 3, Ended = 7,
                                   PhaseMask = 7, Suspending = 8, Terminating = 16;
    static std::uint32_t Phase(std::uint32_t state) { return state & PhaseMask; }
    static constexpr std::uint32_t Bit(std::uint32_t phase) { return 1u << phase; }

    explicit TLogicalThread(std::shared_ptr<TUpdateDispatcher> dispatcher);
    // Starts the worker, or marks it ended and returns the error.
    int StartWorker();
    static void *Run(void *thread);
    void Execute();
    // Worker: blocks while the ticket still reads ticket.
    void SleepUntilWoken(std::uint32_t ticket);
    // Moves the ticket on from ticket, if nobody has yet, and wakes the worker; later leaves the
    // wake-up's system call to the timekeeper.
    void WakeTicket(std::uint32_t ticket, bool later = false);
    // The system call alone: wakes the worker if it blocks on its ticket.
    void WakeWorker();
    // GUI thread, after an evaluation: books the end of the sleep (or ends it at once).
    void WakeAfter(std::int32_t milliseconds);
    // GUI thread: sets and clears flags; a worker blocked in one of the phases in wakeFrom (a
    // mask of Bit()s) loses that block and is woken.
    void Change(std::uint32_t set, std::uint32_t clear, std::uint32_t wakeFrom, bool later = false);
    void ServeRequest();

    const std::shared_ptr<TUpdateDispatcher> FDispatcher;
    // Bumped by every wake-up. The worker reads it before it announces a block, so a wake-up
    // that comes before the futex call is not lost.
    std::atomic<std::uint32_t> FWakeTicket{0};
    std::atomic<std::int32_t> FDelay{100};
    std::atomic<std::uint32_t> FState{Suspending | Awake};

    // Set while a request of ours sits in the dispatcher's list; FKeepAlive keeps us alive
    // meanwhile and FNext is the list's link.
    std::atomic<bool> FQueued{false};
    std::shared_ptr<TLogicalThread> FKeepAlive;
    TLogicalThread *FNext = nullptr;

    // The same for a wake-up left to the timekeeper (TWakeTimer::WakeLater).
    std::atomic<bool> FWakeListed{false};
    std::shared_ptr<TLogicalThread> FWakeKeepAlive;
    TLogicalThread *FWakeNext = nullptr;
};
