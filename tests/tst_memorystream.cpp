#include "stream/Errors.h"
#include "stream/MemoryStream.h"

#include <QTemporaryDir>
#include <QTest>

class TestMemoryStream : public QObject {
    Q_OBJECT

private slots:
    void readReturnsWhatIsLeft();
    void seekAndSizeStayInsideTheBytes();
    void writeGrowsAndOverwrites();
    void fileRoundTrip();
    void failedSaveKeepsTheOldFile();
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
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(stream.Memory()), 4), QByteArray("a\0\0\0", 4));
}

void TestMemoryStream::writeGrowsAndOverwrites() {
    TMemoryStream stream;
    const QByteArray big(100000, 'x');
    stream.Write(big.constData(), big.size());
    stream.Seek(99998);
    stream.Write("yz!", 3);
    QCOMPARE(stream.Size(), std::int64_t(100001));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(stream.Memory()) + 99997, 4), QByteArray("xyz!"));
}

void TestMemoryStream::fileRoundTrip() {
    QTemporaryDir dir;
    const std::string name = dir.filePath("net.bin").toStdString();
    const QByteArray bytes("\0\x01\xff network", 11);
    TMemoryStream(bytes.constData(), bytes.size()).SaveToFile(name);
    TMemoryStream loaded;
    loaded.LoadFromFile(name);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(loaded.Memory()), int(loaded.Size())), bytes);
    QCOMPARE(loaded.Position(), std::int64_t(0));
    QVERIFY(!QFile::exists(dir.filePath("net.bin.tmp")));
}

void TestMemoryStream::failedSaveKeepsTheOldFile() {
    QTemporaryDir dir;
    const QString target = dir.filePath("kept");
    TMemoryStream("old", 3).SaveToFile(target.toStdString());
    // The temporary file cannot be created where a directory of that name stands.
    QVERIFY(QDir(dir.path()).mkdir("kept.tmp"));
    QVERIFY_THROWS_EXCEPTION(EStreamError, TMemoryStream("new", 3).SaveToFile(target.toStdString()));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old"));
}

void TestMemoryStream::missingFileRaises() {
    QTemporaryDir dir;
    TMemoryStream stream;
    QVERIFY_THROWS_EXCEPTION(EStreamError, stream.LoadFromFile(dir.filePath("absent").toStdString()));
}

QTEST_APPLESS_MAIN(TestMemoryStream)
#include "tst_memorystream.moc"
