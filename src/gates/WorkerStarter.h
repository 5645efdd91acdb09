#pragma once

// Starts gates' workers on a thread of its own while gates are being read (a network file, an
// undo step). Starting a worker is mostly system calls (mapping and protecting its stack,
// cloning); with thousands of gates that is a good part of opening a network, and the other
// processor can do it while the GUI thread builds the window. The reading waits for the last of
// them before it ends, so a network is never shown before each of its gates has its worker, and
// a worker that cannot start still fails the reading. A worker started late is no different: it
// reads its gate's flags when it starts, so a resume or stop that came first is simply found
// there.

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

class TLogicalThread;

class TWorkerStarter {
public:
    TWorkerStarter() = default;
    TWorkerStarter(const TWorkerStarter &) = delete;
    TWorkerStarter &operator=(const TWorkerStarter &) = delete;

    // GUI thread. Starts the thread's worker soon; here and now if the starter cannot run.
    // Returns the error of a start done here, else 0.
    int Add(std::shared_ptr<TLogicalThread> thread);
    // GUI thread: waits until every worker added so far has started, and returns the error of
    // the first that could not (0 if none), forgetting it.
    int AwaitStarted();

private:
    static void *Run(void *starter);
    void Keep();
    // With FMutex held; false if the starter's own thread cannot start.
    bool StartLocked();

    std::mutex FMutex;
    std::condition_variable FAdded, FDone;
    std::vector<std::shared_ptr<TLogicalThread>> FWaiting;
    // Added and not yet started, the ones taken out of FWaiting included.
    std::size_t FPending = 0;
    int FError = 0;
    bool FStarted = false;
};
