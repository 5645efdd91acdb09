#pragma once

// What a headless run keeps of its levels: every change of the chosen signals, in the order the
// run made them. Every level is 0 at activation, so the changes tell the whole story.

#include "PortLogic.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TSimNetwork;

// Which of a port's levels a signal is.
enum class TSignalLevel : std::uint8_t { Output, InA, InB };

struct TLevelChange {
    std::int64_t Time;
    std::uint32_t Signal;
    TLevel Level;
};

class TLevelRecorder {
public:
    // Adds a signal for one level of a port; returns its number.
    std::uint32_t AddSignal(const TSimNetwork &network, int port, TSignalLevel level);

    const std::vector<std::string> &Names() const { return FNames; }
    const std::vector<TLevelChange> &Changes() const { return FChanges; }

    // Called by the run for every port whose levels an evaluation or a stimulus changed.
    void Record(std::int64_t time, std::uint32_t port, const TPortLevels &before, const TPortLevels &after) {
        if (port >= FSignalOf.size()) return;
        const std::array<std::int32_t, 3> &ofPort = FSignalOf[port];
        if (ofPort[0] >= 0 && before.Output != after.Output) FChanges.push_back({time, std::uint32_t(ofPort[0]), after.Output});
        if (ofPort[1] >= 0 && before.InA != after.InA) FChanges.push_back({time, std::uint32_t(ofPort[1]), after.InA});
        if (ofPort[2] >= 0 && before.InB != after.InB) FChanges.push_back({time, std::uint32_t(ofPort[2]), after.InB});
    }
    // Forgets what was recorded (a new activation starts from all levels 0).
    void Clear() { FChanges.clear(); }

private:
    std::vector<std::string> FNames;
    std::vector<TLevelChange> FChanges;
    // Per port, the signals of its output, A and B; -1 where not recorded.
    std::vector<std::array<std::int32_t, 3>> FSignalOf;
};
