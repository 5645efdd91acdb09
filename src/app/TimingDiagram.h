#pragma once

// A network window's timing diagram: a window of its own beside the frame, listing the gates
// with a check box each (the traces recorded), drawing the traces, and exporting what was
// recorded. It belongs to its network window and goes with it.

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
    // reason; a failed export leaves no file behind.
    void Export(const std::string &path) const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Brings the list in line with the network's gates and the caption with its name.
    void RefreshList();
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
};
