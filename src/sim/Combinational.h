#pragma once

// What a network without memory computes: the settled levels of its outputs for every
// combination of its inputs, evaluated 64 rows at a time.

#include "Minimize.h"
#include "Network.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

constexpr int MaxAnalysisInputs = 24;

struct TNetworkFunction {
    std::vector<std::string> Inputs;
    std::vector<std::string> Outputs;
    // Per output, its rows (see Minimize.h).
    std::vector<TRowSet> Rows;
};

// A network that cannot be analysed; the message is one line naming the cause ("LogPort7 is a D
// flip-flop", "LogPort3 → LogPort5 → LogPort3 is a loop", "25 inputs: at most 24").
class EAnalysisError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Inputs default to the pulse switches and outputs to the lamps, in port order; any port may be
// named as an output (a lamp gives the level at its A), only pulse switches as inputs. A port
// input that is not wired reads 0; a pulse switch in a cone that is not an input keeps its
// level. Raises EAnalysisError for an unknown or repeated name, no inputs or outputs, more than
// MaxAnalysisInputs inputs, and a flip-flop, clock or loop in a cone.
TNetworkFunction AnalyzeNetwork(const TSimNetwork &network,
                                const std::vector<std::string> &inputs = {},
                                const std::vector<std::string> &outputs = {});

// The table in pieces of up to 1,024 rows, so that one of 2^24 rows need not be held whole.
void WriteTruthTable(const TNetworkFunction &function,
                     const std::function<void(std::string_view)> &write);
// The table as `ztrtool test` reads it: "A B | S C", then a row per combination in binary
// counting order.
std::string FormatTruthTable(const TNetworkFunction &function);
