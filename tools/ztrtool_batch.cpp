// ztrtool test TABLE FILE.ZTR|FOLDER...: many networks against one table, each in a worker
// process (WorkerPool.h), so that one that crashes or runs away costs only its own line.

#include "BatchReport.h"
#include "ToolOutputs.h"
#include "WorkerPool.h"
#include "ZtrTool.h"

#include "stream/WholeFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace {

using TStatus = TFileOutcome::TStatus;

// Far more than any hand-written table, and still quickly read.
constexpr std::int64_t MaxTableSize = 16 << 20;
// More files than any class hands in.
constexpr std::size_t MaxFiles = 100'000;
constexpr int MaxJobs = 256;

struct TBatchOptions {
    std::optional<std::int64_t> Settle, Clock;
    double Timeout = 10;
    int Jobs = 0;
    std::string JUnit, Json;
};

[[noreturn]] void Usage(const std::string &message) {
    throw ToolError("test: " + message + " (try ztrtool test --help)", 2);
}

// Seconds as "10", "0.5" or "2.25": from 0.01 to 86400.
double TimeoutSeconds(const std::string &text) {
    double seconds = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !(seconds >= 0.01 && seconds <= 86400))
        Usage("--timeout: \"" + text + "\" is not a number of seconds from 0.01 to 86400");
    return seconds;
}

TBatchOptions ParseBatchOptions(const TCommandLine &line) {
    TBatchOptions options;
    options.Jobs = AvailableProcessors();
    try {
        for (const auto &[option, value] : line.Options) {
            if (option == "--settle") {
                options.Settle = Milliseconds(option, value, 1, MaxSettleTime);
            } else if (option == "--clock") {
                options.Clock = Milliseconds(option, value, 1, MaxMilliseconds);
            } else if (option == "--timeout") {
                options.Timeout = TimeoutSeconds(value);
            } else if (option == "-j") {
                const auto [end, error] =
                    std::from_chars(value.data(), value.data() + value.size(), options.Jobs);
                if (error != std::errc() || end != value.data() + value.size() ||
                    options.Jobs < 1 || options.Jobs > MaxJobs)
                    Usage("-j: \"" + value + "\" is not a whole number from 1 to " +
                          std::to_string(MaxJobs));
            } else if (option == "--junit") {
                options.JUnit = value;
            } else if (option == "--json") {
                options.Json = value;
            }
        }
    } catch (const ToolError &error) {
        if (error.Status == 2) throw;
        Usage(error.what());
    }
    return options;
}

struct TBatchFile {
    std::string Path, Name;
};

// The files: each argument that is a folder gives its .ZTR files sorted by name, any other is
// taken as a network file (one that is not there fails on its own line).
std::vector<TBatchFile> CollectFiles(std::span<const std::string> paths) {
    namespace fs = std::filesystem;
    std::vector<TBatchFile> files;
    for (const std::string &path : paths) {
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            files.push_back({path, path});
            continue;
        }
        std::vector<std::string> names;
        fs::directory_iterator entries(path, error);
        for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
            const std::string name = entries->path().filename().string();
            std::error_code kind;
            if (IsNetworkFileName(name) && !entries->is_directory(kind)) names.push_back(name);
            if (names.size() > MaxFiles) Usage("more than " + std::to_string(MaxFiles) + " files");
        }
        if (error) Usage("cannot read the folder \"" + path + "\": " + error.message());
        std::sort(names.begin(), names.end());
        const std::string folder = path.ends_with('/') ? path : path + "/";
        for (const std::string &name : names)
            files.push_back({folder + name, folder == "./" ? name : folder + name});
    }
    if (files.size() > MaxFiles) Usage("more than " + std::to_string(MaxFiles) + " files");
    if (files.empty()) Usage("no network files (.ZTR) to check");
    return files;
}

// A worker's answer: numbers and texts, each text after its length.
class TAnswerWriter {
public:
    void Number(std::int64_t value) { FBytes.append(reinterpret_cast<const char *>(&value), 8); }
    void Text(std::string_view text) {
        Number(std::int64_t(text.size()));
        FBytes.append(text);
    }
    std::string Bytes() && { return std::move(FBytes); }

private:
    std::string FBytes;
};

class TAnswerReader {
public:
    explicit TAnswerReader(std::string_view bytes) : FRest(bytes) {}
    std::int64_t Number() {
        std::int64_t value = 0;
        if (FRest.size() < 8) return Fail();
        std::memcpy(&value, FRest.data(), 8);
        FRest.remove_prefix(8);
        return value;
    }
    // A number from least to most; a broken answer otherwise.
    std::int64_t Number(std::int64_t least, std::int64_t most) {
        const std::int64_t value = Number();
        return value >= least && value <= most ? value : Fail();
    }
    std::string Text() {
        const auto length = std::size_t(Number(0, std::int64_t(FRest.size())));
        std::string text(FRest.substr(0, length));
        FRest.remove_prefix(length);
        return text;
    }
    bool Good() const { return FGood && FRest.empty(); }

private:
    std::int64_t Fail() {
        FGood = false;
        FRest = {};
        return 0;
    }
    std::string_view FRest;
    bool FGood = true;
};

constexpr double Microseconds = 1e6;

// In the worker: the file loaded and run, within the processor time.
std::string CheckFile(const TBatchFile &file, const TTruthTable &table,
                      const std::string &tableFile, const TBatchOptions &options) {
    const double start = ProcessorSeconds(), deadline = start + options.Timeout;
    TStatus status = TStatus::Ran;
    std::string reason;
    std::int64_t maxRun = 0;
    std::vector<TRowResult> results;
    std::vector<double> rowStarts;
    try {
        TSimNetwork network = LoadNetworkModel(file.Path);
        if (options.Clock) network.SetClockDelay(std::int32_t(*options.Clock));
        const std::int64_t settle = options.Settle.value_or(DefaultSettleTime(network));
        maxRun = MaxRunTime(network, settle);
        unsigned calls = 0;
        results = RunTruthTable(network, table, settle, [&](std::size_t row) {
            // The clock is a system call: asked at each row, and now and then within one.
            if (row == rowStarts.size()) {
                rowStarts.push_back(ProcessorSeconds());
                return rowStarts.back() < deadline;
            }
            return ++calls % 16 != 0 || ProcessorSeconds() < deadline;
        });
    } catch (const ETruthTableStopped &) {
        status = TStatus::Timeout;
    } catch (const ETruthTableError &error) {
        status = TStatus::Error;
        reason = tableFile + ": " + error.what();
    } catch (const std::bad_alloc &) {
        status = TStatus::Error;
        reason = "out of memory";
    } catch (const std::exception &error) {
        status = TStatus::Error;
        reason = error.what();
        // The load names the file first; its line already does.
        if (reason.starts_with(file.Path + ": ")) reason.erase(0, file.Path.size() + 2);
    }
    const double end = ProcessorSeconds();
    if (status == TStatus::Ran && end > deadline) status = TStatus::Timeout;
    TAnswerWriter answer;
    answer.Number(std::int64_t(status));
    answer.Text(reason);
    answer.Number(maxRun);
    answer.Number(std::llround((end - start) * Microseconds));
    if (status != TStatus::Ran) return std::move(answer).Bytes();
    answer.Number(std::int64_t(results.size()));
    rowStarts.push_back(end);
    for (std::size_t row = 0; row < results.size(); ++row) {
        const TRowResult &result = results[row];
        answer.Number(result.Settled);
        answer.Number(result.Passed);
        answer.Number(std::llround((rowStarts[row + 1] - rowStarts[row]) * Microseconds));
        answer.Text(std::string(result.Got.begin(), result.Got.end()));
    }
    return std::move(answer).Bytes();
}

// In this process: the worker's answer read back, checked against the table.
TFileOutcome ReadAnswer(const TBatchFile &file, const TTruthTable &table, std::string_view bytes) {
    TFileOutcome outcome;
    outcome.Name = file.Name;
    TAnswerReader answer(bytes);
    outcome.Status = TStatus(answer.Number(0, 2));
    outcome.Reason = answer.Text();
    outcome.MaxRun = answer.Number(0, INT64_MAX);
    outcome.Seconds = double(answer.Number(0, INT64_MAX)) / Microseconds;
    if (outcome.Status == TStatus::Ran) {
        const auto rows = std::size_t(answer.Number(0, std::int64_t(table.Rows.size())));
        for (std::size_t row = 0; row < rows; ++row) {
            TRowOutcome result;
            result.Settled = answer.Number(0, 1);
            result.Passed = answer.Number(0, 1);
            result.Seconds = double(answer.Number(0, INT64_MAX)) / Microseconds;
            const std::string got = answer.Text();
            result.Got.assign(got.begin(), got.end());
            if (result.Settled && result.Got.size() != table.Outputs.size()) answer.Number(1, 0);
            outcome.Rows.push_back(std::move(result));
        }
        if (rows != table.Rows.size()) answer.Number(1, 0);
    }
    if (!answer.Good()) {
        outcome = TFileOutcome{};
        outcome.Name = file.Name;
        outcome.Reason = "the worker's answer is garbled";
    }
    return outcome;
}

} // namespace

void TestBatch(const std::string &tableFile, std::span<const std::string> paths,
               const TCommandLine &line) {
    const TBatchOptions options = ParseBatchOptions(line);
    if (IsNetworkFileName(tableFile))
        Usage("the table comes first, and \"" + tableFile + "\" is a network file");
    TToolOutputs outputs;
    std::vector<std::string_view> reports;
    try {
        if (!options.JUnit.empty()) outputs.Add("--junit", options.JUnit);
        if (!options.Json.empty()) outputs.Add("--json", options.Json);
    } catch (const ToolError &error) {
        throw ToolError(error.what(), 2);
    }
    TTruthTable table;
    try {
        const std::vector<std::uint8_t> bytes = ReadWholeFile(tableFile, MaxTableSize);
        table = ParseTruthTable(
            std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    } catch (const ETruthTableError &error) {
        throw ToolError(tableFile + ": " + error.what(), 2);
    } catch (const std::exception &error) {
        throw ToolError(error.what(), 2);
    }
    const std::vector<TBatchFile> files = CollectFiles(paths);

    // The lines come in the files' order, each as soon as those before it are in; beside a
    // report on the standard output they go to the standard error.
    std::FILE *const text = outputs.WritesStandardOutput() ? stderr : stdout;
    std::vector<std::optional<TFileOutcome>> outcomes(files.size());
    std::size_t printed = 0;
    bool writeFailed = false;
    TPoolLimits limits;
    limits.Workers = options.Jobs;
    limits.ProcessorSeconds = options.Timeout;
    // More workers than processors share them; a worker that waits instead of computing is
    // stopped well after its processor time could have run out.
    const double crowding = std::ceil(double(options.Jobs) / AvailableProcessors());
    limits.WallSeconds = options.Timeout * 2 * std::max(1.0, crowding) + 10;
    RunInWorkers(
        files.size(), limits,
        [&](std::size_t index) { return CheckFile(files[index], table, tableFile, options); },
        [&](std::size_t index, TJobOutcome job) {
            TFileOutcome &outcome = outcomes[index].emplace();
            if (job.Kind == TJobOutcome::TKind::Answered) {
                outcome = ReadAnswer(files[index], table, job.Answer);
            } else {
                outcome.Name = files[index].Name;
                outcome.Status =
                    job.Kind == TJobOutcome::TKind::OutOfTime ? TStatus::Timeout : TStatus::Error;
                outcome.Reason = job.Reason;
                // A crash's processor time is not known; one out of time had at least this.
                outcome.Seconds = job.Kind == TJobOutcome::TKind::OutOfTime ? options.Timeout : 0;
            }
            for (; printed < outcomes.size() && outcomes[printed]; ++printed) {
                const std::string lines = FileText(table, *outcomes[printed]);
                writeFailed |= std::fwrite(lines.data(), 1, lines.size(), text) != lines.size();
            }
            writeFailed |= std::fflush(text) != 0;
        });

    std::vector<TFileOutcome> all;
    TTally total;
    for (std::optional<TFileOutcome> &outcome : outcomes) {
        const TTally tally = Tally(table, *outcome);
        total.Passed += tally.Passed;
        total.Failed += tally.Failed;
        all.push_back(std::move(*outcome));
    }
    std::fprintf(text, "%zu passed, %zu failed\n", total.Passed, total.Failed);
    if (writeFailed || std::fflush(text) != 0)
        throw ToolError("cannot write the results to standard output", 2);
    const std::string junit = options.JUnit.empty() ? "" : JUnitReport(table, tableFile, all);
    const std::string json = options.Json.empty() ? "" : JsonReport(table, tableFile, all);
    if (!options.JUnit.empty()) reports.push_back(junit);
    if (!options.Json.empty()) reports.push_back(json);
    try {
        outputs.Write(reports);
    } catch (const std::exception &error) {
        throw ToolError(error.what(), 2);
    }
    const auto failing = std::size_t(std::count_if(
        all.begin(), all.end(), [&](const auto &file) { return Tally(table, file).Failed > 0; }));
    if (failing > 0)
        throw ToolError(std::to_string(failing) + " of " + std::to_string(all.size()) +
                        " files did not pass every row");
}
