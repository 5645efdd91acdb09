#pragma once

// What a gate computes, without any window: its kinds and the rules that take its levels from
// one evaluation to the next.

#include <cstdint>

enum class TLogicalPortType : std::uint8_t {
    logAND, logOR, logNOT, logXOR, logNAND, logNOR, logNXOR, logCLK, logPLS, logLED, logFFD, logFFJK
};
constexpr int LogicalPortTypeCount = 12;

// A level is a byte holding 0 (low) or 1 (high).
using TLevel = std::uint8_t;

// The levels one evaluation reads and writes.
struct TPortLevels {
    TLevel InA = 0;
    TLevel InB = 0;
    TLevel Output = 0;
    // A JK flip-flop's stored bit, and whether it was toggled during the current run of
    // evaluations with both inputs high.
    TLevel JKMemory = 0;
    TLevel JKLatch = 0;
    bool operator==(const TPortLevels &) const = default;
};

// The new output (and flip-flop memory) of a gate of that kind from its current input levels.
TPortLevels ComputeLevels(TLogicalPortType kind, TPortLevels levels);

// Kinds drawn with a bubble at the output.
bool IsInverting(TLogicalPortType kind);
// OR, NOR, XOR and NXOR: drawn with a curved back.
bool IsOrFamily(TLogicalPortType kind);
