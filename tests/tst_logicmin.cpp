#include "sim/BoolExpr.h"
#include "sim/Minimize.h"

#include <QTest>

#include <algorithm>
#include <bit>
#include <numeric>
#include <random>

namespace {

std::size_t Words(int inputs) {
    return inputs <= 6 ? 1 : std::size_t(1) << (inputs - 6);
}

bool Has(const TRowSet &rows, std::size_t r) {
    return rows[r / 64] >> (r % 64) & 1;
}

void Put(TRowSet &rows, std::size_t r) {
    rows[r / 64] |= std::uint64_t(1) << (r % 64);
}

// Calls visit(row) for every row the cube holds, until it returns true.
template <typename TVisit> bool AnyRow(int inputs, TCube cube, TVisit visit) {
    const std::uint32_t free = ((1u << inputs) - 1) & ~cube.Care;
    for (std::uint32_t sub = free;; sub = (sub - 1) & free) {
        if (visit(std::size_t(cube.Value | sub))) return true;
        if (sub == 0) return false;
    }
}

std::pair<int, int> Cost(const TCover &cover) {
    int literals = 0;
    for (const TCube &cube : cover.Cubes)
        literals += cube.Literals();
    return {int(cover.Cubes.size()), literals};
}

struct TFunction {
    int Inputs = 0;
    TRowSet On, DontCare;
    bool IsOff(std::size_t r) const { return !Has(On, r) && !Has(DontCare, r); }
    TFunction Complement() const {
        TFunction off{Inputs, TRowSet(Words(Inputs)), DontCare};
        for (std::size_t r = 0; r < std::size_t(1) << Inputs; ++r)
            if (IsOff(r)) Put(off.On, r);
        return off;
    }
};

TFunction Random(int inputs, std::mt19937_64 &random, double density, double dontCares) {
    TFunction f{inputs, TRowSet(Words(inputs)), TRowSet(Words(inputs))};
    std::uniform_real_distribution<double> draw(0, 1);
    for (std::size_t r = 0; r < std::size_t(1) << inputs; ++r) {
        const double x = draw(random);
        if (x < dontCares)
            Put(f.DontCare, r);
        else if (x < dontCares + density)
            Put(f.On, r);
    }
    return f;
}

// The fewest cubes, then literals, that hold every on row and no off row: every cover contains a
// cube holding the lowest row not yet held, so trying those cubes finds every cover.
std::pair<int, int> BruteForce(const TFunction &f) {
    const std::uint32_t rows = 1u << f.Inputs, on = std::uint32_t(f.On[0]);
    std::vector<std::pair<std::uint32_t, int>> cubes; // rows held, literals
    for (std::uint32_t care = 0; care < rows; ++care)
        for (std::uint32_t value = care;; value = (value - 1) & care) {
            std::uint32_t held = 0;
            for (std::uint32_t r = 0; r < rows; ++r)
                if ((r & care) == value) held |= 1u << r;
            bool valid = true;
            for (std::uint32_t r = 0; r < rows; ++r)
                if ((held >> r & 1) && f.IsOff(r)) valid = false;
            if (valid) cubes.emplace_back(held, std::popcount(care));
            if (value == 0) break;
        }
    std::pair<int, int> best{INT_MAX, INT_MAX};
    const auto search = [&](auto &self, std::uint32_t held, int count, int literals) -> void {
        if (std::pair{count, literals} >= best) return;
        const std::uint32_t open = on & ~held;
        if (!open) {
            best = {count, literals};
            return;
        }
        const std::uint32_t lowest = open & (0u - open);
        for (const auto &[cube, cubeLiterals] : cubes)
            if (cube & lowest) self(self, held | cube, count + 1, literals + cubeLiterals);
    };
    search(search, 0, 0, 0);
    return best;
}

// Empty when the cover holds every on row and no off row, else the first row it gets wrong.
QString CoverFault(const TFunction &f, const TCover &cover) {
    TRowSet held(Words(f.Inputs));
    for (const TCube &cube : cover.Cubes) {
        if ((cube.Value & ~cube.Care) != 0) return "a cube with a value outside its care";
        AnyRow(f.Inputs, cube, [&](std::size_t r) { return Put(held, r), false; });
    }
    for (std::size_t r = 0; r < std::size_t(1) << f.Inputs; ++r) {
        if (Has(f.On, r) && !Has(held, r)) return QString("on row %1 not held").arg(r);
        if (f.IsOff(r) && Has(held, r)) return QString("off row %1 held").arg(r);
    }
    return {};
}

// Empty when dropping any literal of any cube would take in an off row.
QString PrimeFault(const TFunction &f, const TCover &cover) {
    for (const TCube &cube : cover.Cubes)
        for (std::uint32_t bit = 1; bit <= cube.Care; bit <<= 1) {
            if (!(cube.Care & bit)) continue;
            const TCube larger{cube.Care & ~bit, cube.Value & ~bit};
            if (!AnyRow(f.Inputs, larger, [&](std::size_t r) { return f.IsOff(r); }))
                return QString("a cube can lose bit %1").arg(bit);
        }
    return {};
}

// The functions a row of the minimality table stands for: all of them for up to 3 inputs
// (with every choice of `dontCares` don't-care rows), or `count` random ones.
std::vector<TFunction> Functions(int inputs, int dontCares, int count) {
    std::vector<TFunction> functions;
    const std::uint32_t rows = 1u << inputs;
    if (count == 0) {
        for (std::uint32_t dc = 0; dc < (1u << rows); ++dc) {
            if (std::popcount(dc) != dontCares) continue;
            for (std::uint64_t on = 0; on < (std::uint64_t(1) << rows); ++on)
                if (!(on & dc)) functions.push_back({inputs, {on}, {dc}});
        }
        return functions;
    }
    std::mt19937_64 random(inputs * 100 + dontCares);
    for (int i = 0; i < count; ++i)
        functions.push_back(Random(inputs, random, 0.5, dontCares * 0.1));
    return functions;
}

std::string Parseable(const std::vector<std::string> &names, const std::string &sum,
                      const std::string &product) {
    std::string all = names.empty() ? "0" : names[0];
    for (std::size_t i = 1; i < names.size(); ++i)
        all += " | " + names[i];
    // The first line fixes the inputs' order to the names' order.
    return "D = " + all + "\nS = " + sum + ";P = " + product;
}

} // namespace

class TestLogicMin : public QObject {
    Q_OBJECT

private slots:
    void minimalAgainstBruteForce_data();
    void minimalAgainstBruteForce();
    void coversAreRight_data();
    void coversAreRight();
    void costKeptUnderRenaming_data();
    void costKeptUnderRenaming();
    void expressions_data();
    void expressions();
    void badExpressions_data();
    void badExpressions();
    void printedFormsReadBack_data();
    void printedFormsReadBack();
};

void TestLogicMin::minimalAgainstBruteForce_data() {
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("dontCares");
    QTest::addColumn<int>("randomCount");
    for (int inputs = 0; inputs <= 3; ++inputs)
        QTest::addRow("all of %d inputs", inputs) << inputs << 0 << 0;
    QTest::addRow("all of 2 inputs, a don't-care") << 2 << 1 << 0;
    QTest::addRow("all of 3 inputs, a don't-care") << 3 << 1 << 0;
    QTest::addRow("all of 3 inputs, two don't-cares") << 3 << 2 << 0;
    QTest::addRow("random of 4 inputs") << 4 << 0 << 300;
    QTest::addRow("random of 4 inputs, don't-cares") << 4 << 2 << 300;
    // Cyclic cores large enough for the relaxations, their fixing of columns and the second
    // pass over literals.
    QTest::addRow("random of 5 inputs") << 5 << 0 << 60;
    QTest::addRow("random of 5 inputs, don't-cares") << 5 << 1 << 60;
}

void TestLogicMin::minimalAgainstBruteForce() {
    QFETCH(int, inputs);
    QFETCH(int, dontCares);
    QFETCH(int, randomCount);
    for (const TFunction &f : Functions(inputs, dontCares, randomCount)) {
        const QString which = QString("on %1, don't-care %2").arg(f.On[0]).arg(f.DontCare[0]);
        const TCover sum = MinimalSumOfProducts(inputs, f.On, f.DontCare);
        QVERIFY2(sum.Exact, qPrintable(which));
        QVERIFY2(CoverFault(f, sum).isEmpty(), qPrintable(which + ": " + CoverFault(f, sum)));
        QCOMPARE(Cost(sum), BruteForce(f));
        const TCover product = MinimalProductOfSums(inputs, f.On, f.DontCare);
        const TFunction zeros = f.Complement();
        QVERIFY2(CoverFault(zeros, product).isEmpty(), qPrintable(which + " (product)"));
        QCOMPARE(Cost(product), BruteForce(zeros));
    }
}

void TestLogicMin::coversAreRight_data() {
    QTest::addColumn<int>("inputs");
    QTest::addColumn<double>("density");
    QTest::addColumn<double>("dontCares");
    QTest::addColumn<int>("count");
    for (int inputs = 5; inputs <= 14; ++inputs)
        QTest::addRow("%d inputs", inputs) << inputs << 0.5 << 0.0 << (inputs <= 9 ? 10 : 1);
    QTest::addRow("8 inputs, sparse, don't-cares") << 8 << 0.1 << 0.2 << 10;
    QTest::addRow("11 inputs, dense, don't-cares") << 11 << 0.7 << 0.1 << 1;
    QTest::addRow("13 inputs, sparse") << 13 << 0.05 << 0.0 << 2;
    QTest::addRow("16 inputs, dense") << 16 << 0.9 << 0.05 << 1;
}

// Every cover holds exactly the on rows (don't-cares either way) and is made of primes; past
// the exact range it says it is not proven minimal.
void TestLogicMin::coversAreRight() {
    QFETCH(int, inputs);
    QFETCH(double, density);
    QFETCH(double, dontCares);
    QFETCH(int, count);
    std::mt19937_64 random(inputs);
    for (int i = 0; i < count; ++i) {
        const TFunction f = Random(inputs, random, density, dontCares);
        const TCover sum = MinimalSumOfProducts(inputs, f.On, f.DontCare);
        const TCover product = MinimalProductOfSums(inputs, f.On, f.DontCare);
        const std::pair<const TCover *, TFunction> checks[] = {{&sum, f},
                                                               {&product, f.Complement()}};
        for (const auto &[cover, function] : checks) {
            QCOMPARE(CoverFault(function, *cover), QString());
            QCOMPARE(PrimeFault(function, *cover), QString());
            if (inputs > MaxExactInputs) QVERIFY(!cover->Exact);
        }
    }
}

void TestLogicMin::costKeptUnderRenaming_data() {
    QTest::addColumn<int>("inputs");
    QTest::addColumn<double>("density");
    QTest::addColumn<double>("dontCares");
    QTest::addColumn<int>("count");
    QTest::addRow("6 inputs") << 6 << 0.5 << 0.0 << 30;
    QTest::addRow("7 inputs, don't-cares") << 7 << 0.45 << 0.1 << 12;
    // Many products with few literals to choose between: the literal search's fixing at work.
    QTest::addRow("7 inputs, dense") << 7 << 0.7 << 0.0 << 40;
    QTest::addRow("8 inputs") << 8 << 0.5 << 0.0 << 6;
    QTest::addRow("8 inputs, dense") << 8 << 0.7 << 0.0 << 6;
    QTest::addRow("9 inputs") << 9 << 0.5 << 0.0 << 3;
}

// Beyond what brute force reaches, the exact cost must not change when the inputs are reordered
// and some of them negated: a search that cuts a branch it should not finds different minima.
void TestLogicMin::costKeptUnderRenaming() {
    QFETCH(int, inputs);
    QFETCH(double, density);
    QFETCH(double, dontCares);
    QFETCH(int, count);
    std::mt19937_64 random(inputs * 7 + 1);
    for (int i = 0; i < count; ++i) {
        const TFunction f = Random(inputs, random, density, dontCares);
        std::vector<int> order(inputs);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
        const std::size_t negated = random() & ((std::size_t(1) << inputs) - 1);
        TFunction g{inputs, TRowSet(Words(inputs)), TRowSet(Words(inputs))};
        for (std::size_t r = 0; r < std::size_t(1) << inputs; ++r) {
            std::size_t moved = negated;
            for (int j = 0; j < inputs; ++j)
                moved ^= (r >> j & 1) << order[j];
            if (Has(f.On, r)) Put(g.On, moved);
            if (Has(f.DontCare, r)) Put(g.DontCare, moved);
        }
        for (const auto minimal : {&MinimalSumOfProducts, &MinimalProductOfSums}) {
            const TCover before = minimal(inputs, f.On, f.DontCare);
            const TCover after = minimal(inputs, g.On, g.DontCare);
            QVERIFY(before.Exact && after.Exact);
            QCOMPARE(Cost(after), Cost(before));
        }
    }
}

void TestLogicMin::expressions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("outputs");
    // Per output, its rows as bits, row 0 the lowest; input 0 is the rows' top bit.
    QTest::addColumn<QList<quint64>>("rows");
    QTest::addRow("adder") << "S = A ^ B; C = A & B" << QStringList{"A", "B"}
                           << QStringList{"S", "C"} << QList<quint64>{0x6, 0x8};
    QTest::addRow("and before or") << "F = A | B & C" << QStringList{"A", "B", "C"}
                                   << QStringList{"F"} << QList<quint64>{0xF8};
    QTest::addRow("and before xor") << "F = A ^ B & C" << QStringList{"A", "B", "C"}
                                    << QStringList{"F"} << QList<quint64>{0x78};
    QTest::addRow("xor before or") << "F = A | B ^ C" << QStringList{"A", "B", "C"}
                                   << QStringList{"F"} << QList<quint64>{0xF6};
    QTest::addRow("not before and")
        << "F = !A & B" << QStringList{"A", "B"} << QStringList{"F"} << QList<quint64>{0x2};
    QTest::addRow("parentheses") << "F = !(A & B)" << QStringList{"A", "B"} << QStringList{"F"}
                                 << QList<quint64>{0x7};
    QTest::addRow("other signs") << "F = (A + B)' * ~C" << QStringList{"A", "B", "C"}
                                 << QStringList{"F"} << QList<quint64>{0x1};
    QTest::addRow("quote after quote")
        << "F = A''" << QStringList{"A"} << QStringList{"F"} << QList<quint64>{0x2};
    QTest::addRow("quote binds before not")
        << "F = !A' & B" << QStringList{"A", "B"} << QStringList{"F"} << QList<quint64>{0x8};
    QTest::addRow("parity") << "F=A^B^C" << QStringList{"A", "B", "C"} << QStringList{"F"}
                            << QList<quint64>{0x96};
    QTest::addRow("constants") << "F = 1; G = 0; H = 1 & !0" << QStringList{}
                               << QStringList{"F", "G", "H"} << QList<quint64>{1, 0, 1};
    QTest::addRow("blank assignments, case")
        << "\r\n; S = a\n\n T\t= A & b ;" << QStringList{"a", "b"} << QStringList{"S", "T"}
        << QList<quint64>{0xC, 0x8};
    QTest::addRow("names") << "_x1 = y_2 | Y_2 & z" << QStringList{"y_2", "z"} << QStringList{"_x1"}
                           << QList<quint64>{0xC};
    QTest::addRow("inputs in order read") << "F = C & !A; G = B" << QStringList{"C", "A", "B"}
                                          << QStringList{"F", "G"} << QList<quint64>{0x30, 0xAA};
    QTest::addRow("byte-order mark")
        << "\xEF\xBB\xBFQ = P" << QStringList{"P"} << QStringList{"Q"} << QList<quint64>{0x2};
}

void TestLogicMin::expressions() {
    QFETCH(QString, text);
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, outputs);
    QFETCH(QList<quint64>, rows);
    const TExpressionSet set = ParseExpressions(text.toStdString());
    QStringList gotInputs, gotOutputs;
    for (const std::string &name : set.Inputs)
        gotInputs << QString::fromStdString(name);
    for (const TAssignment &output : set.Outputs)
        gotOutputs << QString::fromStdString(output.Name);
    QCOMPARE(gotInputs, inputs);
    QCOMPARE(gotOutputs, outputs);
    QList<quint64> gotRows;
    for (const TRowSet &r : ExpressionRows(set))
        gotRows << r.at(0);
    QCOMPARE(gotRows, rows);
}

void TestLogicMin::badExpressions_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");
    QTest::addRow("open parenthesis") << QByteArray("S = (A") << "column 7: ')' expected";
    QTest::addRow("assigned twice")
        << QByteArray("S = A; s = B") << "column 8: s is assigned twice";
    QTest::addRow("output read after")
        << QByteArray("S = A; T = S") << "column 12: S is an output and cannot be an input";
    QTest::addRow("output read before")
        << QByteArray("T = S\nS = A") << "column 5: S is an output and cannot be an input";
    QTest::addRow("output reads itself")
        << QByteArray("S = S") << "column 5: S is an output and cannot be an input";
    QTest::addRow("unknown character")
        << QByteArray("S = A $ B") << "column 7: unknown character '$'";
    QTest::addRow("characters, not bytes")
        << QByteArray("S = \xC3\xA9 \xC3\xA9") << "column 5: unknown character U+00E9";
    QTest::addRow("column over lines")
        << QByteArray("S = A\nT = A \xE2\x82\xAC") << "column 13: unknown character U+20AC";
    QTest::addRow("empty right-hand side")
        << QByteArray("S = \nT = A") << "column 5: empty right-hand side";
    QTest::addRow("two names") << QByteArray("S = A B") << "column 7: operator expected";
    QTest::addRow("closing too many") << QByteArray("S = A)") << "column 6: unbalanced ')'";
    QTest::addRow("no equals") << QByteArray("S A") << "column 3: '=' expected";
    QTest::addRow("no output") << QByteArray("= A") << "column 1: output name expected";
    QTest::addRow("no operand") << QByteArray("S = A &") << "column 8: operand expected";
    QTest::addRow("prefix after operand")
        << QByteArray("S = A !B") << "column 7: operator expected";
    QTest::addRow("number") << QByteArray("S = 10") << "column 5: 10 is neither 0, 1 nor a name";
    QTest::addRow("nothing") << QByteArray("") << "column 1: no assignment";
    QTest::addRow("only blanks") << QByteArray(" ;\n ") << "column 5: no assignment";
    QByteArray many = "S = I0";
    for (int i = 1; i <= 24; ++i)
        many += "|I" + QByteArray::number(i);
    QTest::addRow("25 inputs") << many
                               << QString("column %1: more than 24 inputs").arg(many.size() - 2);
    QTest::addRow("deep parentheses") << "S = " + QByteArray(300, '(') + "A" + QByteArray(300, ')')
                                      << "column 261: nested deeper than 256";
    QTest::addRow("deep negation") << "S = " + QByteArray(300, '!') + "A"
                                   << "column 261: nested deeper than 256";
    QTest::addRow("long name") << "S = " + QByteArray(65, 'N')
                               << "column 5: name longer than 64 characters";
    QByteArray terms = "S = A";
    for (int i = 0; i < 140'000; ++i)
        terms += "|A";
    // The term past the bound is the or that follows the 131072nd "|A".
    QTest::addRow("too many terms")
        << terms << QString("column %1: more than 262144 terms").arg(4 + 1 + 2 * 131072 + 1);
    QByteArray wide = many.left(many.lastIndexOf('|')) + "; T = I0";
    for (int i = 0; i < 4100; ++i)
        wide += "|I0";
    QTest::addRow("too much to evaluate")
        << wide << QString("column %1: 8248 terms are too many for 24 inputs").arg(wide.size() + 1);
}

void TestLogicMin::badExpressions() {
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    try {
        ParseExpressions(std::string_view(text.constData(), text.size()));
        QFAIL("no error");
    } catch (const EExpressionError &error) {
        QCOMPARE(QString::fromStdString(error.what()), message);
        QCOMPARE(error.Column, message.section(' ', 1, 1).chopped(1).toInt());
    }
}

void TestLogicMin::printedFormsReadBack_data() {
    QTest::addColumn<int>("inputs");
    QTest::addColumn<double>("dontCares");
    for (int inputs = 0; inputs <= 8; ++inputs)
        QTest::addRow("%d inputs", inputs) << inputs << 0.0;
    QTest::addRow("6 inputs, don't-cares") << 6 << 0.2;
    QTest::addRow("13 inputs, don't-cares") << 13 << 0.1;
}

// Whatever FormatSum and FormatProduct print reads back as the function, don't-cares aside.
void TestLogicMin::printedFormsReadBack() {
    QFETCH(int, inputs);
    QFETCH(double, dontCares);
    std::vector<std::string> names;
    for (int i = 0; i < inputs; ++i)
        names.push_back(i % 2 ? "In_" + std::to_string(i) : std::string(1, char('A' + i)));
    std::mt19937_64 random(inputs + 1000);
    const double densities[] = {0.0, 1.0, 0.1, 0.5, 0.9};
    for (const double density : densities) {
        const TFunction f = Random(inputs, random, density, dontCares);
        const std::string sum = FormatSum(MinimalSumOfProducts(inputs, f.On, f.DontCare), names);
        const std::string product =
            FormatProduct(MinimalProductOfSums(inputs, f.On, f.DontCare), names);
        const std::string text = Parseable(names, sum, product);
        const std::vector<TRowSet> rows = ExpressionRows(ParseExpressions(text));
        for (std::size_t r = 0; r < std::size_t(1) << inputs; ++r) {
            if (Has(f.DontCare, r)) continue;
            QVERIFY2(Has(rows[1], r) == Has(f.On, r), text.c_str());
            QVERIFY2(Has(rows[2], r) == Has(f.On, r), text.c_str());
        }
    }
}

QTEST_APPLESS_MAIN(TestLogicMin)
#include "tst_logicmin.moc"
