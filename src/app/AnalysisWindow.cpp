#include "AnalysisWindow.h"

#include "Hourglass.h"
#include "KarnaughView.h"
#include "TimingDiagram.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"
#include "document/SynthesisBuild.h"
#include "sim/BoolExpr.h"
#include "sim/Synthesis.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

// The rows of a truth table, made when the view asks for them: a table of 24 inputs has
// 16,777,216 rows, of which the view shows the first MaxRows.
class TTruthTableModel : public QAbstractTableModel {
public:
    static constexpr std::uint64_t MaxRows = 65'536;

    void SetFunction(const TNetworkFunction *function) {
        beginResetModel();
        FFunction = function;
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override {
        if (parent.isValid() || !FFunction || FFunction->Outputs.empty()) return 0;
        return int(std::min<std::uint64_t>(std::uint64_t(1) << FFunction->Inputs.size(), MaxRows));
    }
    int columnCount(const QModelIndex &parent = {}) const override {
        if (parent.isValid() || !FFunction) return 0;
        return int(FFunction->Inputs.size() + FFunction->Outputs.size());
    }
    QVariant data(const QModelIndex &index, int role) const override {
        if (!FFunction || !index.isValid()) return {};
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        if (role != Qt::DisplayRole) return {};
        const auto row = std::uint64_t(index.row());
        const auto inputs = int(FFunction->Inputs.size());
        const int column = index.column();
        if (column < inputs) return int(row >> (inputs - 1 - column) & 1);
        const TRowSet &rows = FFunction->Rows[std::size_t(column - inputs)];
        return int(rows[row / 64] >> (row % 64) & 1);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || !FFunction) return {};
        if (orientation == Qt::Vertical) return section;
        const auto inputs = int(FFunction->Inputs.size());
        return QString::fromStdString(section < inputs
                                          ? FFunction->Inputs[std::size_t(section)]
                                          : FFunction->Outputs[std::size_t(section - inputs)]);
    }

private:
    const TNetworkFunction *FFunction = nullptr;
};

TAnalysisWindow::TAnalysisWindow(QWidget *mainWindow, TNewNetwork newNetwork)
    // A tool window of the program's window: kept above it, and minimised with it.
    : QWidget(mainWindow, Qt::Tool), FNewNetwork(std::move(newNetwork)) {
    setWindowIcon(QApplication::windowIcon());
    setWindowTitle(QStringLiteral("Analisi Combinatoria"));
    resize(720, 520);

    FSource = new QLabel;
    FRefusal = new QLabel;
    FRefusal->setWordWrap(true);
    FRefusal->setStyleSheet(QStringLiteral("color: #b00000"));
    FOutput = new QComboBox;
    FOutput->setToolTip(QStringLiteral("L'uscita di cui mostrare mappa ed espressioni"));
    FModel = new TTruthTableModel;
    FModel->setParent(this);
    FTable = new QTableView;
    FTable->setModel(FModel);
    FTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FTable->verticalHeader()->setDefaultSectionSize(20);
    FTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FMap = new TKarnaughView;
    FMapNote = new QLabel;
    FMapNote->setWordWrap(true);
    FSum = new QLabel;
    FProduct = new QLabel;
    for (QLabel *label : {FSum, FProduct, FRefusal}) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
    }
    FBuild = new QPushButton(QStringLiteral("Crea rete"));
    FBuild->setToolTip(
        QStringLiteral("Apre una nuova rete costruita dalle somme di prodotti minime"));
    FExpressions = new QLineEdit;
    FExpressions->setPlaceholderText(QStringLiteral("S = A ^ B; C = A & B"));
    FExpressions->setToolTip(QStringLiteral(
        "Operatori: ! (not), & (and), ^ (xor), | (or), parentesi, 0 e 1; anche ~, *, + e '"));
    FBuildFromExpressions = new QPushButton(QStringLiteral("Crea rete"));
    FBuildFromExpressions->setToolTip(
        QStringLiteral("Apre una nuova rete che calcola le espressioni scritte"));
    FExpressionError = new QLabel;
    FExpressionError->setStyleSheet(QStringLiteral("color: #b00000"));

    auto *top = new QHBoxLayout;
    top->addWidget(FSource, 1);
    top->addWidget(new QLabel(QStringLiteral("Uscita:")));
    top->addWidget(FOutput);
    auto *right = new QVBoxLayout;
    right->addWidget(FMap);
    right->addWidget(FMapNote);
    right->addStretch();
    auto *middle = new QHBoxLayout;
    middle->addWidget(FTable, 1);
    middle->addLayout(right);
    // The forms under both, as wide as the window: a sum of many products is long.
    auto *forms = new QGridLayout;
    forms->addWidget(new QLabel(QStringLiteral("Somma di prodotti minima:")), 0, 0);
    forms->addWidget(FSum, 0, 1);
    forms->addWidget(new QLabel(QStringLiteral("Prodotto di somme minimo:")), 1, 0);
    forms->addWidget(FProduct, 1, 1);
    forms->addWidget(FBuild, 0, 2, 2, 1);
    forms->setColumnStretch(1, 1);
    auto *expressions = new QHBoxLayout;
    expressions->addWidget(new QLabel(QStringLiteral("Espressioni:")));
    expressions->addWidget(FExpressions, 1);
    expressions->addWidget(FBuildFromExpressions);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(FRefusal);
    layout->addLayout(middle, 1);
    layout->addLayout(forms);
    layout->addLayout(expressions);
    layout->addWidget(FExpressionError);

    connect(FOutput, &QComboBox::currentIndexChanged, this, [this](int i) { ShowOutput(i); });
    connect(FBuild, &QPushButton::clicked, this,
            [this] { BuildNetwork(FFunction.Inputs, FFunction.Outputs, FFunction.Rows); });
    connect(FBuildFromExpressions, &QPushButton::clicked, this, [this] { BuildFromExpressions(); });
    connect(FExpressions, &QLineEdit::returnPressed, this, [this] { BuildFromExpressions(); });
    Analyze(nullptr);
}

TAnalysisWindow::~TAnalysisWindow() = default;

QString TAnalysisWindow::Refusal() const {
    return FRefusal->text();
}

QString TAnalysisWindow::SumText() const {
    return QString(FSum->text()).remove(QChar(0x2060));
}

QString TAnalysisWindow::ProductText() const {
    return QString(FProduct->text()).remove(QChar(0x2060));
}

void TAnalysisWindow::Analyze(const TFormZentaroChild *network) {
    // The view lets go of the old table first: showing or hiding the refusal lays the window out
    // again, and the table's header would ask for columns the new function does not have.
    FModel->SetFunction(nullptr);
    FFunction = {};
    FSums.clear();
    FProducts.clear();
    QString refusal;
    if (!network) {
        FSource->setText(QStringLiteral("Nessuna rete"));
        refusal = QStringLiteral("Apri una rete e premi di nuovo il pulsante dell'analisi.");
    } else {
        FSource->setText(QStringLiteral("Rete: ") + network->Widget()->windowTitle());
        try {
            FFunction = AnalyzeNetwork(SimSnapshot(*network));
        } catch (const EAnalysisError &error) {
            refusal = QStringLiteral("Non si può analizzare: ") + QString::fromUtf8(error.what());
        }
    }
    FSums.resize(FFunction.Outputs.size());
    FProducts.resize(FFunction.Outputs.size());
    FRefusal->setText(refusal);
    FRefusal->setVisible(!refusal.isEmpty());
    FModel->SetFunction(&FFunction);
    FBuild->setEnabled(!FFunction.Outputs.empty());
    const QSignalBlocker quiet(FOutput);
    FOutput->clear();
    for (const std::string &output : FFunction.Outputs)
        FOutput->addItem(QString::fromStdString(output));
    ShowOutput(FFunction.Outputs.empty() ? -1 : 0);
}

void TAnalysisWindow::ShowOutput(int output) {
    if (output < 0 || std::size_t(output) >= FFunction.Outputs.size()) {
        FMap->SetFunction({}, {}, {});
        FMapNote->clear();
        FSum->clear();
        FProduct->clear();
        return;
    }
    const auto i = std::size_t(output);
    if (!FSums[i]) {
        // A hard function of many inputs takes a noticeable moment.
        const THourglass hourglass;
        const auto inputs = int(FFunction.Inputs.size());
        FSums[i] = MinimalSumOfProducts(inputs, FFunction.Rows[i]);
        FProducts[i] = MinimalProductOfSums(inputs, FFunction.Rows[i]);
    }
    const TCover &sum = *FSums[i], &product = *FProducts[i];
    FMap->SetFunction(FFunction.Inputs, FFunction.Rows[i], sum);
    FMap->setVisible(FMap->HasMap());
    FMapNote->setText(FMap->HasMap() ? QString()
                                     : QStringLiteral("La mappa di Karnaugh si disegna per 2, 3 "
                                                      "o 4 ingressi; questa rete ne ha %1.")
                                           .arg(FFunction.Inputs.size()));
    const auto form = [&](const std::string &expression, bool exact) {
        // A line may break between terms, never inside a negated name.
        return QString::fromStdString(FFunction.Outputs[i] + " = " + expression)
                   .replace(QLatin1Char('!'), QStringLiteral("!\u2060")) +
               (exact ? QString() : QStringLiteral(" (euristica)"));
    };
    FSum->setText(form(FormatSum(sum, FFunction.Inputs), sum.Exact));
    FProduct->setText(form(FormatProduct(product, FFunction.Inputs), product.Exact));
}

void TAnalysisWindow::ShowInFront() {
    if (!std::exchange(FPlaced, true) && parentWidget()) {
        // Beside the program's window, as the timing diagram goes, so the network stays in view.
        const QWidget *main = parentWidget();
        const QRect frame = main->frameGeometry(), inner = main->geometry();
        const QSize margins(frame.width() - inner.width(), frame.height() - inner.height());
        const QRect placed =
            PlaceBeside(frame, size() + margins, main->screen()->availableGeometry());
        resize(placed.size() - margins);
        move(placed.topLeft());
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TAnalysisWindow::BuildNetwork(const std::vector<std::string> &inputs,
                                   const std::vector<std::string> &outputs,
                                   const std::vector<TRowSet> &rows) {
    std::vector<TCover> sums;
    for (const TRowSet &output : rows)
        sums.push_back(MinimalSumOfProducts(int(inputs.size()), output));
    // Planned first: a refused name must not leave an empty network window behind.
    const TSynthesisPlan plan = PlanNetwork(inputs, outputs, sums, TSynthesisGates::AndOr);
    TFormZentaroChild *network = FNewNetwork ? FNewNetwork() : nullptr;
    if (!network) return;
    ::BuildNetwork(*network, plan);
    // Undo starts from the network as built, which no file holds yet: closing it asks first.
    network->MarkUnmodified();
    network->UndoStack.resetClean();
    network->ShowInFront();
}

void TAnalysisWindow::BuildFromExpressions() {
    FExpressionError->clear();
    try {
        const TExpressionSet set = ParseExpressions(FExpressions->text().toStdString());
        std::vector<std::string> outputs;
        for (const TAssignment &assignment : set.Outputs)
            outputs.push_back(assignment.Name);
        BuildNetwork(set.Inputs, outputs, ExpressionRows(set));
    } catch (const std::exception &error) {
        FExpressionError->setText(QString::fromUtf8(error.what()));
    }
}
