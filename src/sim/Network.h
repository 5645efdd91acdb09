#pragma once

// A network as the headless core runs it: the ports in the order the window lists them, each
// with what an evaluation reads and writes and nothing a window needs.

#include "PortLogic.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TSimPort {
    TLogicalPortType Kind = TLogicalPortType::logAND;
    TPortLevels Levels;
    // Milliseconds from one evaluation to the next, as stored; below 1 counts as 1.
    std::int32_t Delay = 100;
    // The ports wired to the inputs, by index; -1 for none.
    std::int32_t InA = -1;
    std::int32_t InB = -1;
};

struct TSimNetwork {
    std::string Name;
    std::vector<TSimPort> Ports;
    // Beside the ports, so that running touches only the small records above.
    std::vector<std::string> Names;

    // The port of that name, or -1.
    int Find(std::string_view name) const;
    // Sets the delay of every clock, as the program's speed slider does.
    void SetClockDelay(std::int32_t delay);
};
