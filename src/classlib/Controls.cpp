#include "Controls.h"

#include "Application.h"
#include "Menus.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

constexpr std::array<std::string_view, 6> AlignElements = {"alNone", "alTop",   "alBottom",
                                                           "alLeft", "alRight", "alClient"};
constexpr std::array<std::string_view, 2> DragModeElements = {"dmManual", "dmAutomatic"};
constexpr std::array<std::string_view, 4> AnchorElements = {"akLeft", "akTop", "akRight",
                                                            "akBottom"};

std::unordered_map<const QWidget *, TControl *> &WidgetControls() {
    static std::unordered_map<const QWidget *, TControl *> map;
    return map;
}

// The widgets whose events are being handled, innermost last; every event passes, so it is a
// short stack rather than a map.
std::vector<const QObject *> &WidgetsInUse() {
    static std::vector<const QObject *> stack;
    return stack;
}

// Routes every event of a control's widget to the control before the widget sees it. Filters
// installed later (the designer's) run before this one.
class TWidgetHook : public QObject {
public:
    TWidgetHook(TControl *control, QWidget *widget) : QObject(widget), FControl(control) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        // A control's mouse buttons and moves are its own and do not reach the parent control;
        // wheel turns and context menus still travel up. Qt reads the flag after the widget
        // has had the event.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            static_cast<QWidget *>(watched)->setAttribute(Qt::WA_NoMousePropagation,
                                                          event->type() != QEvent::Wheel &&
                                                              event->type() != QEvent::ContextMenu);
            break;
        default:
            break;
        }
        if (event->type() == QEvent::UpdateLater && FControl->SkipDeferredRepaint()) return true;
        // A handler may destroy the control, this hook with it: then nothing may touch the widget.
        const TWidgetInUse inUse(watched);
        const QPointer<QWidget> receiver = static_cast<QWidget *>(watched);
        TControl *control = FControl;
        const bool handled =
            Guarded(control, [control, event] { return control->WidgetEvent(event); });
        return handled || !receiver || TControl::FromWidget(receiver) != control;
    }

private:
    TControl *FControl;
};

TShiftState ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= ssShift;
    if (modifiers & Qt::AltModifier) shift |= ssAlt;
    if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

bool ButtonOf(Qt::MouseButton qtButton, TMouseButton &button) {
    switch (qtButton) {
    case Qt::LeftButton:
        button = TMouseButton::mbLeft;
        return true;
    case Qt::RightButton:
        button = TMouseButton::mbRight;
        return true;
    case Qt::MiddleButton:
        button = TMouseButton::mbMiddle;
        return true;
    default:
        return false;
    }
}

// Automatic drag mode without the platform's drag and drop: the pressed widget keeps the mouse
// until the button is released, and its moves are turned into drag-over calls on the control
// under the pointer.
struct TDragTracking {
    QPointer<QWidget> Source;
    QPointer<QWidget> Target;
    bool Accepted = false;
    bool Active = false;
};
TDragTracking Drag;

// The control under a global position within the source's window, and the position relative
// to it.
TControl *ControlAt(QWidget *source, QPoint global, QPoint &local) {
    QWidget *window = source->window();
    QWidget *widget = window->childAt(window->mapFromGlobal(global));
    if (!widget) widget = window;
    for (; widget; widget = widget->parentWidget())
        if (TControl *control = TControl::FromWidget(widget)) {
            local = widget->mapFromGlobal(global);
            return control;
        }
    return nullptr;
}

void DragTo(QPoint global) {
    TControl *source = Drag.Source ? TControl::FromWidget(Drag.Source) : nullptr;
    if (!source) return;
    QPoint local;
    TControl *target = ControlAt(source->Widget(), global, local);
    TControl *previous = Drag.Target ? TControl::FromWidget(Drag.Target) : nullptr;
    if (previous && previous != target) {
        bool ignored = false;
        const QPoint there = previous->Widget()->mapFromGlobal(global);
        previous->DragOver(source, there.x(), there.y(), TDragState::dsDragLeave, ignored);
    }
    Drag.Accepted = false;
    if (target)
        target->DragOver(source, local.x(), local.y(),
                         target == previous ? TDragState::dsDragMove : TDragState::dsDragEnter,
                         Drag.Accepted);
    Drag.Target = target ? target->Widget() : nullptr;
    QApplication::changeOverrideCursor(CursorToQCursor(Drag.Accepted ? crDrag : crNoDrop));
}

void BeginAutoDrag(TControl &source, QPoint global) {
    Drag = {source.Widget(), nullptr, false, true};
    source.OnStartDrag(&source);
    QApplication::setOverrideCursor(CursorToQCursor(crNoDrop));
    DragTo(global);
}

void EndAutoDrag(QPoint global) {
    DragTo(global);
    Drag.Active = false;
    QApplication::restoreOverrideCursor();
    TControl *source = Drag.Source ? TControl::FromWidget(Drag.Source) : nullptr;
    TControl *target = Drag.Target && Drag.Accepted ? TControl::FromWidget(Drag.Target) : nullptr;
    QPoint local;
    if (target) {
        local = target->Widget()->mapFromGlobal(global);
        target->DragDrop(source, local.x(), local.y());
    }
    if (source) source->OnEndDrag(source, target, local.x(), local.y());
    Drag = {};
}

} // namespace

const TEnumNames AlignNames = AlignElements;
const TEnumNames DragModeNames = DragModeElements;
const TEnumNames AnchorNames = AnchorElements;

std::string GetShortHint(const std::string &hint) {
    return hint.substr(0, hint.find('|'));
}

std::string GetLongHint(const std::string &hint) {
    const std::size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

// ---- TWidgetInUse

TWidgetInUse::TWidgetInUse(const QObject *widget) {
    WidgetsInUse().push_back(widget);
}

TWidgetInUse::~TWidgetInUse() {
    WidgetsInUse().pop_back();
}

bool TWidgetInUse::InUse(const QObject *widget) {
    return std::find(WidgetsInUse().begin(), WidgetsInUse().end(), widget) != WidgetsInUse().end();
}

// ---- TControl

const TClassInfo &TControl::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TControl, TComponent>("TControl")
                                       .Integer("Left", &TControl::Left, &TControl::SetLeft)
                                       .Integer("Top", &TControl::Top, &TControl::SetTop)
                                       .Integer("Width", &TControl::Width, &TControl::SetWidth)
                                       .Integer("Height", &TControl::Height, &TControl::SetHeight)
                                       .Integer("Cursor", &TControl::Cursor, &TControl::SetCursor)
                                       .Symbols(CursorNames)
                                       .Default(crDefault)
                                       .String("Hint", &TControl::Hint, &TControl::SetHint)
                                       .Build();
    return info;
}

TControl::TControl(TComponent *owner, QWidget *widget) : TComponent(owner), FWidget(widget) {
    WidgetControls()[widget] = this;
    widget->setMouseTracking(true);
    FHook = new TWidgetHook(this, widget);
    widget->installEventFilter(FHook);
    widget->hide();
    ApplyFont();
    FFont.OnChange = [this] {
        FParentFont = false;
        FontChanged();
    };
}

TControl::~TControl() {
    if (Drag.Source == FWidget) Drag = {};
    if (FParent) FParent->RemoveControl(this);
    if (FWidget) {
        WidgetControls().erase(FWidget);
        // No event may reach the control while its widget goes.
        delete FHook;
        if (TWidgetInUse::InUse(FWidget)) {
            FWidget->hide();
            FWidget->setParent(nullptr);
            FWidget->deleteLater();
        } else if (FParent && FParent->FDeletingChildren && FParent->Widget() &&
                   FParent->Widget()->isAncestorOf(FWidget)) {
            // Left to the parent's widget, which goes next and drops all its children at once:
            // one by one, Qt searches the list of their siblings for each.
        } else {
            delete FWidget.data();
        }
    }
}

TControl *TControl::FromWidget(const QWidget *widget) {
    const auto it = WidgetControls().find(widget);
    return it == WidgetControls().end() ? nullptr : it->second;
}

void TControl::SetParentComponent(TComponent *parent) {
    if (auto *container = dynamic_cast<TWinControl *>(parent)) SetParent(container);
}

void TControl::SetLoading(bool loading) {
    TComponent::SetLoading(loading);
    if (!loading && FParent && FVisible && FWidget && FWidget->isHidden()) {
        FWidget->show();
        FShownWhole = FWidget->isVisible();
    }
}

bool TControl::SkipDeferredRepaint() {
    // Qt posts a repaint for a widget it shows and for each one inside it. The outer one paints
    // them all, while each inner one on its own costs Qt a pass over all its siblings.
    if (std::exchange(FShownWhole, false)) return false;
    for (const TControl *parent = FParent; parent; parent = parent->FParent)
        if (parent->FShownWhole) return true;
    return false;
}

void TControl::SetParent(TWinControl *parent) {
    if (parent == FParent) return;
    if (FParent) FParent->RemoveControl(this);
    FParent = parent;
    if (parent) {
        parent->InsertControl(this);
        if (FParentColor) ParentColorChanged();
        if (FParentFont) ParentFontChanged();
        if (FParentShowHint) ParentShowHintChanged();
    } else {
        FWidget->setParent(nullptr);
        FWidget->hide();
    }
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    TakeBounds(left, top, width, height);
    ApplyGeometry();
    if (CaptionRoom() >= 0) ApplyFont();
    // A parent being read lays its children out once, when it has been read.
    if (!FParent || FParent->Loading()) return;
    if (FAlign != TAlign::alNone)
        FParent->AlignControls();
    else
        FParent->ChildBoundsChanged(*this);
}

void TControl::TakeBounds(int left, int top, int width, int height) {
    // Far beyond any screen, yet small enough that sums of a few of them never overflow (a file
    // may hold any value here).
    constexpr int Limit = QWIDGETSIZE_MAX;
    FLeft = std::clamp(left, -Limit, Limit);
    FTop = std::clamp(top, -Limit, Limit);
    FWidth = std::clamp(width, 0, Limit);
    FHeight = std::clamp(height, 0, Limit);
}

void TControl::ApplyGeometry() {
    const QPoint offset = FParent ? FParent->ClientOffset() : QPoint();
    // The widget gets what Qt can hold: far positions a description may give, shifted by a scroll
    // offset, must not overflow.
    auto limited = [](qint64 value) {
        return int(std::clamp<qint64>(value, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    };
    FWidget->setGeometry(limited(qint64(FLeft) + offset.x()), limited(qint64(FTop) + offset.y()),
                         limited(FWidth), limited(FHeight));
}

void TControl::SetAlign(TAlign align) {
    if (align == FAlign) return;
    FAlign = align;
    if (FParent) FParent->AlignControls();
}

void TControl::SetVisible(bool visible) {
    FVisible = visible;
    if (FParent) {
        if (!visible || !Loading()) FWidget->setVisible(visible);
        FParent->AlignControls();
    }
}

void TControl::SetEnabled(bool enabled) {
    FEnabled = enabled;
    FWidget->setEnabled(enabled);
}

void TControl::SetCaption(const std::string &caption) {
    if (caption == FCaption) return;
    FCaption = caption;
    if (CaptionRoom() >= 0) ApplyFont();
    ApplyCaption();
    CaptionChanged();
}

void TControl::ApplyCaption() {
    FWidget->update();
}

void TControl::SetHint(const std::string &hint) {
    FHint = hint;
    ApplyToolTip();
}

void TControl::SetShowHint(bool value) {
    FShowHint = value;
    FParentShowHint = false;
    ApplyToolTip();
    if (auto *container = dynamic_cast<TWinControl *>(this))
        for (TControl *child : container->Controls())
            child->ParentShowHintChanged();
}

void TControl::SetParentShowHint(bool value) {
    FParentShowHint = value;
    if (value) ParentShowHintChanged();
}

void TControl::ParentShowHintChanged() {
    if (!FParentShowHint || !FParent) return;
    FShowHint = FParent->FShowHint;
    ApplyToolTip();
    if (auto *container = dynamic_cast<TWinControl *>(this))
        for (TControl *child : container->Controls())
            child->ParentShowHintChanged();
}

void TControl::SetShortCutHint(const QString &keys) {
    FShortCutHint = keys;
    ApplyToolTip();
}

void TControl::ApplyToolTip() {
    if (!FShowHint) return FWidget->setToolTip({});
    const QString tip = FromAnsi(GetShortHint(FHint));
    FWidget->setToolTip(FShortCutHint.isEmpty() ? tip
                                                : tip + QStringLiteral(" (%1)").arg(FShortCutHint));
}

void TControl::SetCursor(TCursor cursor) {
    FCursor = cursor;
    if (cursor == crDefault)
        FWidget->unsetCursor();
    else
        FWidget->setCursor(CursorToQCursor(cursor));
}

void TControl::SetColor(TColor color) {
    FParentColor = false;
    if (color == FColor) return;
    FColor = color;
    ColorChanged();
}

void TControl::SetParentColor(bool value) {
    FParentColor = value;
    if (value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!FParentColor || !FParent) return;
    FColor = FParent->FColor;
    ColorChanged();
}

void TControl::ColorChanged() {
    FWidget->update();
    if (auto *container = dynamic_cast<TWinControl *>(this))
        for (TControl *child : container->Controls())
            child->ParentColorChanged();
}

void TControl::SetParentFont(bool value) {
    FParentFont = value;
    if (value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!FParentFont || !FParent) return;
    // Copying the parent's font is no change of our own: ParentFont stays set.
    auto onChange = std::move(FFont.OnChange);
    FFont.Assign(FParent->FFont);
    FFont.OnChange = std::move(onChange);
    FontChanged();
}

void TControl::ApplyFont() {
    const int room = CaptionRoom();
    // A new colour alone (every gate's first change) leaves the widget's font as it is.
    if (room < 0 && FFontApplied && FFont.SameQFont(FAppliedFont)) return;
    FWidget->setFont(room < 0 ? FFont.ToQFont()
                              : FitFont(FFont.ToQFont(), FromAnsi(FCaption), room));
    FAppliedFont.Assign(FFont);
    FFontApplied = true;
}

void TControl::FontChanged() {
    ApplyFont();
    FWidget->update();
    if (auto *container = dynamic_cast<TWinControl *>(this))
        for (TControl *child : container->Controls())
            child->ParentFontChanged();
}

void TControl::BringToFront() {
    if (!FParent) return;
    auto &group = Windowed() ? FParent->FWinControls : FParent->FGraphicControls;
    std::erase(group, this);
    group.push_back(this);
    FParent->Restack();
}

void TControl::Invalidate() {
    FWidget->update();
}

void TControl::RemovalNotice(TComponent *component) {
    TComponent::RemovalNotice(component);
    if (component == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::Paint(QPainter &) {}

void TControl::Click() {
    OnClick(this);
}
void TControl::DblClick() {
    OnDblClick(this);
}
void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
    OnMouseMove(this, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    OnMouseUp(this, button, shift, x, y);
}

void TControl::DragOver(TControl *source, int x, int y, TDragState state, bool &accept) {
    accept = false;
    if (OnDragOver) {
        accept = true;
        OnDragOver(this, source, x, y, state, accept);
    }
}

void TControl::DragDrop(TControl *source, int x, int y) {
    OnDragDrop(this, source, x, y);
}

bool TControl::WidgetEvent(QEvent *event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // A disabled control leaves the mouse to the control beneath.
        if (!FWidget->isEnabled()) return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        TMouseButton button;
        if (!ButtonOf(mouse->button(), button)) return false;
        if (button == TMouseButton::mbLeft && FDragMode == TDragMode::dmAutomatic) {
            BeginAutoDrag(*this, mouse->globalPosition().toPoint());
            return true;
        }
        TShiftState shift = ShiftOf(mouse->modifiers(), mouse->buttons());
        if (event->type() == QEvent::MouseButtonDblClick && !DoubleClickIsPress()) {
            shift |= ssDouble;
            if (button == TMouseButton::mbLeft) DblClick();
        } else {
            FPressed = button == TMouseButton::mbLeft;
        }
        const QPoint at = mouse->position().toPoint();
        MouseDown(button, shift, at.x(), at.y());
        return false;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (Drag.Active && Drag.Source == FWidget) {
            DragTo(mouse->globalPosition().toPoint());
            return true;
        }
        if (!FWidget->isEnabled()) return false;
        const QPoint at = mouse->position().toPoint();
        MouseMove(ShiftOf(mouse->modifiers(), mouse->buttons()), at.x(), at.y());
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (Drag.Active && Drag.Source == FWidget) {
            if (mouse->button() == Qt::LeftButton) EndAutoDrag(mouse->globalPosition().toPoint());
            return true;
        }
        TMouseButton button;
        if (!FWidget->isEnabled() || !ButtonOf(mouse->button(), button)) return false;
        const QPoint at = mouse->position().toPoint();
        const QPointer<QWidget> alive = FWidget;
        const bool click =
            FPressed && button == TMouseButton::mbLeft && FWidget->rect().contains(at);
        FPressed = false;
        MouseUp(button, ShiftOf(mouse->modifiers(), mouse->buttons()), at.x(), at.y());
        if (click && alive) Click();
        return false;
    }
    case QEvent::Enter:
        TApplication::Instance().ControlEntered(*this);
        return false;
    case QEvent::Leave:
        TApplication::Instance().ControlLeft(*this);
        return false;
    case QEvent::ContextMenu: {
        auto *menu = dynamic_cast<TPopupMenu *>(FPopupMenu);
        if (!menu || !menu->AutoPopup()) return false;
        menu->Popup(static_cast<QContextMenuEvent *>(event)->globalPos(), this);
        return true;
    }
    default:
        return false;
    }
}

// ---- TPaintedWidget, TGraphicControl

void TPaintedWidget::paintEvent(QPaintEvent *) {
    if (TControl *control = TControl::FromWidget(this)) {
        QPainter painter(this);
        control->Paint(painter);
    }
}

const TClassInfo &TGraphicControl::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TGraphicControl, TControl>("TGraphicControl").Build();
    return info;
}

TGraphicControl::TGraphicControl(TComponent *owner) : TControl(owner, new TPaintedWidget) {
    // It paints nothing but what the control paints: the parent and the controls beneath show
    // through.
    Widget()->setAttribute(Qt::WA_NoSystemBackground);
}

// ---- TWinControl

const TClassInfo &TWinControl::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TWinControl, TControl>("TWinControl").Build();
    return info;
}

TWinControl::TWinControl(TComponent *owner, QWidget *widget) : TControl(owner, widget) {
    SetParentColor(false);
}

TWinControl::~TWinControl() {
    // Child controls go with their parent, before the widget that shows them (which may be gone
    // already, with a frame destroyed first); nothing is laid out on the way.
    FAligning = true;
    FDeletingChildren = true;
    // Owned children going with their owner tell nobody; those owned elsewhere still do.
    SetDestroying();
    while (!FGraphicControls.empty() || !FWinControls.empty()) {
        TControl *child = !FWinControls.empty() ? FWinControls.back() : FGraphicControls.back();
        delete child;
    }
}

std::vector<TControl *> TWinControl::Controls() const {
    std::vector<TControl *> controls = FGraphicControls;
    controls.insert(controls.end(), FWinControls.begin(), FWinControls.end());
    return controls;
}

int TWinControl::ClientWidth() const {
    return ClientWidget()->width();
}
int TWinControl::ClientHeight() const {
    return ClientWidget()->height();
}

void TWinControl::InsertControl(TControl *control) {
    (control->Windowed() ? FWinControls : FGraphicControls).push_back(control);
    if (auto *windowed = dynamic_cast<TWinControl *>(control)) FTabList.push_back(windowed);
    control->Widget()->setParent(ClientWidget());
    control->ApplyGeometry();
    // A control being read shows once it is complete: shown into a visible parent, Qt would paint
    // each one on its own and compare it with every sibling.
    control->Widget()->setVisible(control->Visible() && !control->Loading());
    // The newcomer is the front of its group; restacking every child would make filling a
    // window with thousands of gates quadratic. Qt looks each widget up in a list of all its
    // siblings, so a widget already in place is left alone, and while this control is read the
    // windowed children are raised once at its end.
    QWidget *widget = control->Widget();
    if (!control->Windowed() && !FWinControls.empty()) {
        if (Loading())
            FRestack = std::max(FRestack, TRestack::Windowed);
        else
            widget->stackUnder(FWinControls.front()->Widget());
    } else if (ClientWidget()->children().back() != widget) {
        widget->raise();
    }
    if (Loading()) return;
    // A child that is not aligned moves no other: only the area it lies in has to follow.
    if (control->Align() == TAlign::alNone)
        ChildBoundsChanged(*control);
    else
        AlignControls();
}

void TWinControl::RemoveControl(TControl *control) {
    // From the back: a parent destroys its children last-first.
    EraseFromBack(FGraphicControls, control);
    EraseFromBack(FWinControls, control);
    EraseFromBack(FTabList, control);
    if (control->Align() == TAlign::alNone && !FAligning)
        ChildBoundsChanged(*control);
    else
        AlignControls();
}

void TWinControl::Restack() {
    FRestack = TRestack::None;
    for (TControl *control : FGraphicControls)
        control->Widget()->raise();
    for (TControl *control : FWinControls)
        control->Widget()->raise();
}

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    const auto &list = Parent()->FTabList;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
    // Orders read from a stream are applied together once the parent's children are all there.
    if (Loading()) {
        FStoredTabOrder = order;
        return;
    }
    if (!Parent()) return;
    auto &list = Parent()->FTabList;
    std::erase(list, this);
    list.insert(list.begin() + std::clamp<std::ptrdiff_t>(order, 0, std::ptrdiff_t(list.size())),
                this);
    Parent()->ApplyTabList();
}

void TWinControl::Loaded() {
    TControl::Loaded();
    // Each child read with a tab order takes that place; where orders clash or are out of range,
    // the others fill the free places in the order they were read.
    std::vector<TWinControl *> placed(FTabList.size(), nullptr);
    for (TWinControl *child : FTabList)
        if (child->FStoredTabOrder >= 0 && std::size_t(child->FStoredTabOrder) < placed.size())
            placed[std::size_t(child->FStoredTabOrder)] = child;
    auto free = placed.begin();
    for (TWinControl *child : FTabList) {
        if (std::find(placed.begin(), placed.end(), child) != placed.end()) continue;
        free = std::find(free, placed.end(), nullptr);
        *free = child;
    }
    for (TWinControl *child : FTabList)
        child->FStoredTabOrder = -1;
    FTabList = std::move(placed);
    ApplyTabList();
    if (FRestack == TRestack::All) {
        Restack();
    } else if (FRestack == TRestack::Windowed) {
        for (TControl *control : FWinControls)
            control->Widget()->raise();
        FRestack = TRestack::None;
    }
    // Children read into this control were not laid out one by one.
    AlignControls();
}

void TWinControl::ApplyTabList() {
    for (std::size_t i = 1; i < FTabList.size(); ++i)
        QWidget::setTabOrder(FTabList[i - 1]->Widget(), FTabList[i]->Widget());
}

void TWinControl::GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) {
    for (TControl *control : Controls())
        if (control->Owner() == root) proc(control);
}

void TWinControl::SetChildOrder(TComponent *child, int order) {
    auto *control = dynamic_cast<TControl *>(child);
    if (!control || control->Parent() != this) return;
    auto &group = control->Windowed() ? FWinControls : FGraphicControls;
    std::erase(group, control);
    group.insert(group.begin() + std::clamp<std::ptrdiff_t>(order, 0, std::ptrdiff_t(group.size())),
                 control);
    // While read, restacked once at the end rather than for every child that gives its place.
    if (Loading())
        FRestack = TRestack::All;
    else
        Restack();
}

void TWinControl::ArrangeControls(const std::vector<TControl *> &order) {
    std::vector<TControl *> graphic, windowed;
    std::unordered_set<TControl *> taken;
    auto take = [&](TControl *control) {
        if (control->Parent() == this && taken.insert(control).second)
            (control->Windowed() ? windowed : graphic).push_back(control);
    };
    for (TControl *control : order)
        take(control);
    for (TControl *control : Controls())
        take(control);
    FGraphicControls = std::move(graphic);
    FWinControls = std::move(windowed);
    Restack();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    AlignControls();
}

bool TWinControl::WidgetEvent(QEvent *event) {
    if (event->type() == QEvent::Resize) AlignControls();
    return TControl::WidgetEvent(event);
}

void TWinControl::AlignControls() {
    if (FAligning) return;
    FAligning = true;
    // Descriptions place anchored children for the size they give; only later resizes move them.
    const QSize client(ClientWidth(), ClientHeight());
    if (FAnchorBase.isValid() && client != FAnchorBase && !Loading())
        ApplyAnchors(client - FAnchorBase);
    FAnchorBase = client;
    QRect free(0, 0, ClientWidth(), ClientHeight());
    auto place = [&](TAlign align) {
        for (TControl *control : Controls()) {
            if (control->Align() != align || !control->Visible()) continue;
            switch (align) {
            case TAlign::alTop:
                control->SetBounds(free.left(), free.top(), free.width(), control->Height());
                free.setTop(free.top() + control->Height());
                break;
            case TAlign::alBottom:
                control->SetBounds(free.left(), free.bottom() + 1 - control->Height(), free.width(),
                                   control->Height());
                free.setBottom(free.bottom() - control->Height());
                break;
            case TAlign::alLeft:
                control->SetBounds(free.left(), free.top(), control->Width(), free.height());
                free.setLeft(free.left() + control->Width());
                break;
            case TAlign::alRight:
                control->SetBounds(free.right() + 1 - control->Width(), free.top(),
                                   control->Width(), free.height());
                free.setRight(free.right() - control->Width());
                break;
            default:
                control->SetBounds(free.left(), free.top(), free.width(), free.height());
                break;
            }
        }
    };
    for (TAlign align :
         {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient})
        place(align);
    AlignClientArea(free);
    FAligning = false;
}

void TWinControl::ApplyAnchors(QSize delta) {
    auto follow = [](TAnchors anchors, TAnchorKind low, TAnchorKind high, int &position, int &size,
                     int change) {
        const bool near = anchors >> low & 1, far = anchors >> high & 1;
        if (near && far)
            size = std::max(0, size + change);
        else if (far)
            position += change;
        else if (!near)
            position += change / 2;
    };
    for (TControl *control : Controls()) {
        if (control->Align() != TAlign::alNone || control->Anchors() == DefaultAnchors) continue;
        int left = control->Left(), top = control->Top(), width = control->Width(),
            height = control->Height();
        follow(control->Anchors(), akLeft, akRight, left, width, delta.width());
        follow(control->Anchors(), akTop, akBottom, top, height, delta.height());
        control->SetBounds(left, top, width, height);
    }
}
