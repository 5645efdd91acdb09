#pragma once

// Copies of the modified networks, kept in the user's data folder while the program runs so that
// a crash loses at most one interval of work, and the offer to reopen the copies a crashed run
// left behind. Each running copy holds a lock file; a copy's files are named after it
// ("<copy>-<n>.ZTR", with "<copy>-<n>.name" holding the network's own file name), so files whose
// copy holds no lock any more are known to be left over.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QLockFile;
class QTimer;
class TFormZentaroChild;

class TRecovery {
public:
    // A recovery file left by a copy that is gone.
    struct TEntry {
        QString Path;
        std::string OriginalName; // native encoding, as the window keeps it
        QDateTime Written;
    };
    using TWindows = std::function<std::vector<TFormZentaroChild *>()>;
    // Opens a recovery file as the network originally named so; throws when it does not load.
    using TOpener = std::function<TFormZentaroChild *(const std::string &recoveryPath,
                                                      const std::string &originalName)>;

    // Writes the modified windows among windows() every `seconds` (0: never), on this thread.
    TRecovery(TWindows windows, int seconds);
    // Lets go of the lock only: files still here are offered by the next start.
    ~TRecovery();
    TRecovery(const TRecovery &) = delete;
    TRecovery &operator=(const TRecovery &) = delete;

    // Writes each modified window, removes the files of those no longer modified.
    void SaveAll();
    // The window was saved or is closing: its file goes.
    void Forget(TFormZentaroChild *window);
    // Finds the files of copies that are gone and asks once whether to reopen or delete them.
    void OfferLeftOvers(const TOpener &open);
    // The file kept for window, empty when none.
    QString FileOf(TFormZentaroChild *window) const;

private:
    bool Save(TFormZentaroChild *window);
    std::vector<TEntry> LeftOvers();

    TWindows FWindows;
    QString FFolder, FCopy;
    std::unique_ptr<QLockFile> FLock;
    std::unique_ptr<QTimer> FTimer;
    // Each window's file number, and the image last written for it (empty when that write
    // failed), so that a network unchanged since is not written again.
    struct TKept {
        int Serial = 0;
        QByteArray Written;
    };
    std::map<TFormZentaroChild *, TKept> FKept;
    int FNextSerial = 1;
    // The locks of gone copies whose files are being offered: no other start offers them too.
    std::vector<std::unique_ptr<QLockFile>> FClaimed;
};
