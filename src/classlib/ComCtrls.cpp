#include "ComCtrls.h"

#include "ExtCtrls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>

#include <algorithm>
#include <array>
#include <map>

namespace {

constexpr std::array<std::string_view, 2> OrientationElements = {"trHorizontal", "trVertical"};
constexpr std::array<std::string_view, 3> TickMarkElements = {"tmBottomRight", "tmTopLeft",
                                                              "tmBoth"};

} // namespace

// ---- TTrackBar

const TClassInfo &TTrackBar::StaticClassInfo() {
    // Max and Min come before Position, so that a stored position fits the stored range.
    static const TClassInfo info =
        TClassBuilder<TTrackBar, TWinControl>("TTrackBar")
            .Integer("Frequency", &TTrackBar::Frequency, &TTrackBar::SetFrequency)
            .Default(1)
            .Integer("LineSize", &TTrackBar::LineSize, &TTrackBar::SetLineSize)
            .Default(1)
            .Integer("Max", &TTrackBar::Max, &TTrackBar::SetMax)
            .Default(10)
            .Integer("Min", &TTrackBar::Min, &TTrackBar::SetMin)
            .Default(0)
            .Enumeration("Orientation", OrientationElements, &TTrackBar::Orientation,
                         &TTrackBar::SetOrientation)
            .Default(int(TTrackBarOrientation::trHorizontal))
            .Integer("PageSize", &TTrackBar::PageSize, &TTrackBar::SetPageSize)
            .Default(2)
            .Integer("Position", &TTrackBar::Position, &TTrackBar::SetPosition)
            .Default(0)
            .Integer("TabOrder", &TTrackBar::TabOrder, &TTrackBar::SetTabOrder)
            .Integer("ThumbLength", &TTrackBar::ThumbLength, &TTrackBar::SetThumbLength)
            .Default(20)
            .Enumeration("TickMarks", TickMarkElements, &TTrackBar::TickMarks,
                         &TTrackBar::SetTickMarks)
            .Default(int(TTickMark::tmBottomRight))
            .Event("OnChange", &TTrackBar::OnChange)
            .Build();
    return info;
}

TTrackBar::TTrackBar(TComponent *owner) : TWinControl(owner, new QSlider(Qt::Horizontal)) {
    auto *slider = static_cast<QSlider *>(Widget());
    slider->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(slider, &QSlider::valueChanged, slider,
                     [this](int value) { SliderMoved(value); });
    SetTabStop(true);
    SetLineSize(FLineSize);
    SetPageSize(FPageSize);
    SetFrequency(FFrequency);
    SetTickMarks(FTickMarks);
    ApplyRange(FPosition);
}

void TTrackBar::SetFrequency(int value) {
    FFrequency = value;
    static_cast<QSlider *>(Widget())->setTickInterval(std::max(value, 0));
}

void TTrackBar::SetLineSize(int value) {
    FLineSize = value;
    static_cast<QSlider *>(Widget())->setSingleStep(value);
}

void TTrackBar::SetPageSize(int value) {
    FPageSize = value;
    static_cast<QSlider *>(Widget())->setPageStep(value);
}

void TTrackBar::SetMax(int value) {
    FMax = value;
    FMin = std::min(FMin, value);
    ApplyRange(FPosition);
}

void TTrackBar::SetMin(int value) {
    FMin = value;
    FMax = std::max(FMax, value);
    ApplyRange(FPosition);
}

void TTrackBar::SetPosition(int value) {
    const int old = FPosition;
    FPosition = value;
    ApplyRange(old);
}

void TTrackBar::SetOrientation(TTrackBarOrientation value) {
    FOrientation = value;
    auto *slider = static_cast<QSlider *>(Widget());
    const bool vertical = value == TTrackBarOrientation::trVertical;
    slider->setOrientation(vertical ? Qt::Vertical : Qt::Horizontal);
    // Min is at the top of a vertical track bar.
    slider->setInvertedAppearance(vertical);
}

bool TTrackBar::WidgetEvent(QEvent *event) {
    if (event->type() == QEvent::KeyPress && Widget()->isEnabled()) {
        // Down and Page Down move towards Max, Up and Page Up towards Min, in both orientations.
        static const std::map<int, QAbstractSlider::SliderAction> actions = {
            {Qt::Key_Down, QAbstractSlider::SliderSingleStepAdd},
            {Qt::Key_Up, QAbstractSlider::SliderSingleStepSub},
            {Qt::Key_PageDown, QAbstractSlider::SliderPageStepAdd},
            {Qt::Key_PageUp, QAbstractSlider::SliderPageStepSub}};
        const auto *key = static_cast<QKeyEvent *>(event);
        if (const auto it = actions.find(key->key());
            it != actions.end() && key->modifiers() == Qt::NoModifier) {
            static_cast<QSlider *>(Widget())->triggerAction(it->second);
            return true;
        }
    }
    return TWinControl::WidgetEvent(event);
}

void TTrackBar::SetTickMarks(TTickMark value) {
    FTickMarks = value;
    // Qt names the sides of a vertical slider like those of a horizontal one.
    static_cast<QSlider *>(Widget())->setTickPosition(
        value == TTickMark::tmBoth      ? QSlider::TicksBothSides
        : value == TTickMark::tmTopLeft ? QSlider::TicksAbove
                                        : QSlider::TicksBelow);
}

void TTrackBar::ApplyRange(int oldPosition) {
    FPosition = std::clamp(FPosition, FMin, FMax);
    auto *slider = static_cast<QSlider *>(Widget());
    FApplying = true;
    slider->setRange(FMin, FMax);
    slider->setValue(FPosition);
    FApplying = false;
    if (FPosition != oldPosition && !Loading()) OnChange(this);
}

void TTrackBar::SliderMoved(int value) {
    if (FApplying || value == FPosition) return;
    FPosition = value;
    OnChange(this);
}

// ---- TStatusBar

const TClassInfo &TStatusBar::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TStatusBar, TWinControl>("TStatusBar")
            .Enumeration("Align", AlignNames, &TStatusBar::Align, &TStatusBar::SetAlign)
            .Default(int(TAlign::alBottom))
            .Boolean("SimplePanel", &TStatusBar::SimplePanel, &TStatusBar::SetSimplePanel)
            .Default(0)
            .String("SimpleText", &TStatusBar::SimpleText, &TStatusBar::SetSimpleText)
            .Build();
    return info;
}

TStatusBar::TStatusBar(TComponent *owner) : TWinControl(owner, new TPaintedWidget) {
    SetColor(clBtnFace);
    SetBounds(0, 0, 0, 19);
    SetAlign(TAlign::alBottom);
}

void TStatusBar::SetSimplePanel(bool value) {
    FSimplePanel = value;
    Invalidate();
}

void TStatusBar::SetSimpleText(const std::string &value) {
    FSimpleText = value;
    Invalidate();
}

void TStatusBar::Paint(QPainter &painter) {
    QRect rect = Widget()->rect();
    painter.fillRect(rect, ColorToQColor(Color()));
    if (!FSimplePanel) return;
    rect.setTop(rect.top() + 2);
    Frame3D(painter, rect, ColorToQColor(clBtnShadow), ColorToQColor(clBtnHighlight), 1);
    painter.setFont(Font()->ToQFont());
    painter.setPen(ColorToQColor(Font()->Color()));
    painter.drawText(rect.adjusted(2, 0, -2, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, FromAnsi(FSimpleText));
}
