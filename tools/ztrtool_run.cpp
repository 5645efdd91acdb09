// ztrtool run: a network file run headless in virtual time, its levels written as waveforms.

#include "ZtrTool.h"

#include "ToolOutputs.h"

#include "app/TimingDiagram.h"
#include "sim/Recorder.h"
#include "sim/Simulator.h"
#include "sim/Waveforms.h"
#include "stream/Cp1252.h"
#include "stream/Errors.h"
#include "stream/WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Times fit the delays' range.
constexpr std::int64_t MaxTime = MaxMilliseconds;
// Bounds that keep a mistyped run from filling the memory or the disk.
constexpr std::size_t MaxText = std::size_t(256) << 20;
constexpr std::size_t MaxChanges = std::size_t(1) << 24;
constexpr std::int64_t MaxSamples = std::int64_t(1) << 22;
// The run is served in pieces of this many milliseconds, the recording checked after each.
constexpr std::int64_t Piece = 1024;

constexpr TOptionSpec Options[] = {
    {"--for", "MS", "run until MS, serving every evaluation due by then"},
    {"--toggle", "NAME@MS",
     "double-click the pulse switch NAME at MS, at most --for (again for more)", true},
    {"--clock", "MS",
     "give every clock this delay, as the speed slider does\n"
     "(without it the clocks keep the delays stored in the file)"},
    {"--vcd", "OUT", "write the levels as VCD (GTKWave, PulseView)"},
    {"--wavedrom", "OUT", "write them as WaveDrom WaveJSON, one character a sample"},
    {"--sample", "MS", "the WaveJSON's sample time (default: the network's shortest delay)"},
    {"--csv", "OUT", "write them as CSV, a row for each millisecond with a change"},
    {"--signals", "NAME,...", "record these ports' outputs, each once (default: every port's)"},
    {"--inputs", "", "record the inputs A and B of each recorded port too"},
};

struct RunOptions {
    std::optional<std::int64_t> duration, clock, sample;
    std::vector<std::pair<std::string, std::int64_t>> toggles;
    std::string vcd, wavedrom, csv;
    std::optional<std::vector<std::string>> chosen;
    bool inputs = false;
};

std::int64_t ParseTime(std::string_view option, std::string_view text) {
    return Milliseconds(option, text, 0, MaxTime);
}

std::vector<std::string> SplitNames(std::string_view list) {
    std::vector<std::string> names;
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        names.emplace_back(list.substr(start, comma - start));
        if (comma == std::string_view::npos) return names;
        start = comma + 1;
    }
}

RunOptions ParseOptions(const TCommandLine &line) {
    RunOptions run;
    for (const auto &[option, value] : line.Options) {
        if (option == "--for") {
            run.duration = ParseTime(option, value);
        } else if (option == "--clock") {
            run.clock = Milliseconds(option, value, 1, MaxTime);
        } else if (option == "--sample") {
            run.sample = Milliseconds(option, value, 1, MaxTime);
        } else if (option == "--toggle") {
            const std::size_t at = value.rfind('@');
            if (at == std::string::npos || at == 0)
                throw ToolError("--toggle: \"" + value + "\" is not NAME@MS");
            run.toggles.emplace_back(value.substr(0, at), ParseTime(option, value.substr(at + 1)));
        } else if (option == "--vcd") {
            run.vcd = value;
        } else if (option == "--wavedrom") {
            run.wavedrom = value;
        } else if (option == "--csv") {
            run.csv = value;
        } else if (option == "--signals") {
            run.chosen = SplitNames(value);
        } else if (option == "--inputs") {
            run.inputs = true;
        }
    }
    if (!run.duration) throw ToolError("run: --for MS is missing (try ztrtool run --help)");
    for (const auto &[name, at] : run.toggles)
        if (at > *run.duration)
            throw ToolError("--toggle " + name + "@" + std::to_string(at) +
                            " comes after the end of the run (" + std::to_string(*run.duration) +
                            " ms)");
    return run;
}

// Names are 8-bit text in the file; waveforms and the command line use UTF-8.
std::string Utf8(std::string_view text) {
    std::string utf8;
    for (const char c : text) {
        const int found = Cp1252ToUnicode(std::uint8_t(c));
        const auto character = char32_t(found < 0 ? 0xFFFD : found);
        if (character < 0x80) {
            utf8 += char(character);
        } else if (character < 0x800) {
            utf8 += {char(0xC0 | (character >> 6)), char(0x80 | (character & 0x3F))};
        } else {
            utf8 += {char(0xE0 | (character >> 12)), char(0x80 | ((character >> 6) & 0x3F)),
                     char(0x80 | (character & 0x3F))};
        }
    }
    return utf8;
}

int FindPort(const TSimNetwork &network, const std::string &name, const char *what) {
    const int port = network.Find(name);
    if (port < 0) throw ToolError(std::string("unknown ") + what + " \"" + name + "\"");
    return port;
}

// The virtual time reached, on one line of standard error rewritten in place, once a run has
// taken 2 s; only on a terminal, so that scripts and logs get nothing.
class TProgress {
public:
    using TClock = std::chrono::steady_clock;
    TProgress(TClock::time_point start, std::int64_t end)
        : FNext(start + std::chrono::seconds(2)), FEnd(end), FShown(::isatty(STDERR_FILENO) == 1) {}
    ~TProgress() { Clear(); }

    void Show(std::int64_t reached) {
        if (!FShown) return;
        const TClock::time_point now = TClock::now();
        if (now < FNext) return;
        FNext = now + std::chrono::milliseconds(250);
        std::fprintf(stderr, "\rrun: %lld of %lld ms (%d%%)", static_cast<long long>(reached),
                     static_cast<long long>(FEnd),
                     int(FEnd > 0 ? double(reached) * 100 / double(FEnd) : 100));
        std::fflush(stderr);
        FOnScreen = true;
    }
    // Takes the line away again.
    void Clear() {
        if (FOnScreen) std::fputs("\r\033[K", stderr);
        FOnScreen = false;
    }

private:
    TClock::time_point FNext;
    std::int64_t FEnd;
    bool FShown;
    bool FOnScreen = false;
};

} // namespace

const TCommandSpec RunCommand{
    "run",
    "FILE.ZTR --for MS [OPTIONS]",
    "run a network in virtual time, writing waveforms",
    1,
    "Runs a network without windows in virtual time: whole milliseconds from activation at 0,\n"
    "each gate evaluated again after its delay (a delay below 1 counts as 1 ms in a headless\n"
    "run). Prints the evaluations, the virtual time, the wall time of the run and each lamp's\n"
    "last level.",
    Options,
    "Times are whole milliseconds from 0 to 2147483647; --clock and --sample start at 1.\n"
    "OUT - is the standard output (the summary then goes to standard error). A terminal, pipe\n"
    "or device is written as a stream; files are replaced only once every output is ready, and\n"
    "no two options may name the same file."};

void Run(const TCommandLine &line) {
    const std::string fileName = line.Arguments[0];
    const RunOptions options = ParseOptions(line);
    // Outputs that cannot be written are refused before the run rather than after it.
    TToolOutputs destinations;
    for (const auto &[option, path] :
         {std::pair("--vcd", &options.vcd), std::pair("--wavedrom", &options.wavedrom),
          std::pair("--csv", &options.csv)})
        if (!path->empty()) destinations.Add(option, *path);

    {
        TSimNetwork network = LoadNetworkModel(fileName);
        network.Name = Utf8(network.Name);
        for (std::string &name : network.Names)
            name = Utf8(name);
        if (options.clock) network.SetClockDelay(std::int32_t(*options.clock));

        std::vector<std::pair<int, std::int64_t>> toggles;
        for (const auto &[name, at] : options.toggles) {
            const int port = FindPort(network, name, "switch");
            if (network.Ports[std::size_t(port)].Kind != TLogicalPortType::logPLS)
                throw ToolError("--toggle: \"" + name + "\" is not a pulse switch");
            toggles.emplace_back(port, at);
        }
        std::vector<int> recorded;
        if (options.chosen) {
            for (const std::string &name : *options.chosen) {
                const int port = FindPort(network, name, "signal");
                if (std::find(recorded.begin(), recorded.end(), port) == recorded.end())
                    recorded.push_back(port);
            }
        } else {
            for (std::size_t port = 0; port < network.Ports.size(); ++port)
                recorded.push_back(int(port));
        }
        TLevelRecorder recorder;
        for (const int port : recorded) {
            recorder.AddSignal(network, port, TSignalLevel::Output);
            if (options.inputs) {
                recorder.AddSignal(network, port, TSignalLevel::InA);
                recorder.AddSignal(network, port, TSignalLevel::InB);
            }
        }
        std::int64_t sample = options.sample.value_or(network.Ports.empty() ? 1 : MaxTime);
        if (!options.sample)
            for (const TSimPort &port : network.Ports)
                sample = std::min<std::int64_t>(sample, std::max(port.Delay, 1));
        const std::int64_t end = *options.duration;
        const std::int64_t samples = end / sample + 1;
        if (!options.wavedrom.empty() &&
            (samples > MaxSamples || std::uint64_t(samples) * recorder.Names().size() > MaxText))
            throw ToolError("--wavedrom: " + std::to_string(samples) + " samples of " +
                            std::to_string(recorder.Names().size()) +
                            " signals are too many (at most " + std::to_string(MaxSamples) +
                            " a signal); choose a longer --sample");

        const bool recording =
            !options.vcd.empty() || !options.wavedrom.empty() || !options.csv.empty();
        TSimulator simulator(network, recording ? &recorder : nullptr);
        const auto start = std::chrono::steady_clock::now();
        simulator.Activate();
        for (const auto &[port, at] : toggles)
            simulator.Toggle(port, at);
        TProgress progress(start, end);
        for (std::int64_t until = -1; until < end;) {
            until = std::min(until + Piece, end);
            simulator.RunUntil(until);
            if (recorder.Changes().size() > MaxChanges)
                throw ToolError("the run changes the recorded levels more than " +
                                std::to_string(MaxChanges) +
                                " times; record fewer signals or run for less time");
            progress.Show(until);
        }
        progress.Clear();
        const std::chrono::duration<double, std::milli> wall =
            std::chrono::steady_clock::now() - start;

        // The writers read the packed changes in place. The texts are all made before any file
        // is written, so that a run whose text is too long leaves no file.
        std::deque<std::pair<const std::string *, std::string>> outputs;
        const auto textOf = [&outputs](const std::string &path) {
            std::string &text = outputs.emplace_back(&path, std::string()).second;
            return TTextSink([&text](std::string_view piece) { text += piece; });
        };
        const TLevelChanges &changes = recorder.Changes();
        try {
            if (!options.vcd.empty())
                WriteVcd(textOf(options.vcd), recorder.Names(), changes, end, VcdScope(fileName),
                         MaxText);
            if (!options.wavedrom.empty())
                WriteWaveDrom(textOf(options.wavedrom), recorder.Names(), changes, end, sample,
                              MaxText);
            if (!options.csv.empty())
                WriteCsv(textOf(options.csv), recorder.Names(), changes, end, MaxText);
        } catch (const std::length_error &error) {
            throw ToolError(std::string(error.what()) +
                            "; record fewer signals or run for less time");
        }
        // In the order they were added, which is the order they were made in.
        std::vector<std::string_view> texts;
        for (const auto &output : outputs)
            texts.push_back(output.second);
        destinations.Write(texts);

        // Standard output, when it carries a waveform, carries nothing else.
        std::FILE *summary = destinations.WritesStandardOutput() ? stderr : stdout;
        std::fprintf(summary, "evaluations: %llu\nvirtual time: %lld ms\nwall time: %.3f ms\n",
                     static_cast<unsigned long long>(simulator.Evaluations()),
                     static_cast<long long>(simulator.ServedThrough()), wall.count());
        for (std::size_t port = 0; port < network.Ports.size(); ++port)
            if (network.Ports[port].Kind == TLogicalPortType::logLED)
                std::fprintf(summary, "%s=%d\n", network.Names[port].c_str(),
                             int(network.Ports[port].Levels.Output));
    }
}
