#pragma once

// What a gate computes, without any window: its kinds and the rules that take its levels from
// one evaluation to the next.

#include <cstdint>

enum class TLogicalPortType : std::uint8_t {
    logAND,
    logOR,
    logNOT,
    logXOR,
    logNAND,
    logNOR,
    logNXOR,
    logCLK,
    logPLS,
    logLED,
    logFFD,
    logFFJK
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

namespace PortLogicDetail {

inline void AdvanceJK(TPortLevels &l) {
    if (l.InA && !l.InB) {
        l.Output = l.JKMemory;
        l.JKLatch = 0;
    } else if (!l.InA && l.InB) {
        l.Output = !l.JKMemory;
        l.JKLatch = 0;
    } else if (l.InA && l.InB) {
        // Toggle once at the start of a run with both inputs high; hold for the rest of it.
        if (!l.JKLatch) {
            l.JKMemory = !l.JKMemory;
            l.JKLatch = 1;
        }
    } else {
        l.JKLatch = 0;
    }
}

} // namespace PortLogicDetail

// The new output (and flip-flop memory) of a gate of that kind from its current input levels.
// Inline: the headless core runs it for every evaluation.
inline TPortLevels ComputeLevels(TLogicalPortType kind, TPortLevels l) {
    const TLevel a = l.InA, b = l.InB;
    switch (kind) {
    case TLogicalPortType::logAND:
        l.Output = a & b;
        break;
    case TLogicalPortType::logOR:
        l.Output = a | b;
        break;
    case TLogicalPortType::logNOT:
        l.Output = !a;
        break;
    case TLogicalPortType::logXOR:
        l.Output = a ^ b;
        break;
    case TLogicalPortType::logNAND:
        l.Output = !(a & b);
        break;
    case TLogicalPortType::logNOR:
        l.Output = !(a | b);
        break;
    case TLogicalPortType::logNXOR:
        l.Output = !(a ^ b);
        break;
    case TLogicalPortType::logCLK:
        l.Output = a ? TLevel(!l.Output) : b;
        break;
    case TLogicalPortType::logPLS:
        break;
    case TLogicalPortType::logLED:
        l.Output = a;
        break;
    case TLogicalPortType::logFFD:
        if (b) l.Output = a;
        break;
    case TLogicalPortType::logFFJK:
        PortLogicDetail::AdvanceJK(l);
        break;
    }
    return l;
}

// Kinds whose output follows from their input levels alone: the gates and the lamp.
constexpr bool IsCombinational(TLogicalPortType kind) {
    using enum TLogicalPortType;
    return kind != logCLK && kind != logPLS && kind != logFFD && kind != logFFJK;
}

// Kinds that read their B input; the inverter and the lamp read only A.
constexpr bool ReadsInputB(TLogicalPortType kind) {
    using enum TLogicalPortType;
    return kind != logNOT && kind != logLED && kind != logPLS;
}

// ComputeLevels for 64 evaluations at once, bit k of `a` and `b` being the input levels of the
// k-th: the output levels of a combinational kind (IsCombinational), 0 for the others, whose
// output depends on more than their inputs.
constexpr std::uint64_t ComputeWord(TLogicalPortType kind, std::uint64_t a, std::uint64_t b) {
    switch (kind) {
    case TLogicalPortType::logAND:
        return a & b;
    case TLogicalPortType::logOR:
        return a | b;
    case TLogicalPortType::logNOT:
        return ~a;
    case TLogicalPortType::logXOR:
        return a ^ b;
    case TLogicalPortType::logNAND:
        return ~(a & b);
    case TLogicalPortType::logNOR:
        return ~(a | b);
    case TLogicalPortType::logNXOR:
        return ~(a ^ b);
    case TLogicalPortType::logLED:
        return a;
    default:
        return 0;
    }
}

// Kinds drawn with a bubble at the output.
bool IsInverting(TLogicalPortType kind);
// OR, NOR, XOR and NXOR: drawn with a curved back.
bool IsOrFamily(TLogicalPortType kind);
