#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

struct ToolRun {
    int exitCode;
    QByteArray standardError;
    QByteArray standardOutput;
};

// Runs the tool; with appendTo, its standard output is appended to that file.
ToolRun RunTool(const QStringList &arguments, const QString &appendTo = {}) {
    QProcess process;
    if (!appendTo.isEmpty()) process.setStandardOutputFile(appendTo, QIODevice::Append);
    // Without one, Qt's warning about it would add a line to the tool's messages.
    static const QTemporaryDir runtimeDir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZTRTOOL_PATH), arguments);
    if (!process.waitForFinished(60000)) return {-1, "did not finish", {}};
    return {process.exitCode(), process.readAllStandardError(), process.readAllStandardOutput()};
}

} // namespace

class TestZtrtool : public QObject {
    Q_OBJECT

private slots:
    void compressAndDecompressRoundTrip();
    void packAndDumpRoundTrip();
    void networkFiles();
    void renderPictures();
    void renderOptions_data();
    void renderOptions();
    void truthTables_data();
    void truthTables();
    void headlessRun_data();
    void headlessRun();
    void optionsAsDocumented_data();
    void optionsAsDocumented();
    void failuresExitWithOneLine_data();
    void failuresExitWithOneLine();
    void synthesisedNetworksPassTheirTables_data();
    void synthesisedNetworksPassTheirTables();
    void batchOfAFolder();
    void batchCommandLines_data();
    void batchCommandLines();

private:
    QTemporaryDir FDir;
    const QString JkToggle = QStringLiteral(ZENTARO_CORPUS_DIR "/good/jk_toggle.ZTR");
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
    // A class's hand-in: right.ZTR, wrong.ztr, broken.ZTR, runaway.ZTR (its output follows a NOT
    // fed by itself and never settles), and what a folder scan must pass over. False if the
    // tool could not build them.
    bool MakeStudents();
    QTemporaryDir FStudents;
    QString FTable;
};

// Eight rows, four of them weighing 3 between the weight lines; wrong.ztr computes A | B for T.
const QByteArray StudentTable = "A B | S T\n0 0 | 1 0\n0 1 | 1 0\n# weight 3\n1 0 | 0 0\n"
                                "1 1 | 0 1\n# weight 1\n0 0 | 1 0\n1 1 | 0 1\n0 1 | 1 X\n"
                                "0 0 | 1 0\n";

bool TestZtrtool::MakeStudents() {
    if (!FTable.isEmpty()) return true;
    const QString dir = FStudents.path();
    FTable = File("students.table", StudentTable);
    if (RunTool({"synth", dir + "/right.ZTR", "--expr", "S = !A; T = A & B"}).exitCode != 0 ||
        RunTool({"synth", dir + "/wrong.ztr", "--expr", "S = !A; T = A | B"}).exitCode != 0)
        return false;
    QString text = QString::fromUtf8(RunTool({"dump", dir + "/right.ZTR"}).standardOutput);
    // A gate's lines, from its object line to its end.
    const auto edit = [&](const QString &name, const QString &from, const QString &to) {
        const qsizetype start = text.indexOf("object " + name + ":");
        const qsizetype end = text.indexOf("\n    end", start);
        if (start < 0 || end < 0) return false;
        text.replace(start, end - start, text.mid(start, end - start).replace(from, to));
        return true;
    };
    // The NOT before S feeds itself, every 1 ms; a 60 s gate beside it makes the settle time
    // a minute, so each row runs about 10^7 ms before it counts as unsettled.
    if (!edit("LogPort1", "InAComp = A", "InAComp = LogPort1") ||
        !edit("LogPort1", "UpdateDelay = 10", "UpdateDelay = 1") ||
        !edit("S", "UpdateDelay = 10", "UpdateDelay = 1") ||
        !edit("LogPort2", "UpdateDelay = 10", "UpdateDelay = 60000"))
        return false;
    if (RunTool({"pack", File("runaway.txt", text.toUtf8()), dir + "/runaway.ZTR"}).exitCode != 0)
        return false;
    QFile broken(dir + "/broken.ZTR"), notes(dir + "/notes.txt");
    return broken.open(QIODevice::WriteOnly) && broken.write("not a network") > 0 &&
           notes.open(QIODevice::WriteOnly) && QDir(dir).mkdir("old.ZTR");
}

void TestZtrtool::compressAndDecompressRoundTrip() {
    QByteArray data;
    for (int i = 0; i < 3000; ++i)
        data += "wire " + QByteArray::number(i % 97) + ";";
    const QString raw = File("raw", data), packed = File("packed"), back = File("back");
    QCOMPARE(RunTool({"compress", raw, packed}).exitCode, 0);
    QVERIFY(Contents(packed).size() < data.size() / 2);
    QCOMPARE(RunTool({"decompress", packed, back}).exitCode, 0);
    QCOMPARE(Contents(back), data);

    QCOMPARE(RunTool({"compress", File("abc", "abc"), packed}).exitCode, 0);
    QCOMPARE(Contents(packed), QByteArray::fromHex("040080616263"));
}

void TestZtrtool::packAndDumpRoundTrip() {
    const QByteArray text = "object Main: TMain\n"
                            "  Caption = 'Gr\u00fc\u00dfe'#13#10'\u03a9'\n"
                            "  Data = {\n"
                            "    00FF}\n"
                            "  object Lamp1: TLamp [2]\n"
                            "    Level = True\n"
                            "  end\n"
                            "end\n";
    const QString textFile = File("main.txt", text), stream = File("main.bin"),
                  again = File("again.bin");
    QCOMPARE(RunTool({"pack", textFile, stream}).exitCode, 0);
    QVERIFY(Contents(stream).startsWith("TPF0\x05TMain\x04Main"));
    const ToolRun dump = RunTool({"dump", stream});
    QCOMPARE(dump.exitCode, 0);
    QCOMPARE(dump.standardOutput, text);
    QCOMPARE(RunTool({"pack", File("dumped.txt", dump.standardOutput), again}).exitCode, 0);
    QCOMPARE(Contents(again), Contents(stream));
}

void TestZtrtool::networkFiles() {
    // The window's own description as a network file: it loads as the program loads it.
    QFile description(QStringLiteral(ZENTARO_FORMS_DIR "/FChild.txt"));
    QVERIFY(description.open(QIODevice::ReadOnly));
    const QByteArray text = description.readAll();
    const QString network = File("net.ZTR"), resaved = File("resaved.ztr"),
                  broken = File("broken.ZTR");
    QCOMPARE(RunTool({"pack", File("net.txt", text), network}).exitCode, 0);
    QVERIFY(Contents(network).startsWith("\x11QWCOMPV"));
    const ToolRun check = RunTool({"check", network});
    QCOMPARE(check.exitCode, 0);
    QCOMPARE(check.standardOutput, QByteArray("ok\n"));
    QCOMPARE(RunTool({"resave", network, resaved}).exitCode, 0);
    const ToolRun dump = RunTool({"dump", resaved});
    QCOMPARE(dump.exitCode, 0);
    QVERIFY(dump.standardOutput.contains("object LogicalPort1: TLogicalPort"));
    // check names the reason the program keeps to itself.
    QCOMPARE(
        RunTool({"pack",
                 File("broken.txt", QByteArray(text).replace("OnShow = FormShow", "OnShow = Nope")),
                 broken})
            .exitCode,
        0);
    const ToolRun failed = RunTool({"check", broken});
    QCOMPARE(failed.exitCode, 1);
    QVERIFY2(failed.standardError.contains("Method Nope not found"),
             failed.standardError.constData());
    // A fault found without a stream position prints none.
    const QByteArray glyph = QByteArray(text).replace("36030000424D", "FF030000424D");
    QCOMPARE(RunTool({"pack", File("glyph.txt", glyph), broken}).exitCode, 0);
    const ToolRun noPosition = RunTool({"check", broken});
    QVERIFY2(noPosition.standardError.endsWith("ZTR: Bitmap data length does not match\n"),
             noPosition.standardError.constData());
}

void TestZtrtool::renderPictures() {
    // The half adder's gates span (20, 40) to (300, 180): pictures start 16 pixels before.
    const QString network = QStringLiteral(ZENTARO_CORPUS_DIR "/good/half_adder.ZTR");
    const auto at = [](const QImage &image, int x, int y) {
        return image.pixelColor(x - 4, y - 24);
    };
    for (const bool running : {false, true}) {
        const QStringList options = running ? QStringList{"--active"} : QStringList{};
        const QString png = File(running ? "running.png" : "editing.png"),
                      svg = File("network.svg");
        QCOMPARE(RunTool(QStringList{"render", network, png} + options).exitCode, 0);
        QCOMPARE(RunTool(QStringList{"render", network, svg} + options).exitCode, 0);
        const QImage image(png);
        QCOMPARE(image.size(), QSize(280 + 32, 140 + 32));
        QCOMPARE(at(image, 4, 24), QColor(0xd4, 0xd0, 0xc8));
        // The XOR's output wire, and the wire into its upper pin, which its back (cut off at
        // its box) must not cover; the lamp's dotted frame only while editing.
        QCOMPARE(at(image, 225, 60), QColor(Qt::black));
        QCOMPARE(at(image, 137, 44), QColor(Qt::black));
        QCOMPARE(at(image, 260, 40) == QColor(Qt::black), !running);

        const QByteArray document = Contents(svg);
        QXmlStreamReader reader(document);
        int shapes = 0;
        while (!reader.atEnd())
            if (reader.readNext() == QXmlStreamReader::StartElement &&
                reader.name() == QLatin1String("path"))
                ++shapes;
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
        QVERIFY(shapes > 20);
        QCOMPARE(document.contains(">XOR</text>"), !running);
    }
}

void TestZtrtool::renderOptions_data() {
    QTest::addColumn<QString>("network");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("drawn");     // gates in the SVG picture
    QTest::addColumn<QString>("lamps"); // the half adder's sum and carry: 1 lit, 0 dark
    // The half adder's gates span (20, 40) to (300, 180); a picture adds 16 pixels around.
    const QSize whole(312, 172);
    QTest::newRow("all gates") << "half_adder" << QStringList{} << whole << 6 << "00";
    QTest::newRow("one gate, named in any case")
        << "half_adder" << QStringList{"--gates", "logport3"} << QSize(82, 72) << 1 << "";
    // The box of both, and the gates that reach into it.
    QTest::newRow("two gates") << "half_adder" << QStringList{"--gates=LogPort3,LogPort6"}
                               << QSize(192, 172) << 4 << "";
    QTest::newRow("gates far out left out")
        << "extreme_values" << QStringList{"--gates", "LogPort1"} << QSize(82, 72) << 1 << "";
    QTest::newRow("running at t = 0")
        << "half_adder" << QStringList{"--active"} << whole << 6 << "00";
    QTest::newRow("one switch") << "half_adder"
                                << QStringList{"--for", "100", "--toggle", "LogPort1@10"} << whole
                                << 6 << "10";
    QTest::newRow("both, named in any case")
        << "half_adder"
        << QStringList{"--for=100", "--toggle", "logport1@10", "--toggle", "LogPort2@20"} << whole
        << 6 << "01";
    QTest::newRow("on and off again")
        << "half_adder"
        << QStringList{"--for", "100", "--toggle", "LogPort1@10", "--toggle", "LogPort1@40"}
        << whole << 6 << "00";
    // The gates after the switch have not been evaluated by then.
    QTest::newRow("too soon to see")
        << "half_adder" << QStringList{"--for", "5", "--toggle", "LogPort1@5"} << whole << 6
        << "00";
}

void TestZtrtool::renderOptions() {
    QFETCH(QString, network);
    QFETCH(QStringList, options);
    QFETCH(QSize, size);
    QFETCH(int, drawn);
    QFETCH(QString, lamps);
    const QString file = QStringLiteral(ZENTARO_CORPUS_DIR "/good/") + network + ".ZTR",
                  png = File("options.png"), svg = File("options.svg");
    QCOMPARE(RunTool(QStringList{"render", file, png} + options).exitCode, 0);
    QCOMPARE(RunTool(QStringList{"render", file, svg} + options).exitCode, 0);
    const QImage image(png);
    QCOMPARE(image.size(), size);
    // The root element and one nested element per gate drawn.
    QCOMPARE(Contents(svg).count("<svg "), drawn + 1);
    // The lamps' centres, (280, 60) and (280, 160) on the drawing area, whose picture starts at
    // (4, 24); a lit lamp's core is red, a dark one's maroon.
    const int centres[] = {36, 136};
    for (qsizetype i = 0; i < lamps.size(); ++i)
        QCOMPARE(image.pixelColor(276, centres[i]),
                 lamps[i] == '1' ? QColor(Qt::red) : QColor(0x80, 0, 0));
}

void TestZtrtool::truthTables_data() {
    QTest::addColumn<QString>("network");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("half adder") << "half_adder" << QByteArray() << QStringList() << 0
                                << QByteArray("4 passed, 0 failed\n");
    // The clock beside the table's outputs keeps running; the rows settle all the same.
    QTest::newRow("clock beside") << "jk_toggle" << QByteArray() << QStringList() << 0
                                  << QByteArray("9 passed, 0 failed\n");
    QTest::newRow("wrong carry")
        << "half_adder"
        << QByteArray("LogPort1 LogPort2 | LogPort5 LogPort6\n0 0 | 0 0\n1 1 | 0 0\n")
        << QStringList() << 1
        << QByteArray(": line 3: expected 0 0, got 0 1\n1 passed, 1 failed\n");
    QTest::newRow("BOM, CR LF, lone CR")
        << "half_adder"
        << QByteArray("\xEF\xBB\xBFLogPort1 LogPort2 | LogPort5\r\n0 1 | 1\r1 1 | 0\r\n")
        << QStringList() << 0 << QByteArray("2 passed, 0 failed\n");
    // The table that `analyze` printed checks the network it came from.
    QTest::newRow("analysed half adder") << "half_adder" << QByteArray("analyze") << QStringList()
                                         << 0 << QByteArray("4 passed, 0 failed\n");
    // A running clock the table names never falls quiet for twice its delay; the row ends.
    QTest::newRow("never settles")
        << "jk_toggle" << QByteArray("LogPort1 | LogPort2\n1 | X\n0 | 0\n") << QStringList() << 1
        << QByteArray(": line 2: did not settle within 104000 ms\n1 passed, 1 failed\n");
}

void TestZtrtool::truthTables() {
    QFETCH(QString, network);
    QFETCH(QByteArray, table);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    const QString corpus = QStringLiteral(ZENTARO_CORPUS_DIR "/good/") + network;
    if (table == "analyze") table = RunTool({"analyze", corpus + ".ZTR"}).standardOutput;
    const ToolRun run =
        RunTool(QStringList{"test", corpus + ".ZTR",
                            table.isEmpty() ? corpus + ".table" : File("t", table)} +
                options);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.standardOutput.endsWith(output), run.standardOutput.constData());
}

void TestZtrtool::headlessRun_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("target"); // "file", or a name for the standard output
    QTest::newRow("VCD, read back") << QStringLiteral("--vcd") << "file";
    QTest::newRow("WaveJSON") << QStringLiteral("--wavedrom") << "file";
    QTest::newRow("CSV") << QStringLiteral("--csv") << "file";
    // The standard output appended to a log: the log keeps its lines and is never replaced.
    QTest::newRow("CSV to /dev/stdout, appended") << QStringLiteral("--csv") << "/dev/stdout";
    QTest::newRow("WaveJSON to -, appended") << QStringLiteral("--wavedrom") << "-";
}

void TestZtrtool::headlessRun() {
    // The switch, on at 100, lets the 500 ms clock run from 500. J and K both follow the clock,
    // so the flip-flop only turns its memory over and its output holds.
    QFETCH(QString, option);
    QFETCH(QString, target);
    const bool file = target == "file";
    const QString out = File("waves" + option, file ? QByteArray() : "earlier\n");
    struct stat before {};
    QVERIFY(file || ::stat(qPrintable(out), &before) == 0);
    const ToolRun run =
        RunTool({"run", JkToggle, "--for", "3000", "--toggle", "LogPort1@100", "--signals",
                 "LogPort2,LogPort3", "--inputs", "--sample", "100", option, file ? out : target},
                file ? QString() : out);
    QCOMPARE(run.exitCode, 0);
    QByteArray text = Contents(out);
    if (!file) {
        struct stat after {};
        QVERIFY(::stat(qPrintable(out), &after) == 0 && after.st_ino == before.st_ino);
        QVERIFY(text.startsWith("earlier\n"));
        text.remove(0, 8);
    }
    // The summary stays out of a waveform on the standard output.
    const QByteArray summary = file ? run.standardOutput : run.standardError;
    QVERIFY2(summary.contains("evaluations: 910\nvirtual time: 3000 ms\nwall time: "), summary);
    QVERIFY(summary.endsWith(" ms\nLogPort4=0\n"));
    const QByteArray clock = (QByteArray(500, '0') + QByteArray(500, '1')).repeated(3);
    if (option == "--vcd") {
        QProcess reader;
        reader.start(QStringLiteral("sigrok-cli"), {"-I", "vcd", "-i", out, "-O", "bits"});
        if (!reader.waitForStarted()) QSKIP("sigrok-cli, the VCD reader, is not installed");
        QVERIFY(reader.waitForFinished(60000));
        QCOMPARE(reader.exitCode(), 0);
        // Each channel's samples come in lines of "NAME:bits", a millisecond a bit.
        QMap<QByteArray, QByteArray> bits;
        for (const QByteArray &line : reader.readAllStandardOutput().split('\n'))
            if (line.startsWith("LogPort"))
                bits[line.left(line.indexOf(':'))] +=
                    line.mid(line.indexOf(':') + 1).replace(' ', "");
        QCOMPARE(bits.keys(), QList<QByteArray>({"LogPort2", "LogPort2.A", "LogPort2.B", "LogPort3",
                                                 "LogPort3.A", "LogPort3.B"}));
        QCOMPARE(bits["LogPort2"], clock);
        QCOMPARE(bits["LogPort2.A"], QByteArray(500, '0') + QByteArray(2500, '1'));
        QCOMPARE(bits["LogPort3.A"], clock);
        QCOMPARE(bits["LogPort3.B"], clock);
        QCOMPARE(bits["LogPort3"], QByteArray(3000, '0'));
    } else if (option == "--wavedrom") {
        QJsonParseError error{};
        const QJsonArray waves = QJsonDocument::fromJson(text, &error)["signal"].toArray();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(waves.size(), 6);
        for (const QJsonValue &wave : waves)
            QCOMPARE(wave["wave"].toString().size(), 31);
        QCOMPARE(waves[0]["wave"].toString(), QStringLiteral("0....1....0....1....0....1....0"));
        QCOMPARE(waves[5]["name"].toString(), QStringLiteral("LogPort3.B"));
    } else {
        const QList<QByteArray> rows = text.trimmed().split('\n');
        QCOMPARE(
            rows[0],
            QByteArray("time_ms,LogPort2,LogPort2.A,LogPort2.B,LogPort3,LogPort3.A,LogPort3.B"));
        QCOMPARE(rows.size(), 8);
        for (qsizetype row = 2; row < rows.size(); ++row)
            QVERIFY(rows[row].split(',')[0].toInt() > rows[row - 1].split(',')[0].toInt());
        QCOMPARE(rows[2], QByteArray("500,1,1,0,0,1,1"));
    }
}

void TestZtrtool::optionsAsDocumented_data() {
    // OUT stands for a scratch file; the output is looked for in the tool's and that file's.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("run for 0") << QStringList{"run", JkToggle, "--for", "0"}
                               << QByteArray("virtual time: 0 ms\n");
    QTest::newRow("toggle at the end, name=value")
        << QStringList{"run", JkToggle, "--for=100", "--toggle=LogPort1@100"}
        << QByteArray("virtual time: 100 ms\n");
    QTest::newRow("a signal named twice")
        << QStringList{"run",   JkToggle, "--for", "0", "--signals", "LogPort2,LogPort2",
                       "--csv", "OUT"}
        << QByteArray("time_ms,LogPort2\n0,0\n");
    QTest::newRow("run --help") << QStringList{"run", "-h"}
                                << QByteArray("\n  --inputs            record the inputs");
    QTest::newRow("test --help") << QStringList{"test", "--help"}
                                 << QByteArray("\n  --settle MS         a row is settled");
    QTest::newRow("render --help")
        << QStringList{"render", "--help"} << QByteArray("\n  --active            draw it running");
    QTest::newRow("analyze --help")
        << QStringList{"analyze", "--help"} << QByteArray("\n  --inputs A,B,..     the inputs");
    const QString halfAdder = ZENTARO_CORPUS_DIR "/good/half_adder.ZTR";
    QTest::newRow("analyze, one output")
        << QStringList{"analyze", halfAdder, "--outputs=LogPort6"}
        << QByteArray("LogPort1 LogPort2 | LogPort6\n0 0 | 0\n0 1 | 0\n1 0 | 0\n1 1 | 1\n");
    QTest::newRow("analyze --expr --pos")
        << QStringList{"analyze", halfAdder, "--pos", "--expr"}
        << QByteArray("LogPort6 = LogPort1 & LogPort2\n\nLogPort5 = (");
    QTest::newRow("synth --help") << QStringList{"synth", "--help"}
                                  << QByteArray("\n  --nand              NAND gates only");
    QTest::newRow("compress --help")
        << QStringList{"compress", "--help"} << QByteArray("usage: ztrtool compress IN OUT\n");
}

void TestZtrtool::optionsAsDocumented() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, output);
    const QString out = File("out");
    QFile::remove(out);
    arguments.replaceInStrings(QRegularExpression("^OUT$"), out);
    const ToolRun run = RunTool(arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2((run.standardOutput + Contents(out)).contains(output), run.standardOutput);
    // Option descriptions, and the lines that go on with them, start in one column.
    QSet<qsizetype> columns;
    for (const QByteArray &line : run.standardOutput.split('\n'))
        if (line.startsWith("  ")) {
            const qsizetype gap = line.startsWith("  -") ? line.indexOf("  ", 2) : 0;
            qsizetype column = gap;
            while (gap >= 0 && column < line.size() && line[column] == ' ')
                ++column;
            columns.insert(gap < 0 ? -1 : column);
        }
    QVERIFY2(columns.size() <= 1 && !columns.contains(-1), run.standardOutput);
    QFile::remove(out);
}

void TestZtrtool::failuresExitWithOneLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("writes");

    QTest::newRow("malformed block") << QStringList{"decompress"}
                                     << QByteArray::fromHex("0500408000"
                                                            "0013")
                                     << QByteArray("malformed block") << true;
    QTest::newRow("length past the end")
        << QStringList{"decompress"} << QByteArray::fromHex("ff7f8001")
        << QByteArray("exceeds the stream") << true;
    QTest::newRow("missing input")
        << QStringList{"compress"} << QByteArray() << QByteArray("Cannot open") << true;
    QTest::newRow("unknown command")
        << QStringList{"explode"} << QByteArray("x") << QByteArray("unknown command") << true;
    QTest::newRow("wrong argument count")
        << QStringList{"compress", "only"} << QByteArray() << QByteArray("usage") << true;
    // The input file is named after the row, so the message names it.
    QTest::newRow("cut stream") << QStringList{"dump"}
                                << QByteArray("TPF0\x01T\x00\x01P\x06\x09"
                                              "abc",
                                              11)
                                << QByteArray("cut stream: stream byte 11: ") << false;
    QTest::newRow("bad text") << QStringList{"pack"} << QByteArray("object T\n  Left 227\nend\n")
                              << QByteArray("bad text: line 2, column 8: ") << true;
    QTest::newRow("bad string") << QStringList{"pack"} << QByteArray("object T\n  S = 'a\n  end\n")
                                << QByteArray("bad string: line 2, column 7: ") << true;
    // Not files: refused at once, never waited on.
    QTest::newRow("a FIFO") << QStringList{"check"} << QByteArray("fifo") << QByteArray("is a FIFO")
                            << false;
    QTest::newRow("a folder") << QStringList{"check"} << QByteArray("folder")
                              << QByteArray("is a folder") << false;
    // A sample network drawn into the scratch folder: nothing is left where it failed.
    QTest::newRow("picture in a missing folder")
        << QStringList{"render", "half_adder.ZTR", "missing/out.png"} << QByteArray()
        << QByteArray("Cannot write") << false;
    QTest::newRow("resave in a missing folder names the reason")
        << QStringList{"resave", "half_adder.ZTR", "missing/out.ZTR"} << QByteArray()
        << QByteArray("out.ZTR\": No such file or directory") << false;
    QTest::newRow("unknown picture type")
        << QStringList{"render", "half_adder.ZTR", "out.gif"} << QByteArray()
        << QByteArray("unknown picture type") << false;
    QTest::newRow("unknown render option")
        << QStringList{"render", "half_adder.ZTR", "out.svg", "--frames"} << QByteArray()
        << QByteArray("unknown option") << false;
    QTest::newRow("crop to an unknown gate")
        << QStringList{"render", "half_adder.ZTR", "out.png", "--gates", "LogPort3,Nobody"}
        << QByteArray() << QByteArray("--gates: no gate named \"Nobody\"") << false;
    QTest::newRow("crop to an empty name")
        << QStringList{"render", "half_adder.ZTR", "out.png", "--gates=LogPort3,"} << QByteArray()
        << QByteArray("--gates: an empty name") << false;
    QTest::newRow("a toggle without a run")
        << QStringList{"render", "half_adder.ZTR", "out.png", "--toggle", "LogPort1@0"}
        << QByteArray() << QByteArray("--toggle needs --for") << false;
    QTest::newRow("toggling what is no switch")
        << QStringList{"render", "half_adder.ZTR", "out.png",   "--for",
                       "9",      "--toggle",       "LogPort5@0"}
        << QByteArray() << QByteArray("\"LogPort5\" is not a pulse switch") << false;
    QTest::newRow("a toggle after the run")
        << QStringList{"render", "half_adder.ZTR", "out.png",    "--for",
                       "9",      "--toggle",       "LogPort1@10"}
        << QByteArray() << QByteArray("comes after the end of the run (9 ms)") << false;
    QTest::newRow("gates too far apart")
        << QStringList{"render", "extreme_values.ZTR", "out.png"} << QByteArray()
        << QByteArray("more than the 8192") << false;
    // A truth table's faults, by the table's line; TABLE stands for the table file.
    const QString halfAdder = ZENTARO_CORPUS_DIR "/good/half_adder.ZTR";
    const QStringList test{"test", halfAdder, "TABLE"};
    const QByteArray header = "LogPort1 LogPort2 | LogPort5\n";
    QTest::newRow("unknown port") << test << QByteArray("LogPort1 Nobody | LogPort5\n0 0 | 0\n")
                                  << QByteArray("line 1: no port named \"Nobody\"") << false;
    QTest::newRow("input no switch")
        << QStringList{"test", ZENTARO_CORPUS_DIR "/good/not_ring.ZTR", "TABLE"}
        << QByteArray("LogPort1 | LogPort2\n0 | 1\n")
        << QByteArray("line 1: \"LogPort1\" is an input but not a pulse switch") << false;
    QTest::newRow("no inputs") << test << QByteArray("\n| LogPort5\n1\n")
                               << QByteArray("line 2: the header names no inputs") << false;
    QTest::newRow("level missing")
        << test << header + "# comment\n0 1 |\n"
        << QByteArray("line 3: 2 levels where the header names 3 ports") << false;
    QTest::newRow("X on an input") << test << header + "X 0 | 0\n"
                                   << QByteArray("line 2, column 1: X is no input level") << false;
    QTest::newRow("C on an output")
        << test << header + "0 0 | C\n"
        << QByteArray("line 2, column 7: C is no output level") << false;
    QTest::newRow("no level") << test << header + "0 0 | 2\n"
                              << QByteArray("line 2, column 7: \"2\" is not a level") << false;
    QTest::newRow("malformed settle")
        << test + QStringList{"--settle", "5ms"} << header + "0 0 | 0\n"
        << QByteArray("--settle: \"5ms\" is not a whole number of milliseconds") << false;
    QTest::newRow("settle without a value") << test + QStringList{"--settle"} << header
                                            << QByteArray("--settle needs a value") << false;
    QTest::newRow("clock 0 in test") << test + QStringList{"--clock=0"} << header + "0 0 | 0\n"
                                     << QByteArray("--clock: \"0\" is not") << false;
    // An analysis refused names its cause.
    QTest::newRow("analyze: memory in a cone")
        << QStringList{"analyze", JkToggle} << QByteArray()
        << QByteArray("ztrtool: analyze: LogPort3 is a JK flip-flop\n") << false;
    QTest::newRow("analyze: unknown output")
        << QStringList{"analyze", halfAdder, "--outputs", "LogPort5,Nobody"} << QByteArray()
        << QByteArray("analyze: no port named Nobody") << false;
    // A headless run that cannot be done as asked leaves no output file.
    const auto run = [this](const QStringList &options) {
        return QStringList{"run", JkToggle, "--vcd", File("out"), "--for"} + options;
    };
    QTest::newRow("unknown signal") << run({"10", "--signals", "LogPort2,Nope"}) << QByteArray()
                                    << QByteArray("unknown signal \"Nope\"") << false;
    QTest::newRow("malformed time")
        << run({"1e3"}) << QByteArray() << QByteArray("\"1e3\" is not a whole number") << false;
    QTest::newRow("negative time") << run({"10", "--toggle", "LogPort1@-1"}) << QByteArray()
                                   << QByteArray("--toggle: \"-1\"") << false;
    QTest::newRow("toggle of a clock") << run({"10", "--toggle", "LogPort2@5"}) << QByteArray()
                                       << QByteArray("not a pulse switch") << false;
    QTest::newRow("unknown option") << run({"10", "--speed", "3"}) << QByteArray()
                                    << QByteArray("unknown option \"--speed\"") << false;
    QTest::newRow("clock 0 in run") << run({"10", "--clock", "0"}) << QByteArray()
                                    << QByteArray("--clock: \"0\" is not") << false;
    QTest::newRow("value for a flag") << run({"10", "--inputs=no"}) << QByteArray()
                                      << QByteArray("--inputs takes no value") << false;
    QTest::newRow("option twice") << run({"10", "--for", "20"}) << QByteArray()
                                  << QByteArray("--for is given twice") << false;
    QTest::newRow("missing value")
        << run({}) << QByteArray() << QByteArray("--for needs a value") << false;
    QTest::newRow("unwritable output") << run({"10", "--csv", File("missing/out")}) << QByteArray()
                                       << QByteArray("Cannot write") << false;
    QTest::newRow("two outputs, one file") << run({"10", "--csv", File("out")}) << QByteArray()
                                           << QByteArray("the same file") << false;
    const QStringList shortRun{"run", JkToggle, "--for", "10"};
    QTest::newRow("two outputs, one file by another name")
        << shortRun + QStringList{"--csv", File("out"), "--wavedrom", FDir.path() + "/./out"}
        << QByteArray() << QByteArray("--wavedrom and --csv name the same file") << false;
    QTest::newRow("two outputs, both the standard output")
        << shortRun + QStringList{"--csv", "-", "--vcd", "/dev/stdout"} << QByteArray()
        << QByteArray("--vcd and --csv name the same file") << false;
    QTest::newRow("samples past the bound")
        << run({"2147483647", "--wavedrom", File("out.json"), "--sample", "1"}) << QByteArray()
        << QByteArray("too many") << false;
    // A network that cannot be built leaves no file; out stands for the file.
    const auto synth = [this](const QStringList &options) {
        return QStringList{"synth", File("out")} + options;
    };
    QTest::newRow("synth, syntax error")
        << synth({"--expr", "S = A & (B"}) << QByteArray() << QByteArray("synth: column ") << false;
    QTest::newRow("synth, output named twice") << synth({"--expr", "S = A; S = B"}) << QByteArray()
                                               << QByteArray("synth: column ") << false;
    QTest::newRow("synth, a part of the window")
        << synth({"--expr", "PanelTop = A"}) << QByteArray()
        << QByteArray("synth: \"PanelTop\" is the name of a part of the network window") << false;
    QTest::newRow("synth, neither expressions nor table")
        << synth({"--nand"}) << QByteArray() << QByteArray("synth: give either --expr or --table")
        << false;
    QTest::newRow("synth, unwritable output")
        << QStringList{"synth", File("missing/out.ZTR"), "--expr", "S = A"} << QByteArray()
        << QByteArray("synth: ") << false;
    QByteArray wide;
    for (int i = 0; i < 25; ++i)
        wide += "I" + QByteArray::number(i) + " ";
    QTest::newRow("synth, 25 inputs")
        << synth({"--table", "TABLE"})
        << wide + "| S\n" + QByteArray(25, '0').replace("0", "0 ") + "| 1\n"
        << QByteArray("synth: 25 inputs: at most 24") << false;
    QTest::newRow("synth, a pulse")
        << synth({"--table", "TABLE"}) << QByteArray("A B | S\nC 0 | 1\n")
        << QByteArray("a pulse: line 2: C (a pulse) has no place") << false;
    QTest::newRow("synth, rows that disagree")
        << synth({"--table", "TABLE"}) << QByteArray("A | S\n1 | 1\n0 | 0\n1 | 0\n")
        << QByteArray("line 4: S differs from an earlier row") << false;
    // The default sample is the shortest delay, a delay of 0 counting as 1.
    const QString zeroDelays = File("zero-delays.ZTR");
    RunTool({"pack",
             File("zero-delays.txt",
                  QString::fromUtf8(RunTool({"dump", JkToggle}).standardOutput)
                      .replace(QRegularExpression("UpdateDelay = \\d+"), "UpdateDelay = 0")
                      .toUtf8()),
             zeroDelays});
    QTest::newRow("samples at a delay of 0")
        << QStringList{"run", zeroDelays, "--for", "2147483647", "--wavedrom", File("out.json")}
        << QByteArray() << QByteArray("too many") << false;
}

void TestZtrtool::failuresExitWithOneLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, message);
    QFETCH(bool, writes);
    if (arguments == QStringList{"check"}) {
        const QString path = File(QTest::currentDataTag());
        QVERIFY(input == "fifo" ? ::mkfifo(qPrintable(path), 0644) == 0 : QDir().mkdir(path));
        arguments << path;
    } else if (arguments.first() == "render" || arguments.first() == "resave") {
        arguments[1] = QStringLiteral(ZENTARO_CORPUS_DIR "/good/") + arguments[1];
        arguments[2] = File(arguments[2]);
    } else if (arguments.contains("TABLE")) {
        arguments[arguments.indexOf("TABLE")] = File(QTest::currentDataTag(), input);
    } else if (arguments.size() == 1) {
        arguments << File(QTest::currentDataTag(), input);
        if (writes) arguments << File("out");
    }
    const ToolRun run = RunTool(arguments);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.standardError.contains(message), run.standardError.constData());
    QCOMPARE(run.standardError.count('\n'), 1);
    QVERIFY(!QFile::exists(File("out")));
    if (arguments.first() == "render" || arguments.first() == "resave")
        QVERIFY(!QFile::exists(arguments[2]));
}

void TestZtrtool::synthesisedNetworksPassTheirTables_data() {
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("expressions"); // empty: built from the table
    QTest::addColumn<bool>("nand");
    QTest::newRow("half adder from expressions")
        << QByteArray("A B | S C\n0 0 | 0 0\n0 1 | 1 0\n1 0 | 1 0\n1 1 | 0 1\n")
        << "S = A ^ B; C = A & B" << false;
    QTest::newRow("constants from expressions, NAND")
        << QByteArray("A | One Zero\n0 | 1 0\n1 | 1 0\n") << "One = A | !A; Zero = 0" << true;
    // Random functions of up to 5 inputs and 3 outputs; rows left out and X may go either way.
    QRandomGenerator random(29);
    for (int i = 0; i < 12; ++i) {
        const int inputs = 1 + i % 5, outputs = 1 + int(random.bounded(3));
        QByteArray table;
        for (int input = 0; input < inputs; ++input)
            table += "In" + QByteArray::number(input) + " ";
        table += "|";
        for (int output = 0; output < outputs; ++output)
            table += " Out" + QByteArray::number(output);
        table += "\n";
        for (int row = 0; row < 1 << inputs; ++row) {
            if (random.bounded(8) == 0) continue;
            for (int input = inputs - 1; input >= 0; --input)
                table += QByteArray::number(row >> input & 1) + " ";
            table += "|";
            for (int output = 0; output < outputs; ++output)
                table += " " + QByteArray(1, "0011X"[random.bounded(5)]);
            table += "\n";
        }
        QTest::addRow("random %d", i) << table << QString() << bool(i % 2);
    }
}

void TestZtrtool::synthesisedNetworksPassTheirTables() {
    QFETCH(QByteArray, table);
    QFETCH(QString, expressions);
    QFETCH(bool, nand);
    const QString tableFile = File("synth.table", table), network = File("synth.ZTR");
    QFile::remove(network);
    QStringList synth{"synth", network};
    synth += expressions.isEmpty() ? QStringList{"--table", tableFile}
                                   : QStringList{"--expr", expressions};
    if (nand) synth += "--nand";
    const ToolRun built = RunTool(synth);
    QVERIFY2(built.exitCode == 0, built.standardError.constData());
    QCOMPARE(RunTool({"check", network}).standardOutput, QByteArray("ok\n"));
    const ToolRun test = RunTool({"test", network, tableFile});
    QVERIFY2(test.exitCode == 0, test.standardOutput.constData());
    if (!nand) return;
    const ToolRun dump = RunTool({"dump", network});
    for (const QByteArray kind : {"logAND", "logOR", "logNOT"})
        QVERIFY(!dump.standardOutput.contains("PortType = " + kind));
}

void TestZtrtool::batchOfAFolder() {
    QVERIFY(MakeStudents());
    const QString dir = FStudents.path(), junit = File("batch.xml"), json = File("batch.json");
    const ToolRun run = RunTool(
        {"test", FTable, dir, "--timeout", "0.3", "-j", "3", "--junit", junit, "--json", json});
    QCOMPARE(run.exitCode, 1);
    // The folder's network files by name, whatever the case of .ZTR, and nothing else.
    QList<QByteArray> lines = run.standardOutput.split('\n');
    const QByteArray folder = dir.toUtf8() + "/";
    QVERIFY2(lines.size() == 8, run.standardOutput);
    // The reason follows the name, which it does not repeat.
    QVERIFY2(lines[0].startsWith(folder + "broken.ZTR: error: ") &&
                 !lines[0].mid(folder.size()).contains(folder),
             lines[0]);
    QCOMPARE(lines.mid(1).join('\n'), folder + "right.ZTR: 8 passed, 0 failed\n" + folder +
                                          "runaway.ZTR: timeout\n" + folder +
                                          "wrong.ztr: 6 passed, 2 failed\n"
                                          "  line 3: expected 1 0, got 1 1\n"
                                          "  line 5: expected 0 0, got 0 1\n"
                                          "14 passed, 18 failed\n");

    // JUnit: per suite its counts, and a failure or error element in each testcase that has one.
    QXmlStreamReader reader(Contents(junit));
    QStringList suites;
    QString suite;
    QMap<QString, int> elements;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        const QString name = reader.name().toString();
        if (name == "testsuites" || name == "testsuite") {
            for (const char *required : {"name", "tests", "failures", "errors", "time"})
                QVERIFY2(attributes.hasAttribute(required), required);
            suite = name == "testsuites" ? "all"
                                         : attributes.value("name").toString().mid(dir.size() + 1);
            suites << QStringLiteral("%1 %2/%3/%4")
                          .arg(suite, attributes.value("tests"), attributes.value("failures"),
                               attributes.value("errors"));
        } else if (name == "testcase") {
            for (const char *required : {"name", "classname", "time"})
                QVERIFY2(attributes.hasAttribute(required), required);
            ++elements[suite + " testcase"];
        } else {
            ++elements[suite + " " + name];
        }
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(suites, QStringList({"all 32/2/16", "broken.ZTR 8/0/8", "right.ZTR 8/0/0",
                                  "runaway.ZTR 8/0/8", "wrong.ztr 8/2/0"}));
    QCOMPARE(elements, (QMap<QString, int>{{"broken.ZTR testcase", 8},
                                           {"broken.ZTR error", 8},
                                           {"right.ZTR testcase", 8},
                                           {"runaway.ZTR testcase", 8},
                                           {"runaway.ZTR error", 8},
                                           {"wrong.ztr testcase", 8},
                                           {"wrong.ztr failure", 2}}));

    // JSON: each file's rows and weighted score (wrong.ztr misses a row of weight 1 and one of
    // 3, of 12), and the totals.
    QJsonParseError error{};
    const QJsonObject report = QJsonDocument::fromJson(Contents(json), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QStringList files;
    for (const QJsonValue &file : report["files"].toArray())
        files << QStringLiteral("%1 %2 %3/%4 %5 rows:%6")
                     .arg(file["name"].toString().mid(dir.size() + 1), file["status"].toString())
                     .arg(file["passed"].toInt())
                     .arg(file["failed"].toInt())
                     .arg(file["score"].toDouble(), 0, 'f', 4)
                     .arg(file["rows"].toArray().size());
    QCOMPARE(
        files,
        QStringList({"broken.ZTR error 0/8 0.0000 rows:8", "right.ZTR ran 8/0 1.0000 rows:8",
                     "runaway.ZTR timeout 0/8 0.0000 rows:8", "wrong.ztr ran 6/2 0.6667 rows:8"}));
    const QJsonObject wrongRow = report["files"][3]["rows"][2].toObject();
    QCOMPARE(wrongRow["weight"].toInt(), 3);
    QCOMPARE(wrongRow["got"].toString(), QStringLiteral("0 1"));
    const QJsonObject totals = report["totals"].toObject();
    QCOMPARE(totals["passed"].toInt(), 14);
    QCOMPARE(totals["failed"].toInt(), 18);
    QCOMPARE(totals["files_passed"].toInt(), 1);
    QCOMPARE(totals["score"].toDouble(), 0.416667); // (12 + 8) / 48

    // The runaway stops at its own check of its processor time, long before the system would
    // stop its worker (at 2 s; its 40 rows take longer): the tool and its workers take less.
    const QString longTable =
        File("long.table", "A B | S T\n" + QByteArray("0 0 | 1 0\n").repeated(40));
    rusage before{}, after{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    const ToolRun alone =
        RunTool({"test", longTable, dir + "/runaway.ZTR", "--timeout=0.3", "-j1"});
    ::getrusage(RUSAGE_CHILDREN, &after);
    QCOMPARE(alone.standardOutput, folder + "runaway.ZTR: timeout\n0 passed, 40 failed\n");
    const auto seconds = [](const rusage &usage) {
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    };
    QVERIFY2(seconds(after) - seconds(before) < 1.5,
             qPrintable(QString::number(seconds(after) - seconds(before))));
}

void TestZtrtool::batchCommandLines_data() {
    // DIR stands for the students' folder, TABLE for their table, OUT for a scratch file.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output"); // the end of the standard output
    QTest::addColumn<QByteArray>("error");  // in the standard error

    QTest::newRow("one file passes")
        << QStringList{"TABLE", "DIR/right.ZTR", "-j1"} << 0
        << QByteArray("DIR/right.ZTR: 8 passed, 0 failed\n8 passed, 0 failed\n") << QByteArray();
    QTest::newRow("older order, as before")
        << QStringList{"DIR/wrong.ztr", "TABLE"} << 1
        << QByteArray("TABLE: line 5: expected 0 0, got 0 1\n6 passed, 2 failed\n")
        << QByteArray("TABLE: 2 of 8 rows failed");
    QTest::newRow("older order, a batch of one, JSON on the standard output")
        << QStringList{"DIR/right.ZTR", "TABLE", "--json", "-"} << 0
        << QByteArray("\"files_passed\": 1, \"errors\": 0, \"timeouts\": 0, \"passed\": 8, "
                      "\"failed\": 0, \"score\": 1.000000}\n}\n")
        << QByteArray("8 passed, 0 failed\n");
    QTest::newRow("a port the network lacks: that file's error")
        << QStringList{"NOPE", "DIR/right.ZTR", "DIR/wrong.ztr"} << 1
        << QByteArray("DIR/right.ZTR: error: NOPE: line 1: no port named \"Nope\"\n"
                      "DIR/wrong.ztr: error: NOPE: line 1: no port named \"Nope\"\n"
                      "0 passed, 2 failed\n")
        << QByteArray("2 of 2 files did not pass");
    QTest::newRow("a file not there")
        << QStringList{"TABLE", "DIR/right.ZTR", "DIR/gone.ZTR"} << 1
        << QByteArray("8 passed, 8 failed\n") << QByteArray("1 of 2 files");
    QTest::newRow("older order, unknown option: exit 1 as before")
        << QStringList{"DIR/right.ZTR", "TABLE", "--bogus"} << 1 << QByteArray()
        << QByteArray("unknown option \"--bogus\"");
    // Usage and tables: exit 2.
    const auto usage = [](const char *tag, const QStringList &arguments, const char *error) {
        QTest::newRow(tag) << arguments << 2 << QByteArray() << QByteArray(error);
    };
    usage("no files", {"TABLE"}, "usage: ztrtool test ");
    usage("table missing", {"DIR/none.table", "DIR"}, "Cannot open");
    usage("not a table", {"DIR/notes.txt", "DIR"}, "line 1: no header");
    usage("weight 0", {"WEIGHT0", "DIR"}, "line 2, column 10: \"0\" is not a weight");
    usage("network file first of three", {"DIR/right.ZTR", "DIR/wrong.ztr", "TABLE"},
          "the table comes first");
    usage("folder without networks", {"TABLE", "DIR/old.ZTR"}, "no network files");
    usage("no jobs", {"TABLE", "DIR", "-j", "0"}, "-j: \"0\" is not a whole number from 1 to 256");
    usage("jobs not a number", {"TABLE", "DIR", "-jx"}, "-j: \"x\"");
    usage("timeout 0", {"TABLE", "DIR", "--timeout=0"}, "--timeout: \"0\" is not a number");
    usage("timeout with a unit", {"TABLE", "DIR", "--timeout", "5s"}, "--timeout: \"5s\"");
    usage("unknown option", {"TABLE", "DIR", "--html", "OUT"}, "unknown option \"--html\"");
    usage("settle malformed", {"TABLE", "DIR", "--settle", "1.5"}, "--settle: \"1.5\"");
    usage("JUnit in a missing folder", {"TABLE", "DIR", "--junit", "DIR/missing/out.xml"},
          "Cannot write");
    usage("one file for both reports", {"TABLE", "DIR", "--junit", "OUT", "--json", "OUT"},
          "--junit and --json name the same file");
}

void TestZtrtool::batchCommandLines() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, error);
    QVERIFY(MakeStudents());
    const QString dir = FStudents.path(), out = File("batch.out");
    QFile::remove(out);
    const QHash<QString, QString> stands{
        {"DIR", dir},
        {"TABLE", FTable},
        {"OUT", out},
        {"NOPE", File("nope.table", "A | Nope\n1 | 1\n")},
        {"WEIGHT0", File("weight0.table", "A B | S\n# weight 0\n0 0 | 1\n")}};
    const auto replaced = [&](QString text) {
        for (auto stand = stands.begin(); stand != stands.end(); ++stand)
            text.replace(QRegularExpression("\\b" + stand.key() + "\\b"), stand.value());
        return text;
    };
    for (QString &argument : arguments)
        argument = replaced(argument);
    const ToolRun run = RunTool(QStringList{"test"} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.standardOutput.endsWith(replaced(QString::fromUtf8(output)).toUtf8()),
             run.standardOutput.constData());
    QVERIFY2(run.standardError.contains(replaced(QString::fromUtf8(error)).toUtf8()),
             run.standardError.constData());
    // A usage error is one line, and leaves no report.
    if (exitCode == 2) {
        QCOMPARE(run.standardError.count('\n'), 1);
        QVERIFY(!QFile::exists(out));
    }
}

QTEST_GUILESS_MAIN(TestZtrtool)
#include "tst_ztrtool.moc"
