#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/WholeFile.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestMemoryStream : public QObject {
    Q_OBJECT

private slots:
    void readReturnsWhatIsLeft();
    void seekAndSizeStayInsideTheBytes();
    void writeGrowsAndOverwrites();
    void fileRoundTrip();
    void savingHarmsNothingElse_data();
    void savingHarmsNothingElse();
    void missingFileRaises();
};

void TestMemoryStream::readReturnsWhatIsLeft() {
    TMemoryStream stream("abcde", 5);
    char buffer[8] = {};
    stream.Seek(3);
    QCOMPARE(stream.Read(buffer, 8), std::int64_t(2));
    QCOMPARE(QByteArray(buffer, 2), QByteArray("de"));
    QCOMPARE(stream.Read(buffer, 8), std::int64_t(0));
    QCOMPARE(stream.Read(buffer, -1), std::int64_t(0));
    QCOMPARE(stream.Position(), std::int64_t(5));
}

void TestMemoryStream::seekAndSizeStayInsideTheBytes() {
    TMemoryStream stream("abc", 3);
    stream.Seek(10);
    QCOMPARE(stream.Position(), std::int64_t(3));
    stream.Seek(-4);
    QCOMPARE(stream.Position(), std::int64_t(0));
    stream.Seek(3);
    stream.SetSize(1);
    QCOMPARE(stream.Position(), std::int64_t(1));
    stream.SetSize(4);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(stream.Memory()), 4),
             QByteArray("a\0\0\0", 4));
}

void TestMemoryStream::writeGrowsAndOverwrites() {
    TMemoryStream stream;
    const QByteArray big(100000, 'x');
    stream.Write(big.constData(), big.size());
    stream.Seek(99998);
    stream.Write("yz!", 3);
    QCOMPARE(stream.Size(), std::int64_t(100001));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(stream.Memory()) + 99997, 4),
             QByteArray("xyz!"));
}

void TestMemoryStream::fileRoundTrip() {
    QTemporaryDir dir;
    const std::string name = dir.filePath("net.bin").toStdString();
    const QByteArray bytes("\0\x01\xff network", 11);
    TMemoryStream(bytes.constData(), bytes.size()).SaveToFile(name);
    TMemoryStream loaded;
    loaded.LoadFromFile(name);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(loaded.Memory()), int(loaded.Size())),
             bytes);
    QCOMPARE(loaded.Position(), std::int64_t(0));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

namespace {

void Put(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Held(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Saves bytes over path, as an ordinary user when asked: root may write into any folder. 1 when
// saved, 0 when refused, -1 when a file made beside it could be read by others while written.
int SaveNew(const QString &path, const QByteArray &bytes, bool ordinaryUser) {
    const auto save = [&] {
        const QString folder = QFileInfo(path).path();
        const QStringList before = Entries(folder);
        try {
            TFileReplacement replacement(
                path.toStdString(),
                std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                          std::size_t(bytes.size())));
            for (const QString &name : Entries(folder)) {
                struct stat status {};
                if (!before.contains(name) &&
                    (::lstat(qPrintable(folder + "/" + name), &status) != 0 ||
                     (status.st_mode & 07777) != 0600))
                    return -1;
            }
            replacement.Commit();
            return 1;
        } catch (const EStreamError &) {
            return 0;
        }
    };
    if (!ordinaryUser || ::geteuid() != 0) return save();
    const pid_t child = ::fork();
    if (child == 0) ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? 1 - save() : 3);
    int status = 3;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) <= 2 ? 1 - WEXITSTATUS(status) : -2;
}

} // namespace

void TestMemoryStream::savingHarmsNothingElse_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QByteArray>("other"); // what the other file the setup made holds afterwards
    QTest::addColumn<int>("mode");         // of the saved file afterwards
    QTest::newRow("a file named like a temporary stays")
        << "tmp file" << true << QByteArray("keep") << 0644;
    QTest::newRow("a link named like a temporary leads nowhere")
        << "tmp link" << true << QByteArray("keep") << 0644;
    QTest::newRow("a link is written through")
        << "target link" << true << QByteArray("new") << 0644;
    QTest::newRow("hard links stay one file") << "hard link" << true << QByteArray("new") << 0644;
    QTest::newRow("permissions are kept") << "mode 0640" << true << QByteArray() << 0640;
    QTest::newRow("a read-only file is refused") << "mode 0440" << false << QByteArray() << 0440;
    QTest::newRow("a folder that takes no new file")
        << "locked folder" << true << QByteArray() << 0644;
    QTest::newRow("set-group-id is kept") << "mode 02750" << true << QByteArray() << 02750;
    QTest::newRow("root keeps another user's owner")
        << "other owner" << true << QByteArray() << 0644;
    QTest::newRow("a 250-byte name") << "long name" << true << QByteArray() << 0644;
    // A 64 KiB file system too small for the new bytes: nothing changes, nothing is left.
    QTest::newRow("full disk") << "full" << false << QByteArray() << 0644;
    QTest::newRow("full disk, hard link") << "full hard link" << false << QByteArray("old") << 0644;
}

void TestMemoryStream::savingHarmsNothingElse() {
    QFETCH(QString, setup);
    QFETCH(bool, saved);
    QFETCH(QByteArray, other);
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString folder = dir.filePath("folder"), second = folder + "/other",
                  target =
                      folder + (setup == "long name" ? "/" + QString(246, 'r') : "/rete") + ".ZTR";
    QVERIFY(QDir().mkdir(folder));
    const bool full = setup.startsWith("full");
    if (full && ::mount("tmpfs", qPrintable(folder), "tmpfs", 0, "size=64k") != 0)
        QSKIP("a small file system to fill needs root");
    const auto unmount = qScopeGuard([&] {
        if (full) ::umount2(qPrintable(folder), MNT_DETACH);
    });
    QVERIFY(::chmod(qPrintable(dir.path()), 0755) == 0);
    Put(target, "old");
    QVERIFY(::chmod(qPrintable(target), 0644) == 0);
    if (setup == "tmp file") {
        Put(target + ".tmp", "keep");
    } else if (setup == "tmp link") {
        Put(second, "keep");
        QVERIFY(QFile::link(second, target + ".tmp"));
    } else if (setup == "target link") {
        QVERIFY(QFile::rename(target, second) && QFile::link("other", target));
    } else if (setup.endsWith("hard link")) {
        QVERIFY(::link(qPrintable(target), qPrintable(second)) == 0);
    } else if (setup.startsWith("mode")) {
        QVERIFY(::chmod(qPrintable(target), mode_t(mode)) == 0);
    } else if (setup == "other owner") {
        QVERIFY(::chown(qPrintable(target), 65534, 65534) == 0 || ::geteuid() != 0);
    } else if (setup == "locked folder") {
        QVERIFY(::chown(qPrintable(target), 65534, 65534) == 0 || ::geteuid() != 0);
        QVERIFY(::chmod(qPrintable(folder), 0555) == 0);
    }
    struct stat old {};
    QVERIFY(::stat(qPrintable(target), &old) == 0);
    const QStringList before = Entries(folder);
    QCOMPARE(SaveNew(target, full ? QByteArray(100000, 'n') : "new", setup == "locked folder"),
             int(saved));
    QCOMPARE(Held(target), saved ? QByteArray("new") : QByteArray("old"));
    if (!other.isNull()) QCOMPARE(Held(setup == "tmp file" ? target + ".tmp" : second), other);
    QCOMPARE(QFileInfo(target).isSymLink(), setup == "target link");
    struct stat status {};
    QVERIFY(::stat(qPrintable(target), &status) == 0);
    QCOMPARE(int(status.st_mode & 07777), mode);
    QCOMPARE(status.st_uid, old.st_uid);
    QCOMPARE(status.st_gid, old.st_gid);
    ::chmod(qPrintable(folder), 0755);
    // Nothing is left beside it.
    QCOMPARE(Entries(folder), before);
}

void TestMemoryStream::missingFileRaises() {
    QTemporaryDir dir;
    TMemoryStream stream;
    QVERIFY_THROWS_EXCEPTION(EStreamError,
                             stream.LoadFromFile(dir.filePath("absent").toStdString()));
}

QTEST_APPLESS_MAIN(TestMemoryStream)
#include "tst_memorystream.moc"
