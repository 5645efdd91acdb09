// Arbitrary bytes as a truth table: parsing fails with a line number or gives rows of the
// header's shape, and a small table runs against a network built for it with known answers:
// a switch per input, an inverter of the first switch for every other output.
#include "sim/TruthTable.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    TTruthTable table;
    try {
        table = ParseTruthTable(std::string_view(reinterpret_cast<const char *>(data), size));
    } catch (const ETruthTableError &error) {
        if (error.Line < 1 || std::strncmp(error.what(), "line ", 5) != 0 ||
            std::strchr(error.what(), '\n'))
            std::abort();
        return 0;
    }
    int line = table.HeaderLine;
    for (const TTableRow &row : table.Rows) {
        if (row.Line <= line || row.Inputs.size() != table.Inputs.size() ||
            row.Outputs.size() != table.Outputs.size())
            std::abort();
        line = row.Line;
        for (const TTableValue value : row.Inputs)
            if (value == TTableValue::DontCare) std::abort();
        for (const TTableValue value : row.Outputs)
            if (value == TTableValue::Pulse) std::abort();
    }
    if (table.Inputs.size() + table.Outputs.size() > 32 || table.Rows.size() > 64) return 0;

    TSimNetwork network;
    for (const std::string &name : table.Inputs) {
        network.Ports.push_back({TLogicalPortType::logPLS, {}, 1, -1, -1});
        network.Names.push_back(name);
    }
    for (const std::string &name : table.Outputs)
        if (network.Find(name) < 0) {
            network.Ports.push_back({TLogicalPortType::logNOT, {}, 3, 0, -1});
            network.Names.push_back(name);
        }
    // A quiet time longer than every delay: each row settles, pulses have fallen when read.
    const std::vector<TRowResult> results = RunTruthTable(network, table, 4);
    if (results.size() != table.Rows.size()) std::abort();
    for (std::size_t r = 0; r < results.size(); ++r) {
        const TTableRow &row = table.Rows[r];
        const TRowResult &result = results[r];
        if (!result.Settled || result.Got.size() != row.Outputs.size()) std::abort();
        bool passed = true;
        for (std::size_t o = 0; o < row.Outputs.size(); ++o) {
            const int port = network.Find(table.Outputs[o]);
            const TTableValue input =
                row.Inputs[port < int(row.Inputs.size()) ? std::size_t(port) : 0];
            const bool high = input == TTableValue::High;
            if (result.Got[o] != (port < int(row.Inputs.size()) ? high : !high)) std::abort();
            if (row.Outputs[o] != TTableValue::DontCare &&
                result.Got[o] != (row.Outputs[o] == TTableValue::High))
                passed = false;
        }
        if (result.Passed != passed) std::abort();
    }
    return 0;
}
