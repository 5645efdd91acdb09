#include "app/Main.h"
#include "app/TimingDiagram.h"
#include "app/TimingRecording.h"
#include "app/TimingView.h"
#include "document/FChild.h"

#include "classlib/Buttons.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "gates/LogicCmp.h"

#include "support/UserInput.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using UserInput::Click;

class TestTimingDiagram : public QObject {
    Q_OBJECT

    std::unique_ptr<TFormZentaroMain> Main;
    TFormZentaroChild *Network = nullptr;
    TTimingDiagram *Diagram = nullptr;
    QTemporaryDir Folder;
    QStringList Asked;

    TLogicalPort *AddGate(const char *name, TLogicalPortType kind, TLogicalPort *input, int delay) {
        auto *port = new TLogicalPort(Network);
        port->SetName(name);
        port->SetParent(Network->ScrollBoxCli);
        port->SetBounds(20 + 70 * int(Network->ComponentCount() % 5), 20, 50, 40);
        port->SetPortType(kind);
        port->SetInAComp(input);
        port->SetUpdateDelay(delay);
        return port;
    }
    const TTimingSignal &Signal(int index) const {
        return *Diagram->Recording().Signals().at(std::size_t(index));
    }
    void ToggleRun() { Click(Network->BtnActive, {10, 10}); }

private slots:
    // A new network with a clock, enabled by a NOT gate, driving a lamp; its diagram open.
    void initTestCase() {
        Main = std::make_unique<TFormZentaroMain>(nullptr);
        Main->Show();
        QVERIFY(QTest::qWaitForWindowExposed(Main->Widget()));
        QVERIFY(!Main->BtnTiming->Enabled());
        Click(Main->BtnNew, {15, 15});
        Network = dynamic_cast<TFormZentaroChild *>(Main->ActiveMDIChild());
        QVERIFY(Network);
        TLogicalPort *enable = AddGate("Enable", TLogicalPortType::logNOT, nullptr, 10);
        TLogicalPort *clock = AddGate("Clock", TLogicalPortType::logCLK, enable, 20);
        AddGate("Lamp", TLogicalPortType::logLED, clock, 5);
        QVERIFY(Main->BtnTiming->Enabled());
        Click(Main->BtnTiming, {15, 15});
        Diagram = dynamic_cast<TTimingDiagram *>(Network->Companion());
        QVERIFY(Diagram && QTest::qWaitForWindowExposed(Diagram));
        QCOMPARE(Diagram->SignalList().count(), 3);
        // Gates that only compute are offered, not recorded.
        QCOMPARE(Diagram->SignalList().item(0)->checkState(), Qt::Unchecked);
        QCOMPARE(Diagram->Recording().ShownNames(), (std::vector<std::string>{"Clock", "Lamp"}));
    }

    // Named with the kind menu's words; what only computes is offered, not recorded.
    void listsAGateWithItsKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("recorded");
        QTest::newRow("gate") << int(TLogicalPortType::logNAND) << "Probe (NAND)" << false;
        QTest::newRow("clock") << int(TLogicalPortType::logCLK) << "Probe (CLOCK)" << true;
        QTest::newRow("pulse switch") << int(TLogicalPortType::logPLS) << "Probe (PULSE)" << true;
        QTest::newRow("flip-flop") << int(TLogicalPortType::logFFJK) << "Probe (FFJK)" << true;
    }

    void listsAGateWithItsKind() {
        QFETCH(int, kind);
        QFETCH(QString, label);
        QFETCH(bool, recorded);
        TLogicalPort *probe = AddGate("Probe", TLogicalPortType(kind), nullptr, 10);
        const auto remove = qScopeGuard([&] {
            TComponent::Free(probe);
            Click(Main->BtnTiming, {15, 15});
        });
        Click(Main->BtnTiming, {15, 15});
        const QListWidgetItem *item = Diagram->SignalList().item(3);
        QVERIFY(item);
        QCOMPARE(item->text(), label);
        QCOMPARE(item->checkState(), recorded ? Qt::Checked : Qt::Unchecked);
    }

    void placesBesideTheMainWindow_data() {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("placed");
        const QRect screen(0, 0, 1280, 1024);
        QTest::newRow("right") << QRect(0, 0, 800, 600) << QSize(400, 300) << screen
                               << QRect(800, 0, 400, 300);
        QTest::newRow("left, kept below the top")
            << QRect(700, -50, 500, 600) << QSize(400, 300) << screen << QRect(300, 0, 400, 300);
        QTest::newRow("over the right part")
            << QRect(240, 180, 800, 630) << QSize(790, 410) << screen << QRect(507, 400, 533, 410);
        QTest::newRow("larger than the screen")
            << QRect(100, 100, 800, 600) << QSize(1500, 1100) << screen << QRect(367, 0, 533, 1024);
        QTest::newRow("second screen") << QRect(1300, 100, 1000, 600) << QSize(500, 400)
                                       << QRect(1280, 0, 1920, 1080) << QRect(2300, 100, 500, 400);
    }

    void placesBesideTheMainWindow() {
        QFETCH(QRect, main);
        QFETCH(QSize, size);
        QFETCH(QRect, screen);
        QFETCH(QRect, placed);
        QCOMPARE(PlaceBeside(main, size, screen), placed);
    }

    void recordsAClockDrivingALamp() {
        TTimingView &view = Diagram->View();
        ToggleRun();
        QTest::qWait(250);
        Click(&Diagram->PauseButton(), {5, 5});
        const std::int64_t left = view.LeftTime();
        const std::size_t changes = Signal(1).Trace().size();
        QTest::qWait(150);
        // Paused, the view stays put while the recording goes on.
        QCOMPARE(view.LeftTime(), left);
        QVERIFY(Signal(1).Trace().size() > changes);
        const double scale = view.Scale();
        UserInput::Wheel(view.viewport(), {300, 40}, {0, 120});
        QCOMPARE(view.Scale(), scale / 1.25);
        QTest::mouseMove(UserInput::WindowOf(view.viewport()),
                         UserInput::InWindow(view.viewport(), {300, 40}));
        QVERIFY(Diagram->TimeLabel().text().startsWith("t = "));
        ToggleRun();

        const TLevelTrace &clock = Signal(1).Trace(), &lamp = Signal(2).Trace();
        QVERIFY2(clock.size() >= 4, qPrintable(QString::number(clock.size())));
        QVERIFY(lamp.size() >= 2);
        QCOMPARE(clock.StartTime(), 0);
        for (std::size_t i = 0; i < clock.size(); ++i) {
            QVERIFY(clock[i].Time > (i ? clock[i - 1].Time : 0));
            QCOMPARE(clock[i].Level, TLevel(i % 2 == 0));
        }
        QVERIFY(clock[clock.size() - 1].Time <= Diagram->Recording().End());
        // The lamp copies the clock's output: each of its changes takes the level the clock had.
        for (std::size_t i = 0; i < lamp.size(); ++i)
            QCOMPARE(lamp[i].Level, clock.LevelAt(lamp[i].Time));
    }

    void exportsWhatWasRecorded_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("written");
        for (const char *name : {"run.vcd", "run.json", "run.CSV", "run.png", "run.svg"})
            QTest::newRow(name) << name << true;
        QTest::newRow("folder missing") << "missing/run.vcd" << false;
        QTest::newRow("unknown type") << "run.txt" << false;
        QTest::newRow("nothing ticked") << "none.csv" << false;
    }

    void exportsWhatWasRecorded() {
        QFETCH(QString, name);
        QFETCH(bool, written);
        const QString path = Folder.filePath(name);
        QListWidget &list = Diagram->SignalList();
        const bool none = name == "none.csv";
        for (int row = 1; none && row < list.count(); ++row)
            list.item(row)->setCheckState(Qt::Unchecked);
        const auto retick = qScopeGuard([&] {
            for (int row = 1; none && row < list.count(); ++row)
                list.item(row)->setCheckState(Qt::Checked);
        });
        int named = 0;
        SetFileDialogRunner([path, &named](const TFileDialogRequest &) {
            ++named;
            return std::optional<QString>(path);
        });
        Asked.clear();
        if (!written) UserInput::AnswerNextMessageBox(QMessageBox::Ok, Asked);
        Click(&Diagram->ExportButton(), {5, 5});
        SetFileDialogRunner({});
        // With nothing to export no file name is asked for.
        QCOMPARE(named, none ? 0 : 1);
        QCOMPARE(QFile::exists(path), written);
        QCOMPARE(Asked.size(), written ? 0 : 1);
        if (!written) return;

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const TLevelTrace &clock = Signal(1).Trace();
        const std::int64_t end = Diagram->Recording().End() / 1000;
        if (name.endsWith("vcd")) {
            // The clock is the first signal: one value line per change, the run's end last.
            QCOMPARE(bytes.count("\n0!") + bytes.count("\n1!"), qsizetype(clock.size() + 1));
            QVERIFY(bytes.endsWith("#" + QByteArray::number(end) + "\n"));
            QVERIFY(bytes.contains("$scope module NoName $end"));
        } else if (name.endsWith("json")) {
            const QJsonArray signalList =
                QJsonDocument::fromJson(bytes).object()["signal"].toArray();
            QCOMPARE(signalList.size(), 2);
            QCOMPARE(signalList[1].toObject()["name"].toString(), "Lamp");
            // Sampled at the lamp's delay, the shortest of the two.
            QCOMPARE(signalList[1].toObject()["wave"].toString().size(), end / 5 + 1);
        } else if (name.endsWith("CSV")) {
            const QList<QByteArray> rows = bytes.trimmed().split('\n');
            QCOMPARE(rows.front(), "time_ms,Clock,Lamp");
            int clockChanges = 0;
            for (qsizetype row = 2; row < rows.size(); ++row)
                clockChanges += rows[row].split(',')[1] != rows[row - 1].split(',')[1];
            QCOMPARE(clockChanges, int(clock.size()));
        } else if (name.endsWith("png")) {
            QCOMPARE(QImage::fromData(bytes).size(), Diagram->View().PictureSize());
        } else {
            QVERIFY(bytes.contains("<svg"));
        }
    }

    void activationStartsANewRecording() {
        ToggleRun();
        QCOMPARE(Signal(1).Trace().StartTime(), 0);
        QVERIFY(Signal(1).Trace().size() <= 1);
        QVERIFY(!Diagram->PauseButton().isChecked());
        QVERIFY(Diagram->PauseButton().isEnabled());
        ToggleRun();
        QVERIFY(!Diagram->PauseButton().isEnabled());
    }

    // The enabling NOT gate is high while the network runs: ticked then, it is known, and
    // exported, from then on, and high.
    void tickedWhileRunning() {
        ToggleRun();
        QTest::qWait(30);
        const std::int64_t before = Diagram->Recording().End();
        Diagram->SignalList().item(0)->setCheckState(Qt::Checked);
        ToggleRun();
        std::vector<TLevelChange> changes = Diagram->Recording().ShownChanges();
        Diagram->SignalList().item(0)->setCheckState(Qt::Unchecked);
        std::erase_if(changes, [](const TLevelChange &change) { return change.Signal != 0; });
        QVERIFY(Signal(0).Trace().StartTime() >= before);
        QVERIFY(!changes.empty());
        QCOMPARE(changes.front().Level, TLevel(1));
        QVERIFY(changes.front().Time >= before / 1000);
    }

    // All the traces together stay within the budget however many are recorded.
    void manyTracesShareTheBudget() {
        std::vector<TLogicalPort *> lamps;
        for (int i = 0; i < 150; ++i)
            lamps.push_back(AddGate(qPrintable(QStringLiteral("L%1").arg(i)),
                                    TLogicalPortType::logLED, nullptr, 50));
        Click(Main->BtnTiming, {15, 15});
        ToggleRun();
        ToggleRun();
        std::size_t bytes = 0;
        for (const auto &signal : Diagram->Recording().Signals())
            if (signal->Shown()) bytes += signal->Trace().Capacity() * 8;
        for (TLogicalPort *lamp : lamps)
            TComponent::Free(lamp);
        Click(Main->BtnTiming, {15, 15});
        QVERIFY2(bytes <= TTimingRecording::BudgetBytes, qPrintable(QString::number(bytes)));
    }

    // Labels at either end that would not fit are left out: none runs into the right edge.
    void noRulerLabelIsCut() {
        TTimingView &view = Diagram->View();
        for (int width = 420; width < 900; width += 9) {
            view.resize(width, 200);
            QImage image(view.PictureSize(), QImage::Format_RGB32);
            QPainter painter(&image);
            view.Render(painter);
            painter.end();
            for (int y = 2; y < TTimingView::RulerHeight - 6; ++y)
                for (int x = image.width() - 2; x < image.width(); ++x)
                    QVERIFY2(qGray(image.pixel(x, y)) > 128,
                             qPrintable(QStringLiteral("width %1").arg(width)));
        }
    }

    void titleFollowsSaveAs() {
        const QString path = Folder.filePath("rete.ZTR");
        SetFileDialogRunner(
            [path](const TFileDialogRequest &) { return std::optional<QString>(path); });
        Click(Main->BtnSave, {15, 15});
        SetFileDialogRunner({});
        QCOMPARE(Diagram->windowTitle(), "Diagramma Temporale - rete.ZTR");
    }

    // A gate offered but not recorded is forgotten as it goes, however it goes.
    void forgetsAGateThatGoes_data() {
        QTest::addColumn<bool>("undone");
        QTest::newRow("deleted") << false;
        QTest::newRow("its addition undone") << true;
    }

    void forgetsAGateThatGoes() {
        QFETCH(bool, undone);
        Click(Network->BtnNewLog, {20, 17});
        Click(Main->BtnTiming, {15, 15});
        const int count = Diagram->SignalList().count();
        TLogicalPort *port = Signal(count - 1).Port();
        QVERIFY(port && !Signal(count - 1).Shown());
        undone ? Network->Undo() : TComponent::Free(port);
        QVERIFY(!Signal(count - 1).Port());
        Click(Main->BtnTiming, {15, 15});
        QCOMPARE(Diagram->SignalList().count(), count - 1);
    }

    void goesWithItsNetwork() {
        QPointer<QWidget> diagram = Diagram;
        Network->Modified = false;
        TComponent::Free(Network);
        QVERIFY(diagram.isNull());
    }

    void cleanupTestCase() { Main.reset(); }
};

QTEST_MAIN(TestTimingDiagram)
#include "tst_timingdiagram.moc"
