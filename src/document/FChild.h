#pragma once

// One open network: its gates on a large scrolling area, plus the buttons for the three modes
// (place gates, wire them, run). Saving streams this whole form, so renaming a part or a
// handler below breaks existing files.

#include "AreaState.h"
#include "DsgnRunT.h"
#include "Selection.h"
#include "WireRoute.h"
#include "classlib/Forms.h"
#include "sim/PortLogic.h"

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QUndoStack>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TCanvas;
class TCheckBox;
class TLogicalPort;
class TMenuItem;
class TPaintBox;
class TPanel;
class TPopupMenu;
class TRadioButton;
class TScrollBox;
class TSpeedButton;

class TFormZentaroChild : public TForm {
public:
    // Creates the window from its description and shows it.
    explicit TFormZentaroChild(TComponent *owner);
    ~TFormZentaroChild() override;
    ZENTARO_CLASS_INFO()

    // The named parts, bound by name whenever a stream is read into the window.
    TDesignAtRunTime *DesignRT = nullptr;
    TPanel *PanelTop = nullptr;
    TSpeedButton *BtnActive = nullptr;
    TPanel *PanelCtrl = nullptr;
    TSpeedButton *BtnNewLog = nullptr;
    TRadioButton *RBPosPort = nullptr;
    TRadioButton *RBLnkPort = nullptr;
    TPopupMenu *PopupMenuPort = nullptr;
    TMenuItem *PopItemAND = nullptr;
    TMenuItem *PopItemOR = nullptr;
    TMenuItem *PopItemNOT = nullptr;
    TMenuItem *PopItemXOR = nullptr;
    TMenuItem *PopItemNAND = nullptr;
    TMenuItem *PopItemNOR = nullptr;
    TMenuItem *PopItemNXOR = nullptr;
    TMenuItem *PopItemCLOCK = nullptr;
    TMenuItem *N1 = nullptr;
    TMenuItem *PopItemDelete = nullptr;
    TMenuItem *PopItemPULSE = nullptr;
    TMenuItem *PopItemLED = nullptr;
    TCheckBox *CBShowPortType = nullptr;
    TScrollBox *ScrollBoxCli = nullptr;
    TPaintBox *PaintBoxNet = nullptr;
    TPanel *PanelDefComp = nullptr;
    TLogicalPort *LogicalPort1 = nullptr;
    TMenuItem *PopItemFFD = nullptr;
    TMenuItem *PopItemFFJK = nullptr;

    // Set during a move or resize by the designer; wires are skipped until it ends.
    bool WiresSuspended = false;
    std::string FileName = "NoName.ZTR";
    bool Modified = false;
    // Lets the main window hear that this network is going away (sender: this window).
    TNotifyEvent OnNetworkClose;

    // Every edit made while the network is not active, at most UndoLimit of them and UndoBytes of
    // kept records, the oldest going first. Modified follows its clean state.
    QUndoStack UndoStack;
    static constexpr int UndoLimit = 200;
    static constexpr std::int64_t UndoBytes = std::int64_t(16) << 20;
    // Sent when what undo and redo can do changes (sender: this window).
    TNotifyEvent OnUndoChange;
    // Sent when the network starts or stops running, its levels just reset (sender: this window).
    TNotifyEvent OnRunChange;
    // A window of its own that shows this network (its timing diagram), owned from now on: it
    // goes before anything of this window does, unless Qt deleted it with a parent before.
    QWidget *Companion() const { return FCompanion; }
    void SetCompanion(QWidget *window) { FCompanion = window; }
    // When the network last started running.
    std::chrono::steady_clock::time_point RunStart() const { return FRunStart; }
    // The network as it is now is the one its file holds (or a new one): unmodified, and undo
    // leads back to unmodified here.
    void MarkUnmodified();
    // Runs changes that each retake what undo compares edits with (settings, mode, marking
    // unmodified) and retakes it once at the end: opening a network makes several such changes.
    void BatchChanges(const std::function<void()> &changes);
    // Not while the network runs; Undo and Redo also wait for the designer to let go of a control.
    bool CanUndo() const;
    bool CanRedo() const;
    void Undo();
    void Redo();

    // Older files carry a kind menu that predates the flip-flops; this adds their two items.
    void AddFlipFlopItems();
    // prefix + the smallest free number, e.g. "LogPort3" when 1 and 2 are taken (in any case).
    std::string UniquePortName(const std::string &prefix) const;
    // Such names one after another, each call the next free one, for adding many gates at once.
    std::function<std::string()> PortNamer(const std::string &prefix) const;
    // A gate to add in code: its name (free in any case), kind, place and wires (indices into
    // the same list, -1 for none).
    struct TNewPort {
        std::string Name;
        TLogicalPortType Kind = TLogicalPortType::logAND;
        QRect Bounds;
        int InA = -1, InB = -1;
    };
    // Adds the gates, in order, as the "Nuova" button adds a gate, then wires them; no edit is
    // recorded, the caller records or marks the change. An index out of the list leaves that
    // input unwired. When a gate's worker thread cannot start, none stays and the error passes.
    std::vector<TLogicalPort *> AddPorts(const std::vector<TNewPort> &ports);
    // Whether the network runs (the activation button is down).
    bool NetworkActive() const;
    // What resting the pointer on a gate shows: its name and its kind as the kind menu words it,
    // "LogPort3 — NOT". The gate's own hint is left as it is.
    QString PortToolTip(const TLogicalPort &port) const;
    // Draws the wire from source's output to target's pin.
    void DrawWire(TCanvas &canvas, TLogicalPort *source, TLogicalPort *target, TPin pin) const;
    // Draws every wire onto the canvas, in drawing-area coordinates.
    void DrawWires(TCanvas &canvas) const;
    // Redraws the wire layer from the gates as they are now.
    void RepaintWires();

    // The selected gates on the drawing area (placing mode only), in the order selected; the
    // caller must not keep them past a change of the network.
    std::vector<TLogicalPort *> SelectedPorts() const { return FSelection.Gates(); }
    // Makes exactly these gates the selection (gates not on the drawing area are left out).
    void SelectPorts(const std::vector<TLogicalPort *> &ports);
    void ClearSelection();
    // Moves the selection by (dx, dy), short of taking a gate more than half past the area's
    // left or top side; one edit.
    void MoveSelection(int dx, int dy);
    // Deletes the selected gates and the wires to them; one edit, named verb and what went.
    void DeleteSelection(const std::string &verb);
    // The clipboard (GateClipboard.h): copies the selected gates, or cuts them (one edit).
    void CopySelection(bool cut);
    // Adds the clipboard's gates as new ones, renamed, and selects them; one edit. Pasted back
    // into the window that copied them, or pasted again, they land 16 px further on each time.
    void PasteClipboard();
    // Copies and pastes the selection in one edit, 16 px on, leaving the clipboard alone.
    void DuplicateSelection();
    // Tells the user what a command did not do (for the status bar).
    std::function<void(const QString &)> OnStatusText;

    // Reading a file and removing a gate change the wires without any handler of ours.
    void Loaded() override;
    void RemovalNotice(TComponent *component) override;

    // Handlers, bound by name from the window's description and from network files.
    void FormCreate(TComponent *sender);
    void FormDestroy(TComponent *sender);
    void FormShow(TComponent *sender);
    void FormClose(TComponent *sender, TCloseAction &action);
    void BtnActiveClick(TComponent *sender);
    void BtnNewLogClick(TComponent *sender);
    void RBPosPortClick(TComponent *sender);
    void CBShowPortTypeClick(TComponent *sender);
    void PaintBoxNetPaint(TComponent *sender);
    void LogicalPortDragOver(TComponent *sender, TComponent *source, int x, int y, TDragState state,
                             bool &accept);
    void LogicalPortDragDrop(TComponent *sender, TComponent *source, int x, int y);
    void PopItemANDClick(TComponent *sender);
    void PopItemDeleteClick(TComponent *sender);
    void DesignRTBeginChange(TComponent *sender);
    void DesignRTEndChange(TComponent *sender);

private:
    friend class TNetworkCommand;
    struct TNetworkEdit;
    // Whether every fixed part is there: a file that failed to load leaves a window without
    // them, and its handlers then do nothing.
    bool Whole() const;
    template <typename F> void ForEachPort(F &&action) const;
    // The gate the kind menu was opened on, or null.
    TLogicalPort *MenuPort() const;

    // The drawing area as the undo stack last left it (taken again when the mode or a setting
    // changes): edits are told from it, and what changed meanwhile without being an edit (the
    // cursors and stacking the designer leaves behind) goes into the next edit, so that undoing
    // it gives back exactly the stream of that moment.
    void TakeBaseline();
    // Above zero while a batch of changes runs; the baseline is then taken once, when it ends.
    int FBaselineHeld = 0;
    bool FBaselineDue = false;
    // Adds a gate at the top left corner; returns its name.
    std::string AddPort();
    // Gives a gate the kind menu and the wiring handlers every gate of the area has.
    void EquipPort(TLogicalPort &port);
    // Puts an edit on the stack, named text, if the drawing area differs from the baseline.
    void RecordEdit(const std::string &text);
    // Puts the drawing area back as the edit had it before (or after) it.
    void ApplyEdit(const TNetworkEdit &edit, bool after);
    // Drops the oldest edits while the stack keeps more than UndoBytes.
    void TrimUndo();
    void AfterUndoOrRedo();
    TAreaState FBaseline;
    bool FReplaying = false;
    std::exception_ptr FUndoFailure;
    // Settings that the main window gives to every gate, as last given.
    std::optional<std::int32_t> FClockDelay;
    std::optional<bool> FShowPortState;
    friend void ApplyClockDelay(TForm *window, int delay);
    friend void ApplyShowPortState(TForm *window, bool show);
    // The control the designer is moving or sizing, with its bounds when it started.
    std::string FChangingName;
    QRect FChangingBounds;
    bool FChangingSize = false;
    std::chrono::steady_clock::time_point FRunStart;
    QPointer<QWidget> FCompanion;
    // Shows the gates' names on the drawing area (see PortToolTip), the window's widget its owner.
    QObject *FPortToolTips = nullptr;
    void WatchPortToolTips();

    // Cached wires of the area in view, so a repainting gate only blits what lies under it
    // rather than re-routing every wire.
    QImage FWirePicture;
    QRect FWirePictureArea;
    bool FWirePictureValid = false;

    // ---- Selection (see Selection.h)
    TGateSelection FSelection;
    // Gates of the drawing area, as opposed to the sample panel's.
    bool OnArea(const TLogicalPort *port) const;
    bool Selecting() const;
    void SelectionChanged(bool changed);
    void HookDesigner();
    void GatePressed(TControl &control, Qt::KeyboardModifiers modifiers);
    void GateMoved(TControl &control);
    // The others of a group being dragged, with where each started.
    struct TGroupMember {
        TLogicalPort *Port;
        QPointer<QWidget> Widget;
        QPoint Start;
    };
    std::vector<TGroupMember> FGroup;
    QPoint FGroupAnchor;
    bool FClickSelectsAlone = false;
    // The rubber band: pressed on the empty drawing area, in the gates' parent's coordinates.
    class TAreaMouse;
    QObject *FAreaMouse = nullptr;
    QPointer<QWidget> FBand;
    QPoint FBandOrigin;
    std::vector<TLogicalPort *> FBandBase;
    void BandStart(QPoint at, Qt::KeyboardModifiers modifiers);
    void BandMove(QPoint at);
    void BandEnd();
    std::vector<QObject *> FShortcuts;
    void AddShortcuts();
    // The selected gates in the window's component order, which a copy keeps.
    std::vector<TLogicalPort *> SelectionInOrder() const;
    // What this window last copied or pasted, and how many steps of 16 px its last paste
    // here was moved by.
    QByteArray FPasteSource;
    int FPasteStep = 0;
    void PasteGates(const QByteArray &streams, QPoint offset, const std::string &verb);
    void StatusText(const QString &text) const;
};

// Sets the delay of every clock of the window; other gates keep theirs.
void ApplyClockDelay(TForm *window, int delay);
// Shows or hides the level marks of every gate of the window.
void ApplyShowPortState(TForm *window, bool show);
