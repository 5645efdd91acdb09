#include "app/Main.h"
#include "document/FChild.h"
#include "document/GateClipboard.h"

#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Graphics.h"
#include "classlib/StdCtrls.h"
#include "gates/LogicCmp.h"

#include "support/FormFixture.h"
#include "support/UserInput.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <map>
#include <memory>

namespace {

// The main window with a network open (the half adder: pulses 1, 2 feed XOR 3 and AND 4, which
// light lamps 5 and 6), edited by mouse and undone by keys.
struct Session {
    std::unique_ptr<TFormZentaroMain> Main = std::make_unique<TFormZentaroMain>(nullptr);
    TFormZentaroChild *Window = nullptr;

    explicit Session(const QString &file = QStringLiteral("half_adder.ZTR")) {
        Main->Show();
        QVERIFY(QTest::qWaitForWindowExposed(Main->Widget()));
        Window = Main->OpenNetwork(
            QStringLiteral(ZENTARO_CORPUS_DIR "/good/%1").arg(file).toStdString());
    }

    TControl *Control(const QString &name) const {
        return dynamic_cast<TControl *>(Window->FindComponent(name.toStdString()));
    }
    // The window's stream, and its components' order, which the stream does not show.
    QString Stream() const {
        QString names;
        for (const TComponent *component : Window->Components())
            names += QString::fromStdString(component->Name()) + ' ';
        return FormFixture::DescriptionOf(*Window) + names;
    }
    QString Places() const {
        QStringList places;
        for (const TComponent *component : Window->Components())
            if (const auto *port = dynamic_cast<const TLogicalPort *>(component))
                places << QStringLiteral("%1 %2,%3")
                              .arg(QString::fromStdString(port->Name()))
                              .arg(port->Left())
                              .arg(port->Top());
        return places.join(' ');
    }
    void Keys(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        Main->Widget()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Main->Widget()));
        QTest::keyClick(Main->Widget()->windowHandle(), key, modifiers);
    }
    // What each gate's inputs are wired to, "LogPort3<LogPort1,LogPort2", for wired gates.
    QString Wires() const {
        QStringList wires;
        const auto name = [](const TLogicalPort *port) {
            return port ? QString::fromStdString(port->Name()) : QStringLiteral("-");
        };
        for (const TComponent *component : Window->Components())
            if (const auto *port = dynamic_cast<const TLogicalPort *>(component);
                port && (port->InAComp() || port->InBComp()))
                wires << name(port) + '<' + name(port->InAComp()) + ',' + name(port->InBComp());
        return wires.join(' ');
    }
    // "add", "move|size GATE DX DY", "kind GATE ITEM", "delete GATE", "wire FROM TO A|B",
    // "unwire GATE A|B", "run" (activating and stopping the network), "link" and "place" (the
    // modes),
    // "speed POSITION" (the clock slider) or "undo"; selecting: "click GATE [ctrl|shift]",
    // "band X1 Y1 X2 Y2 [ctrl]" (on the drawing area), "all" (Ctrl+A), "esc"; "key KEY [shift]"
    // (an arrow or Delete); the clipboard: "copy", "cut", "paste", "dup", "textonly" (the
    // clipboard keeps only its text, as a text editor gives it back), "bare" (a gate's text with
    // nothing but its place, as a user may write it); "new" opens a new network
    // and works on it from then on.
    void Do(const QString &action) {
        const QStringList w = action.split(' ');
        const Qt::KeyboardModifiers held = w.back() == "ctrl"    ? Qt::ControlModifier
                                           : w.back() == "shift" ? Qt::ShiftModifier
                                                                 : Qt::NoModifier;
        TControl *port = w.size() > 1 ? Control(w[1]) : nullptr;
        QWindow *window = Main->Widget()->windowHandle();
        const QPoint by = w.size() > 3 ? QPoint(w[2].toInt(), w[3].toInt()) : QPoint();
        const QPoint pin(5, w.back() == "B" ? 30 : 5);
        if (w[0] == "add") {
            UserInput::Click(Window->BtnNewLog, {20, 17});
        } else if (w[0] == "move" || w[0] == "size") {
            const QPoint grip = w[0] == "size" ? QPoint(port->Width() - 2, port->Height() - 2)
                                               : QPoint(port->Width() / 2, 10);
            const QPoint at = UserInput::InWindow(port, grip);
            QTest::mouseMove(window, at - QPoint(1, 1)); // the designer takes the gate it enters
            QTest::mousePress(window, Qt::LeftButton, {}, at);
            QTest::mouseMove(window, at + by / 2);
            QTest::mouseRelease(window, Qt::LeftButton, {}, at + by);
        } else if (w[0] == "kind" || w[0] == "delete") {
            const QString item = w[0] == "delete" ? QStringLiteral("Elimina") : w[2];
            QTimer::singleShot(0, [item] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                for (QAction *action : menu ? menu->actions() : QList<QAction *>())
                    if (action->text() == item)
                        QTest::mouseClick(menu, Qt::LeftButton, {},
                                          menu->actionGeometry(action).center());
            });
            UserInput::Click(port, {25, 20}, Qt::RightButton);
        } else if (w[0] == "wire") {
            UserInput::Drag(port, {25, 20}, Control(w[2]), pin);
        } else if (w[0] == "unwire") {
            UserInput::Click(port, pin);
        } else if (w[0] == "run") {
            UserInput::Click(Window->BtnActive, {50, 16});
            UserInput::Click(Window->BtnActive, {50, 16});
        } else if (w[0] == "link" || w[0] == "place") {
            UserInput::Click(w[0] == "link" ? Window->RBLnkPort : Window->RBPosPort, {5, 8});
        } else if (w[0] == "speed") {
            Main->TrackBarDelay->SetPosition(w[1].toInt());
        } else if (w[0] == "undo") {
            Keys(Qt::Key_Z);
        } else if (w[0] == "click") {
            const QPoint at = UserInput::InWindow(port, {25, 20});
            QTest::mouseMove(window, at - QPoint(1, 1));
            QTest::mouseClick(window, Qt::LeftButton, held, at);
        } else if (w[0] == "band") {
            const auto area = [&](int i) {
                return UserInput::InWindow(Window->PaintBoxNet, {w[i].toInt(), w[i + 1].toInt()});
            };
            QTest::mousePress(window, Qt::LeftButton, held, area(1));
            QTest::mouseMove(window, (area(1) + area(3)) / 2);
            QTest::mouseMove(window, area(3));
            QTest::mouseRelease(window, Qt::LeftButton, held, area(3));
        } else if (w[0] == "all" || w[0] == "esc") {
            Keys(w[0] == "all" ? Qt::Key_A : Qt::Key_Escape,
                 w[0] == "all" ? Qt::ControlModifier : Qt::NoModifier);
        } else if (w[0] == "copy" || w[0] == "cut" || w[0] == "paste" || w[0] == "dup") {
            const std::map<QString, Qt::Key> keys = {
                {"copy", Qt::Key_C}, {"cut", Qt::Key_X}, {"paste", Qt::Key_V}, {"dup", Qt::Key_D}};
            Keys(keys.at(w[0]));
        } else if (w[0] == "textonly") {
            QApplication::clipboard()->setText(QApplication::clipboard()->text());
        } else if (w[0] == "bare") {
            QApplication::clipboard()->setText(
                QStringLiteral("object Foo: TLogicalPort\n  Left = 300\n  Top = 220\nend\n"));
        } else if (w[0] == "new") {
            Keys(Qt::Key_N);
            Window = dynamic_cast<TFormZentaroChild *>(Main->ActiveMDIChild());
            QVERIFY(Window);
        } else if (w[0] == "key") {
            const std::map<QString, Qt::Key> keys = {{"Left", Qt::Key_Left},
                                                     {"Right", Qt::Key_Right},
                                                     {"Up", Qt::Key_Up},
                                                     {"Down", Qt::Key_Down},
                                                     {"Delete", Qt::Key_Delete}};
            QVERIFY(keys.contains(w[1]));
            Keys(keys.at(w[1]), held);
        } else {
            QFAIL(qPrintable("unknown action " + action));
        }
    }
};

} // namespace

class TestUndo : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QFile::exists(ZENTARO_CORPUS_DIR "/good/half_adder.ZTR")); }
    void editsUndoAndRedoToTheSameStream_data();
    void editsUndoAndRedoToTheSameStream();
    void gatesBroughtBackTakeTheWindowsWays_data();
    void gatesBroughtBackTakeTheWindowsWays();
    void badClipboardChangesNothing_data();
    void badClipboardChangesNothing();
    void unmodifiedWhereTheFileWasSaved();
    void oldestEditsGoFirstBeyondTheBound();
};

void TestUndo::editsUndoAndRedoToTheSameStream_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("linking");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("names");
    // Where the gates end up (left,top), and what they are wired to, when the row says.
    QTest::addColumn<QString>("places");
    QTest::addColumn<QString>("wires");
    const QString halfAdder = QStringLiteral("half_adder.ZTR");
    QTest::newRow("added, moved, sized, made a clock")
        << halfAdder << false
        << QStringList{"add", "move LogPort7 100 240", "size LogPort7 20 8", "kind LogPort7 CLOCK"}
        << QStringList{"aggiungi LogPort7", "sposta LogPort7", "dimensiona LogPort7",
                       "tipo di LogPort7"}
        << QString() << QString();
    // The new gate takes the deleted one's name; undoing it first frees the name again.
    QTest::newRow("wired gate deleted, its name taken")
        << halfAdder << false
        << QStringList{"delete LogPort3", "add", "move LogPort3 80 240", "move LogPort4 0 60"}
        << QStringList{"elimina LogPort3", "aggiungi LogPort3", "sposta LogPort3",
                       "sposta LogPort4"}
        << QString() << QString();
    QTest::newRow("wire replaced, removed, made")
        << halfAdder << true
        << QStringList{"wire LogPort2 LogPort3 A", "unwire LogPort4 B", "wire LogPort3 LogPort4 B"}
        << QStringList{"collega LogPort2 a LogPort3", "scollega LogPort4",
                       "collega LogPort3 a LogPort4"}
        << QString() << QString();
    QTest::newRow("kind and deletion around a run")
        << halfAdder << true << QStringList{"kind LogPort4 NOT", "run", "delete LogPort1"}
        << QStringList{"tipo di LogPort4", "elimina LogPort1"} << QString() << QString();
    // Moving the sample panel, or its gate, replaces both.
    QTest::newRow("sample panel moved, its gate sized")
        << QStringLiteral("sample_panel_kept.ZTR") << false
        << QStringList{"move PanelDefComp -200 100", "size LogicalPort1 8 8"}
        << QStringList{"sposta PanelDefComp", "dimensiona LogicalPort1"} << QString() << QString();
    // Selecting is no edit; a click on one of several selected gates picks it alone.
    QTest::newRow("selection moved by keys, dragged, deleted")
        << halfAdder << false << QStringList{"click LogPort3",
                                             "click LogPort4 ctrl",
                                             "key Right",
                                             "key Down shift",
                                             "click LogPort1 shift",
                                             "move LogPort3 41 -18",
                                             "click LogPort1",
                                             "key Left",
                                             "click LogPort5",
                                             "click LogPort6 ctrl",
                                             "key Delete"}
        << QStringList{"sposta 2 porte", "sposta 2 porte", "sposta 3 porte", "sposta LogPort1",
                       "elimina 2 porte"}
        << "LogPort1 56,20 LogPort2 20,140 LogPort3 184,40 LogPort4 184,140" << QString();
    QTest::newRow("band, taken out, kind menu deletes the selection")
        << halfAdder << false
        << QStringList{"band 100 20 200 200", "click LogPort4 ctrl", "band 300 220 100 120 ctrl",
                       "delete LogPort6"}
        << QStringList{"elimina 3 porte"} << "LogPort1 20,40 LogPort2 20,140 LogPort5 260,40"
        << QString();
    // Running, Esc and a click on the area each leave nothing selected.
    QTest::newRow("selection cleared")
        << halfAdder << false
        << QStringList{"click LogPort3",
                       "all",
                       "run",
                       "delete LogPort1",
                       "all",
                       "esc",
                       "click LogPort2 ctrl",
                       "key Up",
                       "all",
                       "band 400 300 410 310",
                       "click LogPort6 ctrl",
                       "key Delete"}
        << QStringList{"elimina LogPort1", "sposta LogPort2", "elimina LogPort6"}
        << "LogPort2 20,136 LogPort3 140,40 LogPort4 140,140 LogPort5 260,40" << QString();
    QTest::newRow("linking mode clears the selection")
        << halfAdder << false << QStringList{"click LogPort3", "link",           "place",
                                             "~key Delete",    "click LogPort4", "key Delete"}
        << QStringList{"elimina LogPort4"} << QString() << QString();
    // Pasted back, copies land 16 px on each time, and their wires follow them; a cut one comes
    // back where it was, under the name it had.
    QTest::newRow("copied, pasted twice, duplicated, cut, pasted back")
        << halfAdder << false << QStringList{"click LogPort3",
                                             "click LogPort5 ctrl",
                                             "copy",
                                             "paste",
                                             "paste",
                                             "dup",
                                             "cut",
                                             "paste"}
        << QStringList{"incolla 2 porte", "incolla 2 porte", "duplica 2 porte", "taglia 2 porte",
                       "incolla 2 porte"}
        << "LogPort1 20,40 LogPort2 20,140 LogPort3 140,40 LogPort4 140,140 LogPort5 260,40 "
           "LogPort6 260,140 LogPort7 156,56 LogPort8 276,56 LogPort9 172,72 LogPort10 292,72 "
           "LogPort11 188,88 LogPort12 308,88"
        << "LogPort3<LogPort1,LogPort2 LogPort4<LogPort1,LogPort2 LogPort5<LogPort3,- "
           "LogPort6<LogPort4,- LogPort8<LogPort7,- LogPort10<LogPort9,- LogPort12<LogPort11,-";
    // Elsewhere they keep their places, the next paste of them 16 px on; a wire to a gate left
    // behind is dropped.
    QTest::newRow("pasted into a new network, again from the text alone")
        << halfAdder << false << QStringList{"band 100 20 300 100",
                                             "click LogPort1 ctrl",
                                             "copy",
                                             "new",
                                             "paste",
                                             "textonly",
                                             "paste"}
        << QStringList{"incolla 3 porte", "incolla 3 porte"}
        << "LogPort1 20,40 LogPort2 140,40 LogPort3 260,40 LogPort4 36,56 LogPort5 156,56 "
           "LogPort6 276,56"
        << "LogPort2<LogPort1,- LogPort3<LogPort2,- LogPort5<LogPort4,- LogPort6<LogPort5,-";
}

void TestUndo::editsUndoAndRedoToTheSameStream() {
    QFETCH(QString, file);
    QFETCH(bool, linking);
    QFETCH(QStringList, actions);
    QFETCH(QStringList, names);
    QFETCH(QString, places);
    QFETCH(QString, wires);
    Session s(file);
    QVERIFY(s.Window);
    if (linking) UserInput::Click(s.Window->RBLnkPort, {5, 8});
    QStringList before, after;
    // What undo gives back: the stream as the last edit (or run) left it.
    QString last = s.Stream();
    for (const QString &action : actions) {
        const QString was = s.Stream();
        const int edits = s.Window->UndoStack.count();
        const bool modified = s.Window->Modified;
        // "~" marks an action that must change nothing.
        const bool noEdit = action.startsWith('~');
        s.Do(noEdit ? action.mid(1) : action);
        if (QStringList{"run", "link", "place", "new"}.contains(action)) {
            last = s.Stream();
            continue;
        }
        if (noEdit ||
            QStringList{"click", "band", "all", "esc", "copy", "textonly", "bare"}.contains(
                action.section(' ', 0, 0))) {
            // The designer's cursors change the stream, but selecting is no edit.
            QCOMPARE(s.Window->UndoStack.count(), edits);
            QCOMPARE(s.Window->Modified, modified);
            continue;
        }
        before << last;
        after << s.Stream();
        QVERIFY2(after.back() != was, qPrintable(action));
        last = after.back();
    }
    QCOMPARE(s.Window->UndoStack.count(), names.size());
    if (!places.isEmpty()) QCOMPARE(s.Places(), places);
    if (!wires.isEmpty()) QCOMPARE(s.Wires(), wires);
    for (qsizetype i = names.size(); i-- > 0;) {
        QCOMPARE(s.Main->BtnUndo->Widget()->toolTip(), "Annulla: " + names[i] + " (Ctrl+Z)");
        s.Keys(Qt::Key_Z);
        QCOMPARE(s.Stream(), before[i]);
    }
    QVERIFY(!s.Window->Modified);
    QVERIFY(!s.Main->BtnUndo->Enabled());
    for (qsizetype i = 0; i < names.size(); ++i) {
        QCOMPARE(s.Main->BtnRedo->Widget()->toolTip(), "Ripristina: " + names[i] + " (Ctrl+Y)");
        i % 2 ? s.Keys(Qt::Key_Y) : s.Keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(s.Stream(), after[i]);
    }
    QVERIFY(s.Window->Modified);
    QVERIFY(!s.Main->BtnRedo->Enabled());
}

// A gate an undo brings back, or a paste brings in, runs at the slider's speed and can be wired in
// linking mode.
void TestUndo::gatesBroughtBackTakeTheWindowsWays_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("gate");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QString>("inputB");
    QTest::newRow("clock deleted, slider moved")
        << QStringList{"kind LogPort3 CLOCK", "delete LogPort3", "speed 500", "undo"} << "LogPort3"
        << 1500 << "LogPort2";
    // A gate written by hand gets the kind menu and the wiring of any other.
    QTest::newRow("bare gate pasted, retyped, wired")
        << QStringList{"bare", "paste", "kind LogPort7 CLOCK", "link", "wire LogPort1 LogPort7 B"}
        << "LogPort7" << 500 << "LogPort1";
    QTest::newRow("deleted while positioning, back while linking")
        << QStringList{"delete LogPort1", "link", "undo", "wire LogPort1 LogPort4 B"} << "LogPort4"
        << 10 << "LogPort1";
}

void TestUndo::gatesBroughtBackTakeTheWindowsWays() {
    QFETCH(QStringList, actions);
    QFETCH(QString, gate);
    QFETCH(int, delay);
    QFETCH(QString, inputB);
    Session s;
    for (const QString &action : actions)
        s.Do(action);
    const auto *port = dynamic_cast<TLogicalPort *>(s.Control(gate));
    QVERIFY(port);
    QCOMPARE(port->UpdateDelay(), delay);
    QCOMPARE(static_cast<TControl *>(port->InBComp()), s.Control(inputB));
}

void TestUndo::badClipboardChangesNothing_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("status");
    const QString text = QStringLiteral("text/plain"), own = QString::fromLatin1(GatesMimeType);
    const QByteArray gate = "object LogPort1: TLogicalPort\n  Left = 8\nend\n";
    const QString notGates = QStringLiteral("Negli appunti non ci sono porte");
    const QString unreadable =
        QStringLiteral("Le porte negli appunti non si leggono: nulla è stato incollato");
    // A stream of the least a gate record can be: signature, class, no name, no properties.
    const QByteArray leastGate = QByteArray("TPF0\x0CTLogicalPort\x00\x00\x00", 20);
    QTest::newRow("prose") << text << QByteArray("Hello, world") << false << notGates;
    QTest::newRow("nothing") << text << QByteArray() << false << notGates;
    QTest::newRow("broken text") << text
                                 << QByteArray(
                                        "object LogPort1: TLogicalPort\n  Left = 'eight\nend\n")
                                 << false
                                 << QStringLiteral("Il testo negli appunti non si legge alla riga "
                                                   "2, colonna 10: nulla è stato incollato");
    QTest::newRow("a button") << text << QByteArray("object Button1: TButton\nend\n") << false
                              << QStringLiteral(
                                     "Button1 (TButton) non è una porta: nulla è stato incollato");
    QTest::newRow("a gate after a panel")
        << text << gate + "object Panel1: TPanel\n  object LogPort2: TLogicalPort\n  end\nend\n"
        << false << QStringLiteral("Panel1 (TPanel) non è una porta: nulla è stato incollato");
    QTest::newRow("a gate holding a gate")
        << text << QByteArray("object A: TLogicalPort\n  object B: TLogicalPort\n  end\nend\n")
        << false << unreadable;
    // The first gate reads before the second fails: it must go again.
    QTest::newRow("second gate's property unknown")
        << text << gate + "object LogPort2: TLogicalPort\n  Colour = 3\nend\n"
        << false << unreadable;
    QTest::newRow("one name twice") << text << gate + gate << false << unreadable;
    QTest::newRow("cut short") << own << leastGate.left(15) << false << unreadable;
    QTest::newRow("over 16 MiB")
        << own << leastGate.repeated(int(MaxClipboardBytes / leastGate.size()) + 1) << false
        << QStringLiteral("Gli appunti superano 16 MiB: nulla è stato incollato");
    QTest::newRow("over 100,000 gates")
        << own << leastGate.repeated(MaxClipboardGates + 1) << false
        << QStringLiteral("Gli appunti contengono più di 100.000 porte: nulla è stato incollato");
    QTest::newRow("network running")
        << text << gate << true
        << QStringLiteral("Le porte si incollano posizionandole, a rete ferma");
}

void TestUndo::badClipboardChangesNothing() {
    QFETCH(QString, type);
    QFETCH(QByteArray, content);
    QFETCH(bool, running);
    QFETCH(QString, status);
    Session s;
    if (running) UserInput::Click(s.Window->BtnActive, {50, 16});
    auto *data = new QMimeData;
    data->setData(type, content);
    QApplication::clipboard()->setMimeData(data);
    const QString before = s.Stream();
    s.Keys(Qt::Key_V);
    QCOMPARE(FromAnsi(s.Main->StatusBar->SimpleText()), status);
    QCOMPARE(s.Stream(), before);
    QCOMPARE(s.Window->UndoStack.count(), 0);
    QVERIFY(!s.Window->Modified);
}

void TestUndo::unmodifiedWhereTheFileWasSaved() {
    Session s;
    QTemporaryDir folder;
    s.Do("move LogPort1 40 0");
    SetFileDialogRunner(
        [&](const TFileDialogRequest &) { return std::optional(folder.filePath("rete.ZTR")); });
    s.Keys(Qt::Key_S);
    SetFileDialogRunner({});
    s.Do("move LogPort2 40 0");
    // Back to what was saved, before it, forward again and back before it.
    const std::pair<Qt::Key, bool> presses[] = {{Qt::Key_Z, false}, {Qt::Key_Z, true},
                                                {Qt::Key_Y, false}, {Qt::Key_Y, true},
                                                {Qt::Key_Z, false}, {Qt::Key_Z, true}};
    for (const auto &[key, modified] : presses) {
        s.Keys(key);
        QCOMPARE(s.Window->Modified, modified);
    }
    // An edit in place of the saved one leaves no state that matches the file.
    s.Do("move LogPort5 0 40");
    s.Keys(Qt::Key_Z);
    QVERIFY(s.Window->Modified);
}

void TestUndo::oldestEditsGoFirstBeyondTheBound() {
    Session s;
    // Three MiB of hint in a gate's record: every later edit of it keeps six.
    s.Control("LogPort3")->SetHint(std::string(3 << 20, 'x'));
    for (const QString kind : {"OR", "AND", "NOR", "NAND"})
        s.Do("kind LogPort3 " + kind);
    QCOMPARE(s.Window->UndoStack.count(), 2);
    s.Keys(Qt::Key_Z);
    s.Keys(Qt::Key_Z);
    QCOMPARE(dynamic_cast<TLogicalPort *>(s.Control("LogPort3"))->PortType(),
             TLogicalPortType::logAND);
    QVERIFY(!s.Main->BtnUndo->Enabled());
    QVERIFY(s.Window->Modified);
}

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
