#pragma once

// Truth tables that a network is checked against, and the run that checks it.
//
// The text: the first line that is not blank (after removing `#` comments) names the inputs,
// pulse switches, then after a `|` the outputs, any ports; every following line gives their
// levels in that order, with or without the `|`: 0, 1, X (an output not looked at) or C (an
// input pulsed: always one rising and one falling edge, so a switch at 1 first goes to 0 and
// settles; then up, settle, down, settle). Names are port names; values may be written in either
// case. A UTF-8 byte-order mark is skipped; lines end in LF, CR LF or a lone CR. A line that is
// only the comment `# weight N` (N a whole number from 1 to MaxRowWeight) gives the rows after it
// that weight in a score; any other comment is only a comment.

#include "Network.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

enum class TTableValue : std::uint8_t { Low, High, DontCare, Pulse };

constexpr int MaxRowWeight = 1'000'000;

struct TTableRow {
    int Line = 0;
    int Weight = 1;
    std::vector<TTableValue> Inputs;
    std::vector<TTableValue> Outputs;
};

struct TTruthTable {
    int HeaderLine = 0;
    std::vector<std::string> Inputs;
    std::vector<std::string> Outputs;
    std::vector<TTableRow> Rows;
};

// A table that cannot be used; the message starts "line N: ", or "line N, column M: " when the
// fault is one character or word (columns count characters from 1).
class ETruthTableError : public std::runtime_error {
public:
    ETruthTableError(int line, const std::string &reason, int column = 0);
    int Line;
    int Column;
};

TTruthTable ParseTruthTable(std::string_view text);

// Settled: none of the table's outputs changed for the settle time; other ports (a running clock,
// a ring the table does not name) may go on changing. Every port evaluates at least once per
// delay, so a quiet longest delay means nothing is still on its way; twice that is the default,
// at most a minute. An output that follows a running clock never settles.
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
// its inputs by double-clicking the switches that differ, waits for the outputs to settle (also
// before a pulse's rise when its switch was at 1, and after its fall) and reads them. Names unknown
// to the network or inputs that are no pulse switches raise ETruthTableError at the header's line.
// The settle time is taken between 1 and MaxSettleTime; a row not settled has no levels in Got.
// proceed, if given, is asked with the index of the row being run before each row and between
// pieces of at most a few thousand ms of virtual time; once it answers false the run stops by
// raising ETruthTableStopped, so that a caller can bound the processor time a network takes.
std::vector<TRowResult> RunTruthTable(TSimNetwork &network, const TTruthTable &table,
                                      std::int64_t settle,
                                      const std::function<bool(std::size_t row)> &proceed = {});

// A run that proceed stopped.
class ETruthTableStopped : public std::runtime_error {
public:
    ETruthTableStopped() : std::runtime_error("the run was stopped") {}
};
