#pragma once

// Where the gates' workers meet the GUI thread. A worker adds its request to a lock-free list,
// pokes an eventfd and blocks; the GUI thread takes the whole list, evaluates each gate and
// books its worker's wake-up (WakeTimer.h). A gate can have only one request in the list, and
// its sleep is booked only after its evaluation.
//
// Serving is cut into slices of a couple of milliseconds, each one a posted event, so that a
// busy network still leaves Qt's timers and painting their turn.
//
// Workers run at idle priority and may be preempted at any instruction, so nothing they touch
// is a lock the GUI thread could wait for: requests go through the atomic list head, and a
// worker's end through an atomic count that program exit waits on as a futex. Workers never
// call into Qt.

#include "WakeTimer.h"
#include "WorkerStarter.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class QSocketNotifier;
class TLogicalThread;

class TUpdateDispatcher {
public:
    // Made on first use, which must be on the GUI thread; lives until the process ends.
    static std::shared_ptr<TUpdateDispatcher> Instance();
    ~TUpdateDispatcher();
    TUpdateDispatcher(const TUpdateDispatcher &) = delete;
    TUpdateDispatcher &operator=(const TUpdateDispatcher &) = delete;

    // Worker: adds the thread's request; the caller has taken FQueued and set FKeepAlive.
    void Post(TLogicalThread *thread);
    // GUI thread, before the worker starts.
    void ThreadStarted(const std::shared_ptr<TLogicalThread> &thread);
    // Worker, as its last use of the dispatcher (or Create, when the start failed).
    void ThreadEnded();

    // GUI thread, at program exit: stops every worker, ending sleeps too, and waits up to a
    // second for all of them to leave, so none is still running our code when statics go.
    void StopAll();
    std::size_t LiveThreads() const { return FLive.load(); }
    // GUI thread: requests added and not yet taken for serving.
    std::size_t PostedRequests() const;

    TWakeTimer &WakeTimer() { return FWakeTimer; }
    TWorkerStarter &WorkerStarter() { return FWorkerStarter; }
    // GUI thread: has the timekeeper wake a worker whose ticket has moved on, once the current
    // event is over, so a batch (a window closing) is handed over with one system call.
    void WakeLater(TLogicalThread &thread);

private:
    TUpdateDispatcher();
    static std::shared_ptr<TUpdateDispatcher> &Holder();
    static void ApplicationEnding();
    // Needs a Qt application on the current thread; without one, workers can post but nothing
    // serves them.
    void AttachToApplication();
    void DetachFromApplication();
    // The eventfd became readable.
    void Woken();
    void ScheduleServe();
    void Serve();
    // Appends the list, reversed into posting order, to FServing.
    void TakePosted();
    // Writes the eventfd, unless a write is already pending.
    void Signal();

    int FEventFd = -1;
    QSocketNotifier *FNotifier = nullptr;                 // GUI thread only
    std::deque<std::shared_ptr<TLogicalThread>> FServing; // GUI thread only
    bool FServingNow = false;                             // GUI thread only
    bool FServeScheduled = false;                         // GUI thread only
    bool FKickScheduled = false;                          // GUI thread only

    // Newest first, chained through TLogicalThread::FNext.
    std::atomic<TLogicalThread *> FPosted{nullptr};
    // True from a write of the eventfd until the serving round that answers it has looked at
    // the list again; spares workers the system call meanwhile.
    std::atomic<bool> FSignalled{false};

    TWakeTimer FWakeTimer;
    TWorkerStarter FWorkerStarter;

    // Every thread started, for StopAll, held until its worker has ended (the worker holds no
    // reference). GUI thread only; ended threads are dropped from time to time as it grows.
    std::vector<std::shared_ptr<TLogicalThread>> FThreads;
    std::size_t FPruneAt = 64;
    // Workers not yet ended. The last to end wakes the futex StopAll may wait on.
    std::atomic<std::uint32_t> FLive{0};
};
