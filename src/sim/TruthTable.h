#pragma once

// Truth tables that a network is checked against, and the run that checks it.
//
// The text: the first line that is not blank (after removing `#` comments) names the inputs,
// pulse switches, then after a `|` the outputs, any ports; every following line gives their
// levels in that order, with or without the `|`: 0, 1, X (an output not looked at) or C (an
// input pulsed: up, settle, down). Names are port names; values may be written in either case.

#include "Network.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

enum class TTableValue : std::uint8_t { Low, High, DontCare, Pulse };

struct TTableRow {
    int Line = 0;
    std::vector<TTableValue> Inputs;
    std::vector<TTableValue> Outputs;
};

struct TTruthTable {
    int HeaderLine = 0;
    std::vector<std::string> Inputs;
    std::vector<std::string> Outputs;
    std::vector<TTableRow> Rows;
};

// A table that cannot be used; the message starts "line N: ".
class ETruthTableError : public std::runtime_error {
public:
    ETruthTableError(int line, const std::string &reason);
    int Line;
};

TTruthTable ParseTruthTable(std::string_view text);

// Settled: no output of any port changed for the settle time. Every port evaluates at least once
// per delay, so a quiet longest delay means nothing is still on its way; twice that is the
// default, at most a minute. A running clock never settles.
std::int64_t DefaultSettleTime(const TSimNetwork &network);
constexpr std::int64_t MaxSettleTime = 3'600'000;
// How long one setting of the inputs may run before it counts as not settling: (ports + 100)
// settle times, at most 10^7 ms, so that an oscillating network ends its row.
std::int64_t MaxRunTime(const TSimNetwork &network, std::int64_t settle);

struct TRowResult {
    int Line = 0;
    bool Settled = false;
    // The outputs' levels, in the header's order.
    std::vector<TLevel> Got;
    bool Passed = false;
};

// Activates the network and runs the rows in order, without a reset between them: each row sets
// its inputs by double-clicking the switches that differ, waits for the network to settle (once
// more after the pulses' fall) and reads the outputs. Names unknown to the network or inputs
// that are no pulse switches raise ETruthTableError at the header's line. The settle time is
// taken between 1 and MaxSettleTime; a row not settled has no levels in Got.
std::vector<TRowResult> RunTruthTable(TSimNetwork &network, const TTruthTable &table,
                                      std::int64_t settle);
