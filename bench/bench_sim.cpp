// Times the headless core on one thread: evaluations per second and virtual milliseconds per
// millisecond of processor time, with no recorder and with every output recorded, for three kinds
// of network:
//
// rings: rings of three inverters, 10 ms each (the ports left over are lamps on the first ring).
// chains: a pulse switch pressed at 0 starts clocks, each feeding a chain of 99 gates of every
//   kind, all at 10 ms.
// mixed: gates of every kind wired at random, delays 10 to 500 ms, a fixed seed; a switch pressed
//   at 0 starts the clocks among them.
//
//   bench_sim [--sizes N,N,...] [--networks rings,chains,mixed] [--evals E] [--repeat R]
//             [--rows off|all|both] [--memory PORTS]
//   bench_sim --file NETWORK.ZTR [--until MS] [--repeat R] [--record]
// A row runs each repetition on a fresh simulator for about E evaluations and shows the median by
// processor time; recording rows use a new recorder per run ("all") and one that recorded the run
// before ("all,again"). With --file the network is loaded as the program loads it, then only the
// run from activation to MS is timed; "run_seconds" and "cpu_seconds" are what a script reads.
// The table ends with the peak memory of a run as ztrtool run makes it: rings of PORTS inverters
// (default 10,002; 0 skips it) saved and loaded as the program does, run for 10 s in a child
// process without recording and again recording every output and writing them as VCD into a
// sink that drops the text (a file streamed out is no memory of the run).
// Goals: >= 20 M evaluations/s for 10,000 mixed ports; >= 1,000x real time for 1,000 ports at
// 10 ms; recording every output of the rings <= 1.5x the time of the same run without it; the
// peak memory with the VCD <= 1.3x the peak without it.

#include "ChainNetwork.h"
#include "Util.h"
#include "app/Main.h"
#include "classlib/AppEvnts.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"
#include "gates/LogicCmp.h"
#include "sim/Recorder.h"
#include "sim/Simulator.h"
#include "sim/Waveforms.h"

#include <QApplication>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using enum TLogicalPortType;
using Clock = std::chrono::steady_clock;

struct TOptions {
    std::vector<int> Sizes{1000, 10000};
    std::vector<std::string> Networks{"rings", "chains", "mixed"};
    double Evaluations = 20e6;
    int Repeat = 5;
    std::string File;
    std::int64_t Until = 10000;
    bool Record = false;
    // Which of the runs without a recorder and with every output recorded a row makes.
    bool RowsOff = true, RowsAll = true;
    int MemoryPorts = 10002;
};

// A network and the switches pressed at 0 to start it.
struct TBenchNetwork {
    std::string Kind;
    TSimNetwork Network;
    std::vector<int> Pressed;
};

void Add(TSimNetwork &network, TLogicalPortType kind, std::int32_t delay, std::int32_t inA = -1,
         std::int32_t inB = -1) {
    network.Ports.push_back({kind, {}, delay, inA, inB});
    network.Names.push_back("LogPort" + std::to_string(network.Ports.size()));
}

TBenchNetwork Rings(int n) {
    TBenchNetwork bench{"rings", {}, {}};
    const int rings = n / 3;
    for (int ring = 0; ring < rings; ++ring)
        for (int i = 0; i < 3; ++i)
            Add(bench.Network, logNOT, 10, ring * 3 + (i + 2) % 3);
    while (int(bench.Network.Ports.size()) < n)
        Add(bench.Network, logLED, 10, 0);
    return bench;
}

TBenchNetwork Chains(int n) {
    static constexpr TLogicalPortType ChainKinds[] = {logNOT, logAND,  logOR,  logXOR, logNAND,
                                                      logNOR, logNXOR, logLED, logFFD, logFFJK};
    TBenchNetwork bench{"chains", {}, {0}};
    Add(bench.Network, logPLS, 10);
    int clock = 0;
    for (int i = 1; i < n; ++i) {
        const int previous = i - 1;
        if ((i - 1) % 100 == 0) {
            clock = i;
            Add(bench.Network, logCLK, 10, 0);
        } else {
            Add(bench.Network, ChainKinds[(i - 1) % 100 % 10], 10, previous, clock);
        }
    }
    return bench;
}

TBenchNetwork Mixed(int n) {
    static constexpr TLogicalPortType MixedKinds[] = {
        logAND, logOR, logNOT, logXOR, logNAND, logNOR, logNXOR, logLED, logFFD, logFFJK, logCLK};
    TBenchNetwork bench{"mixed", {}, {0}};
    std::mt19937_64 random(20240611);
    Add(bench.Network, logPLS, 10);
    for (int i = 1; i < n; ++i) {
        const auto kind = MixedKinds[random() % std::size(MixedKinds)];
        const auto delay = std::int32_t(10 + random() % 491);
        // Clocks run from the switch; the rest read any two ports, before or after them.
        const auto inA = kind == logCLK ? 0 : std::int32_t(random() % std::uint64_t(n));
        const auto inB = kind == logCLK ? -1 : std::int32_t(random() % std::uint64_t(n));
        Add(bench.Network, kind, delay, inA, inB);
    }
    return bench;
}

// Evaluations per virtual millisecond once running: every port once per delay.
double EvaluationsPerMs(const TSimNetwork &network) {
    double rate = 0;
    for (const TSimPort &port : network.Ports)
        rate += 1.0 / std::max<std::int32_t>(port.Delay, 1);
    return rate;
}

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct TRun {
    double Wall = 0, Cpu = 0;
    std::uint64_t Evaluations = 0;
    std::size_t Changes = 0;
    // For a recording run, its time over that of the same run without recording.
    double Ratio = 0;
};

// How a run records: not at all, every output in a new recorder, or every output in a recorder
// that already held a run (its memory is used again).
enum class TRecording { Off, Fresh, Reused };

// One run from activation to until on a fresh simulator.
TRun RunOnce(TSimNetwork &network, const std::vector<int> &pressed, std::int64_t until,
             TLevelRecorder *recorder) {
    TSimulator simulator(network, recorder);
    const double cpu = ThreadSeconds();
    const auto start = Clock::now();
    simulator.Activate();
    for (const int port : pressed)
        simulator.Toggle(port, 0);
    simulator.RunUntil(until);
    TRun run;
    run.Wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.Cpu = ThreadSeconds() - cpu;
    run.Evaluations = simulator.Evaluations();
    run.Changes = recorder ? recorder->Changes().size() : 0;
    return run;
}

std::unique_ptr<TLevelRecorder> AllOutputs(const TSimNetwork &network) {
    auto recorder = std::make_unique<TLevelRecorder>();
    for (std::size_t port = 0; port < network.Ports.size(); ++port)
        recorder->AddSignal(network, int(port), TSignalLevel::Output);
    return recorder;
}

// The median run by processor time of repeat runs: on a shared machine the wall clock also counts
// the time other programs held the core. A recording run is paired with one without, right before
// it, and its ratio to that is the median of the pairs', so that a change in the machine's load
// between rows does not show as the recording's cost.
TRun MedianRun(TSimNetwork &network, const std::vector<int> &pressed, std::int64_t until,
               TRecording recording, int repeat) {
    std::unique_ptr<TLevelRecorder> reused;
    if (recording == TRecording::Reused) {
        reused = AllOutputs(network);
        RunOnce(network, pressed, until, reused.get());
    }
    std::vector<TRun> runs;
    std::vector<double> ratios;
    for (int i = 0; i < repeat; ++i) {
        std::unique_ptr<TLevelRecorder> fresh;
        if (recording == TRecording::Fresh) fresh = AllOutputs(network);
        const double off =
            recording == TRecording::Off ? 0 : RunOnce(network, pressed, until, nullptr).Cpu;
        runs.push_back(RunOnce(network, pressed, until, reused ? reused.get() : fresh.get()));
        if (off > 0) ratios.push_back(runs.back().Cpu / off);
    }
    std::sort(runs.begin(), runs.end(), [](const TRun &a, const TRun &b) { return a.Cpu < b.Cpu; });
    TRun median = runs[runs.size() / 2];
    std::sort(ratios.begin(), ratios.end());
    if (!ratios.empty()) median.Ratio = ratios[ratios.size() / 2];
    return median;
}

void PrintRow(const TBenchNetwork &bench, const char *recording, std::int64_t until,
              const TRun &run, double ratio) {
    std::printf("%-7s %6zu  %-9s %9.1f %8lld %8.1f %9.1f %8.1f %9.0f", bench.Kind.c_str(),
                bench.Network.Ports.size(), recording, double(run.Evaluations) * 1e-6,
                static_cast<long long>(until), run.Cpu * 1e3, run.Wall * 1e3,
                double(run.Evaluations) / run.Cpu * 1e-6, double(until + 1) / (run.Cpu * 1e3));
    if (ratio > 0) std::printf("  %5.2fx %8.1f", ratio, double(run.Changes) * 1e-6);
    std::printf("\n");
}

// Rings of three inverters at 10 ms (the ports left over unwired), saved as the program saves.
bool WriteRingsNetwork(int n, const std::string &path) {
    return WritePlacedNetwork(n, path, [](std::span<TLogicalPort *const> ports) {
        for (std::size_t i = 0; i + 2 < ports.size(); i += 3)
            for (std::size_t j = 0; j < 3; ++j)
                ports[i + j]->SetInAComp(ports[i + (j + 2) % 3]);
    });
}

// The peak resident memory in KiB of a child process that runs body and ends.
double ChildPeak(const std::function<void()> &body) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot start a child process");
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the child process measuring the memory failed");
    return double(usage.ru_maxrss);
}

// The peak memory without recording and with every output recorded and written as VCD, of a run
// as ztrtool run makes it: the program loaded, the network file open in its window.
std::pair<double, double> PeakMemory(int ports) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_sim";
    char *argv[] = {name, nullptr};
    QApplication application(argc, argv);
    const QTemporaryDir folder;
    const std::string path = folder.filePath("rings.ZTR").toStdString();
    if (!folder.isValid() || !WriteRingsNetwork(ports, path))
        throw std::runtime_error("cannot write the rings network");
    TFormZentaroMain mainWindow(nullptr);
    mainWindow.Show();
    TSimNetwork network = SimSnapshot(*mainWindow.LoadNetworkWindow(path));
    constexpr std::int64_t Until = 10000;
    const double off = ChildPeak([&] {
        TSimulator simulator(network);
        simulator.Activate();
        simulator.RunUntil(Until);
    });
    const double vcd = ChildPeak([&] {
        const std::unique_ptr<TLevelRecorder> recorder = AllOutputs(network);
        TSimulator simulator(network, recorder.get());
        simulator.Activate();
        simulator.RunUntil(Until);
        std::uint64_t bytes = 0;
        WriteVcd([&bytes](std::string_view piece) { bytes += piece.size(); }, recorder->Names(),
                 recorder->Changes(), Until, network.Name);
        if (bytes == 0) _exit(1);
    });
    return {off, vcd};
}

int RunTable(const TOptions &options) {
    std::printf("Each row: the median of %d runs of about %.0f M evaluations, by processor time, "
                "on which the\n"
                "rates are; \"until\" is the virtual time run (ms), \"x real\" virtual ms per "
                "processor ms.\n"
                "Recording \"all\": every output, a new recorder per run; \"all,again\": a "
                "recorder that held\n"
                "the run before, whose memory the system need not clear again; \"on/off\": "
                "the median\nratio to a run without recording made right before each.\n",
                options.Repeat, options.Evaluations * 1e-6);
    std::printf("%-7s %6s  %-9s %9s %8s %8s %9s %8s %9s  %6s %s\n", "network", "ports", "recording",
                "evals(M)", "until", "cpu(ms)", "wall(ms)", "Mev/s", "x real", "on/off",
                "changes(M)");
    // The recording's cost on the rings, where the changes are densest.
    double mixedLargest = 0, ringsRealTime = 0, worstFresh = 0, worstReused = 0;
    for (const int n : options.Sizes)
        for (const std::string &kind : options.Networks) {
            TBenchNetwork bench = kind == "rings"    ? Rings(n)
                                  : kind == "chains" ? Chains(n)
                                                     : Mixed(n);
            const auto until =
                std::int64_t(std::ceil(options.Evaluations / EvaluationsPerMs(bench.Network)));
            TRun off;
            if (options.RowsOff) {
                off =
                    MedianRun(bench.Network, bench.Pressed, until, TRecording::Off, options.Repeat);
                PrintRow(bench, "off", until, off, 0);
                if (bench.Kind == "mixed" && n == 10000)
                    mixedLargest = double(off.Evaluations) / off.Cpu;
                if (bench.Kind == "rings" && n == 1000)
                    ringsRealTime = double(until + 1) / (off.Cpu * 1e3);
            }
            if (options.RowsAll)
                for (const TRecording recording : {TRecording::Fresh, TRecording::Reused}) {
                    const TRun on =
                        MedianRun(bench.Network, bench.Pressed, until, recording, options.Repeat);
                    const bool fresh = recording == TRecording::Fresh;
                    PrintRow(bench, fresh ? "all" : "all,again", until, on, on.Ratio);
                    double &worst = fresh ? worstFresh : worstReused;
                    if (bench.Kind == "rings") worst = std::max(worst, on.Ratio);
                }
        }
    std::printf("\nGoals:");
    if (mixedLargest > 0)
        std::printf(" mixed at 10,000 ports %.1f M evaluations/s (>= 20);", mixedLargest * 1e-6);
    if (ringsRealTime > 0)
        std::printf(" rings at 1,000 ports, 10 ms: %.0fx real time (>= 1,000);", ringsRealTime);
    if (worstFresh > 0)
        std::printf(" recording every output of the rings at most %.2fx, %.2fx again (<= 1.5);",
                    worstFresh, worstReused);
    if (options.MemoryPorts > 0) {
        const auto [off, vcd] = PeakMemory(options.MemoryPorts);
        std::printf(" peak memory of %d ring ports for 10 s %.1f MB, with VCD %.1f MB: %.2fx "
                    "(<= 1.3)",
                    options.MemoryPorts, off / 1024.0, vcd / 1024.0, vcd / off);
    }
    std::printf("\n");
    return 0;
}

// Loads the network as the program opens a file, on the offscreen platform, and times its runs.
int RunFile(const TOptions &options) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_sim";
    char *argv[] = {name, nullptr};
    QApplication application(argc, argv);
    TSimNetwork network;
    {
        TFormZentaroMain mainWindow(nullptr);
        mainWindow.Show();
        TFormZentaroChild *window = mainWindow.LoadNetworkWindow(options.File);
        network = SimSnapshot(*window);
        // Its gates are not active, and gone before the clock starts.
        TComponent::Free(window);
    }
    const TRun run =
        MedianRun(network, {}, options.Until, options.Record ? TRecording::Fresh : TRecording::Off,
                  options.Repeat);
    std::printf("%s: %zu ports, %llu evaluations to %lld ms", options.File.c_str(),
                network.Ports.size(), static_cast<unsigned long long>(run.Evaluations),
                static_cast<long long>(options.Until));
    if (options.Record) std::printf(", every output recorded: %zu changes", run.Changes);
    std::printf("\n");
    std::printf("run_seconds %.6f\ncpu_seconds %.6f\nevaluations_per_second %.0f\n", run.Wall,
                run.Cpu, double(run.Evaluations) / run.Cpu);
    return 0;
}

std::vector<std::string> ParseNetworks(const std::string &text) {
    std::vector<std::string> networks;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        networks.push_back(text.substr(start, comma - start));
        if (networks.back() != "rings" && networks.back() != "chains" && networks.back() != "mixed")
            throw std::invalid_argument("networks are rings, chains and mixed");
        start = comma + 1;
    }
    return networks;
}

std::vector<int> ParseSizes(const char *text) {
    std::vector<int> sizes;
    for (const char *p = text; *p;) {
        char *end = nullptr;
        const long value = std::strtol(p, &end, 10);
        if (end == p || value < 3) throw std::invalid_argument("bad size list");
        sizes.push_back(int(value));
        p = *end == ',' ? end + 1 : end;
    }
    return sizes;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: bench_sim [--sizes N,N,...] [--networks rings,chains,mixed] [--evals E]\n"
                 "                 [--repeat R] [--rows off|all|both] [--memory PORTS]\n"
                 "       bench_sim --file NETWORK.ZTR [--until MS] [--repeat R] [--record]\n");
}

} // namespace

int main(int argc, char **argv) {
    TOptions options;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            const auto value = [&]() -> const char * {
                if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
                return argv[++i];
            };
            if (arg == "--sizes")
                options.Sizes = ParseSizes(value());
            else if (arg == "--networks")
                options.Networks = ParseNetworks(value());
            else if (arg == "--evals")
                options.Evaluations = std::max(1.0, std::atof(value()));
            else if (arg == "--repeat")
                options.Repeat = std::max(1, std::atoi(value()));
            else if (arg == "--file")
                options.File = value();
            else if (arg == "--until")
                options.Until = std::max(0LL, std::atoll(value()));
            else if (arg == "--memory")
                options.MemoryPorts = std::max(0, std::atoi(value()));
            else if (arg == "--record")
                options.Record = true;
            else if (arg == "--rows") {
                const std::string rows = value();
                options.RowsOff = rows != "all";
                options.RowsAll = rows != "off";
            } else {
                Usage();
                return arg == "--help" || arg == "-h" ? 0 : 2;
            }
        }
        return options.File.empty() ? RunTable(options) : RunFile(options);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_sim: %s\n", error.what());
        return 1;
    }
}
