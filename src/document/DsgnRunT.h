#pragma once

// Drag-to-move and drag-to-resize for the owner's controls at run time, on a grid. The controls
// need no code for it: the designer hooks their mouse-move events, and whichever control the
// pointer enters is raised and gets an event filter. The filter acts on the gesture but lets
// every event through untouched, so the control still behaves as usual.

#include "classlib/Controls.h"
#include "classlib/NonVisual.h"

#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QEvent;
class QObject;

// One control whose mouse-move notification the designer took over, with what it had before.
struct TDRTControlRef {
    TControl *Control = nullptr;
    // Tells whether Control still exists: the widget goes before the control's notice does,
    // and controls of other owners send no notice to the designer at all.
    QPointer<QWidget> Widget;
    TMouseMoveEvent SavedOnMouseMove;
    TCursor SavedCursor = crDefault;
};

class TDesignAtRunTime : public TNonVisualComponent {
public:
    explicit TDesignAtRunTime(TComponent *owner);
    ~TDesignAtRunTime() override;
    ZENTARO_CLASS_INFO()

    // Grid step of positions and sizes; 0 or less turns snapping off.
    int GridSize() const { return FGridSize; }
    void SetGridSize(int value) { FGridSize = value; }
    bool ChangeEnabled() const { return FChangeEnabled; }
    void SetChangeEnabled(bool value) { FChangeEnabled = value; }

    bool Attached() const { return FAttached; }
    void SetAttached(bool value);
    // While attached: takes over the owner's controls that came after attaching (put back by
    // undo), as attaching would have.
    void AttachNewControls();
    // The control whose events pass through the filter; null when none or when it is gone.
    TControl *CurrentControl() const;
    bool DoubleClicked() const { return FDoubleClicked; }
    // Whether the change under way sizes the control (by an edge or a corner) rather than moving
    // it.
    bool Resizing() const { return FResizing; }

    TNotifyEvent OnChange;
    TNotifyEvent OnBeginChange;
    TNotifyEvent OnEndChange;
    TNotifyEvent OnMouseRight;
    // Never streamed: the owner's own hooks. A left press on a control while changes are
    // enabled, before the change begins, with the keys held; and each step that moved it.
    std::function<void(TControl &, Qt::KeyboardModifiers)> OnLeftPress;
    std::function<void(TControl &)> OnMoveStep;

    void RemovalNotice(TComponent *component) override;

    // Where (x, y) lies on a control of that size: 0 (move) or one of the eight edge zones,
    // 1..4 the corners top-left, top-right, bottom-left, bottom-right, 5..8 the sides top,
    // left, bottom, right.
    static int ZoneAt(int x, int y, int width, int height);
    static TCursor ZoneCursor(int zone);
    // The multiple of grid nearest to value, halves to the even multiple; grid <= 0 keeps it.
    static std::int64_t Snap(std::int64_t value, int grid);

private:
    class TFilter;
    class TMouseWatch;
    enum class TButton { Left, Right };

    void Attach();
    void Detach();
    void Cover(TControl &control);
    // Covers the owner's controls that are not covered yet.
    void CoverOwnedControls();
    void ControlEntered(TComponent *sender);
    void SetCurrent(TControl *control);
    void FilterEvent(QObject *watched, QEvent *event);
    void MouseMoveStep(TControl &control, int x, int y);
    void ButtonDownStep(TControl &control, TButton button, int x, int y);
    void ButtonUpStep();
    // A press the designer saw waits for its release; until then a popup or modal window that
    // takes the mouse, or a release that goes elsewhere, ends the gesture instead.
    void WatchPress(bool watch);
    void DragStep(TControl &control, int x, int y);

    int FGridSize = 4;
    bool FChangeEnabled = true;
    bool FAttached = false;
    TControl *FCurrent = nullptr;
    QPointer<QWidget> FCurrentWidget;
    std::unique_ptr<QObject> FFilter;
    std::unique_ptr<QObject> FMouseWatch;
    std::vector<TDRTControlRef> FControlRefs;
    int FZone = 0;
    std::int64_t FNewLeft = 0, FNewTop = 0, FNewWidth = 0, FNewHeight = 0;
    int FStartWidth = 0, FStartHeight = 0;
    int FDownX = 0, FDownY = 0;
    bool FResizing = false;
    bool FMoving = false;
    bool FDoubleClicked = false;
    bool FButtonDown = false;
};
