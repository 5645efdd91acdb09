#include "TimingDiagram.h"

#include "Folders.h"
#include "Pictures.h"
#include "TimingRecording.h"
#include "TimingView.h"
#include "classlib/Dialogs.h"
#include "classlib/Graphics.h"
#include "classlib/MessageDlg.h"
#include "document/FChild.h"
#include "sim/Waveforms.h"
#include "stream/WholeFile.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

namespace {

// Exported text grows no larger than this; a longer recording is refused rather than written.
constexpr std::size_t TextLimit = std::size_t(256) << 20;
// WaveDrom's samples in all: the sample time grows until they fit.
constexpr std::int64_t WaveDromSamples = std::int64_t(1) << 22;
// Pictures larger than this a side are refused.
constexpr int PictureSide = 16384;

std::string LowerExtension(const std::string &path) {
    const std::size_t slash = path.rfind('/'), dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

QString NetworkName(const TFormZentaroChild &network) {
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(network.FileName))).fileName();
}

const char *const NoSignals = "nessun segnale spuntato nell'elenco";

} // namespace

QRect PlaceBeside(const QRect &main, QSize size, const QRect &screen) {
    size = size.boundedTo(screen.size());
    QRect placed(QPoint(), size);
    if (screen.right() - main.right() >= size.width())
        placed.moveTopLeft({main.right() + 1, main.top()});
    else if (main.left() - screen.left() >= size.width())
        placed.moveTopLeft({main.left() - size.width(), main.top()});
    else {
        // Over the right part, low enough to leave the main window's tool bar in view, and
        // narrow enough to leave the network windows on the left part in view too.
        placed.setWidth(std::min(size.width(), std::max(main.width() * 2 / 3, 480)));
        placed.moveBottomRight(main.bottomRight());
    }
    placed.moveLeft(std::clamp(placed.left(), screen.left(), screen.right() - placed.width() + 1));
    placed.moveTop(std::clamp(placed.top(), screen.top(), screen.bottom() - placed.height() + 1));
    return placed;
}

std::string VcdScope(const std::string &fileName) {
    const std::size_t slash = fileName.rfind('/');
    std::string name = fileName.substr(slash == std::string::npos ? 0 : slash + 1);
    // A leading dot starts a hidden name, not an extension.
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

TTimingDiagram &TTimingDiagram::Of(TFormZentaroChild &network) {
    if (auto *diagram = dynamic_cast<TTimingDiagram *>(network.Companion())) return *diagram;
    auto *diagram = new TTimingDiagram(network);
    network.SetCompanion(diagram);
    return *diagram;
}

TTimingDiagram::TTimingDiagram(TFormZentaroChild &network)
    // A tool window of the program's window: kept above it, and minimised with it.
    : QWidget(network.Widget()->window(), Qt::Tool), FNetwork(network),
      FRecording(std::make_unique<TTimingRecording>(network)),
      FSaveDialog(std::make_unique<TSaveDialog>(nullptr)) {
    setWindowIcon(QApplication::windowIcon());
    resize(780, 380);

    FPause = new QToolButton;
    FPause->setText(QStringLiteral("Pausa"));
    FPause->setCheckable(true);
    FPause->setToolTip(QStringLiteral("Ferma il diagramma; la rete continua a funzionare"));
    FExport = new QPushButton(QStringLiteral("Esporta…"));
    FExport->setToolTip(QStringLiteral(
        "Salva i livelli registrati (VCD, WaveDrom, CSV) o il diagramma (PNG, SVG)"));
    FTime = new QLabel;
    FTime->setMinimumWidth(140);
    auto *tools = new QHBoxLayout;
    tools->addWidget(FPause);
    tools->addWidget(FExport);
    tools->addStretch();
    tools->addWidget(FTime);

    FList = new QListWidget;
    FView = new TTimingView(*FRecording);
    auto *splitter = new QSplitter;
    splitter->addWidget(FList);
    splitter->addWidget(FView);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({170, 610});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(tools);
    layout->addWidget(splitter, 1);

    connect(FPause, &QToolButton::toggled, this, [this](bool paused) {
        FPause->setText(paused ? QStringLiteral("Riprendi") : QStringLiteral("Pausa"));
        FView->SetFollowing(!paused);
    });
    FView->OnUserScroll = [this] { FPause->setChecked(true); };
    FView->OnTimeUnderMouse = [this](std::optional<std::int64_t> time) {
        const double scale = FView->Scale();
        FTime->setText(time ? "t = " + MillisecondsText(*time, scale >= 1000  ? 0
                                                               : scale >= 100 ? 1
                                                                              : 2)
                            : QString());
    };
    connect(FList, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        FRecording->SetShown(std::size_t(FList->row(item)), item->checkState() == Qt::Checked);
        FView->RowsChanged();
        UpdateListHint();
    });
    connect(FExport, &QPushButton::clicked, this, [this] { ExportClicked(); });
    FRedraw.setInterval(RedrawMilliseconds);
    connect(&FRedraw, &QTimer::timeout, this, [this] { FView->Advance(); });

    FSaveDialog->SetFilter("VCD (*.vcd)|*.vcd|WaveDrom (*.json)|*.json|CSV (*.csv)|*.csv|"
                           "Immagine PNG (*.png)|*.png|Immagine SVG (*.svg)|*.svg");
    FSaveDialog->SetDefaultExt("vcd");
    FSaveDialog->SetOptions(1 << ofOverwritePrompt | 1 << ofHideReadOnly | 1 << ofPathMustExist |
                            1 << ofEnableSizing);

    FNetwork.OnRunChange = TNotifyEvent([this](TComponent *) { NetworkRunChanged(); });
    // Saving under a new name retitles the network window.
    connect(FNetwork.Widget(), &QWidget::windowTitleChanged, this, [this] { UpdateTitle(); });
    FPause->setEnabled(FRecording->Running());
    RefreshList();
}

TTimingDiagram::~TTimingDiagram() {
    FNetwork.OnRunChange = TNotifyEvent();
}

void TTimingDiagram::ShowInFront() {
    RefreshList();
    if (!std::exchange(FPlaced, true)) Place();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TTimingDiagram::Place() {
    const QWidget *main = parentWidget();
    if (!main) return;
    // The frame is not there before the first show: it is taken as wide as the main window's.
    const QRect frame = main->frameGeometry(), inner = main->geometry();
    const QSize margins(frame.width() - inner.width(), frame.height() - inner.height());
    const QRect placed = PlaceBeside(frame, size() + margins, main->screen()->availableGeometry());
    resize(placed.size() - margins);
    move(placed.topLeft());
}

void TTimingDiagram::UpdateTitle() {
    setWindowTitle("Diagramma Temporale - " + NetworkName(FNetwork));
}

void TTimingDiagram::RefreshList() {
    UpdateTitle();
    UpdateListHint();
    if (!FRecording->Refresh() && FList->count() == int(FRecording->Signals().size())) return;
    const QSignalBlocker quiet(FList);
    FList->clear();
    for (const auto &signal : FRecording->Signals()) {
        auto *item = new QListWidgetItem(FromAnsi(signal->Label()), FList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(signal->Shown() ? Qt::Checked : Qt::Unchecked);
    }
    FView->RowsChanged();
}

void TTimingDiagram::UpdateListHint() {
    FList->setToolTip(
        QStringLiteral("Segnali registrati: ciascuno conserva gli ultimi %1 cambi di livello")
            .arg(FRecording->TraceCapacity()));
}

void TTimingDiagram::NetworkRunChanged() {
    FRecording->NetworkRunChanged();
    // Pausing follows a running network only.
    FPause->setEnabled(FRecording->Running());
    if (FRecording->Running()) {
        RefreshList();
        // A new recording is watched from its start.
        FPause->setChecked(false);
    }
    FView->Advance();
    UpdateTimer();
}

void TTimingDiagram::UpdateTimer() {
    if (isVisible() && FRecording->Running())
        FRedraw.start();
    else
        FRedraw.stop();
}

void TTimingDiagram::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    FView->Advance();
    UpdateTimer();
}

void TTimingDiagram::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    UpdateTimer();
}

void TTimingDiagram::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    // Gates may have come or gone while the user edited the network.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) RefreshList();
}

void TTimingDiagram::Export(const std::string &path) const {
    const std::string extension = LowerExtension(path);
    const std::vector<std::string> names = FRecording->ShownNames();
    if (names.empty()) throw std::invalid_argument(NoSignals);
    const std::int64_t end = FRecording->End() / 1000;
    QByteArray bytes;
    if (extension == "vcd" || extension == "json" || extension == "csv") {
        const std::vector<TLevelChange> changes = FRecording->ShownChanges();
        std::string text;
        if (extension == "vcd") {
            text = VcdText(names, changes, end, VcdScope(FNetwork.FileName), TextLimit);
        } else if (extension == "json") {
            std::int64_t sample = FRecording->ShortestDelay();
            while ((end / sample + 1) * std::int64_t(std::max<std::size_t>(names.size(), 1)) >
                   WaveDromSamples)
                sample *= 2;
            text = WaveDromText(names, changes, end, sample, TextLimit);
        } else {
            text = CsvText(names, changes, end, TextLimit);
        }
        bytes = QByteArray::fromStdString(text);
    } else if (extension == "png" || extension == "svg") {
        const QSize size = FView->PictureSize();
        if (size.width() > PictureSide || size.height() > PictureSide)
            throw std::length_error("l'immagine supererebbe " + std::to_string(PictureSide) +
                                    " pixel per lato");
        if (extension == "png") {
            QImage image(size, QImage::Format_RGB32);
            QPainter painter(&image);
            FView->Render(painter);
            painter.end();
            bytes = PngFile(image);
        } else {
            bytes = SvgDocument(size, windowTitle(), QStringLiteral("A Zentaro timing diagram"),
                                [this](QPainter &painter) { FView->Render(painter); });
        }
    } else {
        throw std::invalid_argument(
            "tipo di file sconosciuto: il nome finisca in .vcd, .json, .csv, .png o .svg");
    }
    ReplaceWholeFile(path, std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                     std::size_t(bytes.size())));
}

void TTimingDiagram::ExportClicked() {
    // Said before a file name is asked for.
    if (FRecording->ShownNames().empty()) {
        MessageDlg(QStringLiteral("Niente da esportare: ") + QString::fromUtf8(NoSignals),
                   TMsgDlgType::mtInformation, {TMsgDlgBtn::mbOK});
        return;
    }
    // Proposed beside the network's file and named after it, by the file name's bytes; a new
    // network has no folder yet.
    const std::string &file = FNetwork.FileName;
    const std::size_t slash = file.rfind('/');
    const std::string name = file.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string folder = slash != std::string::npos
                                   ? file.substr(0, slash)
                                   : QFile::encodeName(StartFolder()).toStdString();
    FSaveDialog->SetNativeFilePath(folder + '/' + name.substr(0, name.rfind('.')));
    if (!FSaveDialog->Execute()) return;
    try {
        Export(FSaveDialog->NativeFilePath());
    } catch (const std::exception &error) {
        MessageDlg(QStringLiteral("Esportazione non riuscita:\n") +
                       QString::fromLocal8Bit(error.what()),
                   TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
    }
}
