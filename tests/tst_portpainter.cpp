#include "gates/LogicCmp.h"
#include "gates/PortPainter.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <functional>
#include <utility>
#include <vector>

using enum TLogicalPortType;
using TDraw = std::function<void(TCanvas &)>;
using TProbes = std::vector<std::pair<QPoint, QColor>>;

namespace {

TPortLook Look(TLogicalPortType kind, int width = 50, int height = 40) {
    TPortLook look;
    look.Kind = kind;
    look.Width = width;
    look.Height = height;
    look.ParentColor = clBtnFace;
    look.Font.SetColor(clWhite);
    return look;
}

QStringList Record(const TPortLook &look) {
    TRecordingCanvas canvas;
    PaintPort(canvas, look);
    return canvas.Calls();
}

QStringList Texts(const QStringList &calls) {
    return calls.filter(QStringLiteral("TextOut "));
}

QColor Pixel(const QImage &image, QPoint at, qreal ratio) {
    return image.pixelColor(int(at.x() * ratio), int(at.y() * ratio));
}

} // namespace

class TestPortPainter : public QObject {
    Q_OBJECT
private slots:
    void gateShapes_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("shapes");
        const QString body = " pen=clear brush=solid:clBlack";
        const QString front = "Ellipse 0 0 50 40" + body, block = "Rectangle 0 0 33 40" + body,
                      shortFront = "Ellipse 0 0 38 40" + body,
                      shortBlock = "Rectangle 0 0 27 40" + body,
                      bubble = "Ellipse 38 14 50 26 pen=solid:1:clBlack brush=solid:clBlack",
                      back = "Ellipse -11 0 11 40 pen=clear brush=solid:clBtnFace",
                      curve = "Ellipse -15 0 7 40 pen=solid:2:clBlack brush=clear";
        // clang-format off
        QTest::newRow("AND") << int(logAND) << QStringList{front, block};
        QTest::newRow("OR") << int(logOR) << QStringList{front, block, back};
        QTest::newRow("XOR") << int(logXOR) << QStringList{front, block, back, curve};
        QTest::newRow("NAND") << int(logNAND) << QStringList{shortFront, bubble, shortBlock};
        QTest::newRow("NOR") << int(logNOR) << QStringList{shortFront, bubble, shortBlock, back};
        QTest::newRow("NXOR") << int(logNXOR) << QStringList{shortFront, bubble, shortBlock, back, curve};
        QTest::newRow("NOT") << int(logNOT) << QStringList{"Polygon (0,40) (0,0) (38,20)" + body, bubble};
        QTest::newRow("CLK") << int(logCLK) << QStringList{front, "Rectangle 0 0 50 40" + body};
        QTest::newRow("FFD") << int(logFFD) << QStringList{front,
            "Polygon (0,0) (42,0) (50,8) (50,32) (42,40) (0,40)" + body};
        QTest::newRow("FFJK") << int(logFFJK) << QStringList{front,
            "Polygon (8,0) (42,0) (50,8) (50,32) (42,40) (8,40) (0,32) (0,8)" + body};
        // clang-format on
    }
    void gateShapes() {
        QFETCH(int, kind);
        QFETCH(QStringList, shapes);
        TPortLook look = Look(TLogicalPortType(kind));
        look.ShowType = look.ShowPortState = false;
        QCOMPARE(Record(look), shapes);
    }

    void texts_data() {
        QTest::addColumn<TPortLook>("look");
        QTest::addColumn<QStringList>("texts");
        auto look = [](TLogicalPortType kind, int w, int h, TLevel a, TLevel b, TLevel out,
                       bool type, bool state, int fontHeight = -11) {
            TPortLook l = Look(kind, w, h);
            l.InA = a, l.InB = b, l.Output = out, l.ShowType = type, l.ShowPortState = state;
            l.Font.SetHeight(fontHeight);
            return l;
        };
        const auto t = [](int x, int y, const char *text) {
            return QStringLiteral("TextOut %1 %2 \"%3\" font=clWhite").arg(x).arg(y).arg(text);
        };
        // clang-format off
        QTest::newRow("AND") << look(logAND, 50, 40, 1, 0, 1, true, true)
            << QStringList{t(16, 11, "AND"), t(1, 2, "1"), t(1, 27, "0"), t(42, 12, "1")};
        QTest::newRow("OR marks further in") << look(logOR, 50, 40, 0, 1, 1, true, true)
            << QStringList{t(19, 11, "OR"), t(6, 2, "0"), t(6, 27, "1"), t(42, 12, "1")};
        QTest::newRow("NXOR odd size") << look(logNXOR, 81, 61, 1, 1, 1, true, true)
            << QStringList{t(28, 21, "NXOR"), t(10, 2, "1"), t(10, 48, "1"), t(73, 22, "1")};
        QTest::newRow("FFJK marks at the cut") << look(logFFJK, 50, 40, 0, 0, 0, true, true)
            << QStringList{t(13, 11, "FFJK"), t(8, 2, "0"), t(8, 27, "0"), t(42, 12, "0")};
        QTest::newRow("NOT one centred mark") << look(logNOT, 50, 40, 0, 1, 1, true, true)
            << QStringList{t(16, 11, "NOT"), t(1, 12, "0"), t(42, 12, "1")};
        QTest::newRow("larger font") << look(logAND, 80, 60, 0, 0, 0, true, true, -14)
            << QStringList{t(31, 18, "AND"), t(1, 2, "0"), t(1, 44, "0"), t(72, 19, "0")};
        QTest::newRow("label only") << look(logCLK, 50, 40, 1, 1, 1, true, false)
            << QStringList{t(16, 11, "CLK")};
        QTest::newRow("marks only") << look(logFFD, 50, 40, 1, 0, 0, false, true)
            << QStringList{t(1, 2, "1"), t(1, 27, "0"), t(42, 12, "0")};
        QTest::newRow("shape only") << look(logXOR, 50, 40, 1, 0, 1, false, false) << QStringList{};
        QTest::newRow("lamp") << look(logLED, 40, 40, 1, 0, 1, true, true) << QStringList{};
        QTest::newRow("switch") << look(logPLS, 50, 40, 0, 0, 1, true, true) << QStringList{};
        // clang-format on
    }
    void texts() {
        QFETCH(TPortLook, look);
        QFETCH(QStringList, texts);
        QCOMPARE(Texts(Record(look)), texts);
    }

    void lampAndSwitch_data() {
        QTest::addColumn<TPortLook>("look");
        QTest::addColumn<QStringList>("shapes");
        auto look = [](TLogicalPortType kind, int w, int h, TLevel out) {
            TPortLook l = Look(kind, w, h);
            l.Output = out;
            return l;
        };
        auto lamp = [](QList<QRect> boxes, const char *core, const char *shade, const char *gleam) {
            const QString pens[] = {"pen=solid:1:clWhite",
                                    "pen=solid:1:clBlack",
                                    "pen=solid:1:clBtnShadow",
                                    "pen=solid:1:clBtnShadow",
                                    "pen=clear",
                                    "pen=clear",
                                    "pen=clear"};
            const QString brushes[] = {"clBtnShadow", "clBtnShadow", "clBtnShadow", core,
                                       gleam,         shade,         core};
            QStringList shapes;
            for (int i = 0; i < 7; ++i)
                shapes << QStringLiteral("Ellipse %1 %2 %3 %4 %5 brush=solid:%6")
                              .arg(boxes[i].left())
                              .arg(boxes[i].top())
                              .arg(boxes[i].right())
                              .arg(boxes[i].bottom())
                              .arg(pens[i], brushes[i]);
            return shapes;
        };
        // Boxes as (left, top, right, bottom) through QRect's corner points.
        auto box = [](int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r, b)); };
        const QList<QRect> square = {box(0, 0, 39, 39), box(1, 1, 40, 40),  box(1, 1, 39, 39),
                                     box(6, 6, 34, 34), box(16, 9, 32, 27), box(10, 16, 27, 32),
                                     box(9, 9, 31, 31)};
        QTest::newRow("lamp lit") << look(logLED, 40, 40, 1)
                                  << lamp(square, "clRed", "clMaroon", "clWhite");
        QTest::newRow("lamp dark")
            << look(logLED, 40, 40, 0) << lamp(square, "clMaroon", "clBlack", "clRed");
        QTest::newRow("lamp wide")
            << look(logLED, 50, 40, 1)
            << lamp({box(5, 0, 44, 39), box(6, 1, 45, 40), box(6, 1, 44, 39), box(11, 6, 39, 34),
                     box(21, 9, 37, 27), box(15, 16, 32, 32), box(14, 9, 36, 31)},
                    "clRed", "clMaroon", "clWhite");
        const QString face = "Rectangle 0 0 50 40 pen=solid:1:clBlack brush=solid:clBtnFace";
        QTest::newRow("switch pressed")
            << look(logPLS, 50, 40, 1)
            << QStringList{face, "Bevel 4 4 46 36 clBtnShadow clBtnHighlight 2"};
        QTest::newRow("switch raised")
            << look(logPLS, 50, 40, 0)
            << QStringList{face, "Bevel 4 4 46 36 clBtnHighlight clBtnShadow 2"};
        QTest::newRow("switch small")
            << look(logPLS, 30, 20, 0)
            << QStringList{"Rectangle 0 0 30 20 pen=solid:1:clBlack brush=solid:clBtnFace",
                           "Bevel 4 4 26 16 clBtnHighlight clBtnShadow 2"};
    }
    void lampAndSwitch() {
        QFETCH(TPortLook, look);
        QFETCH(QStringList, shapes);
        // The label and mark flags do not change these looks.
        for (bool flags : {true, false}) {
            look.ShowType = look.ShowPortState = flags;
            QCOMPARE(Record(look), shapes);
        }
    }

    void border_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("border");
        for (int kind = 0; kind < LogicalPortTypeCount; ++kind)
            for (bool border : {false, true})
                QTest::addRow("%s %s", LogicalPortTypeNames[kind].data(),
                              border ? "framed" : "plain")
                    << kind << border;
    }
    void border() {
        QFETCH(int, kind);
        QFETCH(bool, border);
        TPortLook look = Look(TLogicalPortType(kind), 50 + kind, 40);
        look.Border = border;
        const QStringList calls = Record(look);
        const QString frame =
            QStringLiteral("Rectangle 0 0 %1 40 pen=dot:1:clBlack brush=clear").arg(50 + kind);
        QCOMPARE(calls.last() == frame, border);
        QCOMPARE(calls.filter("pen=dot").size(), border ? 1 : 0);
    }

    // The painter canvas covers exactly the pixels of the exclusive boxes, at any pixel ratio.
    void painterCanvas_data() {
        QTest::addColumn<TDraw>("draw");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QRect>("covered");
        QTest::addColumn<TProbes>("probes");
        const QColor red(Qt::red), blue(Qt::blue), none(Qt::transparent);
        using enum TPenStyle;
        using enum TBrushStyle;
        struct TRow {
            const char *Name;
            TPenStyle Pen;
            int PenWidth;
            TBrushStyle Brush;
            TDraw Shape;
            QRect Covered;
            TProbes Probes;
        };
        // clang-format off
        const std::vector<TRow> rows = {
            {"outlined rectangle", psSolid, 1, bsSolid, [](TCanvas &c) { c.Rectangle(2, 3, 10, 8); },
             QRect(2, 3, 8, 5), {{{2, 3}, red}, {{9, 7}, red}, {{9, 3}, red}, {{3, 4}, blue}}},
            {"filled rectangle", psClear, 1, bsSolid, [](TCanvas &c) { c.Rectangle(2, 3, 10, 8); },
             QRect(2, 3, 8, 5), {{{2, 3}, blue}, {{9, 7}, blue}}},
            {"reversed rectangle", psClear, 1, bsSolid, [](TCanvas &c) { c.Rectangle(10, 8, 2, 3); },
             QRect(2, 3, 8, 5), {}},
            {"filled ellipse", psClear, 1, bsSolid, [](TCanvas &c) { c.Ellipse(2, 3, 12, 9); },
             QRect(2, 3, 10, 6), {{{7, 6}, blue}, {{2, 3}, none}}},
            {"outlined ellipse", psSolid, 1, bsSolid, [](TCanvas &c) { c.Ellipse(2, 3, 12, 9); },
             QRect(2, 3, 10, 6), {{{7, 6}, blue}, {{7, 3}, red}, {{11, 6}, red}}},
            {"wide pen inside the box", psSolid, 2, bsClear, [](TCanvas &c) { c.Ellipse(2, 2, 14, 14); },
             QRect(2, 2, 12, 12), {{{8, 8}, none}, {{8, 2}, red}, {{8, 3}, red}}},
            {"filled polygon", psClear, 1, bsSolid,
             [](TCanvas &c) { c.Polygon({{2, 2}, {10, 2}, {10, 8}, {2, 8}}); }, QRect(2, 2, 8, 6), {}},
            {"dotted frame", psDot, 1, bsClear, [](TCanvas &c) { c.Rectangle(1, 1, 9, 6); },
             QRect(1, 1, 8, 5), {{{1, 1}, red}, {{2, 1}, none}, {{3, 1}, red}, {{2, 2}, none}}},
            {"bevel", psClear, 1, bsClear, [](TCanvas &c) { c.Bevel(1, 1, 9, 7, clRed, clBlue, 2); },
             QRect(1, 1, 8, 6),
             {{{1, 1}, red}, {{8, 1}, blue}, {{1, 6}, blue}, {{2, 2}, red}, {{7, 2}, blue}, {{3, 3}, none}}},
        };
        // clang-format on
        for (qreal ratio : {1.0, 2.0})
            for (const TRow &row : rows) {
                const TDraw draw = [row](TCanvas &c) {
                    c.SetPen(row.Pen, row.PenWidth, clRed);
                    c.SetBrush(row.Brush, clBlue);
                    row.Shape(c);
                };
                QTest::addRow("%s x%g", row.Name, ratio)
                    << draw << ratio << row.Covered << row.Probes;
            }
    }
    void painterCanvas() {
        QFETCH(TDraw, draw);
        QFETCH(qreal, ratio);
        QFETCH(QRect, covered);
        QFETCH(TProbes, probes);
        QImage image(int(16 * ratio), int(16 * ratio), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            TPainterCanvas canvas(painter);
            draw(canvas);
        }
        QRect painted;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y))) painted |= QRect(x, y, 1, 1);
        QCOMPARE(painted, QRect(covered.topLeft() * ratio, covered.size() * ratio));
        for (const auto &[at, color] : probes)
            QCOMPARE(Pixel(image, at, ratio), color);
    }

    void picture_data() {
        QTest::addColumn<TPortLook>("look");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<TProbes>("probes");
        const QColor black(Qt::black), none(Qt::transparent);
        const QColor face = ColorToQColor(clBtnFace), light = ColorToQColor(clBtnHighlight),
                     dark = ColorToQColor(clBtnShadow);
        TPortLook lit = Look(logLED, 40, 40), unlit = lit, raised = Look(logPLS), pressed = raised;
        lit.Output = pressed.Output = 1;
        for (qreal ratio : {1.0, 2.0}) {
            QTest::addRow("clock x%g", ratio)
                << Look(logCLK) << ratio
                << TProbes{{{0, 0}, black}, {{49, 39}, black}, {{25, 36}, black}};
            QTest::addRow("OR back x%g", ratio)
                << Look(logOR) << ratio
                << TProbes{{{1, 20}, face}, {{20, 37}, black}, {{49, 0}, none}};
            QTest::addRow("lamp lit x%g", ratio)
                << lit << ratio
                << TProbes{{{0, 0}, none}, {{39, 39}, none}, {{20, 20}, QColor(Qt::red)}};
            QTest::addRow("lamp dark x%g", ratio)
                << unlit << ratio << TProbes{{{20, 20}, QColor(128, 0, 0)}};
            QTest::addRow("switch raised x%g", ratio)
                << raised << ratio
                << TProbes{{{0, 0}, black}, {{4, 4}, light}, {{45, 35}, dark}, {{20, 20}, face}};
            QTest::addRow("switch pressed x%g", ratio)
                << pressed << ratio << TProbes{{{4, 4}, dark}, {{45, 35}, light}};
        }
    }
    void picture() {
        QFETCH(TPortLook, look);
        QFETCH(qreal, ratio);
        QFETCH(TProbes, probes);
        const QPixmap picture = PortPicture(look, ratio);
        QCOMPARE(picture.size(), QSize(look.Width, look.Height) * ratio);
        QCOMPARE(picture.devicePixelRatio(), ratio);
        const QImage image = picture.toImage();
        for (const auto &[at, color] : probes)
            QCOMPARE(Pixel(image, at, ratio), color);
        if (look.Kind == logCLK)
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    QCOMPARE(qAlpha(image.pixel(x, y)), 255);
    }

    void pictureSharingAndSizes() {
        const TPortLook look = Look(logAND);
        TPortLook other = look;
        other.Output = 1;
        QCOMPARE(PortPicture(look, 1).cacheKey(), PortPicture(TPortLook(look), 1).cacheKey());
        QVERIFY(PortPicture(look, 1).cacheKey() != PortPicture(other, 1).cacheKey());
        QVERIFY(PortPicture(look, 1).cacheKey() != PortPicture(look, 2).cacheKey());
        for (QSize size : {QSize(0, 40), QSize(50, 0), QSize(-5, 40), QSize(50, -1)})
            QVERIFY(PortPicture(Look(logAND, size.width(), size.height()), 1).isNull());
        // Tiny ports draw degenerate shapes without harm.
        for (int kind = 0; kind < LogicalPortTypeCount; ++kind)
            for (int side : {1, 2, 3, 7}) {
                TPortLook tiny = Look(TLogicalPortType(kind), side, side);
                tiny.Border = true;
                QCOMPARE(PortPicture(tiny, 1).size(), QSize(side, side));
            }
    }
};

QTEST_MAIN(TestPortPainter)
#include "tst_portpainter.moc"
