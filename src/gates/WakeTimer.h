#pragma once

// Ends the gates' sleeps. After evaluating a gate the GUI thread books its worker's wake-up here
// instead of setting a timer of the worker's own: one timekeeper thread sleeps until the earliest
// booking and wakes every worker then due. So the GUI thread, which bounds how fast a network
// that repaints can run, makes no system call per evaluation, and the kernel keeps one timer for
// all gates instead of one per gate.
//
// Bookings wake a worker only if it still waits for the wake-up they were made for (see
// TLogicalThread::WakeTicket), so one cut short by a pause or stop never ends a later sleep.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <queue>
#include <vector>

class TLogicalThread;

class TWakeTimer {
public:
    using Clock = std::chrono::steady_clock;

    TWakeTimer() = default;
    TWakeTimer(const TWakeTimer &) = delete;
    TWakeTimer &operator=(const TWakeTimer &) = delete;

    // Wakes the thread at due (never earlier) unless its wake-up ticket has moved on by then.
    // Starts the timekeeper on first use.
    void WakeAt(std::shared_ptr<TLogicalThread> thread, std::uint32_t ticket,
                Clock::time_point due);

    // GUI thread: lists a worker whose ticket has moved on, for the timekeeper to wake. True if
    // the list was empty, when the caller must see to a Kick; until then the list just grows, so
    // a batch of wake-ups costs the GUI thread no system call but the kick's.
    bool WakeLater(TLogicalThread &thread);
    // Has the timekeeper wake every worker listed (or does it here, if it cannot start).
    void Kick();
    // Any thread: wakes every worker listed now.
    void WakeListed();

private:
    struct TBooking {
        Clock::time_point Due;
        std::uint32_t Ticket;
        std::shared_ptr<TLogicalThread> Thread;
    };
    struct TLater {
        bool operator()(const TBooking &a, const TBooking &b) const { return a.Due > b.Due; }
    };

    static void *Run(void *timer);
    void Keep();
    // With FMutex held.
    void StartLocked();

    std::mutex FMutex;
    std::condition_variable FBooked;
    std::priority_queue<TBooking, std::vector<TBooking>, TLater> FBookings;
    // The time the timekeeper sleeps until; the minimum while it is awake, when it looks at the
    // bookings again anyway, and the maximum while there is nothing to wait for.
    Clock::time_point FSleepingUntil = Clock::time_point::min();
    bool FStarted = false;
    bool FKicked = false;
    // Workers to wake, newest first, chained through TLogicalThread::FWakeNext; pushed by the GUI
    // thread only, taken whole.
    std::atomic<TLogicalThread *> FListed{nullptr};
};
