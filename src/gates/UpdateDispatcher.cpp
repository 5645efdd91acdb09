#include "UpdateDispatcher.h"

#include "LogicThread.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <system_error>

namespace {

// The longest stretch the GUI thread spends evaluating before it lets its timers and painting
// have a turn.
constexpr std::chrono::microseconds ServeSlice{2000};
// How long program exit waits for the workers to leave their loops.
constexpr std::chrono::milliseconds ExitWait{1000};

} // namespace

std::shared_ptr<TUpdateDispatcher> &TUpdateDispatcher::Holder() {
    static std::shared_ptr<TUpdateDispatcher> holder(new TUpdateDispatcher);
    return holder;
}

std::shared_ptr<TUpdateDispatcher> TUpdateDispatcher::Instance() {
    std::shared_ptr<TUpdateDispatcher> &instance = Holder();
    if (!instance->FNotifier) instance->AttachToApplication();
    return instance;
}

TUpdateDispatcher::TUpdateDispatcher() {
    FEventFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FEventFd < 0)
        throw std::system_error(errno, std::generic_category(), "Cannot create the gates' wake-up");
}

TUpdateDispatcher::~TUpdateDispatcher() { close(FEventFd); }

void TUpdateDispatcher::AttachToApplication() {
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread()) return;
    FNotifier = new QSocketNotifier(FEventFd, QSocketNotifier::Read);
    QObject::connect(FNotifier, &QSocketNotifier::activated, [this] { Serve(); });
    qAddPostRoutine(&TUpdateDispatcher::ApplicationEnding);
}

void TUpdateDispatcher::DetachFromApplication() {
    delete FNotifier;
    FNotifier = nullptr;
    FServing.clear();
}

void TUpdateDispatcher::ApplicationEnding() {
    TUpdateDispatcher &dispatcher = *Holder();
    dispatcher.StopAll();
    dispatcher.DetachFromApplication();
}

void TUpdateDispatcher::Post(std::shared_ptr<TLogicalThread> thread) {
    std::lock_guard lock(FMutex);
    FPending.push_back(std::move(thread));
    Signal();
}

void TUpdateDispatcher::Signal() {
    if (FSignalled) return;
    FSignalled = true;
    const std::uint64_t one = 1;
    while (write(FEventFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TUpdateDispatcher::Serve() {
    std::uint64_t count;
    while (read(FEventFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
    // An evaluation that runs a nested event loop (a modal dialog) must not serve others inside
    // itself: the outer round goes on when it returns.
    if (FServingNow) return;
    FServingNow = true;
    {
        std::lock_guard lock(FMutex);
        for (auto &thread : FPending) FServing.push_back(std::move(thread));
        FPending.clear();
    }
    const auto end = std::chrono::steady_clock::now() + ServeSlice;
    while (!FServing.empty()) {
        std::shared_ptr<TLogicalThread> thread = std::move(FServing.front());
        FServing.pop_front();
        thread->ServeRequest();
        if (std::chrono::steady_clock::now() >= end) break;
    }
    FServingNow = false;
    std::lock_guard lock(FMutex);
    FSignalled = false;
    if (!FServing.empty() || !FPending.empty()) Signal();
}

void TUpdateDispatcher::ThreadStarted(TLogicalThread *thread) {
    std::lock_guard lock(FMutex);
    FLive.insert(thread);
}

void TUpdateDispatcher::ThreadEnded(TLogicalThread *thread) {
    std::lock_guard lock(FMutex);
    FLive.erase(thread);
    if (FLive.empty()) FAllEnded.notify_all();
}

std::size_t TUpdateDispatcher::LiveThreads() const {
    std::lock_guard lock(FMutex);
    return FLive.size();
}

void TUpdateDispatcher::StopAll() {
    std::unique_lock lock(FMutex);
    for (TLogicalThread *thread : FLive) thread->TerminateNow();
    FPending.clear();
    FAllEnded.wait_for(lock, ExitWait, [this] { return FLive.empty(); });
}
