#pragma once

// Common controls: the track bar and the status bar.

#include "Controls.h"

#include <string>

enum class TTrackBarOrientation { trHorizontal, trVertical };
enum class TTickMark { tmBottomRight, tmTopLeft, tmBoth };

// A slider over the range Min..Max. Position stays within the range; every change of it, by the
// user or by code, fires OnChange (once loading is over). The arrow keys move it by LineSize, the
// page keys by PageSize; a tick mark every Frequency.
class TTrackBar : public TWinControl {
public:
    explicit TTrackBar(TComponent *owner);
    ZENTARO_CLASS_INFO()

    int Frequency() const { return FFrequency; }
    void SetFrequency(int value);
    int LineSize() const { return FLineSize; }
    void SetLineSize(int value);
    int Max() const { return FMax; }
    // Moves Min down when it lies above.
    void SetMax(int value);
    int Min() const { return FMin; }
    // Moves Max up when it lies below.
    void SetMin(int value);
    TTrackBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TTrackBarOrientation value);
    int PageSize() const { return FPageSize; }
    void SetPageSize(int value);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    // Stored for the description; the thumb's size is the style's.
    int ThumbLength() const { return FThumbLength; }
    void SetThumbLength(int value) { FThumbLength = value; }
    TTickMark TickMarks() const { return FTickMarks; }
    void SetTickMarks(TTickMark value);
    bool WidgetEvent(QEvent *event) override;

    TNotifyEvent OnChange;

private:
    // Keeps the position in the range, brings the slider there and reports a position that
    // differs from the old one.
    void ApplyRange(int oldPosition);
    void SliderMoved(int value);

    int FFrequency = 1;
    int FLineSize = 1;
    int FMax = 10;
    int FMin = 0;
    TTrackBarOrientation FOrientation = TTrackBarOrientation::trHorizontal;
    int FPageSize = 2;
    int FPosition = 0;
    int FThumbLength = 20;
    TTickMark FTickMarks = TTickMark::tmBottomRight;
    bool FApplying = false;
};

// A status bar, bottom-aligned unless told otherwise. It shows one simple text, sunk into its
// face, while SimplePanel is set.
class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent *owner);
    ZENTARO_CLASS_INFO()

    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool value);
    const std::string &SimpleText() const { return FSimpleText; }
    void SetSimpleText(const std::string &value);

    void Paint(QPainter &painter) override;

private:
    bool FSimplePanel = false;
    std::string FSimpleText;
};
