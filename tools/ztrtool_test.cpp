// ztrtool test: a network checked against a truth table, in virtual time (sim/TruthTable.h).

#include "ZtrTool.h"

#include "sim/TruthTable.h"
#include "stream/Errors.h"
#include "stream/WholeFile.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

// Far more than any hand-written table, and still quickly read.
constexpr std::int64_t MaxTableSize = 16 << 20;

std::string Levels(const std::vector<TTableValue> &values) {
    std::string text;
    for (const TTableValue value : values) {
        if (!text.empty()) text += ' ';
        text += "01XC"[std::size_t(value)];
    }
    return text;
}

constexpr TOptionSpec Options[] = {
    {"--settle", "MS",
     "a row is settled once no output it names changed for MS\n"
     "(default: twice the longest delay, at most 60000)"},
    {"--clock", "MS",
     "give every clock this delay, as the speed slider does\n"
     "(without it the clocks keep the delays stored in the file)"},
};

} // namespace

const TCommandSpec TestCommand{
    "test",
    "FILE.ZTR TABLE [OPTIONS]",
    "check a network against a truth table",
    2,
    "Runs a network in virtual time against a truth table; prints each failing row and\n"
    "\"N passed, M failed\" (exit 1 unless all pass). The table's first line names the input\n"
    "pulse switches, a |, then the output ports; each further line gives their levels: 0, 1,\n"
    "X (an output not looked at) or C (a pulse: always one rising and one falling edge, so a\n"
    "switch at 1 first goes to 0 and the outputs settle; then up, settle, down, settle).\n"
    "# starts a comment. Rows run in order without a reset; each is read once none of its\n"
    "outputs changed for the settle time, while ports the table does not name (a running\n"
    "clock) may go on changing. A row fails unsettled when one wait passes (ports + 100)\n"
    "settle times, at most 10000000 ms.",
    Options,
    "Times are whole milliseconds: --settle from 1 to 3600000, --clock from 1 to 2147483647."};

void TestTable(const TCommandLine &line) {
    const std::string networkFile = line.Arguments[0], tableFile = line.Arguments[1];
    std::optional<std::int64_t> settle, clock;
    for (const auto &[option, value] : line.Options) {
        if (option == "--settle")
            settle = Milliseconds(option, value, 1, MaxSettleTime);
        else
            clock = Milliseconds(option, value, 1, MaxMilliseconds);
    }

    const std::vector<std::uint8_t> bytes = ReadWholeFile(tableFile, MaxTableSize);
    TTruthTable table;
    try {
        table = ParseTruthTable(
            std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    } catch (const ETruthTableError &error) {
        throw ToolError(tableFile + ": " + error.what());
    }

    TSimNetwork network = LoadNetworkModel(networkFile);
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
