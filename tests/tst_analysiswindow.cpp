#include "app/AnalysisWindow.h"
#include "app/KarnaughView.h"
#include "app/Main.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"
#include "sim/BoolExpr.h"

#include "classlib/Buttons.h"

#include "support/UserInput.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <bit>
#include <map>
#include <memory>
#include <set>

class TestAnalysisWindow : public QObject {
    Q_OBJECT

private slots:
    void mapCellsFollowTheGrayCode_data();
    void mapCellsFollowTheGrayCode();
    void networkAnalysedAndBuilt_data();
    void networkAnalysedAndBuilt();
};

// Neighbouring cells, the edges wrapping round, differ in one input; a product's pieces cover
// exactly its rows.
void TestAnalysisWindow::mapCellsFollowTheGrayCode_data() {
    QTest::addColumn<int>("inputs");
    QTest::addColumn<uint>("care");
    QTest::addColumn<uint>("value");
    QTest::addColumn<int>("pieces");
    QTest::newRow("2: !A") << 2 << 2u << 0u << 1;
    QTest::newRow("3: !C, over the side") << 3 << 1u << 0u << 2;
    QTest::newRow("4: !B & !D, the corners") << 4 << 5u << 0u << 4;
    QTest::newRow("4: A & C") << 4 << 10u << 10u << 1;
    QTest::newRow("4: the whole map") << 4 << 0u << 0u << 1;
}

void TestAnalysisWindow::mapCellsFollowTheGrayCode() {
    QFETCH(int, inputs);
    QFETCH(uint, care);
    QFETCH(uint, value);
    QFETCH(int, pieces);
    const int rows = 1 << TKarnaughView::RowInputs(inputs);
    const int columns = 1 << (inputs - TKarnaughView::RowInputs(inputs));
    std::map<std::pair<int, int>, std::uint32_t> cells;
    for (std::uint32_t row = 0; row < (1u << inputs); ++row) {
        const QPoint cell = TKarnaughView::CellOfRow(inputs, row);
        QVERIFY(cell.x() >= 0 && cell.x() < columns && cell.y() >= 0 && cell.y() < rows);
        QVERIFY(cells.emplace(std::pair(cell.x(), cell.y()), row).second);
    }
    for (const auto &[cell, row] : cells) {
        const std::uint32_t right = cells.at({(cell.first + 1) % columns, cell.second});
        const std::uint32_t below = cells.at({cell.first, (cell.second + 1) % rows});
        for (const std::uint32_t next : {right, below})
            if (next != row) QCOMPARE(std::popcount(next ^ row), 1);
    }
    const std::vector<QRect> rects = TKarnaughView::CubeRects(inputs, {care, value});
    QCOMPARE(int(rects.size()), pieces);
    std::set<std::uint32_t> covered;
    for (const QRect &rect : rects)
        for (int x = rect.left(); x <= rect.right(); ++x)
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                QVERIFY(covered.insert(cells.at({x, y})).second);
    for (std::uint32_t row = 0; row < (1u << inputs); ++row)
        QCOMPARE(covered.contains(row), (row & care) == value);
}

// Through the tool bar button and the window's own buttons: the analysis of a sample, its refusal,
// and the networks built from the sums and from typed expressions computing what they should.
void TestAnalysisWindow::networkAnalysedAndBuilt_data() {
    // A network analysed first in the same window, whose table the view still shows.
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expressions");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("built");
    QTest::newRow("half adder, rebuilt")
        << QString() << "half_adder.ZTR" << QString()
        << "LogPort5 = LogPort1 & !LogPort2 | !LogPort1 & LogPort2 / LogPort5 = (!LogPort1 | "
           "!LogPort2) & (LogPort1 | LogPort2)"
        << "LogPort1 LogPort2 | LogPort5 LogPort6";
    QTest::newRow("flip-flop refused after a table, full adder typed")
        << "half_adder.ZTR"
        << "d_latch.ZTR"
        << "S = A ^ B ^ Cin; Cout = A & B | Cin & (A ^ B)"
        << "Non si può analizzare: LogPort3 is a D flip-flop"
        << "A B Cin | S Cout";
    QTest::newRow("bad expression") << QString() << "half_adder.ZTR"
                                    << "S = A & (B"
                                    << "column 11: ')' expected" << QString();
}

void TestAnalysisWindow::networkAnalysedAndBuilt() {
    QFETCH(QString, before);
    QFETCH(QString, file);
    QFETCH(QString, expressions);
    QFETCH(QString, shown);
    QFETCH(QString, built);
    auto main = std::make_unique<TFormZentaroMain>(nullptr);
    main->Show();
    QVERIFY(QTest::qWaitForWindowExposed(main->Widget()));
    if (!before.isEmpty()) {
        main->OpenNetwork(QStringLiteral(ZENTARO_CORPUS_DIR "/good/%1").arg(before).toStdString());
        UserInput::Click(main->BtnAnalysis, {15, 15});
        QVERIFY(main->Analysis() && QTest::qWaitForWindowExposed(main->Analysis()));
    }
    TFormZentaroChild *network =
        main->OpenNetwork(QStringLiteral(ZENTARO_CORPUS_DIR "/good/%1").arg(file).toStdString());
    QVERIFY(network);
    UserInput::Click(main->BtnAnalysis, {15, 15});
    TAnalysisWindow *window = main->Analysis();
    QVERIFY(window && window->isVisible());
    if (expressions.isEmpty()) {
        QCOMPARE(window->SumText() + " / " + window->ProductText(), shown);
        QVERIFY(window->Map().HasMap());
        UserInput::Click(&window->BuildButton(), {10, 10});
    } else {
        if (!shown.startsWith("column")) QCOMPARE(window->Refusal(), shown);
        window->ExpressionField().setText(expressions);
        UserInput::Click(&window->BuildFromExpressionsButton(), {10, 10});
    }
    const int windows = (built.isEmpty() ? 1 : 2) + (before.isEmpty() ? 0 : 1);
    QCOMPARE(main->MDIChildCount(), windows);
    if (built.isEmpty()) {
        QCOMPARE(window->ExpressionError().text(), shown);
        return;
    }
    auto *made = dynamic_cast<TFormZentaroChild *>(main->ActiveMDIChild());
    QVERIFY(made && made != network);
    QVERIFY(made->Modified);
    QCOMPARE(made->FileName, std::string("NoName.ZTR"));
    // The new network computes what it was built from.
    const TNetworkFunction function = AnalyzeNetwork(SimSnapshot(*made));
    QCOMPARE(QString::fromStdString(FormatTruthTable(function)).section('\n', 0, 0), built);
    if (expressions.isEmpty()) {
        QCOMPARE(function.Rows, window->Function().Rows);
    } else {
        QCOMPARE(function.Rows, ExpressionRows(ParseExpressions(expressions.toStdString())));
    }
}

QTEST_MAIN(TestAnalysisWindow)
#include "tst_analysiswindow.moc"
