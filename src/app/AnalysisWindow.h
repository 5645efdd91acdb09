#pragma once

// "Analisi Combinatoria": what a network without memory computes (its truth table, the Karnaugh
// map of an output, minimal sum of products and product of sums), and a new network built from
// those sums or from expressions the user types. A tool window of the main window; it keeps a
// copy of the function, never a pointer into the network, so closing the network leaves it whole.

#include "sim/Combinational.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TFormZentaroChild;
class TKarnaughView;
class TTruthTableModel;

class TAnalysisWindow : public QWidget {
public:
    // Makes an empty network window in the program and returns it.
    using TNewNetwork = std::function<TFormZentaroChild *()>;

    TAnalysisWindow(QWidget *mainWindow, TNewNetwork newNetwork);
    ~TAnalysisWindow() override;

    // Analyses the network as it is now, or shows why it cannot be (null: no network).
    void Analyze(const TFormZentaroChild *network);
    void ShowInFront();

    // What the window shows, for tests and the status bar.
    const TNetworkFunction &Function() const { return FFunction; }
    QString Refusal() const;
    QString SumText() const;
    QString ProductText() const;
    QComboBox &OutputChoice() const { return *FOutput; }
    QLineEdit &ExpressionField() const { return *FExpressions; }
    QPushButton &BuildButton() const { return *FBuild; }
    QPushButton &BuildFromExpressionsButton() const { return *FBuildFromExpressions; }
    QLabel &ExpressionError() const { return *FExpressionError; }
    const TKarnaughView &Map() const { return *FMap; }

private:
    void ShowOutput(int output);
    // The network of the minimal sums of these outputs, in a new network window.
    void BuildNetwork(const std::vector<std::string> &inputs,
                      const std::vector<std::string> &outputs, const std::vector<TRowSet> &rows);
    void BuildFromExpressions();

    TNewNetwork FNewNetwork;
    TNetworkFunction FFunction;
    // Per output, its minimal forms, found when the output is first shown.
    std::vector<std::optional<TCover>> FSums, FProducts;
    bool FPlaced = false;
    QLabel *FSource;
    QLabel *FRefusal;
    QComboBox *FOutput;
    QTableView *FTable;
    TTruthTableModel *FModel;
    TKarnaughView *FMap;
    QLabel *FMapNote;
    QLabel *FSum;
    QLabel *FProduct;
    QPushButton *FBuild;
    QLineEdit *FExpressions;
    QPushButton *FBuildFromExpressions;
    QLabel *FExpressionError;
};
