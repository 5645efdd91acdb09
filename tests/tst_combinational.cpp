#include "sim/Combinational.h"
#include "sim/TruthTable.h"

#include <QTest>

#include <random>

using enum TLogicalPortType;

namespace {

struct TPortSpec {
    TLogicalPortType Kind;
    std::int32_t InA = -1, InB = -1;
    TLevel Level = 0;
    std::int32_t Delay = 10;
};

// Ports named P0, P1, ... in order.
TSimNetwork Net(const std::vector<TPortSpec> &specs) {
    TSimNetwork network;
    for (const TPortSpec &spec : specs) {
        network.Ports.push_back({spec.Kind, {0, 0, spec.Level}, spec.Delay, spec.InA, spec.InB});
        network.Names.push_back("P" + std::to_string(network.Names.size()));
    }
    return network;
}

// Switches, then gates without memory wired to earlier ports (now and then to none), then lamps
// on earlier ports; delays from 1 to 20.
TSimNetwork RandomNetwork(std::mt19937 &random, int switches, int gates, int lamps) {
    constexpr TLogicalPortType Gates[] = {logAND, logOR, logNOT, logXOR, logNAND, logNOR, logNXOR};
    std::vector<TPortSpec> specs;
    const auto source = [&] { return random() % 12 ? std::int32_t(random() % specs.size()) : -1; };
    for (int i = 0; i < switches; ++i)
        specs.push_back({logPLS});
    for (int i = 0; i < gates + lamps; ++i)
        specs.push_back({i < gates ? Gates[random() % 7] : logLED, source(), source(), 0,
                         std::int32_t(1 + random() % 20)});
    return Net(specs);
}

} // namespace

Q_DECLARE_METATYPE(TSimNetwork)
Q_DECLARE_METATYPE(TLogicalPortType)
using TNames = std::vector<std::string>;
Q_DECLARE_METATYPE(TNames)

class TestCombinational : public QObject {
    Q_OBJECT

private slots:
    void wordRulesFollowPortLogic_data();
    void wordRulesFollowPortLogic();
    void analyses_data();
    void analyses();
    void agreesWithVirtualTime();
};

void TestCombinational::wordRulesFollowPortLogic_data() {
    QTest::addColumn<TLogicalPortType>("kind");
    for (int kind = 0; kind < LogicalPortTypeCount; ++kind)
        QTest::addRow("kind %d", kind) << TLogicalPortType(kind);
}

void TestCombinational::wordRulesFollowPortLogic() {
    QFETCH(TLogicalPortType, kind);
    // Whether the output follows from the inputs alone, and whether B matters, as the rules say.
    bool combinational = true, readsB = false;
    for (int state = 0; state < 32; ++state) {
        const TPortLevels before{TLevel(state & 1), TLevel(state >> 1 & 1), TLevel(state >> 2 & 1),
                                 TLevel(state >> 3 & 1), TLevel(state >> 4)};
        TPortLevels flipped = before;
        flipped.InB = !before.InB;
        const TLevel out = ComputeLevels(kind, before).Output;
        combinational =
            combinational && out == ComputeLevels(kind, {before.InA, before.InB}).Output;
        readsB = readsB || out != ComputeLevels(kind, flipped).Output;
    }
    QCOMPARE(IsCombinational(kind), combinational);
    if (!combinational) return;
    QCOMPARE(ReadsInputB(kind), readsB);
    // Every lane of the word; each four hold the four combinations.
    const std::uint64_t a = 0xCCCCCCCCCCCCCCCCull, b = 0xAAAAAAAAAAAAAAAAull;
    const std::uint64_t word = ComputeWord(kind, a, b);
    for (int lane = 0; lane < 64; ++lane)
        QCOMPARE(TLevel(word >> lane & 1),
                 ComputeLevels(kind, {TLevel(a >> lane & 1), TLevel(b >> lane & 1)}).Output);
}

void TestCombinational::analyses_data() {
    QTest::addColumn<TSimNetwork>("network");
    QTest::addColumn<TNames>("inputs");
    QTest::addColumn<TNames>("outputs");
    QTest::addColumn<QString>("result"); // the table, or the refusal's message

    QTest::newRow("half adder, chosen order, a gate and an input as outputs")
        << Net({{logPLS}, {logPLS}, {logXOR, 0, 1}, {logAND, 0, 1}, {logLED, 2}, {logLED, 3}})
        << TNames{"P1", "P0"} << TNames{"P3", "P1", "P4"}
        << QString("P1 P0 | P3 P1 P4\n0 0 | 0 0 0\n0 1 | 0 0 1\n1 0 | 0 1 1\n1 1 | 1 1 0\n");
    // Outside the cones, or on an input the inverter and the lamp do not read, memory is no
    // matter; an unwired input reads 0, a switch that is not an input its level.
    QTest::newRow("memory beside, unwired, a switch held at 1")
        // clang-format off
        << Net({{logPLS}, {logFFJK, 0, 0}, {logCLK}, {logNOT, 0, 2}, {logLED, 3, 1}, {logOR, 0},
                {logLED, 5}, {logPLS, -1, -1, 1}, {logNAND, 0, 7}, {logLED}})
        // clang-format on
        << TNames{"P0"} << TNames{"P4", "P6", "P8", "P9"}
        << QString("P0 | P4 P6 P8 P9\n0 | 1 0 1 0\n1 | 0 1 0 0\n");

    const TNames none;
    QTest::newRow("D flip-flop") << Net({{logPLS}, {logPLS}, {logFFD, 0, 1}, {logLED, 2}}) << none
                                 << none << "P2 is a D flip-flop";
    QTest::newRow("JK flip-flop named as the output")
        << Net({{logPLS}, {logFFJK, 0, 0}, {logLED, 0}}) << none << TNames{"P2", "P1"}
        << "P1 is a JK flip-flop";
    QTest::newRow("clock") << Net({{logPLS}, {logAND, 0, 2}, {logCLK, 0}, {logLED, 1}}) << none
                           << none << "P2 is a clock";
    QTest::newRow("loop of two") << Net({{logPLS}, {logAND, 0, 2}, {logOR, 1, 0}, {logLED, 1}})
                                 << none << none << "P1 \u2192 P2 \u2192 P1 is a loop";
    // Named the way the levels go round: P1 feeds P2, P2 feeds P3, P3 feeds P1.
    QTest::newRow("loop of three")
        << Net({{logPLS}, {logNOT, 3}, {logNOT, 1}, {logNOT, 2}, {logLED, 1}}) << none << none
        << "P1 \u2192 P2 \u2192 P3 \u2192 P1 is a loop";
    QTest::newRow("gate reading itself")
        << Net({{logPLS}, {logAND, 1, 0}, {logLED, 1}}) << none << none << "P1 \u2192 P1 is a loop";
    std::mt19937 random(1);
    const TSimNetwork many = RandomNetwork(random, MaxAnalysisInputs + 1, 0, 1);
    QTest::newRow("too many inputs") << many << none << none << "25 inputs: at most 24";
    const TSimNetwork simple = Net({{logPLS}, {logNOT, 0}, {logLED, 1}});
    QTest::newRow("unknown name") << simple << TNames{"P0"} << TNames{"Nobody"}
                                  << "no port named Nobody";
    QTest::newRow("input no switch")
        << simple << TNames{"P1"} << none << "P1 is an input but not a pulse switch";
    QTest::newRow("input twice") << simple << TNames{"P0", "P0"} << none
                                 << "P0 is named twice as an input";
    QTest::newRow("no lamps") << Net({{logPLS}, {logNOT, 0}}) << none << none
                              << "no outputs: the network has no lamps";
    QTest::newRow("no switches") << Net({{logNOT}, {logLED, 0}}) << none << none
                                 << "no inputs: the network has no pulse switches";
}

void TestCombinational::analyses() {
    QFETCH(TSimNetwork, network);
    QFETCH(TNames, inputs);
    QFETCH(TNames, outputs);
    QFETCH(QString, result);
    try {
        QCOMPARE(QString::fromStdString(FormatTruthTable(AnalyzeNetwork(network, inputs, outputs))),
                 result);
    } catch (const EAnalysisError &error) {
        QCOMPARE(QString::fromUtf8(error.what()), result);
    }
}

void TestCombinational::agreesWithVirtualTime() {
    std::mt19937 random(29);
    for (int trial = 0; trial < 40; ++trial) {
        // Past 10 switches the table's text is made in several blocks.
        const int switches = 1 + trial % 12;
        TSimNetwork network =
            RandomNetwork(random, switches, 5 + int(random() % 40), 1 + int(random() % 3));
        TNames outputs;
        // Every other network also has two gates as outputs.
        if (trial % 2)
            for (const std::size_t gate : {random() % 2, 2 + random() % 3})
                outputs.push_back(network.Names[std::size_t(switches) + gate]);
        const TNetworkFunction function = AnalyzeNetwork(network, {}, outputs);
        // A row set holds no bits past the last row: a minimiser would read them as rows.
        for (const TRowSet &rows : function.Rows)
            QCOMPARE(rows,
                     switches >= 6 ? rows : TRowSet{rows[0] & ((1ull << (1 << switches)) - 1)});
        const std::string text = FormatTruthTable(function);
        const TTruthTable table = ParseTruthTable(text);
        QCOMPARE(table.Rows.size(), std::size_t(1) << switches);
        for (std::size_t r = 0; r < table.Rows.size(); ++r)
            for (int i = 0; i < switches; ++i)
                QCOMPARE(table.Rows[r].Inputs[std::size_t(i)],
                         r >> (switches - 1 - i) & 1 ? TTableValue::High : TTableValue::Low);
        // Quiet for the sum of all delays: every change has reached the outputs by then.
        std::int64_t settle = 1;
        for (const TSimPort &port : network.Ports)
            settle += port.Delay;
        for (const TRowResult &row : RunTruthTable(network, table, settle))
            QVERIFY2(row.Passed, ("line " + std::to_string(row.Line) + " of\n" + text).c_str());
    }
}

QTEST_APPLESS_MAIN(TestCombinational)
#include "tst_combinational.moc"
