#pragma once

// The GUI end of the gates' update threads. A worker that wants its gate evaluated queues a
// request here and blocks; the GUI thread serves all waiting requests per wake-up, evaluating
// each gate and then booking its worker's wake-up for "end of evaluation + Delay". So a worker
// blocks once per cycle, each gate has at most one evaluation outstanding, and its sleep starts
// only after its evaluation ran. Serving stops after a short time slice and goes on at the next
// turn of the event loop, so a flood of requests never starves the GUI thread's timers and
// painting.
//
// Workers never call into Qt and never take a lock the GUI thread waits for: they push onto a
// lock-free list and wake the GUI thread through an eventfd that a socket notifier watches.

#include "WakeTimer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_set>

class QSocketNotifier;
class TLogicalThread;

class TUpdateDispatcher {
public:
    // The program's dispatcher; the first call must come from the GUI thread.
    static std::shared_ptr<TUpdateDispatcher> Instance();
    ~TUpdateDispatcher();
    TUpdateDispatcher(const TUpdateDispatcher &) = delete;
    TUpdateDispatcher &operator=(const TUpdateDispatcher &) = delete;

    // Worker threads: queues the thread's request (its FKeepAlive set, FQueued taken).
    void Post(TLogicalThread *thread);
    void ThreadStarted(TLogicalThread *thread);
    void ThreadEnded(TLogicalThread *thread);

    // Stops every live thread, cutting sleeps short, and waits a little for them to end: the
    // program is exiting and no thread may be left inside a call.
    void StopAll();
    std::size_t LiveThreads() const;

    TWakeTimer &WakeTimer() { return FWakeTimer; }

private:
    TUpdateDispatcher();
    static std::shared_ptr<TUpdateDispatcher> &Holder();
    static void ApplicationEnding();
    // Creates the GUI end when a Qt application exists; called on the GUI thread.
    void AttachToApplication();
    void DetachFromApplication();
    // On the GUI thread: when the eventfd is readable; the round of serving it schedules.
    void Woken();
    void ScheduleServe();
    void Serve();
    // Moves the queued requests, oldest first, to the end of FServing.
    void TakePosted();
    // Wakes the GUI thread unless a wake-up is already on its way.
    void Signal();

    int FEventFd = -1;
    QSocketNotifier *FNotifier = nullptr;                 // GUI thread only
    std::deque<std::shared_ptr<TLogicalThread>> FServing; // GUI thread only
    bool FServingNow = false;                             // GUI thread only
    bool FServeScheduled = false;                         // GUI thread only

    // Requests pushed by workers, newest first, linked through TLogicalThread::FNext.
    std::atomic<TLogicalThread *> FPosted{nullptr};
    // Set while a wake-up is on its way or the GUI thread is serving.
    std::atomic<bool> FSignalled{false};

    TWakeTimer FWakeTimer;

    // Live threads, for program exit.
    mutable std::mutex FMutex;
    std::condition_variable FAllEnded;
    std::unordered_set<TLogicalThread *> FLive;
};
