#include "FChild.h"

#include "classlib/Buttons.h"
#include "classlib/Canvas.h"
#include "classlib/MessageDlg.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "gates/LogicCmp.h"

#include <QPainter>


namespace {

// Delays a kind change gives: clocks tick slowly enough to be watched, the rest react at once.
constexpr std::int32_t ClockDelay = 500, GateDelay = 10;

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

} // namespace

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

TFormZentaroChild::TFormZentaroChild(TComponent *owner) : TForm(owner) { ReadDescriptionResource(":/forms/FChild.txt"); }

template <typename F> void TFormZentaroChild::ForEachPort(F &&action) const {
    // Copied first: an action may add or remove components.
    const std::vector<TComponent *> components = Components();
    for (TComponent *component : components)
        if (auto *port = dynamic_cast<TLogicalPort *>(component)) action(*port);
}

bool TFormZentaroChild::Whole() const {
    return DesignRT && BtnActive && PanelCtrl && BtnNewLog && RBPosPort && PopupMenuPort && CBShowPortType &&
           ScrollBoxCli && PaintBoxNet;
}

void TFormZentaroChild::FormCreate(TComponent *) {}

void TFormZentaroChild::FormDestroy(TComponent *) {}

void TFormZentaroChild::FormShow(TComponent *) {
    if (!Whole()) return;
    WiresSuspended = false;
    BtnActiveClick(this);
}

bool TFormZentaroChild::NetworkActive() const { return BtnActive->Down(); }

void TFormZentaroChild::BtnActiveClick(TComponent *) {
    if (!Whole()) return;
    const bool active = NetworkActive();
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
    // Resetting is silent: the levels shown must follow, in one repaint of the drawing area.
    ScrollBoxCli->Invalidate();
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
    DesignRT->SetChangeEnabled(positioning);
    BtnNewLog->SetEnabled(positioning);
    ForEachPort([positioning](TLogicalPort &port) {
        if (positioning) {
            port.SetDragMode(TDragMode::dmManual);
        } else {
            port.SetDragMode(TDragMode::dmAutomatic);
            port.SetCursor(crDefault);
        }
    });
}

void TFormZentaroChild::CBShowPortTypeClick(TComponent *) {
    if (!Whole()) return;
    const bool show = CBShowPortType->Checked();
    const TPaintBatch batch(ScrollBoxCli);
    ForEachPort([show](TLogicalPort &port) { port.SetShowType(show); });
}

void TFormZentaroChild::BtnNewLogClick(TComponent *) {
    if (!Whole()) return;
    Modified = true;
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
    port->SetPopupMenu(PopupMenuPort);
    port->OnDragOver = TDragOverEvent("LogicalPortDragOver", [this](TComponent *sender, TComponent *source, int x, int y,
                                                                    TDragState state, bool &accept) {
        LogicalPortDragOver(sender, source, x, y, state, accept);
    });
    port->OnDragDrop = TDragDropEvent("LogicalPortDragDrop", [this](TComponent *sender, TComponent *source, int x, int y) {
        LogicalPortDragDrop(sender, source, x, y);
    });
}

std::string TFormZentaroChild::UniquePortName(const std::string &prefix) const {
    for (int n = 1;; ++n) {
        std::string candidate = prefix + std::to_string(n);
        bool taken = false;
        for (const TComponent *component : Components())
            if (component->Name() == candidate) taken = true;
        if (!taken) return candidate;
    }
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
    port->SetPortType(kind);
    port->SetUpdateDelay(kind == TLogicalPortType::logCLK ? ClockDelay : GateDelay);
    if (kind == TLogicalPortType::logLED) port->SetWidth(port->Height());
    Modified = true;
    // The wires are not redrawn now, but the next paint shows them for the new kind.
    FWirePictureValid = false;
}

void TFormZentaroChild::PopItemDeleteClick(TComponent *) {
    if (!Whole()) return;
    TLogicalPort *port = MenuPort();
    if (!port) return;
    Free(port);
    RepaintWires();
    Modified = true;
}

void TFormZentaroChild::DesignRTBeginChange(TComponent *) { WiresSuspended = true; }

void TFormZentaroChild::DesignRTEndChange(TComponent *) {
    if (!Whole()) return;
    WiresSuspended = false;
    RepaintWires();
    Modified = true;
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
        item->OnClick = TNotifyEvent("PopItemANDClick", [this](TComponent *sender) { PopItemANDClick(sender); });
        items.Insert(tag, item);
    }
}

void TFormZentaroChild::FormClose(TComponent *, TCloseAction &action) {
    // The user must see the network the question is about (close-all asks about hidden ones).
    if (Modified) ShowInFront();
    if (Modified && MessageDlg(QStringLiteral("La rete non è stata salvata. Chiudere ugualmente?"),
                               TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}) != mrYes) {
        action = TCloseAction::caNone;
        return;
    }
    action = TCloseAction::caFree;
    OnNetworkClose(this);
}

void TFormZentaroChild::LogicalPortDragOver(TComponent *, TComponent *source, int, int, TDragState, bool &accept) {
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
    const bool singleInput =
        target->PortType() == TLogicalPortType::logNOT || target->PortType() == TLogicalPortType::logLED;
    const bool inputA = y < target->Height() / 2 || singleInput;
    if (source != target)
        inputA ? target->SetInAComp(source) : target->SetInBComp(source);
    else if (!NetworkActive())
        inputA ? target->SetInAComp(nullptr) : target->SetInBComp(nullptr);
    RepaintWires();
    Modified = true;
}

void TFormZentaroChild::DrawWire(TCanvas &canvas, TLogicalPort *source, TLogicalPort *target, TPin pin) const {
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
    // Gates repaint while they are read, before their wires are resolved: what the wire layer
    // kept then is wrong.
    RepaintWires();
}

void TFormZentaroChild::RemovalNotice(TComponent *component) {
    TForm::RemovalNotice(component);
    FWirePictureValid = false;
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
    const QRect exposed = painter->hasClipping() ? painter->clipBoundingRect().toAlignedRect() & FWirePictureArea
                                                 : FWirePictureArea;
    const qreal ratio = FWirePicture.devicePixelRatio();
    painter->drawImage(QRectF(exposed), FWirePicture,
                        QRectF(QPointF(exposed.topLeft() - FWirePictureArea.topLeft()) * ratio, QSizeF(exposed.size()) * ratio));
}

void ApplyClockDelay(TForm *window, int delay) {
    for (TComponent *component : window->Components())
        if (auto *port = dynamic_cast<TLogicalPort *>(component); port && port->PortType() == TLogicalPortType::logCLK)
            port->SetUpdateDelay(delay);
}

void ApplyShowPortState(TForm *window, bool show) {
    const auto *network = dynamic_cast<TFormZentaroChild *>(window);
    const TPaintBatch batch(network && network->ScrollBoxCli ? static_cast<TControl *>(network->ScrollBoxCli) : window);
    for (TComponent *component : window->Components())
        if (auto *port = dynamic_cast<TLogicalPort *>(component)) port->SetShowPortState(show);
}
