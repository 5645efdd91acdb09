#include "DsgnRunT.h"

#include "classlib/Application.h"

#include <QApplication>
#include <QMouseEvent>
#include <QObject>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>
#include <utility>

namespace {

constexpr int MinimumSize = 16;

// A control counts as existing only while its widget does and still maps back to it.
bool Alive(const TControl *control, const QPointer<QWidget> &widget) {
    return control && widget && TControl::FromWidget(widget) == control;
}

// A coordinate as a signed 16-bit value, the way positions travel in mouse messages.
int Coordinate16(double value) {
    if (!std::isfinite(value)) return 0;
    const auto whole = std::int64_t(std::llround(std::clamp(value, -1e9, 1e9)));
    return std::int16_t(std::uint16_t(whole & 0xFFFF));
}

int ClampToInt(std::int64_t value) {
    return int(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
}

} // namespace

// Sits in front of the current control's own event handling and lets every event through.
class TDesignAtRunTime::TFilter : public QObject {
public:
    explicit TFilter(TDesignAtRunTime *designer) : FDesigner(designer) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        // Nothing of this object is used afterwards: a notification may destroy the designer.
        TDesignAtRunTime *designer = FDesigner;
        const TWidgetInUse inUse(watched);
        const QPointer<QWidget> receiver = static_cast<QWidget *>(watched);
        const TControl *control = TControl::FromWidget(receiver);
        Guarded(designer, [designer, watched, event] {
            designer->FilterEvent(watched, event);
            return false;
        });
        // A handler that destroyed the control leaves nobody to deliver the event to.
        return !receiver || TControl::FromWidget(receiver) != control;
    }

private:
    TDesignAtRunTime *FDesigner;
};

// Watches the whole application while a press waits for its release: a popup menu opened on the
// press (a context menu opens on the press here) or a modal window takes the release, and a
// control destroyed by a handler never gets it.
class TDesignAtRunTime::TMouseWatch : public QObject {
public:
    explicit TMouseWatch(TDesignAtRunTime *designer) : FDesigner(designer) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        bool lost = false;
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            const auto *widget = static_cast<QWidget *>(watched);
            lost = widget->isWindow() && (widget->windowType() == Qt::Popup || widget->isModal());
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   IsDesignButton(static_cast<QMouseEvent *>(event)->button())) {
            // A window passes the release on to the pressed widget, which sees it through the
            // designer's own filter; Qt drops it when that widget is gone.
            lost = watched->isWidgetType() ? watched != FDesigner->FCurrentWidget
                                           : !FDesigner->CurrentControl();
        }
        if (lost) {
            TDesignAtRunTime *designer = FDesigner;
            Guarded(designer, [designer] {
                designer->ButtonUpStep();
                return false;
            });
        }
        return false;
    }
    static bool IsDesignButton(Qt::MouseButton button) {
        return button == Qt::LeftButton || button == Qt::RightButton;
    }

private:
    TDesignAtRunTime *FDesigner;
};

const TClassInfo &TDesignAtRunTime::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDesignAtRunTime, TNonVisualComponent>("TDesignAtRunTime")
            .Integer("GridSize", &TDesignAtRunTime::GridSize, &TDesignAtRunTime::SetGridSize)
            .Boolean("ChangeEnabled", &TDesignAtRunTime::ChangeEnabled,
                     &TDesignAtRunTime::SetChangeEnabled)
            .Event("OnChange", &TDesignAtRunTime::OnChange)
            .Event("OnBeginChange", &TDesignAtRunTime::OnBeginChange)
            .Event("OnEndChange", &TDesignAtRunTime::OnEndChange)
            .Event("OnMouseRight", &TDesignAtRunTime::OnMouseRight)
            .Build();
    return info;
}

TDesignAtRunTime::TDesignAtRunTime(TComponent *owner)
    : TNonVisualComponent(owner), FFilter(std::make_unique<TFilter>(this)),
      FMouseWatch(std::make_unique<TMouseWatch>(this)) {}

TDesignAtRunTime::~TDesignAtRunTime() {
    // Covered controls that still exist must not call into a designer that is gone.
    WatchPress(false);
    Detach();
    if (FCurrentWidget) FCurrentWidget->removeEventFilter(FFilter.get());
}

TControl *TDesignAtRunTime::CurrentControl() const {
    return Alive(FCurrent, FCurrentWidget) ? FCurrent : nullptr;
}

void TDesignAtRunTime::SetAttached(bool value) {
    if (value == FAttached) return;
    FAttached = value;
    if (value)
        Attach();
    else
        Detach();
}

void TDesignAtRunTime::Cover(TControl &control) {
    FControlRefs.push_back({&control, control.Widget(), control.OnMouseMove, control.Cursor()});
    control.OnMouseMove = TMouseMoveEvent(
        [this](TComponent *sender, TShiftState, int, int) { ControlEntered(sender); });
}

void TDesignAtRunTime::Attach() {
    FControlRefs.clear();
    if (auto *owner = dynamic_cast<TControl *>(Owner())) Cover(*owner);
    CoverOwnedControls();
}

void TDesignAtRunTime::AttachNewControls() {
    if (FAttached) CoverOwnedControls();
}

void TDesignAtRunTime::CoverOwnedControls() {
    if (!Owner()) return;
    std::erase_if(FControlRefs,
                  [](const TDRTControlRef &ref) { return !Alive(ref.Control, ref.Widget); });
    std::unordered_set<const TControl *> covered;
    for (const TDRTControlRef &ref : FControlRefs)
        covered.insert(ref.Control);
    for (TComponent *component : Owner()->Components()) {
        auto *control = dynamic_cast<TControl *>(component);
        if (control && control->Tag() >= 0 && control->Align() == TAlign::alNone &&
            !covered.contains(control))
            Cover(*control);
    }
}

void TDesignAtRunTime::Detach() {
    // The owner's entry comes first; each entry is restored on its own, and goes in any case.
    const std::vector<TDRTControlRef> refs = std::exchange(FControlRefs, {});
    for (const TDRTControlRef &ref : refs) {
        if (!Alive(ref.Control, ref.Widget)) continue;
        try {
            ref.Control->OnMouseMove = ref.SavedOnMouseMove;
            ref.Control->SetCursor(ref.SavedCursor);
        } catch (...) {
        }
    }
}

void TDesignAtRunTime::RemovalNotice(TComponent *component) {
    TNonVisualComponent::RemovalNotice(component);
    // A control being destroyed has lost its widget by now; one that only changes owner is
    // still there and gets its own handling back.
    std::erase_if(FControlRefs, [component](const TDRTControlRef &ref) {
        if (!Alive(ref.Control, ref.Widget)) return true;
        if (static_cast<TComponent *>(ref.Control) != component) return false;
        ref.Control->OnMouseMove = ref.SavedOnMouseMove;
        ref.Control->SetCursor(ref.SavedCursor);
        return true;
    });
    TControl *current = CurrentControl();
    if (!current || static_cast<TComponent *>(current) == component) SetCurrent(nullptr);
}

void TDesignAtRunTime::SetCurrent(TControl *control) {
    if (FCurrentWidget) FCurrentWidget->removeEventFilter(FFilter.get());
    FCurrent = control;
    FCurrentWidget = control ? control->Widget() : nullptr;
    if (FCurrentWidget) FCurrentWidget->installEventFilter(FFilter.get());
}

void TDesignAtRunTime::ControlEntered(TComponent *sender) {
    auto *control = dynamic_cast<TControl *>(sender);
    if (!control || control == CurrentControl()) return;
    SetCurrent(nullptr);
    if (sender == Owner()) {
        // The mouse reaching the owner ends a gesture; without one there is nothing to end.
        if (FButtonDown) ButtonUpStep();
        return;
    }
    control->BringToFront();
    SetCurrent(control);
}

void TDesignAtRunTime::FilterEvent(QObject *watched, QEvent *event) {
    TControl *control = CurrentControl();
    if (!control || watched != control->Widget()) return;
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        break;
    default:
        return;
    }
    const auto *mouse = static_cast<const QMouseEvent *>(event);
    const int x = Coordinate16(mouse->position().x());
    const int y = Coordinate16(mouse->position().y());
    const Qt::MouseButton button = mouse->button();
    switch (event->type()) {
    case QEvent::MouseMove:
        MouseMoveStep(*control, x, y);
        break;
    case QEvent::MouseButtonPress:
        // Watched before the notifications run: one of them may open a menu.
        if (TMouseWatch::IsDesignButton(button)) WatchPress(true);
        if (button == Qt::LeftButton && FChangeEnabled && OnLeftPress) {
            const QPointer<QWidget> widget = control->Widget();
            OnLeftPress(*control, mouse->modifiers());
            if (!Alive(control, widget)) break;
        }
        if (button == Qt::LeftButton) ButtonDownStep(*control, TButton::Left, x, y);
        if (button == Qt::RightButton) ButtonDownStep(*control, TButton::Right, x, y);
        break;
    case QEvent::MouseButtonRelease:
        // A release whose press already ended (its menu took the mouse) ends nothing again.
        if (TMouseWatch::IsDesignButton(button) && FButtonDown) ButtonUpStep();
        break;
    case QEvent::MouseButtonDblClick:
        if (button == Qt::LeftButton) FDoubleClicked = true;
        break;
    default:
        break;
    }
}

int TDesignAtRunTime::ZoneAt(int x, int y, int width, int height) {
    const std::int64_t w = width, h = height;
    const bool left = x >= 0 && x <= 6, top = y >= 0 && y <= 6;
    const bool right = x >= w - 6 && x <= w, bottom = y >= h - 6 && y <= h;
    const bool middleX = x >= 7 && x <= w - 7, middleY = y >= 7 && y <= h - 7;
    // The first match wins, so on narrow controls the left and top bands take the overlap.
    if (left && top) return 1;
    if (right && top) return 2;
    if (left && bottom) return 3;
    if (right && bottom) return 4;
    if (middleX && top) return 5;
    if (left && middleY) return 6;
    if (middleX && bottom) return 7;
    if (right && middleY) return 8;
    return 0;
}

TCursor TDesignAtRunTime::ZoneCursor(int zone) {
    switch (zone) {
    case 1:
    case 4:
        return crSizeNWSE;
    case 2:
    case 3:
        return crSizeNESW;
    case 5:
    case 7:
        return crSizeNS;
    case 6:
    case 8:
        return crSizeWE;
    default:
        return crArrow;
    }
}

std::int64_t TDesignAtRunTime::Snap(std::int64_t value, int grid) {
    if (grid <= 0) return value;
    const std::int64_t step = grid;
    std::int64_t quotient = value / step, remainder = value % step;
    if (remainder < 0) {
        remainder += step;
        --quotient;
    }
    if (2 * remainder > step || (2 * remainder == step && quotient % 2 != 0)) ++quotient;
    return quotient * step;
}

void TDesignAtRunTime::MouseMoveStep(TControl &control, int x, int y) {
    if (!FChangeEnabled) return;
    control.SetCursor(ZoneCursor(ZoneAt(x, y, control.Width(), control.Height())));
    if (FMoving || FResizing) DragStep(control, x, y);
}

void TDesignAtRunTime::ButtonDownStep(TControl &control, TButton button, int x, int y) {
    if (FDoubleClicked) {
        FDoubleClicked = false;
        return;
    }
    if (button == TButton::Right) {
        OnMouseRight(this);
        return;
    }
    FZone = ZoneAt(x, y, control.Width(), control.Height());
    if (!FChangeEnabled) return;
    FNewLeft = control.Left();
    FNewTop = control.Top();
    FNewWidth = FStartWidth = control.Width();
    FNewHeight = FStartHeight = control.Height();
    FDownX = x;
    FDownY = y;
    FResizing = FZone != 0;
    FMoving = FZone == 0;
    OnBeginChange(this);
}

void TDesignAtRunTime::WatchPress(bool watch) {
    if (watch == FButtonDown) return;
    FButtonDown = watch;
    if (watch)
        qApp->installEventFilter(FMouseWatch.get());
    else
        qApp->removeEventFilter(FMouseWatch.get());
}

void TDesignAtRunTime::ButtonUpStep() {
    WatchPress(false);
    FZone = 0;
    if (!FChangeEnabled) return;
    FMoving = false;
    FResizing = false;
    OnEndChange(this);
}

void TDesignAtRunTime::DragStep(TControl &control, int x, int y) {
    if (FDoubleClicked) return;
    const std::int64_t left = control.Left(), top = control.Top();
    const std::int64_t width = control.Width(), height = control.Height();
    const bool topEdge = FResizing && (FZone == 1 || FZone == 2 || FZone == 5);
    const bool leftEdge = FResizing && (FZone == 1 || FZone == 3 || FZone == 6);
    if (FZone == 0) {
        if (FMoving) {
            FNewLeft = left + x - FDownX;
            FNewTop = top + y - FDownY;
        }
    } else if (FResizing) {
        const bool rightEdge = FZone == 2 || FZone == 4 || FZone == 8;
        const bool bottomEdge = FZone == 3 || FZone == 4 || FZone == 7;
        if (topEdge) {
            FNewTop = top + y - FDownY;
            FNewHeight = height - y + FDownY;
        }
        if (leftEdge) {
            FNewLeft = left + x - FDownX;
            FNewWidth = width - x + FDownX;
        }
        if (rightEdge) FNewWidth = std::int64_t(FStartWidth) + x - FDownX;
        if (bottomEdge) FNewHeight = std::int64_t(FStartHeight) + y - FDownY;
        // Sized by its left or top edge, the control keeps its right or bottom edge, so at most
        // half of it passing the parent's edge puts the moving edge at minus the other one.
        auto keepHalf = [](std::int64_t &position, std::int64_t &size) {
            const std::int64_t far = position + size;
            if (far > 0 && position < -far) {
                position = -far;
                size = 2 * far;
            }
        };
        if (leftEdge) keepHalf(FNewLeft, FNewWidth);
        if (topEdge) keepHalf(FNewTop, FNewHeight);
        FNewWidth = std::max<std::int64_t>(FNewWidth, MinimumSize);
        FNewHeight = std::max<std::int64_t>(FNewHeight, MinimumSize);
    }
    // Never drag more than half a control past the parent's left or top side, so it can always
    // be grabbed again.
    if (!leftEdge) FNewLeft = std::max(FNewLeft, -(width / 2));
    if (!topEdge) FNewTop = std::max(FNewTop, -(height / 2));
    FNewLeft = Snap(FNewLeft, FGridSize);
    FNewTop = Snap(FNewTop, FGridSize);
    FNewWidth = Snap(FNewWidth, FGridSize);
    FNewHeight = Snap(FNewHeight, FGridSize);

    const int newLeft = ClampToInt(FNewLeft), newTop = ClampToInt(FNewTop);
    const int newWidth = ClampToInt(FNewWidth), newHeight = ClampToInt(FNewHeight);
    const bool changed =
        newLeft != left || newTop != top || newWidth != width || newHeight != height;
    control.SetBounds(newLeft, newTop, newWidth, newHeight);
    if (changed && (FMoving || FResizing)) OnChange(this);
    if (changed && FMoving && OnMoveStep && CurrentControl() == &control) OnMoveStep(control);
}
