#include "Forms.h"

#include "Application.h"
#include "Screen.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/TextForm.h"
#include "stream/Values.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

constexpr std::array<std::string_view, 4> BorderIconNames = {"biSystemMenu", "biMinimize",
                                                             "biMaximize", "biHelp"};
constexpr std::array<std::string_view, 6> BorderStyleNames = {
    "bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"};
constexpr std::array<std::string_view, 4> FormStyleNames = {"fsNormal", "fsMDIChild", "fsMDIForm",
                                                            "fsStayOnTop"};
constexpr std::array<std::string_view, 8> PositionNames = {
    "poDesigned",     "poDefault",       "poDefaultPosOnly", "poDefaultSizeOnly",
    "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"};
constexpr std::array<std::string_view, 3> WindowStateNames = {"wsNormal", "wsMinimized",
                                                              "wsMaximized"};

std::vector<TForm *> &LiveForms() {
    static std::vector<TForm *> forms;
    return forms;
}

TForm *&FrameForm() {
    static TForm *form = nullptr;
    return form;
}

// The frame's child windows that are forms, topmost first.
std::vector<TForm *> ChildForms(const QMdiArea *area) {
    std::vector<TForm *> children;
    if (!area) return children;
    const QList<QMdiSubWindow *> frames = area->subWindowList(QMdiArea::StackingOrder);
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame)
        for (TForm *form : LiveForms())
            if (form->MDIFrame() == *frame) children.push_back(form);
    return children;
}

} // namespace

// Closing through the window's frame goes through the form's close rules; the frame's empty
// area, which is no control, has no hint.
class TFormEventFilter : public QObject {
public:
    explicit TFormEventFilter(TForm *form) : FForm(form) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Enter && FForm->FMDIArea &&
            watched == FForm->FMDIArea->viewport()) {
            TApplication::Instance().SetHint({});
            return false;
        }
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
            // The user moved or sized the window: its bounds follow.
            if (watched == FForm->FrameWidget()) FForm->FrameGeometryChanged();
            return false;
        }
        // A child window's frame closes its client widget in turn: ask only once, for the frame.
        if (event->type() != QEvent::Close || watched != FForm->FrameWidget()) return false;
        if (!FForm->ConfirmClose()) event->ignore();
        return !event->isAccepted();
    }

private:
    TForm *FForm;
};

TForm *MDIFrameForm() {
    return FrameForm();
}
void SetMDIFrameForm(TForm *form) {
    FrameForm() = form;
}

const TClassInfo &TForm::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TForm, TWinControl>("TForm")
            .Reference("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl)
            .Set("BorderIcons", BorderIconNames, &TForm::BorderIcons, &TForm::SetBorderIcons)
            .Default(1 << biSystemMenu | 1 << biMinimize | 1 << biMaximize)
            .Enumeration("BorderStyle", BorderStyleNames, &TForm::BorderStyle,
                         &TForm::SetBorderStyle)
            .Default(int(TFormBorderStyle::bsSizeable))
            .String("Caption", &TForm::Caption, &TForm::SetCaption)
            .Integer("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight)
            .Stored(&TForm::IsClientSizeStored)
            .Integer("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth)
            .Stored(&TForm::IsClientSizeStored)
            .Integer("Color", &TForm::Color, &TForm::SetColor)
            .Symbols(ColorNames)
            .Stored(&TForm::IsColorStored)
            .Object("Font", static_cast<TFont *(TForm::*)()>(&TForm::Font))
            .Stored(&TForm::IsFontStored)
            .Enumeration("FormStyle", FormStyleNames, &TForm::FormStyle, &TForm::SetFormStyle)
            .Default(int(TFormStyle::fsNormal))
            .Boolean("OldCreateOrder", &TForm::OldCreateOrder, &TForm::SetOldCreateOrder)
            .Enumeration("Position", PositionNames, &TForm::Position, &TForm::SetPosition)
            .Default(int(TPosition::poDesigned))
            .Boolean("Scaled", &TForm::Scaled, &TForm::SetScaled)
            .Default(1)
            .Boolean("Visible", &TForm::Visible, &TForm::SetVisible)
            .Default(0)
            .Enumeration("WindowState", WindowStateNames, &TForm::WindowState,
                         &TForm::SetWindowState)
            .Default(int(TWindowState::wsNormal))
            .Event("OnClose", &TForm::OnClose)
            .Event("OnCreate", &TForm::OnCreate)
            .Event("OnDestroy", &TForm::OnDestroy)
            .Event("OnShow", &TForm::OnShow)
            .Integer("PixelsPerInch", &TForm::PixelsPerInch, &TForm::SetPixelsPerInch)
            .Extra()
            .Integer("TextHeight", &TForm::TextHeight, &TForm::SetTextHeight)
            .Extra()
            .Build();
    return info;
}

TForm::TForm(TComponent *owner) : TWinControl(owner, new QWidget) {
    LiveForms().push_back(this);
    SetParentFont(false);
    SetColor(clBtnFace);
    TControl::SetVisible(false);
    FEventFilter = new TFormEventFilter(this);
    Widget()->installEventFilter(FEventFilter);
}

void TForm::BeforeDestruction() {
    if (FDestroying) return;
    FDestroying = true;
    OnDestroy(this);
}

TForm::~TForm() {
    std::erase(LiveForms(), this);
    if (FrameForm() == this) FrameForm() = nullptr;
    delete FEventFilter;
    if (FMDIFrame) {
        // The frame goes, our widget goes with the control.
        FMDIFrame->setWidget(nullptr);
        delete FMDIFrame;
        // The frame has one child window fewer: whoever shows that learns it now.
        TScreen::Instance().ActiveFormChanged();
    }
}

int TForm::MDIChildCount() const {
    return int(ChildForms(FMDIArea).size());
}

TForm *TForm::MDIChildren(int index) const {
    const std::vector<TForm *> children = ChildForms(FMDIArea);
    return index >= 0 && index < int(children.size()) ? children[std::size_t(index)] : nullptr;
}

TForm *TForm::ActiveMDIChild() const {
    // The current child stays current while another program has the focus.
    const QMdiSubWindow *current = FMDIArea ? FMDIArea->currentSubWindow() : nullptr;
    for (TForm *form : ChildForms(FMDIArea))
        if (form->MDIFrame() == current) return form;
    return nullptr;
}

void TForm::Cascade() {
    if (!FMDIArea) return;
    // Each window keeps its size as far as the area allows; the active one ends on top, lowest.
    const QRect area = FMDIArea->viewport()->rect();
    std::vector<TForm *> children = ChildForms(FMDIArea);
    std::reverse(children.begin(), children.end());
    int step = 0, offset = 0;
    for (TForm *form : children) {
        QMdiSubWindow *frame = form->MDIFrame();
        if (!frame->isVisible() || frame->isMinimized()) continue;
        if (!step) step = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame);
        if (offset > 0 && (offset + frame->minimumSizeHint().height() > area.height() ||
                           offset > area.height() / 2))
            offset = 0;
        const QSize size = frame->size().boundedTo(area.size() - QSize(offset, offset));
        frame->setGeometry(offset, offset, size.width(), size.height());
        frame->raise();
        offset += step;
    }
}

void TForm::Tile() {
    if (!FMDIArea) return;
    std::vector<QMdiSubWindow *> frames;
    for (TForm *form : ChildForms(FMDIArea))
        if (form->MDIFrame()->isVisible() && !form->MDIFrame()->isMinimized())
            frames.push_back(form->MDIFrame());
    const QRect area = FMDIArea->viewport()->rect();
    const int count = int(frames.size());
    for (int i = 0; i < count; ++i) {
        const int top = area.height() * i / count, bottom = area.height() * (i + 1) / count;
        frames[std::size_t(i)]->setGeometry(0, top, area.width(), bottom - top);
    }
}

void TForm::ArrangeIcons() {
    if (!FMDIArea) return;
    const QRect area = FMDIArea->viewport()->rect();
    int left = 0, bottom = area.height(), rowHeight = 0;
    for (TForm *form : ChildForms(FMDIArea)) {
        QMdiSubWindow *frame = form->MDIFrame();
        if (!frame->isVisible() || !frame->isMinimized()) continue;
        const QSize size = frame->size();
        if (left > 0 && left + size.width() > area.width()) {
            left = 0;
            bottom -= rowHeight;
            rowHeight = 0;
        }
        frame->move(left, bottom - size.height());
        left += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

QMdiSubWindow *TForm::MDIFrame() const {
    return FMDIFrame;
}

QWidget *TForm::FrameWidget() const {
    return FMDIFrame ? static_cast<QWidget *>(FMDIFrame) : Widget();
}

QWidget *TForm::ClientWidget() const {
    return Widget();
}

void TForm::AlignClientArea(const QRect &remaining) {
    if (FMDIArea) FMDIArea->setGeometry(remaining);
}

void TForm::ColorChanged() {
    // The form's face shows wherever no control covers it.
    QPalette palette = Widget()->palette();
    palette.setColor(QPalette::Window, ColorToQColor(Color()));
    Widget()->setPalette(palette);
    Widget()->setAutoFillBackground(true);
    TWinControl::ColorChanged();
}

void TForm::ApplyCaption() {
    Widget()->setWindowTitle(FromAnsi(Caption()));
    if (FMDIFrame) FMDIFrame->setWindowTitle(FromAnsi(Caption()));
}

void TForm::SetActiveControl(TWinControl *control) {
    FActiveControl = control;
    if (control && Widget()->isVisible()) control->Widget()->setFocus();
}

void TForm::RemovalNotice(TComponent *component) {
    TWinControl::RemovalNotice(component);
    if (component == FActiveControl) FActiveControl = nullptr;
}

void TForm::SetBorderIcons(std::int64_t icons) {
    FBorderIcons = icons;
    ApplyBorder();
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
    FBorderStyle = style;
    ApplyBorder();
}

void TForm::ApplyBorder() {
    Qt::WindowFlags flags = FMDIFrame ? Qt::SubWindow : Qt::Window;
    if (FBorderStyle == TFormBorderStyle::bsDialog) flags = Qt::Dialog;
    if (FBorderStyle == TFormBorderStyle::bsNone) flags |= Qt::FramelessWindowHint;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (FBorderIcons >> biSystemMenu & 1)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (FBorderIcons >> biMinimize & 1 && FBorderStyle != TFormBorderStyle::bsDialog)
        flags |= Qt::WindowMinimizeButtonHint;
    if (FBorderIcons >> biMaximize & 1 && FBorderStyle != TFormBorderStyle::bsDialog)
        flags |= Qt::WindowMaximizeButtonHint;
    QWidget *frame = FrameWidget();
    const bool visible = frame->isVisible();
    frame->setWindowFlags(flags);
    if (visible) frame->show();
}

void TForm::SetFormStyle(TFormStyle style) {
    if (style == FFormStyle) return;
    FFormStyle = style;
    if (style == TFormStyle::fsMDIForm && !FMDIArea) {
        FMDIArea = new QMdiArea(Widget());
        FMDIArea->setBackground(ColorToQColor(clAppWorkSpace));
        FMDIArea->viewport()->installEventFilter(FEventFilter);
        QObject::connect(FMDIArea, &QMdiArea::subWindowActivated, FMDIArea,
                         [] { TScreen::Instance().ActiveFormChanged(); });
        if (!FrameForm()) FrameForm() = this;
        AlignControls();
    }
    if (style == TFormStyle::fsMDIChild && !FMDIFrame && FrameForm() && FrameForm()->MDIArea()) {
        FMDIFrame = FrameForm()->MDIArea()->addSubWindow(Widget());
        FMDIFrame->installEventFilter(FEventFilter);
        FMDIFrame->setAttribute(Qt::WA_DeleteOnClose, false);
        // Its menu's close item keeps Ctrl+F4 only: bound on every child window, Ctrl+W could
        // never be the frame form's own key (it would always be ambiguous).
        for (QAction *action : FMDIFrame->systemMenu()->actions()) {
            QList<QKeySequence> keys = action->shortcuts();
            if (keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_W))) action->setShortcuts(keys);
        }
        ApplyBorder();
        ApplyFrameGeometry();
        FMDIFrame->setVisible(Visible());
    }
}

TWindowState TForm::WindowState() const {
    const QWidget *frame = FrameWidget();
    if (frame->isMinimized()) return TWindowState::wsMinimized;
    if (frame->isMaximized()) return TWindowState::wsMaximized;
    return frame->isVisible() ? TWindowState::wsNormal : FWindowState;
}

void TForm::SetWindowState(TWindowState state) {
    FWindowState = state;
    QWidget *frame = FrameWidget();
    if (!frame->isVisible()) return;
    if (state == TWindowState::wsMinimized)
        frame->showMinimized();
    else if (state == TWindowState::wsMaximized)
        frame->showMaximized();
    else
        frame->showNormal();
}

void TForm::SetClientWidth(int value) {
    SetBounds(Left(), Top(), Width() - ClientWidth() + value, Height());
}

void TForm::SetClientHeight(int value) {
    SetBounds(Left(), Top(), Width(), Height() - ClientHeight() + value);
}

int TForm::PixelsPerInch() const {
    return Widget()->logicalDpiY();
}

int TForm::TextHeight() const {
    return QFontMetrics(Font()->ToQFont()).height();
}

void TForm::SetBounds(int left, int top, int width, int height) {
    // The bounds are the frame's: the client follows from them, and the frame's own notices of
    // the change must not take its half-done geometry for the new bounds.
    TakeBounds(left, top, width, height);
    FApplyingFrame = true;
    ApplyFrameGeometry();
    FApplyingFrame = false;
    AlignControls();
}

void TForm::FrameGeometryChanged() {
    if (FApplyingFrame) return;
    const QWidget *frame = FrameWidget();
    const QRect outer = FMDIFrame ? frame->geometry() : frame->frameGeometry();
    TakeBounds(outer.x(), outer.y(), outer.width(), outer.height());
}

void TForm::ApplyFrameGeometry() {
    // The control's own geometry is the client's; the frame takes the outer bounds.
    QWidget *frame = FrameWidget();
    frame->setGeometry(Left(), Top(), Width(), Height());
    if (FMDIFrame) {
        // The client sits inside the child window's frame; a frame that kept its geometry lays
        // nothing out again, so put the client back where the frame holds it.
        Widget()->setGeometry(FMDIFrame->contentsRect());
        return;
    }
    const QMargins margins =
        frame->frameGeometry().size() == frame->geometry().size()
            ? QMargins()
            : QMargins(frame->geometry().left() - frame->frameGeometry().left(),
                       frame->geometry().top() - frame->frameGeometry().top(),
                       frame->frameGeometry().right() - frame->geometry().right(),
                       frame->frameGeometry().bottom() - frame->geometry().bottom());
    frame->setGeometry(Left() + margins.left(), Top() + margins.top(),
                       std::max(0, Width() - margins.left() - margins.right()),
                       std::max(0, Height() - margins.top() - margins.bottom()));
}

void TForm::SetVisible(bool visible) {
    TControl::SetVisible(visible);
    // A form read from its description shows once it is complete and created.
    if (Loading()) return;
    if (visible)
        ShowFrame();
    else
        FrameWidget()->hide();
}

void TForm::ShowFrame() {
    QWidget *frame = FrameWidget();
    if (frame->isVisible()) return;
    if (FMDIFrame &&
        (FPosition == TPosition::poDefault || FPosition == TPosition::poDefaultPosOnly)) {
        // Default placement of a child window: each new one cascades below the last.
        const int others = int(FrameForm()->MDIArea()->subWindowList().size()) - 1;
        const int step =
            FMDIFrame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, FMDIFrame);
        SetBounds(others % 8 * step, others % 8 * step, Width(), Height());
    } else if (FPosition == TPosition::poScreenCenter || FPosition == TPosition::poDesktopCenter) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            SetBounds(area.left() + (area.width() - Width()) / 2,
                      area.top() + (area.height() - Height()) / 2, Width(), Height());
        }
    }
    Widget()->show();
    frame->show();
    SetWindowState(FWindowState);
    OnShow(this);
}

void TForm::Close() {
    FrameWidget()->close();
}

void TForm::ShowInFront() {
    if (WindowState() == TWindowState::wsMinimized) SetWindowState(TWindowState::wsNormal);
    QWidget *frame = FrameWidget();
    frame->raise();
    if (QMdiArea *area = FMDIFrame ? FMDIFrame->mdiArea() : nullptr)
        area->setActiveSubWindow(FMDIFrame);
    else
        frame->activateWindow();
}

void TForm::MoveIntoFrame() {
    QMdiArea *area = FMDIFrame ? FMDIFrame->mdiArea() : nullptr;
    if (!area || WindowState() != TWindowState::wsNormal) return;
    const QRect inside = area->viewport()->rect();
    if (inside.isEmpty()) return;
    QRect bounds(Left(), Top(), Width(), Height());
    if (inside.contains(bounds)) return;
    bounds.setSize(bounds.size().boundedTo(inside.size()));
    bounds.moveTo(std::clamp(bounds.left(), inside.left(), inside.right() + 1 - bounds.width()),
                  std::clamp(bounds.top(), inside.top(), inside.bottom() + 1 - bounds.height()));
    SetBounds(bounds.left(), bounds.top(), bounds.width(), bounds.height());
}

int TForm::ShowModal() {
    FModalResult = mrNone;
    Widget()->setWindowModality(Qt::ApplicationModal);
    Show();
    QEventLoop loop;
    FModalLoop = &loop;
    const QPointer<QWidget> alive = Widget();
    if (FModalResult == mrNone && Widget()->isVisible()) loop.exec();
    if (!alive) return mrCancel;
    FModalLoop = nullptr;
    Widget()->setWindowModality(Qt::NonModal);
    if (FModalResult == mrNone) FModalResult = mrCancel;
    FrameWidget()->hide();
    TControl::SetVisible(false);
    return FModalResult;
}

void TForm::SetModalResult(int result) {
    FModalResult = result;
    if (result != mrNone && FModalLoop) FModalLoop->quit();
}

bool FormNameTaken(std::string_view name) {
    return std::any_of(LiveForms().begin(), LiveForms().end(),
                       [name](TForm *form) { return SameText(form->Name(), name); });
}

TForm *GetParentForm(TControl *control) {
    while (control && control->Parent())
        control = control->Parent();
    return dynamic_cast<TForm *>(control);
}

bool TForm::ConfirmClose() {
    TCloseAction action = TCloseAction::caHide;
    if (FFormStyle == TFormStyle::fsMDIChild)
        action = FBorderIcons >> biMinimize & 1 ? TCloseAction::caMinimize : TCloseAction::caNone;
    OnClose(this, action);
    switch (action) {
    case TCloseAction::caNone:
        return false;
    case TCloseAction::caHide:
        TControl::SetVisible(false);
        if (FModalLoop) FModalLoop->quit();
        return true;
    case TCloseAction::caMinimize:
        SetWindowState(TWindowState::wsMinimized);
        return false;
    case TCloseAction::caFree: {
        TControl::SetVisible(false);
        if (FModalLoop) FModalLoop->quit();
        // Destroyed once the close event is over, never inside it.
        const QPointer<QWidget> alive = Widget();
        QTimer::singleShot(0, [this, alive] {
            if (alive) Free(this);
        });
        return true;
    }
    }
    return true;
}

void TForm::GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) {
    TWinControl::GetChildren(proc, root);
    if (root != this) return;
    for (TComponent *component : Components())
        if (!component->HasParent()) proc(component);
}

void TForm::Loaded() {
    TWinControl::Loaded();
    AlignControls();
}

void TForm::ReadDescriptionResource(const char *path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("The window description ") + path + " is missing");
    ReadDescription(file.readAll().toStdString());
}

void TForm::ReadDescription(std::string_view text) {
    TMemoryStream stream;
    ObjectTextToBinary(text, stream);
    stream.Seek(0);
    TReader(stream, FormNameTaken).ReadRootComponent(*this);
    OnCreate(this);
    if (Visible()) ShowFrame();
}
