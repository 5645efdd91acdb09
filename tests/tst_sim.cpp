#include "sim/Recorder.h"
#include "sim/Simulator.h"

#include <QTest>

using enum TLogicalPortType;

namespace {

struct TPortSpec {
    TLogicalPortType Kind;
    std::int32_t Delay;
    std::int32_t InA = -1, InB = -1;
};

TSimNetwork Net(std::initializer_list<TPortSpec> specs) {
    TSimNetwork network;
    for (const TPortSpec &spec : specs) {
        network.Ports.push_back({spec.Kind, {}, spec.Delay, spec.InA, spec.InB});
        network.Names.push_back("P" + std::to_string(network.Names.size()));
    }
    return network;
}

std::vector<int> Outputs(const TSimNetwork &network) {
    std::vector<int> outputs;
    for (const TSimPort &port : network.Ports) outputs.push_back(port.Levels.Output);
    return outputs;
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    void virtualTime();
    void recorderSeesEveryChange();
    void changesReadBackAsAdded_data();
    void changesReadBackAsAdded();
};

void TestSim::virtualTime() {
    // Equal times go by booking number, which at 0 is the ports' order: a lamp listed before its
    // inverter still sees the inverter's 0.
    TSimNetwork lampFirst = Net({{logLED, 10, 1}, {logNOT, 10}});
    TSimulator first(lampFirst);
    first.Activate();
    first.RunUntil(0);
    QCOMPARE(Outputs(lampFirst), std::vector<int>({0, 1}));
    first.RunUntil(10);
    QCOMPARE(Outputs(lampFirst), std::vector<int>({1, 1}));

    // A stimulus at a booking's time comes first.
    TSimNetwork switched = Net({{logPLS, 10}, {logLED, 10, 0}});
    TSimulator toggled(switched);
    toggled.Activate();
    toggled.Toggle(0, 10);
    toggled.RunUntil(10);
    QCOMPARE(Outputs(switched), std::vector<int>({1, 1}));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, toggled.Toggle(0, 10));

    // A switched clock flips at each of its evaluations; the slider's delay replaces the stored one.
    for (const auto &[delay, flips] : {std::pair{0, 2}, std::pair{30, 4}}) {
        TSimNetwork clocked = Net({{logPLS, 10}, {logCLK, 100, 0}});
        if (delay) clocked.SetClockDelay(delay);
        TLevelRecorder recorder;
        recorder.AddSignal(clocked, 1, TSignalLevel::Output);
        TSimulator run(clocked, &recorder);
        run.Activate();
        run.Toggle(0, 0);
        run.RunUntil(100);
        QCOMPARE(int(recorder.Changes().size()), flips);
    }

    // Rings: of two inverters they settle, of three they never do.
    TSimNetwork two = Net({{logNOT, 10, 1}, {logNOT, 10, 0}}), three = Net({{logNOT, 10, 2}, {logNOT, 10, 0}, {logNOT, 10, 1}});
    TSimulator settling(two), oscillating(three);
    for (TSimulator *run : {&settling, &oscillating}) {
        run->Activate();
        run->RunUntil(1000);
    }
    QVERIFY(settling.LastOutputChange() < 100);
    QCOMPARE(oscillating.LastOutputChange(), std::int64_t(1000));
    QCOMPARE(oscillating.Evaluations(), std::uint64_t(3 * 101));

    // Delays longer than the wheel wait aside and still keep their turn: at 70000 the slow port,
    // booked long before, goes before the fast one's booking made at 69999.
    TSimNetwork slow = Net({{logNOT, 70000}, {logNOT, 1}});
    TSimulator waiting(slow);
    std::vector<int> at70000;
    waiting.OnEvaluate = [&](int port) {
        if (waiting.ServedThrough() == 69999) at70000.push_back(port);
    };
    waiting.Activate();
    waiting.RunUntil(140000);
    QCOMPARE(at70000, std::vector<int>({0, 1}));
    QCOMPARE(waiting.Evaluations(), std::uint64_t(3 + 140001));
}

void TestSim::recorderSeesEveryChange() {
    // A switch into a lamp: the switch's output and the lamp's input and output.
    TSimNetwork network = Net({{logPLS, 5}, {logLED, 5, 0}});
    TLevelRecorder recorder;
    recorder.AddSignal(network, 0, TSignalLevel::Output);
    recorder.AddSignal(network, 1, TSignalLevel::InA);
    TSimulator run(network, &recorder);
    run.Activate();
    run.Toggle(0, 3);
    run.Toggle(0, 7);
    run.RunUntil(20);
    QCOMPARE(recorder.Names(), std::vector<std::string>({"P0", "P1.A"}));
    std::vector<std::pair<std::int64_t, int>> changes;
    for (const TLevelChange &change : recorder.Changes()) changes.emplace_back(change.Time, int(change.Signal) * 10 + change.Level);
    QCOMPARE(changes, (std::vector<std::pair<std::int64_t, int>>{{3, 1}, {5, 11}, {7, 0}, {10, 10}}));
}

void TestSim::changesReadBackAsAdded_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("signalCount");
    QTest::newRow("none") << 0 << 10;
    QTest::newRow("a few") << 5 << 10;
    QTest::newRow("past a block") << (1 << 20) + 7 << 30000;
    // The numbers pass 2^15 after a block of two-byte changes: all are widened.
    QTest::newRow("widened") << (1 << 20) + 7 << 40000;
}

void TestSim::changesReadBackAsAdded() {
    QFETCH(int, count);
    QFETCH(int, signalCount);
    const auto made = [signalCount](int i) {
        return TLevelChange{i / 3, std::uint32_t(i < (1 << 20) ? i % 30000 : i % signalCount),
                            TLevel(i & 1)};
    };
    TLevelChanges changes;
    for (int i = 0; i < count; ++i)
        changes.Add(made(i).Time, made(i).Signal, made(i).Level);
    const TLevelChanges copy = changes;
    for (const TLevelChanges *list : {static_cast<const TLevelChanges *>(&changes), &copy}) {
        QCOMPARE(int(list->size()), count);
        int i = 0;
        for (const TLevelChange &change : *list) {
            const TLevelChange expected = made(i++);
            if (change.Time != expected.Time || change.Signal != expected.Signal ||
                change.Level != expected.Level)
                QFAIL(qPrintable(QStringLiteral("change %1 differs").arg(i - 1)));
        }
        for (int at : {0, count / 2, count - 1})
            if (at >= 0 && at < count) QCOMPARE((*list)[std::size_t(at)].Signal, made(at).Signal);
    }
    changes.Clear();
    QVERIFY(changes.empty());
    changes.Add(7, 3, 1);
    QCOMPARE((*changes.begin()).Time, std::int64_t(7));
}

QTEST_APPLESS_MAIN(TestSim)
#include "tst_sim.moc"
