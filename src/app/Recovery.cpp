#include "Recovery.h"

#include "Folders.h"
#include "Util.h"
#include "classlib/MessageDlg.h"
#include "document/FChild.h"
#include "stream/MemoryStream.h"
#include "stream/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

#include <cstdint>
#include <span>

namespace {

// A file name is a few hundred bytes at most; a larger side file is not ours.
constexpr qint64 MaxNameBytes = 4096;

QString SideFile(const QString &recoveryPath) {
    return recoveryPath.chopped(4) + QStringLiteral(".name");
}

QString LockFile(const QString &folder, const QString &copy) {
    return folder + QLatin1Char('/') + copy + QStringLiteral(".lock");
}

std::unique_ptr<QLockFile> MakeLock(const QString &path) {
    auto lock = std::make_unique<QLockFile>(path);
    // A running copy keeps its lock for hours: only a gone process makes a lock stale.
    lock->setStaleLockTime(0);
    return lock;
}

void Remove(const QString &recoveryPath) {
    QFile::remove(recoveryPath);
    QFile::remove(SideFile(recoveryPath));
}

// Moves a recovery file that does not load, with its side file, into "kept"; returns where it is.
QString KeepAside(const QString &recoveryPath) {
    const QFileInfo info(recoveryPath);
    const QString kept = info.absolutePath() + QStringLiteral("/kept");
    QDir().mkpath(kept);
    const QString target = kept + QLatin1Char('/') + info.fileName();
    if (QFile::exists(target) || !QFile::rename(recoveryPath, target)) return recoveryPath;
    QFile::rename(SideFile(recoveryPath), SideFile(target));
    return target;
}

std::string NativeName(const QString &path) {
    return QFile::encodeName(path).toStdString();
}

QString DisplayName(const std::string &nativePath) {
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(nativePath))).fileName();
}

} // namespace

TRecovery::TRecovery(TWindows windows, int seconds)
    : FWindows(std::move(windows)), FFolder(RecoveryFolder()) {
    FCopy =
        QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    if (!FFolder.isEmpty()) {
        FLock = MakeLock(LockFile(FFolder, FCopy));
        // Without its lock, this copy's files would look left over to another copy at once.
        if (!FLock->tryLock(0)) FFolder.clear();
    }
    if (seconds > 0 && !FFolder.isEmpty()) {
        FTimer = std::make_unique<QTimer>();
        QObject::connect(FTimer.get(), &QTimer::timeout, FTimer.get(), [this] { SaveAll(); });
        FTimer->start(std::chrono::seconds(seconds));
    }
}

TRecovery::~TRecovery() = default;

QString TRecovery::FileOf(TFormZentaroChild *window) const {
    const auto kept = FKept.find(window);
    if (kept == FKept.end()) return {};
    return FFolder + QLatin1Char('/') + FCopy + QLatin1Char('-') +
           QString::number(kept->second.Serial) + QStringLiteral(".ZTR");
}

bool TRecovery::Save(TFormZentaroChild *window) {
    if (FFolder.isEmpty()) return false;
    TMemoryStream image;
    try {
        image = NetworkFileImage(*window);
    } catch (const std::exception &) {
        return false;
    }
    const QByteArray bytes(reinterpret_cast<const char *>(image.Memory()), qsizetype(image.Size()));
    auto [kept, added] = FKept.try_emplace(window);
    if (added) kept->second.Serial = FNextSerial++;
    // Nothing changed since the last tick: the copy on disk is still this network.
    if (!added && kept->second.Written == bytes) return true;
    kept->second.Written.clear();
    const QString path = FileOf(window);
    try {
        const std::string &name = window->FileName;
        ReplaceWholeFile(
            NativeName(SideFile(path)),
            std::span(reinterpret_cast<const std::uint8_t *>(name.data()), name.size()));
        image.SaveToFile(NativeName(path));
    } catch (const std::exception &) {
        return false;
    }
    // A new file takes the process's default permissions; networks may be private.
    for (const QString &file : {path, SideFile(path)})
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    kept->second.Written = bytes;
    return true;
}

void TRecovery::SaveAll() {
    for (TFormZentaroChild *window : FWindows()) {
        if (window->Modified)
            Save(window);
        else
            Forget(window); // undone back to its file
    }
}

void TRecovery::Forget(TFormZentaroChild *window) {
    const QString path = FileOf(window);
    if (path.isEmpty()) return;
    Remove(path);
    FKept.erase(window);
}

std::vector<TRecovery::TEntry> TRecovery::LeftOvers() {
    std::vector<TEntry> entries;
    if (FFolder.isEmpty()) return entries;
    static const QRegularExpression pattern(QStringLiteral("^([0-9a-f]{8})-[0-9]+\\.ZTR$"));
    std::map<QString, bool> gone;
    const QDir folder(FFolder);
    for (const QFileInfo &file : folder.entryInfoList({QStringLiteral("*.ZTR")}, QDir::Files,
                                                      QDir::Time | QDir::Reversed)) {
        const QRegularExpressionMatch match = pattern.match(file.fileName());
        if (!match.hasMatch()) continue;
        const QString copy = match.captured(1);
        if (copy == FCopy) continue;
        if (!gone.contains(copy)) {
            // Taking the lock of a gone copy keeps another start from offering its files too.
            auto lock = MakeLock(LockFile(FFolder, copy));
            gone[copy] = lock->tryLock(0);
            if (gone[copy]) FClaimed.push_back(std::move(lock));
        }
        if (!gone[copy]) continue;
        TEntry entry{file.absoluteFilePath(), "NoName.ZTR", file.lastModified()};
        QFile side(SideFile(entry.Path));
        if (side.open(QIODevice::ReadOnly) && side.size() <= MaxNameBytes) {
            const QByteArray name = side.read(MaxNameBytes);
            if (!name.isEmpty() && !name.contains('\0')) entry.OriginalName = name.toStdString();
        }
        entries.push_back(entry);
    }
    // Gone copies that left no network behind leave their locks only: those go too.
    for (const QString &file : folder.entryList({QStringLiteral("*.lock")}, QDir::Files)) {
        const QString copy = file.chopped(5);
        if (copy == FCopy || gone.contains(copy)) continue;
        auto lock = MakeLock(LockFile(FFolder, copy));
        if (lock->tryLock(0)) FClaimed.push_back(std::move(lock));
    }
    return entries;
}

void TRecovery::OfferLeftOvers(const TOpener &open) {
    const std::vector<TEntry> entries = LeftOvers();
    if (!entries.empty()) {
        QString list;
        for (const TEntry &entry : entries)
            list += QStringLiteral("\n%1 — scritta il %2")
                        .arg(DisplayName(entry.OriginalName),
                             entry.Written.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
        QMessageBox box(QMessageBox::Question, QStringLiteral("Zentaro - Ripristino"),
                        QStringLiteral("Il programma si è chiuso senza salvare queste reti:\n%1\n\n"
                                       "Riaprirle?")
                            .arg(list),
                        QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("Ripristina"));
        box.button(QMessageBox::No)->setText(QStringLiteral("Elimina"));
        const int answer = box.exec();
        QStringList failed;
        for (const TEntry &entry : entries) {
            if (answer == QMessageBox::No) {
                Remove(entry.Path);
                continue;
            }
            if (answer != QMessageBox::Yes) continue; // closed otherwise: offered again next time
            TFormZentaroChild *window = nullptr;
            try {
                window = open(NativeName(entry.Path), entry.OriginalName);
            } catch (...) { // whatever the reader throws, the file is kept aside
            }
            if (!window) {
                failed << QStringLiteral("%1: %2").arg(DisplayName(entry.OriginalName),
                                                       KeepAside(entry.Path));
                continue;
            }
            // The old file goes only once this copy holds the network in a file of its own.
            if (Save(window)) Remove(entry.Path);
        }
        if (!failed.isEmpty())
            MessageDlg(QStringLiteral("Queste reti non si sono potute riaprire; i loro file sono "
                                      "stati messi da parte:\n") +
                           failed.join(QLatin1Char('\n')),
                       TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
    }
    // Gone copies whose files are all dealt with leave no lock behind.
    FClaimed.clear();
}
