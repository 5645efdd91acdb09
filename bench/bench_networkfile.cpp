// Times opening, saving and closing a network of gates wired in chains, the way the program does
// it, against the plain floor of the same work: a small Qt program creating as many child widgets
// in a scroll area and as many detached threads (256 KiB stacks) blocked on a condition variable,
// then telling the threads to stop without joining them and deleting the widgets. The floor runs in
// a process of its own, forked before Qt starts any thread, so that neither side's threads and
// mappings weigh on the other; both sizes and both sides run interleaved, so the ratios share the
// machine's noise. Every round waits, untimed, until the last round's threads have really gone.
//   bench_networkfile [N] [ROUNDS] [ours]   (defaults 10000 and 3; N/10 is run too; medians shown;
//                                            "ours" leaves the floor out, e.g. under strace -f)
// Goals: open + close <= 1.5x the floor's create + destroy at N, ours at N / ours at N/10 <= 11x,
// save <= 0.2x the open.

#include "ChainNetwork.h"
#include "Rounds.h"
#include "Util.h"
#include "app/Main.h"
#include "document/FChild.h"

#include "classlib/Forms.h"
#include "gates/UpdateDispatcher.h"

#include <QApplication>
#include <QDir>
#include <QScrollArea>

#include <dirent.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = BenchClock;

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

struct TTimes {
    double Create, Destroy;
};

TTimes PlainFloor(int n) {
    const std::size_t tasks = Tasks();
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
    AwaitThreads([] { return std::size_t(Plain.Live.load()); }, tasks);
    return {create, destroy};
}

// The floor's process: answers each size read from the pipe with its times, until the pipe ends.
[[noreturn]] void ServeFloor(int argc, char *argv[], int requests, int answers) {
    QApplication application(argc, argv);
    for (int n; read(requests, &n, sizeof n) == sizeof n;) {
        const TTimes times = PlainFloor(n);
        if (write(answers, &times, sizeof times) != sizeof times) break;
    }
    std::_Exit(0);
}

struct TFloorProcess {
    pid_t Pid = -1;
    int Requests = -1, Answers = -1;

    // Before any Qt object: a fork copies only the calling thread.
    void Start(int argc, char *argv[]) {
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0 || (Pid = fork()) < 0) {
            std::perror("bench_networkfile: cannot start the floor's process");
            std::exit(1);
        }
        if (Pid == 0) {
            close(toChild[1]);
            close(fromChild[0]);
            ServeFloor(argc, argv, toChild[0], fromChild[1]);
        }
        close(toChild[0]);
        close(fromChild[1]);
        Requests = toChild[1];
        Answers = fromChild[0];
    }
    TTimes Run(int n) const {
        TTimes times{};
        if (write(Requests, &n, sizeof n) != sizeof n ||
            read(Answers, &times, sizeof times) != sizeof times) {
            std::fprintf(stderr, "bench_networkfile: the floor's process failed\n");
            std::exit(1);
        }
        return times;
    }
    void Stop() {
        close(Requests);
        close(Answers);
        waitpid(Pid, nullptr, 0);
    }
};

// ---- Ours

struct TOurTimes {
    double Open, Save, Close;
};

TOurTimes Network(TFormZentaroMain &mainWindow, const std::string &path, const std::string &copy) {
    const std::size_t tasks = Tasks();
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
    AwaitThreads([] { return TUpdateDispatcher::Instance()->LiveThreads(); }, tasks);
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
    const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const bool withFloor = !(argc > 3 && std::strcmp(argv[3], "ours") == 0);
    if (n < 10 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_networkfile [N >= 10] [ROUNDS] [ours]\n");
        return 2;
    }
    TFloorProcess floorProcess;
    if (withFloor) floorProcess.Start(argc, argv);
    QApplication application(argc, argv);
    TFormZentaroMain mainWindow(nullptr);
    mainWindow.Show();
    QApplication::processEvents();

    const std::size_t tasks = Tasks();
    std::vector<TSize> sizes;
    for (int size : {n / 10, n}) {
        const std::string path = QDir::temp()
                                     .filePath(QStringLiteral("bench_networkfile_%1.ZTR").arg(size))
                                     .toStdString();
        if (!WriteChainNetwork(size, path)) {
            std::fprintf(stderr, "bench_networkfile: cannot write %s\n", path.c_str());
            return 1;
        }
        sizes.push_back({size, path, {}, {}, {}, {}, {}});
    }
    AwaitThreads([] { return TUpdateDispatcher::Instance()->LiveThreads(); }, tasks);
    const std::string copy =
        QDir::temp().filePath(QStringLiteral("bench_networkfile_copy.ZTR")).toStdString();

    // Not counted: the first widgets and threads of a process pay for fonts, styles and caches.
    if (withFloor) floorProcess.Run(sizes[0].N);
    Network(mainWindow, sizes[0].Path, copy);

    for (int round = 0; round < rounds; ++round)
        for (TSize &size : sizes) {
            const TTimes floor = withFloor ? floorProcess.Run(size.N) : TTimes{1, 1};
            size.Create.push_back(floor.Create);
            size.Destroy.push_back(floor.Destroy);
            const TOurTimes ours = Network(mainWindow, size.Path, copy);
            size.Open.push_back(ours.Open);
            size.Save.push_back(ours.Save);
            size.Close.push_back(ours.Close);
        }

    std::printf("Gates in chains of 20, median of %d rounds, seconds\n", rounds);
    std::printf("| N | floor create | floor destroy | open | close | save | open+close / floor | "
                "save / open |\n"
                "|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const TSize &size : sizes)
        std::printf("| %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.2fx | %.2fx |\n", size.N,
                    Median(size.Create), Median(size.Destroy), Median(size.Open),
                    Median(size.Close), Median(size.Save), size.Ours() / size.Floor(),
                    Median(size.Save) / Median(size.Open));
    const TSize &small = sizes[0], &large = sizes[1];
    const double vsFloor = large.Ours() / large.Floor(), growth = large.Ours() / small.Ours(),
                 saveRatio = Median(large.Save) / Median(large.Open);
    std::printf("\nGrowth %d/%d: ours %.1fx, floor %.1fx\n", large.N, small.N, growth,
                large.Floor() / small.Floor());
    std::printf("Goals at %d: open+close <= 1.5x the floor: %.2fx %s; growth <= 11x: %.1fx %s; "
                "save <= 0.2x the open: "
                "%.2fx %s\n",
                large.N, vsFloor, vsFloor <= 1.5 ? "met" : "MISSED", growth,
                growth <= 11 ? "met" : "MISSED", saveRatio, saveRatio <= 0.2 ? "met" : "MISSED");
    if (withFloor) floorProcess.Stop();
    for (const TSize &size : sizes)
        std::remove(size.Path.c_str());
    std::remove(copy.c_str());
    return 0;
}
