#include "TimingView.h"

#include "TimingRecording.h"
#include "classlib/Graphics.h"

#include <QLocale>
#include <QPainter>
#include <QPolygonF>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Labels stand at least this far apart.
constexpr double LabelSpacing = 90;

// The smallest of 1, 2 or 5 times a power of ten microseconds that is at least minimum.
std::int64_t TickStep(double minimum) {
    for (std::int64_t power = 1; power < INT64_MAX / 50; power *= 10)
        for (const std::int64_t factor : {1, 2, 5})
            if (double(power * factor) >= minimum) return power * factor;
    return INT64_MAX / 50;
}

int DecimalsFor(std::int64_t step) {
    return step >= 1000 ? 0 : step >= 100 ? 1 : step >= 10 ? 2 : 3;
}

} // namespace

QString MillisecondsText(std::int64_t micros, int decimals) {
    QLocale locale(QLocale::Italian, QLocale::Italy);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(double(micros) / 1000, 'f', decimals) + " ms";
}

TTimingView::TTimingView(const TTimingRecording &recording, QWidget *parent)
    : QAbstractScrollArea(parent), FRecording(recording) {
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(RowHeight);
    // Moving back in time by hand stops the following, or the next step would undo the move.
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this](int) {
        if (!FFollowing || FSyncing) return;
        FFollowing = false;
        if (OnUserScroll) OnUserScroll();
    });
}

int TTimingView::TraceWidth() const {
    return std::max(viewport()->width() - NameWidth, 1);
}

void TTimingView::SetFollowing(bool following) {
    FFollowing = following;
    Advance();
}

void TTimingView::Advance() {
    if (FFollowing) {
        FLeft = std::max<std::int64_t>(0, FRecording.End() - std::int64_t(TraceWidth() * FScale));
        viewport()->update();
        ReportTimeUnderMouse();
    }
    SyncScrollBars();
}

void TTimingView::RowsChanged() {
    SyncScrollBars();
    viewport()->update();
}

void TTimingView::SyncScrollBars() {
    FSyncing = true;
    int rows = 0;
    for (const auto &signal : FRecording.Signals())
        rows += signal->Shown();
    QScrollBar *vertical = verticalScrollBar();
    const int visible = std::max(viewport()->height() - RulerHeight, 0);
    vertical->setRange(0, std::max(rows * RowHeight - visible, 0));
    vertical->setPageStep(std::max(visible, 1));
    // In pixels at the present scale, as far as an int reaches.
    const auto pixels = [this](std::int64_t time) {
        return int(std::min<double>(double(time) / FScale, INT_MAX / 2));
    };
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setPageStep(TraceWidth());
    horizontal->setRange(
        0, std::max(pixels(std::max(FRecording.End(), FLeft)) - TraceWidth(), pixels(FLeft)));
    horizontal->setValue(pixels(FLeft));
    FSyncing = false;
}

void TTimingView::scrollContentsBy(int dx, int) {
    if (!FSyncing && dx != 0) FLeft = std::int64_t(double(horizontalScrollBar()->value()) * FScale);
    viewport()->update();
    ReportTimeUnderMouse();
}

void TTimingView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    Advance();
}

std::optional<std::int64_t> TTimingView::TimeAt(int x) const {
    if (x < NameWidth || x >= viewport()->width()) return std::nullopt;
    return FLeft + std::int64_t(double(x - NameWidth) * FScale);
}

void TTimingView::ReportTimeUnderMouse() {
    if (OnTimeUnderMouse) OnTimeUnderMouse(FMouseX ? TimeAt(*FMouseX) : std::nullopt);
}

void TTimingView::wheelEvent(QWheelEvent *event) {
    const int angle = event->angleDelta().y();
    if (angle == 0) return QAbstractScrollArea::wheelEvent(event);
    // A notch up shows a fifth of a step less time, keeping the time under the mouse in place.
    const double scale =
        std::clamp(FScale * std::pow(1.25, -angle / 120.0), FinestScale, CoarsestScale);
    const double at = std::clamp(event->position().x() - NameWidth, 0.0, double(TraceWidth()));
    if (!FFollowing)
        FLeft = std::max<std::int64_t>(0, std::int64_t(double(FLeft) + at * FScale - at * scale));
    FScale = scale;
    Advance();
    viewport()->update();
    ReportTimeUnderMouse();
    event->accept();
}

void TTimingView::mouseMoveEvent(QMouseEvent *event) {
    FMouseX = int(event->position().x());
    ReportTimeUnderMouse();
    viewport()->update();
}

bool TTimingView::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::Leave) {
        FMouseX.reset();
        ReportTimeUnderMouse();
        viewport()->update();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TTimingView::paintEvent(QPaintEvent *) {
    QPainter painter(viewport());
    Draw(painter, viewport()->size(), verticalScrollBar()->value(), FMouseX);
}

QSize TTimingView::PictureSize() const {
    int rows = 0;
    for (const auto &signal : FRecording.Signals())
        rows += signal->Shown();
    return {std::max(viewport()->width(), NameWidth + 200), RulerHeight + rows * RowHeight};
}

void TTimingView::Render(QPainter &painter) const {
    Draw(painter, PictureSize(), 0, std::nullopt);
}

void TTimingView::Draw(QPainter &painter, QSize size, int top, std::optional<int> cursor) const {
    const int width = size.width(), height = size.height();
    const double traceWidth = std::max(width - NameWidth, 1);
    const std::int64_t right = FLeft + std::int64_t(traceWidth * FScale), end = FRecording.End();
    const auto x = [this](std::int64_t time) { return NameWidth + double(time - FLeft) / FScale; };
    painter.fillRect(0, 0, width, height, Qt::white);

    const std::int64_t step = TickStep(LabelSpacing * FScale);
    const std::int64_t firstTick = (FLeft + step - 1) / step * step;
    painter.setPen(QColor(225, 225, 225));
    for (std::int64_t tick = firstTick; tick <= right; tick += step)
        painter.drawLine(QPointF(x(tick), RulerHeight), QPointF(x(tick), height));

    painter.save();
    painter.setClipRect(0, RulerHeight, width, height - RulerHeight);
    int row = 0;
    for (const auto &signal : FRecording.Signals()) {
        if (!signal->Shown()) continue;
        const int rowTop = RulerHeight - top + RowHeight * row++;
        if (rowTop + RowHeight <= RulerHeight || rowTop >= height) continue;
        painter.setPen(QColor(235, 235, 235));
        painter.drawLine(0, rowTop + RowHeight - 1, width, rowTop + RowHeight - 1);
        painter.setPen(signal->Port() ? Qt::black : Qt::gray);
        const QRect nameBox(6, rowTop, NameWidth - 12, RowHeight);
        painter.drawText(nameBox, Qt::AlignVCenter | Qt::AlignLeft,
                         painter.fontMetrics().elidedText(FromAnsi(signal->Label()), Qt::ElideRight,
                                                          nameBox.width()));

        const TLevelTrace &trace = signal->Trace();
        const std::int64_t from = std::max(FLeft, trace.StartTime()), to = std::min(right, end);
        if (from > to) continue;
        const double high = rowTop + 6, low = rowTop + RowHeight - 7;
        const auto y = [high, low](TLevel level) { return level ? high : low; };
        TLevel level = trace.LevelAt(from);
        QPolygonF line{QPointF(x(from), y(level))};
        // Changes are taken a pixel column at a time: a column with several shows as a bar from
        // low to high, however many there are.
        for (std::size_t index = trace.FirstAfter(from);
             index < trace.size() && trace[index].Time <= to;) {
            const std::int64_t column = std::int64_t(double(trace[index].Time - FLeft) / FScale);
            const auto columnEnd =
                std::int64_t(std::ceil(double(FLeft) + double(column + 1) * FScale));
            const std::size_t next = trace.FirstAfter(std::max(trace[index].Time, columnEnd - 1));
            const double at = NameWidth + double(column) + 0.5;
            const TLevel last = trace[next - 1].Level;
            line << QPointF(at, y(level));
            if (next - index > 1) line << QPointF(at, y(!level));
            line << QPointF(at, y(last));
            level = last;
            index = next;
        }
        line << QPointF(x(to), y(level));
        painter.setPen(QPen(QColor(0, 0, 160), 2));
        painter.drawPolyline(line);
    }
    painter.restore();

    painter.fillRect(0, 0, width, RulerHeight, QColor(240, 240, 240));
    painter.setPen(Qt::black);
    painter.drawLine(0, RulerHeight - 1, width, RulerHeight - 1);
    painter.drawLine(NameWidth - 1, 0, NameWidth - 1, height);
    for (std::int64_t tick = firstTick; tick <= right; tick += step) {
        painter.drawLine(QPointF(x(tick), RulerHeight - 5), QPointF(x(tick), RulerHeight - 1));
        // A label that would reach into the names or past the right edge is left out rather
        // than cut.
        const QString text = MillisecondsText(tick, DecimalsFor(step));
        const double half = painter.fontMetrics().horizontalAdvance(text) / 2.0 + 1;
        if (x(tick) - half >= NameWidth && x(tick) + half <= width)
            painter.drawText(QRectF(x(tick) - LabelSpacing / 2, 2, LabelSpacing, RulerHeight - 8),
                             Qt::AlignCenter, text);
    }

    if (cursor && *cursor >= NameWidth && *cursor < width) {
        painter.setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
        painter.drawLine(*cursor, RulerHeight, *cursor, height);
    }
}
