// Times opening and saving a network of N gates wired in chains, the way the program does it, against
// the floor of any open: creating N bare gates (widgets and paused threads) in a network window.
//   bench_networkfile [N] [ROUNDS]     (defaults 10000 and 3; the median round is shown)
// Goals: open <= 2x the floor, save <= 0.2x the open.

#include "FChild.h"
#include "Util.h"

#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "gates/LogicCmp.h"
#include "stream/MemoryStream.h"

#include <QApplication>
#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A new network window as the main window makes one: without its sample panel.
std::unique_ptr<TFormZentaroChild> NewWindow() {
    auto window = std::make_unique<TFormZentaroChild>(nullptr);
    TComponent::Free(window->PanelDefComp);
    return window;
}

// N gates in chains of 20, each fed by the one before, laid out on the drawing area.
void FillNetwork(TFormZentaroChild &window, int n) {
    TLogicalPort *previous = nullptr;
    for (int i = 0; i < n; ++i) {
        auto *port = new TLogicalPort(&window);
        port->SetParent(window.ScrollBoxCli);
        port->SetName("LogPort" + std::to_string(i + 1));
        port->SetBounds(i % 36 * 55, i / 36 % 45 * 44, 50, 40);
        port->SetPortType(i % 20 == 0 ? TLogicalPortType::logCLK : TLogicalPortType::logNOT);
        port->SetUpdateDelay(10);
        port->SetBorder(true);
        port->SetPopupMenu(window.PopupMenuPort);
        if (i % 20 != 0) port->SetInAComp(previous);
        previous = port;
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (n <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_networkfile [N] [ROUNDS]\n");
        return 2;
    }
    TForm frame(nullptr);
    frame.SetFormStyle(TFormStyle::fsMDIForm);
    frame.SetBounds(0, 0, 1200, 900);
    frame.Show();
    const std::string path = QDir::temp().filePath(QStringLiteral("bench_networkfile.ZTR")).toStdString();

    {
        auto network = NewWindow();
        FillNetwork(*network, n);
        if (!SaveNetworkFile(path, *network)) {
            std::fprintf(stderr, "bench_networkfile: cannot write %s\n", path.c_str());
            return 1;
        }
    }

    std::vector<double> floors, opens, saves;
    for (int round = 0; round < rounds; ++round) {
        {
            auto window = NewWindow();
            const auto start = Clock::now();
            for (int i = 0; i < n; ++i) {
                auto *port = new TLogicalPort(window.get());
                port->SetParent(window->ScrollBoxCli);
            }
            QApplication::processEvents();
            floors.push_back(Since(start));
        }
        auto window = std::make_unique<TFormZentaroChild>(nullptr);
        window->DestroyComponents();
        auto start = Clock::now();
        bool ok = false;
        LoadNetworkFile(path, *window, ok);
        window->AddFlipFlopItems();
        QApplication::processEvents();
        opens.push_back(Since(start));
        if (!ok) {
            std::fprintf(stderr, "bench_networkfile: the network did not load\n");
            return 1;
        }
        start = Clock::now();
        if (!SaveNetworkFile(path, *window)) return 1;
        saves.push_back(Since(start));
    }
    const double floor = Median(floors), open = Median(opens), save = Median(saves);
    std::printf("N = %d gates in chains of 20, median of %d rounds\n", n, rounds);
    std::printf("| What | Seconds | Ratio | Goal |\n|---|---:|---:|---|\n");
    std::printf("| floor: %d bare gates | %.3f | | |\n", n, floor);
    std::printf("| open | %.3f | %.2fx the floor | <= 2x: %s |\n", open, open / floor, open <= 2 * floor ? "met" : "MISSED");
    std::printf("| save | %.3f | %.2fx the open | <= 0.2x: %s |\n", save, save / open, save <= 0.2 * open ? "met" : "MISSED");
    std::remove(path.c_str());
    return 0;
}
