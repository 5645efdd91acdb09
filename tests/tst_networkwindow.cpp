#include "document/FChild.h"

#include "classlib/Buttons.h"
#include "classlib/Canvas.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "gates/LogicCmp.h"

#include "support/FormFixture.h"
#include "support/UserInput.h"

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(TLogicalPortType)

namespace {

// Hosts network windows the way the main window will: a multi-document frame, and each new
// window without its sample panel.
struct Harness {
    std::unique_ptr<TForm> Frame = std::make_unique<TForm>(nullptr);
    QPointer<QWidget> Alive;
    TFormZentaroChild *Window = nullptr;

    Harness() {
        Frame->SetFormStyle(TFormStyle::fsMDIForm);
        Frame->SetBounds(0, 0, 900, 700);
        Frame->Show();
        Window = NewWindow();
        Alive = Window->Widget();
    }
    ~Harness() {
        if (Alive) TComponent::Free(Window);
    }
    TFormZentaroChild *NewWindow() {
        auto *window = new TFormZentaroChild(nullptr);
        TComponent::Free(window->PanelDefComp);
        window->SetBounds(0, 0, 600, 450);
        QApplication::processEvents();
        return window;
    }
    TLogicalPort *AddPort(QPoint at, TLogicalPortType kind = TLogicalPortType::logAND) {
        Click(Window->BtnNewLog, {20, 17});
        auto *port = dynamic_cast<TLogicalPort *>(Window->Components().back());
        port->SetPortType(kind);
        port->SetBounds(at.x(), at.y(), port->Width(), port->Height());
        return port;
    }
    void Linking() { Click(Window->RBLnkPort, {5, 8}); }
    void Activate() { Click(Window->BtnActive, {50, 16}); }

    // Mouse input travels as a user's does: to the window, through Qt's dispatch.
    static QWindow *WindowOf(const TControl *control) { return UserInput::WindowOf(control); }
    static QPoint InWindow(const TControl *control, QPoint at) {
        return UserInput::InWindow(control, at);
    }
    static void Click(const TControl *control, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        UserInput::Click(control, at, button);
    }
    static void Drag(const TControl *from, QPoint start, const TControl *to, QPoint end) {
        UserInput::Drag(from, start, to, end);
    }
    // Rests the pointer on the control: asks for its tooltip as Qt does, and returns what shows.
    static QString ToolTipOf(const TControl *control, QPoint at) {
        QHelpEvent help(QEvent::ToolTip, at, control->Widget()->mapToGlobal(at));
        QApplication::sendEvent(control->Widget(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
    // Right-clicks the port and chooses the menu item with that caption, by mouse.
    static void ChooseFromMenu(const TControl *port, const QString &caption) {
        bool chosen = false;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction *action : menu->actions())
                if (action->text() == caption) {
                    chosen = true;
                    QTest::mouseClick(menu, Qt::LeftButton, {},
                                      menu->actionGeometry(action).center());
                    return;
                }
            menu->close();
        });
        Click(port, {25, 20}, Qt::RightButton);
        QVERIFY2(chosen, qPrintable(caption));
    }
};

std::vector<QPoint> Points(std::initializer_list<QPoint> points) {
    return points;
}

} // namespace

class TestNetworkWindow : public QObject {
    Q_OBJECT

private slots:
    void wireRoute_data();
    void wireRoute();
    void modes_data();
    void modes();
    void namesReuseTheLowestFreeNumber();
    void kindMenu_data();
    void kindMenu();
    void drop_data();
    void drop();
    void dropFromAnotherWindowMakesNoWire();
    void wiresAreDrawnAndFollowChanges();
    void activationResetsLevels();
    void closeAsksWhenModified();
    void flipFlopItemsAndWindowRoutines();
    void frameDestroyedBeforeItsWindows();
    void writesItsDescriptionBack();
    void movingAndSizingRedrawTheWires();
    void scrollSteps();
};

void TestNetworkWindow::wireRoute_data() {
    QTest::addColumn<QRect>("source");
    QTest::addColumn<QRect>("target");
    QTest::addColumn<int>("pin");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<std::vector<QPoint>>("expected");
    const QRect s(10, 10, 50, 40);
    const int upper = int(TPin::Upper), middle = int(TPin::Middle), lower = int(TPin::Lower);
    QTest::newRow("forward, bend by angle")
        << s << QRect(160, 100, 50, 40) << upper << QPoint()
        << Points({{60, 30}, {140, 30}, {140, 104}, {160, 104}});
    QTest::newRow("flat wire bends 8 before")
        << s << QRect(160, 10, 50, 40) << middle << QPoint()
        << Points({{60, 30}, {152, 30}, {152, 30}, {160, 30}});
    QTest::newRow("scrolled") << s << QRect(160, 100, 50, 40) << upper << QPoint(30, 20)
                              << Points({{90, 50}, {170, 50}, {170, 124}, {190, 124}});
    QTest::newRow("gap under 16") << s << QRect(70, 100, 50, 40) << lower << QPoint()
                                  << Points({{60, 30}, {68, 30}, {68, 135}, {70, 135}});
    QTest::newRow("backward around, lower")
        << QRect(200, 10, 50, 40) << QRect(20, 100, 50, 40) << lower << QPoint()
        << Points({{250, 30}, {254, 30}, {254, 159}, {16, 159}, {16, 135}, {20, 135}});
    QTest::newRow("backward around, upper")
        << QRect(200, 10, 50, 40) << QRect(20, 100, 50, 40) << upper << QPoint()
        << Points({{250, 30}, {254, 30}, {254, 6}, {16, 6}, {16, 104}, {20, 104}});
    QTest::newRow("target's left edge on the source's right edge: around")
        << s << QRect(60, 100, 50, 40) << upper << QPoint()
        << Points({{60, 30}, {64, 30}, {64, 67}, {56, 67}, {56, 104}, {60, 104}});
    QTest::newRow("backward overlapping")
        << QRect(100, 10, 50, 40) << QRect(120, 100, 50, 40) << upper << QPoint()
        << Points({{150, 30}, {154, 30}, {154, 67}, {116, 67}, {116, 104}, {120, 104}});
    QTest::newRow("backward around, target higher")
        << QRect(200, 100, 50, 40) << QRect(20, 10, 50, 40) << upper << QPoint()
        << Points({{250, 120}, {254, 120}, {254, -10}, {16, -10}, {16, 14}, {20, 14}});
}

void TestNetworkWindow::wireRoute() {
    QFETCH(QRect, source);
    QFETCH(QRect, target);
    QFETCH(int, pin);
    QFETCH(QPoint, scroll);
    QFETCH(std::vector<QPoint>, expected);
    QCOMPARE(RouteWire(source, target, TPin(pin), scroll), expected);
}

void TestNetworkWindow::modes_data() {
    QTest::addColumn<bool>("linking");
    // Quick clicks on "Attiva la Rete", inside the double-click interval.
    QTest::addColumn<int>("clicks");
    QTest::newRow("positioning") << false << 0;
    QTest::newRow("linking") << true << 0;
    QTest::newRow("active from positioning") << false << 1;
    QTest::newRow("active from linking") << true << 1;
    QTest::newRow("double click runs and stops") << false << 2;
}

void TestNetworkWindow::modes() {
    QFETCH(bool, linking);
    QFETCH(int, clicks);
    const bool active = clicks % 2;
    Harness h;
    TLogicalPort *port = h.AddPort({100, 100});
    h.Window->CBShowPortType->SetChecked(false);
    h.Window->Modified = false;
    if (linking) h.Linking();
    UserInput::QuickClicks(h.Window->BtnActive, {50, 16}, clicks, 100);
    TFormZentaroChild &w = *h.Window;
    QCOMPARE(w.NetworkActive(), active);
    QCOMPARE(w.DesignRT->Attached(), !active);
    QCOMPARE(w.DesignRT->ChangeEnabled(), !active && !linking);
    QCOMPARE(w.PanelCtrl->Visible(), !active);
    QCOMPARE(w.BtnNewLog->Enabled(), !linking);
    QCOMPARE(w.PopupMenuPort->AutoPopup(), !active);
    QCOMPARE(port->Border(), !active);
    QCOMPARE(port->Active(), active);
    QCOMPARE(port->DragMode(), linking && !active ? TDragMode::dmAutomatic : TDragMode::dmManual);
    QCOMPARE(port->ShowType(), !active); // the check box is clear
    QVERIFY(!w.Modified);
    if (!active) return;
    // While running the labels follow the check box; back to editing they show again.
    h.Click(w.CBShowPortType, {5, 8});
    QVERIFY(port->ShowType());
    h.Click(w.CBShowPortType, {5, 8});
    QVERIFY(!port->ShowType());
    h.Activate();
    QVERIFY(port->ShowType());
    QVERIFY(!port->Active());
    QCOMPARE(port->DragMode(), linking ? TDragMode::dmAutomatic : TDragMode::dmManual);
}

void TestNetworkWindow::namesReuseTheLowestFreeNumber() {
    Harness h;
    QStringList names;
    for (int i = 0; i < 3; ++i)
        names << QString::fromStdString(h.AddPort({60 * i, 0})->Name());
    QCOMPARE(names, QStringList({"LogPort1", "LogPort2", "LogPort3"}));

    auto *second = dynamic_cast<TLogicalPort *>(h.Window->FindComponent("LogPort2"));
    h.Window->Modified = false;
    h.ChooseFromMenu(second, "Elimina");
    QVERIFY(!h.Window->FindComponent("LogPort2"));
    QVERIFY(h.Window->Modified);
    TLogicalPort *fresh = h.AddPort({0, 100});
    QCOMPARE(fresh->Name(), std::string("LogPort2"));
    QCOMPARE(fresh->UpdateDelay(), 10);
    QVERIFY(fresh->Border());
    QCOMPARE(fresh->PopupMenu(), h.Window->PopupMenuPort);
    QCOMPARE(fresh->OnDragDrop.Name(), std::string("LogicalPortDragDrop"));
    QCOMPARE(h.Window->UniquePortName("PanelTop"), std::string("PanelTop1"));
    // A name taken in other case is taken: the file reader would refuse the second.
    QCOMPARE(h.Window->UniquePortName("logport"), std::string("logport4"));
    // Every quick click on "Nuova" adds one.
    QVERIFY(UserInput::QuickClicks(h.Window->BtnNewLog, {20, 17}, 4, 100) > 0);
    QVERIFY(h.Window->FindComponent("LogPort7"));
}

void TestNetworkWindow::kindMenu_data() {
    QTest::addColumn<TLogicalPortType>("before");
    QTest::addColumn<QString>("item");
    QTest::addColumn<TLogicalPortType>("kind");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QSize>("size");
    using K = TLogicalPortType;
    QTest::newRow("clock ticks slowly")
        << K::logAND << "CLOCK" << K::logCLK << 500 << QSize(50, 40);
    QTest::newRow("a clock made AND") << K::logCLK << "AND" << K::logAND << 10 << QSize(50, 40);
    QTest::newRow("lamp made square") << K::logAND << "LED" << K::logLED << 10 << QSize(40, 40);
    QTest::newRow("same kind still applies")
        << K::logCLK << "CLOCK" << K::logCLK << 500 << QSize(50, 40);
    QTest::newRow("flip-flop") << K::logAND << "FFJK" << K::logFFJK << 10 << QSize(50, 40);
}

void TestNetworkWindow::kindMenu() {
    QFETCH(TLogicalPortType, before);
    QFETCH(QString, item);
    QFETCH(TLogicalPortType, kind);
    QFETCH(int, delay);
    QFETCH(QSize, size);
    Harness h;
    TLogicalPort *port = h.AddPort({40, 40}, before);
    port->SetUpdateDelay(1234);
    h.Window->Modified = false;
    h.ChooseFromMenu(port, item);
    QCOMPARE(port->PortType(), kind);
    QCOMPARE(port->UpdateDelay(), delay);
    QCOMPARE(QSize(port->Width(), port->Height()), size);
    QVERIFY(h.Window->Modified);
    // The pointer resting on the gate names it, the kind worded as the menu words it.
    QCOMPARE(h.ToolTipOf(port, {25, 20}), QStringLiteral("LogPort1 \u2014 ") + item);
    QCOMPARE(port->Hint(), "");
    // The lamp stays square under another kind.
    if (kind == TLogicalPortType::logLED) {
        h.ChooseFromMenu(port, "AND");
        QCOMPARE(QSize(port->Width(), port->Height()), size);
    }
}

void TestNetworkWindow::drop_data() {
    QTest::addColumn<TLogicalPortType>("sourceKind");
    QTest::addColumn<TLogicalPortType>("targetKind");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("wired"); // "A", "B" or "" for nothing
    using K = TLogicalPortType;
    QTest::newRow("upper-left quarter wires A") << K::logCLK << K::logAND << QPoint(5, 5) << "A";
    QTest::newRow("lower-left quarter wires B") << K::logCLK << K::logAND << QPoint(5, 30) << "B";
    QTest::newRow("middle of the left edge is B") << K::logCLK << K::logOR << QPoint(25, 20) << "B";
    QTest::newRow("right half refused") << K::logCLK << K::logAND << QPoint(26, 5) << "";
    QTest::newRow("NOT takes A anywhere left") << K::logAND << K::logNOT << QPoint(5, 35) << "A";
    QTest::newRow("LED takes A anywhere left") << K::logAND << K::logLED << QPoint(5, 35) << "A";
    QTest::newRow("pulse switch refuses") << K::logAND << K::logPLS << QPoint(5, 5) << "";
    QTest::newRow("lamp is no source") << K::logLED << K::logAND << QPoint(5, 5) << "";
}

void TestNetworkWindow::drop() {
    QFETCH(TLogicalPortType, sourceKind);
    QFETCH(TLogicalPortType, targetKind);
    QFETCH(QPoint, at);
    QFETCH(QString, wired);
    Harness h;
    TLogicalPort *source = h.AddPort({10, 10}, sourceKind);
    TLogicalPort *target = h.AddPort({200, 100}, targetKind);
    TLogicalPort *other = h.AddPort({10, 200}, TLogicalPortType::logCLK);
    h.Linking();
    h.Window->Modified = false;
    h.Drag(source, {25, 20}, target, at);
    QCOMPARE(target->InAComp(), wired == "A" ? source : nullptr);
    QCOMPARE(target->InBComp(), wired == "B" ? source : nullptr);
    QCOMPARE(h.Window->Modified, !wired.isEmpty());
    if (wired.isEmpty()) return;
    // A second source replaces the wire; clicking the input removes it, except on a lamp, whose
    // own output is refused as a source like any lamp's.
    h.Drag(other, {25, 20}, target, at);
    QCOMPARE(wired == "A" ? target->InAComp() : target->InBComp(), other);
    h.Window->Modified = false;
    h.Click(target, at);
    const bool lamp = targetKind == TLogicalPortType::logLED;
    QCOMPARE(wired == "A" ? target->InAComp() : target->InBComp(), lamp ? other : nullptr);
    QCOMPARE(h.Window->Modified, !lamp);
}

void TestNetworkWindow::dropFromAnotherWindowMakesNoWire() {
    Harness h;
    TLogicalPort *target = h.AddPort({10, 10});
    TFormZentaroChild *second = h.NewWindow();
    auto *stranger = new TLogicalPort(second);
    stranger->SetParent(second->ScrollBoxCli);
    bool accept = false;
    h.Window->LogicalPortDragOver(target, stranger, 5, 5, TDragState::dsDragMove, accept);
    h.Window->Modified = false;
    h.Window->LogicalPortDragDrop(target, stranger, 5, 5);
    QVERIFY(!target->InAComp());
    QVERIFY(!h.Window->Modified);
    TComponent::Free(second);
}

void TestNetworkWindow::wiresAreDrawnAndFollowChanges() {
    Harness h;
    TLogicalPort *source = h.AddPort({10, 10}, TLogicalPortType::logCLK);
    TLogicalPort *target = h.AddPort({200, 100}, TLogicalPortType::logNOT);
    h.Linking();
    h.Drag(source, {25, 20}, target, {5, 20});
    QCOMPARE(target->InAComp(), source);
    // The wire's first segment runs along y = 30 from x = 60; the drawing is not scrolled.
    auto wirePixel = [&](QPoint at) {
        return h.Window->ScrollBoxCli->ClientWidget()->grab().toImage().pixelColor(at) == Qt::black;
    };
    QApplication::processEvents();
    QVERIFY(wirePixel({70, 30}));
    // A gate repainting itself does not wipe the wire beneath its neighbours.
    target->RequestRedraw();
    QVERIFY(wirePixel({70, 30}));
    // Deleting the source removes the wire at once, also in linking mode, where the designer
    // redraws nothing.
    h.ChooseFromMenu(source, "Elimina");
    QVERIFY(!target->InAComp());
    QApplication::processEvents();
    QVERIFY(!wirePixel({70, 30}));
}

void TestNetworkWindow::activationResetsLevels() {
    Harness h;
    TLogicalPort *pulse = h.AddPort({10, 10}, TLogicalPortType::logPLS);
    h.Window->Modified = false;
    // Whether the screen shows the switch as it is now: what was last painted against a fresh
    // picture.
    auto shownAsItIs = [&] {
        QApplication::processEvents();
        QWidget *top = pulse->Widget()->window();
        const QRect at(pulse->Widget()->mapTo(top, QPoint()), pulse->Widget()->size());
        const QPixmap shown =
            top->screen()->grabWindow(top->winId(), at.x(), at.y(), at.width(), at.height());
        return shown.toImage().convertToFormat(QImage::Format_RGB32) ==
               top->grab(at).toImage().convertToFormat(QImage::Format_RGB32);
    };
    h.Activate();
    // Labels shown while running: stopping then changes nothing else about the switch's look.
    h.Click(h.Window->CBShowPortType, {5, 8});
    QTest::mouseDClick(h.WindowOf(pulse), Qt::LeftButton, {}, h.InWindow(pulse, {25, 20}));
    QCOMPARE(pulse->Output(), TLevel(1));
    QVERIFY(shownAsItIs());
    h.Activate();
    QCOMPARE(pulse->Output(), TLevel(0));
    QVERIFY(shownAsItIs());
    QVERIFY(!h.Window->Modified);
}

void TestNetworkWindow::closeAsksWhenModified() {
    Harness h;
    int closed = 0;
    h.Window->OnNetworkClose = [&](TComponent *sender) { closed += sender == h.Window; };
    h.Window->Modified = true;
    QStringList asked;
    auto answer = [&asked](QMessageBox::StandardButton button) {
        UserInput::AnswerNextMessageBox(button, asked);
    };
    answer(QMessageBox::No);
    h.Window->Close();
    QApplication::processEvents();
    QCOMPARE(asked,
             QStringList(QStringLiteral("La rete non è stata salvata. Chiudere ugualmente?")));
    QVERIFY(h.Alive);
    QVERIFY(h.Window->Modified);
    QCOMPARE(closed, 0);
    answer(QMessageBox::Yes);
    h.Window->Close();
    QCOMPARE(closed, 1);
    QCOMPARE(asked.size(), 2);
    QTRY_VERIFY(!h.Alive);
}

void TestNetworkWindow::flipFlopItemsAndWindowRoutines() {
    Harness h;
    TMenuItem &items = h.Window->PopupMenuPort->Items();
    h.Window->AddFlipFlopItems();
    QCOMPARE(items.Count(), 14);
    TComponent::Free(h.Window->PopItemFFD);
    TComponent::Free(h.Window->PopItemFFJK);
    h.Window->AddFlipFlopItems();
    QStringList captions;
    for (const TMenuItem *item : items.Items())
        captions << QString::fromStdString(item->Caption()) + QString::number(item->Tag());
    QCOMPARE(
        captions.join(' '),
        QStringLiteral(
            "AND0 OR1 NOT2 XOR3 NAND4 NOR5 NXOR6 CLOCK7 PULSE8 LED9 FFD10 FFJK11 -0 Elimina0"));

    TLogicalPort *clock = h.AddPort({0, 0}, TLogicalPortType::logCLK);
    TLogicalPort *inverter = h.AddPort({60, 0}, TLogicalPortType::logNOT);
    ApplyClockDelay(h.Window, 1500);
    QCOMPARE(clock->UpdateDelay(), 1500);
    QCOMPARE(inverter->UpdateDelay(), 10);
    ApplyShowPortState(h.Window, false);
    QVERIFY(!clock->ShowPortState() && !inverter->ShowPortState());
    // The added kinds work like the others.
    h.ChooseFromMenu(inverter, "FFD");
    QCOMPARE(inverter->PortType(), TLogicalPortType::logFFD);
}

void TestNetworkWindow::frameDestroyedBeforeItsWindows() {
    // The frame's area takes the child windows' frames with it; their controls must still go
    // cleanly, gates and all.
    auto frame = std::make_unique<TForm>(nullptr);
    frame->SetFormStyle(TFormStyle::fsMDIForm);
    frame->Show();
    auto *window = new TFormZentaroChild(frame.get());
    auto *port = new TLogicalPort(window);
    port->SetParent(window->ScrollBoxCli);
    const QPointer<QWidget> portWidget = port->Widget();
    frame.reset();
    QVERIFY(!portWidget);
}

void TestNetworkWindow::writesItsDescriptionBack() {
    // A new window is exactly its description: written back, only what the show step (designer
    // enabled, the sample gate framed) and the machine (window frame, so the sizes of the
    // aligned parts) change may differ.
    QFile file(QStringLiteral(":/forms/FChild.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    TFormZentaroChild window(nullptr);
    QString written = FormFixture::WithoutMachineLines(FormFixture::DescriptionOf(window));
    QString described =
        FormFixture::WithoutMachineLines(FormFixture::Canonical(QString::fromUtf8(file.readAll())));
    static const QRegularExpression bounds(QStringLiteral("^  (Left|Top|Width|Height) = \\d+\\n"),
                                           QRegularExpression::MultilineOption);
    static const QRegularExpression alignedSize(
        QStringLiteral("    Width = \\d+\\n    Height = \\d+\\n    Align"));
    for (QString *text : {&written, &described})
        text->remove(bounds).replace(alignedSize, QStringLiteral("    Align"));
    described
        .replace(QStringLiteral("    ChangeEnabled = False\n"),
                 QStringLiteral("    ChangeEnabled = True\n"))
        .replace(QStringLiteral("        Border = False\n"),
                 QStringLiteral("        Border = True\n"));
    QCOMPARE(written, described);
}

void TestNetworkWindow::movingAndSizingRedrawTheWires() {
    Harness h;
    TLogicalPort *source = h.AddPort({10, 10}, TLogicalPortType::logCLK);
    TLogicalPort *target = h.AddPort({200, 100}, TLogicalPortType::logNOT);
    target->SetInAComp(source);
    h.Window->RepaintWires();
    h.Window->Modified = false;
    auto wireAt = [&](QPoint at) {
        return h.Window->ScrollBoxCli->ClientWidget()->grab().toImage().pixelColor(at) == Qt::black;
    };
    QVERIFY(wireAt({100, 30}));
    // Moving the source down by 100: while the mouse holds it the wire layer is blank, after the
    // release the wire leaves from the new place.
    QWindow *window = h.WindowOf(source);
    const QPoint grip = h.InWindow(source, {25, 20});
    QTest::mousePress(window, Qt::LeftButton, {}, grip);
    QTest::mouseMove(window, grip + QPoint(0, 50));
    QTest::mouseMove(window, grip + QPoint(0, 100));
    QVERIFY(h.Window->WiresSuspended);
    QVERIFY(!wireAt({100, 30}));
    QTest::mouseRelease(window, Qt::LeftButton, {}, grip + QPoint(0, 100));
    QCOMPARE(QPoint(source->Left(), source->Top()), QPoint(8, 112));
    QVERIFY(!h.Window->WiresSuspended);
    QVERIFY(h.Window->Modified);
    QVERIFY(!wireAt({100, 30}));
    QVERIFY(wireAt({100, 132}));
    // Sizing the target by its bottom edge moves its middle pin, and the wire's end with it.
    const QPoint edge = h.InWindow(target, {25, 39});
    QTest::mousePress(window, Qt::LeftButton, {}, edge);
    QTest::mouseMove(window, edge + QPoint(0, 20));
    QTest::mouseMove(window, edge + QPoint(0, 40));
    QTest::mouseRelease(window, Qt::LeftButton, {}, edge + QPoint(0, 40));
    QCOMPARE(target->Height(), 80);
    QVERIFY(wireAt({199, 140}));
}

void TestNetworkWindow::scrollSteps() {
    Harness h;
    // A long wire down the drawing area.
    TLogicalPort *source = h.AddPort({10, 10}, TLogicalPortType::logCLK);
    h.AddPort({200, 800}, TLogicalPortType::logNOT)->SetInAComp(source);
    h.Window->RepaintWires();
    const int wireX = RouteWire({10, 10, 50, 40}, {200, 800, 50, 40}, TPin::Middle, {})[1].x();
    TScrollBox *box = h.Window->ScrollBoxCli;
    const QScrollBar *bar = box->Widget()->findChildren<QScrollBar *>().back();
    auto onBar = [&](int y) { return bar->mapTo(box->Widget(), QPoint(bar->width() / 2, y)); };
    UserInput::Wheel(box, {300, 200}, {0, -120}); // three lines
    QCOMPARE(box->ScrollPosition(), QPoint(0, 60));
    h.Click(box, onBar(bar->height() - 4)); // the arrow
    QCOMPARE(box->ScrollPosition(), QPoint(0, 80));
    h.Click(box, onBar(bar->height() * 3 / 4)); // below the slider: a page
    const int y = 80 + box->ViewSize().height();
    QCOMPARE(box->ScrollPosition(), QPoint(0, y));
    QApplication::processEvents();
    QCOMPARE(box->ClientWidget()->grab().toImage().pixelColor(wireX, y + 50), QColor(Qt::black));
}

QTEST_MAIN(TestNetworkWindow)
#include "tst_networkwindow.moc"
