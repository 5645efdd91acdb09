#pragma once

// Controls over Qt widgets. Each control owns one widget and puts the streamed properties
// (bounds, caption, hint, colour, font, events, ...) on top of it. Owner decides lifetime and
// Parent decides placement; they can differ.

#include "Graphics.h"
#include "stream/Component.h"

#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QPainter;
class TWinControl;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;
enum class TDragMode { dmManual, dmAutomatic };
enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// The edges of its parent a control keeps its distance to when the parent is resized.
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = std::int64_t;
constexpr TAnchors DefaultAnchors = 1 << akLeft | 1 << akTop;

using TMouseEvent = TEvent<TComponent *, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TComponent *, TShiftState, int, int>;
// Sender (the control under the mouse), source (the dragged control), X, Y, state, accept.
using TDragOverEvent = TEvent<TComponent *, TComponent *, int, int, TDragState, bool &>;
using TDragDropEvent = TEvent<TComponent *, TComponent *, int, int>;
using TStartDragEvent = TEvent<TComponent *>;
// Sender (the dragged control), target (null when dropped nowhere), X, Y.
using TEndDragEvent = TEvent<TComponent *, TComponent *, int, int>;

// Element names shared by the property tables of the controls.
extern const TEnumNames AlignNames;
extern const TEnumNames DragModeNames;
extern const TEnumNames AnchorNames;

// Hints are "short|long": tooltip text before the bar, status-bar text after it. With no bar,
// the whole text is used for both.
std::string GetShortHint(const std::string &hint);
std::string GetLongHint(const std::string &hint);

// Marks a widget as in the middle of handling an event for as long as it lives. Qt still holds the
// widget after a handler returns (a press is followed by its context menu), so a control destroyed
// by such a handler lets its widget go only once the event is over.
class TWidgetInUse {
public:
    explicit TWidgetInUse(const QObject *widget);
    ~TWidgetInUse();
    TWidgetInUse(const TWidgetInUse &) = delete;
    TWidgetInUse &operator=(const TWidgetInUse &) = delete;
    static bool InUse(const QObject *widget);
};

class TControl : public TComponent {
public:
    // The control takes ownership of widget, which must not have a parent yet.
    TControl(TComponent *owner, QWidget *widget);
    ~TControl() override;
    ZENTARO_CLASS_INFO()

    QWidget *Widget() const { return FWidget; }
    // The control that shows a widget, or null.
    static TControl *FromWidget(const QWidget *widget);

    TWinControl *Parent() const { return FParent; }
    virtual void SetParent(TWinControl *parent);
    bool HasParent() const override { return true; }
    void SetParentComponent(TComponent *parent) override;
    // A control being read is shown only once it has been read (see InsertControl).
    void SetLoading(bool loading) override;
    // For the deferred repaint Qt sends a shown widget: true when it is left to that of a parent
    // shown once read.
    bool SkipDeferredRepaint();
    // Windowed controls have a window of their own and stay above the windowless ones.
    virtual bool Windowed() const { return false; }

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
    void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
    void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
    void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
    virtual void SetBounds(int left, int top, int width, int height);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign align);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors anchors) { FAnchors = anchors; }
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool visible);
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool enabled);
    const std::string &Caption() const { return FCaption; }
    void SetCaption(const std::string &caption);
    const std::string &Hint() const { return FHint; }
    void SetHint(const std::string &hint);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool value);
    // The keys that do what the control does, named in its tooltip after the short hint.
    void SetShortCutHint(const QString &keys);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);
    TFont *Font() { return &FFont; }
    const TFont *Font() const { return &FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    TComponent *PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TComponent *menu) { FPopupMenu = menu; }
    TDragMode DragMode() const { return FDragMode; }
    void SetDragMode(TDragMode mode) { FDragMode = mode; }

    // Stored-conditions: colour and font are not stored while they come from the parent.
    bool IsColorStored() const { return !FParentColor; }
    bool IsFontStored() const { return !FParentFont; }
    bool IsShowHintStored() const { return !FParentShowHint; }

    // Stacking within the parent: the front is the end of the control's group.
    void BringToFront();
    void Invalidate();
    void RemovalNotice(TComponent *component) override;

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TStartDragEvent OnStartDrag;
    TEndDragEvent OnEndDrag;

    // Every event of the widget passes here first; true means handled (the widget's own
    // handling is skipped).
    virtual bool WidgetEvent(QEvent *event);
    // Paints the control's face; windowless controls paint only what they cover.
    virtual void Paint(QPainter &painter);

    // Called by the parent when its colour, font or hint setting changes.
    void ParentColorChanged();
    void ParentFontChanged();
    void ParentShowHintChanged();

    // Drag hooks, also used by the drag tracking of automatic drag mode.
    virtual void DragOver(TControl *source, int x, int y, TDragState state, bool &accept);
    virtual void DragDrop(TControl *source, int x, int y);

protected:
    virtual void Click();
    virtual void DblClick();
    // True for buttons: the second press of a double click is one more press, so that every
    // click counts, and DblClick is not called.
    virtual bool DoubleClickIsPress() const { return false; }
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void CaptionChanged() {}
    virtual void FontChanged();
    virtual void ColorChanged();
    // Widgets that draw text of their own take the caption here.
    virtual void ApplyCaption();
    // The width the one-line caption has at the control's size, or -1 when the caption is not
    // fitted; the widget's font is then condensed where the caption would not fit (FitFont).
    virtual int CaptionRoom() const { return -1; }
    // Gives the widget the control's font, fitted to the caption; needed when the room changes
    // for a reason the control alone knows.
    void ApplyFont();
    void ApplyToolTip();
    // Takes bounds the window system gave the control (a window moved or sized by the user),
    // without applying them again.
    void TakeBounds(int left, int top, int width, int height);

private:
    friend class TWinControl;
    void ApplyGeometry();

    QPointer<QWidget> FWidget;
    QObject *FHook;
    TWinControl *FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = TAlign::alNone;
    TAnchors FAnchors = DefaultAnchors;
    bool FVisible = true;
    bool FEnabled = true;
    std::string FCaption;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    QString FShortCutHint;
    TCursor FCursor = crDefault;
    TColor FColor = clWindow;
    bool FParentColor = false;
    TFont FFont;
    // What the widget's font was last made from.
    TFont FAppliedFont;
    bool FFontApplied = false;
    bool FParentFont = true;
    TComponent *FPopupMenu = nullptr;
    TDragMode FDragMode = TDragMode::dmManual;
    bool FPressed = false;
    // Shown once read, and its deferred repaint not yet arrived.
    bool FShownWhole = false;
};

// The widget of a control that paints itself. Mouse presses, releases and double clicks are the
// control's own and stop here, so a click on a control is never also a click on its parent.
class TPaintedWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent *event) override { event->accept(); }
};

// A control that looks drawn straight onto its parent: the parts it leaves unpainted show
// whatever is behind it.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent *owner);
    ZENTARO_CLASS_INFO()
};

// A control with a window of its own, which can hold other controls.
class TWinControl : public TControl {
public:
    TWinControl(TComponent *owner, QWidget *widget);
    ~TWinControl() override;
    ZENTARO_CLASS_INFO()

    bool Windowed() const override { return true; }
    // Child controls in stream order: windowless ones, then windowed ones, each back to front.
    std::vector<TControl *> Controls() const;
    int ControlCount() const { return int(FGraphicControls.size() + FWinControls.size()); }
    const std::vector<TControl *> &GraphicControls() const { return FGraphicControls; }
    const std::vector<TControl *> &WinControls() const { return FWinControls; }

    // Where child widgets live, and the offset of the visible area within it (scroll boxes).
    virtual QWidget *ClientWidget() const { return Widget(); }
    virtual QPoint ClientOffset() const { return {}; }
    int ClientWidth() const;
    int ClientHeight() const;

    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const { return FTabStop; }
    virtual void SetTabStop(bool value) { FTabStop = value; }

    void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) override;
    void SetChildOrder(TComponent *child, int order) override;
    // Puts the listed children in that order, back to front within their group; children not
    // listed follow them, in the order they had.
    void ArrangeControls(const std::vector<TControl *> &order);
    void Loaded() override;

    // A container lays its aligned children out again whenever its client area changes size.
    bool WidgetEvent(QEvent *event) override;

    // Lays the aligned children out in the client area.
    void AlignControls();
    // Given the client area the aligned children left free.
    virtual void AlignClientArea(const QRect &) {}
    // Called when a child that is not aligned has moved or changed its size.
    virtual void ChildBoundsChanged(TControl &) {}
    void SetBounds(int left, int top, int width, int height) override;

private:
    friend class TControl;
    void InsertControl(TControl *control);
    void RemoveControl(TControl *control);
    // Restacks the child widgets: windowless below windowed, each group back to front.
    void Restack();
    // Gives Qt's focus chain the order of the tab list.
    void ApplyTabList();
    // Moves and sizes the anchored children after the client area changed by delta.
    void ApplyAnchors(QSize delta);

    std::vector<TControl *> FGraphicControls;
    std::vector<TControl *> FWinControls;
    std::vector<TWinControl *> FTabList;
    // The stacking still owed to children inserted or ordered while this control was read.
    enum class TRestack { None, Windowed, All } FRestack = TRestack::None;
    int FStoredTabOrder = -1;
    bool FTabStop = false;
    bool FAligning = false;
    // Set while the destructor deletes the child controls.
    bool FDeletingChildren = false;
    QSize FAnchorBase;
};
