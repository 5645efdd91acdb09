#pragma once

// What a network without memory computes: the settled levels of its outputs for every
// combination of its inputs, evaluated 64 rows at a time.

#include "Minimize.h"
#include "Network.h"

#include <stdexcept>
#include <string>
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
// named as an output, only pulse switches as inputs. An input that is not wired reads 0.
TNetworkFunction AnalyzeNetwork(const TSimNetwork &network,
                                const std::vector<std::string> &inputs = {},
                                const std::vector<std::string> &outputs = {});

// The table as `ztrtool test` reads it: "A B | S C", then a row per combination in binary
// counting order.
std::string FormatTruthTable(const TNetworkFunction &function);
