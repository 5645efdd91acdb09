#include "support/TestComponents.h"

#include "stream/ClassRegistry.h"
#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/TextForm.h"
#include "stream/Values.h"
#include "stream/Writer.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>

namespace {

// Expected bytes, spelled out independently of the value writer.
QByteArray S(const QByteArray &text) {
    return char(text.size()) + text;
}
QByteArray I8(int v) {
    return QByteArray(1, 2) + char(v);
}
QByteArray I16(int v) {
    return QByteArray(1, 3) + char(v & 0xFF) + char(v >> 8 & 0xFF);
}
QByteArray Str(const QByteArray &text) {
    return QByteArray(1, 6) + S(text);
}
QByteArray Id(const QByteArray &text) {
    return QByteArray(1, 7) + S(text);
}
QByteArray SetOf(const QList<QByteArray> &names) {
    QByteArray bytes(1, 11);
    for (const QByteArray &name : names)
        bytes += S(name);
    return bytes + '\0';
}
const QByteArray False(1, 8), True(1, 9), Nil(1, 13);
QByteArray P(const QByteArray &name, const QByteArray &value) {
    return S(name) + value;
}
QByteArray Record(const QByteArray &cls, const QByteArray &name, const QByteArray &properties,
                  const QByteArray &children = {}) {
    return S(cls) + S(name) + properties + '\0' + children + '\0';
}
QByteArray Stream(const QByteArray &root) {
    return "TPF0" + root;
}

QByteArray Write(TComponent &root) {
    TMemoryStream stream;
    TWriter(stream).WriteRootComponent(root);
    return QByteArray(reinterpret_cast<const char *>(stream.Memory()), int(stream.Size()));
}

void Read(const QByteArray &bytes, TComponent &root,
          std::function<bool(std::string_view)> taken = {}) {
    TMemoryStream stream(bytes.constData(), bytes.size());
    TReader(stream, std::move(taken)).ReadRootComponent(root);
}

// The text form of a stream, packed back to binary.
QByteArray ThroughText(const QByteArray &bytes) {
    TMemoryStream binary(bytes.constData(), bytes.size());
    const std::string text = ObjectBinaryToText(binary);
    TMemoryStream packed;
    ObjectTextToBinary(text, packed);
    return QByteArray(reinterpret_cast<const char *>(packed.Memory()), int(packed.Size()));
}

QStringList Names(const TComponent &owner) {
    QStringList names;
    for (const TComponent *component : owner.Components())
        names << QString::fromStdString(component->Name());
    return names;
}

// A small window-like tree touching every kind of property and every child rule.
void BuildSample(TTestRoot &root) {
    root.SetName("Root");
    root.Caption = "Net";
    root.SetLeft(5);
    root.BorderIcons = 1 << biSystemMenu | 1 << biMinimize;
    root.OnClose = TEvent<TComponent *>("FormClose", [](TComponent *) {});
    root.OnKey = TEvent<TComponent *, int &>([](TComponent *, int &) {}); // unnamed: not stored
    root.Font.Charset = 0;

    auto *panel = new TTestPanel(&root);
    panel->SetName("PanelTop");
    panel->SetTag(-1);
    panel->Align = TTestAlign::alTop;
    panel->SetParentComponent(&root);
    auto *g2 = new TTestGate(&root);
    g2->SetName("G2");
    g2->SetParentComponent(panel);
    auto *g1 = new TTestGate(&root);
    g1->SetName("G1");
    g1->SetParentComponent(&root);
    g1->SetLeft(300);
    g1->Kind = TTestKind::gkOR;
    g1->Active = true;
    g1->Source = g2;
    g1->OnChange = TEvent<TComponent *>("GateChange", [](TComponent *) {});
    g1->Data = std::string("\x01\x02", 2);

    auto *designer = new TTestDesigner(&root);
    designer->SetName("Designer");
    designer->DesignLeft = 456;
    auto *menu = new TTestMenu(&root);
    menu->SetName("Menu");
    auto *item = new TTestMenuItem(&root);
    item->SetName("MenuItemFirst");
    item->Caption = "AND";
    item->OnClick = TEvent<TComponent *>("NotAMethod", [](TComponent *) {});
    item->SetParentComponent(menu);
    // Unnamed components never clash: a menu's separators all go without names.
    for (int i = 0; i < 2; ++i) {
        auto *separator = new TTestMenuItem(&root);
        separator->Caption = "-";
        separator->SetParentComponent(menu);
    }
}

QByteArray SampleStream() {
    const QByteArray font = P("Font.Charset", Id("ANSI_CHARSET")) + P("Font.Color", Id("clBlack")) +
                            P("Font.Height", I8(-11)) + P("Font.Name", Str("Arial")) +
                            P("Font.Style", SetOf({}));
    const QByteArray g2 =
        Record("TTestGate", "G2",
               P("Left", I8(0)) + P("Top", I8(0)) + P("Kind", Id("gkAND")) + P("Active", False) +
                   P("Delay", I8(100)) + P("Font.Charset", Id("DEFAULT_CHARSET")) +
                   P("Font.Color", Id("clBlack")) + P("Font.Height", I8(-11)) +
                   P("Font.Name", Str("Arial")) + P("Font.Style", SetOf({})));
    const QByteArray panel =
        Record("TTestPanel", "PanelTop",
               P("Tag", I8(-1)) + P("Left", I8(0)) + P("Top", I8(0)) + P("Align", Id("alTop")), g2);
    const QByteArray g1 =
        Record("TTestGate", "G1",
               P("Left", I16(300)) + P("Top", I8(0)) + P("Kind", Id("gkOR")) + P("Active", True) +
                   P("Source", Id("G2")) + P("Delay", I8(100)) + P("OnChange", Id("GateChange")) +
                   P("Font.Charset", Id("DEFAULT_CHARSET")) + P("Font.Color", Id("clBlack")) +
                   P("Font.Height", I8(-11)) + P("Font.Name", Str("Arial")) +
                   P("Font.Style", SetOf({})) + P("Data", QByteArray::fromHex("0a020000000102")));
    const QByteArray designer =
        Record("TTestDesigner", "Designer",
               P("GridSize", I8(4)) + P("ChangeEnabled", False) + P("Left", I16(456)));
    const QByteArray menu =
        Record("TTestMenu", "Menu", {},
               Record("TTestMenuItem", "MenuItemFirst", P("Caption", Str("AND"))) +
                   Record("TTestMenuItem", "", P("Caption", Str("-"))) +
                   Record("TTestMenuItem", "", P("Caption", Str("-"))));
    const QByteArray root =
        Record("TTestRoot", "Root",
               P("Left", I8(5)) + P("Top", I8(0)) +
                   P("BorderIcons", SetOf({"biSystemMenu", "biMinimize"})) +
                   P("Caption", Str("Net")) + font + P("OnClose", Id("FormClose")) +
                   P("PixelsPerInch", I8(96)) + P("TextHeight", I8(14)),
               panel + g1 + designer + menu);
    return Stream(root);
}

// A random tree of panels and gates with random values; references may point forward.
void BuildRandom(TTestRoot &root, QRandomGenerator &random) {
    root.SetName("R" + std::to_string(random.bounded(1000)));
    root.Caption = std::string(random.bounded(400), 'c');
    root.BorderIcons = random.bounded(16);
    root.Visible = random.bounded(2);
    std::vector<TTestControl *> containers = {&root};
    std::vector<TTestGate *> gates;
    const int count = int(random.bounded(1, 40));
    for (int i = 0; i < count; ++i) {
        TTestControl *parent = containers[random.bounded(int(containers.size()))];
        if (random.bounded(4) == 0) {
            auto *panel = new TTestPanel(&root);
            panel->SetName("P" + std::to_string(i));
            panel->SetParentComponent(parent);
            panel->Align = TTestAlign(random.bounded(4));
            panel->Caption = std::string(random.bounded(300), char('a' + random.bounded(26)));
            containers.push_back(panel);
            continue;
        }
        auto *gate = new TTestGate(&root);
        gate->SetName(random.bounded(8) == 0 ? "Long" + std::to_string(i) + std::string(300, 'x')
                                             : "G" + std::to_string(i));
        gate->SetParentComponent(parent);
        const int magnitudes[] = {1, 200, 40000, 3000000};
        gate->SetLeft(int(random.bounded(-magnitudes[i % 4], magnitudes[i % 4])));
        gate->SetTag(int(random.bounded(3)) - 1);
        gate->Kind = TTestKind(random.bounded(3));
        gate->Active = random.bounded(2);
        gate->Delay = int(random.bounded(100000));
        gate->Hint = random.bounded(2) ? "short|long" : "";
        gate->Font.Style = random.bounded(16);
        gate->Font.Color = random.bounded(2) ? 0xFFFFFF : int(random.bounded(0x1000000));
        if (random.bounded(2)) gate->OnChange = TEvent<TComponent *>("GateChange", {});
        for (int b = int(random.bounded(5)); b > 0; --b)
            gate->Data += char(random.bounded(256));
        gates.push_back(gate);
    }
    for (TTestGate *gate : gates)
        if (random.bounded(2)) gate->Source = gates[random.bounded(int(gates.size()))];
}

} // namespace

class TestComponentStream : public QObject {
    Q_OBJECT

private slots:
    void init() { TTestControl::LoadedLog.clear(); }
    void valueEncoding_data();
    void valueEncoding();
    void writerOutput();
    void readsBackWhatWasWritten();
    void randomTreesRoundTrip();
    void readFailures_data();
    void readFailures();
    void truncatedStreamsFail();
    void referencesResolveAfterTheStream();
    void eventsBindToRootMethods();
    void rootNameMadeUnique();
    void loadedNotificationOrder();
    void prefixFlags();
    void namedPartsFollowTheirComponents();
    void removalNoticeDropsReferences();
    void registeredClassesCanBeRead();
};

void TestComponentStream::valueEncoding_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QByteArray>("bytes");

    enum { Integer, String, Ident };
    QTest::newRow("127 int8") << int(Integer) << QString() << qint64(127)
                              << QByteArray::fromHex("027f");
    QTest::newRow("-128 int8") << int(Integer) << QString() << qint64(-128)
                               << QByteArray::fromHex("0280");
    QTest::newRow("128 int16") << int(Integer) << QString() << qint64(128)
                               << QByteArray::fromHex("038000");
    QTest::newRow("-129 int16") << int(Integer) << QString() << qint64(-129)
                                << QByteArray::fromHex("037fff");
    QTest::newRow("32767 int16") << int(Integer) << QString() << qint64(32767)
                                 << QByteArray::fromHex("03ff7f");
    QTest::newRow("32768 int32") << int(Integer) << QString() << qint64(32768)
                                 << QByteArray::fromHex("0400800000");
    QTest::newRow("-32768 int16") << int(Integer) << QString() << qint64(-32768)
                                  << QByteArray::fromHex("030080");
    QTest::newRow("-32769 int32") << int(Integer) << QString() << qint64(-32769)
                                  << QByteArray::fromHex("04ff7fffff");
    QTest::newRow("2^31 int64") << int(Integer) << QString() << (qint64(1) << 31)
                                << QByteArray::fromHex("130000008000000000");
    QTest::newRow("255 bytes short") << int(String) << QString(255, 'a') << qint64(0)
                                     << QByteArray::fromHex("06ff") + QByteArray(255, 'a');
    QTest::newRow("256 bytes long") << int(String) << QString(256, 'a') << qint64(0)
                                    << QByteArray::fromHex("0c00010000") + QByteArray(256, 'a');
    QTest::newRow("empty string") << int(String) << QString() << qint64(0)
                                  << QByteArray::fromHex("0600");
    QTest::newRow("False") << int(Ident) << "false" << qint64(0) << QByteArray::fromHex("08");
    QTest::newRow("True") << int(Ident) << "TRUE" << qint64(0) << QByteArray::fromHex("09");
    QTest::newRow("Null") << int(Ident) << "null" << qint64(0) << QByteArray::fromHex("00");
    QTest::newRow("nil") << int(Ident) << "NIL" << qint64(0) << QByteArray::fromHex("0d");
    QTest::newRow("other") << int(Ident) << "alTop" << qint64(0)
                           << QByteArray::fromHex("0705") + "alTop";
}

void TestComponentStream::valueEncoding() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(qint64, number);
    QFETCH(QByteArray, bytes);

    TMemoryStream stream;
    TValueWriter writer(stream);
    const std::string s = text.toStdString();
    if (kind == 0) writer.WriteInteger(number);
    if (kind == 1) writer.WriteString(s);
    if (kind == 2) writer.WriteIdent(s);
    QCOMPARE(
        QByteArray(reinterpret_cast<const char *>(stream.Memory()), int(stream.Size())).toHex(' '),
        bytes.toHex(' '));

    stream.Seek(0);
    TValueReader reader(stream);
    const TValueType type = reader.ReadValueType();
    if (kind == 0) QCOMPARE(reader.ReadIntegerPayload(type), number);
    if (kind == 1) QCOMPARE(reader.ReadStringPayload(type), s);
    QVERIFY(reader.AtEnd() || kind == 2);
}

void TestComponentStream::writerOutput() {
    TTestRoot root;
    BuildSample(root);
    QCOMPARE(Write(root).toHex(' '), SampleStream().toHex(' '));
    QCOMPARE(ThroughText(SampleStream()).toHex(' '), SampleStream().toHex(' '));
}

void TestComponentStream::readsBackWhatWasWritten() {
    TTestRoot root;
    Read(SampleStream(), root);
    QCOMPARE(Names(root),
             QStringList({"PanelTop", "G2", "G1", "Designer", "Menu", "MenuItemFirst", "", ""}));
    QCOMPARE(root.Caption, "Net");
    QCOMPARE(root.BorderIcons, 1 << biSystemMenu | 1 << biMinimize);
    QCOMPARE(root.Font.Charset, 0);
    QCOMPARE(root.OnClose.Name(), "FormClose");
    QCOMPARE(root.Gate1, nullptr); // no record of that name
    QVERIFY(root.PanelTop && root.Designer && root.Menu && root.MenuItemFirst);
    QCOMPARE(root.Designer->DesignLeft, 456);
    QCOMPARE(root.Menu->Items.size(), size_t(3));
    QVERIFY(root.Menu->Items[1] != root.Menu->Items[2]);
    QCOMPARE(root.MenuItemFirst->OnClick.Name(), ""); // its handler was no root method
    auto *g1 = dynamic_cast<TTestGate *>(root.FindComponent("G1"));
    QVERIFY(g1);
    QCOMPARE(g1->Source, root.FindComponent("G2"));
    QCOMPARE(g1->Data, std::string("\x01\x02", 2));
    QCOMPARE(root.PanelTop->Children.size(), size_t(1));
    QCOMPARE(Write(root).toHex(' '), SampleStream().toHex(' '));
}

void TestComponentStream::randomTreesRoundTrip() {
    QRandomGenerator random(1207);
    for (int i = 0; i < 60; ++i) {
        TTestRoot original;
        BuildRandom(original, random);
        const QByteArray first = Write(original);
        TTestRoot copy;
        Read(first, copy, [](std::string_view) { return false; });
        QCOMPARE(Write(copy).toHex(), first.toHex());
        QCOMPARE(ThroughText(first).toHex(), first.toHex());
    }
}

void TestComponentStream::readFailures_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("survivors");

    const QByteArray ok = Record("TTestGate", "Ok", {});
    auto gate = [&](const QByteArray &properties) {
        return Stream(Record("TTestRoot", "R", {}, ok + Record("TTestGate", "Bad", properties)));
    };
    const QStringList justOk{"Ok"};
    QTest::newRow("signature") << "TPF1" + Record("TTestRoot", "R", {}) << QStringList();
    QTest::newRow("unknown class")
        << Stream(Record("TTestRoot", "R", {}, ok + Record("TNoSuch", "X", {}))) << justOk;
    QTest::newRow("class the root does not declare")
        << Stream(Record("TTestRoot", "R", {}, ok + Record("TTestStranger", "X", {}))) << justOk;
    QTest::newRow("duplicate name")
        << Stream(Record("TTestRoot", "R", {}, ok + Record("TTestGate", "ok", {}))) << justOk;
    QTest::newRow("unknown property") << gate(P("Colour", I8(1))) << justOk;
    QTest::newRow("read-only property")
        << Stream(Record("TTestRoot", "R", P("Title", Str("x")))) << QStringList();
    QTest::newRow("dotted name through a non-object") << gate(P("Delay.X", I8(1))) << justOk;
    QTest::newRow("sub-object without a dot") << gate(P("Font", I8(1))) << justOk;
    QTest::newRow("unknown sub-property") << gate(P("Font.Size", I8(1))) << justOk;
    QTest::newRow("string for an integer") << gate(P("Delay", Str("1"))) << justOk;
    QTest::newRow("int64 for an integer")
        << gate(P("Delay", QByteArray::fromHex("130100000000000000"))) << justOk;
    QTest::newRow("integer for a Boolean") << gate(P("Active", I8(1))) << justOk;
    QTest::newRow("unknown enumeration name") << gate(P("Kind", Id("gkXOR"))) << justOk;
    QTest::newRow("unknown set element")
        << gate(P("Font.Style", SetOf({"fsBold", "fsBlink"}))) << justOk;
    QTest::newRow("identifier for a plain integer") << gate(P("Delay", Id("clBlack"))) << justOk;
    QTest::newRow("unknown symbol") << gate(P("Font.Color", Id("clPink"))) << justOk;
    QTest::newRow("long string for bytes") << gate(P("Data", Str("x"))) << justOk;
    QTest::newRow("unknown handler") << gate(P("OnChange", Id("NoSuchMethod"))) << justOk;
    QTest::newRow("handler of another signature") << gate(P("OnChange", Id("KeyPress"))) << justOk;
    QTest::newRow("integer for a reference") << gate(P("Source", I8(5))) << justOk;
    QTest::newRow("invalid tag") << gate(S("Delay") + char(20)) << justOk;
    QTest::newRow("failure in a child destroys the parent")
        << Stream(Record("TTestRoot", "R", {},
                         ok + Record("TTestPanel", "P", {},
                                     Record("TTestGate", "C1", {}) +
                                         Record("TTestGate", "C2", P("Kind", Id("x"))))))
        << QStringList{"Ok", "C1"};
    QTest::newRow("named part of the wrong class")
        << Stream(Record("TTestRoot", "R", {}, ok + Record("TTestGate", "PanelTop", {})))
        << QStringList{"Ok", "PanelTop"};
    QByteArray nested = Record("TTestPanel", "P64", {});
    for (int depth = 63; depth >= 0; --depth)
        nested = Record("TTestPanel", "P" + QByteArray::number(depth), {}, nested);
    QTest::newRow("components nested too deeply")
        << Stream(Record("TTestRoot", "R", {}, nested)) << QStringList();
    QTest::newRow("child position that is no integer")
        << Stream(
               Record("TTestRoot", "R", {}, ok + "\xf2" + Str("x") + Record("TTestGate", "G", {})))
        << justOk;
    QTest::newRow("inherited component that does not exist")
        << Stream(Record("TTestRoot", "R", {}, ok + "\xf1" + Record("TTestGate", "Missing", {})))
        << justOk;
}

void TestComponentStream::readFailures() {
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, survivors);
    TTestRoot root;
    QVERIFY_THROWS_EXCEPTION(EReadError, Read(stream, root));
    QCOMPARE(Names(root), survivors);
    QVERIFY(!root.Loading());
    for (const TComponent *component : root.Components())
        QVERIFY(!component->Loading());
    QVERIFY(TTestControl::LoadedLog.empty());
}

void TestComponentStream::truncatedStreamsFail() {
    const QByteArray full = SampleStream();
    for (int length = 0; length < full.size(); ++length) {
        TTestRoot root;
        QVERIFY_THROWS_EXCEPTION(EReadError, Read(full.left(length), root));
    }
}

void TestComponentStream::referencesResolveAfterTheStream() {
    TTestRoot root;
    Read(Stream(Record("TTestRoot", "R", {},
                       Record("TTestGate", "A", P("Source", Id("B"))) +
                           Record("TTestGate", "B", P("Source", Id("Nobody"))) +
                           Record("TTestGate", "C", P("Source", Nil)))),
         root);
    auto *a = dynamic_cast<TTestGate *>(root.FindComponent("A"));
    auto *b = dynamic_cast<TTestGate *>(root.FindComponent("B"));
    QVERIFY(a && b);
    QCOMPARE(a->Source, b);
    QCOMPARE(b->Source, nullptr);
}

void TestComponentStream::eventsBindToRootMethods() {
    TTestRoot root;
    root.OnClose = TEvent<TComponent *>("FormClose", [](TComponent *) {});
    Read(Stream(Record("TTestRoot", "R", P("OnClose", Nil) + P("OnKey", Id("keypress")),
                       Record("TTestGate", "G", P("OnChange", Id("GateChange"))))),
         root);
    QVERIFY(!root.OnClose);
    int key = 13;
    root.OnKey(&root, key);
    QCOMPARE(key, 0);
    auto *gate = dynamic_cast<TTestGate *>(root.FindComponent("G"));
    gate->OnChange(gate);
    QCOMPARE(root.Calls, std::vector<std::string>({"KeyPress R 13", "GateChange G"}));
    QCOMPARE(root.OnKey.Name(), "KeyPress");
}

void TestComponentStream::rootNameMadeUnique() {
    const QByteArray stream = Stream(Record("TTestRoot", "Form", {}));
    TTestRoot alone;
    alone.SetName("Other");
    Read(stream, alone);
    QCOMPARE(alone.Name(), "Form");

    // The window being loaded counts as open.
    TTestRoot same;
    same.SetName("Form");
    Read(stream, same);
    QCOMPARE(same.Name(), "Form_1");

    TTestRoot third;
    Read(stream, third, [](std::string_view name) { return name == "Form" || name == "Form_1"; });
    QCOMPARE(third.Name(), "Form_2");
}

void TestComponentStream::loadedNotificationOrder() {
    TTestRoot root;
    Read(Stream(Record("TTestRoot", "R", {},
                       Record("TTestPanel", "P", {},
                              Record("TTestGate", "A", {}) + Record("TTestGate", "B", {})) +
                           Record("TTestGate", "C", {}))),
         root);
    QCOMPARE(TTestControl::LoadedLog, std::vector<std::string>({"R", "A", "B", "P", "C"}));
    QVERIFY(!root.Loading());
}

void TestComponentStream::prefixFlags() {
    TTestRoot root;
    auto *existing = new TTestGate(&root);
    existing->SetName("Kept");
    Read(Stream(Record("TTestRoot", "R", {},
                       "\xf1" + Record("TTestGate", "Kept", P("Delay", I8(5))) +
                           Record("TTestGate", "A", {}) + Record("TTestGate", "B", {}) + "\xf2" +
                           I8(0) + Record("TTestGate", "C", {}) + "\xf4" +
                           Record("TTestGate", "D", {}))),
         root);
    QCOMPARE(existing->Delay, 5);
    QCOMPARE(Names(root), QStringList({"Kept", "A", "B", "C", "D"}));
    QStringList order;
    for (TTestControl *child : root.Children)
        order << QString::fromStdString(child->Name());
    QCOMPARE(order, QStringList({"C", "A", "B", "D"}));
}

void TestComponentStream::namedPartsFollowTheirComponents() {
    TTestRoot root;
    Read(Stream(Record("TTestRoot", "R", {},
                       Record("TTestPanel", "PanelTop", {}) + Record("TTestGate", "Gate1", {}))),
         root);
    QVERIFY(root.PanelTop && root.Gate1);
    delete root.Gate1;
    QCOMPARE(root.Gate1, nullptr);
    root.DestroyComponents();
    QCOMPARE(root.PanelTop, nullptr);
    QCOMPARE(root.ComponentCount(), 0);
}

void TestComponentStream::removalNoticeDropsReferences() {
    TTestRoot root;
    Read(Stream(Record("TTestRoot", "R", {},
                       Record("TTestGate", "A", P("Source", Id("B"))) +
                           Record("TTestGate", "B", P("Source", Id("B"))))),
         root);
    auto *a = dynamic_cast<TTestGate *>(root.FindComponent("A"));
    delete root.FindComponent("B");
    QCOMPARE(a->Source, nullptr);
    QCOMPARE(Write(root),
             Stream(Record("TTestRoot", "R",
                           P("Left", I8(0)) + P("Top", I8(0)) +
                               P("Font.Charset", Id("DEFAULT_CHARSET")) +
                               P("Font.Color", Id("clBlack")) + P("Font.Height", I8(-11)) +
                               P("Font.Name", Str("Arial")) + P("Font.Style", SetOf({})) +
                               P("PixelsPerInch", I8(96)) + P("TextHeight", I8(14)),
                           Record("TTestGate", "A",
                                  P("Left", I8(0)) + P("Top", I8(0)) + P("Kind", Id("gkAND")) +
                                      P("Active", False) + P("Delay", I8(100)) +
                                      P("Font.Charset", Id("DEFAULT_CHARSET")) +
                                      P("Font.Color", Id("clBlack")) + P("Font.Height", I8(-11)) +
                                      P("Font.Name", Str("Arial")) + P("Font.Style", SetOf({}))))));
}

// Runs last: registration is program-wide.
void TestComponentStream::registeredClassesCanBeRead() {
    const QByteArray stream =
        Stream(Record("TTestRoot", "R", {}, Record("TTestStranger", "S", P("Tag", I8(7)))));
    TTestRoot refused;
    QVERIFY_THROWS_EXCEPTION(EReadError, Read(stream, refused));
    RegisterClass(TTestStranger::StaticClassInfo());
    TTestRoot accepted;
    Read(stream, accepted);
    QCOMPARE(accepted.FindComponent("S")->Tag(), 7);
}

QTEST_APPLESS_MAIN(TestComponentStream)
#include "tst_componentstream.moc"
