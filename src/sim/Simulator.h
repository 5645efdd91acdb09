#pragma once

// Virtual time: a network run without windows or threads, the same way every time.
//
// Time is in whole milliseconds from activation at 0. Activation sets every level to 0 and books
// every port for an evaluation at 0, numbered in the ports' order. Bookings are served by time,
// then by booking number; serving one evaluates the port (the program's own rules) and books it
// again at time + delay (a delay below 1 counts as 1), under the next number. A stimulus at time
// T comes before the bookings of T. Stretches of time with nothing to serve are jumped over, so a
// run costs its evaluations, not its length.

#include "Network.h"

#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

class TLevelRecorder;

class TSimulator {
public:
    // Runs the network in place; the recorder, if any, sees every change of a level.
    explicit TSimulator(TSimNetwork &network, TLevelRecorder *recorder = nullptr);

    // Levels and flip-flop memories to 0, every port booked at time 0.
    void Activate();
    // A pulse switch's double-click at time at, which must not be served yet: its output inverts.
    void Toggle(int port, std::int64_t at);
    // Serves every booking with a time up to until.
    void RunUntil(std::int64_t until);

    // The last time served completely; -1 right after activation.
    std::int64_t ServedThrough() const { return FServedThrough; }
    // When an output last changed (-1: never).
    std::int64_t LastOutputChange() const { return FLastOutputChange; }
    // When the output of `port` last changed (-1: never); std::out_of_range for no such port.
    std::int64_t LastOutputChange(int port) const { return FLastChange.at(std::size_t(port)); }
    std::uint64_t Evaluations() const { return FEvaluations; }

    // Told of every evaluation, port by port, before it runs (to replay a run elsewhere).
    std::function<void(int port)> OnEvaluate;

private:
    struct TBooking {
        std::int64_t Time;
        std::uint64_t Number;
        std::uint32_t Port;
        bool operator>(const TBooking &other) const {
            return Time != other.Time ? Time > other.Time : Number > other.Number;
        }
    };

    void Book(std::uint32_t port, std::int64_t time);
    // The next time after `time` with a booking or a stimulus due; past `until` if none is.
    std::int64_t NextBusyTime(std::int64_t time, std::int64_t until, std::size_t toggle) const;
    // The first slot at or after `from` holding bookings, going once round the wheel; -1 if none.
    std::int64_t FirstBookedSlot(std::size_t from) const;
    // The first booked slot in [from, to); -1 if none.
    std::int64_t FirstBookedSlot(std::size_t from, std::size_t to) const;
    // Evaluates the ports booked at time, in booking order, and books each again.
    template <bool Observed, bool Recording>
    void ServeSlot(std::vector<std::uint32_t> &slot, std::int64_t time);
    void Changed(std::uint32_t port, std::int64_t time, const TPortLevels &before);

    TSimNetwork &FNetwork;
    TLevelRecorder *FRecorder;
    // Bookings within a wheel's turn of now sit in the slot of their time, in the order they
    // were made, which is their numbers' order; later ones wait in a heap and move into their
    // slot as soon as the wheel reaches their time, before any booking can be made there.
    std::vector<std::vector<std::uint32_t>> FWheel;
    std::int64_t FWheelMask = 0;
    // A bit per slot that holds bookings, and a bit per word of those that is not 0: finding the
    // next booked slot reads a few words however empty the wheel is.
    std::vector<std::uint64_t> FBooked;
    std::vector<std::uint64_t> FBookedWords;
    std::priority_queue<TBooking, std::vector<TBooking>, std::greater<>> FLater;
    std::uint64_t FNextNumber = 0;
    // Stimuli not yet applied, by time then order of arrival.
    std::vector<std::pair<std::int64_t, int>> FToggles;
    std::int64_t FServedThrough = -1;
    std::int64_t FLastOutputChange = -1;
    // Each port's FLastOutputChange, for waiting on some outputs while others keep changing.
    std::vector<std::int64_t> FLastChange;
    std::uint64_t FEvaluations = 0;
};
