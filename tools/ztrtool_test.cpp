// ztrtool test: a network checked against a truth table, in virtual time (sim/TruthTable.h).

#include "ZtrTool.h"

#include "sim/TruthTable.h"
#include "stream/Errors.h"
#include "stream/WholeFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
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
    {"--timeout", "SECONDS", "a file that takes more processor time is \"timeout\" (default 10)"},
    {"-j", "N",
     "check N files at once, each in a process of its own\n"
     "(default: the processors available)"},
    {"--junit", "OUT",
     "write JUnit XML: a testsuite per file, a testcase per row,\n"
     "a failure for a wrong row, an error for a file in error"},
    {"--json", "OUT",
     "write JSON: per file its rows, passed, failed and score\n"
     "(passed weight / all weight), then the totals"},
};

// Options only the form for many files knows.
bool BatchOption(std::string_view option) {
    return option == "--timeout" || option == "-j" || option == "--junit" || option == "--json";
}

} // namespace

const TCommandSpec TestCommand{
    "test",
    "TABLE FILE.ZTR|FOLDER... [OPTIONS]",
    "check networks against a truth table",
    2,
    "or:    ztrtool test FILE.ZTR TABLE [OPTIONS]    (one network, checked in this process)\n"
    "Runs networks in virtual time against a truth table. Each FILE.ZTR, and each .ZTR or .ztr\n"
    "in a FOLDER (by name), is checked in a worker process and gets a line: \"NAME: N passed,\n"
    "M failed\" and its failing rows under it (expected and got), \"NAME: error: REASON\" when it\n"
    "does not load or run, or \"NAME: timeout\". Then \"N passed, M failed\" for the rows of all\n"
    "files, a file in error or out of time failing all its rows. Exit status: 0 every row of\n"
    "every file passed; 1 not; 2 bad usage, an unreadable table or an unwritable output.\n"
    "Two arguments, a network file first, are the older form: that network's failing rows as\n"
    "\"TABLE: line N: ...\" and the count (exit 1 unless all pass); with --timeout, -j, --junit\n"
    "or --json it is checked as a batch of one.\n"
    "The table's first line names the input pulse switches, a |, then the output ports; each\n"
    "further line gives their levels: 0, 1, X (an output not looked at) or C (a pulse: always\n"
    "one rising and one falling edge, so a switch at 1 first goes to 0 and the outputs settle;\n"
    "then up, settle, down, settle). # starts a comment; a line that is only \"# weight N\" gives\n"
    "the rows after it weight N in the score (default 1). Rows run in order without a reset;\n"
    "each is read once none of its outputs changed for the settle time, while ports the table\n"
    "does not name (a running clock) may go on changing. A row fails unsettled when one wait\n"
    "passes (ports + 100) settle times, at most 10000000 ms.",
    Options,
    "Times are whole milliseconds: --settle from 1 to 3600000, --clock from 1 to 2147483647;\n"
    "--timeout from 0.01 to 86400 seconds of processor time (a worker past it by more than a\n"
    "second is stopped); -j from 1 to 256; a weight from 1 to 1000000.",
    true};

void TestTables(Arguments words) {
    std::error_code error;
    const bool older = !words.empty() && IsNetworkFileName(words[0]) &&
                       !std::filesystem::is_directory(words[0], error);
    TCommandLine line;
    try {
        line = ParseCommandLine(TestCommand, words);
    } catch (const ToolError &usage) {
        throw ToolError(usage.what(), older ? 1 : 2);
    }
    const bool batch = std::any_of(line.Options.begin(), line.Options.end(),
                                   [](const auto &option) { return BatchOption(option.first); });
    if (older && line.Arguments.size() == 2) {
        if (!batch) return TestTable(line);
        return TestBatch(line.Arguments[1], std::span(line.Arguments).first(1), line);
    }
    TestBatch(line.Arguments[0], std::span(line.Arguments).subspan(1), line);
}

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
