#include "WorkerStarter.h"

#include "LogicThread.h"

#include <pthread.h>

namespace {

constexpr std::size_t StarterStackSize = 256 * 1024;
// The starter is woken once for this many gates rather than for each: waking it costs the GUI
// thread a system call, and a start left waiting a little longer costs nothing.
constexpr std::size_t AddsPerWake = 32;

} // namespace

bool TWorkerStarter::StartLocked() {
    if (FStarted) return true;
    // Detached and never ended, like the timekeeper: it belongs to the program's dispatcher.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, StarterStackSize);
    pthread_t id;
    FStarted = pthread_create(&id, &attributes, &TWorkerStarter::Run, this) == 0;
    pthread_attr_destroy(&attributes);
    return FStarted;
}

int TWorkerStarter::Add(std::shared_ptr<TLogicalThread> thread) {
    {
        std::lock_guard lock(FMutex);
        if (StartLocked()) {
            FWaiting.push_back(std::move(thread));
            ++FPending;
            if (FWaiting.size() == AddsPerWake) FAdded.notify_one();
            return 0;
        }
    }
    return thread->StartWorker();
}

int TWorkerStarter::AwaitStarted() {
    std::unique_lock lock(FMutex);
    if (FPending > 0) FAdded.notify_one();
    FDone.wait(lock, [this] { return FPending == 0; });
    const int error = FError;
    FError = 0;
    return error;
}

void *TWorkerStarter::Run(void *starter) {
    static_cast<TWorkerStarter *>(starter)->Keep();
    return nullptr;
}

void TWorkerStarter::Keep() {
    std::vector<std::shared_ptr<TLogicalThread>> starting;
    std::unique_lock lock(FMutex);
    for (;;) {
        FAdded.wait(lock, [this] { return !FWaiting.empty(); });
        starting.swap(FWaiting);
        lock.unlock();
        int firstError = 0;
        for (const std::shared_ptr<TLogicalThread> &thread : starting)
            if (const int error = thread->StartWorker(); error != 0 && firstError == 0)
                firstError = error;
        const std::size_t started = starting.size();
        // The objects go here, not under the lock; the dispatcher still holds every one.
        starting.clear();
        lock.lock();
        if (FError == 0) FError = firstError;
        FPending -= started;
        if (FPending == 0) FDone.notify_all();
    }
}
