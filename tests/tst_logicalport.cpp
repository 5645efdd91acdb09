// The gate without timing: its rules, its property writes, its notices and its stream record.

#include "gates/LogicCmp.h"
#include "gates/UpdateDispatcher.h"
#include "stream/ClassRegistry.h"
#include "stream/Errors.h"
#include "support/FormFixture.h"

#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>

using namespace FormFixture;
using enum TLogicalPortType;

Q_DECLARE_METATYPE(TLogicalPortType)

namespace {

// A gate that logs its redraws and output changes in the order they happen.
class TLoggingPort : public TLogicalPort {
public:
    explicit TLoggingPort(TComponent *owner = nullptr) : TLogicalPort(owner) {
        OnChange = [this](TComponent *sender) {
            QCOMPARE(sender, this);
            Log += 'c';
        };
    }
    void RequestRedraw() override {
        Log += 'r';
        TLogicalPort::RequestRedraw();
    }
    void Paint(QPainter &painter) override {
        ++Paints;
        TLogicalPort::Paint(painter);
    }
    QString Log;
    int Paints = 0;
};

struct TStep {
    int A, B;
    int Output, JKMemory;
};

using TAction = std::function<void(TLoggingPort &)>;

} // namespace

Q_DECLARE_METATYPE(std::vector<TStep>)
Q_DECLARE_METATYPE(TAction)

class TestLogicalPort : public QObject {
    Q_OBJECT

private slots:
    // Each kind's output for the inputs 00, 01, 10, 11 (A then B), from a low and from a high
    // output (a JK flip-flop with its memory low).
    void truthTables_data() {
        QTest::addColumn<TLogicalPortType>("kind");
        QTest::addColumn<QString>("fromLow");
        QTest::addColumn<QString>("fromHigh");
        QTest::newRow("AND") << logAND << "0001"
                             << "0001";
        QTest::newRow("OR") << logOR << "0111"
                            << "0111";
        QTest::newRow("NOT reads A only") << logNOT << "1100"
                                          << "1100";
        QTest::newRow("XOR") << logXOR << "0110"
                             << "0110";
        QTest::newRow("NAND") << logNAND << "1110"
                              << "1110";
        QTest::newRow("NOR") << logNOR << "1000"
                             << "1000";
        QTest::newRow("NXOR") << logNXOR << "1001"
                              << "1001";
        QTest::newRow("CLK: A runs, B is the level while stopped") << logCLK << "0111"
                                                                   << "0100";
        QTest::newRow("PLS keeps its output") << logPLS << "0000"
                                              << "1111";
        QTest::newRow("LED") << logLED << "0011"
                             << "0011";
        QTest::newRow("FFD: B enables") << logFFD << "0001"
                                        << "1011";
        QTest::newRow("FFJK") << logFFJK << "0100"
                              << "1101";
    }
    void truthTables() {
        QFETCH(TLogicalPortType, kind);
        QFETCH(QString, fromLow);
        QFETCH(QString, fromHigh);
        for (const auto &[start, expected] : {std::pair{0, fromLow}, std::pair{1, fromHigh}})
            for (int inputs = 0; inputs < 4; ++inputs) {
                TPortLevels levels;
                levels.InA = inputs >> 1;
                levels.InB = inputs & 1;
                levels.Output = TLevel(start);
                QCOMPARE(int(ComputeLevels(kind, levels).Output), expected[inputs].digitValue());
            }
    }

    // One evaluation of a gate per step, with the inputs set through the properties.
    void sequences_data() {
        QTest::addColumn<TLogicalPortType>("kind");
        QTest::addColumn<std::vector<TStep>>("steps");
        QTest::newRow("JK: toggles once per run of both high")
            << logFFJK << std::vector<TStep>{{1, 1, 0, 1}, {1, 1, 0, 1}, {1, 0, 1, 1},
                                             {0, 1, 0, 1}, {1, 1, 0, 0}, {0, 0, 0, 0},
                                             {1, 1, 0, 1}, {0, 1, 0, 1}, {1, 0, 1, 1}};
        QTest::newRow("FFD: level enabled")
            << logFFD << std::vector<TStep>{{1, 0, 0, 0}, {1, 1, 1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}};
        QTest::newRow("CLK running alternates")
            << logCLK << std::vector<TStep>{{1, 0, 1, 0}, {1, 0, 0, 0}, {1, 0, 1, 0}, {1, 1, 0, 0}};
        QTest::newRow("CLK stopped passes B")
            << logCLK << std::vector<TStep>{{0, 1, 1, 0}, {0, 1, 1, 0}, {0, 0, 0, 0}};
    }
    void sequences() {
        QFETCH(TLogicalPortType, kind);
        QFETCH(std::vector<TStep>, steps);
        TLogicalPort port(nullptr);
        port.SetPortType(kind);
        port.ResetState();
        for (std::size_t i = 0; i < steps.size(); ++i) {
            port.SetInAPort(steps[i].A);
            port.SetInBPort(steps[i].B);
            port.Evaluate();
            QVERIFY2(port.Output() == steps[i].Output && port.JKMemory() == steps[i].JKMemory,
                     qPrintable(QStringLiteral("step %1").arg(i + 1)));
        }
    }

    void creationValues() {
        TLogicalPort port(nullptr);
        QCOMPARE(port.Width(), 50);
        QCOMPARE(port.Height(), 40);
        QCOMPARE(port.Color(), clBlack);
        QCOMPARE(port.Font()->Name(), std::string("MS Sans Serif"));
        QCOMPARE(port.Font()->Height(), -11);
        QCOMPARE(port.Font()->Color(), clWhite);
        QCOMPARE(port.Font()->Style(), 0);
        QCOMPARE(port.PortType(), logAND);
        QVERIFY(port.ShowType() && port.ShowPortState());
        QVERIFY(!port.Active() && !port.Border() && !port.InAPort() && !port.InBPort());
        QCOMPARE(port.UpdateDelay(), 100);
        QCOMPARE(port.Thread().Delay(), 100);
        QVERIFY(port.Thread().Suspended());
        QVERIFY(!port.InAComp() && !port.InBComp() && !port.OnChange);
        QCOMPARE(port.DragMode(), TDragMode::dmManual);
    }

    // What a write or an evaluation redraws ('r') and fires ('c'), in order.
    void redrawAndChangeRules_data() {
        QTest::addColumn<TAction>("prepare");
        QTest::addColumn<TAction>("act");
        QTest::addColumn<QString>("log");
        const TAction nothing = [](TLoggingPort &) {};
        const TAction hidden = [](TLoggingPort &p) { p.SetShowPortState(false); };
        const TAction evaluate = [](TLoggingPort &p) { p.Evaluate(); };
        const TAction raiseA = [](TLoggingPort &p) { p.SetInAPort(true); };
        QTest::newRow("shown levels: redraw, then change") << TAction([](TLoggingPort &p) {
            p.SetPortType(logNOT);
        }) << TAction([](TLoggingPort &p) {
            p.SetInAPort(true);
            p.Log.clear();
            p.Evaluate();
        }) << "rc";
        QTest::newRow("hidden levels: change without redraw")
            << hidden << TAction([](TLoggingPort &p) {
                   p.SetPortType(logNOT);
                   p.Log.clear();
                   p.SetInAPort(true);
                   p.Log.clear();
                   p.Evaluate();
               })
            << "c";
        QTest::newRow("hidden levels: input change alone draws nothing")
            << hidden << TAction([](TLoggingPort &p) {
                   auto feeder = std::make_unique<TLogicalPort>(nullptr);
                   feeder->SetPortType(logNOT); // its output goes high
                   p.SetInAComp(feeder.get());
                   p.Evaluate(); // AND: A rises, output stays low
                   p.SetInAComp(nullptr);
               })
            << "";
        QTest::newRow("lamp redraws with hidden levels") << TAction([](TLoggingPort &p) {
            p.SetShowPortState(false);
            p.SetPortType(logLED);
            p.SetInAPort(true);
        }) << evaluate << "rc";
        QTest::newRow("unchanged evaluation draws nothing") << nothing << evaluate << "";
        QTest::newRow("pulse switch evaluation never changes") << TAction([](TLoggingPort &p) {
            p.SetPortType(logPLS);
            p.SetInAPort(true);
            p.SetInBPort(true);
        }) << evaluate << "";
        QTest::newRow("kind written again: nothing")
            << nothing << TAction([](TLoggingPort &p) { p.SetPortType(logAND); }) << "";
        QTest::newRow("new kind: redraw, then evaluation")
            << nothing << TAction([](TLoggingPort &p) { p.SetPortType(logNAND); }) << "rrc";
        QTest::newRow("input written: redraw") << nothing << raiseA << "r";
        QTest::newRow("input written again: nothing") << raiseA << raiseA << "";
        QTest::newRow("wire written: nothing") << nothing << TAction([](TLoggingPort &p) {
            TLogicalPort feeder(nullptr);
            p.SetInAComp(&feeder);
            p.SetInBComp(&feeder);
            p.SetInAComp(nullptr);
            p.SetInBComp(nullptr);
        }) << "";
        QTest::newRow("reset fires nothing")
            << TAction([](TLoggingPort &p) { p.SetPortType(logNOT); })
            << TAction([](TLoggingPort &p) { p.ResetState(); }) << "";
        QTest::newRow("flags changed: one redraw each") << nothing << TAction([](TLoggingPort &p) {
            p.SetShowType(false);
            p.SetShowPortState(false);
            p.SetBorder(true);
        }) << "rrr";
        QTest::newRow("flags unchanged: nothing") << nothing << TAction([](TLoggingPort &p) {
            p.SetShowType(true);
            p.SetShowPortState(true);
            p.SetBorder(false);
        }) << "";
        QTest::newRow("delay and activity draw nothing") << nothing << TAction([](TLoggingPort &p) {
            p.SetUpdateDelay(10);
            p.SetActive(true);
            p.SetActive(false);
        }) << "";
    }
    void redrawAndChangeRules() {
        QFETCH(TAction, prepare);
        QFETCH(TAction, act);
        QFETCH(QString, log);
        TLoggingPort port;
        prepare(port);
        port.Log.clear();
        act(port);
        QCOMPARE(port.Log, log);
    }

    void resetClearsLevelsAndMemoryButNotWires() {
        TLogicalPort feeder(nullptr), port(nullptr);
        feeder.SetPortType(logNOT);
        port.SetPortType(logFFJK);
        port.SetInAComp(&feeder);
        port.SetInBPort(false);
        port.Evaluate(); // J high: output shows the memory, 0
        port.SetInBComp(&feeder);
        port.Evaluate(); // both high: memory toggles
        QVERIFY(port.JKMemory() && port.JKLatch() && port.InAPort() && port.InBPort());
        port.ResetState();
        QVERIFY(!port.InAPort() && !port.InBPort() && !port.Output() && !port.JKMemory() &&
                !port.JKLatch());
        QCOMPARE(port.InAComp(), &feeder);
        QCOMPARE(port.InBComp(), &feeder);
        feeder.ResetState();
        QCOMPARE(int(feeder.Output()), 0); // NOT stays low after a reset until it is evaluated
    }

    // Each evaluation samples the feeder's output at that moment.
    void notRings_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("settles");
        QTest::newRow("two settle opposite") << 2 << true;
        QTest::newRow("three never settle") << 3 << false;
    }
    void notRings() {
        QFETCH(int, size);
        QFETCH(bool, settles);
        TComponent owner(nullptr);
        std::vector<TLogicalPort *> ring;
        for (int i = 0; i < size; ++i) {
            ring.push_back(new TLogicalPort(&owner));
            ring.back()->SetPortType(logNOT);
        }
        for (int i = 0; i < size; ++i)
            ring[std::size_t(i)]->SetInAComp(ring[std::size_t((i + 1) % size)]);
        int changes = 0;
        for (TLogicalPort *port : ring)
            port->OnChange = [&](TComponent *) { ++changes; };
        for (int round = 0; round < 20; ++round) {
            if (round == 10) changes = 0;
            for (TLogicalPort *port : ring)
                port->Evaluate();
        }
        QCOMPARE(changes == 0, settles);
        if (settles) QVERIFY(ring[0]->Output() != ring[1]->Output());
    }

    void removalClearsBothWiresAndKeepsLevels() {
        TComponent owner(nullptr);
        auto *feeder = new TLogicalPort(&owner);
        auto *other = new TLogicalPort(&owner);
        auto *port = new TLogicalPort(&owner);
        feeder->SetPortType(logNOT);
        port->SetInAComp(feeder);
        port->SetInBComp(feeder);
        other->SetInAComp(port);
        port->Evaluate();
        QVERIFY(port->InAPort() && port->InBPort() && port->Output());
        TComponent::Free(feeder);
        QVERIFY(!port->InAComp() && !port->InBComp());
        QVERIFY(port->InAPort() && port->InBPort());
        QCOMPARE(other->InAComp(), port);
        port->Evaluate(); // must not read the removed gate
        QVERIFY(port->Output());
        delete port; // plain deletion: the notice still reaches the others
        QVERIFY(!other->InAComp());
    }

    // A double-click travels from the window through Qt's dispatch to the gate.
    void doubleClickTogglesPulseSwitchOnly_data() {
        QTest::addColumn<TLogicalPortType>("kind");
        QTest::addColumn<bool>("active");
        QTest::addColumn<QString>("log");
        QTest::newRow("pulse switch") << logPLS << false << "rc";
        QTest::newRow("pulse switch while active") << logPLS << true << "rc";
        QTest::newRow("other kinds ignore it") << logNOT << false << "";
    }
    void doubleClickTogglesPulseSwitchOnly() {
        QFETCH(TLogicalPortType, kind);
        QFETCH(bool, active);
        QFETCH(QString, log);
        TForm form(nullptr);
        form.SetBounds(0, 0, 200, 150);
        auto *port = new TLoggingPort(&form);
        port->SetParent(&form);
        port->SetBounds(20, 30, 50, 40);
        port->SetPortType(kind);
        port->SetActive(active);
        int doubleClicks = 0;
        port->OnDblClick = [&](TComponent *) { ++doubleClicks; };
        form.Show();
        QWindow *window = form.Widget()->windowHandle();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const TLevel before = port->Output();
        port->Log.clear();
        const QPoint inside = port->Widget()->mapTo(form.Widget()->window(), QPoint(25, 20));
        QTest::mouseDClick(window, Qt::LeftButton, {}, inside);
        QCOMPARE(doubleClicks, 1);
        QCOMPARE(port->Log, log);
        QCOMPARE(port->Output() != before, !log.isEmpty());
    }

    // A redraw paints before it returns, without waiting for the event loop.
    void redrawPaintsAtOnce() {
        TForm form(nullptr);
        form.SetBounds(0, 0, 200, 150);
        auto *port = new TLoggingPort(&form);
        port->SetParent(&form);
        form.Show();
        QVERIFY(QTest::qWaitForWindowExposed(form.Widget()->windowHandle()));
        const int before = port->Paints;
        port->SetInAPort(true);
        QCOMPARE(port->Paints, before + 1);
    }

    // A clock is a black block; one too large to keep as a picture is drawn all the same.
    void paintsOnItsParent_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("creation size") << QSize(50, 40);
        QTest::newRow("huge") << QSize(4200, 4100);
    }
    void paintsOnItsParent() {
        QFETCH(QSize, size);
        TForm form(nullptr);
        form.SetBounds(0, 0, 300, 200);
        auto *port = new TLogicalPort(&form);
        port->SetParent(&form);
        port->SetBounds(0, 0, size.width(), size.height());
        port->SetPortType(logCLK);
        port->SetShowType(false);
        port->SetShowPortState(false);
        const QPoint inside = port->Widget()->mapTo(form.Widget(), QPoint(25, 20));
        const QImage probe = form.Widget()->grab(QRect(inside, QSize(2, 2))).toImage();
        QCOMPARE(probe.pixel(0, 0), qRgb(0, 0, 0));
    }

    // Loading applies the writes in stream order, then the end-of-loading step.
    void loadedFromStream_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("delay");
        QTest::newRow("active clock runs")
            << "PortType = logCLK\n Active = True\n UpdateDelay = 777\n"
            << true << 777;
        QTest::newRow("inactive gate stays paused") << "PortType = logOR\n UpdateDelay = 12\n"
                                                    << false << 12;
        QTest::newRow("active pulse switch stays paused")
            << "PortType = logPLS\n Active = True\n UpdateDelay = 10\n"
            << false << 10;
    }
    void loadedFromStream() {
        QFETCH(QString, record);
        QFETCH(bool, running);
        QFETCH(int, delay);
        RegisterClass(TLogicalPort::StaticClassInfo());
        TForm form(nullptr);
        ReadInto(
            form,
            "object Form: TForm\n Left = 0\n Top = 0\n Width = 300\n Height = 200\n"
            " object LogPort1: TLogicalPort\n Left = 8\n Top = 8\n Width = 50\n Height = 40\n" +
                record + " end\nend\n");
        auto *port = dynamic_cast<TLogicalPort *>(form.FindComponent("LogPort1"));
        QVERIFY(port);
        QCOMPARE(!port->Thread().Suspended(), running);
        QCOMPARE(port->Thread().Delay(), delay);
        QCOMPARE(port->UpdateDelay(), delay);
    }

    // References resolve to gates read later; a name that finds nothing, or a component that is
    // no gate, leaves the input unwired.
    void streamRecordRoundTrip() {
        RegisterClass(TLogicalPort::StaticClassInfo());
        const QString description =
            "object Form: TForm\n  Left = 0\n  Top = 0\n  Width = 300\n  Height = 200\n"
            "  object LogPort1: TLogicalPort\n    Left = 8\n    Top = 8\n    Width = 50\n"
            "    Height = 40\n    PortType = logNAND\n    ShowType = True\n    ShowPortState = "
            "False\n"
            "    Active = False\n    InAPort = True\n    InBPort = False\n    InAComp = LogPort2\n"
            "    UpdateDelay = 10\n    Border = True\n    Color = clBlack\n"
            "    Font.Charset = DEFAULT_CHARSET\n    Font.Color = clWhite\n    Font.Height = -11\n"
            "    Font.Name = 'MS Sans Serif'\n    Font.Style = []\n    DragMode = dmAutomatic\n  "
            "end\n"
            "  object LogPort2: TLogicalPort\n    Left = 80\n    Top = 8\n    Width = 50\n"
            "    Height = 40\n    PortType = logAND\n    ShowType = True\n    ShowPortState = "
            "True\n"
            "    Active = False\n    InAPort = False\n    InBPort = False\n    UpdateDelay = 100\n"
            "    Border = False\n    Color = clBlack\n    Font.Charset = DEFAULT_CHARSET\n"
            "    Font.Color = clWhite\n    Font.Height = -11\n    Font.Name = 'MS Sans Serif'\n"
            "    Font.Style = []\n  end\nend\n";
        auto records = [](const QString &text) {
            return text.mid(text.indexOf("  object LogPort1"));
        };
        QCOMPARE(records(RoundTrip(description)), records(Canonical(description)));

        TForm form(nullptr);
        ReadInto(form, QString(description)
                           .replace("InAComp = LogPort2", "InAComp = Nowhere\n    InBComp = Form"));
        auto *port = dynamic_cast<TLogicalPort *>(form.FindComponent("LogPort1"));
        QVERIFY(port && !port->InAComp() && !port->InBComp());
    }

    // The reader deletes the gate of a failed record plainly; its running thread still ends.
    void failedRecordStopsItsThread() {
        RegisterClass(TLogicalPort::StaticClassInfo());
        QTRY_COMPARE(TUpdateDispatcher::Instance()->LiveThreads(), 0u); // earlier gates' threads
        TForm form(nullptr);
        QVERIFY_THROWS_EXCEPTION(EReadError,
                                 ReadInto(form, "object Form: TForm\n Left = 0\n"
                                                " object LogPort1: TLogicalPort\n Active = True\n"
                                                " NoSuchProperty = 1\n end\nend\n"));
        QVERIFY(!form.FindComponent("LogPort1"));
        QTRY_COMPARE(TUpdateDispatcher::Instance()->LiveThreads(), 0u);
    }
};

QTEST_MAIN(TestLogicalPort)
#include "tst_logicalport.moc"
