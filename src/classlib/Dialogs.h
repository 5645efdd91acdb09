#pragma once

// The file-open and file-save dialogs as non-visual components.

#include "NonVisual.h"

#include <QFileIconProvider>
#include <QMimeType>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

enum TOpenOption {
    ofOverwritePrompt,
    ofHideReadOnly,
    ofPathMustExist,
    ofFileMustExist,
    ofEnableSizing
};
using TOpenOptions = std::int64_t;

// What a file dialog is asked to show.
struct TFileDialogRequest {
    bool Save = false;
    QString InitialDir;
    QString FileName;
    // In Qt's form, "Name (*.a *.b)", one entry per choice of the filter.
    QStringList NameFilters;
    QString DefaultExt;
    TOpenOptions Options = 0;
    // Folders added to the places the dialog lists beside its files.
    QStringList SidebarFolders;
};

// Runs a file dialog and returns the chosen path, or nothing when cancelled.
using TFileDialogRunner = std::function<std::optional<QString>(const TFileDialogRequest &)>;
class QFileDialog;
// Gives a Qt file dialog what the request asks for; the sidebar folders come after its own places.
void PrepareFileDialog(QFileDialog &dialog, const TFileDialogRequest &request);
// Replaces the dialog that Execute shows (tests answer without a window); an empty runner
// brings back the Qt file dialog.
void SetFileDialogRunner(TFileDialogRunner runner);

// The file dialog's icons and types, told by a file's name only. Qt's own provider reads a file's
// first bytes to tell them, on the GUI thread, and some files never answer a read (/proc/kmsg):
// the dialog would hang as soon as it listed their folder.
class TNameOnlyIconProvider final : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;

private:
    static QMimeType ByName(const QFileInfo &info);
};

// The filter "Name|*.ext;*.other|Name|*.*" as Qt name filters. Patterns are matched without
// regard to case, as on the system the filters come from.
QStringList NameFiltersOf(const std::string &filter);

class TOpenDialog : public TNonVisualComponent {
public:
    using TNonVisualComponent::TNonVisualComponent;
    ZENTARO_CLASS_INFO()

    const std::string &DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const std::string &value) { FDefaultExt = value; }
    // The chosen file; FilePath is the same path without the 8-bit limit of the property.
    std::string FileName() const { return ToAnsiPath(FFilePath); }
    void SetFileName(const std::string &value) { SetFilePath(FromAnsiPath(value)); }
    const QString &FilePath() const { return FFilePath; }
    void SetFilePath(const QString &value);
    // The same as the file system's bytes, which need not be valid text: a name proposed by its
    // bytes comes back as those bytes where the user kept it, or kept its folder.
    std::string NativeFilePath() const;
    void SetNativeFilePath(const std::string &path);
    const std::string &Filter() const { return FFilter; }
    void SetFilter(const std::string &value) { FFilter = value; }
    std::string InitialDir() const { return ToAnsiPath(FInitialDir); }
    void SetInitialDir(const std::string &value) { FInitialDir = FromAnsiPath(value); }
    const QString &InitialDirPath() const { return FInitialDir; }
    void SetInitialDirPath(const QString &value) { FInitialDir = value; }
    TOpenOptions Options() const { return FOptions; }
    void SetOptions(TOpenOptions value) { FOptions = value; }
    // Folders the dialog lists among its places; no property, so never in a saved form.
    const QStringList &SidebarFolders() const { return FSidebarFolders; }
    void SetSidebarFolders(const QStringList &folders) { FSidebarFolders = folders; }

    // Shows the dialog; true when a file was chosen, which FileName then holds. DefaultExt is
    // added as the dialog adds it: to a name without extension that names no existing file.
    bool Execute();

protected:
    virtual bool SaveDialog() const { return false; }

private:
    static std::string ToAnsiPath(const QString &path);
    static QString FromAnsiPath(const std::string &path);

    std::string FDefaultExt;
    QString FFilePath;
    std::string FProposedNativePath;
    std::string FFilter;
    QString FInitialDir;
    TOpenOptions FOptions = 1 << ofHideReadOnly | 1 << ofEnableSizing;
    QStringList FSidebarFolders;
};

class TSaveDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;
    ZENTARO_CLASS_INFO()

protected:
    bool SaveDialog() const override { return true; }
};
