#include "Util.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"

#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "gates/LogicCmp.h"
#include "sim/Simulator.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"
#include "support/FormFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {

// A network window emptied the way opening a file prepares it.
std::unique_ptr<TFormZentaroChild> EmptyWindow() {
    auto window = std::make_unique<TFormZentaroChild>(nullptr);
    window->DestroyComponents();
    return window;
}

QByteArray Bytes(const TMemoryStream &stream) {
    return QByteArray(reinterpret_cast<const char *>(stream.Memory()), qsizetype(stream.Size()));
}

void Write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A network file holding the text form's stream.
QByteArray FileOf(const QString &text) {
    TMemoryStream stream;
    ObjectTextToBinary(text.toStdString(), stream);
    stream.Seek(0);
    return Bytes(NetworkFileImage(stream));
}

// The written description of a new window with three wired gates, one fed by a later one.
QString WiredNetworkText() {
    TFormZentaroChild window(nullptr);
    TComponent::Free(window.PanelDefComp);
    std::vector<TLogicalPort *> ports;
    for (int i = 0; i < 3; ++i) {
        window.BtnNewLog->OnClick(window.BtnNewLog);
        ports.push_back(dynamic_cast<TLogicalPort *>(window.Components().back()));
        ports.back()->SetBounds(20 + 100 * i, 40, 50, 40);
    }
    ports[0]->SetPortType(TLogicalPortType::logCLK);
    ports[1]->SetInAComp(ports[0]);
    ports[1]->SetInBComp(ports[2]);
    ports[2]->SetPortType(TLogicalPortType::logNOT);
    ports[2]->SetInAComp(ports[1]);
    return FormFixture::DescriptionOf(window);
}

// A network file opened as the program opens one: read into an emptied window, the flip-flop
// kinds added to an older menu, the window shown. Null when the file does not load.
std::unique_ptr<TFormZentaroChild> Open(const QString &path) {
    auto window = EmptyWindow();
    bool ok = false;
    LoadNetworkFile(path.toStdString(), *window, ok);
    if (!ok) return nullptr;
    window->AddFlipFlopItems();
    window->FormShow(window.get());
    QApplication::processEvents();
    return window;
}

QByteArray FileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What each file of tests/data must show. Good files: the gates, one wire ("Gate.InAComp=Feeder",
// no feeder when the input stays unwired), the window's name after loading (its own name is
// taken, so the usual one gains "_1") and whether the network runs.
struct TGoodFile {
    int Gates;
    const char *Wire;
    const char *Name;
    bool Active;
};
const std::map<QString, TGoodFile> GoodFiles = {
    {"clock_divider", {12, "LogPort9.InBComp=LogPort5", "FormZentaroChild_1", false}},
    {"d_latch", {4, "LogPort3.InBComp=LogPort2", "FormZentaroChild_1", false}},
    {"empty_network", {0, "", "FormZentaroChild_1", false}},
    {"extreme_values", {6, "LogPort3.InAComp=LogPort1", "FormZentaroChild_1", false}},
    {"forward_reference", {3, "LogPort1.InAComp=LogPort2", "FormZentaroChild_1", false}},
    {"half_adder", {6, "LogPort3.InBComp=LogPort2", "FormZentaroChild_1", false}},
    {"jk_toggle", {4, "LogPort3.InBComp=LogPort2", "FormZentaroChild_1", false}},
    {"menu_without_flipflops", {4, "LogPort4.InBComp=LogPort2", "FormZentaroChild_1", false}},
    {"not_ring", {3, "LogPort1.InAComp=LogPort3", "FormZentaroChild_1", false}},
    {"reference_to_nobody", {2, "LogPort2.InBComp=", "FormZentaroChild_1", false}},
    {"resource_header_named", {4, "LogPort3.InAComp=LogPort1", "FormZentaroChild_1", false}},
    {"sample_panel_kept", {2, "LogPort1.InAComp=LogicalPort1", "FormZentaroChild_1", false}},
    {"saved_active", {6, "LogPort4.InAComp=LogPort1", "FormZentaroChild_1", true}},
    {"unusual_root_name", {3, "LogPort4.InAComp=LogPort1", "ReteDiProva", false}},
};
// Broken files: part of the reason the read gives, so each fails for the fault its name says.
const std::map<QString, QString> BrokenFiles = {
    {"duplicate_gate_name", "LogPort1 already exists"},
    {"empty_file", "not the magic"},
    {"foreign_class_TMemo", "Class TMemo not found"},
    {"garbage_after_resource_header", "signature"},
    {"garbage_body", "resource header"},
    {"match_before_block_start", "does not decode past file byte 17"},
    {"negative_data_length", "Unexpected end"},
    {"nesting_too_deep", "nested too deeply"},
    {"oversized_data_length", "Unexpected end"},
    {"oversized_frame_length", "frame is longer than the whole file"},
    {"oversized_long_string_length", "Unexpected end"},
    {"resource_type_not_by_number", "resource header"},
    {"truncated_at_frame_boundary", "Unexpected end"},
    {"truncated_in_first_frame", "frame is longer than the whole file"},
    {"truncated_in_magic", "not the magic"},
    {"truncated_in_second_frame", "Unexpected end"},
    {"truncated_last_byte", "Unexpected end"},
    {"unknown_class", "Class TLogicalGate not found"},
    {"unknown_event_handler", "Method GateDropped not found"},
    {"unknown_gate_kind", "Invalid value for property PortType"},
    {"unknown_property", "Property Voltage does not exist"},
    {"wrong_magic", "not the magic"},
};

} // namespace

class TestNetworkFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void newNetworkFileLayout();
    void saveLoadSaveIsIdentical();
    void readingRules_data();
    void readingRules();
    void damagedFilesNeverCrash();
    void corpus_data();
    void corpus();
    void failedSaveKeepsTheOldFile();
    void windowAgreesWithTheHeadlessRun_data();
    void windowAgreesWithTheHeadlessRun();

private:
    QTemporaryDir FDir;
    // Network windows open inside a multi-document frame, as in the program.
    std::unique_ptr<TForm> FFrame;
};

void TestNetworkFile::initTestCase() {
    FFrame = std::make_unique<TForm>(nullptr);
    FFrame->SetFormStyle(TFormStyle::fsMDIForm);
    FFrame->SetBounds(0, 0, 1000, 800);
    FFrame->Show();
}

void TestNetworkFile::newNetworkFileLayout() {
    TFormZentaroChild window(nullptr);
    TComponent::Free(window.PanelDefComp);
    TMemoryStream image = NetworkFileImage(window);
    const QByteArray file = Bytes(image);
    QCOMPARE(file.left(10), QByteArray("\x11QWCOMPV\x01\x00", 10));
    const QByteArray body = Bytes(NetworkFileStream(image));
    TMemoryStream decoded;
    image.Seek(10);
    TFastCompress().DecompressStream(image, decoded);
    const QByteArray whole = Bytes(decoded);
    QCOMPARE(whole.left(6), QByteArray("\xFF\x0A\x00\x00\x30\x10", 6));
    const quint32 length = quint8(whole[6]) | quint8(whole[7]) << 8 | quint8(whole[8]) << 16 |
                           quint32(quint8(whole[9])) << 24;
    QCOMPARE(qsizetype(length), whole.size() - 10);
    QCOMPARE(whole.mid(10), body.mid(qsizetype(NetworkFileStream(image).Position())));
    // The stream: signature, the root's class and name, then its first properties.
    const QByteArray start = QByteArray("TPF0\x11TFormZentaroChild\x10"
                                        "FormZentaroChild",
                                        4 + 18 + 17) +
                             "\x04Left";
    QVERIFY2(whole.mid(10).startsWith(start), whole.mid(10, 48).toHex(' ').constData());
}

void TestNetworkFile::saveLoadSaveIsIdentical() {
    const QString path = FDir.filePath("wired.ztr");
    const QByteArray file = FileOf(WiredNetworkText());
    Write(path, file);
    auto window = EmptyWindow();
    bool ok = false;
    LoadNetworkFile(path.toStdString(), *window, ok);
    QVERIFY(ok);
    QApplication::processEvents();
    auto *first = dynamic_cast<TLogicalPort *>(window->FindComponent("LogPort1"));
    auto *second = dynamic_cast<TLogicalPort *>(window->FindComponent("LogPort2"));
    auto *third = dynamic_cast<TLogicalPort *>(window->FindComponent("LogPort3"));
    QVERIFY(first && second && third);
    QCOMPARE(second->InAComp(), first);
    QCOMPARE(second->InBComp(), third); // a reference to a gate stored later
    QCOMPARE(third->PortType(), TLogicalPortType::logNOT);
    QCOMPARE(window->PopupMenuPort->Items().Count(), 14);
    // Saved again and read into another window, the network writes the same bytes; only the
    // first load renames the window, whose name was taken by the window it was read into.
    QVERIFY(SaveNetworkFile(path.toStdString(), *window));
    const QByteArray saved = Bytes(NetworkFileImage(*window));
    auto again = EmptyWindow();
    LoadNetworkFile(path.toStdString(), *again, ok);
    QVERIFY(ok);
    QApplication::processEvents(); // the window lays itself out once shown
    QCOMPARE(again->Name(), std::string("FormZentaroChild_1"));
    QCOMPARE(Bytes(NetworkFileImage(*again)), saved);
}

void TestNetworkFile::readingRules_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("ok");
    const QByteArray good = FileOf(WiredNetworkText());
    QByteArray flipped = good;
    flipped[8] = 0x02;
    QByteArray wrongLength;
    {
        TMemoryStream image(good.constData(), good.size());
        TMemoryStream stream = NetworkFileStream(image);
        // A length field that lies: the stream is what follows the header, whatever it says.
        QByteArray body = Bytes(stream).mid(qsizetype(stream.Position()));
        TMemoryStream again(body.constData(), body.size());
        wrongLength = Bytes(NetworkFileImage(again));
        QVERIFY(wrongLength.size() > 20);
    }
    const QString text = WiredNetworkText();
    QString named = text, unnamedTarget = text, foreignClass = text, badEvent = text;
    named.replace("InBComp = LogPort3", "InBComp = Nobody");
    badEvent.replace("OnDragDrop = LogicalPortDragDrop", "OnDragDrop = NoSuchHandler");
    foreignClass.replace("object LogPort3: TLogicalPort", "object LogPort3: TButton");
    QTest::newRow("whole file") << good << true;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("shorter than the magic") << good.left(9) << false;
    QTest::newRow("only the magic") << good.left(10) << false;
    QTest::newRow("version byte differs") << flipped << false;
    QTest::newRow("truncated body") << good.left(good.size() / 2) << false;
    QTest::newRow("reference to nobody loads unwired") << FileOf(named) << true;
    QTest::newRow("unknown handler") << FileOf(badEvent) << false;
    QTest::newRow("registered class of another window") << FileOf(foreignClass) << false;
    QTest::newRow("length field ignored") << wrongLength << true;
    // Stored frames of zeros after the network, which reading ignores, make a file of any size.
    auto paddedTo = [](QByteArray file, qsizetype size) {
        for (qsizetype left = size - file.size(); left > 0; left = size - file.size()) {
            qsizetype stored = std::min<qsizetype>(left - 3, 4096);
            if (left - 3 - stored > 0 && left - 3 - stored < 4) stored -= 4;
            file += char(stored + 1) + QByteArray(1, char((stored + 1) >> 8)) + char(0x80) +
                    QByteArray(stored, 0);
        }
        return file;
    };
    QTest::newRow("64 MiB, the largest file read") << paddedTo(good, 64 << 20) << true;
    QTest::newRow("a byte more") << paddedTo(good, (64 << 20) + 1) << false;
}

void TestNetworkFile::readingRules() {
    QFETCH(QByteArray, file);
    QFETCH(bool, ok);
    FormFixture::RegisterControlClasses(); // TButton is known, yet no part of a network
    const QString path = FDir.filePath("rule.ztr");
    Write(path, file);
    auto window = EmptyWindow();
    bool loaded = !ok;
    QCOMPARE(&LoadNetworkFile(path.toStdString(), *window, loaded), window.get());
    QCOMPARE(loaded, ok);
    if (file.isEmpty()) QCOMPARE(window->ComponentCount(), 0);
}

void TestNetworkFile::damagedFilesNeverCrash() {
    const QByteArray good = FileOf(WiredNetworkText());
    const QString path = FDir.filePath("damaged.ztr");
    auto tryLoad = [&](const QByteArray &bytes) {
        Write(path, bytes);
        auto window = EmptyWindow();
        bool ok = false;
        LoadNetworkFile(path.toStdString(), *window, ok);
        return ok;
    };
    int loaded = 0;
    for (qsizetype length = 0; length < good.size(); length += 13)
        loaded += tryLoad(good.left(length));
    QCOMPARE(loaded, 0);
    QRandomGenerator random(7);
    for (int i = 0; i < 150; ++i) {
        QByteArray bytes = good;
        const int flips = 1 + random.bounded(4);
        for (int f = 0; f < flips; ++f)
            bytes[random.bounded(int(bytes.size()))] ^= char(1 + random.bounded(255));
        tryLoad(bytes);
    }
}

void TestNetworkFile::corpus_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("good");
    QTest::addColumn<QString>("expected"); // broken files: part of the reason
    const QDir corpus(ZENTARO_CORPUS_DIR);
    for (const bool good : {true, false}) {
        const QString folder = good ? "good" : "broken";
        const QFileInfoList files =
            QDir(corpus.filePath(folder)).entryInfoList({"*.ZTR"}, QDir::Files, QDir::Name);
        // Every file has its expectations and every expectation its file.
        QCOMPARE(files.size(), qsizetype(good ? GoodFiles.size() : BrokenFiles.size()));
        for (const QFileInfo &file : files) {
            const QString name = file.completeBaseName();
            QVERIFY2(good ? GoodFiles.contains(name) : BrokenFiles.contains(name),
                     qPrintable(file.filePath()));
            QTest::newRow(qPrintable(folder + "/" + name))
                << file.filePath() << good << (good ? QString() : BrokenFiles.at(name));
        }
    }
}

void TestNetworkFile::corpus() {
    QFETCH(QString, path);
    QFETCH(bool, good);
    QFETCH(QString, expected);
    FormFixture::RegisterControlClasses(); // a TMemo is known, yet no part of a network
    if (!good) {
        auto window = EmptyWindow();
        QString reason = "loaded";
        try {
            ReadNetworkFile(path.toStdString(), *window);
        } catch (const std::exception &error) {
            reason = error.what();
        }
        QVERIFY2(reason.contains(expected), qPrintable(reason));
        // What was read before the failure still gets its events, then goes with the window.
        QApplication::processEvents();
        window.reset();
        QApplication::processEvents();
        return;
    }
    const TGoodFile &expect = GoodFiles.at(QFileInfo(path).completeBaseName());
    const QStringList wire = QString(expect.Wire).split(QRegularExpression("[.=]"));
    const QString copy = FDir.filePath("corpus.ztr");
    // Opened, saved, opened from the save: the file's network survives each round, and once
    // the first save has settled what loading changes, saving no longer changes a byte.
    QByteArray saves[3];
    for (int round = 0; round < 3; ++round) {
        auto window = Open(round == 0 ? path : copy);
        QVERIFY2(window, qPrintable(QString("round %1").arg(round)));
        QCOMPARE(QString::fromStdString(window->Name()), QString(expect.Name));
        int gates = 0;
        for (TComponent *component : window->Components())
            gates += dynamic_cast<TLogicalPort *>(component) != nullptr;
        QCOMPARE(gates, expect.Gates);
        if (wire.size() == 3) {
            auto *port = dynamic_cast<TLogicalPort *>(window->FindComponent(wire[0].toStdString()));
            QVERIFY(port);
            TLogicalPort *feeder = wire[1] == "InAComp" ? port->InAComp() : port->InBComp();
            QCOMPARE(feeder ? QString::fromStdString(feeder->Name()) : QString(), wire[2]);
        }
        QStringList kinds;
        for (const TMenuItem *item : window->PopupMenuPort->Items().Items())
            kinds << QString::fromStdString(item->Caption());
        QCOMPARE(kinds.join(' '),
                 QString("AND OR NOT XOR NAND NOR NXOR CLOCK PULSE LED FFD FFJK - Elimina"));
        QCOMPARE(window->NetworkActive(), expect.Active);
        QVERIFY(SaveNetworkFile(copy.toStdString(), *window));
        saves[round] = FileBytes(copy);
    }
    QCOMPARE(saves[2], saves[1]);
}

void TestNetworkFile::failedSaveKeepsTheOldFile() {
    const QString path = FDir.filePath("kept.ztr");
    Write(path, "previous");
    TFormZentaroChild window(nullptr);
    QVERIFY(!SaveNetworkFile(FDir.filePath("no/such/folder/x.ztr").toStdString(), window));
    QFile::setPermissions(FDir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool refused = !SaveNetworkFile(path.toStdString(), window);
    QFile::setPermissions(FDir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    // Root ignores folder permissions; then the save succeeds and replaces the file whole.
    if (refused)
        QCOMPARE(kept.readAll(), QByteArray("previous"));
    else
        QVERIFY(kept.readAll().startsWith("\x11QWCOMPV"));
}

void TestNetworkFile::windowAgreesWithTheHeadlessRun_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("JK toggle") << "jk_toggle";
    QTest::newRow("clock divider") << "clock_divider";
    QTest::newRow("NOT ring") << "not_ring";
}

void TestNetworkFile::windowAgreesWithTheHeadlessRun() {
    QFETCH(QString, file);
    auto window = EmptyWindow();
    ReadNetworkFile(QStringLiteral(ZENTARO_CORPUS_DIR "/good/%1.ZTR").arg(file).toStdString(),
                    *window);
    std::vector<TLogicalPort *> gates;
    for (TComponent *component : window->Components())
        if (auto *gate = dynamic_cast<TLogicalPort *>(component)) gates.push_back(gate);
    for (TLogicalPort *gate : gates)
        gate->ResetState();
    // The window's gates evaluate in the order the core serves them, and switches are pressed
    // in both at the same moments.
    TSimNetwork network = SimSnapshot(*window);
    TSimulator run(network);
    run.OnEvaluate = [&gates](int port) { gates[std::size_t(port)]->Evaluate(); };
    run.Activate();
    for (std::int64_t time = 0; time <= 3000; time += 250) {
        for (std::size_t port = 0; port < gates.size(); ++port)
            if (gates[port]->PortType() == TLogicalPortType::logPLS && time % 1000 == 0) {
                run.Toggle(int(port), time);
                QTest::mouseDClick(gates[port]->Widget(), Qt::LeftButton, {}, {5, 5});
            }
        run.RunUntil(time + 249);
    }
    QVERIFY(run.Evaluations() > 100);
    for (std::size_t port = 0; port < gates.size(); ++port) {
        const TPortLevels &core = network.Ports[port].Levels;
        const TPortLevels shown{gates[port]->InAPort(), gates[port]->InBPort(),
                                gates[port]->Output(), gates[port]->JKMemory(),
                                gates[port]->JKLatch()};
        QCOMPARE(shown, core);
    }
}

QTEST_MAIN(TestNetworkFile)
#include "tst_networkfile.moc"
