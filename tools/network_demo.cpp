// A network window with one gate of every kind, wired forwards and backwards, pictured while it
// is edited and while it runs:
//   network_demo EDITING.png RUNNING.png
// Run it on a display (or under xvfb-run) to look at the window as the program draws it.

#include "document/FChild.h"

#include "classlib/Application.h"
#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "gates/LogicCmp.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

void Wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Save(const TForm &frame, const char *path) {
    const QPixmap picture = frame.Widget()->window()->grab();
    if (picture.save(QString::fromLocal8Bit(path))) return true;
    std::fprintf(stderr, "network_demo: cannot write %s\n", path);
    return false;
}

} // namespace

int main(int argc, char *argv[]) {
    TApplicationObject application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: network_demo EDITING.png RUNNING.png\n");
        return 2;
    }
    TApplication::Instance().SetTitle("Zentaro");
    TForm frame(nullptr);
    frame.SetFormStyle(TFormStyle::fsMDIForm);
    frame.SetCaption("Zentaro");
    frame.SetBounds(0, 0, 860, 640);
    frame.Show();

    auto *window = new TFormZentaroChild(&frame);
    TComponent::Free(window->PanelDefComp);
    window->SetBounds(0, 0, 840, 600);

    // Clocks and a switch feed a row of gates, which feed flip-flops and lamps; a NOT ring of
    // three runs backwards.
    using K = TLogicalPortType;
    auto add = [&](K kind, int left, int top) {
        window->BtnNewLog->OnClick(window->BtnNewLog);
        auto *port = dynamic_cast<TLogicalPort *>(window->Components().back());
        port->SetPortType(kind);
        port->SetUpdateDelay(kind == K::logCLK ? 300 : 10);
        if (kind == K::logLED) port->SetWidth(port->Height());
        port->SetBounds(left, top, port->Width(), port->Height());
        return port;
    };
    TLogicalPort *clockA = add(K::logCLK, 20, 20), *clockB = add(K::logCLK, 20, 120);
    TLogicalPort *pulse = add(K::logPLS, 20, 220);
    const K middle[] = {K::logAND, K::logOR, K::logXOR, K::logNAND, K::logNOR, K::logNXOR};
    std::vector<TLogicalPort *> gates;
    for (int i = 0; i < 6; ++i) {
        TLogicalPort *gate = add(middle[i], 200 + i % 2 * 140, 20 + i / 2 * 90);
        gate->SetInAComp(i % 2 ? clockB : clockA);
        gate->SetInBComp(i < 3 ? pulse : clockB);
        gates.push_back(gate);
    }
    TLogicalPort *flipD = add(K::logFFD, 520, 20), *flipJK = add(K::logFFJK, 520, 130);
    flipD->SetInAComp(gates[0]);
    flipD->SetInBComp(clockA);
    flipJK->SetInAComp(gates[1]);
    flipJK->SetInBComp(gates[2]);
    add(K::logLED, 680, 20)->SetInAComp(flipD);
    add(K::logLED, 680, 130)->SetInAComp(flipJK);
    TLogicalPort *ring[3] = {add(K::logNOT, 200, 330), add(K::logNOT, 340, 330),
                             add(K::logNOT, 480, 400)};
    ring[1]->SetInAComp(ring[0]);
    ring[2]->SetInAComp(ring[1]);
    ring[0]->SetInAComp(ring[2]);
    add(K::logLED, 640, 330)->SetInAComp(ring[2]);
    add(K::logLED, 20, 400)->SetInAComp(gates[5]);
    window->RepaintWires();

    Wait(300);
    if (!Save(frame, argv[1])) return 1;
    window->CBShowPortType->SetChecked(true);
    window->BtnActive->SetDown(true);
    window->BtnActive->OnClick(window->BtnActive);
    Wait(1000);
    return Save(frame, argv[2]) ? 0 : 1;
}
