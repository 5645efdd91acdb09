#include "Canvas.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <algorithm>
#include <utility>

namespace {

// Boxes may come in either order; degenerate ones draw nothing.
QRectF NormalBox(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    return QRectF(left, top, qreal(right) - left, qreal(bottom) - top);
}

// Pixels of a one-pixel ring along the inside of the box, every other one, clockwise from the
// top-left corner.
QPainterPath DottedRing(const QRectF &box) {
    QPainterPath dots;
    const int left = int(box.left()), top = int(box.top());
    const int right = int(box.right()) - 1, bottom = int(box.bottom()) - 1;
    if (right < left || bottom < top) return dots;
    std::vector<QPoint> ring;
    for (int x = left; x <= right; ++x)
        ring.emplace_back(x, top);
    for (int y = top + 1; y <= bottom; ++y)
        ring.emplace_back(right, y);
    if (bottom > top)
        for (int x = right - 1; x >= left; --x)
            ring.emplace_back(x, bottom);
    if (right > left)
        for (int y = bottom - 1; y > top; --y)
            ring.emplace_back(left, y);
    for (std::size_t i = 0; i < ring.size(); i += 2)
        dots.addRect(ring[i].x(), ring[i].y(), 1, 1);
    return dots;
}

QPainterPath PolygonPath(const std::vector<QPoint> &points, qreal offset, bool closed) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    if (points.empty()) return path;
    path.moveTo(points.front().x() + offset, points.front().y() + offset);
    for (std::size_t i = 1; i < points.size(); ++i)
        path.lineTo(points[i].x() + offset, points[i].y() + offset);
    if (closed) path.closeSubpath();
    return path;
}

} // namespace

void PaintFrame3D(QPainter &painter, QRect &rect, const QColor &topLeft, const QColor &bottomRight,
                  int width) {
    for (int i = 0; i < width; ++i) {
        if (rect.width() > 0 && rect.height() > 0) {
            painter.fillRect(QRect(rect.left(), rect.top(), rect.width() - 1, 1), topLeft);
            painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height() - 1), topLeft);
            painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), bottomRight);
            painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), bottomRight);
        }
        rect.adjust(1, 1, -1, -1);
    }
}

// ---- TPainterCanvas

TPainterCanvas::TPainterCanvas(QPainter &painter) : FPainter(painter), FQFont(FFont.ToQFont()) {
    FPainter.save();
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FPainter.setPen(Qt::NoPen);
}

TPainterCanvas::~TPainterCanvas() {
    FPainter.restore();
}

void TPainterCanvas::SetPen(TPenStyle style, int width, TColor color) {
    FPenStyle = style;
    FPenWidth = std::max(width, 1);
    FPenColor = color;
}

void TPainterCanvas::SetBrush(TBrushStyle style, TColor color) {
    FBrushStyle = style;
    FBrushColor = color;
}

void TPainterCanvas::SetFont(const TFont &font) {
    if (font == FFont && !FFitted) return;
    FFont.Assign(font);
    FQFont = FFont.ToQFont();
    FFitted = false;
}

void TPainterCanvas::FitFontTo(const std::string &text, int width) {
    FQFont = FitFont(FFont.ToQFont(), FromAnsi(text), width);
    FFitted = true;
}

void TPainterCanvas::Rectangle(int left, int top, int right, int bottom) {
    const QRectF box = NormalBox(left, top, right, bottom);
    if (box.isEmpty()) return;
    if (FPenStyle == TPenStyle::psSolid) {
        // A ring of the pen's width inside the box, the brush filling what it leaves.
        const qreal pen = std::min<qreal>(FPenWidth, std::min(box.width(), box.height()) / 2);
        const QRectF inner = box.adjusted(pen, pen, -pen, -pen);
        if (FBrushStyle == TBrushStyle::bsSolid && !inner.isEmpty())
            FPainter.fillRect(inner, ColorToQColor(FBrushColor));
        QPainterPath ring;
        ring.setFillRule(Qt::OddEvenFill);
        ring.addRect(box);
        if (!inner.isEmpty()) ring.addRect(inner);
        FPainter.fillPath(ring, ColorToQColor(FPenColor));
        return;
    }
    if (FBrushStyle == TBrushStyle::bsSolid) FPainter.fillRect(box, ColorToQColor(FBrushColor));
    if (FPenStyle == TPenStyle::psDot) FPainter.fillPath(DottedRing(box), ColorToQColor(FPenColor));
}

void TPainterCanvas::Ellipse(int left, int top, int right, int bottom) {
    const QRectF box = NormalBox(left, top, right, bottom);
    if (box.isEmpty()) return;
    if (FPenStyle == TPenStyle::psClear) {
        if (FBrushStyle == TBrushStyle::bsSolid) {
            QPainterPath shape;
            shape.addEllipse(box);
            FPainter.fillPath(shape, ColorToQColor(FBrushColor));
        }
        return;
    }
    // The pen's centre line runs half a pen inside the box, so its outer edge is the box.
    const qreal half = FPenStyle == TPenStyle::psDot ? 0.5 : FPenWidth / 2.0;
    QPainterPath centre;
    centre.addEllipse(box.adjusted(half, half, -half, -half));
    if (FBrushStyle == TBrushStyle::bsSolid) FPainter.fillPath(centre, ColorToQColor(FBrushColor));
    QPainterPathStroker stroker;
    stroker.setWidth(FPenStyle == TPenStyle::psDot ? 1 : FPenWidth);
    if (FPenStyle == TPenStyle::psDot) stroker.setDashPattern({1, 1});
    FPainter.fillPath(stroker.createStroke(centre), ColorToQColor(FPenColor));
}

void TPainterCanvas::Polygon(const std::vector<QPoint> &points) {
    if (points.size() < 2) return;
    if (FPenStyle == TPenStyle::psClear) {
        if (FBrushStyle == TBrushStyle::bsSolid)
            FPainter.fillPath(PolygonPath(points, 0, true), ColorToQColor(FBrushColor));
        return;
    }
    // Vertices are pixels: the pen runs through their centres, the brush fills inside the line.
    const int width = FPenStyle == TPenStyle::psDot ? 1 : FPenWidth;
    const QPainterPath centre = PolygonPath(points, width / 2.0, true);
    if (FBrushStyle == TBrushStyle::bsSolid) FPainter.fillPath(centre, ColorToQColor(FBrushColor));
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setJoinStyle(Qt::MiterJoin);
    if (FPenStyle == TPenStyle::psDot) stroker.setDashPattern({1, 1});
    FPainter.fillPath(stroker.createStroke(centre), ColorToQColor(FPenColor));
}

void TPainterCanvas::Polyline(const std::vector<QPoint> &points) {
    if (points.size() < 2 || FPenStyle == TPenStyle::psClear) return;
    const int width = FPenStyle == TPenStyle::psDot ? 1 : FPenWidth;
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setJoinStyle(Qt::MiterJoin);
    // Square caps cover the end pixels whole rather than cutting through their centres.
    stroker.setCapStyle(Qt::SquareCap);
    if (FPenStyle == TPenStyle::psDot) stroker.setDashPattern({1, 1});
    FPainter.fillPath(stroker.createStroke(PolygonPath(points, width / 2.0, false)),
                      ColorToQColor(FPenColor));
}

void TPainterCanvas::TextOut(int x, int y, const std::string &text) {
    if (text.empty()) return;
    FPainter.save();
    FPainter.setFont(FQFont);
    FPainter.setPen(ColorToQColor(FFont.Color()));
    FPainter.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics metrics(FQFont);
    FPainter.drawText(QPointF(x, y + metrics.ascent()), FromAnsi(text));
    FPainter.restore();
}

int TPainterCanvas::TextWidth(const std::string &text) {
    return QFontMetrics(FQFont).horizontalAdvance(FromAnsi(text));
}

void TPainterCanvas::Bevel(int left, int top, int right, int bottom, TColor topLeft,
                           TColor bottomRight, int width) {
    QRect rect(left, top, right - left, bottom - top);
    PaintFrame3D(FPainter, rect, ColorToQColor(topLeft), ColorToQColor(bottomRight), width);
}

// ---- TRecordingCanvas

QString TRecordingCanvas::ColorName(TColor color) {
    for (const TIdentEntry &entry : ColorNames)
        if (entry.Value == color) return QString::fromLatin1(entry.Name.data(), entry.Name.size());
    return QStringLiteral("$%1").arg(quint32(color), 8, 16, QLatin1Char('0')).toUpper();
}

QString TRecordingCanvas::PenText() const {
    if (FPenStyle == TPenStyle::psClear) return QStringLiteral("pen=clear");
    return QStringLiteral("pen=%1:%2:%3")
        .arg(FPenStyle == TPenStyle::psDot ? "dot" : "solid")
        .arg(FPenWidth)
        .arg(ColorName(FPenColor));
}

QString TRecordingCanvas::BrushText() const {
    if (FBrushStyle == TBrushStyle::bsClear) return QStringLiteral("brush=clear");
    return QStringLiteral("brush=solid:") + ColorName(FBrushColor);
}

void TRecordingCanvas::SetPen(TPenStyle style, int width, TColor color) {
    FPenStyle = style;
    FPenWidth = width;
    FPenColor = color;
}

void TRecordingCanvas::SetBrush(TBrushStyle style, TColor color) {
    FBrushStyle = style;
    FBrushColor = color;
}

void TRecordingCanvas::SetFont(const TFont &font) {
    FFontColor = font.Color();
}

void TRecordingCanvas::Rectangle(int left, int top, int right, int bottom) {
    FCalls << QStringLiteral("Rectangle %1 %2 %3 %4 %5 %6")
                  .arg(left)
                  .arg(top)
                  .arg(right)
                  .arg(bottom)
                  .arg(PenText(), BrushText());
}

void TRecordingCanvas::Ellipse(int left, int top, int right, int bottom) {
    FCalls << QStringLiteral("Ellipse %1 %2 %3 %4 %5 %6")
                  .arg(left)
                  .arg(top)
                  .arg(right)
                  .arg(bottom)
                  .arg(PenText(), BrushText());
}

void TRecordingCanvas::Polygon(const std::vector<QPoint> &points) {
    QString line = QStringLiteral("Polygon");
    for (const QPoint &point : points)
        line += QStringLiteral(" (%1,%2)").arg(point.x()).arg(point.y());
    FCalls << line + ' ' + PenText() + ' ' + BrushText();
}

void TRecordingCanvas::Polyline(const std::vector<QPoint> &points) {
    QString line = QStringLiteral("Polyline");
    for (const QPoint &point : points)
        line += QStringLiteral(" (%1,%2)").arg(point.x()).arg(point.y());
    FCalls << line + ' ' + PenText();
}

void TRecordingCanvas::TextOut(int x, int y, const std::string &text) {
    FCalls << QStringLiteral("TextOut %1 %2 \"%3\" font=%4")
                  .arg(x)
                  .arg(y)
                  .arg(FromAnsi(text), ColorName(FFontColor));
}

int TRecordingCanvas::TextWidth(const std::string &text) {
    return CharWidth * int(text.size());
}

void TRecordingCanvas::Bevel(int left, int top, int right, int bottom, TColor topLeft,
                             TColor bottomRight, int width) {
    FCalls << QStringLiteral("Bevel %1 %2 %3 %4 %5 %6 %7")
                  .arg(left)
                  .arg(top)
                  .arg(right)
                  .arg(bottom)
                  .arg(ColorName(topLeft), ColorName(bottomRight))
                  .arg(width);
}
