// Times opening, saving and closing a network of gates wired in chains, the way the program does it,
// against the plain floor of the same work: a small Qt program creating as many child widgets in a
// scroll area and as many detached threads (256 KiB stacks) blocked on a condition variable, then
// telling the threads to stop without joining them and deleting the widgets. Both sizes run
// interleaved in one process, so the ratios share the machine's noise.
//   bench_networkfile [N] [ROUNDS]     (defaults 10000 and 3; N/10 is run too; medians shown)
// Goals: open + close <= 1.5x the floor's create + destroy at N, ours at N / ours at N/10 <= 11x,
// save <= 0.2x the open.

#include "ChainNetwork.h"
#include "FChild.h"
#include "Main.h"
#include "Util.h"

#include "classlib/Forms.h"
#include "gates/UpdateDispatcher.h"

#include <QApplication>
#include <QDir>
#include <QScrollArea>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// ---- The plain floor

// Shared by the plain threads; outlives them all, since nobody joins them.
struct TPlainThreads {
    std::mutex Mutex;
    std::condition_variable Stop;
    bool Stopping = false;
    std::atomic<int> Live{0};
};
TPlainThreads Plain;

void *PlainThread(void *) {
    {
        std::unique_lock lock(Plain.Mutex);
        Plain.Stop.wait(lock, [] { return Plain.Stopping; });
    }
    Plain.Live.fetch_sub(1);
    return nullptr;
}

void StartPlainThread() {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    Plain.Live.fetch_add(1);
    pthread_t id;
    if (pthread_create(&id, &attributes, &PlainThread, nullptr) != 0) {
        std::fprintf(stderr, "bench_networkfile: cannot start a thread\n");
        std::exit(1);
    }
    pthread_attr_destroy(&attributes);
}

// Untimed: every thread of the last round has gone, so rounds do not overlap.
void AwaitThreads(const std::function<std::size_t()> &live) {
    while (live() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

struct TTimes {
    double Create, Destroy;
};

TTimes PlainFloor(int n) {
    Plain.Stopping = false;
    const auto start = Clock::now();
    auto window = std::make_unique<QWidget>();
    window->resize(800, 600);
    auto *area = new QScrollArea(window.get());
    area->setGeometry(window->rect());
    auto *contents = new QWidget;
    contents->resize(36 * 55, 45 * 44);
    area->setWidget(contents);
    for (int i = 0; i < n; ++i) {
        auto *widget = new QWidget(contents);
        widget->setGeometry(ChainPlace(i));
        StartPlainThread();
    }
    window->show();
    QApplication::processEvents();
    const double create = Since(start);

    const auto end = Clock::now();
    {
        const std::lock_guard lock(Plain.Mutex);
        Plain.Stopping = true;
    }
    Plain.Stop.notify_all();
    window.reset();
    QApplication::processEvents();
    const double destroy = Since(end);
    AwaitThreads([] { return std::size_t(Plain.Live.load()); });
    return {create, destroy};
}

// ---- Ours

struct TOurTimes {
    double Open, Save, Close;
};

TOurTimes Network(TFormZentaroMain &mainWindow, const std::string &path, const std::string &copy) {
    auto start = Clock::now();
    TFormZentaroChild *window = mainWindow.OpenNetworkWindow(path);
    QApplication::processEvents();
    const double open = Since(start);
    start = Clock::now();
    if (!SaveNetworkFile(copy, *window)) {
        std::fprintf(stderr, "bench_networkfile: cannot write %s\n", copy.c_str());
        std::exit(1);
    }
    const double save = Since(start);
    start = Clock::now();
    TComponent::Free(window);
    QApplication::processEvents();
    const double close = Since(start);
    AwaitThreads([] { return TUpdateDispatcher::Instance()->LiveThreads(); });
    return {open, save, close};
}

struct TSize {
    int N;
    std::string Path;
    std::vector<double> Create, Destroy, Open, Save, Close;
    double Floor() const { return Median(Create) + Median(Destroy); }
    double Ours() const { return Median(Open) + Median(Close); }
};

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (n < 10 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_networkfile [N >= 10] [ROUNDS]\n");
        return 2;
    }
    TFormZentaroMain mainWindow(nullptr);
    mainWindow.Show();
    QApplication::processEvents();

    std::vector<TSize> sizes;
    for (int size : {n / 10, n}) {
        const std::string path =
            QDir::temp().filePath(QStringLiteral("bench_networkfile_%1.ZTR").arg(size)).toStdString();
        if (!WriteChainNetwork(size, path)) {
            std::fprintf(stderr, "bench_networkfile: cannot write %s\n", path.c_str());
            return 1;
        }
        sizes.push_back({size, path, {}, {}, {}, {}, {}});
    }
    AwaitThreads([] { return TUpdateDispatcher::Instance()->LiveThreads(); });
    const std::string copy = QDir::temp().filePath(QStringLiteral("bench_networkfile_copy.ZTR")).toStdString();

    // Not counted: the first widgets and threads of a process pay for fonts, styles and caches.
    PlainFloor(sizes[0].N);
    Network(mainWindow, sizes[0].Path, copy);

    for (int round = 0; round < rounds; ++round)
        for (TSize &size : sizes) {
            const TTimes floor = PlainFloor(size.N);
            size.Create.push_back(floor.Create);
            size.Destroy.push_back(floor.Destroy);
            const TOurTimes ours = Network(mainWindow, size.Path, copy);
            size.Open.push_back(ours.Open);
            size.Save.push_back(ours.Save);
            size.Close.push_back(ours.Close);
        }

    std::printf("Gates in chains of 20, median of %d rounds, seconds\n", rounds);
    std::printf("| N | floor create | floor destroy | open | close | save | open+close / floor | save / open |\n"
                "|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const TSize &size : sizes)
        std::printf("| %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.2fx | %.2fx |\n", size.N, Median(size.Create),
                    Median(size.Destroy), Median(size.Open), Median(size.Close), Median(size.Save),
                    size.Ours() / size.Floor(), Median(size.Save) / Median(size.Open));
    const TSize &small = sizes[0], &large = sizes[1];
    const double vsFloor = large.Ours() / large.Floor(), growth = large.Ours() / small.Ours(),
                 saveRatio = Median(large.Save) / Median(large.Open);
    std::printf("\nGrowth %d/%d: ours %.1fx, floor %.1fx\n", large.N, small.N, growth, large.Floor() / small.Floor());
    std::printf("Goals at %d: open+close <= 1.5x the floor: %.2fx %s; growth <= 11x: %.1fx %s; save <= 0.2x the open: "
                "%.2fx %s\n",
                large.N, vsFloor, vsFloor <= 1.5 ? "met" : "MISSED", growth, growth <= 11 ? "met" : "MISSED",
                saveRatio, saveRatio <= 0.2 ? "met" : "MISSED");
    for (const TSize &size : sizes) std::remove(size.Path.c_str());
    std::remove(copy.c_str());
    return 0;
}
