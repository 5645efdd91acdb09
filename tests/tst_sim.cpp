#include "sim/LevelTrace.h"
#include "sim/Recorder.h"
#include "sim/Simulator.h"
#include "sim/TruthTable.h"
#include "sim/Waveforms.h"

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
    for (const TSimPort &port : network.Ports)
        outputs.push_back(port.Levels.Output);
    return outputs;
}

} // namespace

Q_DECLARE_METATYPE(TSimNetwork)

class TestSim : public QObject {
    Q_OBJECT

private slots:
    void virtualTime();
    void bookingsServedInOrder_data();
    void bookingsServedInOrder();
    void recorderSeesEveryChange();
    void truthTableText_data();
    void truthTableText();
    void truthTableRuns_data();
    void truthTableRuns();
    void waveformTexts_data();
    void waveformTexts();
    void changesReadBackAsAdded_data();
    void changesReadBackAsAdded();
    void levelTraceKeepsTheNewest();
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

    // A switched clock flips at each of its evaluations; the slider's delay replaces the stored
    // one.
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
    TSimNetwork two = Net({{logNOT, 10, 1}, {logNOT, 10, 0}}),
                three = Net({{logNOT, 10, 2}, {logNOT, 10, 0}, {logNOT, 10, 1}});
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

void TestSim::bookingsServedInOrder_data() {
    QTest::addColumn<QList<int>>("delays");
    QTest::addColumn<qint64>("until");
    // The ports evaluated at one time, in order.
    QTest::addColumn<qint64>("watched");
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<quint64>("evaluations");
    QTest::newRow("delays 0 and -3 count as 1")
        << QList<int>{0, -3} << 10LL << 5LL << QList<int>{0, 1} << quint64(22);
    // The slow port's booking, made at 0, waits aside; the other's, made at 65,535, goes
    // straight into the slot.
    QTest::newRow("65,535 beside twice that")
        << QList<int>{131070, 65535} << 131070LL << 131070LL << QList<int>{0, 1} << quint64(5);
    // Both are due at 2e9; the 500 ms port booked first, at 1.5e9. Without jumping over the
    // empty times these runs would take minutes to hours.
    QTest::newRow("two slow gates to 2e9") << QList<int>{400000000, 500000000} << 2000000000LL
                                           << 2000000000LL << QList<int>{1, 0} << quint64(11);
    QTest::newRow("a thousand turns of the longest delay")
        << QList<int>{2147483647, 2147483646} << (1LL << 41) << 0LL << QList<int>{0, 1}
        << quint64(2050);
}

void TestSim::bookingsServedInOrder() {
    QFETCH(QList<int>, delays);
    QFETCH(qint64, until);
    QFETCH(qint64, watched);
    QFETCH(QList<int>, order);
    QFETCH(quint64, evaluations);
    TSimNetwork network;
    for (const int delay : delays)
        network.Ports.push_back({logNOT, {}, delay});
    TSimulator run(network);
    QList<int> seen;
    run.OnEvaluate = [&](int port) {
        if (run.ServedThrough() == watched - 1) seen.push_back(port);
    };
    run.Activate();
    run.RunUntil(until);
    QCOMPARE(seen, order);
    QCOMPARE(run.Evaluations(), evaluations);
    QCOMPARE(run.ServedThrough(), until);
}

void TestSim::recorderSeesEveryChange() {
    // Switches into a lamp's inputs: the first switch's output and the lamp's inputs; B changes
    // alone.
    TSimNetwork network = Net({{logPLS, 5}, {logLED, 5, 0, 2}, {logPLS, 5}});
    TLevelRecorder recorder;
    recorder.AddSignal(network, 0, TSignalLevel::Output);
    recorder.AddSignal(network, 1, TSignalLevel::InA);
    recorder.AddSignal(network, 1, TSignalLevel::InB);
    TSimulator run(network, &recorder);
    run.Activate();
    run.Toggle(0, 3);
    run.Toggle(0, 7);
    run.Toggle(2, 12);
    run.RunUntil(20);
    QCOMPARE(recorder.Names(), std::vector<std::string>({"P0", "P1.A", "P1.B"}));
    std::vector<std::pair<std::int64_t, int>> changes;
    for (const TLevelChange &change : recorder.Changes())
        changes.emplace_back(change.Time, int(change.Signal) * 10 + change.Level);
    QCOMPARE(changes, (std::vector<std::pair<std::int64_t, int>>{
                          {3, 1}, {5, 11}, {7, 0}, {10, 10}, {15, 21}}));
}

void TestSim::truthTableText_data() {
    QTest::addColumn<QByteArray>("text");
    // The table as read, one "line: levels" per row; or "line N: ..." for the error.
    QTest::addColumn<QString>("parsed");

    QTest::newRow("comments, CRLF, bars anywhere")
        << QByteArray("# t\r\n\r\nA B|S # header\r\n0 1 | 1\r\n1 0 1\r\nc 1|x")
        << "A B | S; 4: 0 1 | 1; 5: 1 0 | 1; 6: C 1 | X";
    QTest::newRow("nothing") << QByteArray("# only\n\n")
                             << "line 2: no header naming the inputs and outputs";
    QTest::newRow("no bar") << QByteArray("A B\n0 1\n")
                            << "line 1: the header needs a | between the inputs and the outputs";
    QTest::newRow("two bars") << QByteArray("A | B | C\n")
                              << "line 1: more than one | in the header";
    QTest::newRow("no outputs") << QByteArray("A |\n0\n") << "line 1: the header names no outputs";
    QTest::newRow("named twice") << QByteArray("A B A | S\n") << "line 1: \"A\" is named twice";
    QTest::newRow("no rows") << QByteArray("\nA | S\n# none\n") << "line 2: the table has no rows";
    QTest::newRow("bar misplaced") << QByteArray("A B | S\n0 | 1 1\n")
                                   << "line 2: the | must come once, after the 2 input levels";
    QTest::newRow("BOM, lone CR, CR LF") << QByteArray("\xEF\xBB\xBF"
                                                       "A B | S\r0 1 | 1\r\n\r1 0 1")
                                         << "A B | S; 2: 0 1 | 1; 4: 1 0 | 1";
    QTest::newRow("no-break space") << QByteArray("A B | S\n0 1 | 1 # \xC2\xA0\n1\xC2\xA0"
                                                  "0 1\n")
                                    << "line 3, column 2: a no-break space (U+00A0) where a "
                                       "space or tab is meant";
    QTest::newRow("level and more") << QByteArray("A B | S\n0 1 | 1;\n")
                                    << "line 2, column 8: \"1;\" is not a level (0, 1, X or C)";
    QTest::newRow("bar twice") << QByteArray("A | S\n0 || 1\n")
                               << "line 2: the | must come once, after the 1 input levels";
    // A weight (shown after the line as *N) holds for the rows after it, up to the next one.
    QTest::newRow("weights") << QByteArray("A B | S\n0 1 | 1\n# weight 3\n1 0 | 1\n"
                                           "1 1 | 0\n\t#  WEIGHT\t2 \n0 0 | 0\n")
                             << "A B | S; 2: 0 1 | 1; 4*3: 1 0 | 1; 5*3: 1 1 | 0; 7*2: 0 0 | 0";
    QTest::newRow("comments that only mention a weight")
        << QByteArray("# weight of a row\nA B | S\n0 1 | 1 # weight 5\n#weights 4\n1 0 | 1\n")
        << "A B | S; 3: 0 1 | 1; 5: 1 0 | 1";
    QTest::newRow("weight 0") << QByteArray("A B | S\n# weight 0\n0 1 | 1\n")
                              << "line 2, column 10: \"0\" is not a weight (a whole number from 1 "
                                 "to 1000000)";
    QTest::newRow("weight past the bound") << QByteArray("# weight 1000001\nA B | S\n")
                                           << "line 1, column 10: \"1000001\" is not a "
                                              "weight (a whole number from 1 to 1000000)";
    QTest::newRow("weight not whole") << QByteArray("A | S\n#weight 2.5\n")
                                      << "line 2, column 9: \"2.5\" is not a weight (a whole "
                                         "number from 1 to 1000000)";
}

void TestSim::truthTableText() {
    QFETCH(QByteArray, text);
    QFETCH(QString, parsed);
    QString got;
    try {
        const TTruthTable table =
            ParseTruthTable(std::string_view(text.constData(), std::size_t(text.size())));
        const auto levels = [](const std::vector<TTableValue> &values) {
            QString text;
            for (const TTableValue value : values)
                text += QString(" ") + "01XC"[int(value)];
            return text;
        };
        // Byte for byte: decoding UTF-8 would drop a byte-order mark left in a name.
        got =
            QString::fromLatin1(table.Inputs[0] + " " + table.Inputs[1] + " | " + table.Outputs[0]);
        for (const TTableRow &row : table.Rows)
            got += QStringLiteral("; %1:%2 |%3")
                       .arg(QString::number(row.Line) +
                            (row.Weight != 1 ? "*" + QString::number(row.Weight) : ""))
                       .arg(levels(row.Inputs), levels(row.Outputs));
    } catch (const ETruthTableError &error) {
        got = error.what();
    }
    QCOMPARE(got, parsed);
}

void TestSim::truthTableRuns_data() {
    QTest::addColumn<TSimNetwork>("network");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<int>("settle");
    // A character a row: 1 passed, 0 failed, - not settled; then "stopped at N" when the run
    // was stopped in row N.
    QTest::addColumn<QString>("results");
    // How many questions to proceed are answered yes (-1: all).
    QTest::addColumn<int>("yeses");

    // A D flip-flop loaded by pulses on its enable switch (down again when read), without a reset
    // between rows; X on a lit output is not looked at.
    QTest::newRow("D flip-flop")
        << Net({{logPLS, 5}, {logPLS, 5}, {logFFD, 30, 0, 1}, {logLED, 7, 2}})
        << QByteArray("P0 P1 | P1 P2 P3\n1 C | 0 1 1\n0 0 | 0 1 1\n"
                      "0 C | 0 0 0\n1 1 | 1 1 1\n1 0 | 0 0 X\n"
                      "1 0 | 0 1 X\n")
        << 0 << "111101" << -1;
    // Three inverters in a ring beside the switch: only the ports a table names must fall quiet,
    // and a row whose outputs never do still ends.
    const TSimNetwork ring = Net({{logPLS, 5}, {logNOT, 10, 3}, {logNOT, 10, 1}, {logNOT, 10, 2}});
    QTest::newRow("ring beside") << ring << QByteArray("P0 | P0\n1 | 1\n0 | 0\n") << 15 << "11"
                                 << -1;
    QTest::newRow("ring named") << ring << QByteArray("P0 | P0 P1\n1 | 1 X\n0 | 0 X\n") << 15
                                << "--" << -1;
    // Asked before each row and between pieces of a wait: a row a ring keeps from settling is
    // stopped within its wait; a no before a row stops the run there.
    QTest::newRow("ring named, stopped in its wait")
        << ring << QByteArray("P0 | P0 P1\n1 | 1 X\n0 | 0 X\n1 | 1 X\n") << 15 << "stopped at 0"
        << 3;
    QTest::newRow("stopped before the first row")
        << ring << QByteArray("P0 | P0\n1 | 1\n") << 15 << "stopped at 0" << 0;
    QTest::newRow("stopped in a later row")
        << ring << QByteArray("P0 | P0\n1 | 1\n0 | 0\n1 | 1\n") << 15 << "stopped at 2" << 6;
    // A toggle made of two latches turns on the rising edge: C on a switch at 1 still gives one.
    QTest::newRow("C on a switch at 1")
        << Net({{logPLS, 5}, {logNOT, 5, 0}, {logFFD, 5, 4, 1}, {logFFD, 5, 2, 0}, {logNOT, 5, 3}})
        << QByteArray("P0 | P3\n0 | 0\n1 | 1\nC | 0\nC | 1\n") << 0 << "1111" << -1;
}

void TestSim::truthTableRuns() {
    QFETCH(TSimNetwork, network);
    QFETCH(QByteArray, table);
    QFETCH(int, settle);
    QFETCH(QString, results);
    QFETCH(int, yeses);
    QString got;
    std::size_t lastRow = 0;
    const auto proceed = [&](std::size_t row) {
        if (row < lastRow) got += "(back to row " + QString::number(row) + ")";
        lastRow = row;
        return yeses < 0 || yeses-- > 0;
    };
    try {
        for (const TRowResult &result :
             RunTruthTable(network, ParseTruthTable(table.toStdString()),
                           settle > 0 ? settle : DefaultSettleTime(network), proceed))
            got += !result.Settled ? (result.Got.empty() ? '-' : '?') : result.Passed ? '1' : '0';
    } catch (const ETruthTableStopped &) {
        got += "stopped at " + QString::number(lastRow);
    }
    QCOMPARE(got, results);
}

void TestSim::waveformTexts_data() {
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<int>("end");
    QTest::addColumn<QByteArray>("expected");
    const QByteArrayList names = {"a b", "q\"x,"};
    // The first signal rises at 0, changes and changes back at 3 (seen by none), falls at 5.
    QTest::newRow("VCD")
        << QByteArray("vcd") << names << 6
        << QByteArray("$timescale 1 ms $end\n$scope module top_net $end\n$var wire 1 ! a_b $end\n"
                      "$var wire 1 \" q\"x, $end\n$upscope $end\n$enddefinitions $end\n"
                      "#0\n$dumpvars\n1!\n0\"\n$end\n#2\n1\"\n#5\n0!\n#6\n");
    QTest::newRow("VCD ending on a change")
        << QByteArray("vcd") << QByteArrayList{"a", "b"} << 5
        << QByteArray("$timescale 1 ms $end\n$scope module top_net $end\n$var wire 1 ! a $end\n"
                      "$var wire 1 \" b $end\n$upscope $end\n$enddefinitions $end\n"
                      "#0\n$dumpvars\n1!\n0\"\n$end\n#2\n1\"\n#5\n0!\n");
    QTest::newRow("WaveJSON every 2 ms")
        << QByteArray("wavedrom") << names << 6
        << QByteArray("{\"signal\":[\n  {\"name\":\"a b\",\"wave\":\"1..0\"},\n"
                      "  {\"name\":\"q\\\"x,\",\"wave\":\"01..\"}\n]}\n");
    QTest::newRow("WaveJSON, a name beyond ASCII")
        << QByteArray("wavedrom") << QByteArrayList{"caff\xc3\xa8", "\x01"} << 2
        << QByteArray("{\"signal\":[\n  {\"name\":\"caff\xc3\xa8\",\"wave\":\"1.\"},\n"
                      "  {\"name\":\"\\u0001\",\"wave\":\"01\"}\n]}\n");
    QTest::newRow("CSV") << QByteArray("csv") << names << 6
                         << QByteArray("time_ms,a b,\"q\"\"x,\"\n0,1,0\n2,1,1\n5,0,1\n");
    QTest::newRow("CSV, a line break in a name")
        << QByteArray("csv") << QByteArrayList{"a\r\nb", "c\nd"} << 6
        << QByteArray("time_ms,\"a\r\nb\",\"c\nd\"\n0,1,0\n2,1,1\n5,0,1\n");
}

void TestSim::waveformTexts() {
    QFETCH(QByteArray, format);
    QFETCH(QByteArrayList, names);
    QFETCH(int, end);
    QFETCH(QByteArray, expected);
    std::vector<std::string> nameList;
    for (const QByteArray &name : names)
        nameList.push_back(name.toStdString());
    const std::vector<TLevelChange> changes = {{0, 0, 1}, {2, 1, 1}, {3, 0, 0},
                                               {3, 0, 1}, {5, 0, 0}, {7, 1, 0}};
    TLevelChanges packed;
    for (const TLevelChange &change : changes)
        packed.Add(change.Time, change.Signal, change.Level);
    // The plain list's text, and the packed changes' text as the sink gets it.
    const auto write = [&](std::size_t limit, bool fromPacked) {
        if (!fromPacked)
            return format == "vcd"   ? VcdText(nameList, changes, end, "top net", limit)
                   : format == "csv" ? CsvText(nameList, changes, end, limit)
                                     : WaveDromText(nameList, changes, end, 2, limit);
        std::string text;
        const TTextSink sink = [&text](std::string_view piece) { text += piece; };
        if (format == "vcd")
            WriteVcd(sink, nameList, packed, end, "top net", limit);
        else if (format == "csv")
            WriteCsv(sink, nameList, packed, end, limit);
        else
            WriteWaveDrom(sink, nameList, packed, end, 2, limit);
        return text;
    };
    for (const bool fromPacked : {false, true}) {
        QCOMPARE(QByteArray::fromStdString(write(NoTextLimit, fromPacked)), expected);
        QCOMPARE(write(std::size_t(expected.size()), fromPacked).size(),
                 std::size_t(expected.size()));
        QVERIFY_THROWS_EXCEPTION(std::length_error,
                                 write(std::size_t(expected.size()) - 1, fromPacked));
    }
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
    // After clearing, a change at the time last added starts a run of its own.
    changes.Clear();
    QVERIFY(changes.empty());
    const std::int64_t last = count ? made(count - 1).Time : 7;
    changes.Add(last, 3, 1);
    QCOMPARE(changes.size(), std::size_t(1));
    QCOMPARE((*changes.begin()).Time, last);
}

// A full ring drops its oldest change for each new one, and remembers the level it set.
void TestSim::levelTraceKeepsTheNewest() {
    TLevelTrace trace;
    trace.Start(5, 1, 4);
    trace.Add(6, 1); // no change
    for (std::int64_t time = 10; time <= 70; time += 10)
        trace.Add(time, TLevel(time / 10 % 2 == 0));
    QCOMPARE(trace.size(), std::size_t(4));
    QCOMPARE(trace.StartTime(), 30);
    QCOMPARE(trace.StartLevel(), TLevel(0));
    QCOMPARE(trace[0].Time, 40);
    QCOMPARE(trace[3].Time, 70);
    QCOMPARE(trace.LevelAt(10), TLevel(0));
    QCOMPARE(trace.LevelAt(45), TLevel(1));
    QCOMPARE(trace.LevelAt(70), TLevel(0));
    QCOMPARE(trace.FirstAfter(40), std::size_t(1));
    QCOMPARE(trace.FirstAfter(70), std::size_t(4));
    // Going round the ring more than once.
    for (std::int64_t time = 80; time <= 150; time += 10)
        trace.Add(time, TLevel(time / 10 % 2 == 0));
    QCOMPARE(trace.StartTime(), 110);
    for (std::size_t i = 0; i < trace.size(); ++i)
        QCOMPARE(trace[i].Time, std::int64_t(120 + 10 * i));
    trace.Start(0, 0);
    QCOMPARE(trace.size(), std::size_t(0));
}

QTEST_APPLESS_MAIN(TestSim)
#include "tst_sim.moc"
