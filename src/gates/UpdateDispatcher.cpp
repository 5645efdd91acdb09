#include "UpdateDispatcher.h"

#include "LogicThread.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <linux/futex.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
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
    // Never destroyed: an application object that is itself static ends after the statics made
    // later, and its post routine still stops the threads through the dispatcher.
    static auto *holder = new std::shared_ptr<TUpdateDispatcher>(new TUpdateDispatcher);
    return *holder;
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

TUpdateDispatcher::~TUpdateDispatcher() {
    close(FEventFd);
}

void TUpdateDispatcher::AttachToApplication() {
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread()) return;
    FNotifier = new QSocketNotifier(FEventFd, QSocketNotifier::Read);
    QObject::connect(FNotifier, &QSocketNotifier::activated, [this] { Woken(); });
    qAddPostRoutine(&TUpdateDispatcher::ApplicationEnding);
}

void TUpdateDispatcher::DetachFromApplication() {
    delete FNotifier;
    FNotifier = nullptr;
    TakePosted();
    FServing.clear();
}

void TUpdateDispatcher::ApplicationEnding() {
    TUpdateDispatcher &dispatcher = *Holder();
    dispatcher.StopAll();
    dispatcher.DetachFromApplication();
}

void TUpdateDispatcher::Post(TLogicalThread *thread) {
    TLogicalThread *head = FPosted.load();
    do {
        thread->FNext = head;
    } while (!FPosted.compare_exchange_weak(head, thread));
    Signal();
}

void TUpdateDispatcher::Signal() {
    if (FSignalled.exchange(true)) return;
    const std::uint64_t one = 1;
    while (write(FEventFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TUpdateDispatcher::TakePosted() {
    TLogicalThread *posted = FPosted.exchange(nullptr);
    const std::size_t first = FServing.size();
    for (; posted; posted = posted->FNext)
        FServing.push_back(std::move(posted->FKeepAlive));
    std::reverse(FServing.begin() + std::ptrdiff_t(first), FServing.end());
}

void TUpdateDispatcher::Woken() {
    std::uint64_t count;
    while (read(FEventFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
    ScheduleServe();
}

void TUpdateDispatcher::ScheduleServe() {
    // Serving runs as a posted event: Qt's event loop gives timers their normal turn again after
    // posted events, whereas a socket that stays ready would keep them waiting.
    if (FServeScheduled) return;
    FServeScheduled = true;
    QMetaObject::invokeMethod(
        FNotifier,
        [this] {
            FServeScheduled = false;
            Serve();
        },
        Qt::QueuedConnection);
}

void TUpdateDispatcher::Serve() {
    // An evaluation that runs a nested event loop (a modal dialog) must not serve others inside
    // itself: the outer round looks for more work when it ends.
    if (FServingNow) return;
    FServingNow = true;
    TakePosted();
    // Reading the clock for every gate would cost more than the slice is worth.
    constexpr unsigned ClockEvery = 8;
    const auto end = std::chrono::steady_clock::now() + ServeSlice;
    for (unsigned served = 1; !FServing.empty(); ++served) {
        const std::shared_ptr<TLogicalThread> thread = std::move(FServing.front());
        FServing.pop_front();
        thread->ServeRequest();
        if (served % ClockEvery == 0 && std::chrono::steady_clock::now() >= end) break;
    }
    FServingNow = false;
    // Requests posted while serving did not signal; look for them after letting signals through.
    FSignalled.store(false);
    if (!FServing.empty() || FPosted.load()) {
        FSignalled.store(true);
        ScheduleServe();
    }
}

void TUpdateDispatcher::WakeLater(TLogicalThread &thread) {
    if (!FWakeTimer.WakeLater(thread) || FKickScheduled) return;
    if (!FNotifier) {
        FWakeTimer.Kick();
        return;
    }
    FKickScheduled = true;
    QMetaObject::invokeMethod(
        FNotifier,
        [this] {
            FKickScheduled = false;
            FWakeTimer.Kick();
        },
        Qt::QueuedConnection);
}

void TUpdateDispatcher::ThreadStarted(const std::shared_ptr<TLogicalThread> &thread) {
    // Pruning only when the list has doubled keeps the cost per gate constant. Letting go of an
    // ended worker's object here, and never on the worker, keeps workers from freeing memory.
    if (FThreads.size() >= FPruneAt) {
        std::erase_if(FThreads, [](const auto &thread) { return thread->Finished(); });
        FPruneAt = std::max<std::size_t>(64, 2 * FThreads.size());
    }
    FThreads.push_back(thread);
    FLive.fetch_add(1);
}

void TUpdateDispatcher::ThreadEnded() {
    // StopAll only cares about zero, and a wake on the word ends its wait whatever count it
    // blocked with: one system call for the last worker, none for the others.
    if (FLive.fetch_sub(1) == 1)
        syscall(SYS_futex, &FLive, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

std::size_t TUpdateDispatcher::PostedRequests() const {
    // Safe on the GUI thread: only it takes requests out, and a request's link is not touched
    // while it is listed.
    std::size_t count = 0;
    for (const TLogicalThread *thread = FPosted.load(); thread; thread = thread->FNext)
        ++count;
    return count;
}

void TUpdateDispatcher::StopAll() {
    for (const std::shared_ptr<TLogicalThread> &thread : FThreads)
        if (!thread->Finished()) thread->TerminateNow();
    // Stopped workers whose wake-up still waits for the kick: the kick may never come now.
    FWakeTimer.WakeListed();
    static_assert(sizeof FLive == sizeof(std::uint32_t));
    using std::chrono::steady_clock;
    const steady_clock::time_point end = steady_clock::now() + ExitWait;
    for (std::uint32_t live; (live = FLive.load()) != 0;) {
        const auto left = std::chrono::nanoseconds(end - steady_clock::now());
        if (left.count() <= 0) break;
        const timespec timeout{time_t(left.count() / 1000000000), long(left.count() % 1000000000)};
        syscall(SYS_futex, &FLive, FUTEX_WAIT_PRIVATE, live, &timeout, nullptr, 0);
    }
}
