#pragma once

// Textured backgrounds for panels and check boxes. Each control blits its piece out of one big
// pre-tiled image that is anchored to the form, not to the control; that way neighbouring
// controls line up with no visible joins, and moving the form drags the texture along.

#include "classlib/ExtCtrls.h"
#include "classlib/NonVisual.h"

#include <QImage>

#include <string>

class QPainter;
class QWidget;

// Keeps the pattern for the form that owns it. The images are rebuilt only when the tile or the
// colour changes and when a panel is attached, so that painting is a single copy.
class TPatternHolder : public TNonVisualComponent {
public:
    explicit TPatternHolder(TComponent *owner);
    ZENTARO_CLASS_INFO()

    TBitmap *Pattern() { return &FPattern; }
    const TBitmap *Pattern() const { return &FPattern; }
    void SetPattern(const TBitmap &bitmap) { FPattern.Assign(bitmap); }
    // clNone keeps the tile's own colours; any other colour replaces every non-white pixel.
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    // Stored with the holder and otherwise unused.
    const std::string &PatternPath() const { return FPatternPath; }
    void SetPatternPath(const std::string &value) { FPatternPath = value; }

    const QImage &ColoredPattern() const { return FColoredPattern; }
    const QImage &ScreenPattern() const { return FScreenPattern; }

    void ColorizePattern();
    // Tiles an image of the screen's size with the coloured tile; an empty tile keeps the old one.
    void BuildScreenPattern();

    // Copy into rect (or the given area) of a painter working on window the part of the screen
    // image that lies under it.
    void PaintPattern(const QWidget &window, QPainter &canvas, const QRect &rect) const;
    void BlitPattern(const QWidget &window, QPainter &canvas, int x, int y, int width,
                     int height) const;

private:
    TBitmap FPattern;
    TColor FColor = clNone;
    std::string FPatternPath;
    QImage FColoredPattern;
    QImage FScreenPattern;
};

// A panel that paints its holder's pattern inside its bevels instead of its colour; without a
// holder it is a plain panel. The holder must have the panel's owner, whose removal notice clears
// the reference.
class TPatternPanel : public TPanel {
public:
    using TPanel::TPanel;
    ZENTARO_CLASS_INFO()

    TPatternHolder *PatternHolder() const { return FPatternHolder; }
    void SetPatternHolder(TPatternHolder *holder);

    void RemovalNotice(TComponent *component) override;
    void Paint(QPainter &painter) override;

private:
    TPatternHolder *FPatternHolder = nullptr;
};

// A check box that, with PatternPaint, paints the pattern of the pattern panel it sits on (or of
// the one its container sits on) over its caption area, and the caption over that.
class TPatternCheckBox : public TCheckBox {
public:
    using TCheckBox::TCheckBox;
    ZENTARO_CLASS_INFO()

    bool PatternPaint() const { return FPatternPaint; }
    void SetPatternPaint(bool value);

    // Every repaint, also the one after a change of Enabled, ends here.
    void PaintOver(QPainter &painter) override { PaintPatternBackground(painter); }
    void PaintPatternBackground(QPainter &painter);

private:
    bool FPatternPaint = false;
};
