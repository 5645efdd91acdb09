#pragma once

// The MDI frame around the network windows, with the commands that act on files or on all
// networks at once (new/open/save, window layout, clock speed, level marks). Gates are left to
// FChild's functions, so a network's insides are handled in one place only.

#include "classlib/Forms.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

class TApplicationEvents;
class TExceptionLogger;
class TLabel;
class TOpenDialog;
class TPatternCheckBox;
class TAnalysisWindow;
class TRecovery;
class TPatternHolder;
class TPatternPanel;
class TSaveDialog;
class TSpeedButton;
class TStatusBar;
class TSystemInformation;
class TTrackBar;
class TFormZentaroChild;

class TFormZentaroMain : public TForm {
public:
    // Creates the window from its description; it shows itself when told to.
    explicit TFormZentaroMain(TComponent *owner);
    // Runs the destroy step also when deleted plainly: the notices it subscribed to must stop.
    ~TFormZentaroMain() override;
    ZENTARO_CLASS_INFO()

    TPatternPanel *PanelTop = nullptr;
    TSpeedButton *BtnNew = nullptr;
    TSpeedButton *BtnOpen = nullptr;
    TSpeedButton *BtnSave = nullptr;
    TLabel *Label1 = nullptr;
    TSpeedButton *BtnCascade = nullptr;
    TSpeedButton *BtnTile = nullptr;
    TSpeedButton *BtnIconize = nullptr;
    TSpeedButton *BtnCloseAll = nullptr;
    TTrackBar *TrackBarDelay = nullptr;
    TPatternCheckBox *CBShowPortState = nullptr;
    TStatusBar *StatusBar = nullptr;
    TPatternHolder *PatternHolder = nullptr;
    TOpenDialog *OpenDialog = nullptr;
    TSaveDialog *SaveDialog = nullptr;
    TSystemInformation *SysInfo = nullptr;
    TExceptionLogger *ExceptLogger = nullptr;
    TApplicationEvents *ApplicationEvents = nullptr;
    // Made after the description is read, at the end of the tool bar.
    TSpeedButton *BtnUndo = nullptr;
    TSpeedButton *BtnRedo = nullptr;
    TSpeedButton *BtnTiming = nullptr;
    TSpeedButton *BtnAnalysis = nullptr;
    // The combinational analysis, made when first asked for.
    TAnalysisWindow *Analysis() const { return FAnalysis; }

    // Kept in the form's Hint so the text lives with the other form data; all captions start
    // with it.
    std::string CaptionPrefix() const { return Hint(); }
    // The caption at start and after a network window closes.
    static constexpr const char *CreditLine = "Simulatore di Reti Logiche";
    std::string CreditCaption() const { return CaptionPrefix() + CreditLine; }
    // The delay the slider gives to clocks, in milliseconds.
    int ClockDelay() const;

    // Opens the network file at path (native encoding) in a new window, as the open command does
    // once a file has been chosen. Returns the window, or null when the file did not load.
    TFormZentaroChild *OpenNetwork(const std::string &path);
    // The same without telling the user: a file that does not load throws the reason, and the
    // window made for it is gone.
    TFormZentaroChild *OpenNetworkWindow(const std::string &path);
    // The same, but the clocks keep the delays the file gives them and the gates their level
    // marks, as headless runs want them.
    TFormZentaroChild *LoadNetworkWindow(const std::string &path);

    // Keeps copies of the modified networks every `seconds` (0: never) in the user's data folder
    // and offers to reopen those a crashed run left behind.
    void StartRecovery(int seconds);
    // The copies kept, or null before StartRecovery.
    TRecovery *Recovery() const { return FRecovery.get(); }

    void ScreenActiveFormChange(TComponent *sender);
    void NetworkClosed(TComponent *sender);

    // Handlers, bound by name from the window's description.
    void ApplicationEventsException(TComponent *sender, std::exception_ptr error);
    void ApplicationEventsHint(TComponent *sender);
    void FormCreate(TComponent *sender);
    void FormDestroy(TComponent *sender);
    void FormClose(TComponent *sender, TCloseAction &action);
    void BtnNewClick(TComponent *sender);
    void BtnOpenClick(TComponent *sender);
    void BtnSaveClick(TComponent *sender);
    void TrackBarDelayChange(TComponent *sender);
    void CBShowPortStateClick(TComponent *sender);
    void BtnCascadeClick(TComponent *sender);
    void BtnTileClick(TComponent *sender);
    void BtnIconizeClick(TComponent *sender);
    void BtnCloseAllClick(TComponent *sender);

private:
    // Ctrl+N, Ctrl+O, Ctrl+S, Ctrl+Z and Ctrl+Y (or Ctrl+Shift+Z) do what their buttons do;
    // Ctrl+W closes the active network.
    void AddShortCuts();
    void AddToolButtons();
    void BtnUndoClick(TComponent *sender);
    void BtnRedoClick(TComponent *sender);
    // Shows the active network's timing diagram, made when first asked for.
    void BtnTimingClick(TComponent *sender);
    // Analyses the active network in the analysis window.
    void BtnAnalysisClick(TComponent *sender);
    // A new empty network window, as the new command makes it.
    TFormZentaroChild *NewNetworkWindow();
    TAnalysisWindow *FAnalysis = nullptr;
    // Enables the undo buttons as the active network allows and names what they would do.
    void UpdateUndoButtons();
    // Hooks a network window that was just made or opened to this window.
    void Adopt(TFormZentaroChild *window);
    // Loading for both of the above; withSettings gives the gates the slider's delay and the
    // level display.
    TFormZentaroChild *ReadNetworkWindow(const std::string &path, bool withSettings);
    TFormZentaroChild *ActiveNetwork() const;
    // The frame's child windows, and those that are network windows, first to last.
    std::vector<TForm *> ChildWindows() const;
    std::vector<TFormZentaroChild *> NetworkWindows() const;
    std::unique_ptr<TRecovery> FRecovery;
};
