#include "Util.h"
#include "classlib/Menus.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"
#include "document/SynthesisBuild.h"
#include "gates/LogicCmp.h"
#include "sim/Synthesis.h"
#include "sim/TruthTable.h"
#include "stream/MemoryStream.h"

#include <QRect>
#include <QTest>

#include <set>

#include <functional>
#include <map>

using enum TLogicalPortType;

namespace {

// "10-,0-1": products over the inputs, each input 1 (plain), 0 (negated) or - (absent); "" is
// the constant 0 and "-" (all absent) the constant 1.
TCover Cover(const QString &text) {
    TCover cover;
    for (const QString &product : text.split(',', Qt::SkipEmptyParts)) {
        TCube cube;
        for (const QChar c : product) {
            cube.Care = cube.Care << 1 | (c != '-');
            cube.Value = cube.Value << 1 | (c == '1');
        }
        cover.Cubes.push_back(cube);
    }
    return cover;
}

std::vector<std::string> Names(const QString &names) {
    std::vector<std::string> list;
    for (const QString &name : names.split(' ', Qt::SkipEmptyParts))
        list.push_back(name.toStdString());
    return list;
}

// The level of every port of the plan for one row of inputs, by the gates' own rules.
std::vector<TLevel> Evaluate(const TSynthesisPlan &plan, std::uint32_t row, int inputs) {
    std::vector<int> level(plan.Ports.size(), -1);
    std::function<TLevel(int)> value = [&](int p) -> TLevel {
        if (p < 0) return 0;
        if (p < inputs) return row >> (inputs - 1 - p) & 1;
        if (level[std::size_t(p)] < 0) {
            const TPlannedPort &port = plan.Ports[std::size_t(p)];
            level[std::size_t(p)] =
                ComputeLevels(port.Kind, {value(port.InA), value(port.InB)}).Output;
        }
        return TLevel(level[std::size_t(p)]);
    };
    std::vector<TLevel> levels;
    for (std::size_t p = 0; p < plan.Ports.size(); ++p)
        levels.push_back(value(int(p)));
    return levels;
}

bool CoverHolds(const TCover &cover, std::uint32_t row) {
    for (const TCube &cube : cover.Cubes)
        if ((row & cube.Care) == cube.Value) return true;
    return false;
}

QRect Box(const TPlannedPort &port) {
    return {port.Left, port.Top, port.Width, port.Height};
}

} // namespace

class TestSynthesis : public QObject {
    Q_OBJECT

private slots:
    void plans_data();
    void plans();
    void nameRefusals_data();
    void nameRefusals();
    void everyPartOfTheWindowIsRefused();
    void builtNetworkReadsBackAndComputesThePlan();
};

void TestSynthesis::plans_data() {
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<QStringList>("sums");
    QTest::addColumn<bool>("nand");
    // The gates planned, as "kind count" in the order AND OR NOT NAND.
    QTest::addColumn<QList<int>>("gates");
    QTest::newRow("half adder") << "A B" << QStringList{"10,01", "11"} << false
                                << QList<int>{3, 1, 2, 0};
    QTest::newRow("product shared by two sums")
        << "A B C" << QStringList{"11-,--1", "11-,--0"} << false << QList<int>{1, 2, 1, 0};
    QTest::newRow("literals straight to lamps")
        << "A" << QStringList{"1", "0"} << false << QList<int>{0, 0, 1, 0};
    QTest::newRow("equal outputs, one gate")
        << "A B" << QStringList{"11", "11", "11"} << false << QList<int>{1, 0, 0, 0};
    QTest::newRow("constants") << "A" << QStringList{"", "-", "-"} << false
                               << QList<int>{0, 0, 1, 0};
    QTest::newRow("five literals, balanced")
        << "A B C D E" << QStringList{"10101"} << false << QList<int>{4, 0, 2, 0};
    QTest::newRow("three products of three")
        << "A B C D" << QStringList{"110-,0-11,1-01"} << false << QList<int>{6, 2, 2, 0};
    QTest::newRow("half adder, NAND")
        << "A B" << QStringList{"10,01", "11"} << true << QList<int>{0, 0, 0, 7};
    QTest::newRow("single literals in a sum, NAND")
        << "A B" << QStringList{"1-,-0"} << true << QList<int>{0, 0, 0, 2};
    QTest::newRow("wide sum of wide products, NAND")
        << "A B C D" << QStringList{"111-,0-00,1-01", "111-"} << true << QList<int>{0, 0, 0, 16};
    QTest::newRow("constants, NAND")
        << "A" << QStringList{"-", "", "1"} << true << QList<int>{0, 0, 0, 1};
}

void TestSynthesis::plans() {
    QFETCH(QString, inputs);
    QFETCH(QStringList, sums);
    QFETCH(bool, nand);
    QFETCH(QList<int>, gates);
    const std::vector<std::string> inputNames = Names(inputs);
    std::vector<std::string> outputs;
    std::vector<TCover> covers;
    for (const QString &sum : sums) {
        outputs.push_back("Out" + std::to_string(outputs.size()));
        covers.push_back(Cover(sum));
    }
    const int n = int(inputNames.size());
    const TSynthesisPlan plan = PlanNetwork(inputNames, outputs, covers,
                                            nand ? TSynthesisGates::Nand : TSynthesisGates::AndOr);
    const std::size_t lamps = plan.Ports.size() - outputs.size();

    std::map<TLogicalPortType, int> count;
    for (std::size_t p = 0; p < plan.Ports.size(); ++p) {
        const TPlannedPort &port = plan.Ports[p];
        const bool isInput = p < std::size_t(n), isLamp = p >= lamps;
        QCOMPARE(port.Kind == logPLS, isInput);
        QCOMPARE(port.Kind == logLED, isLamp);
        QCOMPARE(port.Name, isInput  ? inputNames[p]
                            : isLamp ? outputs[p - lamps]
                                     : "LogPort" + std::to_string(p + 1 - std::size_t(n)));
        if (!isInput && !isLamp) ++count[port.Kind];
        // On the grid, sized as the program sizes them, apart from each other, wires running
        // rightwards and a lamp in line with what feeds it.
        QVERIFY(port.Left % 4 == 0 && port.Top % 4 == 0 && port.Left >= 0 && port.Top >= 0);
        QCOMPARE(QSize(port.Width, port.Height), isLamp ? QSize(40, 40) : QSize(50, 40));
        for (std::size_t q = 0; q < p; ++q)
            QVERIFY2(!Box(port).adjusted(-12, -12, 12, 12).intersects(Box(plan.Ports[q])),
                     (port.Name + " close to " + plan.Ports[q].Name).c_str());
        for (const int in : {port.InA, port.InB})
            if (in >= 0) QVERIFY(plan.Ports[std::size_t(in)].Left < port.Left);
        if (isLamp && port.InA >= 0) QCOMPARE(port.Top, plan.Ports[std::size_t(port.InA)].Top);
        if (port.InA >= 0 && port.InB >= 0)
            QVERIFY(plan.Ports[std::size_t(port.InA)].Top <= plan.Ports[std::size_t(port.InB)].Top);
    }
    QCOMPARE((QList<int>{count[logAND], count[logOR], count[logNOT], count[logNAND]}), gates);
    for (std::uint32_t row = 0; row < 1u << n; ++row) {
        const std::vector<TLevel> levels = Evaluate(plan, row, n);
        for (std::size_t o = 0; o < outputs.size(); ++o)
            QVERIFY2(levels[lamps + o] == CoverHolds(covers[o], row),
                     (outputs[o] + " at row " + std::to_string(row)).c_str());
    }
}

void TestSynthesis::nameRefusals_data() {
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<QString>("outputs");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("fine") << "A _b c_9"
                          << "LogPort S"
                          << "";
    QTest::newRow("digit first") << "9A"
                                 << "S"
                                 << "\"9A\" is not a component name (a letter or _, then letters, "
                                    "digits and _, at most 63 characters)";
    QTest::newRow("64 characters") << QString(64, 'x') << "S"
                                   << "\"" + QString(64, 'x') +
                                          "\" is not a component name (a letter or _, then "
                                          "letters, digits and _, at most 63 characters)";
    QTest::newRow("accent") << "A"
                            << "Sé"
                            << "\"Sé\" is not a component name (a letter or _, then letters, "
                               "digits and _, at most 63 characters)";
    QTest::newRow("window part, any case")
        << "paneltop"
        << "S"
        << "\"paneltop\" is the name of a part of the network window (PanelTop)";
    // An analysed network's own names come back: the gates' numbers go around them.
    QTest::newRow("the gates' names") << "LogPort1 logport2"
                                      << "LogPort3 LOGPORT5"
                                      << "";
    QTest::newRow("twice") << "A B"
                           << "A"
                           << "\"A\" is given twice";
    QTest::newRow("same but for case") << "Sum a"
                                       << "SUM"
                                       << "\"Sum\" and \"SUM\" are the same name";
    QTest::newRow("no outputs") << "A"
                                << ""
                                << "no outputs to build";
}

void TestSynthesis::nameRefusals() {
    QFETCH(QString, inputs);
    QFETCH(QString, outputs);
    QFETCH(QString, refusal);
    const std::vector<std::string> outputNames = Names(outputs);
    const std::vector<TCover> sums(outputNames.size(), Cover("-"));
    QString got;
    try {
        const TSynthesisPlan plan =
            PlanNetwork(Names(inputs), outputNames, sums, TSynthesisGates::AndOr);
        std::set<QString> names;
        for (const TPlannedPort &port : plan.Ports)
            QVERIFY2(names.insert(QString::fromStdString(port.Name).toLower()).second,
                     port.Name.c_str());
    } catch (const ESynthesisError &error) {
        got = QString::fromUtf8(error.what());
    }
    QCOMPARE(got, refusal);
}

void TestSynthesis::everyPartOfTheWindowIsRefused() {
    TFormZentaroChild window(nullptr);
    std::function<void(const TComponent &)> check = [&](const TComponent &component) {
        QVERIFY2(!NameRefusal(component.Name()).empty(), component.Name().c_str());
        for (const TComponent *owned : component.Components())
            check(*owned);
    };
    check(window);
}

void TestSynthesis::builtNetworkReadsBackAndComputesThePlan() {
    const std::vector<std::string> inputs = Names("A B C"), outputs = Names("S T U");
    const TSynthesisPlan plan =
        PlanNetwork(inputs, outputs, {Cover("10-,0-1"), Cover("111"), Cover("10-,0-1")},
                    TSynthesisGates::AndOr);
    TMemoryStream image;
    {
        TFormZentaroChild window(nullptr);
        BuildNetwork(window, plan);
        QVERIFY(!window.FindComponent("PanelDefComp"));
        for (const TPlannedPort &planned : plan.Ports) {
            auto *port = dynamic_cast<TLogicalPort *>(window.FindComponent(planned.Name));
            QVERIFY(port);
            QCOMPARE(port->PopupMenu(), window.PopupMenuPort);
            QCOMPARE(port->OnDragDrop.Name(), std::string("LogicalPortDragDrop"));
            QCOMPARE(port->UpdateDelay(), 10);
        }
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, BuildNetwork(window, plan));
        image = NetworkFileImage(window);
    }
    TFormZentaroChild again(nullptr);
    again.DestroyComponents();
    image.Seek(0);
    ReadNetworkImage(image, again);
    TSimNetwork network = SimSnapshot(again);
    QCOMPARE(network.Ports.size(), plan.Ports.size());
    for (std::size_t p = 0; p < plan.Ports.size(); ++p) {
        QCOMPARE(network.Names[p], plan.Ports[p].Name);
        QCOMPARE(network.Ports[p].Kind, plan.Ports[p].Kind);
        QCOMPARE(network.Ports[p].InA, plan.Ports[p].InA);
        QCOMPARE(network.Ports[p].InB, plan.Ports[p].InB);
    }
    const TTruthTable table = ParseTruthTable("A B C | S T U\n"
                                              "0 0 0 | 0 0 0\n0 0 1 | 1 0 1\n0 1 0 | 0 0 0\n"
                                              "0 1 1 | 1 0 1\n1 0 0 | 1 0 1\n1 0 1 | 1 0 1\n"
                                              "1 1 0 | 0 0 0\n1 1 1 | 0 1 0\n");
    for (const TRowResult &row : RunTruthTable(network, table, DefaultSettleTime(network)))
        QVERIFY2(row.Passed, ("line " + std::to_string(row.Line)).c_str());
}

QTEST_MAIN(TestSynthesis)
#include "tst_synthesis.moc"
