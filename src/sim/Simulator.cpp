#include "Simulator.h"

#include "Recorder.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace {

// Most networks' delays fit: then every booking goes straight into its slot.
constexpr std::int64_t MaxWheelSize = 1 << 16;

std::int64_t EffectiveDelay(const TSimPort &port) {
    return std::max<std::int32_t>(port.Delay, 1);
}

// Puts port into slot, marking the slot booked when it was empty.
inline void BookInSlot(std::vector<std::uint32_t> &slot, std::size_t index, std::uint32_t port,
                       std::uint64_t *booked, std::uint64_t *bookedWords) {
    if (slot.empty()) {
        booked[index >> 6] |= std::uint64_t(1) << (index & 63);
        bookedWords[index >> 12] |= std::uint64_t(1) << ((index >> 6) & 63);
    }
    slot.push_back(port);
}

// The lowest bit at or above bit in word, or 64.
inline unsigned FirstBitFrom(std::uint64_t word, std::size_t bit) {
    const std::uint64_t from = word & (~std::uint64_t(0) << bit);
    return from ? unsigned(std::countr_zero(from)) : 64;
}

} // namespace

TSimulator::TSimulator(TSimNetwork &network, TLevelRecorder *recorder)
    : FNetwork(network), FRecorder(recorder) {}

void TSimulator::Activate() {
    std::int64_t longest = 1;
    for (TSimPort &port : FNetwork.Ports) {
        port.Levels = {};
        longest = std::max(longest, EffectiveDelay(port));
    }
    const std::int64_t size =
        std::min<std::int64_t>(std::bit_ceil(std::uint64_t(longest) + 1), MaxWheelSize);
    FWheel.assign(std::size_t(size), {});
    FWheelMask = size - 1;
    FBooked.assign(std::size_t(size + 63) / 64, 0);
    FBookedWords.assign((FBooked.size() + 63) / 64, 0);
    FLater = {};
    FNextNumber = 0;
    FToggles.clear();
    FServedThrough = -1;
    FLastOutputChange = -1;
    FLastChange.assign(FNetwork.Ports.size(), -1);
    FEvaluations = 0;
    if (FRecorder) FRecorder->Clear();
    for (std::size_t port = 0; port < FNetwork.Ports.size(); ++port)
        Book(std::uint32_t(port), 0);
}

void TSimulator::Book(std::uint32_t port, std::int64_t time) {
    // The slots cover the times from the one being served to a turn later.
    if (time - (FServedThrough + 1) <= FWheelMask) {
        const auto slot = std::size_t(time & FWheelMask);
        BookInSlot(FWheel[slot], slot, port, FBooked.data(), FBookedWords.data());
    } else
        FLater.push({time, FNextNumber, port});
    ++FNextNumber;
}

void TSimulator::Toggle(int port, std::int64_t at) {
    if (at <= FServedThrough) throw std::invalid_argument("a stimulus cannot go back in time");
    const auto later =
        std::upper_bound(FToggles.begin(), FToggles.end(), at,
                         [](std::int64_t time, const auto &toggle) { return time < toggle.first; });
    FToggles.insert(later, {at, port});
}

void TSimulator::Changed(std::uint32_t port, std::int64_t time, const TPortLevels &before) {
    const TPortLevels &after = FNetwork.Ports[port].Levels;
    if (after.Output != before.Output) FLastOutputChange = FLastChange[port] = time;
    if (FRecorder) FRecorder->Record(time, port, before, after);
}

template <bool Observed, bool Recording>
void TSimulator::ServeSlot(std::vector<std::uint32_t> &slot, std::int64_t time) {
    // Locals, not members: a level is a byte, so every store to one could alias any member and
    // the compiler would reload them all.
    TSimPort *const ports = FNetwork.Ports.data();
    std::vector<std::uint32_t> *const wheel = FWheel.data();
    std::uint64_t *const booked = FBooked.data();
    std::uint64_t *const bookedWords = FBookedWords.data();
    const std::int64_t mask = FWheelMask;
    TLevelRecorder *const recorder = FRecorder;
    std::int64_t *const lastChange = FLastChange.data();
    std::uint64_t number = FNextNumber;
    // Every delay is shorter than a turn, so serving never adds to the slot being served.
    for (const std::uint32_t index : slot) {
        if constexpr (Observed) {
            OnEvaluate(int(index));
            ++FEvaluations;
        }
        TSimPort &port = ports[index];
        const TPortLevels before = port.Levels;
        TPortLevels levels = before;
        if (port.InA >= 0) levels.InA = ports[port.InA].Levels.Output;
        if (port.InB >= 0) levels.InB = ports[port.InB].Levels.Output;
        levels = ComputeLevels(port.Kind, levels);
        port.Levels = levels;
        if (!(levels == before)) {
            if (levels.Output != before.Output) FLastOutputChange = lastChange[index] = time;
            if constexpr (Recording)
                if (recorder) recorder->Record(time, index, before, levels);
        }
        // Booked from the time being served, the wheel holds what is due within a turn.
        const std::int64_t delay = EffectiveDelay(port);
        if (delay <= mask) {
            const auto next = std::size_t((time + delay) & mask);
            BookInSlot(wheel[next], next, index, booked, bookedWords);
        } else
            FLater.push({time + delay, number, index});
        ++number;
    }
    if constexpr (!Observed) FEvaluations += slot.size();
    FNextNumber = number;
    slot.clear();
    const auto served = std::size_t(time & mask);
    booked[served >> 6] &= ~(std::uint64_t(1) << (served & 63));
    if (booked[served >> 6] == 0)
        bookedWords[served >> 12] &= ~(std::uint64_t(1) << ((served >> 6) & 63));
}

std::int64_t TSimulator::FirstBookedSlot(std::size_t from, std::size_t to) const {
    if (from >= to) return -1;
    std::size_t word = from >> 6;
    unsigned bit = FirstBitFrom(FBooked[word], from & 63);
    if (bit == 64) {
        // The next word with a booked slot, from the words' own bits.
        word = SIZE_MAX;
        for (std::size_t next = (from >> 6) + 1, group = next >> 6; group < FBookedWords.size();
             ++group, next = group << 6) {
            const unsigned found = FirstBitFrom(FBookedWords[group], next & 63);
            if (found < 64) {
                word = (group << 6) + found;
                break;
            }
        }
        if (word == SIZE_MAX) return -1;
        bit = unsigned(std::countr_zero(FBooked[word]));
    }
    const std::size_t slot = (word << 6) + bit;
    return slot < to ? std::int64_t(slot) : -1;
}

std::int64_t TSimulator::FirstBookedSlot(std::size_t from) const {
    const std::int64_t after = FirstBookedSlot(from, FWheel.size());
    return after >= 0 ? after : FirstBookedSlot(0, from);
}

std::int64_t TSimulator::NextBusyTime(std::int64_t time, std::int64_t until,
                                      std::size_t toggle) const {
    std::int64_t next = until + 1;
    // The wheel holds the times up to a turn after time.
    const std::int64_t slot = FirstBookedSlot(std::size_t((time + 1) & FWheelMask));
    if (slot >= 0) next = std::min(next, time + 1 + ((slot - (time + 1)) & FWheelMask));
    // A later booking moves into the wheel when that time is reached, before any is served.
    if (!FLater.empty()) next = std::min(next, FLater.top().Time);
    if (toggle < FToggles.size()) next = std::min(next, FToggles[toggle].first);
    return std::max(next, time + 1);
}

void TSimulator::RunUntil(std::int64_t until) {
    std::size_t toggle = 0;
    for (std::int64_t time = FServedThrough + 1; time <= until;
         time = NextBusyTime(time, until, toggle)) {
        // The times jumped over had nothing to serve.
        FServedThrough = time - 1;
        while (!FLater.empty() && FLater.top().Time - time <= FWheelMask) {
            const auto slot = std::size_t(FLater.top().Time & FWheelMask);
            BookInSlot(FWheel[slot], slot, FLater.top().Port, FBooked.data(), FBookedWords.data());
            FLater.pop();
        }
        for (; toggle < FToggles.size() && FToggles[toggle].first == time; ++toggle) {
            const auto port = std::uint32_t(FToggles[toggle].second);
            const TPortLevels before = FNetwork.Ports[port].Levels;
            FNetwork.Ports[port].Levels.Output = !before.Output;
            Changed(port, time, before);
        }
        std::vector<std::uint32_t> &slot = FWheel[std::size_t(time & FWheelMask)];
        if (OnEvaluate)
            ServeSlot<true, true>(slot, time);
        else if (FRecorder)
            ServeSlot<false, true>(slot, time);
        else
            ServeSlot<false, false>(slot, time);
        FServedThrough = time;
    }
    FServedThrough = std::max(FServedThrough, until);
    FToggles.erase(FToggles.begin(), FToggles.begin() + std::ptrdiff_t(toggle));
}
