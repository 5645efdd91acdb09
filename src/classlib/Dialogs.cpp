#include "Dialogs.h"

#include "Graphics.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

#include <array>
#include <filesystem>

namespace {

constexpr std::array<std::string_view, 5> OpenOptionNames = {
    "ofOverwritePrompt", "ofHideReadOnly", "ofPathMustExist", "ofFileMustExist", "ofEnableSizing"};

TFileDialogRunner &Runner() {
    static TFileDialogRunner runner;
    return runner;
}

std::optional<QString> RunQtDialog(const TFileDialogRequest &request) {
    // Declared first: the dialog uses it until its very end.
    TNameOnlyIconProvider icons;
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setIconProvider(&icons);
    PrepareFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

QIcon TNameOnlyIconProvider::icon(const QFileInfo &info) const {
    if (info.isDir()) return QFileIconProvider::icon(info);
    return QIcon::fromTheme(ByName(info).iconName(), QFileIconProvider::icon(File));
}

QString TNameOnlyIconProvider::type(const QFileInfo &info) const {
    return info.isDir() ? QFileIconProvider::type(info) : ByName(info).comment();
}

QMimeType TNameOnlyIconProvider::ByName(const QFileInfo &info) {
    return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
}

void PrepareFileDialog(QFileDialog &dialog, const TFileDialogRequest &request) {
    dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!request.Save && request.Options >> ofFileMustExist & 1
                           ? QFileDialog::ExistingFile
                           : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite,
                     !(request.Options >> ofOverwritePrompt & 1));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (!request.InitialDir.isEmpty()) dialog.setDirectory(request.InitialDir);
    if (!request.FileName.isEmpty()) dialog.selectFile(request.FileName);
    if (!request.NameFilters.isEmpty()) dialog.setNameFilters(request.NameFilters);
    dialog.setDefaultSuffix(request.DefaultExt);
    if (request.SidebarFolders.isEmpty()) return;
    // The dialog keeps one entry per folder.
    QList<QUrl> places = dialog.sidebarUrls();
    for (const QString &folder : request.SidebarFolders)
        places << QUrl::fromLocalFile(folder);
    dialog.setSidebarUrls(places);
}

void SetFileDialogRunner(TFileDialogRunner runner) {
    Runner() = std::move(runner);
}

QStringList NameFiltersOf(const std::string &filter) {
    const QStringList parts = FromAnsi(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            // "*.*" means every file, with or without a dot.
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
            for (const QString &variant : {pattern, pattern.toLower(), pattern.toUpper()})
                if (!variant.isEmpty() && !patterns.contains(variant)) patterns << variant;
        }
        if (patterns.isEmpty()) continue;
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

// ---- TOpenDialog

const TClassInfo &TOpenDialog::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TOpenDialog, TNonVisualComponent>("TOpenDialog")
            .String("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt)
            .String("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName)
            .String("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter)
            .String("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir)
            .Set("Options", OpenOptionNames, &TOpenDialog::Options, &TOpenDialog::SetOptions)
            .Default(1 << ofHideReadOnly | 1 << ofEnableSizing)
            .Build();
    return info;
}

std::string TOpenDialog::ToAnsiPath(const QString &path) {
    return ToAnsi(path);
}
QString TOpenDialog::FromAnsiPath(const std::string &path) {
    return FromAnsi(path);
}

bool TOpenDialog::Execute() {
    TFileDialogRequest request;
    request.Save = SaveDialog();
    request.InitialDir = FInitialDir;
    request.FileName = FFilePath;
    request.NameFilters = NameFiltersOf(FFilter);
    request.DefaultExt = FromAnsi(FDefaultExt);
    request.Options = FOptions;
    request.SidebarFolders = FSidebarFolders;
    const std::optional<QString> chosen = Runner() ? Runner()(request) : RunQtDialog(request);
    if (!chosen || chosen->isEmpty()) return false;
    FFilePath = *chosen;
    std::error_code error;
    if (!FDefaultExt.empty() && !QFileInfo(FFilePath).fileName().contains(QLatin1Char('.')) &&
        !std::filesystem::exists(NativeFilePath(), error))
        FFilePath += QLatin1Char('.') + request.DefaultExt;
    return true;
}

void TOpenDialog::SetFilePath(const QString &value) {
    FFilePath = value;
    FProposedNativePath.clear();
}

void TOpenDialog::SetNativeFilePath(const std::string &path) {
    FFilePath = QFile::decodeName(QByteArray::fromStdString(path));
    FProposedNativePath = path;
}

std::string TOpenDialog::NativeFilePath() const {
    const std::string &proposed = FProposedNativePath;
    if (!proposed.empty() && FFilePath == QFile::decodeName(QByteArray::fromStdString(proposed)))
        return proposed;
    const std::string encoded = QFile::encodeName(FFilePath).toStdString();
    // Text cannot hold every byte a name may have: the proposed folder is kept by its bytes.
    const std::size_t slash = proposed.rfind('/');
    if (slash == std::string::npos) return encoded;
    const QFileInfo chosen(FFilePath);
    if (chosen.path() != QFile::decodeName(QByteArray::fromStdString(proposed.substr(0, slash))))
        return encoded;
    return proposed.substr(0, slash + 1) + QFile::encodeName(chosen.fileName()).toStdString();
}

// ---- TSaveDialog

const TClassInfo &TSaveDialog::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TSaveDialog, TOpenDialog>("TSaveDialog").Build();
    return info;
}
