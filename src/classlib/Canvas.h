#pragma once

// The few drawing calls the gate pictures need, behind an interface so that the same painting
// code can either hit a QPainter or be recorded. Pen, brush and font are state set beforehand;
// boxes are passed as (left, top, right, bottom), where right and bottom lie one past the last
// pixel. Tests compare recorded calls with the expected geometry.

#include "Graphics.h"

#include <QPoint>
#include <QStringList>

#include <string>
#include <vector>

class QPainter;

enum class TPenStyle { psSolid, psDot, psClear };
enum class TBrushStyle { bsSolid, bsClear };

class TCanvas {
public:
    virtual ~TCanvas() = default;

    // A clear brush leaves the inside unfilled and a clear pen leaves the outline off, so one
    // shape call can draw a fill, an outline or both.
    virtual void SetPen(TPenStyle style, int width, TColor color) = 0;
    virtual void SetBrush(TBrushStyle style, TColor color) = 0;
    // Text is drawn in the font's colour, with a transparent background.
    virtual void SetFont(const TFont &font) = 0;

    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    virtual void Ellipse(int left, int top, int right, int bottom) = 0;
    virtual void Polygon(const std::vector<QPoint> &points) = 0;
    virtual void Polyline(const std::vector<QPoint> &points) = 0;
    // (x, y) is the upper left of the text box, not a point on the baseline.
    virtual void TextOut(int x, int y, const std::string &text) = 0;
    virtual int TextWidth(const std::string &text) = 0;
    // Condenses the font slightly, as far as it stays readable, so that text fits width; the
    // next SetFont undoes it.
    virtual void FitFontTo(const std::string &text, int width) = 0;
    // A raised or sunken frame of `width` nested one-pixel rings inside the box; topLeft colours
    // the upper and left sides of every ring, bottomRight the other two.
    virtual void Bevel(int left, int top, int right, int bottom, TColor topLeft, TColor bottomRight,
                       int width) = 0;
};

class QColor;
class QRect;

// Draws a 3-D frame `width` pixels wide along the inside of rect (QRect's inclusive edges) and
// shrinks rect by it; each ring's top-right and bottom-left corner pixels take bottomRight.
void PaintFrame3D(QPainter &painter, QRect &rect, const QColor &topLeft, const QColor &bottomRight,
                  int width);

// Draws on a QPainter, in logical pixels of its device (so a device pixel ratio scales it).
// Shapes are filled regions, never antialiased: a shape with a clear pen covers exactly the
// pixels left..right-1 and top..bottom-1, and a solid pen of width n lies inside that area, its
// outer edge on the area's border. A dotted pen marks every other pixel of a one-pixel line. The
// painter's own state is restored when the canvas goes.
class TPainterCanvas : public TCanvas {
public:
    explicit TPainterCanvas(QPainter &painter);
    ~TPainterCanvas() override;
    TPainterCanvas(const TPainterCanvas &) = delete;
    TPainterCanvas &operator=(const TPainterCanvas &) = delete;

    void SetPen(TPenStyle style, int width, TColor color) override;
    void SetBrush(TBrushStyle style, TColor color) override;
    void SetFont(const TFont &font) override;

    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void Polygon(const std::vector<QPoint> &points) override;
    void Polyline(const std::vector<QPoint> &points) override;
    void TextOut(int x, int y, const std::string &text) override;
    int TextWidth(const std::string &text) override;
    void FitFontTo(const std::string &text, int width) override;
    void Bevel(int left, int top, int right, int bottom, TColor topLeft, TColor bottomRight,
               int width) override;

private:
    QPainter &FPainter;
    TPenStyle FPenStyle = TPenStyle::psSolid;
    int FPenWidth = 1;
    TColor FPenColor = clBlack;
    TBrushStyle FBrushStyle = TBrushStyle::bsSolid;
    TColor FBrushColor = clWhite;
    TFont FFont;
    QFont FQFont;
    bool FFitted = false;
};

// Keeps every drawing call as one readable line with the pen and brush it was drawn with, e.g.
// "Ellipse 0 0 50 40 pen=clear brush=solid:clBlack" or "TextOut 16 11 \"AND\" font=clWhite".
// Text is CharWidth pixels per character wide, so that text positions are predictable.
class TRecordingCanvas : public TCanvas {
public:
    static constexpr int CharWidth = 6;

    const QStringList &Calls() const { return FCalls; }
    void Clear() { FCalls.clear(); }

    void SetPen(TPenStyle style, int width, TColor color) override;
    void SetBrush(TBrushStyle style, TColor color) override;
    void SetFont(const TFont &font) override;

    void Rectangle(int left, int top, int right, int bottom) override;
    void Ellipse(int left, int top, int right, int bottom) override;
    void Polygon(const std::vector<QPoint> &points) override;
    void Polyline(const std::vector<QPoint> &points) override;
    void TextOut(int x, int y, const std::string &text) override;
    int TextWidth(const std::string &text) override;
    // Recorded text keeps its fixed width.
    void FitFontTo(const std::string &, int) override {}
    void Bevel(int left, int top, int right, int bottom, TColor topLeft, TColor bottomRight,
               int width) override;

    // "clBlack", "clBtnFace", or "$00BBGGRR" for colours without a name.
    static QString ColorName(TColor color);

private:
    QString PenText() const;
    QString BrushText() const;

    QStringList FCalls;
    TPenStyle FPenStyle = TPenStyle::psSolid;
    int FPenWidth = 1;
    TColor FPenColor = clBlack;
    TBrushStyle FBrushStyle = TBrushStyle::bsSolid;
    TColor FBrushColor = clWhite;
    TColor FFontColor = clWindowText;
};
