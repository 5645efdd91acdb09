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
#include <QPushButton>
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
    }

    void exportsWhatWasRecorded() {
        QFETCH(QString, name);
        QFETCH(bool, written);
        const QString path = Folder.filePath(name);
        SetFileDialogRunner(
            [path](const TFileDialogRequest &) { return std::optional<QString>(path); });
        Asked.clear();
        if (!written) UserInput::AnswerNextMessageBox(QMessageBox::Ok, Asked);
        Click(&Diagram->ExportButton(), {5, 5});
        SetFileDialogRunner({});
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
        } else if (name.endsWith("json")) {
            const QJsonArray signalList =
                QJsonDocument::fromJson(bytes).object()["signal"].toArray();
            QCOMPARE(signalList.size(), 2);
            QCOMPARE(signalList[1].toObject()["name"].toString(), "Lamp");
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
        ToggleRun();
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
