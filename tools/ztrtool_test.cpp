// ztrtool test: a network checked against a truth table, in virtual time (sim/TruthTable.h).

#include "ZtrTool.h"

#include "app/Main.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"
#include "sim/TruthTable.h"
#include "stream/Errors.h"
#include "stream/WholeFile.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

// Far more than any hand-written table, and still quickly read.
constexpr std::int64_t MaxTableSize = 16 << 20;

std::int64_t Milliseconds(std::string_view option, std::string_view text, std::int64_t most) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text[0] == '-' || text[0] == '+' || error != std::errc() ||
        end != text.data() + text.size() || value < 1 || value > most)
        throw ToolError(std::string(option) + " needs a whole number of milliseconds from 1 to " +
                        std::to_string(most));
    return value;
}

std::string Levels(const std::vector<TTableValue> &values) {
    std::string text;
    for (const TTableValue value : values) {
        if (!text.empty()) text += ' ';
        text += "01XC"[std::size_t(value)];
    }
    return text;
}

} // namespace

void TestTable(Arguments arguments) {
    const std::string networkFile = arguments[0], tableFile = arguments[1];
    std::optional<std::int64_t> settle, clock;
    for (std::size_t i = 2; i < arguments.size(); i += 2) {
        const std::string_view option = arguments[i];
        if (option != "--settle" && option != "--clock")
            throw ToolError("unknown option \"" + std::string(option) + "\"");
        if (i + 1 == arguments.size()) throw ToolError(std::string(option) + " needs a value");
        if (option == "--settle")
            settle = Milliseconds(option, arguments[i + 1], MaxSettleTime);
        else
            clock = Milliseconds(option, arguments[i + 1], INT32_MAX);
    }

    const std::vector<std::uint8_t> bytes = ReadWholeFile(tableFile, MaxTableSize);
    TTruthTable table;
    try {
        table = ParseTruthTable(
            std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    } catch (const ETruthTableError &error) {
        throw ToolError(tableFile + ": " + error.what());
    }

    TSimNetwork network;
    WithMainWindow([&](TFormZentaroMain &mainWindow) {
        network = SimSnapshot(*OpenNetworkFile(mainWindow, networkFile, true));
    });
    if (clock) network.SetClockDelay(std::int32_t(*clock));
    if (!settle) settle = DefaultSettleTime(network);

    std::vector<TRowResult> results;
    try {
        results = RunTruthTable(network, table, *settle);
    } catch (const ETruthTableError &error) {
        throw ToolError(tableFile + ": " + error.what());
    }
    std::size_t failed = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const TRowResult &result = results[i];
        if (result.Passed) continue;
        ++failed;
        if (!result.Settled) {
            std::printf("%s: line %d: did not settle within %lld ms\n", tableFile.c_str(),
                        result.Line, static_cast<long long>(MaxRunTime(network, *settle)));
            continue;
        }
        std::vector<TTableValue> got;
        for (const std::uint8_t level : result.Got)
            got.push_back(level ? TTableValue::High : TTableValue::Low);
        std::printf("%s: line %d: expected %s, got %s\n", tableFile.c_str(), result.Line,
                    Levels(table.Rows[i].Outputs).c_str(), Levels(got).c_str());
    }
    std::printf("%zu passed, %zu failed\n", results.size() - failed, failed);
    if (std::fflush(stdout) != 0) throw ToolError("cannot write the results to standard output");
    if (failed > 0)
        throw ToolError(tableFile + ": " + std::to_string(failed) + " of " +
                        std::to_string(results.size()) + " rows failed");
}
