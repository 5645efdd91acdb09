#include "document/PatPanel.h"
#include "support/FormFixture.h"

#include "stream/ClassRegistry.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QScreen>
#include <QSet>
#include <QTest>

using namespace FormFixture;

namespace {

std::string BitmapFile(const QImage &image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes.toStdString();
}

void SetTile(TPatternHolder &holder, const QImage &tile) {
    TBitmap bitmap;
    bitmap.LoadFromFile(tile.isNull() ? std::string() : BitmapFile(tile));
    holder.SetPattern(bitmap);
}

// No two pixels alike, no white and little red, so that any shift of it and any caption show.
QImage DistinctTile(int width = 37, int height = 23) {
    QImage tile(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            tile.setPixel(x, y, qRgb(x % 256, y % 256, 64 + x / 256 * 8 + y / 256));
    return tile;
}

QImage Flat(TColor colour) {
    QImage flat(1, 1, QImage::Format_RGB32);
    flat.fill(ColorToQColor(colour));
    return flat;
}

QSize Screen() {
    return QGuiApplication::primaryScreen()->size();
}

// Whether area of image shows the tile repeated from origin.
bool ShowsTile(const QImage &image, const QRect &area, const QImage &tile, QPoint origin = {}) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) !=
                tile.pixel((x - origin.x()) % tile.width(), (y - origin.y()) % tile.height())) {
                qWarning("differs at (%d, %d)", x, y);
                return false;
            }
    return true;
}

// A form with a holder of the distinct tile, and its controls.
struct TPatternForm {
    TForm Form{nullptr};
    TPatternHolder *Holder = new TPatternHolder(&Form);

    explicit TPatternForm(QSize size) {
        Form.SetBounds(0, 0, size.width(), size.height());
        SetTile(*Holder, DistinctTile());
    }
    template <typename T> T *Add(TWinControl *parent, const QRect &bounds) {
        auto *control = new T(&Form);
        control->SetParent(parent ? parent : &Form);
        control->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
        if constexpr (std::is_base_of_v<TPanel, T>) control->SetBevelOuter(TBevelCut::bvNone);
        return control;
    }
    TPatternPanel *Panel(TWinControl *parent, const QRect &bounds, bool withHolder = true) {
        auto *panel = Add<TPatternPanel>(parent, bounds);
        panel->SetPatternHolder(withHolder ? Holder : nullptr);
        return panel;
    }
    // Area of the client shows the pattern pinned to the outer frame, or a flat colour.
    bool Shows(const QRect &area, TColor flat = clNone) {
        QWidget *window = Form.Widget();
        const QImage grab = window->grab().toImage();
        if (flat != clNone) return ShowsTile(grab, area, Flat(flat));
        return ShowsTile(grab, area, Holder->ColoredPattern(),
                         window->frameGeometry().topLeft() - window->geometry().topLeft());
    }
};

} // namespace

class TestPatPanel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void recolouring_data();
    void recolouring();
    void screenPatternByDoubling_data();
    void screenPatternByDoubling();
    void patternRunsOnAcrossControls_data();
    void patternRunsOnAcrossControls();
    void panelBevelsFramePattern_data();
    void panelBevelsFramePattern();
    void checkBoxPattern_data();
    void checkBoxPattern();
    void disabledCaption_data();
    void disabledCaption();
    void removedHolderLeavesPlainPanel();
    void readFromDescription();
};

void TestPatPanel::initTestCase() {
    RegisterControlClasses();
    for (const TClassInfo *info :
         {&TPatternHolder::StaticClassInfo(), &TPatternPanel::StaticClassInfo(),
          &TPatternCheckBox::StaticClassInfo()})
        RegisterClass(*info);
}

void TestPatPanel::recolouring_data() {
    QTest::addColumn<int>("colour");
    QTest::addColumn<QList<QRgb>>("expected");
    // The tile: black, light grey, almost white, white, maroon.
    QTest::newRow("none keeps the tile")
        << int(clNone) << QList<QRgb>{0xFF000000, 0xFFC0C0C0, 0xFFFEFFFF, 0xFFFFFFFF, 0xFF800000};
    QTest::newRow("red: all but white")
        << int(clRed) << QList<QRgb>{0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFFFFFF, 0xFFFF0000};
    QTest::newRow("system colour as shown")
        << int(clBtnShadow)
        << QList<QRgb>{0xFF808080, 0xFF808080, 0xFF808080, 0xFFFFFFFF, 0xFF808080};
}

void TestPatPanel::recolouring() {
    QFETCH(int, colour);
    QFETCH(QList<QRgb>, expected);
    QImage tile(5, 1, QImage::Format_RGB32);
    const QRgb pixels[] = {0x000000, 0xC0C0C0, 0xFEFFFF, 0xFFFFFF, 0x800000};
    for (int x = 0; x < 5; ++x)
        tile.setPixel(x, 0, pixels[x]);
    TPatternHolder holder(nullptr);
    holder.SetColor(clGreen);
    SetTile(holder, tile);
    holder.SetColor(colour);
    QCOMPARE(holder.ColoredPattern().size(), QSize(5, 1));
    for (int x = 0; x < 7; ++x)
        QCOMPARE(holder.ScreenPattern().pixel(x, 0), expected[x % 5]);
}

void TestPatPanel::screenPatternByDoubling_data() {
    QTest::addColumn<QSize>("tileSize");
    QTest::newRow("program's tile") << QSize();
    QTest::newRow("one pixel") << QSize(1, 1);
    QTest::newRow("odd sizes") << QSize(37, 23);
    QTest::newRow("as wide as the screen") << QSize(Screen().width(), 2);
    QTest::newRow("wider than the screen") << QSize(Screen().width() + 13, 3);
    QTest::newRow("taller than the screen") << QSize(3, Screen().height() + 7);
}

void TestPatPanel::screenPatternByDoubling() {
    QFETCH(QSize, tileSize);
    TPatternHolder holder(nullptr);
    if (tileSize.isValid()) {
        SetTile(holder, DistinctTile(tileSize.width(), tileSize.height()));
    } else {
        // 150 x 150 pixels, 4 bits each, and not one flat colour.
        const std::string &file = holder.Pattern()->File();
        QCOMPARE(holder.Pattern()->Image().size(), QSize(150, 150));
        QVERIFY(file.size() > 30 && file[28] == 4);
        QSet<QRgb> colours;
        for (int i = 0; i < 150 * 150; ++i)
            colours.insert(holder.ColoredPattern().pixel(i % 150, i / 150));
        QVERIFY(colours.size() > 1);
    }
    const QImage screen = holder.ScreenPattern();
    QCOMPARE(screen.size(), Screen());
    QVERIFY(ShowsTile(screen, screen.rect(), holder.ColoredPattern()));

    // An empty tile leaves the screen image as it was.
    SetTile(holder, QImage());
    QVERIFY(holder.ColoredPattern().isNull());
    QCOMPARE(holder.ScreenPattern(), screen);
}

void TestPatPanel::patternRunsOnAcrossControls_data() {
    QTest::addColumn<QRect>("first");
    QTest::addColumn<QRect>("second");
    QTest::newRow("side by side") << QRect(0, 0, 61, 40) << QRect(61, 0, 70, 40);
    QTest::newRow("one below the other") << QRect(5, 3, 80, 29) << QRect(5, 32, 80, 41);
    QTest::newRow("apart") << QRect(10, 10, 40, 40) << QRect(97, 51, 40, 30);
}

void TestPatPanel::patternRunsOnAcrossControls() {
    QFETCH(QRect, first);
    QFETCH(QRect, second);
    TPatternForm f({200, 120});
    f.Panel(nullptr, first);
    // The second one inside a plain container: the pattern follows the form, not the parent.
    f.Panel(f.Add<TPanel>(nullptr, second), QRect(QPoint(), second.size()));
    f.Form.Show();
    // Moving the form moves the pattern with it.
    for (const QPoint formAt : {QPoint(20, 30), QPoint(73, 51)}) {
        f.Form.SetBounds(formAt.x(), formAt.y(), 200, 120);
        QVERIFY(f.Shows(first) && f.Shows(second));
    }
}

void TestPatPanel::panelBevelsFramePattern_data() {
    QTest::addColumn<int>("outer");
    QTest::addColumn<int>("inner");
    QTest::addColumn<int>("bevelWidth");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<int>("colour"); // clNone: the pattern
    const int raised = int(TBevelCut::bvRaised), lowered = int(TBevelCut::bvLowered),
              none = int(TBevelCut::bvNone);
    QTest::newRow("raised: light top")
        << raised << none << 1 << QRect(0, 0, 99, 1) << int(clBtnHighlight);
    QTest::newRow("raised: pattern inside")
        << raised << none << 1 << QRect(1, 1, 98, 48) << int(clNone);
    QTest::newRow("inner raised bevel")
        << lowered << raised << 2 << QRect(2, 2, 2, 40) << int(clBtnHighlight);
    // The border width leaves no room: the pattern starts after the two bevels.
    QTest::newRow("no border with pattern")
        << lowered << raised << 2 << QRect(4, 4, 92, 42) << int(clNone);
    QTest::newRow("no bevels") << none << none << 1 << QRect(0, 0, 100, 50) << int(clNone);
}

void TestPatPanel::panelBevelsFramePattern() {
    QFETCH(int, outer);
    QFETCH(int, inner);
    QFETCH(int, bevelWidth);
    QFETCH(QRect, area);
    QFETCH(int, colour);
    TPatternForm f({200, 100});
    TPatternPanel *panel = f.Panel(nullptr, QRect(0, 0, 100, 50));
    panel->SetBevelOuter(TBevelCut(outer));
    panel->SetBevelInner(TBevelCut(inner));
    panel->SetBevelWidth(bevelWidth);
    panel->SetBorderWidth(3);
    f.Form.Show();
    QVERIFY(f.Shows(area, colour));
}

void TestPatPanel::checkBoxPattern_data() {
    QTest::addColumn<bool>("patternPaint");
    QTest::addColumn<int>("depth"); // plain containers between the pattern panel and the box
    QTest::addColumn<bool>("withHolder");
    QTest::addColumn<bool>("expectPattern");
    QTest::newRow("on the pattern panel") << true << 0 << true << true;
    QTest::newRow("in a container on it") << true << 1 << true << true;
    QTest::newRow("two containers deep") << true << 2 << true << false;
    QTest::newRow("without pattern painting") << false << 1 << true << false;
    QTest::newRow("panel without holder") << true << 0 << false << false;
    // Check boxes show their parent where they draw nothing.
    QTest::newRow("on the panel, not painting") << false << 0 << true << true;
}

void TestPatPanel::checkBoxPattern() {
    QFETCH(bool, patternPaint);
    QFETCH(int, depth);
    QFETCH(bool, withHolder);
    QFETCH(bool, expectPattern);
    TPatternForm f({300, 120});
    TWinControl *parent = f.Panel(nullptr, QRect(0, 0, 300, 120), withHolder);
    for (int i = 0; i < depth; ++i)
        parent = f.Add<TPanel>(parent, QRect(7, 5, 250, 80));
    f.Add<TPatternCheckBox>(parent, QRect(10, 10, 150, 17))->SetPatternPaint(patternPaint);
    f.Form.Show();
    // Right of the indicator's column; without a caption nothing else is drawn there.
    const QRect caption(QPoint(7, 5) * depth + QPoint(10 + 16, 10), QSize(150 - 16, 17));
    QVERIFY(f.Shows(caption, expectPattern ? clNone : clBtnFace));
}

void TestPatPanel::disabledCaption_data() {
    QTest::addColumn<bool>("patternPaint");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("captionLeft"); // -1: no caption in the font's colour
    QTest::newRow("caption right of the box") << true << int(TAlignment::taRightJustify) << 18;
    QTest::newRow("caption left of the box") << true << int(TAlignment::taLeftJustify) << 2;
    QTest::newRow("greyed without pattern") << false << int(TAlignment::taRightJustify) << -1;
}

void TestPatPanel::disabledCaption() {
    QFETCH(bool, patternPaint);
    QFETCH(int, alignment);
    QFETCH(int, captionLeft);
    TPatternForm f({200, 40});
    auto *box =
        f.Add<TPatternCheckBox>(f.Panel(nullptr, QRect(0, 0, 200, 40)), QRect(0, 0, 150, 17));
    box->SetCaption("W&W");
    box->SetAlignment(TAlignment(alignment));
    box->Font()->SetColor(clRed);
    box->SetPatternPaint(patternPaint);
    box->SetEnabled(false);
    f.Form.Show();
    const QImage grab = box->Widget()->grab().toImage();
    QRect red; // the caption's ink
    for (int y = 0; y < grab.height(); ++y)
        for (int x = 0; x < grab.width(); ++x)
            if (qRed(grab.pixel(x, y)) > 128 && qGreen(grab.pixel(x, y)) < 80)
                red |= QRect(x, y, 1, 1);
    if (captionLeft < 0) {
        QVERIFY(red.isNull());
    } else {
        // The text cell starts at (captionLeft, 1); the glyph a pixel or two further in.
        QVERIFY(red.left() >= captionLeft && red.left() <= captionLeft + 2);
        QVERIFY(red.top() >= 1 && red.top() <= 4);
    }
}

void TestPatPanel::removedHolderLeavesPlainPanel() {
    TPatternForm f({200, 100});
    TPatternPanel *panel = f.Panel(nullptr, QRect(0, 0, 100, 50));
    panel->SetBevelOuter(TBevelCut::bvRaised);
    f.Form.Show();
    TComponent::Free(f.Holder);
    QCOMPARE(panel->PatternHolder(), nullptr);
    QVERIFY(f.Shows(QRect(1, 1, 98, 48), clBtnFace));
}

void TestPatPanel::readFromDescription() {
    // A 2 x 1 tile of black and white, and the records as the writer spells them.
    QImage tile(2, 1, QImage::Format_RGB32);
    tile.setPixel(0, 0, 0x000000);
    tile.setPixel(1, 0, 0xFFFFFF);
    const std::string file = BitmapFile(tile);
    QByteArray data;
    for (int i = 0; i < 4; ++i)
        data += char(file.size() >> 8 * i & 0xFF);
    data += QByteArray::fromStdString(file);
    const QString description =
        QStringLiteral(
            R"(object Form: TForm Left = 0 Top = 0 Width = 400 Height = 200 Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET Font.Color = clWindowText Font.Height = -11 Font.Name = 'MS Sans Serif'
  Font.Style = [] OldCreateOrder = False
  object PanelTop: TPatternPanel Left = 0 Top = 0 Width = 400 Height = 38 Align = alTop TabOrder = 0
    PatternHolder = PatternHolder
    object CBShowPortState: TPatternCheckBox Left = 200 Top = 8 Width = 129 Height = 17
      Caption = 'Visualizza Stato Porte' TabOrder = 0 PatternPaint = True end
    object CBOther: TPatternCheckBox Left = 4 Top = 8 Width = 129 Height = 17 TabOrder = 1 PatternPaint = False end
  end
  object PatternHolder: TPatternHolder Pattern.Data = {%1} Color = clRed PatternPath = 'pattern.bmp' Left = 8 Top = 40 end
end
)")
            .arg(QString::fromLatin1(data.toHex()));
    TForm form(nullptr);
    ReadInto(form, description);
    auto *holder = dynamic_cast<TPatternHolder *>(form.FindComponent("PatternHolder"));
    auto *panel = dynamic_cast<TPatternPanel *>(form.FindComponent("PanelTop"));
    auto *box = dynamic_cast<TPatternCheckBox *>(form.FindComponent("CBShowPortState"));
    QVERIFY(holder && panel && box);
    QCOMPARE(panel->PatternHolder(), holder);
    QCOMPARE(box->Parent(), panel);
    QVERIFY(box->PatternPaint());
    // The stored tile, coloured by the stored colour.
    QCOMPARE(holder->ScreenPattern().pixel(2, 5), qRgb(255, 0, 0));
    QCOMPARE(holder->ScreenPattern().pixel(3, 5), qRgb(255, 255, 255));
    const QString written = WithoutMachineLines(DescriptionOf(form));
    QCOMPARE(written.split('\n'), Canonical(description).split('\n'));
}

QTEST_MAIN(TestPatPanel)
#include "tst_patpanel.moc"
