#include "PatPanel.h"

#include "classlib/Forms.h"

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace {

// The column of a check box's indicator, which the pattern leaves as the box drew it.
constexpr int CheckBoxIndicator = 16;

QSize ScreenSize() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize();
}

// Where the holder's form begins on the screen: the top-left corner of its outer frame.
QPoint FormOrigin(const TComponent *owner) {
    const auto *form = dynamic_cast<const TForm *>(owner);
    if (!form) return {};
    const QWidget *outer =
        form->MDIFrame() ? static_cast<QWidget *>(form->MDIFrame()) : form->Widget();
    QPoint origin = outer->mapToGlobal(QPoint());
    if (outer->isWindow()) origin -= outer->geometry().topLeft() - outer->frameGeometry().topLeft();
    return origin;
}

} // namespace

// ---- TPatternHolder

const TClassInfo &TPatternHolder::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TPatternHolder, TNonVisualComponent>("TPatternHolder")
            .Object("Pattern",
                    static_cast<TBitmap *(TPatternHolder::*)()>(&TPatternHolder::Pattern))
            .Integer("Color", &TPatternHolder::Color, &TPatternHolder::SetColor)
            .Symbols(ColorNames)
            .String("PatternPath", &TPatternHolder::PatternPath, &TPatternHolder::SetPatternPath)
            .Build();
    return info;
}

TPatternHolder::TPatternHolder(TComponent *owner) : TNonVisualComponent(owner) {
    // A tile read from a description lands in the bitmap itself, so the images follow it here.
    FPattern.OnChange = [this] {
        ColorizePattern();
        BuildScreenPattern();
    };
    QFile resource(QStringLiteral(":/forms/PATTERN.bmp"));
    if (resource.open(QIODevice::ReadOnly)) {
        const QByteArray file = resource.readAll();
        FPattern.LoadFromFile(file.toStdString());
    }
}

void TPatternHolder::SetColor(TColor value) {
    // While loading, the stored colour comes after the stored tile and must colour it.
    if (value == FColor && !Loading()) return;
    FColor = value;
    ColorizePattern();
    BuildScreenPattern();
}

void TPatternHolder::ColorizePattern() {
    const QImage &tile = FPattern.Image();
    FColoredPattern = tile.isNull() ? QImage() : tile.convertToFormat(QImage::Format_RGB32);
    if (FColor == clNone) return;
    const QRgb colour = ColorToQColor(FColor).rgb();
    for (int y = 0; y < FColoredPattern.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(FColoredPattern.scanLine(y));
        for (int x = 0; x < FColoredPattern.width(); ++x)
            if ((line[x] & 0xFFFFFF) != 0xFFFFFF) line[x] = colour;
    }
}

void TPatternHolder::BuildScreenPattern() {
    const QImage &tile = FColoredPattern;
    if (tile.width() == 0 || tile.height() == 0) return;
    QSize screen = ScreenSize();
    if (screen.isEmpty()) screen = tile.size();
    const int w = tile.width(), h = tile.height(), W = screen.width(), H = screen.height();
    QImage image(W, H, tile.format());
    const int pixel = image.depth() / 8;
    const int band = std::min(h, H);
    for (int y = 0; y < band; ++y)
        std::memcpy(image.scanLine(y), tile.constScanLine(y), std::size_t(std::min(w, W) * pixel));
    // Doubling: each copy repeats everything filled so far, so a few copies cover the screen.
    for (qint64 s = w; s <= W; s *= 2)
        for (int y = 0; y < band; ++y) {
            uchar *line = image.scanLine(y);
            std::memcpy(line + s * pixel, line, std::size_t(std::min<qint64>(s, W - s) * pixel));
        }
    const auto row = std::size_t(image.bytesPerLine());
    for (qint64 t = h; t <= H; t *= 2)
        for (qint64 y = t; y < std::min<qint64>(2 * t, H); ++y)
            std::memcpy(image.scanLine(int(y)), image.constScanLine(int(y - t)), row);
    FScreenPattern = std::move(image);
}

void TPatternHolder::PaintPattern(const QWidget &window, QPainter &canvas,
                                  const QRect &rect) const {
    BlitPattern(window, canvas, rect.x(), rect.y(), rect.width(), rect.height());
}

void TPatternHolder::BlitPattern(const QWidget &window, QPainter &canvas, int x, int y, int width,
                                 int height) const {
    // The image is pinned to the form: a point of the window maps through the window's place on
    // the form, read afresh at every paint.
    const QPoint offset = window.mapToGlobal(QPoint()) - FormOrigin(Owner());
    const QRect source = QRect(x, y, width, height).translated(offset);
    const QRect clipped = source & FScreenPattern.rect();
    if (clipped.isEmpty()) return;
    canvas.drawImage(QPoint(x, y) + (clipped.topLeft() - source.topLeft()), FScreenPattern,
                     clipped);
}

// ---- TPatternPanel

const TClassInfo &TPatternPanel::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TPatternPanel, TPanel>("TPatternPanel")
                                       .Reference("PatternHolder", &TPatternPanel::PatternHolder,
                                                  &TPatternPanel::SetPatternHolder)
                                       .Build();
    return info;
}

void TPatternPanel::SetPatternHolder(TPatternHolder *holder) {
    FPatternHolder = holder;
    if (holder) holder->BuildScreenPattern();
    Invalidate();
}

void TPatternPanel::RemovalNotice(TComponent *component) {
    TPanel::RemovalNotice(component);
    if (component && component == FPatternHolder) FPatternHolder = nullptr;
}

void TPatternPanel::Paint(QPainter &painter) {
    if (!FPatternHolder) {
        TPanel::Paint(painter);
        return;
    }
    // Nothing is filled with the panel's colour and no border is left: the pattern runs right up
    // to the bevels.
    QRect rect = Widget()->rect();
    const int inset = (BevelOuter() != TBevelCut::bvNone ? BevelWidth() : 0) +
                      (BevelInner() != TBevelCut::bvNone ? BevelWidth() : 0);
    const QRect inside = rect.adjusted(inset, inset, -inset, -inset);
    if (inside.width() > 0 && inside.height() > 0)
        FPatternHolder->PaintPattern(*Widget(), painter, inside);
    PaintBevel(painter, rect, BevelOuter());
    PaintBevel(painter, rect, BevelInner());
    PaintCaption(painter, rect);
}

// ---- TPatternCheckBox

const TClassInfo &TPatternCheckBox::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TPatternCheckBox, TCheckBox>("TPatternCheckBox")
                                       .Boolean("PatternPaint", &TPatternCheckBox::PatternPaint,
                                                &TPatternCheckBox::SetPatternPaint)
                                       .Build();
    return info;
}

void TPatternCheckBox::SetPatternPaint(bool value) {
    if (value == FPatternPaint) return;
    FPatternPaint = value;
    Invalidate();
}

void TPatternCheckBox::PaintPatternBackground(QPainter &painter) {
    if (!FPatternPaint || !Parent()) return;
    auto *panel = dynamic_cast<TPatternPanel *>(Parent());
    if (!panel) panel = dynamic_cast<TPatternPanel *>(Parent()->Parent());
    if (!panel || !panel->PatternHolder()) return;
    // The indicator's column keeps what the check box drew itself.
    const bool captionLeft = Alignment() == TAlignment::taLeftJustify;
    if (captionLeft)
        panel->PatternHolder()->BlitPattern(*Widget(), painter, 0, 0, Width() - CheckBoxIndicator,
                                            Height());
    else
        panel->PatternHolder()->BlitPattern(*Widget(), painter, CheckBoxIndicator, 0, Width(),
                                            Height());
    // Plain text in the font's colour, also when disabled; an ampersand stays an ampersand.
    const QFont font = Widget()->font();
    painter.setFont(font);
    painter.setPen(ColorToQColor(Font()->Color()));
    const int left = captionLeft ? 2 : CheckBoxIndicator + 2;
    painter.drawText(QPoint(left, 1 + QFontMetrics(font).ascent()), FromAnsi(Caption()));
}
