#include "WakeTimer.h"

#include "LogicThread.h"

#include <pthread.h>
#include <sched.h>

#include <system_error>

namespace {

constexpr std::size_t TimekeeperStackSize = 256 * 1024;

} // namespace

void TWakeTimer::StartLocked() {
    if (FStarted) return;
    // Detached and never ended: the timer belongs to the program's dispatcher, which is never
    // destroyed, and an idle timekeeper only waits.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, TimekeeperStackSize);
    // Normal priority, whoever books first: wake-ups must not wait for idle time.
    sched_param parameter{};
    pthread_attr_setinheritsched(&attributes, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&attributes, SCHED_OTHER);
    pthread_attr_setschedparam(&attributes, &parameter);
    pthread_t id;
    const int error = pthread_create(&id, &attributes, &TWakeTimer::Run, this);
    pthread_attr_destroy(&attributes);
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "Cannot start the gates' timer");
    FStarted = true;
}

void TWakeTimer::WakeAt(std::shared_ptr<TLogicalThread> thread, std::uint32_t ticket,
                        Clock::time_point due) {
    std::lock_guard lock(FMutex);
    StartLocked();
    FBookings.push({due, ticket, std::move(thread)});
    if (due < FSleepingUntil) FBooked.notify_one();
}

bool TWakeTimer::WakeLater(TLogicalThread &thread) {
    // Listed already: the wake-up still to come serves this ticket too.
    if (thread.FWakeListed.exchange(true)) return false;
    thread.FWakeKeepAlive = thread.shared_from_this();
    TLogicalThread *head = FListed.load();
    do {
        thread.FWakeNext = head;
    } while (!FListed.compare_exchange_weak(head, &thread));
    return head == nullptr;
}

void TWakeTimer::Kick() {
    try {
        std::lock_guard lock(FMutex);
        StartLocked();
        FKicked = true;
        FBooked.notify_one();
        return;
    } catch (...) {
        // No timekeeper: a worker left blocked would never end.
    }
    WakeListed();
}

void TWakeTimer::WakeListed() {
    for (TLogicalThread *thread = FListed.exchange(nullptr); thread;) {
        TLogicalThread *next = thread->FWakeNext;
        const std::shared_ptr<TLogicalThread> keepAlive = std::move(thread->FWakeKeepAlive);
        // From here the GUI thread may list it again, with a wake-up of its own.
        thread->FWakeListed.store(false);
        thread->WakeWorker();
        thread = next;
    }
}

void *TWakeTimer::Run(void *timer) {
    static_cast<TWakeTimer *>(timer)->Keep();
    return nullptr;
}

void TWakeTimer::Keep() {
    std::vector<TBooking> due;
    std::unique_lock lock(FMutex);
    for (;;) {
        if (FKicked || FListed.load()) {
            FKicked = false;
            lock.unlock();
            WakeListed();
            lock.lock();
            continue;
        }
        if (FBookings.empty()) {
            FSleepingUntil = Clock::time_point::max();
            FBooked.wait(lock);
            FSleepingUntil = Clock::time_point::min();
            continue;
        }
        const Clock::time_point next = FBookings.top().Due;
        const Clock::time_point now = Clock::now();
        if (next > now) {
            FSleepingUntil = next;
            FBooked.wait_until(lock, next);
            FSleepingUntil = Clock::time_point::min();
            continue;
        }
        while (!FBookings.empty() && FBookings.top().Due <= now) {
            // The queue offers only const access to its top; the booking is dropped right after.
            due.push_back(std::move(const_cast<TBooking &>(FBookings.top())));
            FBookings.pop();
        }
        // Waking takes a system call per worker: done without holding up new bookings.
        lock.unlock();
        for (TBooking &booking : due)
            booking.Thread->WakeTicket(booking.Ticket);
        due.clear();
        lock.lock();
    }
}
