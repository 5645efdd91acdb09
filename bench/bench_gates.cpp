// Times the gates' update threads with N active, visible gates: the evaluations per second they
// get, how late a 10 ms timer on the GUI thread fires meanwhile, the processor time the process
// takes and the memory each gate holds. Every row runs in a fresh child process, so threads,
// caches and memory kept by the allocator never carry over from one row to the next.
//
// quiet: AND gates with both inputs low, whose evaluations never redraw, so the row measures
//   the hand-off itself. Anchors, with the same gates: "plain" (a thread per gate making one
//   blocking queued call onto the GUI thread per cycle, then sleeping) and "floor" (threads
//   that only sleep and count their cycles).
// busy: clocks showing their levels, which repaint at every evaluation. Anchor: "ceiling", the
//   same gates not active and evaluated round-robin on the GUI thread with no threads at all.
//   "window": the same clocks running in a network window; "diagram": that network window with
//   its timing diagram open, recording every clock.
// wired: a network window running N gates, N/2 clocks each wired to a lamp, levels shown, so
//   every evaluation repaints over the wire layer. Anchor: "nowires", the same running network
//   with its wire layer drawing nothing.
//
//   bench_gates [--seconds S] [--warmup S] [--counts N,N,...] [--scenarios quiet,busy,wired]
//               [--delay MS] [--repeat R] [--attempts K] [--details]
// Each row runs R times (designs taking turns) and the median run is shown.
// A row disturbed by other programs (see "Other load") is run again, up to K times in all.
// Each row is a child process: bench_gates --row SCENARIO DESIGN N, printing one "ROW" line.

#include "app/TimingDiagram.h"
#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "document/FChild.h"
#include "gates/LogicCmp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMap>
#include <QMetaObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <dirent.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The anchors' threads get the stack our workers get, so memory compares like with like.
constexpr std::size_t AnchorStackSize = 256 * 1024;
// The GUI timer whose lateness is measured.
constexpr auto TickPeriod = 10ms;
// How long the ceiling evaluates before it lets the event loop run.
constexpr auto CeilingSlice = 2ms;
// The form's size; the gates are laid out in a grid that fits its client area.
constexpr int FormWidth = 1600, FormHeight = 1000;

struct TOptions {
    double Seconds = 5;
    double Warmup = 0.5;
    int Delay = 10;
    std::vector<int> Counts{10, 100, 1000, 5000};
    QStringList Scenarios{"quiet", "busy"};
    bool Details = false;
    // A row during which the rest of the machine took more than this share of a core is run
    // again (up to Attempts times in all), keeping the least disturbed attempt.
    double Disturbed = 0.10;
    int Attempts = 3;
    // Runs of each row; the table shows the median one.
    int Repeat = 1;
};

// ---------------------------------------------------------------------------------------------
// Measuring, in the child process.

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

long ResidentBytes() {
    long size = 0, resident = 0;
    if (FILE *file = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(file, "%ld %ld", &size, &resident) != 2) resident = 0;
        std::fclose(file);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// Processor seconds the whole machine spent busy so far, to tell whether other programs
// disturbed a row.
double MachineBusySeconds() {
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, wait = 0, irq = 0, softirq = 0,
                       steal = 0;
    if (FILE *file = std::fopen("/proc/stat", "r")) {
        if (std::fscanf(file, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &user, &nice, &system,
                        &idle, &wait, &irq, &softirq, &steal) != 8)
            user = nice = system = irq = softirq = steal = 0;
        std::fclose(file);
    }
    return double(user + nice + system + irq + softirq + steal) / double(sysconf(_SC_CLK_TCK));
}

// The display server's processes (an X server), whose processor time is part of the painting
// under xcb rather than a disturbance.
std::vector<int> DisplayServers() {
    std::vector<int> found;
    DIR *proc = opendir("/proc");
    if (!proc) return found;
    while (const dirent *entry = readdir(proc)) {
        const int pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        char path[64], name[64] = {};
        std::snprintf(path, sizeof path, "/proc/%d/comm", pid);
        if (FILE *file = std::fopen(path, "r")) {
            if (std::fscanf(file, "%63s", name) != 1) name[0] = 0;
            std::fclose(file);
        }
        const std::string comm = name;
        if (comm == "Xvfb" || comm == "Xorg" || comm == "Xwayland" || comm == "X")
            found.push_back(pid);
    }
    closedir(proc);
    return found;
}

double ProcessSeconds(int pid) {
    char path[64], text[1024] = {};
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    FILE *file = std::fopen(path, "r");
    if (!file) return 0;
    const std::size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[length] = 0;
    // The name in parentheses may hold spaces; user and system time are the 12th and 13th
    // fields after it.
    const char *rest = std::strrchr(text, ')');
    unsigned long long user = 0, system = 0;
    if (!rest || std::sscanf(rest + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                             &user, &system) != 2)
        return 0;
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

double CpuSeconds(const rusage &usage) {
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct TSnapshot {
    Clock::time_point Wall;
    double Cpu = 0;
    double MachineBusy = 0;
    double GuiCpu = 0;
    double DisplayServer = 0;
    long Voluntary = 0, Involuntary = 0;       // all threads of the process
    long GuiVoluntary = 0, GuiInvoluntary = 0; // the GUI thread
    std::uint64_t Evaluations = 0;
};

// Taken on the GUI thread.
TSnapshot Snapshot(std::uint64_t evaluations, const std::vector<int> &displayServers) {
    TSnapshot snapshot;
    for (int pid : displayServers)
        snapshot.DisplayServer += ProcessSeconds(pid);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    snapshot.Cpu = CpuSeconds(usage);
    snapshot.MachineBusy = MachineBusySeconds();
    snapshot.Voluntary = usage.ru_nvcsw;
    snapshot.Involuntary = usage.ru_nivcsw;
    getrusage(RUSAGE_THREAD, &usage);
    snapshot.GuiCpu = CpuSeconds(usage);
    snapshot.GuiVoluntary = usage.ru_nvcsw;
    snapshot.GuiInvoluntary = usage.ru_nivcsw;
    snapshot.Evaluations = evaluations;
    snapshot.Wall = Clock::now();
    return snapshot;
}

struct TLateness {
    double Median = 0, P99 = 0, Max = 0; // milliseconds
    std::size_t Ticks = 0;
};

double NearestRank(const std::vector<double> &sorted, double quantile) {
    if (sorted.empty()) return 0;
    const auto rank = std::size_t(std::ceil(quantile * double(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

// A tick is late by the time since the previous tick beyond the period; only ticks inside the
// window count, each against a previous tick inside it too.
TLateness Lateness(const std::vector<Clock::time_point> &ticks, Clock::time_point from,
                   Clock::time_point to) {
    std::vector<double> late;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        if (ticks[i - 1] < from || ticks[i] > to) continue;
        const double ms =
            std::chrono::duration<double, std::milli>(ticks[i] - ticks[i - 1] - TickPeriod).count();
        late.push_back(std::max(ms, 0.0));
    }
    std::sort(late.begin(), late.end());
    TLateness result;
    result.Ticks = late.size();
    result.Median = NearestRank(late, 0.5);
    result.P99 = NearestRank(late, 0.99);
    result.Max = late.empty() ? 0 : late.back();
    return result;
}

void EnterIdlePriority() {
    sched_param parameter{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &parameter);
}

pthread_t StartThread(void *(*entry)(void *), void *argument) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, AnchorStackSize);
    pthread_t id;
    const int error = pthread_create(&id, &attributes, entry, argument);
    pthread_attr_destroy(&attributes);
    if (error != 0)
        throw std::runtime_error(std::string("pthread_create: ") + std::strerror(error));
    return id;
}

// Evaluations counted on the GUI thread: per gate, in all, and the intervals between a gate's
// evaluations, which show the period each gate really gets.
class TEvaluationLog {
public:
    explicit TEvaluationLog(std::size_t gates)
        : FCounts(gates, 0), FLast(gates), FPeriods(PeriodBins, 0) {}

    void Record(std::size_t gate) {
        const auto now = Clock::now();
        if (FLast[gate] != Clock::time_point{}) {
            const auto bin = std::size_t((now - FLast[gate]) / PeriodBin);
            ++FPeriods[std::min(bin, FPeriods.size() - 1)];
        }
        FLast[gate] = now;
        ++FCounts[gate];
        ++FTotal;
    }
    std::uint64_t Total() const { return FTotal; }
    std::uint64_t Count(std::size_t gate) const { return FCounts[gate]; }
    void ClearPeriods() { std::fill(FPeriods.begin(), FPeriods.end(), 0); }
    // In milliseconds, to the bin's width; 0 when nothing was recorded, infinity past the last bin.
    double Period(double quantile) const {
        std::uint64_t total = 0;
        for (std::uint64_t count : FPeriods)
            total += count;
        if (total == 0) return 0;
        const auto wanted = std::uint64_t(std::ceil(quantile * double(total)));
        std::uint64_t seen = 0;
        std::size_t bin = 0;
        while (bin + 1 < FPeriods.size() && (seen += FPeriods[bin]) < wanted)
            ++bin;
        if (bin + 1 == FPeriods.size()) return HUGE_VAL;
        return std::chrono::duration<double, std::milli>(PeriodBin * (double(bin) + 0.5)).count();
    }

private:
    static constexpr auto PeriodBin = std::chrono::microseconds(10);
    static constexpr std::size_t PeriodBins = 200001; // 2 s; longer periods share the last bin

    std::vector<std::uint64_t> FCounts;
    std::vector<Clock::time_point> FLast;
    std::vector<std::uint64_t> FPeriods;
    std::uint64_t FTotal = 0;
};

// Runs the GUI event loop for a while.
void RunEventLoop(Clock::duration duration) {
    QEventLoop loop;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    QTimer::singleShot(int(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// The plain design: a thread per gate calls onto the GUI thread with a blocking queued call,
// which evaluates the gate, then sleeps the delay.
class TPlainAnchor {
public:
    TPlainAnchor(const std::vector<TLogicalPort *> &gates, int delay, TEvaluationLog &log)
        : FDelay(delay), FLog(log) {
        FWorkers.resize(gates.size());
        for (std::size_t i = 0; i < gates.size(); ++i)
            FWorkers[i] = {this, gates[i], i, {}};
    }
    ~TPlainAnchor() { Stop(); }

    void Start() {
        for (TWorker &worker : FWorkers) {
            FRunning.fetch_add(1);
            worker.Id = StartThread(&TPlainAnchor::Run, &worker);
            FStarted.push_back(&worker);
        }
    }

    // The workers may be blocked in a call onto the GUI thread: it keeps serving them until
    // every one has left its loop.
    void Stop() {
        FStop.store(true);
        while (FRunning.load() > 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            std::this_thread::sleep_for(1ms);
        }
        for (TWorker *worker : FStarted)
            pthread_join(worker->Id, nullptr);
        FStarted.clear();
    }

private:
    struct TWorker {
        TPlainAnchor *Owner;
        TLogicalPort *Gate;
        std::size_t Index;
        pthread_t Id;
    };

    static void *Run(void *argument) {
        auto *worker = static_cast<TWorker *>(argument);
        TPlainAnchor &owner = *worker->Owner;
        EnterIdlePriority();
        while (!owner.FStop.load(std::memory_order_relaxed)) {
            QMetaObject::invokeMethod(
                &owner.FReceiver,
                [worker] {
                    worker->Gate->Evaluate();
                    worker->Owner->FLog.Record(worker->Index);
                },
                Qt::BlockingQueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(owner.FDelay));
        }
        owner.FRunning.fetch_sub(1);
        return nullptr;
    }

    QObject FReceiver; // lives on the GUI thread
    const int FDelay;
    TEvaluationLog &FLog; // GUI thread only
    std::vector<TWorker> FWorkers;
    std::vector<TWorker *> FStarted;
    std::atomic<bool> FStop{false};
    std::atomic<int> FRunning{0};
};

// The floor: threads that only sleep the delay and count their cycles.
class TFloorAnchor {
public:
    TFloorAnchor(std::size_t count, int delay) : FDelay(delay), FCounters(count) {}
    ~TFloorAnchor() { Stop(); }

    void Start() {
        FIds.reserve(FCounters.size());
        for (TCounter &counter : FCounters) {
            counter.Owner = this;
            FIds.push_back(StartThread(&TFloorAnchor::Run, &counter));
        }
    }
    void Stop() {
        FStop.store(true);
        for (pthread_t id : FIds)
            pthread_join(id, nullptr);
        FIds.clear();
    }
    std::uint64_t Cycles(std::size_t index) const {
        return FCounters[index].Value.load(std::memory_order_relaxed);
    }
    std::uint64_t Total() const {
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < FCounters.size(); ++i)
            total += Cycles(i);
        return total;
    }

private:
    // A cache line each, so the counting threads do not share one.
    struct alignas(64) TCounter {
        TFloorAnchor *Owner = nullptr;
        std::atomic<std::uint64_t> Value{0};
    };

    static void *Run(void *argument) {
        auto *counter = static_cast<TCounter *>(argument);
        EnterIdlePriority();
        const auto delay = std::chrono::milliseconds(counter->Owner->FDelay);
        while (!counter->Owner->FStop.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(delay);
            counter->Value.fetch_add(1, std::memory_order_relaxed);
        }
        return nullptr;
    }

    const int FDelay;
    std::vector<TCounter> FCounters;
    std::vector<pthread_t> FIds;
    std::atomic<bool> FStop{false};
};

struct TGrid {
    int Columns = 0, Rows = 0, Width = 50, Height = 40;
};

// The largest cell, in the gates' 5:4 shape and at most their usual 50x40, that fits n gates.
TGrid FitGrid(int n, int clientWidth, int clientHeight) {
    TGrid grid;
    for (int width = 50; width >= 4; --width) {
        grid.Width = width;
        grid.Height = std::max(1, (width * 4 + 2) / 5);
        grid.Columns = clientWidth / grid.Width;
        grid.Rows = clientHeight / grid.Height;
        if (grid.Columns * grid.Rows >= n) break;
    }
    return grid;
}

bool WaitExposed(QWidget *widget) {
    const auto until = Clock::now() + 10s;
    while (Clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (QWindow *window = widget->window()->windowHandle(); window && window->isExposed())
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

// One row: prints "ROW key=value ..." on stdout.
int RunRow(int &argc, char **argv, const TOptions &options, const QString &scenario,
           const QString &design, int n) {
    QApplication application(argc, argv);
    const bool busy = scenario == "busy", wired = scenario == "wired";
    const bool inWindow = wired || design == "window" || design == "diagram";
    const auto warmup =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.Warmup));
    const auto window =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.Seconds));

    // The wired network lives in a network window, as do the busy clocks of "window" and
    // "diagram"; the others on a plain form.
    TFormZentaroChild *network = nullptr;
    std::unique_ptr<TForm> formHolder;
    if (inWindow) {
        network = new TFormZentaroChild(nullptr);
        TComponent::Free(network->PanelDefComp);
        formHolder.reset(network);
    } else {
        formHolder = std::make_unique<TForm>(nullptr);
    }
    TForm &form = *formHolder;
    form.SetBounds(0, 0, FormWidth, FormHeight);
    form.Show();
    if (!WaitExposed(form.Widget())) {
        std::fprintf(stderr, "bench_gates: the form was never shown\n");
        return 1;
    }
    TWinControl &surface = network ? static_cast<TWinControl &>(*network->ScrollBoxCli) : form;
    // In a scroll box only the visible part counts: every gate must be on screen.
    const QSize client = network ? network->ScrollBoxCli->ViewSize()
                                 : QSize(form.ClientWidth(), form.ClientHeight());
    const int clientWidth = client.width(), clientHeight = client.height();
    const TGrid grid = FitGrid(n, clientWidth, clientHeight);
    if (grid.Columns * grid.Rows < n) {
        std::fprintf(stderr, "bench_gates: %d gates do not fit on %dx%d\n", n, clientWidth,
                     clientHeight);
        return 1;
    }

    // Made before the memory is measured: its histogram is no part of the gates.
    TEvaluationLog log{std::size_t(n)}; // GUI thread only
    QCoreApplication::processEvents();
    const long residentBefore = ResidentBytes();
    const auto creating = Clock::now();
    std::vector<TLogicalPort *> gates;
    gates.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        auto *port = new TLogicalPort(&form);
        port->SetParent(&surface);
        port->SetBounds(i % grid.Columns * grid.Width, i / grid.Columns * grid.Height, grid.Width,
                        grid.Height);
        if (busy || (wired && i % 2 == 0)) {
            port->SetPortType(TLogicalPortType::logCLK);
            port->SetInAPort(true);
            port->SetShowPortState(true);
        } else if (wired) {
            // Each lamp follows the clock beside it.
            port->SetPortType(TLogicalPortType::logLED);
            port->SetInAComp(gates.back());
        }
        port->SetUpdateDelay(options.Delay);
        gates.push_back(port);
    }
    QCoreApplication::processEvents();
    const double creationSeconds = Seconds(Clock::now() - creating);
    const long residentCreated = ResidentBytes();

    std::unique_ptr<TPlainAnchor> plain;
    std::unique_ptr<TFloorAnchor> floor;

    std::vector<Clock::time_point> ticks;
    ticks.reserve(std::size_t((options.Warmup + options.Seconds) * 200) + 64);
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(TickPeriod);
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ticks.push_back(Clock::now()); });

    if (design == "ours" || design == "nowires" || design == "window" || design == "diagram") {
        for (std::size_t i = 0; i < gates.size(); ++i) {
            TLogicalThread &thread = gates[i]->Thread();
            thread.OnUpdate = [original = thread.OnUpdate, &log, i](TLogicalThread *sender) {
                log.Record(i);
                original(sender);
            };
        }
        if (network) {
            // Run as the user does: the activation button.
            network->RepaintWires();
            if (design == "diagram") {
                TTimingDiagram &diagram = TTimingDiagram::Of(*network);
                diagram.ShowInFront();
                // Beside the network window, hiding none of its gates.
                diagram.move(FormWidth + 10, 0);
                if (!WaitExposed(&diagram)) {
                    std::fprintf(stderr, "bench_gates: the diagram was never shown\n");
                    return 1;
                }
            }
            network->BtnActive->SetDown(true);
            network->BtnActiveClick(network->BtnActive);
            network->WiresSuspended = design == "nowires";
            // Activation starts from all levels low: the clocks are enabled again, as a user
            // would by wiring their inputs to a high level.
            for (TLogicalPort *port : gates)
                if (port->PortType() == TLogicalPortType::logCLK) port->SetInAPort(true);
        } else {
            for (TLogicalPort *port : gates)
                port->SetActive(true);
        }
    } else if (design == "plain") {
        plain = std::make_unique<TPlainAnchor>(gates, options.Delay, log);
        plain->Start();
    } else if (design == "floor") {
        floor = std::make_unique<TFloorAnchor>(gates.size(), options.Delay);
        floor->Start();
    } else if (design != "ceiling") {
        std::fprintf(stderr, "bench_gates: unknown design %s\n", qPrintable(design));
        return 2;
    }
    tick.start();

    // The ceiling keeps the GUI thread evaluating and lets the event loop run between slices.
    std::size_t next = 0;
    auto runFor = [&](Clock::duration duration) {
        if (design != "ceiling") {
            RunEventLoop(duration);
            return;
        }
        const auto until = Clock::now() + duration;
        for (auto now = Clock::now(); now < until; now = Clock::now()) {
            const auto sliceEnd = std::min(until, now + CeilingSlice);
            do {
                gates[next]->Evaluate();
                log.Record(next);
                next = next + 1 == gates.size() ? 0 : next + 1;
            } while (Clock::now() < sliceEnd);
            QCoreApplication::processEvents();
        }
    };
    auto count = [&] { return floor ? floor->Total() : log.Total(); };
    auto gateCount = [&](std::size_t i) { return floor ? floor->Cycles(i) : log.Count(i); };

    runFor(warmup);
    const long residentRunning = ResidentBytes();
    std::vector<std::uint64_t> perGateBefore(gates.size());
    for (std::size_t i = 0; i < gates.size(); ++i)
        perGateBefore[i] = gateCount(i);
    log.ClearPeriods();
    const std::vector<int> displayServers = DisplayServers();
    const TSnapshot start = Snapshot(count(), displayServers);
    runFor(window);
    const TSnapshot end = Snapshot(count(), displayServers);
    tick.stop();
    std::vector<std::uint64_t> perGateWindow(gates.size());
    for (std::size_t i = 0; i < gates.size(); ++i)
        perGateWindow[i] = gateCount(i) - perGateBefore[i];

    const double wall = Seconds(end.Wall - start.Wall);
    const TLateness late = Lateness(ticks, start.Wall, end.Wall);
    const auto [fewest, most] = std::minmax_element(perGateWindow.begin(), perGateWindow.end());
    std::printf(
        "ROW platform=%s client=%dx%d cell=%dx%d create_s=%.3f wall=%.4f evaluations=%llu cpu=%.4f "
        "p50=%.4f p99=%.4f max=%.4f ticks=%zu kib_created=%.2f kib_running=%.2f vcsw=%ld ivcsw=%ld "
        "gui_vcsw=%ld gui_ivcsw=%ld gate_min=%llu gate_max=%llu other=%.4f gui_cpu=%.4f "
        "period_p50=%.3f period_p99=%.3f display=%.4f\n",
        qPrintable(QGuiApplication::platformName()), clientWidth, clientHeight, grid.Width,
        grid.Height, creationSeconds, wall,
        static_cast<unsigned long long>(end.Evaluations - start.Evaluations), end.Cpu - start.Cpu,
        late.Median, late.P99, late.Max, late.Ticks,
        double(residentCreated - residentBefore) / 1024.0 / n,
        double(residentRunning - residentBefore) / 1024.0 / n, end.Voluntary - start.Voluntary,
        end.Involuntary - start.Involuntary, end.GuiVoluntary - start.GuiVoluntary,
        end.GuiInvoluntary - start.GuiInvoluntary, static_cast<unsigned long long>(*fewest),
        static_cast<unsigned long long>(*most),
        std::max(0.0, (end.MachineBusy - start.MachineBusy) - (end.Cpu - start.Cpu) -
                          (end.DisplayServer - start.DisplayServer)),
        end.GuiCpu - start.GuiCpu, log.Period(0.5), log.Period(0.99),
        end.DisplayServer - start.DisplayServer);
    std::fflush(stdout);

    if (plain) plain->Stop();
    if (floor) floor->Stop();
    for (TLogicalPort *port : gates)
        port->SetActive(false);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The table, in the parent process.

using TRow = QMap<QString, QString>;

std::vector<QString> Designs(const QString &scenario) {
    if (scenario == "quiet") return {"ours", "plain", "floor"};
    if (scenario == "wired") return {"ours", "nowires"};
    return {"ours", "ceiling", "window", "diagram"};
}

QStringList CommonArguments(const TOptions &options) {
    return {"--seconds", QString::number(options.Seconds),
            "--warmup",  QString::number(options.Warmup),
            "--delay",   QString::number(options.Delay)};
}

// Waits (a minute at most) for a second in which the machine is nearly idle.
void WaitForQuietMachine(double share) {
    const auto until = Clock::now() + 60s;
    for (;;) {
        const double before = MachineBusySeconds();
        std::this_thread::sleep_for(1s);
        if (MachineBusySeconds() - before <= share || Clock::now() >= until) return;
    }
}

double Number(const TRow &row, const char *key) {
    return row.value(key).toDouble();
}
double OtherLoad(const TRow &row) {
    return Number(row, "other") / Number(row, "wall");
}

TRow RunChildOnce(const TOptions &options, const QString &scenario, const QString &design, int n) {
    WaitForQuietMachine(options.Disturbed);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                CommonArguments(options) << "--row" << scenario << design << QString::number(n));
    const int limit = int((options.Seconds + options.Warmup) * 1000) + 300'000;
    TRow row;
    if (!child.waitForFinished(limit)) {
        child.kill();
        child.waitForFinished();
        return row;
    }
    for (const QString &line : QString::fromUtf8(child.readAllStandardOutput()).split('\n')) {
        if (!line.startsWith("ROW ")) continue;
        for (const QString &field : line.mid(4).split(' ', Qt::SkipEmptyParts)) {
            const qsizetype equals = field.indexOf('=');
            if (equals > 0) row[field.left(equals)] = field.mid(equals + 1);
        }
    }
    return row;
}

TRow RunChild(const TOptions &options, const QString &scenario, const QString &design, int n) {
    TRow best;
    for (int attempt = 1; attempt <= options.Attempts; ++attempt) {
        TRow row = RunChildOnce(options, scenario, design, n);
        if (!row.isEmpty() && (best.isEmpty() || OtherLoad(row) < OtherLoad(best))) best = row;
        if (!best.isEmpty() && OtherLoad(best) <= options.Disturbed) break;
        if (attempt < options.Attempts)
            std::fprintf(stderr, "bench_gates: %s (other load %.0f%% of a core), again\n",
                         row.isEmpty() ? "failed" : "disturbed",
                         row.isEmpty() ? 0.0 : 100 * OtherLoad(row));
    }
    return best;
}

double Rate(const TRow &row) {
    return Number(row, "evaluations") / Number(row, "wall");
}

// The run with the median rate, noting the lowest and highest rate of all runs.
TRow Median(std::vector<TRow> runs) {
    if (runs.empty()) return {};
    std::sort(runs.begin(), runs.end(),
              [](const TRow &a, const TRow &b) { return Rate(a) < Rate(b); });
    TRow median = runs[(runs.size() - 1) / 2];
    median["rate_min"] = QString::number(Rate(runs.front()), 'f', 0);
    median["rate_max"] = QString::number(Rate(runs.back()), 'f', 0);
    median["runs"] = QString::number(runs.size());
    return median;
}

QString Fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}
QString PeriodText(const QString &value) {
    return value.toDouble() > 2000 ? "> 2000" : value;
}

struct TGoal {
    const char *Text;
    bool Met;
};

int RunTable(const TOptions &options) {
    struct TResult {
        QString Scenario, Design;
        int N;
        TRow Row;
    };
    std::vector<TResult> results;
    for (const QString &scenario : options.Scenarios)
        for (int n : options.Counts) {
            // The designs take turns, so a slow drift of the machine touches them alike.
            const std::vector<QString> designs = Designs(scenario);
            std::vector<std::vector<TRow>> runs(designs.size());
            for (int round = 1; round <= options.Repeat; ++round)
                for (std::size_t d = 0; d < designs.size(); ++d) {
                    std::fprintf(stderr, "bench_gates: %s, N = %d, %s (%d/%d) ...\n",
                                 qPrintable(scenario), n, qPrintable(designs[d]), round,
                                 options.Repeat);
                    TRow row = RunChild(options, scenario, designs[d], n);
                    if (!row.isEmpty()) runs[d].push_back(row);
                }
            for (std::size_t d = 0; d < designs.size(); ++d)
                results.push_back({scenario, designs[d], n, Median(runs[d])});
        }
    auto find = [&](const QString &scenario, const QString &design, int n) -> const TRow * {
        for (const TResult &result : results)
            if (result.Scenario == scenario && result.Design == design && result.N == n &&
                !result.Row.isEmpty())
                return &result.Row;
        return nullptr;
    };

    QString platform, client;
    QStringList cells;
    for (const TResult &result : results) {
        if (result.Row.isEmpty()) continue;
        platform = result.Row.value("platform");
        client = result.Row.value("client");
        const QString cell = QString("N = %1: %2").arg(result.N).arg(result.Row.value("cell"));
        if (!cells.contains(cell)) cells << cell;
    }
    std::printf("Platform %s, %ld processors, %g s windows after %g s warm-up, UpdateDelay %d ms; "
                "nominal rate N x %g/s.\n",
                qPrintable(platform), sysconf(_SC_NPROCESSORS_ONLN), options.Seconds,
                options.Warmup, options.Delay, 1000.0 / options.Delay);
    std::printf("Gates in a grid on a %s client area, cells %s (gates are shrunk below 50x40 where "
                "needed so all are visible).\n",
                qPrintable(client), qPrintable(cells.join(", ")));
    if (options.Repeat > 1)
        std::printf("Each row ran %d times, designs interleaved; shown is the run with the median "
                    "rate, the range of all runs in parentheses.\n",
                    options.Repeat);
    std::printf("\n");

    std::printf("| Scenario | N | Design | Evaluations/s | %% of nominal | Ours / this | GUI timer "
                "late p50 (ms) | p99 (ms) | CPU (%% of a core) | Display server CPU (%% of a core) "
                "| KiB/gate created | KiB/gate running | Other load (%% of a core) |");
    if (options.Details)
        std::printf(" GUI thread CPU (%%) | Ctx switches/s vol / invol | GUI ctx/s vol / invol | "
                    "Per-gate min-max | Gate period p50 / p99 (ms) | Creating (s) |");
    std::printf("\n|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|");
    if (options.Details) std::printf("---:|---:|---:|---:|---:|---:|");
    std::printf("\n");
    for (const TResult &result : results) {
        const TRow &row = result.Row;
        std::printf("| %s | %d | %s ", qPrintable(result.Scenario), result.N,
                    qPrintable(result.Design));
        if (row.isEmpty()) {
            std::printf("| failed | | | | | | | | | |%s\n", options.Details ? " | | | | | |" : "");
            continue;
        }
        const double wall = Number(row, "wall");
        const double rate = Rate(row);
        const double nominal = result.N * 1000.0 / options.Delay;
        QString ratio = "";
        if (result.Design != "ours")
            if (const TRow *ours = find(result.Scenario, "ours", result.N)) {
                ratio = Fixed(Rate(*ours) / rate, 3) + "x";
                // Our gates never go faster than the nominal rate, whatever the GUI could do.
                if (result.Design == "ceiling" && rate > nominal)
                    ratio += " (capped " + Fixed(Rate(*ours) / nominal, 3) + "x)";
            }
        QString rateText = Fixed(rate, 0);
        if (Number(row, "runs") > 1)
            rateText += " (" + row.value("rate_min") + "-" + row.value("rate_max") + ")";
        std::printf("| %s | %.1f | %s | %.2f | %.2f | %.1f | %.1f | %.1f | %.1f | %.1f |",
                    qPrintable(rateText), 100 * rate / nominal, qPrintable(ratio),
                    Number(row, "p50"), Number(row, "p99"), 100 * Number(row, "cpu") / wall,
                    100 * Number(row, "display") / wall, Number(row, "kib_created"),
                    Number(row, "kib_running"), 100 * Number(row, "other") / wall);
        if (options.Details)
            std::printf(" %.1f | %.0f / %.0f | %.0f / %.0f | %s-%s | %s | %.1f |",
                        100 * Number(row, "gui_cpu") / wall, Number(row, "vcsw") / wall,
                        Number(row, "ivcsw") / wall, Number(row, "gui_vcsw") / wall,
                        Number(row, "gui_ivcsw") / wall, qPrintable(row.value("gate_min")),
                        qPrintable(row.value("gate_max")),
                        result.Design == "floor"
                            ? "-"
                            : qPrintable(PeriodText(row.value("period_p50")) + " / " +
                                         PeriodText(row.value("period_p99"))),
                        Number(row, "create_s"));
        std::printf("\n");
    }

    if (std::find(options.Scenarios.begin(), options.Scenarios.end(), "busy") !=
        options.Scenarios.end())
        std::printf(
            "\nCapped: ours / min(ceiling, nominal), where the ceiling runs faster than the gates' "
            "nominal rate.\n");
    std::printf(
        "CPU: this process (getrusage over the window). Display server CPU: the X server's share "
        "under "
        "xcb, part of the painting. Other load: the rest of the machine; a row with much of it was "
        "disturbed.\n");

    // The goals, judged from the rows above where they were measured.
    std::vector<TGoal> goals;
    if (const TRow *ours = find("quiet", "ours", 1000))
        goals.push_back(
            {"quiet, N = 1000: >= 95% of nominal and GUI p99 <= 5 ms",
             Rate(*ours) >= 0.95 * 1000 * 1000.0 / options.Delay && Number(*ours, "p99") <= 5});
    if (const TRow *ours = find("quiet", "ours", 5000))
        goals.push_back({"quiet, N = 5000: GUI p99 <= 20 ms", Number(*ours, "p99") <= 20});
    if (const TRow *ours = find("busy", "ours", 1000))
        if (const TRow *ceiling = find("busy", "ceiling", 1000))
            goals.push_back({"busy, N = 1000: >= 0.8x the ceiling and GUI p99 <= 20 ms",
                             Rate(*ours) >= 0.8 * Rate(*ceiling) && Number(*ours, "p99") <= 20});
    if (const TRow *window = find("busy", "window", 1000))
        if (const TRow *diagram = find("busy", "diagram", 1000))
            goals.push_back({"busy, N = 1000: with the timing diagram open >= 0.9x the same "
                             "network window without it",
                             Rate(*diagram) >= 0.9 * Rate(*window)});
    if (const TRow *ours = find("wired", "ours", 2000))
        if (const TRow *bare = find("wired", "nowires", 2000))
            goals.push_back({"wired, N = 2000 (1000 clocks, 1000 lamps): >= 0.8x without wires and "
                             "GUI p99 <= 20 ms",
                             Rate(*ours) >= 0.8 * Rate(*bare) && Number(*ours, "p99") <= 20});
    if (!goals.empty()) std::printf("\n");
    for (const TGoal &goal : goals)
        std::printf("- %s: %s\n", goal.Text, goal.Met ? "met" : "MISSED");
    return 0;
}

void Usage() {
    std::fprintf(
        stderr,
        "usage: bench_gates [--seconds S] [--warmup S] [--counts N,N,...] "
        "[--scenarios quiet,busy,wired] [--delay MS] [--repeat R] [--attempts K] [--details]\n");
}

} // namespace

int main(int argc, char *argv[]) {
    TOptions options;
    QString rowScenario, rowDesign;
    int rowN = 0;
    auto value = [&](int &i) -> QString {
        if (i + 1 >= argc) throw std::invalid_argument(argv[i]);
        return QString::fromLocal8Bit(argv[++i]);
    };
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            if (option == "--seconds") {
                options.Seconds = value(i).toDouble();
            } else if (option == "--warmup") {
                options.Warmup = value(i).toDouble();
            } else if (option == "--delay") {
                options.Delay = value(i).toInt();
            } else if (option == "--counts") {
                options.Counts.clear();
                for (const QString &count : value(i).split(',', Qt::SkipEmptyParts))
                    options.Counts.push_back(count.toInt());
            } else if (option == "--scenarios") {
                options.Scenarios = value(i).split(',', Qt::SkipEmptyParts);
            } else if (option == "--repeat") {
                options.Repeat = value(i).toInt();
            } else if (option == "--attempts") {
                options.Attempts = value(i).toInt();
            } else if (option == "--details") {
                options.Details = true;
            } else if (option == "--row") {
                rowScenario = value(i);
                rowDesign = value(i);
                rowN = value(i).toInt();
            } else {
                throw std::invalid_argument(option);
            }
        }
    } catch (const std::invalid_argument &) {
        Usage();
        return 2;
    }
    const bool valid =
        options.Seconds > 0 && options.Attempts > 0 && options.Repeat > 0 && options.Warmup >= 0 &&
        options.Delay > 0 && !options.Counts.empty() &&
        std::all_of(options.Counts.begin(), options.Counts.end(), [](int n) { return n > 0; }) &&
        std::all_of(options.Scenarios.begin(), options.Scenarios.end(),
                    [](const QString &s) { return s == "quiet" || s == "busy" || s == "wired"; });
    if (!valid) {
        Usage();
        return 2;
    }
    if (rowN > 0) return RunRow(argc, argv, options, rowScenario, rowDesign, rowN);
    QCoreApplication application(argc, argv);
    return RunTable(options);
}
