#pragma once

// One open network: its gates on a large scrolling area, plus the buttons for the three modes
// (place gates, wire them, run). Saving streams this whole form, so renaming a part or a
// handler below breaks existing files.

#include "DsgnRunT.h"
#include "WireRoute.h"
#include "classlib/Forms.h"

#include <QImage>

#include <string>

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

    // Older files carry a kind menu that predates the flip-flops; this adds their two items.
    void AddFlipFlopItems();
    // prefix + the smallest free number, e.g. "LogPort3" when 1 and 2 are taken.
    std::string UniquePortName(const std::string &prefix) const;
    // Whether the network runs (the activation button is down).
    bool NetworkActive() const;
    // Draws the wire from source's output to target's pin.
    void DrawWire(TCanvas &canvas, TLogicalPort *source, TLogicalPort *target, TPin pin) const;
    // Draws every wire onto the canvas, in drawing-area coordinates.
    void DrawWires(TCanvas &canvas) const;
    // Redraws the wire layer from the gates as they are now.
    void RepaintWires();

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
    // Whether every fixed part is there: a file that failed to load leaves a window without
    // them, and its handlers then do nothing.
    bool Whole() const;
    template <typename F> void ForEachPort(F &&action) const;
    // The gate the kind menu was opened on, or null.
    TLogicalPort *MenuPort() const;

    // Cached wires of the area in view, so a repainting gate only blits what lies under it
    // rather than re-routing every wire.
    QImage FWirePicture;
    QRect FWirePictureArea;
    bool FWirePictureValid = false;
};

// Sets the delay of every clock of the window; other gates keep theirs.
void ApplyClockDelay(TForm *window, int delay);
// Shows or hides the level marks of every gate of the window.
void ApplyShowPortState(TForm *window, bool show);
