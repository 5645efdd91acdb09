#pragma once

// A gate's update thread: while running it asks the GUI thread to evaluate the gate, waits until
// that evaluation has run, then sleeps Delay milliseconds, over and over. It computes nothing
// and touches no gate state; the evaluation itself runs on the GUI thread (see
// UpdateDispatcher.h for how the request gets there).
//
// The thread object is shared: the gate holds it until the gate goes, the worker until its run
// loop ends, so the object releases itself when both are done and nobody ever waits for it.

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
    ~TLogicalThread();
    TLogicalThread(const TLogicalThread &) = delete;
    TLogicalThread &operator=(const TLogicalThread &) = delete;

    // Runs on the GUI thread once per cycle, with the thread as sender. Anything it throws is
    // discarded.
    TThreadNotifyEvent OnUpdate;

    // Milliseconds slept after each evaluation; a new value takes effect at the next sleep.
    std::int32_t Delay() const { return FDelay.load(std::memory_order_relaxed); }
    void SetDelay(std::int32_t value) { FDelay.store(value, std::memory_order_relaxed); }

    // Pause, resume and stop come from the GUI thread. Pausing or stopping cancels an
    // evaluation already requested; a sleep in progress runs to its end.
    bool Suspended() const;
    void Suspend();
    void Resume();
    void Terminate();
    bool Terminated() const;
    // Stops and cuts the current sleep short: for program exit, where nobody waits on timing.
    void TerminateNow();
    // True once the run loop has been left.
    bool Finished() const;

private:
    friend class TUpdateDispatcher;
    enum class TPhase { Waiting, Requested, Sleeping, Finished };

    TLogicalThread(std::shared_ptr<TUpdateDispatcher> dispatcher, int timer);
    // The worker thread's entry: takes over a heap-held reference and runs the loop.
    static void *Run(void *reference);
    // The run loop, on the worker thread.
    void Execute();
    // Blocks the worker until the timer expires.
    void SleepOnTimer();
    // Wakes the worker at the given CLOCK_MONOTONIC time in nanoseconds (0: at once).
    void ArmTimer(std::int64_t deadline);
    // On the GUI thread: evaluates when the request still stands, then starts the sleep.
    void ServeRequest();
    // Cancels a pending request, so the worker wakes and looks at its flags again.
    void CancelRequest();

    const std::shared_ptr<TUpdateDispatcher> FDispatcher;
    std::atomic<std::int32_t> FDelay{100};
    const int FTimer;

    mutable std::mutex FMutex;
    std::condition_variable FWake;
    bool FSuspended = true;
    bool FTerminated = false;
    // Whether the dispatcher holds a request of this thread that it has not served yet.
    bool FQueued = false;
    TPhase FPhase = TPhase::Waiting;
};
