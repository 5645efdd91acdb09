#pragma once

// A gate's update thread: while running it asks the GUI thread to evaluate the gate, waits until
// that evaluation has run, then sleeps Delay milliseconds, over and over. The wait and the sleep
// are one block: the GUI thread books the wake-up for "end of evaluation + Delay" (WakeTimer.h).
// It computes nothing and touches no gate state; the evaluation itself runs on the GUI thread
// (see UpdateDispatcher.h for how the request gets there).
//
// The thread object is shared: the gate holds it until the gate goes, the worker until its run
// loop ends, so the object releases itself when both are done and nobody ever waits for it.
//
// The worker runs at idle priority and can be preempted anywhere, so on the hot path it shares
// no lock with the GUI thread: its phase and flags are one atomic word, and the mutex below only
// serves the wait of a paused worker.

#include "stream/Event.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

class TLogicalThread;
class TUpdateDispatcher;
using TThreadNotifyEvent = TEvent<TLogicalThread *>;

class TLogicalThread : public std::enable_shared_from_this<TLogicalThread> {
public:
    // Starts a worker at idle priority, paused: it runs no cycle until first resumed.
    // Call on the GUI thread.
    static std::shared_ptr<TLogicalThread> Create();
    ~TLogicalThread() = default;
    TLogicalThread(const TLogicalThread &) = delete;
    TLogicalThread &operator=(const TLogicalThread &) = delete;

    // Runs on the GUI thread once per cycle, with the thread as sender. Anything it throws is
    // discarded.
    TThreadNotifyEvent OnUpdate;

    // Milliseconds slept after each evaluation; a new value takes effect at the next sleep.
    // Values below 1 sleep not at all.
    std::int32_t Delay() const { return FDelay.load(std::memory_order_relaxed); }
    void SetDelay(std::int32_t value) { FDelay.store(value, std::memory_order_relaxed); }

    // Pause, resume and stop come from the GUI thread. Pausing or stopping cancels an
    // evaluation already requested; a sleep in progress runs to its end.
    bool Suspended() const { return FState.load() & Suspending; }
    void Suspend();
    void Resume();
    void Terminate();
    bool Terminated() const { return FState.load() & Terminating; }
    // Stops and cuts the current sleep short: for program exit, where nobody waits on timing.
    void TerminateNow();
    // True once the run loop has been left.
    bool Finished() const { return Phase(FState.load()) == Ended; }

private:
    friend class TUpdateDispatcher;
    friend class TWakeTimer;
    // The low bits hold the phase of the cycle, the others the GUI thread's requests.
    static constexpr std::uint32_t Waiting = 0, Requested = 1, Sleeping = 2, Ended = 3,
                                   PhaseMask = 3, Suspending = 4, Terminating = 8;
    static std::uint32_t Phase(std::uint32_t state) { return state & PhaseMask; }

    explicit TLogicalThread(std::shared_ptr<TUpdateDispatcher> dispatcher);
    // The worker thread's entry: takes over a heap-held reference and runs the loop.
    static void *Run(void *reference);
    // The run loop, on the worker thread.
    void Execute();
    void WaitWhilePaused();
    // Blocks the worker until the wake-up ticket moves on from ticket.
    void SleepUntilWoken(std::uint32_t ticket);
    // Ends the worker's block if it still waits for the wake-up ticket.
    void WakeTicket(std::uint32_t ticket);
    // Wakes the worker the given number of milliseconds from now (at once for 0 or less).
    void WakeAfter(std::int32_t milliseconds);
    // Sets flag; a request still waiting is cancelled (and the worker woken), and with
    // cutSleep so is a sleep in progress.
    void Signal(std::uint32_t flag, bool cutSleep);
    // On the GUI thread: evaluates when the request still stands, then starts the sleep.
    void ServeRequest();

    const std::shared_ptr<TUpdateDispatcher> FDispatcher;
    // Counts the worker's wake-ups; it blocks while the count stays what it read before asking
    // for its evaluation.
    std::atomic<std::uint32_t> FWakeTicket{0};
    std::atomic<std::int32_t> FDelay{100};
    std::atomic<std::uint32_t> FState{Suspending | Waiting};

    // Whether the dispatcher holds a request of this thread it has not served yet; while it
    // does, FKeepAlive keeps the object alive and FNext links it into the dispatcher's queue.
    std::atomic<bool> FQueued{false};
    std::shared_ptr<TLogicalThread> FKeepAlive;
    TLogicalThread *FNext = nullptr;

    std::mutex FMutex;
    std::condition_variable FWake;
};
