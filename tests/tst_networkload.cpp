// Reading a network file without a window against reading it into one: the same ports, or both
// refusing.

#include "Sanitizers.h"
#include "Util.h"
#include "app/Main.h"
#include "classlib/ExtCtrls.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"
#include "gates/LogicCmp.h"
#include "sim/NetworkLoad.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"
#include "stream/Values.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {

// What the window's load gives, or nothing when it refuses.
std::optional<TSimNetwork> FullLoad(TFormZentaroMain &main, const std::string &path) {
    try {
        TFormZentaroChild *window = main.LoadNetworkWindow(path);
        TSimNetwork network = SimSnapshot(*window);
        TComponent::Free(window);
        return network;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

std::optional<TSimNetwork> HeadlessLoad(const std::string &path) {
    const auto taken = [](std::string_view name) {
        return SameText(name, "FormZentaroMain") || SameText(name, "FormZentaroChild");
    };
    try {
        return LoadSimNetworkFile(path, NetworkWindowSchema(taken));
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

// Field by field, naming the first difference.
QString Difference(const std::optional<TSimNetwork> &full, const std::optional<TSimNetwork> &own) {
    if (!full || !own)
        return full || own ? QString("only the %1 load refuses").arg(full ? "headless" : "full")
                           : QString();
    if (full->Name != own->Name)
        return QString("name %1 against %2").arg(full->Name.c_str(), own->Name.c_str());
    if (full->Ports.size() != own->Ports.size())
        return QString("%1 ports against %2").arg(full->Ports.size()).arg(own->Ports.size());
    for (std::size_t i = 0; i < full->Ports.size(); ++i) {
        const TSimPort &a = full->Ports[i], &b = own->Ports[i];
        if (full->Names[i] != own->Names[i] || a.Kind != b.Kind || a.Delay != b.Delay ||
            a.InA != b.InA || a.InB != b.InB || !(a.Levels == b.Levels))
            return QString("port %1 (%2): kind %3/%4 delay %5/%6 A %7/%8 B %9/%10")
                .arg(i)
                .arg(full->Names[i].c_str())
                .arg(int(a.Kind))
                .arg(int(b.Kind))
                .arg(a.Delay)
                .arg(b.Delay)
                .arg(a.InA)
                .arg(b.InA)
                .arg(a.InB)
                .arg(b.InB);
    }
    return {};
}

// A network of random kinds, delays, names and wires, saved by the window's own writer; the
// gate the window starts with stays in some.
TMemoryStream RandomNetwork(QRandomGenerator &random) {
    TFormZentaroChild window(nullptr);
    if (random.bounded(3) != 0) TComponent::Free(window.PanelDefComp);
    const int count = random.bounded(1, 40);
    std::vector<TLogicalPort *> ports;
    for (int i = 0; i < count; ++i) {
        auto *port = new TLogicalPort(&window);
        port->SetParent(window.ScrollBoxCli);
        port->SetName((random.bounded(2) ? "LogPort" : "g") + std::to_string(i + 1));
        port->SetBounds(random.bounded(2000), random.bounded(2000), 50, 40);
        port->SetPortType(TLogicalPortType(random.bounded(LogicalPortTypeCount)));
        const int delays[] = {100, 1, 0, -5, 10, 65535, 2147483647, int(random.bounded(1000))};
        port->SetUpdateDelay(delays[random.bounded(8)]);
        ports.push_back(port);
    }
    for (TLogicalPort *port : ports) {
        if (random.bounded(4) != 0) port->SetInAComp(ports[random.bounded(count)]);
        if (random.bounded(3) == 0) port->SetInBComp(ports[random.bounded(count)]);
    }
    return NetworkFileImage(window);
}

// The image with a few bytes of its component stream changed, packed again.
TMemoryStream Damaged(TMemoryStream &image, QRandomGenerator &random) {
    TMemoryStream stream = NetworkFileStream(image);
    std::vector<std::uint8_t> bytes(stream.Memory() + stream.Position(),
                                    stream.Memory() + stream.Size());
    for (int i = random.bounded(1, 4); i > 0; --i)
        bytes[random.bounded(int(bytes.size()))] = std::uint8_t(random.bounded(256));
    TMemoryStream changed(bytes.data(), std::int64_t(bytes.size()));
    return NetworkFileImage(changed);
}

} // namespace

class TestNetworkLoad : public QObject {
    Q_OBJECT

private slots:
    void agreement_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("loads");
        for (const char *folder : {"good", "broken"}) {
            const QDir dir(QString(ZENTARO_CORPUS_DIR) + "/" + folder);
            for (const QString &name : dir.entryList({"*.ZTR", "*.ztr"}, QDir::Files))
                QTest::newRow(qPrintable(QString(folder) + "/" + name))
                    << dir.filePath(name) << (QString(folder) == "good");
        }
    }
    void agreement() {
        QFETCH(QString, path);
        QFETCH(bool, loads);
        TFormZentaroMain main(nullptr);
        const std::optional<TSimNetwork> full = FullLoad(main, path.toStdString());
        QCOMPARE(full.has_value(), loads);
        QCOMPARE(Difference(full, HeadlessLoad(path.toStdString())), QString());
    }

    // Edits of a saved network's text form that reach the rules random bytes rarely meet.
    void edits_data() {
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replace");
        QTest::addColumn<bool>("loads");
        const QString drop = "      OnDragDrop = LogicalPortDragDrop\n    end\n    object LogPort2";
        QTest::newRow("handler of another signature") << "OnClick = BtnActiveClick"
                                                      << "OnClick = LogicalPortDragOver" << false;
        QTest::newRow("handler of the same signature") << "OnClick = BtnActiveClick"
                                                       << "OnClick = PaintBoxNetPaint" << true;
        QTest::newRow("picture not a bitmap") << "F6000000424D"
                                              << "F6000000434D" << false;
        QTest::newRow("picture length wrong") << "F6000000424D"
                                              << "F5000000424D" << false;
        QTest::newRow("last name wins over nil")
            << "InAComp = LogPort1"
            << "InAComp = LogPort2\n      InAComp = nil\n      InAComp = LogPort4" << true;
        QTest::newRow("name read before nil still wins")
            << "InAComp = LogPort1"
            << "InAComp = LogPort2\n      InAComp = nil" << true;
        QTest::newRow("reference to a panel") << "InAComp = LogPort1"
                                              << "InAComp = PanelTop" << true;
        QTest::newRow("reference in other case") << "InAComp = LogPort1"
                                                 << "InAComp = LOGPORT2" << true;
        QTest::newRow("reference as special ident") << "InAComp = LogPort1"
                                                    << "InAComp = True" << true;
        QTest::newRow("inherited record read again")
            << "    object LogPort2: TLogicalPort"
            << "    inherited logport1: TLogicalPort\n      UpdateDelay = 7\n      PortType = "
               "logNOR\n"
               "    end\n    object LogPort2: TLogicalPort"
            << true;
        QTest::newRow("inherited record of nobody")
            << "    object LogPort2: TLogicalPort"
            << "    inherited Nobody: TLogicalPort\n    end\n"
               "    object LogPort2: TLogicalPort"
            << false;
        QTest::newRow("root name in use") << "object FormZentaroChild:"
                                          << "object formzentaromain:" << true;
        QTest::newRow("gate inside a gate")
            << drop
            << "      OnDragDrop = LogicalPortDragDrop\n      object Inner: TLogicalPort\n"
               "        PortType = logOR\n        UpdateDelay = 3\n      end\n    end\n    object "
               "LogPort2"
            << true;
        QTest::newRow("part name of another class") << "object LogPort2: TLogicalPort"
                                                    << "object PanelDefComp: TLogicalPort" << false;
        QTest::newRow("class of no part") << "object LogPort2: TLogicalPort"
                                          << "object LogPort2: TMemo" << false;
        QTest::newRow("sub-object property") << "Font.Color = clWhite"
                                             << "Font.Color = clRed" << true;
        QTest::newRow("unknown sub-object property") << "Font.Color = clWhite"
                                                     << "Font.Colour = clRed" << false;
        QTest::newRow("picture on a gate") << "Font.Color = clWhite"
                                           << "Glyph.Data = {00}" << false;
        QTest::newRow("unknown colour") << "Color = clBlack"
                                        << "Color = clNoColour" << false;
        QTest::newRow("delay as a name") << "UpdateDelay = 10"
                                         << "UpdateDelay = clRed" << false;
        QTest::newRow("lowest delay") << "UpdateDelay = 10"
                                      << "UpdateDelay = -2147483648" << true;
        QTest::newRow("kind in other case") << "UpdateDelay = 10"
                                            << "PortType = LOGnand" << true;
        QTest::newRow("boolean not one") << "Border = True"
                                         << "Border = Maybe" << false;
        QTest::newRow("read-only or unknown") << "Border = True"
                                              << "Loaded = True" << false;
    }
    void edits() {
        QFETCH(QString, find);
        QFETCH(QString, replace);
        QFETCH(bool, loads);
        TMemoryStream image;
        image.LoadFromFile(ZENTARO_CORPUS_DIR "/good/half_adder.ZTR", 1 << 20);
        TMemoryStream stream = NetworkFileStream(image);
        QString text = QString::fromStdString(ObjectBinaryToText(stream));
        QVERIFY(text.contains(find));
        text.replace(text.indexOf(find), find.size(), replace);
        TMemoryStream edited;
        ObjectTextToBinary(text.toStdString(), edited);
        edited.Seek(0);
        QTemporaryDir dir;
        const std::string path = dir.filePath("edited.ZTR").toStdString();
        NetworkFileImage(edited).SaveToFile(path);
        TFormZentaroMain main(nullptr);
        const std::optional<TSimNetwork> full = FullLoad(main, path);
        QCOMPARE(full.has_value(), loads);
        QCOMPARE(Difference(full, HeadlessLoad(path)), QString());
    }

    // Random networks as the window writes them, and the same with bytes changed, which some
    // loads refuse and some read differently.
    void randomNetworks() {
        QRandomGenerator random(20261208);
        QTemporaryDir dir;
        TFormZentaroMain main(nullptr);
        int refused = 0;
#ifdef ZENTARO_SANITIZED
        // Each full load starts a thread per gate: the sanitizers' runtimes run out of room for
        // threads long before 300 networks.
        constexpr int networks = 60;
#else
        constexpr int networks = 300;
#endif
        for (int i = 0; i < networks; ++i) {
            TMemoryStream image = RandomNetwork(random);
            for (int damaged = 0; damaged < 2; ++damaged) {
                const std::string path = dir.filePath(QString("n%1.ZTR").arg(i)).toStdString();
                if (damaged) {
                    TMemoryStream changed = Damaged(image, random);
                    changed.SaveToFile(path);
                } else {
                    image.SaveToFile(path);
                }
                const std::optional<TSimNetwork> full = FullLoad(main, path);
                if (!damaged) QVERIFY(full);
                refused += !full;
                const QString difference = Difference(full, HeadlessLoad(path));
                if (!difference.isEmpty())
                    QFAIL(qPrintable(QString("network %1%2: %3")
                                         .arg(i)
                                         .arg(damaged ? " damaged" : "")
                                         .arg(difference)));
            }
        }
        // Both outcomes of the damaged files are seen.
        QVERIFY(refused > networks / 10 && refused < networks * 9 / 10);
    }
};

QTEST_MAIN(TestNetworkLoad)
#include "tst_networkload.moc"
