#include "FChild.h"

#include "GateClipboard.h"
#include "classlib/Buttons.h"
#include "classlib/Canvas.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "classlib/MessageDlg.h"
#include "classlib/StdCtrls.h"
#include "gates/LogicCmp.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/Values.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QScopeGuard>
#include <QShortcut>
#include <QToolTip>

#include <memory>
#include <tuple>
#include <unordered_set>
#include <utility>

namespace {

// Delays a kind change gives: clocks tick slowly enough to be watched, the rest react at once.
constexpr std::int32_t ClockDelay = 500, GateDelay = 10;

// Positioning leaves gates to the designer; linking drags them onto each other.
void SetEditMode(TLogicalPort &port, bool positioning) {
    if (positioning) {
        port.SetDragMode(TDragMode::dmManual);
    } else {
        port.SetDragMode(TDragMode::dmAutomatic);
        port.SetCursor(crDefault);
    }
}

// Holds back the gates' own repaints while many of them change, and repaints the drawing area
// once afterwards.
class TPaintBatch {
public:
    explicit TPaintBatch(TControl *area) : FArea(area) {}
    ~TPaintBatch() {
        if (FArea) FArea->Invalidate();
    }
    TPaintBatch(const TPaintBatch &) = delete;
    TPaintBatch &operator=(const TPaintBatch &) = delete;

private:
    TControl *FArea;
    TLogicalPort::TRedrawHold FHold;
};

// Shows a gate's name and kind when the pointer rests on it. A gate without a tooltip of its own
// passes the request up to the drawing area, where this filter sits.
class TPortToolTips : public QObject {
public:
    TPortToolTips(TFormZentaroChild *window) : QObject(window->Widget()), FWindow(window) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::ToolTip) return false;
        const auto *help = static_cast<QHelpEvent *>(event);
        for (QWidget *widget = static_cast<QWidget *>(watched)->childAt(help->pos());
             widget && widget != watched; widget = widget->parentWidget())
            if (auto *port = dynamic_cast<TLogicalPort *>(TControl::FromWidget(widget))) {
                QToolTip::showText(help->globalPos(), FWindow->PortToolTip(*port), widget);
                return true;
            }
        return false;
    }

private:
    TFormZentaroChild *FWindow;
};

} // namespace

struct TFormZentaroChild::TNetworkEdit {
    TAreaChange Change;
    std::int64_t Bytes = 0;
    // The settings the gates had from the main window when the edit was made.
    std::optional<std::int32_t> ClockDelay;
    std::optional<bool> ShowPortState;
};

// One edit on the window's stack. The edit has already happened when it is pushed: the stack's
// first redo finds the window replaying and does nothing.
class TNetworkCommand : public QUndoCommand {
public:
    TNetworkCommand(TFormZentaroChild &window,
                    std::shared_ptr<const TFormZentaroChild::TNetworkEdit> edit,
                    const QString &text)
        : QUndoCommand(text), FWindow(window), FEdit(std::move(edit)) {}
    void undo() override { FWindow.ApplyEdit(*FEdit, false); }
    void redo() override { FWindow.ApplyEdit(*FEdit, true); }
    const std::shared_ptr<const TFormZentaroChild::TNetworkEdit> &Edit() const { return FEdit; }

private:
    TFormZentaroChild &FWindow;
    std::shared_ptr<const TFormZentaroChild::TNetworkEdit> FEdit;
};

// Presses on the empty drawing area (the paint box beneath the gates) draw the rubber band.
class TFormZentaroChild::TAreaMouse : public QObject {
public:
    explicit TAreaMouse(TFormZentaroChild *window) : QObject(window->Widget()), FWindow(window) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        const auto type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
            type != QEvent::MouseButtonRelease)
            return false;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = static_cast<QWidget *>(watched)->mapToParent(mouse->position().toPoint());
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            FWindow->BandStart(at, mouse->modifiers());
        else if (type == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton))
            FWindow->BandMove(at);
        else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
            FWindow->BandEnd();
        return false;
    }

private:
    TFormZentaroChild *FWindow;
};

const TClassInfo &TFormZentaroChild::StaticClassInfo() {
    using W = TFormZentaroChild;
    static const TClassInfo info = TClassBuilder<W, TForm>("TFormZentaroChild")
                                       .Field("DesignRT", &W::DesignRT)
                                       .Field("PanelTop", &W::PanelTop)
                                       .Field("BtnActive", &W::BtnActive)
                                       .Field("PanelCtrl", &W::PanelCtrl)
                                       .Field("BtnNewLog", &W::BtnNewLog)
                                       .Field("RBPosPort", &W::RBPosPort)
                                       .Field("RBLnkPort", &W::RBLnkPort)
                                       .Field("PopupMenuPort", &W::PopupMenuPort)
                                       .Field("PopItemAND", &W::PopItemAND)
                                       .Field("PopItemOR", &W::PopItemOR)
                                       .Field("PopItemNOT", &W::PopItemNOT)
                                       .Field("PopItemXOR", &W::PopItemXOR)
                                       .Field("PopItemNAND", &W::PopItemNAND)
                                       .Field("PopItemNOR", &W::PopItemNOR)
                                       .Field("PopItemNXOR", &W::PopItemNXOR)
                                       .Field("PopItemCLOCK", &W::PopItemCLOCK)
                                       .Field("N1", &W::N1)
                                       .Field("PopItemDelete", &W::PopItemDelete)
                                       .Field("PopItemPULSE", &W::PopItemPULSE)
                                       .Field("PopItemLED", &W::PopItemLED)
                                       .Field("CBShowPortType", &W::CBShowPortType)
                                       .Field("ScrollBoxCli", &W::ScrollBoxCli)
                                       .Field("PaintBoxNet", &W::PaintBoxNet)
                                       .Field("PanelDefComp", &W::PanelDefComp)
                                       .Field("LogicalPort1", &W::LogicalPort1)
                                       .Field("PopItemFFD", &W::PopItemFFD)
                                       .Field("PopItemFFJK", &W::PopItemFFJK)
                                       .Method("FormCreate", &W::FormCreate)
                                       .Method("FormDestroy", &W::FormDestroy)
                                       .Method("FormShow", &W::FormShow)
                                       .Method("FormClose", &W::FormClose)
                                       .Method("BtnActiveClick", &W::BtnActiveClick)
                                       .Method("BtnNewLogClick", &W::BtnNewLogClick)
                                       .Method("RBPosPortClick", &W::RBPosPortClick)
                                       .Method("PaintBoxNetPaint", &W::PaintBoxNetPaint)
                                       .Method("LogicalPortDragDrop", &W::LogicalPortDragDrop)
                                       .Method("LogicalPortDragOver", &W::LogicalPortDragOver)
                                       .Method("PopItemANDClick", &W::PopItemANDClick)
                                       .Method("DesignRTBeginChange", &W::DesignRTBeginChange)
                                       .Method("DesignRTEndChange", &W::DesignRTEndChange)
                                       .Method("PopItemDeleteClick", &W::PopItemDeleteClick)
                                       .Method("CBShowPortTypeClick", &W::CBShowPortTypeClick)
                                       .Build();
    return info;
}

TFormZentaroChild::TFormZentaroChild(TComponent *owner) : TForm(owner) {
    UndoStack.setUndoLimit(UndoLimit);
    const auto changed = [this] {
        Modified = !UndoStack.isClean();
        OnUndoChange(this);
    };
    QObject::connect(&UndoStack, &QUndoStack::indexChanged, &UndoStack, changed);
    QObject::connect(&UndoStack, &QUndoStack::cleanChanged, &UndoStack, changed);
    ReadDescriptionResource(":/forms/FChild.txt");
    FPortToolTips = new TPortToolTips(this);
    FAreaMouse = new TAreaMouse(this);
    WatchPortToolTips();
    HookDesigner();
    AddShortcuts();
    TakeBaseline();
}

void TFormZentaroChild::WatchPortToolTips() {
    // Installing again only moves the filter to the front.
    if (Whole() && FPortToolTips) ScrollBoxCli->ClientWidget()->installEventFilter(FPortToolTips);
    if (Whole() && FAreaMouse && PaintBoxNet->Widget())
        PaintBoxNet->Widget()->installEventFilter(FAreaMouse);
}

QString TFormZentaroChild::PortToolTip(const TLogicalPort &port) const {
    const int type = int(port.PortType());
    // The kind items are those that set a kind by their tags; without one, the type's own name
    // less its prefix.
    QString kind = QString::fromLatin1(LogicalPortTypeNames[type].substr(3));
    if (PopupMenuPort)
        for (const TMenuItem *item : PopupMenuPort->Items().Items())
            if (item->OnClick.Name() == "PopItemANDClick" && item->Tag() == type) {
                kind = FromAnsi(item->Caption());
                break;
            }
    return FromAnsi(port.Name()) + QStringLiteral(" \u2014 ") + kind;
}

TFormZentaroChild::~TFormZentaroChild() {
    delete FCompanion.data();
    // The stack empties itself when it goes, after everything else of this window: nobody may hear.
    UndoStack.blockSignals(true);
}

template <typename F> void TFormZentaroChild::ForEachPort(F &&action) const {
    // Copied first: an action may add or remove components.
    const std::vector<TComponent *> components = Components();
    for (TComponent *component : components)
        if (auto *port = dynamic_cast<TLogicalPort *>(component)) action(*port);
}

bool TFormZentaroChild::Whole() const {
    return DesignRT && BtnActive && PanelCtrl && BtnNewLog && RBPosPort && PopupMenuPort &&
           CBShowPortType && ScrollBoxCli && PaintBoxNet;
}

void TFormZentaroChild::FormCreate(TComponent *) {}

void TFormZentaroChild::FormDestroy(TComponent *) {}

void TFormZentaroChild::FormShow(TComponent *) {
    if (!Whole()) return;
    WiresSuspended = false;
    BtnActiveClick(this);
}

bool TFormZentaroChild::NetworkActive() const {
    return BtnActive->Down();
}

void TFormZentaroChild::BtnActiveClick(TComponent *) {
    if (!Whole()) return;
    const bool active = NetworkActive();
    ClearSelection();
    DesignRT->SetAttached(!active);
    DesignRT->SetChangeEnabled(!active && RBPosPort->Checked());
    PanelCtrl->SetVisible(!active);
    PopupMenuPort->SetAutoPopup(!active);
    const TPaintBatch batch(ScrollBoxCli);
    ForEachPort([active](TLogicalPort &port) {
        port.SetBorder(!active);
        port.SetActive(active);
        port.ResetState();
    });
    if (active) FRunStart = std::chrono::steady_clock::now();
    OnRunChange(this);
    // Resetting is silent: the levels shown must follow, in one repaint of the drawing area.
    ScrollBoxCli->Invalidate();
    // Running stops undo; both ways end in a handler that takes the baseline again.
    OnUndoChange(this);
    if (active) {
        ForEachPort([](TLogicalPort &port) {
            port.SetDragMode(TDragMode::dmManual);
            port.SetCursor(crDefault);
        });
        CBShowPortTypeClick(this);
    } else {
        ForEachPort([](TLogicalPort &port) { port.SetShowType(true); });
        RBPosPortClick(this);
    }
}

void TFormZentaroChild::RBPosPortClick(TComponent *) {
    if (!Whole()) return;
    const bool positioning = RBPosPort->Checked();
    if (!positioning) ClearSelection();
    DesignRT->SetChangeEnabled(positioning);
    BtnNewLog->SetEnabled(positioning);
    ForEachPort([positioning](TLogicalPort &port) { SetEditMode(port, positioning); });
    TakeBaseline();
}

void TFormZentaroChild::CBShowPortTypeClick(TComponent *) {
    if (!Whole()) return;
    const bool show = CBShowPortType->Checked();
    const TPaintBatch batch(ScrollBoxCli);
    ForEachPort([show](TLogicalPort &port) { port.SetShowType(show); });
    TakeBaseline();
}

void TFormZentaroChild::BtnNewLogClick(TComponent *) {
    if (!Whole()) return;
    // Recorded once the designer is back: detaching gives the gates their cursors back.
    RecordEdit("aggiungi " + AddPort());
}

std::string TFormZentaroChild::AddPort() {
    DesignRT->SetAttached(false);
    // Attached again on every way out: a gate whose thread cannot start must not leave all the
    // others unmovable.
    struct TReattach {
        TDesignAtRunTime *Designer;
        ~TReattach() { Designer->SetAttached(true); }
    } reattach{DesignRT};
    auto *port = new TLogicalPort(this);
    port->SetParent(ScrollBoxCli);
    port->SetBounds(0, 0, port->Width(), port->Height());
    port->SetName(UniquePortName("LogPort"));
    port->SetUpdateDelay(GateDelay);
    port->SetBorder(true);
    EquipPort(*port);
    return port->Name();
}

std::vector<TLogicalPort *> TFormZentaroChild::AddPorts(const std::vector<TNewPort> &ports) {
    std::vector<TLogicalPort *> made;
    if (!Whole()) return made;
    {
        TLogicalThread::TStartBatch workers;
        const TPaintBatch batch(ScrollBoxCli);
        for (const TNewPort &spec : ports) {
            auto *port = new TLogicalPort(this);
            made.push_back(port);
            port->SetParent(ScrollBoxCli);
            port->SetBounds(spec.Bounds.x(), spec.Bounds.y(), spec.Bounds.width(),
                            spec.Bounds.height());
            port->SetName(spec.Name);
            port->SetPortType(spec.Kind);
            port->SetUpdateDelay(spec.Kind == TLogicalPortType::logCLK ? ClockDelay : GateDelay);
            port->SetBorder(true);
            EquipPort(*port);
            SetEditMode(*port, RBPosPort->Checked());
        }
        const auto source = [&made](int index) {
            return index >= 0 && std::size_t(index) < made.size() ? made[std::size_t(index)]
                                                                  : nullptr;
        };
        for (std::size_t i = 0; i < made.size(); ++i) {
            made[i]->SetInAComp(source(ports[i].InA));
            made[i]->SetInBComp(source(ports[i].InB));
        }
        try {
            workers.Finish();
        } catch (...) {
            for (TLogicalPort *port : made)
                Free(port);
            throw;
        }
    }
    DesignRT->AttachNewControls();
    RepaintWires();
    return made;
}

void TFormZentaroChild::EquipPort(TLogicalPort &port) {
    port.SetPopupMenu(PopupMenuPort);
    port.OnDragOver =
        TDragOverEvent("LogicalPortDragOver", [this](TComponent *sender, TComponent *source, int x,
                                                     int y, TDragState state, bool &accept) {
            LogicalPortDragOver(sender, source, x, y, state, accept);
        });
    port.OnDragDrop = TDragDropEvent("LogicalPortDragDrop",
                                     [this](TComponent *sender, TComponent *source, int x, int y) {
                                         LogicalPortDragDrop(sender, source, x, y);
                                     });
}

std::string TFormZentaroChild::UniquePortName(const std::string &prefix) const {
    return PortNamer(prefix)();
}

std::function<std::string()> TFormZentaroChild::PortNamer(const std::string &prefix) const {
    // Taken as the file reader takes it: names differ in more than case. Only the plain decimal
    // form of a number can be the name the namer would make.
    const std::string lowerPrefix = LowerCase(prefix);
    auto taken = std::make_shared<std::unordered_set<std::uint64_t>>();
    for (const TComponent *component : Components()) {
        const std::string name = LowerCase(component->Name());
        if (!name.starts_with(lowerPrefix)) continue;
        const std::string_view digits = std::string_view(name).substr(lowerPrefix.size());
        if (digits.empty() || digits.size() > 18 || digits[0] == '0' ||
            digits.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        taken->insert(std::stoull(std::string(digits)));
    }
    return [prefix, taken, next = std::uint64_t(1)]() mutable {
        while (taken->contains(next))
            ++next;
        taken->insert(next);
        return prefix + std::to_string(next);
    };
}

TLogicalPort *TFormZentaroChild::MenuPort() const {
    return dynamic_cast<TLogicalPort *>(PopupMenuPort->PopupComponent());
}

void TFormZentaroChild::PopItemANDClick(TComponent *sender) {
    if (!Whole()) return;
    TLogicalPort *port = MenuPort();
    const auto *item = dynamic_cast<TMenuItem *>(sender);
    if (!port || !item || item->Tag() < 0 || item->Tag() > int(TLogicalPortType::logFFJK)) return;
    const auto kind = TLogicalPortType(item->Tag());
    const auto look = [port] {
        return std::tuple(port->PortType(), port->UpdateDelay(), port->Width());
    };
    const auto before = look();
    port->SetPortType(kind);
    port->SetUpdateDelay(kind == TLogicalPortType::logCLK ? ClockDelay : GateDelay);
    if (kind == TLogicalPortType::logLED) port->SetWidth(port->Height());
    // The wires are not redrawn now, but the next paint shows them for the new kind.
    FWirePictureValid = false;
    if (look() != before) RecordEdit("tipo di " + port->Name());
}

void TFormZentaroChild::PopItemDeleteClick(TComponent *) {
    if (!Whole()) return;
    TLogicalPort *port = MenuPort();
    if (!port) return;
    if (FSelection.Contains(port)) {
        DeleteSelection("elimina");
        return;
    }
    const std::string name = port->Name();
    Free(port);
    RepaintWires();
    RecordEdit("elimina " + name);
}

void TFormZentaroChild::DesignRTBeginChange(TComponent *) {
    WiresSuspended = true;
    if (TControl *control = Whole() ? DesignRT->CurrentControl() : nullptr) {
        FChangingName = control->Name();
        FChangingBounds =
            QRect(control->Left(), control->Top(), control->Width(), control->Height());
        FChangingSize = DesignRT->Resizing();
        FGroup.clear();
        auto *port = dynamic_cast<TLogicalPort *>(control);
        if (!FChangingSize && FSelection.Contains(port)) {
            FGroupAnchor = QPoint(control->Left(), control->Top());
            for (TLogicalPort *other : FSelection.Gates())
                if (other != port)
                    FGroup.push_back({other, other->Widget(), {other->Left(), other->Top()}});
        }
    }
}

void TFormZentaroChild::DesignRTEndChange(TComponent *) {
    if (!Whole()) return;
    WiresSuspended = false;
    RepaintWires();
    // An end comes also without a beginning (a right button), and a click moves nothing.
    const std::string name = std::exchange(FChangingName, {});
    const std::size_t group = std::exchange(FGroup, {}).size();
    auto *control = dynamic_cast<TControl *>(FindComponent(name));
    if (!control) return;
    const QRect bounds(control->Left(), control->Top(), control->Width(), control->Height());
    if (bounds == FChangingBounds) {
        // A click on one of several selected gates, which did not drag them, picks it alone.
        if (std::exchange(FClickSelectsAlone, false))
            SelectPorts({dynamic_cast<TLogicalPort *>(control)});
        return;
    }
    FClickSelectsAlone = false;
    // A move snaps the size to the grid too: the gesture names the edit.
    if (group > 0)
        RecordEdit("sposta " + std::to_string(group + 1) + " porte");
    else
        RecordEdit((FChangingSize ? "dimensiona " : "sposta ") + name);
}

void TFormZentaroChild::AddFlipFlopItems() {
    if (!Whole()) return;
    TMenuItem &items = PopupMenuPort->Items();
    if (items.Count() != 12) return;
    const std::pair<const char *, int> added[] = {{"FFD", 10}, {"FFJK", 11}};
    for (const auto &[caption, tag] : added) {
        auto *item = new TMenuItem(PopupMenuPort);
        item->SetCaption(caption);
        item->SetTag(tag);
        item->OnClick = TNotifyEvent("PopItemANDClick",
                                     [this](TComponent *sender) { PopItemANDClick(sender); });
        items.Insert(tag, item);
    }
}

void TFormZentaroChild::FormClose(TComponent *, TCloseAction &action) {
    // The user must see the network the question is about (close-all asks about hidden ones).
    if (Modified) ShowInFront();
    if (Modified &&
        MessageDlg(QStringLiteral("La rete non è stata salvata. Chiudere ugualmente?"),
                   TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}) != mrYes) {
        action = TCloseAction::caNone;
        return;
    }
    action = TCloseAction::caFree;
    ClearSelection();
    OnNetworkClose(this);
}

void TFormZentaroChild::LogicalPortDragOver(TComponent *, TComponent *source, int, int, TDragState,
                                            bool &accept) {
    accept = dynamic_cast<TLogicalPort *>(source) != nullptr;
}

void TFormZentaroChild::LogicalPortDragDrop(TComponent *sender, TComponent *dragged, int x, int y) {
    if (!Whole()) return;
    auto *target = dynamic_cast<TLogicalPort *>(sender);
    auto *source = dynamic_cast<TLogicalPort *>(dragged);
    // A wire joins gates of one window: references, files and drawing all stay within it.
    if (!target || !source || source->Owner() != this || target->Owner() != this) return;
    if (x > target->Width() / 2) return;
    if (target->PortType() == TLogicalPortType::logPLS) return;
    if (source->PortType() == TLogicalPortType::logLED) return;
    const bool singleInput = target->PortType() == TLogicalPortType::logNOT ||
                             target->PortType() == TLogicalPortType::logLED;
    const bool inputA = y < target->Height() / 2 || singleInput;
    const auto wired = [&] { return inputA ? target->InAComp() : target->InBComp(); };
    const TLogicalPort *before = wired();
    if (source != target)
        inputA ? target->SetInAComp(source) : target->SetInBComp(source);
    else if (!NetworkActive())
        inputA ? target->SetInAComp(nullptr) : target->SetInBComp(nullptr);
    RepaintWires();
    if (wired() != before)
        RecordEdit(wired() ? "collega " + source->Name() + " a " + target->Name()
                           : "scollega " + target->Name());
}

void TFormZentaroChild::DrawWire(TCanvas &canvas, TLogicalPort *source, TLogicalPort *target,
                                 TPin pin) const {
    const auto bounds = [](const TLogicalPort *port) {
        return QRect(port->Left(), port->Top(), port->Width(), port->Height());
    };
    canvas.Polyline(RouteWire(bounds(source), bounds(target), pin, ScrollBoxCli->ScrollPosition()));
}

void TFormZentaroChild::DrawWires(TCanvas &canvas) const {
    ForEachPort([&](TLogicalPort &target) {
        const TLogicalPortType kind = target.PortType();
        if (kind == TLogicalPortType::logNOT || kind == TLogicalPortType::logLED) {
            if (target.InAComp()) DrawWire(canvas, target.InAComp(), &target, TPin::Middle);
            return;
        }
        if (target.InAComp()) DrawWire(canvas, target.InAComp(), &target, TPin::Upper);
        if (target.InBComp()) DrawWire(canvas, target.InBComp(), &target, TPin::Lower);
    });
}

void TFormZentaroChild::RepaintWires() {
    FWirePictureValid = false;
    if (Whole()) PaintBoxNet->Invalidate();
}

void TFormZentaroChild::Loaded() {
    TForm::Loaded();
    WatchPortToolTips();
    HookDesigner();
    // Gates repaint while they are read, before their wires are resolved: what the wire layer
    // kept then is wrong.
    RepaintWires();
}

void TFormZentaroChild::RemovalNotice(TComponent *component) {
    TForm::RemovalNotice(component);
    FWirePictureValid = false;
    FSelection.Remove(component);
    std::erase_if(FBandBase, [component](const TLogicalPort *port) {
        return static_cast<const void *>(port) == component;
    });
}

void TFormZentaroChild::PaintBoxNetPaint(TComponent *) {
    if (!Whole()) return;
    QPainter *painter = PaintBoxNet->Canvas();
    if (WiresSuspended || !painter) return;
    const QRect visible(ScrollBoxCli->ScrollPosition(), ScrollBoxCli->ViewSize());
    if (!FWirePictureValid || !FWirePictureArea.contains(visible)) {
        const qreal ratio = PaintBoxNet->Widget()->devicePixelRatioF();
        // Made with an alpha channel from the start: filling an opaque picture with
        // transparency would convert it, on Qt's worker threads for a picture this large.
        FWirePicture = QImage(visible.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        FWirePicture.setDevicePixelRatio(ratio);
        FWirePicture.fill(Qt::transparent);
        QPainter picture(&FWirePicture);
        picture.translate(-visible.topLeft());
        TPainterCanvas canvas(picture);
        canvas.SetPen(TPenStyle::psSolid, 1, clBlack);
        DrawWires(canvas);
        FWirePictureArea = visible;
        FWirePictureValid = true;
    }
    // Only the exposed part: a gate's repaint copies the few pixels beneath it.
    const QRect exposed = painter->hasClipping()
                              ? painter->clipBoundingRect().toAlignedRect() & FWirePictureArea
                              : FWirePictureArea;
    const qreal ratio = FWirePicture.devicePixelRatio();
    painter->drawImage(QRectF(exposed), FWirePicture,
                       QRectF(QPointF(exposed.topLeft() - FWirePictureArea.topLeft()) * ratio,
                              QSizeF(exposed.size()) * ratio));
    // The selection's frames, one pixel wide and two outside each gate.
    const std::vector<TLogicalPort *> selected = FSelection.Gates();
    if (selected.empty()) return;
    const QWidget *area = PaintBoxNet->Widget();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(area->palette().color(QPalette::Highlight), 1));
    painter->setBrush(Qt::NoBrush);
    for (const TLogicalPort *port : selected) {
        const QRect gate = port->Widget()->geometry().translated(-area->pos());
        painter->drawRect(gate.adjusted(-2, -2, 1, 1));
    }
    painter->restore();
}

void ApplyClockDelay(TForm *window, int delay) {
    for (TComponent *component : window->Components())
        if (auto *port = dynamic_cast<TLogicalPort *>(component);
            port && port->PortType() == TLogicalPortType::logCLK)
            port->SetUpdateDelay(delay);
    // A setting, not an edit: undo keeps it, also for the gates it brings back.
    if (auto *network = dynamic_cast<TFormZentaroChild *>(window)) {
        network->FClockDelay = delay;
        network->TakeBaseline();
    }
}

void ApplyShowPortState(TForm *window, bool show) {
    const auto *network = dynamic_cast<TFormZentaroChild *>(window);
    const TPaintBatch batch(
        network && network->ScrollBoxCli ? static_cast<TControl *>(network->ScrollBoxCli) : window);
    for (TComponent *component : window->Components())
        if (auto *port = dynamic_cast<TLogicalPort *>(component)) port->SetShowPortState(show);
    if (auto *network = dynamic_cast<TFormZentaroChild *>(window)) {
        network->FShowPortState = show;
        network->TakeBaseline();
    }
}

// ---- Undo

void TFormZentaroChild::MarkUnmodified() {
    UndoStack.setClean();
    Modified = false;
    TakeBaseline();
}

bool TFormZentaroChild::CanUndo() const {
    return Whole() && !NetworkActive() && UndoStack.canUndo();
}

bool TFormZentaroChild::CanRedo() const {
    return Whole() && !NetworkActive() && UndoStack.canRedo();
}

void TFormZentaroChild::Undo() {
    if (!CanUndo() || WiresSuspended) return;
    UndoStack.undo();
    AfterUndoOrRedo();
}

void TFormZentaroChild::Redo() {
    if (!CanRedo() || WiresSuspended) return;
    UndoStack.redo();
    AfterUndoOrRedo();
}

void TFormZentaroChild::AfterUndoOrRedo() {
    if (!FUndoFailure) return;
    // A record that did not read back leaves a network the history no longer fits.
    UndoStack.clear();
    UndoStack.resetClean();
    TakeBaseline();
    std::rethrow_exception(std::exchange(FUndoFailure, nullptr));
}

void TFormZentaroChild::TakeBaseline() {
    if (FBaselineHeld > 0)
        FBaselineDue = true;
    else if (Whole())
        FBaseline = CaptureArea(*this, *ScrollBoxCli);
}

void TFormZentaroChild::BatchChanges(const std::function<void()> &changes) {
    ++FBaselineHeld;
    {
        const auto release = qScopeGuard([this] { --FBaselineHeld; });
        changes();
    }
    if (FBaselineHeld == 0 && std::exchange(FBaselineDue, false)) TakeBaseline();
}

void TFormZentaroChild::RecordEdit(const std::string &text) {
    if (!Whole() || NetworkActive()) return;
    TAreaState now = CaptureArea(*this, *ScrollBoxCli);
    std::optional<TAreaChange> change = DiffAreas(FBaseline, now);
    FBaseline = std::move(now);
    if (!change) return;
    auto edit = std::make_shared<TNetworkEdit>();
    edit->Bytes = change->Bytes();
    edit->Change = std::move(*change);
    edit->ClockDelay = FClockDelay;
    edit->ShowPortState = FShowPortState;
    FReplaying = true;
    UndoStack.push(new TNetworkCommand(*this, std::move(edit), FromAnsi(text)));
    FReplaying = false;
    TrimUndo();
}

void TFormZentaroChild::ApplyEdit(const TNetworkEdit &edit, bool after) {
    if (FReplaying || !Whole()) return;
    try {
        std::vector<TComponent *> read;
        {
            // Undoing a large deletion reads as many gates as opening a network does.
            TLogicalThread::TStartBatch workers;
            read =
                RestoreArea(*this, *ScrollBoxCli, after ? edit.Change.After : edit.Change.Before);
            workers.Finish();
        }
        // The gates read back take the window's mode, and its settings if they changed since.
        const bool positioning = RBPosPort->Checked();
        const bool settingsChanged =
            edit.ClockDelay != FClockDelay || edit.ShowPortState != FShowPortState;
        for (TComponent *component : read) {
            auto *port = dynamic_cast<TLogicalPort *>(component);
            if (!port) continue;
            SetEditMode(*port, positioning);
            if (!settingsChanged) continue;
            if (FShowPortState) port->SetShowPortState(*FShowPortState);
            if (FClockDelay && port->PortType() == TLogicalPortType::logCLK)
                port->SetUpdateDelay(*FClockDelay);
        }
        DesignRT->AttachNewControls();
        // The gates read back are new: those selected before went with the old ones.
        SelectionChanged(true);
    } catch (...) {
        FUndoFailure = std::current_exception();
    }
    RepaintWires();
    TakeBaseline();
}

void TFormZentaroChild::TrimUndo() {
    std::int64_t total = 0;
    const auto command = [this](int index) {
        return static_cast<const TNetworkCommand *>(UndoStack.command(index));
    };
    for (int i = 0; i < UndoStack.count(); ++i)
        total += command(i)->Edit()->Bytes;
    if (total <= UndoBytes) return;
    // The stack cannot let go of its oldest commands alone: it is filled again with the rest.
    std::vector<std::pair<std::shared_ptr<const TNetworkEdit>, QString>> kept;
    int dropped = 0;
    for (int i = 0; i < UndoStack.count(); ++i) {
        if (total > UndoBytes) {
            total -= command(i)->Edit()->Bytes;
            ++dropped;
        } else {
            kept.emplace_back(command(i)->Edit(), command(i)->text());
        }
    }
    const int clean = UndoStack.cleanIndex() < 0 ? -1 : UndoStack.cleanIndex() - dropped;
    FReplaying = true;
    UndoStack.clear();
    for (auto &[edit, text] : kept)
        UndoStack.push(new TNetworkCommand(*this, edit, text));
    if (clean >= 0) {
        UndoStack.setIndex(clean);
        UndoStack.setClean();
        UndoStack.setIndex(UndoStack.count());
    } else {
        UndoStack.resetClean();
    }
    FReplaying = false;
}

// ---- Selection

bool TFormZentaroChild::OnArea(const TLogicalPort *port) const {
    return port && Whole() && port->Parent() == ScrollBoxCli && port->Owner() == this;
}

bool TFormZentaroChild::Selecting() const {
    return Whole() && !NetworkActive() && RBPosPort->Checked();
}

void TFormZentaroChild::SelectionChanged(bool changed) {
    const bool any = !FSelection.Empty();
    for (QObject *shortcut : FShortcuts)
        if (shortcut->property("needsSelection").toBool())
            static_cast<QShortcut *>(shortcut)->setEnabled(any);
    if (changed && Whole()) PaintBoxNet->Invalidate();
}

void TFormZentaroChild::SelectPorts(const std::vector<TLogicalPort *> &ports) {
    std::vector<TLogicalPort *> kept;
    for (TLogicalPort *port : ports)
        if (OnArea(port)) kept.push_back(port);
    SelectionChanged(FSelection.Set(kept));
}

void TFormZentaroChild::ClearSelection() {
    FClickSelectsAlone = false;
    FBandBase.clear();
    if (FBand) FBand->hide();
    SelectionChanged(FSelection.Clear());
}

void TFormZentaroChild::HookDesigner() {
    if (!DesignRT) return;
    DesignRT->OnLeftPress = [this](TControl &control, Qt::KeyboardModifiers modifiers) {
        GatePressed(control, modifiers);
    };
    DesignRT->OnMoveStep = [this](TControl &control) { GateMoved(control); };
}

void TFormZentaroChild::GatePressed(TControl &control, Qt::KeyboardModifiers modifiers) {
    FClickSelectsAlone = false;
    auto *port = dynamic_cast<TLogicalPort *>(&control);
    if (!Selecting() || !OnArea(port)) return;
    // Keys go to the network the user works on.
    ScrollBoxCli->Widget()->setFocus(Qt::MouseFocusReason);
    if (modifiers & (Qt::ControlModifier | Qt::ShiftModifier))
        SelectionChanged(FSelection.Toggle(port));
    else if (!FSelection.Contains(port))
        SelectPorts({port});
    else
        FClickSelectsAlone = FSelection.Count() > 1;
}

void TFormZentaroChild::GateMoved(TControl &control) {
    if (FGroup.empty() || control.Name() != FChangingName) return;
    const QPoint offset = QPoint(control.Left(), control.Top()) - FGroupAnchor;
    for (const TGroupMember &member : FGroup)
        if (member.Widget && TControl::FromWidget(member.Widget) == member.Port)
            member.Port->SetBounds(member.Start.x() + offset.x(), member.Start.y() + offset.y(),
                                   member.Port->Width(), member.Port->Height());
}

void TFormZentaroChild::MoveSelection(int dx, int dy) {
    if (!Selecting() || WiresSuspended) return;
    const std::vector<TLogicalPort *> ports = FSelection.Gates();
    if (ports.empty()) return;
    std::vector<QRect> bounds;
    for (const TLogicalPort *port : ports)
        bounds.emplace_back(port->Left(), port->Top(), port->Width(), port->Height());
    const QPoint offset = LimitGroupOffset(bounds, {dx, dy});
    if (offset.isNull()) return;
    {
        const TPaintBatch batch(ScrollBoxCli);
        for (TLogicalPort *port : ports)
            port->SetBounds(port->Left() + offset.x(), port->Top() + offset.y(), port->Width(),
                            port->Height());
    }
    RepaintWires();
    RecordEdit(ports.size() == 1 ? "sposta " + ports.front()->Name()
                                 : "sposta " + std::to_string(ports.size()) + " porte");
}

void TFormZentaroChild::DeleteSelection(const std::string &verb) {
    if (!Selecting() || WiresSuspended) return;
    const std::vector<TLogicalPort *> ports = FSelection.Gates();
    if (ports.empty()) return;
    const std::string text = ports.size() == 1
                                 ? verb + " " + ports.front()->Name()
                                 : verb + " " + std::to_string(ports.size()) + " porte";
    {
        const TPaintBatch batch(ScrollBoxCli);
        // Each goes through the removal notices, which clear the wires to it.
        for (TLogicalPort *port : ports)
            Free(port);
    }
    ClearSelection();
    RepaintWires();
    RecordEdit(text);
}

std::vector<TLogicalPort *> TFormZentaroChild::SelectionInOrder() const {
    const std::vector<TLogicalPort *> selected = FSelection.Gates();
    const std::unordered_set<const TLogicalPort *> chosen(selected.begin(), selected.end());
    std::vector<TLogicalPort *> ports;
    ForEachPort([&](TLogicalPort &port) {
        if (chosen.contains(&port)) ports.push_back(&port);
    });
    return ports;
}

void TFormZentaroChild::StatusText(const QString &text) const {
    if (OnStatusText) OnStatusText(text);
}

void TFormZentaroChild::CopySelection(bool cut) {
    if (!Selecting() || WiresSuspended) return;
    const std::vector<TLogicalPort *> ports = SelectionInOrder();
    if (ports.empty()) return;
    FPasteSource = GateStreams(*this, ports);
    // Pasted back here, copies land beside their originals; cut ones where they were.
    FPasteStep = cut ? -1 : 0;
    QGuiApplication::clipboard()->setMimeData(GatesMimeData(FPasteSource).release());
    if (cut) DeleteSelection("taglia");
}

void TFormZentaroChild::PasteClipboard() {
    if (!Whole()) return;
    if (!Selecting() || WiresSuspended) {
        StatusText(QStringLiteral("Le porte si incollano posizionandole, a rete ferma"));
        return;
    }
    const TClipboardGates gates = GatesFromMimeData(QGuiApplication::clipboard()->mimeData());
    if (!gates.Refusal.isEmpty()) {
        StatusText(gates.Refusal);
        return;
    }
    // Gates from elsewhere land where they stood there, each paste of them after 16 px on.
    if (gates.Streams != FPasteSource) {
        FPasteSource = gates.Streams;
        FPasteStep = -1;
    }
    PasteGates(gates.Streams, QPoint(16, 16) * ++FPasteStep, "incolla");
}

void TFormZentaroChild::DuplicateSelection() {
    if (!Selecting() || WiresSuspended) return;
    const std::vector<TLogicalPort *> ports = SelectionInOrder();
    if (!ports.empty()) PasteGates(GateStreams(*this, ports), {16, 16}, "duplica");
}

void TFormZentaroChild::PasteGates(const QByteArray &streams, QPoint offset,
                                   const std::string &verb) {
    const TReader::TPasteRules rules{
        [](const TClassInfo &info) { return &info == &TLogicalPort::StaticClassInfo(); },
        PortNamer("LogPort")};
    std::vector<TComponent *> read;
    {
        TLogicalThread::TStartBatch workers;
        try {
            TMemoryStream stream(streams.constData(), streams.size());
            read = TReader(stream).ReadPastedComponents(*this, *ScrollBoxCli, rules);
        } catch (const std::exception &) {
            // The reader took back whatever it had made.
            StatusText(UnreadableGatesText());
            return;
        }
        try {
            workers.Finish();
        } catch (...) {
            for (TComponent *component : read)
                Free(component);
            throw;
        }
    }
    std::vector<TLogicalPort *> ports;
    {
        const TPaintBatch batch(ScrollBoxCli);
        for (TComponent *component : read) {
            auto *port = dynamic_cast<TLogicalPort *>(component);
            if (!port) continue;
            ports.push_back(port);
            // They take this window's ways, as gates made here have them, even when the text a
            // user pasted left out the menu or the wiring.
            EquipPort(*port);
            SetEditMode(*port, true);
            if (FShowPortState) port->SetShowPortState(*FShowPortState);
            if (FClockDelay && port->PortType() == TLogicalPortType::logCLK)
                port->SetUpdateDelay(*FClockDelay);
            port->SetBounds(port->Left() + offset.x(), port->Top() + offset.y(), port->Width(),
                            port->Height());
        }
    }
    DesignRT->AttachNewControls();
    SelectPorts(ports);
    RepaintWires();
    RecordEdit(ports.size() == 1 ? verb + " " + ports.front()->Name()
                                 : verb + " " + std::to_string(ports.size()) + " porte");
}

void TFormZentaroChild::BandStart(QPoint at, Qt::KeyboardModifiers modifiers) {
    if (!Selecting()) return;
    ScrollBoxCli->Widget()->setFocus(Qt::MouseFocusReason);
    const bool adding = modifiers & (Qt::ControlModifier | Qt::ShiftModifier);
    if (!adding) ClearSelection();
    FBandBase = FSelection.Gates();
    FBandOrigin = at;
    if (!FBand)
        FBand = new QRubberBand(QRubberBand::Rectangle, PaintBoxNet->Widget()->parentWidget());
    FBand->setGeometry(QRect(at, QSize()));
}

void TFormZentaroChild::BandMove(QPoint at) {
    if (!Selecting() || !FBand) return;
    const QRect band = QRect(FBandOrigin, at).normalized();
    FBand->setGeometry(band);
    FBand->raise();
    FBand->show();
    std::vector<TLogicalPort *> chosen = FBandBase;
    ForEachPort([&](TLogicalPort &port) {
        if (OnArea(&port) && port.Widget()->geometry().intersects(band)) chosen.push_back(&port);
    });
    SelectionChanged(FSelection.Set(chosen));
}

void TFormZentaroChild::BandEnd() {
    FBandBase.clear();
    if (FBand) FBand->hide();
}

void TFormZentaroChild::AddShortcuts() {
    QWidget *widget = Widget();
    const auto add = [&](QKeySequence keys, bool needsSelection, std::function<void()> action) {
        auto *shortcut = new QShortcut(keys, widget);
        // In a subwindow, a window's shortcut acts only while the focus is in that subwindow, so
        // each network has its own.
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setProperty("needsSelection", needsSelection);
        shortcut->setEnabled(!needsSelection);
        QObject::connect(shortcut, &QShortcut::activated, widget, [this, action] {
            if (Selecting()) action();
        });
        FShortcuts.push_back(shortcut);
    };
    add(Qt::CTRL | Qt::Key_A, false, [this] {
        std::vector<TLogicalPort *> all;
        ForEachPort([&](TLogicalPort &port) { all.push_back(&port); });
        SelectPorts(all);
    });
    add(Qt::Key_Escape, true, [this] { ClearSelection(); });
    add(Qt::Key_Delete, true, [this] { DeleteSelection("elimina"); });
    const std::pair<Qt::Key, QPoint> arrows[] = {{Qt::Key_Left, {-1, 0}},
                                                 {Qt::Key_Right, {1, 0}},
                                                 {Qt::Key_Up, {0, -1}},
                                                 {Qt::Key_Down, {0, 1}}};
    for (const auto &[key, direction] : arrows)
        for (const int times : {1, 5})
            add(times == 1 ? QKeySequence(key) : QKeySequence(Qt::SHIFT | key), true,
                [this, direction, times] {
                    const int step = DesignRT->GridSize() > 0 ? DesignRT->GridSize() : 4;
                    MoveSelection(direction.x() * step * times, direction.y() * step * times);
                });
}
