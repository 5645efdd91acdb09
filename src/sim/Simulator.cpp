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
    if (time - (FServedThrough + 1) <= FWheelMask)
        FWheel[std::size_t(time & FWheelMask)].push_back(port);
    else
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
        if (delay <= mask)
            wheel[std::size_t((time + delay) & mask)].push_back(index);
        else
            FLater.push({time + delay, number, index});
        ++number;
    }
    if constexpr (!Observed) FEvaluations += slot.size();
    FNextNumber = number;
    slot.clear();
}

void TSimulator::RunUntil(std::int64_t until) {
    std::size_t toggle = 0;
    for (std::int64_t time = FServedThrough + 1; time <= until; ++time) {
        while (!FLater.empty() && FLater.top().Time - time <= FWheelMask) {
            FWheel[std::size_t(FLater.top().Time & FWheelMask)].push_back(FLater.top().Port);
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
    FToggles.erase(FToggles.begin(), FToggles.begin() + std::ptrdiff_t(toggle));
}
