// A stress run of the network windows' whole life, meant for the sanitizer builds: round after
// round it opens a network file of gates in chains through the main window, runs it, edits it
// (adds, retypes and wires a gate, deletes three through the kind menu, undoes and redoes), runs
// it again, undoes every edit and closes it (every other round while it runs), then waits for
// every worker thread to end. Heap in use and resident memory are measured after the first round,
// once caches are warm, and at the end; the heap may end at most 10% above that, so a leak of
// what a window holds fails the run.
//   stress_networks [ROUNDS] [GATES] [RUN_MS]     (defaults 50, 1000 and 75)
// Exit status: 0 when every round went as expected and the heap came back, 1 otherwise.

#include "ChainNetwork.h"
#include "Sanitizers.h"
#include "app/Main.h"
#include "document/FChild.h"

#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "gates/LogicCmp.h"
#include "gates/UpdateDispatcher.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMenu>
#include <QPixmapCache>
#include <QPointer>
#include <QTimer>

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifdef ZENTARO_SANITIZED
// The sanitizers' allocators replace malloc, so glibc's figures would say nothing; GCC ships no
// header for this part of their interface.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void Fail(const std::string &what) {
    throw std::runtime_error(what);
}

struct TMemory {
    // CachedMiB: what emptying Qt's pixmap cache gave back.
    double RssMiB, HeapMiB, CachedMiB;
};

double HeapBytes() {
#ifdef ZENTARO_SANITIZED
    return double(__sanitizer_get_current_allocated_bytes());
#else
    return double(mallinfo2().uordblks);
#endif
}

// Qt's pixmap cache keeps a few KiB of title-bar icons and scroll-bar pictures for every window
// made (its keys name each window's palette and icons) until its limit: emptied after each
// measurement, so that what it held is told apart from what a window left behind.
TMemory Measure() {
#ifndef ZENTARO_SANITIZED
    // Hands freed pages back first, so that resident memory follows the heap.
    malloc_trim(0);
#endif
    const double heap = HeapBytes();
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    QPixmapCache::clear();
    const double mib = 1024.0 * 1024.0;
    return {double(resident) * double(sysconf(_SC_PAGESIZE)) / mib, heap / mib,
            (heap - HeapBytes()) / mib};
}

// Lets the event loop run (gates evaluate, windows paint, deferred deletes happen) for ms.
void RunEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Until every worker of the windows closed so far has left, or fails after 30 s.
void AwaitThreads() {
    const auto start = Clock::now();
    while (TUpdateDispatcher::Instance()->LiveThreads() > 0) {
        if (Since(start) > 30) Fail("worker threads still running 30 s after closing");
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A click on the activation button: the button changes before its handler runs.
void ToggleActive(TFormZentaroChild &window) {
    window.BtnActive->SetDown(!window.BtnActive->Down());
    window.BtnActive->OnClick(window.BtnActive);
}

// Opens the kind menu on the gate, as a right-click does, and chooses item once it has closed.
void ChooseFromMenu(TFormZentaroChild &window, TLogicalPort *port, TMenuItem *item) {
    QTimer::singleShot(0, [] {
        if (QWidget *menu = QApplication::activePopupWidget()) menu->close();
    });
    window.PopupMenuPort->Popup(port->Widget()->mapToGlobal(QPoint(25, 20)), port);
    if (window.PopupMenuPort->PopupComponent() != port)
        Fail("the kind menu did not open on the gate");
    item->Click();
}

TLogicalPort *Port(TFormZentaroChild &window, const std::string &name) {
    auto *port = dynamic_cast<TLogicalPort *>(window.FindComponent(name));
    if (!port) Fail(name + " is missing");
    return port;
}

int PortCount(const TFormZentaroChild &window) {
    int count = 0;
    for (const TComponent *component : window.Components())
        count += dynamic_cast<const TLogicalPort *>(component) != nullptr;
    return count;
}

int HighOutputs(const TFormZentaroChild &window) {
    int count = 0;
    for (const TComponent *component : window.Components())
        if (const auto *port = dynamic_cast<const TLogicalPort *>(component))
            count += port->Output() != 0;
    return count;
}

// Runs the network for ms and checks that its gates moved. The workers run at idle priority, so
// on a busy machine (or under a sanitizer) the first evaluations may come later: up to 10 s.
void Run(TFormZentaroChild &window, int ms) {
    ToggleActive(window);
    if (!window.NetworkActive()) Fail("the network did not start");
    const auto start = Clock::now();
    RunEvents(ms);
    while (HighOutputs(window) == 0) {
        if (Since(start) > 10) Fail("no gate evaluated in 10 s of running");
        RunEvents(5);
    }
}

struct TRound {
    // The whole round and three of its parts; the rest is the network running.
    double Seconds, Open = 0, Edit = 0, Close = 0;
    int HighOutputs = 0;
};

TRound Round(TFormZentaroMain &mainWindow, const std::string &path, int gates, int runMs,
             int round) {
    const auto start = Clock::now();
    TRound done{};
    TFormZentaroChild *window = mainWindow.OpenNetworkWindow(path);
    const QPointer<QWidget> widget = window->Widget();
    RunEvents(1);
    done.Open = Since(start);
    if (PortCount(*window) != gates) Fail("the network opened with a wrong number of gates");

    Run(*window, runMs);
    done.HighOutputs = HighOutputs(*window);
    ToggleActive(*window);
    auto phase = Clock::now();

    // Edits, each recorded on the undo stack: a new gate made an XOR, wired from two others.
    const int chain = round % (gates / 20) * 20;
    TLogicalPort *feedA = Port(*window, "LogPort" + std::to_string(chain + 5));
    TLogicalPort *feedB = Port(*window, "LogPort" + std::to_string(chain + 12));
    window->BtnNewLogClick(window->BtnNewLog);
    const std::string addedName = "LogPort" + std::to_string(gates + 1);
    TLogicalPort *added = Port(*window, addedName);
    ChooseFromMenu(*window, added, window->PopItemXOR);
    window->LogicalPortDragDrop(added, feedA, 5, 5);
    window->LogicalPortDragDrop(added, feedB, 5, added->Height() - 5);
    if (added->PortType() != TLogicalPortType::logXOR || added->InAComp() != feedA ||
        added->InBComp() != feedB)
        Fail("the added gate was not retyped and wired");

    // Deleting a gate tells the others, which let go of their wires to it: the chain's clock, a
    // gate in the middle and one that feeds the new gate.
    TLogicalPort *follower = Port(*window, "LogPort" + std::to_string(chain + 6));
    for (int number : {chain + 1, chain + 10, chain + 5})
        ChooseFromMenu(*window, Port(*window, "LogPort" + std::to_string(number)),
                       window->PopItemDelete);
    if (PortCount(*window) != gates - 2 || added->InAComp() != nullptr ||
        follower->InAComp() != nullptr)
        Fail("a deleted gate is still there or still wired");
    if (window->UndoStack.count() != 7) Fail("an edit was not recorded");
    // Undo reads back every gate the edit changed, so the gates are looked up again afterwards.
    window->Undo();
    if (Port(*window, addedName)->InAComp() == nullptr)
        Fail("undoing the deletion did not wire the gate again");
    window->Redo();
    done.Edit = Since(phase);

    // The edited network runs, then every edit is undone so that it closes without a question.
    Run(*window, runMs / 2);
    ToggleActive(*window);
    phase = Clock::now();
    while (window->CanUndo())
        window->Undo();
    if (window->Modified || PortCount(*window) != gates)
        Fail("undoing every edit did not give the file's network back");
    done.Edit += Since(phase);

    // Every other round the window closes while its network runs.
    if (round % 2 == 1) Run(*window, runMs / 2);
    phase = Clock::now();
    window->Close();
    RunEvents(5);
    if (widget || mainWindow.MDIChildCount() != 0) Fail("the network window did not close");
    AwaitThreads();
    done.Close = Since(phase);
    done.Seconds = Since(start);
    return done;
}

// The offscreen platform says so for every menu opened; anything else is passed on.
QtMessageHandler PreviousHandler = nullptr;
void QuietMessages(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (PreviousHandler) PreviousHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    PreviousHandler = qInstallMessageHandler(QuietMessages);
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 50;
    const int gates = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int runMs = argc > 3 ? std::atoi(argv[3]) : 75;
    if (rounds < 2 || gates < 20 || gates % 20 != 0 || runMs < 2) {
        std::fprintf(
            stderr,
            "usage: stress_networks [ROUNDS >= 2] [GATES, a multiple of 20] [RUN_MS >= 2]\n");
        return 2;
    }
    const std::string path =
        QDir::temp()
            .filePath(QStringLiteral("stress_networks_%1_%2.ZTR").arg(gates).arg(getpid()))
            .toStdString();

    int status = 0;
    try {
        TFormZentaroMain mainWindow(nullptr);
        mainWindow.Show();
        RunEvents(10);
        if (!WriteChainNetwork(gates, path)) Fail("cannot write " + path);
        AwaitThreads();
        const TMemory start = Measure();
        TMemory first{}, end{};
        TRound total{};
        std::printf("%d networks of %d gates, %d ms running\n", rounds, gates, runMs);
        std::printf("| round | s | open | edit | close | high outputs | RSS MiB | heap MiB | of it "
                    "Qt's pixmap cache, KiB |\n"
                    "|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (int round = 0; round < rounds; ++round) {
            const TRound done = Round(mainWindow, path, gates, runMs, round);
            const TMemory now = Measure();
            if (round == 0)
                first = now;
            else {
                total.Seconds += done.Seconds;
                total.Open += done.Open;
                total.Edit += done.Edit;
                total.Close += done.Close;
            }
            end = now;
            std::printf("| %d | %.3f | %.3f | %.3f | %.3f | %d | %.1f | %.2f | %.1f |\n", round + 1,
                        done.Seconds, done.Open, done.Edit, done.Close, done.HighOutputs,
                        now.RssMiB, now.HeapMiB, now.CachedMiB * 1024);
            std::fflush(stdout);
        }
        const double heapRatio = end.HeapMiB / first.HeapMiB;
        const double later = rounds - 1;
        std::printf("\nPer network (mean of rounds 2-%d): %.3f s, of it open %.3f s, edit and undo "
                    "%.3f s, close and "
                    "threads gone %.3f s\n",
                    rounds, total.Seconds / later, total.Open / later, total.Edit / later,
                    total.Close / later);
        std::printf("RSS  MiB: start %.1f, after round 1 %.1f, end %.1f (end / round 1 %.3fx)\n",
                    start.RssMiB, first.RssMiB, end.RssMiB, end.RssMiB / first.RssMiB);
        std::printf("Heap MiB: start %.2f, after round 1 %.2f, end %.2f (end / round 1 %.3fx, "
                    "%+.1f KiB a round)\n",
                    start.HeapMiB, first.HeapMiB, end.HeapMiB, heapRatio,
                    (end.HeapMiB - first.HeapMiB) * 1024 / (rounds - 1));
        if (heapRatio > 1.10) {
            std::printf("FAILED: the heap ended more than 10%% above its size after round 1\n");
            status = 1;
        } else {
            std::printf("Heap back within 10%% of round 1: met\n");
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "stress_networks: %s\n", error.what());
        status = 1;
    }
    std::remove(path.c_str());
    return status;
}
