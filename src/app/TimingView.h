#pragma once

// The traces of a timing recording: a row per signal shown, its name on the left, a time axis in
// milliseconds on top. While it follows, the right edge is the recording's present; paused (or
// moved back by the user) it stays where it is while the recording goes on. The wheel zooms the
// time axis, and the time under the mouse is reported as the mouse moves.

#include <QAbstractScrollArea>

#include <cstdint>
#include <functional>
#include <optional>

class TTimingRecording;

// A time in microseconds as milliseconds with so many decimals, as Italian writes numbers.
QString MillisecondsText(std::int64_t micros, int decimals);

class TTimingView : public QAbstractScrollArea {
public:
    static constexpr int NameWidth = 140, RulerHeight = 24, RowHeight = 28;
    // Microseconds a pixel may stand for.
    static constexpr double FinestScale = 10, CoarsestScale = 60e6;

    explicit TTimingView(const TTimingRecording &recording, QWidget *parent = nullptr);

    bool Following() const { return FFollowing; }
    void SetFollowing(bool following);
    // Brings the view up to the recording; the diagram calls it at most some 30 times a second.
    void Advance();
    // The signals shown changed: rows come and go.
    void RowsChanged();

    double Scale() const { return FScale; }
    // The time at the left edge of the traces, in microseconds.
    std::int64_t LeftTime() const { return FLeft; }
    // The time at a point of the viewport, if it lies over the traces.
    std::optional<std::int64_t> TimeAt(int x) const;

    // Told the time under the mouse, or nothing when it leaves the traces.
    std::function<void(std::optional<std::int64_t>)> OnTimeUnderMouse;
    // Told when the user moves back in time, which stops the following.
    std::function<void()> OnUserScroll;

    // Every row shown, at the time span in view now, width pixels wide; for pictures.
    QSize PictureSize() const;
    void Render(QPainter &painter) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int TraceWidth() const;
    void Draw(QPainter &painter, QSize size, int top, std::optional<int> cursor) const;
    // Sets the scroll bars from the view's time and rows, without taking it for the user's move.
    void SyncScrollBars();
    void ReportTimeUnderMouse();

    const TTimingRecording &FRecording;
    bool FFollowing = true;
    // Microseconds per pixel.
    double FScale = 5000;
    std::int64_t FLeft = 0;
    std::optional<int> FMouseX;
    bool FSyncing = false;
};
