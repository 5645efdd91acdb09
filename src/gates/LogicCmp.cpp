#include "LogicCmp.h"

#include <QPainter>
#include <QWidget>

#include <array>
#include <string_view>

namespace {

constexpr std::array<std::string_view, LogicalPortTypeCount> TypeElements = {
    "logAND",  "logOR",  "logNOT", "logXOR", "logNAND", "logNOR",
    "logNXOR", "logCLK", "logPLS", "logLED", "logFFD",  "logFFJK"};

} // namespace

const TEnumNames LogicalPortTypeNames = TypeElements;

const TClassInfo &TLogicalPort::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TLogicalPort, TGraphicControl>("TLogicalPort")
            .Enumeration("PortType", LogicalPortTypeNames, &TLogicalPort::PortType,
                         &TLogicalPort::SetPortType)
            .Boolean("ShowType", &TLogicalPort::ShowType, &TLogicalPort::SetShowType)
            .Boolean("ShowPortState", &TLogicalPort::ShowPortState, &TLogicalPort::SetShowPortState)
            .Boolean("Active", &TLogicalPort::Active, &TLogicalPort::SetActive)
            .Boolean("InAPort", &TLogicalPort::InAPort, &TLogicalPort::SetInAPort)
            .Boolean("InBPort", &TLogicalPort::InBPort, &TLogicalPort::SetInBPort)
            .Reference("InAComp", &TLogicalPort::InAComp, &TLogicalPort::SetInAComp)
            .Reference("InBComp", &TLogicalPort::InBComp, &TLogicalPort::SetInBComp)
            .Integer("UpdateDelay", &TLogicalPort::UpdateDelay, &TLogicalPort::SetUpdateDelay)
            .Boolean("Border", &TLogicalPort::Border, &TLogicalPort::SetBorder)
            .Event("OnChange", &TLogicalPort::OnChange)
            .Integer("Color", &TLogicalPort::Color, &TLogicalPort::SetColor)
            .Symbols(ColorNames)
            .Default(clWindow)
            .Stored(&TLogicalPort::IsColorStored)
            .Object("Font", static_cast<TFont *(TLogicalPort::*)()>(&TLogicalPort::Font))
            .Stored(&TLogicalPort::IsFontStored)
            .Reference("PopupMenu", &TLogicalPort::PopupMenu, &TLogicalPort::SetPopupMenu)
            .Enumeration("DragMode", DragModeNames, &TLogicalPort::DragMode,
                         &TLogicalPort::SetDragMode)
            .Default(int(TDragMode::dmManual))
            .Event("OnStartDrag", &TLogicalPort::OnStartDrag)
            .Event("OnDragOver", &TLogicalPort::OnDragOver)
            .Event("OnDragDrop", &TLogicalPort::OnDragDrop)
            .Event("OnMouseDown", &TLogicalPort::OnMouseDown)
            .Event("OnMouseMove", &TLogicalPort::OnMouseMove)
            .Event("OnMouseUp", &TLogicalPort::OnMouseUp)
            .Build();
    return info;
}

TLogicalPort::TLogicalPort(TComponent *owner)
    : TGraphicControl(owner), FThread(TLogicalThread::Create()) {
    SetBounds(Left(), Top(), 50, 40);
    SetColor(clBlack);
    Font()->SetColor(clWhite);
    FThread->OnUpdate = [this](TLogicalThread *) { Evaluate(); };
}

TLogicalPort::~TLogicalPort() {
    // Every way a gate goes passes here (a reader deletes a failed record plainly): the thread
    // stops on its own, and never evaluates this gate again.
    FThread->Terminate();
    if (FOutputWatch) FOutputWatch->PortGone(*this);
}

void TLogicalPort::SetPortType(TLogicalPortType value) {
    if (value == FPortType) return;
    FPortType = value;
    if (value == TLogicalPortType::logPLS)
        PauseThread();
    else
        ApplyActive();
    RequestRedraw();
    Evaluate();
}

void TLogicalPort::SetShowType(bool value) {
    if (value == FShowType) return;
    FShowType = value;
    RequestRedraw();
}

void TLogicalPort::SetShowPortState(bool value) {
    if (value == FShowPortState) return;
    FShowPortState = value;
    RequestRedraw();
}

void TLogicalPort::SetActive(bool value) {
    FActive = value;
    ApplyActive();
}

void TLogicalPort::SetInAPort(bool value) {
    if (TLevel(value) == FLevels.InA) return;
    FLevels.InA = value;
    RequestRedraw();
}

void TLogicalPort::SetInBPort(bool value) {
    if (TLevel(value) == FLevels.InB) return;
    FLevels.InB = value;
    RequestRedraw();
}

void TLogicalPort::SetUpdateDelay(std::int32_t value) {
    FUpdateDelay = value;
    FThread->SetDelay(value);
}

void TLogicalPort::SetBorder(bool value) {
    if (value == FBorder) return;
    FBorder = value;
    RequestRedraw();
}

void TLogicalPort::ApplyActive() {
    if (FActive) {
        if (FThread->Suspended()) FThread->Resume();
    } else {
        PauseThread();
    }
}

void TLogicalPort::PauseThread() {
    if (!FThread->Suspended()) FThread->Suspend();
}

void TLogicalPort::Evaluate() {
    const TPortLevels before = FLevels;
    if (FInAComp) FLevels.InA = FInAComp->Output();
    if (FInBComp) FLevels.InB = FInBComp->Output();
    FLevels = ComputeLevels(FPortType, FLevels);
    const bool shown = FShowPortState || FPortType == TLogicalPortType::logLED;
    if (shown &&
        (FLevels.InA != before.InA || FLevels.InB != before.InB || FLevels.Output != before.Output))
        RequestRedraw();
    if (FLevels.Output != before.Output) OutputChanged();
}

void TLogicalPort::OutputChanged() {
    if (FOutputWatch) FOutputWatch->OutputChanged(*this);
    if (OnChange) OnChange(this);
}

void TLogicalPort::ResetState() {
    FLevels = {};
}

void TLogicalPort::ShowLevels(const TPortLevels &levels) {
    FLevels = levels;
    RequestRedraw();
}

void TLogicalPort::RequestRedraw() {
    // A gate being read is painted once the window shows what was read; painting each one at once
    // costs Qt a pass over all its siblings.
    if (Loading() || FRedrawHolds > 0) return;
    Widget()->repaint();
}

void TLogicalPort::DblClick() {
    TGraphicControl::DblClick();
    if (FPortType != TLogicalPortType::logPLS) return;
    FLevels.Output = !FLevels.Output;
    RequestRedraw();
    OutputChanged();
}

void TLogicalPort::Loaded() {
    TGraphicControl::Loaded();
    FThread->SetDelay(FUpdateDelay);
    // Pulse switches change only by double-click; their threads stay paused after loading.
    if (FPortType == TLogicalPortType::logPLS)
        PauseThread();
    else
        ApplyActive();
}

void TLogicalPort::RemovalNotice(TComponent *component) {
    TGraphicControl::RemovalNotice(component);
    if (component == FInAComp) FInAComp = nullptr;
    if (component == FInBComp) FInBComp = nullptr;
}

TPortLook TLogicalPort::Look() const {
    TPortLook look;
    look.Kind = FPortType;
    look.Width = Width();
    look.Height = Height();
    look.InA = FLevels.InA;
    look.InB = FLevels.InB;
    look.Output = FLevels.Output;
    look.ShowType = FShowType;
    look.ShowPortState = FShowPortState;
    look.Border = FBorder;
    look.Color = Color();
    look.ParentColor = Parent() ? Parent()->Color() : clWindow;
    look.Font.Assign(*Font());
    return look;
}

void TLogicalPort::Paint(QPainter &painter) {
    const TPortLook look = Look();
    const QPixmap picture = PortPicture(look, Widget()->devicePixelRatioF());
    if (!picture.isNull()) {
        painter.drawPixmap(0, 0, picture);
        return;
    }
    // Too large to keep as a picture: drawn directly, clipped to what is exposed.
    TPainterCanvas canvas(painter);
    PaintPort(canvas, look);
}
