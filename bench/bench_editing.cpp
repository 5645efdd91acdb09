// Times editing a large selection the way a user does it, in the program's own windows
// (offscreen): N wired gates (chains of a clock and 19 inverters) all selected and dragged by the
// mouse across the drawing area, each step's frame time being its mouse move handled and the
// window repainted; and copying and pasting the N gates against opening the file that holds
// them, in the same run.
//   bench_editing [N] [ROUNDS]   (defaults 1000 and 5; medians of the rounds shown)
// Goals: the drag's p99 frame time <= 33 ms; copy + paste <= 0.5x the open.

#include "ChainNetwork.h"
#include "Rounds.h"
#include "app/Main.h"
#include "document/FChild.h"

#include "classlib/Forms.h"
#include "gates/LogicCmp.h"
#include "gates/UpdateDispatcher.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct TRound {
    double Open = 0, Copy = 0, Paste = 0;
    std::vector<double> Frames; // seconds
};

std::vector<TLogicalPort *> AreaPorts(TFormZentaroChild &window) {
    std::vector<TLogicalPort *> ports;
    for (TComponent *component : window.Components())
        if (auto *port = dynamic_cast<TLogicalPort *>(component)) ports.push_back(port);
    return ports;
}

// Presses on the first gate and drags it, and with it the selection, `steps` times by (4, 2).
std::vector<double> Drag(TFormZentaroMain &mainWindow, TLogicalPort &gate, int steps) {
    QWindow *window = mainWindow.Widget()->windowHandle();
    QPoint at = gate.Widget()->mapTo(mainWindow.Widget(), QPoint(gate.Width() / 2, 10));
    // The designer takes the gate the pointer enters.
    QTest::mouseMove(window, at - QPoint(1, 1));
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    std::vector<double> frames;
    for (int step = 0; step < steps; ++step) {
        at += QPoint(4, 2);
        const auto start = BenchClock::now();
        QTest::mouseMove(window, at);
        QApplication::processEvents();
        frames.push_back(Since(start));
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    QApplication::processEvents();
    return frames;
}

TRound Round(TFormZentaroMain &mainWindow, const std::string &path) {
    const std::size_t tasks = Tasks();
    TRound round;
    auto start = BenchClock::now();
    TFormZentaroChild *window = mainWindow.OpenNetworkWindow(path);
    QApplication::processEvents();
    round.Open = Since(start);
    const std::vector<TLogicalPort *> ports = AreaPorts(*window);
    window->SelectPorts(ports);
    round.Frames = Drag(mainWindow, *ports.front(), 100);
    if (window->SelectedPorts().size() != ports.size()) {
        std::fprintf(stderr, "bench_editing: the drag lost the selection\n");
        std::exit(1);
    }

    start = BenchClock::now();
    window->CopySelection(false);
    round.Copy = Since(start);
    start = BenchClock::now();
    window->PasteClipboard();
    QApplication::processEvents();
    round.Paste = Since(start);
    if (AreaPorts(*window).size() != 2 * ports.size()) {
        std::fprintf(stderr, "bench_editing: the paste did not add %zu gates\n", ports.size());
        std::exit(1);
    }
    window->Modified = false; // closes without asking
    window->Close();
    QApplication::processEvents();
    AwaitThreads([] { return TUpdateDispatcher::Instance()->LiveThreads(); }, tasks);
    return round;
}

} // namespace

int main(int argc, char *argv[]) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (n < 1 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_editing [N >= 1] [ROUNDS]\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TFormZentaroMain mainWindow(nullptr);
    mainWindow.Widget()->resize(1200, 900);
    mainWindow.Show();
    QApplication::processEvents();
    const std::string path =
        QDir::temp().filePath(QStringLiteral("bench_editing_%1.ZTR").arg(n)).toStdString();
    if (!WriteChainNetwork(n, path)) {
        std::fprintf(stderr, "bench_editing: cannot write %s\n", path.c_str());
        return 1;
    }
    // Not counted: the first windows of a process pay for fonts, styles and caches.
    Round(mainWindow, path);
    std::vector<double> open, copy, paste, copyPaste, frames;
    for (int i = 0; i < rounds; ++i) {
        const TRound round = Round(mainWindow, path);
        open.push_back(round.Open);
        copy.push_back(round.Copy);
        paste.push_back(round.Paste);
        copyPaste.push_back(round.Copy + round.Paste);
        frames.insert(frames.end(), round.Frames.begin(), round.Frames.end());
    }
    const double p99 = Percentile(frames, 0.99) * 1000, ratio = Median(copyPaste) / Median(open);
    std::printf("%d wired gates, %d rounds (medians), %zu drag steps\n", n, rounds, frames.size());
    std::printf("| open | copy | paste | copy + paste | frame median | frame p99 | frame max |\n"
                "|---:|---:|---:|---:|---:|---:|---:|\n"
                "| %.3f s | %.3f s | %.3f s | %.3f s | %.1f ms | %.1f ms | %.1f ms |\n",
                Median(open), Median(copy), Median(paste), Median(copyPaste), Median(frames) * 1000,
                p99, Percentile(frames, 1) * 1000);
    std::printf("Goals: drag p99 <= 33 ms: %.1f ms %s; copy + paste <= 0.5x the open: %.2fx %s\n",
                p99, p99 <= 33 ? "met" : "MISSED", ratio, ratio <= 0.5 ? "met" : "MISSED");
    return 0;
}
