#include "Main.h"

#include "AnalysisWindow.h"
#include "ExcepLog.h"
#include "Folders.h"
#include "Hourglass.h"
#include "Recovery.h"
#include "Sysinfo.h"
#include "TimingDiagram.h"
#include "Util.h"
#include "classlib/AppEvnts.h"
#include "classlib/Application.h"
#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/MessageDlg.h"
#include "classlib/Screen.h"
#include "classlib/StdCtrls.h"
#include "document/FChild.h"
#include "document/PatPanel.h"
#include "gates/LogicCmp.h"
#include "stream/ClassRegistry.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPointer>
#include <QShortcut>

#include <functional>

namespace {

// Network files create their gates by class name.
const bool PortClassRegistered = [] {
    RegisterClass(TLogicalPort::StaticClassInfo());
    return true;
}();

// Paths are kept in the encoding of the file system; captions are 8-bit text.
std::string CaptionOfPath(const std::string &path) {
    return ToAnsi(QFile::decodeName(QByteArray::fromStdString(path)));
}
std::string FileNamePart(const std::string &path) {
    return ToAnsi(QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName());
}

void ShowMessageBox(const QString &text) {
    MessageDlg(text, TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
}

// A 16 × 16 glyph drawn by paint, as a bitmap file whose bottom-left colour the button leaves
// transparent.
std::string Glyph(const std::function<void(QPainter &, const QColor &ink)> &paint) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(0, 128, 128));
    {
        QPainter painter(&image);
        paint(painter, QColor(0, 0, 128));
    }
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return file.toStdString();
}

// An arrow bending back to the left (to the right for redo).
std::string ArrowGlyph(bool redo) {
    return Glyph([redo](QPainter &painter, const QColor &ink) {
        if (redo) painter.setTransform(QTransform(-1, 0, 0, 1, 16, 0));
        painter.setPen(QPen(ink, 2, Qt::SolidLine, Qt::FlatCap));
        painter.drawArc(QRect(4, 3, 9, 9), -90 * 16, 240 * 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawPolygon(QPolygon({{1, 5}, {8, 5}, {4, 10}}));
    });
}

// Two periods of a square wave, for the timing diagram.
std::string SquareWaveGlyph() {
    return Glyph([](QPainter &painter, const QColor &ink) {
        painter.setPen(QPen(ink, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.drawPolyline(QPolygon(
            {{1, 12}, {4, 12}, {4, 4}, {8, 4}, {8, 12}, {11, 12}, {11, 4}, {14, 4}, {14, 12}}));
    });
}

// A Karnaugh map of four cells, two of them grouped.
std::string KarnaughGlyph() {
    return Glyph([](QPainter &painter, const QColor &ink) {
        painter.setPen(QPen(ink, 1));
        painter.drawRect(2, 2, 12, 12);
        painter.drawLine(8, 2, 8, 14);
        painter.drawLine(2, 8, 14, 8);
        painter.setPen(QPen(QColor(200, 0, 0), 2));
        painter.drawRoundedRect(QRectF(3.5, 3.5, 9, 3.5), 1.5, 1.5);
    });
}

} // namespace

const TClassInfo &TFormZentaroMain::StaticClassInfo() {
    using W = TFormZentaroMain;
    static const TClassInfo info =
        TClassBuilder<W, TForm>("TFormZentaroMain")
            .Field("PanelTop", &W::PanelTop)
            .Field("BtnNew", &W::BtnNew)
            .Field("BtnOpen", &W::BtnOpen)
            .Field("BtnSave", &W::BtnSave)
            .Field("Label1", &W::Label1)
            .Field("BtnCascade", &W::BtnCascade)
            .Field("BtnTile", &W::BtnTile)
            .Field("BtnIconize", &W::BtnIconize)
            .Field("BtnCloseAll", &W::BtnCloseAll)
            .Field("TrackBarDelay", &W::TrackBarDelay)
            .Field("CBShowPortState", &W::CBShowPortState)
            .Field("StatusBar", &W::StatusBar)
            .Field("PatternHolder", &W::PatternHolder)
            .Field("OpenDialog", &W::OpenDialog)
            .Field("SaveDialog", &W::SaveDialog)
            .Field("SysInfo", &W::SysInfo)
            .Field("ExceptLogger", &W::ExceptLogger)
            .Field("ApplicationEvents", &W::ApplicationEvents)
            .Method("ApplicationEventsException", &W::ApplicationEventsException)
            .Method("ApplicationEventsHint", &W::ApplicationEventsHint)
            .Method("FormCreate", &W::FormCreate)
            .Method("BtnNewClick", &W::BtnNewClick)
            .Method("BtnOpenClick", &W::BtnOpenClick)
            .Method("BtnSaveClick", &W::BtnSaveClick)
            .Method("FormDestroy", &W::FormDestroy)
            .Method("FormClose", &W::FormClose)
            .Method("TrackBarDelayChange", &W::TrackBarDelayChange)
            .Method("CBShowPortStateClick", &W::CBShowPortStateClick)
            .Method("BtnCascadeClick", &W::BtnCascadeClick)
            .Method("BtnTileClick", &W::BtnTileClick)
            .Method("BtnIconizeClick", &W::BtnIconizeClick)
            .Method("BtnCloseAllClick", &W::BtnCloseAllClick)
            .Build();
    return info;
}

TFormZentaroMain::TFormZentaroMain(TComponent *owner) : TForm(owner) {
    ReadDescriptionResource(":/forms/Main.txt");
#ifdef ZENTARO_SUPPORT_MAIL
    ExceptLogger->SetMailAddress(ZENTARO_SUPPORT_MAIL);
#endif
    AddToolButtons();
    AddShortCuts();
}

TFormZentaroMain::~TFormZentaroMain() {
    BeforeDestruction();
}

void TFormZentaroMain::StartRecovery(int seconds) {
    FRecovery = std::make_unique<TRecovery>([this] { return NetworkWindows(); }, seconds);
    FRecovery->OfferLeftOvers([this](const std::string &path, const std::string &originalName) {
        TFormZentaroChild *window = OpenNetworkWindow(path);
        window->FileName = originalName;
        window->SetCaption(FileNamePart(originalName));
        SetCaption(CaptionPrefix() + CaptionOfPath(originalName));
        // Differs from its file until saved again, whatever undo does meanwhile.
        window->UndoStack.resetClean();
        return window;
    });
}

void TFormZentaroMain::AddShortCuts() {
    const std::pair<TSpeedButton *, QKeySequence> buttons[] = {
        {BtnNew, Qt::CTRL | Qt::Key_N},
        {BtnOpen, Qt::CTRL | Qt::Key_O},
        {BtnSave, Qt::CTRL | Qt::Key_S},
        {BtnUndo, Qt::CTRL | Qt::Key_Z},
        {BtnRedo, Qt::CTRL | Qt::SHIFT | Qt::Key_Z},
        {BtnRedo, Qt::CTRL | Qt::Key_Y}};
    for (const auto &[button, keys] : buttons) {
        // A tooltip names the last keys given to its button.
        button->SetShortCutHint(keys.toString(QKeySequence::NativeText));
        // Like a click, a key does nothing while its button is disabled.
        QObject::connect(new QShortcut(keys, Widget()), &QShortcut::activated, Widget(), [button] {
            if (button->Enabled()) button->OnClick(button);
        });
    }
    // The clipboard's keys act on the active network wherever the focus is, as undo does.
    const std::pair<QKeySequence, void (*)(TFormZentaroChild &)> clipboard[] = {
        {Qt::CTRL | Qt::Key_C, [](TFormZentaroChild &network) { network.CopySelection(false); }},
        {Qt::CTRL | Qt::Key_X, [](TFormZentaroChild &network) { network.CopySelection(true); }},
        {Qt::CTRL | Qt::Key_V, [](TFormZentaroChild &network) { network.PasteClipboard(); }},
        {Qt::CTRL | Qt::Key_D, [](TFormZentaroChild &network) { network.DuplicateSelection(); }}};
    for (const auto &[keys, command] : clipboard)
        QObject::connect(new QShortcut(keys, Widget()), &QShortcut::activated, Widget(),
                         [this, command] {
                             if (TFormZentaroChild *network = ActiveNetwork()) command(*network);
                         });
    QObject::connect(new QShortcut(Qt::CTRL | Qt::Key_W, Widget()), &QShortcut::activated, Widget(),
                     [this] {
                         if (auto *window = dynamic_cast<TFormZentaroChild *>(ActiveMDIChild()))
                             window->Close();
                     });
}

void TFormZentaroMain::AddToolButtons() {
    auto add = [this](const char *name, int left, const std::string &glyph,
                      void (TFormZentaroMain::*click)(TComponent *)) {
        auto *button = new TSpeedButton(this);
        button->SetName(name);
        button->SetParent(PanelTop);
        button->SetBounds(left, 4, 30, 30);
        button->SetFlat(true);
        button->SetParentShowHint(false);
        button->SetShowHint(true);
        button->Glyph()->LoadFromFile(glyph);
        button->OnClick =
            TNotifyEvent([this, click](TComponent *sender) { (this->*click)(sender); });
        return button;
    };
    BtnUndo = add("BtnUndo", 636, ArrowGlyph(false), &TFormZentaroMain::BtnUndoClick);
    BtnRedo = add("BtnRedo", 668, ArrowGlyph(true), &TFormZentaroMain::BtnRedoClick);
    BtnTiming = add("BtnTiming", 708, SquareWaveGlyph(), &TFormZentaroMain::BtnTimingClick);
    BtnTiming->SetHint("Diagramma temporale|Mostra l'andamento dei livelli della rete attiva");
    BtnTiming->SetEnabled(false);
    BtnAnalysis = add("BtnAnalysis", 740, KarnaughGlyph(), &TFormZentaroMain::BtnAnalysisClick);
    BtnAnalysis->SetHint(ToAnsi(QStringLiteral(
        "Analisi|Analizza la rete: tabella della verità, mappa di Karnaugh, espressioni minime")));
    // The slider has no words on it: its tooltip and the status bar say what it does.
    TrackBarDelay->SetHint(ToAnsi(QStringLiteral("Velocità dei clock: a destra più veloce")));
    TrackBarDelay->SetShowHint(true);
    UpdateUndoButtons();
}

TFormZentaroChild *TFormZentaroMain::ActiveNetwork() const {
    return dynamic_cast<TFormZentaroChild *>(ActiveMDIChild());
}

void TFormZentaroMain::UpdateUndoButtons() {
    TFormZentaroChild *network = nullptr;
    try {
        network = ActiveNetwork();
    } catch (...) {
    }
    const auto update = [](TSpeedButton *button, bool enabled, const std::string &action,
                           const QString &what, const char *description) {
        button->SetEnabled(enabled);
        button->SetHint(action + (enabled && !what.isEmpty() ? ": " + ToAnsi(what) : "") + "|" +
                        description);
    };
    update(BtnUndo, network && network->CanUndo(), "Annulla",
           network ? network->UndoStack.undoText() : QString(),
           "Annulla l'ultima modifica della rete");
    update(BtnRedo, network && network->CanRedo(), "Ripristina",
           network ? network->UndoStack.redoText() : QString(), "Ripristina la modifica annullata");
}

void TFormZentaroMain::BtnUndoClick(TComponent *) {
    if (TFormZentaroChild *network = ActiveNetwork()) network->Undo();
}

void TFormZentaroMain::BtnRedoClick(TComponent *) {
    if (TFormZentaroChild *network = ActiveNetwork()) network->Redo();
}

void TFormZentaroMain::BtnTimingClick(TComponent *) {
    if (TFormZentaroChild *network = ActiveNetwork()) TTimingDiagram::Of(*network).ShowInFront();
}

void TFormZentaroMain::Adopt(TFormZentaroChild *window) {
    window->OnNetworkClose = TNotifyEvent([this](TComponent *sender) { NetworkClosed(sender); });
    window->OnUndoChange = TNotifyEvent([this](TComponent *) { UpdateUndoButtons(); });
    window->OnStatusText = [this](const QString &text) { StatusBar->SetSimpleText(ToAnsi(text)); };
    UpdateUndoButtons();
}

std::vector<TForm *> TFormZentaroMain::ChildWindows() const {
    std::vector<TForm *> windows;
    for (int i = 0; i < MDIChildCount(); ++i)
        windows.push_back(MDIChildren(i));
    return windows;
}

std::vector<TFormZentaroChild *> TFormZentaroMain::NetworkWindows() const {
    std::vector<TFormZentaroChild *> windows;
    for (TForm *window : ChildWindows())
        if (auto *network = dynamic_cast<TFormZentaroChild *>(window)) windows.push_back(network);
    return windows;
}

int TFormZentaroMain::ClockDelay() const {
    return 2000 - TrackBarDelay->Position();
}

void TFormZentaroMain::FormCreate(TComponent *) {
    TScreen::Instance().OnActiveFormChange =
        TNotifyEvent([this](TComponent *sender) { ScreenActiveFormChange(sender); });
    const QString folder = StartFolder();
    OpenDialog->SetInitialDirPath(folder);
    SaveDialog->SetInitialDirPath(folder);
    const QString examples = ExamplesFolder();
    if (!examples.isEmpty()) OpenDialog->SetSidebarFolders({examples});
    SetCaption(CreditCaption());
}

void TFormZentaroMain::FormDestroy(TComponent *) {
    TScreen::Instance().OnActiveFormChange = TNotifyEvent();
    // Ending with networks open keeps their latest state for the next start.
    if (FRecovery) FRecovery->SaveAll();
    // The network windows belong to the program, which ends with this window.
    for (TFormZentaroChild *window : NetworkWindows())
        Free(window);
}

void TFormZentaroMain::FormClose(TComponent *, TCloseAction &action) {
    try {
        if (MDIChildCount() > 0) action = TCloseAction::caNone;
    } catch (...) {
        action = TCloseAction::caNone;
    }
}

void TFormZentaroMain::ScreenActiveFormChange(TComponent *) {
    bool windowsOpen = false, networksOpen = true, networkActive = false;
    try {
        windowsOpen = MDIChildCount() > 0;
        networksOpen = !NetworkWindows().empty();
        if (TForm *active = ActiveMDIChild()) {
            auto *network = dynamic_cast<TFormZentaroChild *>(active);
            windowsOpen = networkActive = network != nullptr;
            if (network) SetCaption(CaptionPrefix() + CaptionOfPath(network->FileName));
        }
    } catch (...) {
    }
    for (TSpeedButton *button : {BtnSave, BtnCascade, BtnTile, BtnIconize, BtnCloseAll})
        button->SetEnabled(windowsOpen);
    BtnTiming->SetEnabled(networkActive);
    // A closing window may be named again after its close notice, while it is still listed;
    // the notice of its going comes later and finds no network left.
    if (!networksOpen) SetCaption(CreditCaption());
    UpdateUndoButtons();
}

void TFormZentaroMain::NetworkClosed(TComponent *sender) {
    SetCaption(CreditCaption());
    // Its stack goes with it: the buttons must not offer it meanwhile.
    if (auto *window = dynamic_cast<TFormZentaroChild *>(sender)) {
        window->OnUndoChange = TNotifyEvent();
        window->OnStatusText = {};
        if (FRecovery) FRecovery->Forget(window);
    }
    for (TSpeedButton *button : {BtnUndo, BtnRedo, BtnTiming})
        button->SetEnabled(false);
}

void TFormZentaroMain::BtnNewClick(TComponent *) {
    NewNetworkWindow();
}

TFormZentaroChild *TFormZentaroMain::NewNetworkWindow() {
    auto *window = new TFormZentaroChild(nullptr);
    Free(window->PanelDefComp);
    window->FileName = "NoName.ZTR";
    window->MarkUnmodified();
    Adopt(window);
    SetCaption(CaptionPrefix() + "NoName.ZTR");
    return window;
}

void TFormZentaroMain::BtnAnalysisClick(TComponent *) {
    if (!FAnalysis)
        FAnalysis = new TAnalysisWindow(Widget(), [this] { return NewNetworkWindow(); });
    FAnalysis->Analyze(ActiveNetwork());
    FAnalysis->ShowInFront();
}

TFormZentaroChild *TFormZentaroMain::OpenNetworkWindow(const std::string &path) {
    return ReadNetworkWindow(path, true);
}

TFormZentaroChild *TFormZentaroMain::LoadNetworkWindow(const std::string &path) {
    return ReadNetworkWindow(path, false);
}

TFormZentaroChild *TFormZentaroMain::ReadNetworkWindow(const std::string &path, bool withSettings) {
    const std::string previousCaption = Caption();
    auto *window = new TFormZentaroChild(nullptr);
    try {
        window->BatchChanges([&] {
            while (!window->Components().empty())
                Free(window->Components().front());
            {
                TLogicalThread::TStartBatch workers;
                ReadNetworkFile(path, *window, FormNameTaken);
                workers.Finish();
            }
            window->FileName = path;
            window->SetCaption(FileNamePart(path));
            SetCaption(CaptionPrefix() + CaptionOfPath(path));
            window->AddFlipFlopItems();
            // The gates can be moved at once, as in a window that was just created.
            window->FormShow(window);
            window->MarkUnmodified();
            Adopt(window);
            // Saved in a larger frame, it could open out of reach.
            window->MoveIntoFrame();
            if (withSettings) {
                ApplyClockDelay(window, ClockDelay());
                ApplyShowPortState(window, CBShowPortState->Checked());
            }
        });
    } catch (...) {
        // What a failed open leaves is no network window, and the caption it had before.
        Free(window);
        SetCaption(previousCaption);
        throw;
    }
    return window;
}

TFormZentaroChild *TFormZentaroMain::OpenNetwork(const std::string &path) {
    try {
        THourglass hourglass;
        return OpenNetworkWindow(path);
    } catch (const std::exception &) {
    }
    ShowMessageBox(QStringLiteral("Loading Error!"));
    return nullptr;
}

void TFormZentaroMain::BtnOpenClick(TComponent *) {
    if (!OpenDialog->Execute()) return;
    OpenNetwork(OpenDialog->NativeFilePath());
}

void TFormZentaroMain::BtnSaveClick(TComponent *) {
    auto *window = dynamic_cast<TFormZentaroChild *>(ActiveMDIChild());
    if (!window) return;
    SaveDialog->SetNativeFilePath(window->FileName);
    if (!SaveDialog->Execute()) return;
    const std::string path = SaveDialog->NativeFilePath();
    bool saved = false;
    {
        THourglass hourglass;
        saved = SaveNetworkFile(path, *window);
    }
    if (!saved) {
        // The network is still unsaved, and the file it came from is as it was.
        ShowMessageBox(QStringLiteral("Saving Error!"));
        return;
    }
    window->FileName = path;
    window->SetCaption(FileNamePart(path));
    window->MarkUnmodified();
    if (FRecovery) FRecovery->Forget(window);
    SetCaption(CaptionPrefix() + CaptionOfPath(path));
}

void TFormZentaroMain::TrackBarDelayChange(TComponent *) {
    const int delay = ClockDelay();
    for (TFormZentaroChild *window : NetworkWindows()) {
        try {
            ApplyClockDelay(window, delay);
        } catch (...) {
        }
    }
}

void TFormZentaroMain::CBShowPortStateClick(TComponent *) {
    const bool show = CBShowPortState->Checked();
    for (TFormZentaroChild *window : NetworkWindows()) {
        try {
            ApplyShowPortState(window, show);
        } catch (...) {
        }
    }
}

void TFormZentaroMain::BtnCascadeClick(TComponent *) {
    for (TForm *window : ChildWindows())
        window->SetWindowState(TWindowState::wsNormal);
    Cascade();
}

void TFormZentaroMain::BtnTileClick(TComponent *) {
    for (TForm *window : ChildWindows())
        window->SetWindowState(TWindowState::wsNormal);
    Tile();
}

void TFormZentaroMain::BtnIconizeClick(TComponent *) {
    const std::vector<TForm *> windows = ChildWindows();
    for (auto window = windows.rbegin(); window != windows.rend(); ++window)
        (*window)->SetWindowState(TWindowState::wsMinimized);
    ArrangeIcons();
}

void TFormZentaroMain::BtnCloseAllClick(TComponent *) {
    // A question about one window lets the others that were closed before it go meanwhile.
    std::vector<std::pair<TForm *, QPointer<QWidget>>> windows;
    for (TForm *window : ChildWindows())
        windows.emplace_back(window, window->Widget());
    for (auto window = windows.rbegin(); window != windows.rend(); ++window)
        if (window->second) window->first->Close();
}

void TFormZentaroMain::ApplicationEventsHint(TComponent *) {
    StatusBar->SetSimpleText(TApplication::Instance().Hint());
}

void TFormZentaroMain::ApplicationEventsException(TComponent *sender, std::exception_ptr error) {
    // The user may end the program from the report: the networks are kept before it shows.
    try {
        if (FRecovery) FRecovery->SaveAll();
    } catch (...) {
    }
    const std::vector<TForm *> windows = ChildWindows();
    std::string active;
    if (!windows.empty())
        if (const TForm *window = ActiveMDIChild())
            active = window->Name() + "  [" + window->Caption() + "]";
    std::vector<std::string> open;
    for (auto window = windows.rbegin(); window != windows.rend(); ++window)
        open.push_back(std::string(11, ' ') + (*window)->Name());
    ExceptLogger->SetActiveForm(active);
    ExceptLogger->SetOpenForms(open);
    ExceptLogger->ReportException(sender, error);
}
