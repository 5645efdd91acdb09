#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct ToolRun {
    int exitCode;
    QByteArray standardError;
};

ToolRun RunTool(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(ZTRTOOL_PATH), arguments);
    if (!process.waitForFinished(60000)) return {-1, "did not finish"};
    return {process.exitCode(), process.readAllStandardError()};
}

} // namespace

class TestZtrtool : public QObject {
    Q_OBJECT

private slots:
    void compressAndDecompressRoundTrip();
    void failuresExitWithOneLine_data();
    void failuresExitWithOneLine();

private:
    QTemporaryDir FDir;
    QString File(const QString &name, const QByteArray &content = {}) {
        const QString path = FDir.filePath(name);
        if (!content.isNull()) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly)) file.write(content);
        }
        return path;
    }
    QByteArray Contents(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

void TestZtrtool::compressAndDecompressRoundTrip() {
    QByteArray data;
    for (int i = 0; i < 3000; ++i) data += "wire " + QByteArray::number(i % 97) + ";";
    const QString raw = File("raw", data), packed = File("packed"), back = File("back");
    QCOMPARE(RunTool({"compress", raw, packed}).exitCode, 0);
    QVERIFY(Contents(packed).size() < data.size() / 2);
    QCOMPARE(RunTool({"decompress", packed, back}).exitCode, 0);
    QCOMPARE(Contents(back), data);

    QCOMPARE(RunTool({"compress", File("abc", "abc"), packed}).exitCode, 0);
    QCOMPARE(Contents(packed), QByteArray::fromHex("040080616263"));
}

void TestZtrtool::failuresExitWithOneLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("malformed block") << QStringList{"decompress"} << QByteArray::fromHex("0500408000" "0013")
                                     << QByteArray("malformed block");
    QTest::newRow("length past the end") << QStringList{"decompress"} << QByteArray::fromHex("ff7f8001")
                                         << QByteArray("exceeds the stream");
    QTest::newRow("missing input") << QStringList{"compress"} << QByteArray() << QByteArray("Cannot open");
    QTest::newRow("unknown command") << QStringList{"explode"} << QByteArray("x") << QByteArray("unknown command");
    QTest::newRow("wrong argument count") << QStringList{"compress", "only"} << QByteArray() << QByteArray("usage");
}

void TestZtrtool::failuresExitWithOneLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, message);
    if (arguments.size() == 1) arguments << File(QTest::currentDataTag(), input) << File("out");
    const ToolRun run = RunTool(arguments);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.standardError.contains(message), run.standardError.constData());
    QCOMPARE(run.standardError.count('\n'), 1);
    QVERIFY(!QFile::exists(File("out")));
}

QTEST_GUILESS_MAIN(TestZtrtool)
#include "tst_ztrtool.moc"
