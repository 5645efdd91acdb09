#pragma once

// A network window's timing diagram: a tool window of the program's main window, placed beside
// it, listing the gates with a check box each (the traces recorded), drawing the traces, and
// exporting what was recorded. It belongs to its network window and goes with it.

#include <QRect>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;
class TFormZentaroChild;
class TSaveDialog;
class TTimingRecording;
class TTimingView;

// Where a window of frame size `size` goes beside the main window's frame `main`: to its right,
// else to its left where `screen` has room, else over its right part (two thirds of it, at least
// 480 pixels); always inside `screen`, shrunk to it if larger. Returns the new window's frame.
QRect PlaceBeside(const QRect &main, QSize size, const QRect &screen);

// The module name of a network's recording in a VCD file: its file's name without folder and
// extension ("NoName" for a network never saved).
std::string VcdScope(const std::string &fileName);

class TTimingDiagram : public QWidget {
public:
    // Redraws at most this often while the network runs.
    static constexpr int RedrawMilliseconds = 34;

    // The network window's diagram, made (hidden) the first time it is asked for.
    static TTimingDiagram &Of(TFormZentaroChild &network);

    explicit TTimingDiagram(TFormZentaroChild &network);
    ~TTimingDiagram() override;

    void ShowInFront();
    TTimingRecording &Recording() const { return *FRecording; }
    TTimingView &View() const { return *FView; }
    QListWidget &SignalList() const { return *FList; }
    QToolButton &PauseButton() const { return *FPause; }
    QPushButton &ExportButton() const { return *FExport; }
    QLabel &TimeLabel() const { return *FTime; }

    // Writes the signals shown to path, as the extension says: VCD (.vcd), WaveDrom (.json) or
    // CSV (.csv) from the recording, or the diagram as a picture (.png, .svg). Throws with the
    // reason (also when no signal is shown); a failed export leaves no file behind.
    void Export(const std::string &path) const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Brings the list in line with the network's gates and the caption with its name.
    void RefreshList();
    void UpdateTitle();
    // The first time it shows: beside the main window.
    void Place();
    // Says in the list's tooltip how many changes each trace keeps.
    void UpdateListHint();
    void NetworkRunChanged();
    void UpdateTimer();
    void ExportClicked();

    TFormZentaroChild &FNetwork;
    std::unique_ptr<TTimingRecording> FRecording;
    std::unique_ptr<TSaveDialog> FSaveDialog;
    QListWidget *FList;
    TTimingView *FView;
    QToolButton *FPause;
    QPushButton *FExport;
    QLabel *FTime;
    QTimer FRedraw;
    bool FPlaced = false;
};
