#include "Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString WritableProgramFolder() {
    const QString folder = QCoreApplication::applicationDirPath();
    return QFileInfo(folder).isWritable() ? folder : QString();
}

} // namespace

QString StartFolder() {
    const QString program = WritableProgramFolder();
    if (!program.isEmpty()) return program;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString LogFolder() {
    const QString program = WritableProgramFolder();
    if (!program.isEmpty()) return program;
    // ~/.local/share/Zentaro, named after the application.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return !data.isEmpty() && QDir().mkpath(data) ? data : QString();
}

QString RecoveryFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty()) return {};
    const QString folder = data + QStringLiteral("/recovery");
    if (!QDir().mkpath(folder)) return {};
    // Networks may be private: nobody else may read the copies.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

QString ExamplesFolderFrom(const QString &programFolder, const QString &sourceFolder) {
    for (const QString &folder :
         {programFolder.isEmpty() ? QString()
                                  : programFolder + QStringLiteral("/" ZENTARO_EXAMPLES_FROM_BIN),
          sourceFolder}) {
        if (folder.isEmpty()) continue;
        const QFileInfo info(folder);
        if (info.isDir()) return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}

QString ExamplesFolder() {
#ifdef ZENTARO_SOURCE_EXAMPLES
    const QString source = QStringLiteral(ZENTARO_SOURCE_EXAMPLES);
#else
    const QString source;
#endif
    return ExamplesFolderFrom(QCoreApplication::applicationDirPath(), source);
}
