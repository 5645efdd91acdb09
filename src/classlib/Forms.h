#pragma once

// Forms: the windows of the program, created from their declarative descriptions. A form is a
// top-level window, the multi-document frame (fsMDIForm) or one of the frame's child windows
// (fsMDIChild). Its Left, Top, Width and Height are those of the outer frame.

#include "Controls.h"

#include <string_view>

class QMdiArea;
class QMdiSubWindow;

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
// What closing does: refuse, hide, destroy the form, or minimise it.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TEvent<TComponent *, TCloseAction &>;
// Results of a modal form; a button's ModalResult closes its form with that result.
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7
};

class TForm : public TWinControl {
public:
    explicit TForm(TComponent *owner);
    ~TForm() override;
    ZENTARO_CLASS_INFO()

    TWinControl *ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl *control);
    std::int64_t BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(std::int64_t icons);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle style);
    bool OldCreateOrder() const { return FOldCreateOrder; }
    void SetOldCreateOrder(bool value) { FOldCreateOrder = value; }
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition position) { FPosition = position; }
    bool Scaled() const { return FScaled; }
    void SetScaled(bool value) { FScaled = value; }
    // The inner size; a description may give it instead of the outer one. Never written back.
    void SetClientWidth(int value);
    void SetClientHeight(int value);
    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);
    // The screen's pixel density and the form font's text height, as of this machine.
    int PixelsPerInch() const;
    void SetPixelsPerInch(int) {}
    int TextHeight() const;
    void SetTextHeight(int) {}

    void SetVisible(bool visible) override;
    void SetBounds(int left, int top, int width, int height) override;
    void Show() { SetVisible(true); }
    // Puts the form where the user sees it: restored if minimised, raised and activated.
    void ShowInFront();
    // A child window that reaches outside the frame's area is moved into it, title bar and all,
    // and made smaller only where it does not fit.
    void MoveIntoFrame();
    // Asks OnClose; the action decides whether the form hides, is destroyed or stays.
    void Close();
    // Shows the form as a modal dialog and returns its modal result once it is set or the
    // form is closed (mrCancel then).
    int ShowModal();
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int result);

    // The multi-document frame's area (fsMDIForm) and a child window's frame (fsMDIChild).
    QMdiArea *MDIArea() const { return FMDIArea; }
    QMdiSubWindow *MDIFrame() const;
    // The frame's child windows as they stack, the active one first.
    int MDIChildCount() const;
    TForm *MDIChildren(int index) const;
    TForm *ActiveMDIChild() const;
    // Arrangements of the child windows: one below and right of the other; stacked top to
    // bottom, each the full width; minimised ones lined up along the bottom edge.
    void Cascade();
    void Tile();
    void ArrangeIcons();
    QWidget *ClientWidget() const override;
    void AlignClientArea(const QRect &remaining) override;

    void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) override;
    void RemovalNotice(TComponent *component) override;
    void Loaded() override;
    // Runs OnDestroy; forms destroyed with Free (or by their owner) run it while still whole.
    void BeforeDestruction() override;

    TCloseEvent OnClose;
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;

    // Reads the form's description (the text form of its component stream) into it, then runs
    // OnCreate. A description that does not read raises EReadError or ETextFormError.
    void ReadDescription(std::string_view text);
    // The same with the description compiled into the program under that resource path.
    void ReadDescriptionResource(const char *path);

protected:
    void ApplyCaption() override;
    void ColorChanged() override;

private:
    bool IsClientSizeStored() const { return false; }
    QWidget *FrameWidget() const;
    void ShowFrame();
    void ApplyFrameGeometry();
    void FrameGeometryChanged();
    void ApplyBorder();
    bool ConfirmClose();
    friend class TFormEventFilter;

    TWinControl *FActiveControl = nullptr;
    std::int64_t FBorderIcons = 1 << biSystemMenu | 1 << biMinimize | 1 << biMaximize;
    TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
    TFormStyle FFormStyle = TFormStyle::fsNormal;
    bool FOldCreateOrder = false;
    TPosition FPosition = TPosition::poDesigned;
    bool FScaled = true;
    TWindowState FWindowState = TWindowState::wsNormal;
    QMdiArea *FMDIArea = nullptr;
    // Goes with the frame's area when the frame form is destroyed first.
    QPointer<QMdiSubWindow> FMDIFrame;
    QObject *FEventFilter = nullptr;
    int FModalResult = mrNone;
    bool FDestroying = false;
    bool FApplyingFrame = false;
    class QEventLoop *FModalLoop = nullptr;
};

// Whether a live form has the name, compared without regard to case: form names are unique.
bool FormNameTaken(std::string_view name);

// The form a control sits on, or null.
TForm *GetParentForm(TControl *control);

// The multi-document frame that fsMDIChild forms open in (the application's main form).
TForm *MDIFrameForm();
void SetMDIFrameForm(TForm *form);
