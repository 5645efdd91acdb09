#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"
#include "stream/Values.h"

#include <QTest>

#include <functional>

namespace {

using Writes = std::function<void(TValueWriter &)>;

QByteArray Bytes(const TMemoryStream &stream) {
    return QByteArray(reinterpret_cast<const char *>(stream.Memory()), int(stream.Size()));
}

QByteArray Stream(const Writes &records) {
    TMemoryStream stream;
    TValueWriter writer(stream);
    writer.WriteBytes("TPF0", 4);
    records(writer);
    return Bytes(stream);
}

// One component record; a position >= 0 sets the child position flag.
Writes Record(std::string cls, std::string name, Writes properties = {}, Writes children = {},
              int flags = 0, int position = -1) {
    if (position >= 0) flags |= ffChildPos;
    return [=](TValueWriter &w) {
        if (flags != 0) w.WriteByte(std::uint8_t(0xF0 | flags));
        if (position >= 0) w.WriteInteger(position);
        w.WriteShortString(cls);
        w.WriteShortString(name);
        if (properties) properties(w);
        w.WriteByte(0);
        if (children) children(w);
        w.WriteByte(0);
    };
}

Writes Property(std::string name, Writes value) {
    return [=](TValueWriter &w) {
        w.WriteShortString(name);
        value(w);
    };
}

Writes All(std::vector<Writes> parts) {
    return [=](TValueWriter &w) {
        for (const Writes &part : parts)
            part(w);
    };
}

Writes Raw(const char *hex) {
    return [=](TValueWriter &w) {
        const QByteArray bytes = QByteArray::fromHex(hex);
        w.WriteBytes(bytes.constData(), std::size_t(bytes.size()));
    };
}
Writes Int(std::int64_t value) {
    return [=](TValueWriter &w) { w.WriteInteger(value); };
}
Writes Str(std::string text) {
    return [=](TValueWriter &w) { w.WriteString(text); };
}
Writes Ident(std::string text) {
    return [=](TValueWriter &w) { w.WriteIdent(text); };
}
Writes Wide(std::u16string text) {
    return [=](TValueWriter &w) { w.WriteWideString(text); };
}
Writes Binary(std::string bytes) {
    return [=](TValueWriter &w) { w.WriteBinary(bytes); };
}
Writes Set(std::vector<std::string> names) {
    return [=](TValueWriter &w) {
        w.WriteValueType(TValueType::vaSet);
        for (const std::string &name : names)
            w.WriteSetElement(name);
        w.WriteSetEnd();
    };
}
Writes List(std::vector<Writes> values) {
    return [=](TValueWriter &w) {
        w.WriteValueType(TValueType::vaList);
        All(values)(w);
        w.WriteListEnd();
    };
}
// Items of a collection: an index below 0 leaves the index out.
Writes Collection(std::vector<std::pair<int, Writes>> items) {
    return [=](TValueWriter &w) {
        w.WriteValueType(TValueType::vaCollection);
        for (const auto &[index, properties] : items) {
            if (index >= 0) w.WriteInteger(index);
            w.WriteValueType(TValueType::vaList);
            if (properties) properties(w);
            w.WriteByte(0);
        }
        w.WriteListEnd();
    };
}

// A root record "TRoot" with the one property P.
QByteArray WithValue(const Writes &value) {
    return Stream(Record("TRoot", "", Property("P", value)));
}

QByteArray Dump(const QByteArray &stream) {
    TMemoryStream input(stream.constData(), stream.size());
    return QByteArray::fromStdString(ObjectBinaryToText(input));
}

QByteArray Pack(const QByteArray &text) {
    TMemoryStream output;
    ObjectTextToBinary(text.toStdString(), output);
    return Bytes(output);
}

std::string Repeat(const std::string &piece, int times) {
    std::string result;
    for (int i = 0; i < times; ++i)
        result += piece;
    return result;
}

} // namespace

class TestTextForm : public QObject {
    Q_OBJECT

private slots:
    void goldenText();
    void binaryRoundTrip_data();
    void binaryRoundTrip();
    void valueNotation_data();
    void valueNotation();
    void handWrittenText_data();
    void handWrittenText();
    void parseErrors_data();
    void parseErrors();
    void malformedBinary_data();
    void malformedBinary();
    void streamPositions();
};

void TestTextForm::goldenText() {
    std::string glyph;
    for (int i = 0; i < 40; ++i)
        glyph += char(i * 7);
    const QByteArray stream = Stream(Record(
        "TFormZentaroChild", "FormZentaroChild",
        All({Property("Left", Int(227)),
             Property("BorderIcons", Set({"biSystemMenu", "biMinimize"})),
             Property("Caption", Str("NoName.ZTR")), Property("Font.Style", Set({})),
             Property("OnClose", Ident("FormClose")), Property("Glyph.Data", Binary(glyph))}),
        All({Record("TPanel", "PanelTop", Property("Tag", Int(-1))),
             Record("TMenuItem", "", Property("Caption", Str("-")))})));
    const QByteArray text = "object FormZentaroChild: TFormZentaroChild\n"
                            "  Left = 227\n"
                            "  BorderIcons = [biSystemMenu, biMinimize]\n"
                            "  Caption = 'NoName.ZTR'\n"
                            "  Font.Style = []\n"
                            "  OnClose = FormClose\n"
                            "  Glyph.Data = {\n"
                            "    00070E151C232A31383F464D545B626970777E858C939AA1A8AFB6BDC4CBD2D9\n"
                            "    E0E7EEF5FC030A11}\n"
                            "  object PanelTop: TPanel\n"
                            "    Tag = -1\n"
                            "  end\n"
                            "  object TMenuItem\n"
                            "    Caption = '-'\n"
                            "  end\n"
                            "end\n";
    QCOMPARE(Dump(stream), text);
    QCOMPARE(Pack(text), stream);

    // Names that are no identifiers, and a prefix byte the words cannot give.
    const QByteArray odd = Stream(
        All({Raw("F0"), Record("T-Root", "my name", Property("1st", Set({"a", "b c"})),
                               Record("", "it's\t\xe9\x81", {}, {}, ffInherited | ffInline, 2))}));
    const QByteArray oddText = "object $F0 'my name': 'T-Root'\n"
                               "  '1st' = [a, 'b c']\n"
                               "  object $F7 'it''s'#9'\u00e9'#129: '' [2]\n"
                               "  end\n"
                               "end\n";
    QCOMPARE(Dump(odd), oddText);
    QCOMPARE(Pack(oddText), odd);
}

void TestTextForm::binaryRoundTrip_data() {
    QTest::addColumn<QByteArray>("stream");

    QTest::newRow("integers") << WithValue(
        List({Int(0), Int(127), Int(-128), Int(128), Int(-32769), Int(2147483647),
              Int(-2147483647 - 1), Int(2147483648LL), Int(INT64_MIN), Int(INT64_MAX)}));
    QTest::newRow("words") << Stream(
        Record("TRoot", "",
               All({Property("A", Ident("False")), Property("B", Ident("True")),
                    Property("C", Ident("nil")), Property("D", Ident("Null"))})));
    QTest::newRow("identifiers") << WithValue(
        List({Ident("clRed"), Ident("Form1.Button_2"), Ident("_x")}));
    QTest::newRow("8-bit text") << WithValue(
        List({Str(""), Str("it's ''quoted''"), Str("\r\nline\tTab\x7f"),
              Str(std::string("\0a\0", 3)), Str("\x80\x8a\xe9\xff\xa0 caf\xe9"),
              Str("\x81\x8d\x8f\x90\x9d"), Str("#13 not an escape")}));
    QTest::newRow("long text") << WithValue(
        List({Str(Repeat("0123456789'\x81\xe9", 30)), Str(std::string(256, 'x')),
              Str(std::string(64, 'y')), Str(std::string(65, 'z'))}));
    QTest::newRow("wide text") << WithValue(
        List({Wide(u"\u03a9mega"), Wide(u"\u0080\u009f\u20ac'\r\n"), Wide(u"\U0001F600 face"),
              Wide(u"lone \xd800 and \xdfff"), Wide(u"\u0081\u00e9"), Wide(u"\u4e2d\u6587")}));
    std::u16string longWide(63, u'w');
    longWide += u"\U0001F600"; // a pair across the 64-unit piece boundary
    longWide += std::u16string(100, u'\u03a9');
    QTest::newRow("long wide text") << WithValue(Wide(longWide));
    QTest::newRow("sets") << WithValue(
        List({Set({}), Set({"a"}), Set({"fsBold", "fsItalic", "fsBold", "x.y"})}));
    QTest::newRow("binary") << WithValue(
        List({Binary(""), Binary("\x01"), Binary(std::string(32, '\xab')),
              Binary(std::string(65, '\0'))}));
    QTest::newRow("extended") << WithValue(
        List({Raw("05 0000000000000080FF3F"), Raw("05 ABAAAAAAAAAAAAAAFD3F"),
              Raw("05 00000000000000000080"), Raw("05 00000000000000000000"),
              Raw("05 01000000000000000000"), Raw("05 0000000000000080FF7F"),
              Raw("05 00000000000000C0FFFF"), Raw("05 0100000000000000FF3F"),
              Raw("05 00000000000000800000"), Raw("05 FFFFFFFFFFFFFFFFFE7F")}));
    QTest::newRow("single") << WithValue(
        List({Raw("0F 0000C03F"), Raw("0F CDCCCC3D"), Raw("0F 00000080"), Raw("0F 01000000"),
              Raw("0F 0000C07F"), Raw("0F 0000807F"), Raw("0F FFFF7F7F")}));
    QTest::newRow("currency") << WithValue(List(
        {Raw("10 0000000000000000"), Raw("10 0100000000000000"), Raw("10 FFFFFFFFFFFFFFFF"),
         Raw("10 0000000000000080"), Raw("10 FFFFFFFFFFFFFF7F"), Raw("10 10270000000000 00")}));
    QTest::newRow("date") << WithValue(
        List({Raw("11 0000000010F9E540"), Raw("11 0000000000000000"), Raw("11 0100000000000000"),
              Raw("11 000000000000F87F"), Raw("11 000000000000F0FF"), Raw("11 9A9999999999B93F")}));
    QTest::newRow("nested lists") << WithValue(
        List({List({}), List({List({Int(1), Str("a")}), Binary("\x10")}), Collection({})}));
    QTest::newRow("collections") << Stream(Record(
        "TRoot", "",
        All({
            Property("Empty", Collection({})),
            Property(
                "Items",
                Collection(
                    {{-1, {}},
                     {3, Property("Width", Int(5))},
                     {-1, All({Property("Title.Caption", Str("a")),
                               Property("Inner",
                                        Collection({{70000, Property("L", List({Int(1)}))}}))})}})),
        })));
    QTest::newRow("prefixes") << Stream(Record(
        "TRoot", "Form1", Property("Tag", Int(1)),
        All({
            Record("TPanel", "P1", {}, {}, ffInherited),
            Record("TFrame", "F1", {}, Record("TLabel", "", {}, {}, ffInherited, 2), ffInline),
            Record("TButton", "", Property("Top", Int(2)), {}, 0, 300),
            Record("TEdit", "E", {}, {}, ffInherited, 70000),
        }),
        ffInherited));
    QTest::newRow("keywords as names") << Stream(
        Record("end", "object",
               All({Property("end", Ident("end")), Property("object", Ident("inherited")),
                    Property("item", Ident("inline")),
                    Property("Inline", Collection({{-1, All({Property("End", Ident("item")),
                                                             Property("item", Int(1))})}}))}),
               All({Record("inline", "end", {}, {}), Record("item", "", {}, {}, 0, 1),
                    Record("object", "", {}, {})})));
    QTest::newRow("empty root and class names")
        << Stream(Record("", "", {}, Record("", "", {}, {}, ffInherited)));
    QTest::newRow("name with a blank")
        << Stream(Record("TRoot", "my name", {}, Record("TPanel", " ")));
    QTest::newRow("name starting with a digit")
        << Stream(Record("TRoot", "1st", {}, Record("TPanel", "2")));
    QTest::newRow("8-bit names") << Stream(Record("TRoot", "caf\xe9\x81\x90\t\x7f\xff", {},
                                                  Record("TPanel", "\x80\xa0", {}, {}, ffInline)));
    QTest::newRow("quote in a name")
        << Stream(Record("TRoot", "it's", {}, Record("TPanel", "''", {}, {}, 0, 1)));
    QTest::newRow("class names") << Stream(
        Record("T Root", "", {},
               All({Record("T-Gate", "G", {}, {}, ffInherited), Record("A.B", "", {}, {}),
                    Record("\xe9", "x.y")})));
    QTest::newRow("long class names") << Stream(Record(
        std::string(240, 'C'), "", {},
        Record(std::string(255, '\xe9'), std::string(255, '\''), {}, {}, ffInline), ffInherited));
    QTest::newRow("property names and set elements")
        << Stream(Record("TRoot", "",
                         All({Property("1st", Set({"1a", "b c", "x..y"})), Property("a.", Int(1)),
                              Property("\xe9", Int(2))})));
    QTest::newRow("identifiers") << WithValue(
        List({Ident("a b"), Ident(""), Ident("x."), Ident("caf\xe9"), Raw("07 04 54525545"),
              Raw("07 03 6E696C"), Raw("07 04 4E554C4C")}));
    QTest::newRow("prefix bytes") << Stream(All(
        {Raw("F0"), Record("TRoot", "", {},
                           All({Record("TPanel", "P", {}, {}, ffInherited | ffInline),
                                Record("TPanel", "Q", {}, {}, 8),
                                Record("TPanel", "R", {}, {}, 0x0F, 3), Raw("F0 00 00 00 00")}))}));
    // Child position 2 and item index 1 in tags wider than needed.
    QTest::newRow("integer tags") << Stream(
        Record("TRoot", "",
               All({Property("P", List({Raw("03 0500"), Raw("04 FFFFFFFF"),
                                        Raw("13 0100000000000000"), Raw("04 00800000")})),
                    Property("C", Raw("0E 030100 01 00 00"))}),
               Raw("F2 0402000000 06 5450616E656C 00 00 00")));
    QTest::newRow("string tags") << WithValue(
        List({Raw("0C 03000000 616263"), Raw("0C 00000000"), Wide(u"abc\u20ac"), Wide(u""),
              Wide(std::u16string(70, u'w'))}));

    Writes deep = Record("TLeaf", "", Property("P", Int(1)));
    for (int i = 0; i < MaxNestingDepth; ++i)
        deep = Record("TBox", std::string("B").append(std::to_string(i)), {}, deep);
    QTest::newRow("deepest records") << Stream(deep);
    Writes deepList = Int(1);
    for (int i = 0; i < MaxNestingDepth; ++i)
        deepList = List({deepList});
    QTest::newRow("deepest lists") << WithValue(deepList);
}

// Binary -> text -> binary gives the same bytes, and the text is stable through another pass.
void TestTextForm::binaryRoundTrip() {
    QFETCH(QByteArray, stream);
    const QByteArray text = Dump(stream);
    QCOMPARE(Pack(text), stream);
    QCOMPARE(Dump(Pack(text)), text);
}

void TestTextForm::valueNotation_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("int64") << WithValue(Int(-5000000000LL)) << QByteArray(" -5000000000");
    QTest::newRow("int16 lowest") << WithValue(Raw("03 0080")) << QByteArray(" -32768");
    QTest::newRow("words") << WithValue(Ident("TRUE")) << QByteArray(" True");
    QTest::newRow("controls") << WithValue(Str("a\r\nb")) << QByteArray(" 'a'#13#10'b'");
    QTest::newRow("quote and Windows-1252")
        << WithValue(Str("'\x80\xe9\x81")) << QByteArray(" '''\u20ac\u00e9'#129");
    QTest::newRow("only escapes") << WithValue(Str("\t")) << QByteArray(" #9");
    QTest::newRow("wide") << WithValue(Wide(u"\u03a9\u0080\r\xd800"))
                          << QByteArray(" '\u03a9'#0128#13#55296");
    QTest::newRow("wide that fits 8 bits")
        << WithValue(Wide(u"\u20ac\r")) << QByteArray(" '\u20ac'#13W");
    QTest::newRow("short long string")
        << WithValue(Raw("0C 02000000 6162")) << QByteArray(" 'ab'L");
    QTest::newRow("identifier no plain one") << WithValue(Ident("a b")) << QByteArray(" &'a b'");
    QTest::newRow("identifier that is a word")
        << WithValue(Raw("07 04 54525545")) << QByteArray(" &'TRUE'");
    QTest::newRow("integer tags") << WithValue(List({Raw("03 0500"), Raw("13 FFFFFFFFFFFFFFFF")}))
                                  << QByteArray(" (\n    5i16\n    -1i64)");
    QTest::newRow("long string") << WithValue(Str(std::string(64, 'a') + "b"))
                                 << QByteArray("\n    '" + QByteArray(64, 'a') + "' +\n    'b'");
    QTest::newRow("extended") << WithValue(Raw("05 00000000000000C0FF3F")) << QByteArray(" 1.5");
    QTest::newRow("extended whole")
        << WithValue(Raw("05 0000000000000080 0540")) << QByteArray(" 64.0");
    QTest::newRow("extended negative zero")
        << WithValue(Raw("05 00000000000000000080")) << QByteArray(" -0.0");
    QTest::newRow("extended small")
        << WithValue(Raw("05 0000000000000080 EB3F")) << QByteArray(" 9.5367431640625E-7");
    QTest::newRow("extended NaN") << WithValue(Raw("05 00000000000000C0FF7F"))
                                  << QByteArray(" $7FFFC000000000000000");
    QTest::newRow("single") << WithValue(Raw("0F CDCCCC3D")) << QByteArray(" 0.1s");
    QTest::newRow("single tiny") << WithValue(Raw("0F 01000000")) << QByteArray(" 1E-45s");
    QTest::newRow("single infinity") << WithValue(Raw("0F 0000807F")) << QByteArray(" $7F800000");
    QTest::newRow("currency") << WithValue(Raw("10 2C01000000000000")) << QByteArray(" 0.03c");
    QTest::newRow("currency whole")
        << WithValue(Raw("10 A086010000000000")) << QByteArray(" 10.0c");
    QTest::newRow("currency lowest")
        << WithValue(Raw("10 0000000000000080")) << QByteArray(" -922337203685477.5808c");
    QTest::newRow("date") << WithValue(Raw("11 0000000010F9E540")) << QByteArray(" 45000.5d");
    QTest::newRow("date NaN") << WithValue(Raw("11 010000000000F87F"))
                              << QByteArray(" $7FF8000000000001");
    QTest::newRow("set") << WithValue(Set({"a", "b"})) << QByteArray(" [a, b]");
    QTest::newRow("list") << WithValue(List({Int(1), List({}), List({Str("x")})}))
                          << QByteArray(" (\n    1\n    ()\n    (\n      'x'))");
    QTest::newRow("long string in a list")
        << WithValue(List({Str(std::string(65, 'a'))}))
        << QByteArray(" (\n    '" + QByteArray(64, 'a') + "' +\n      'a')");
    QTest::newRow("binary") << WithValue(Binary(std::string(33, '\x5a')))
                            << QByteArray(" {\n    " + QByteArray(64, '5').replace("55", "5A") +
                                          "\n    5A}");
    QTest::newRow("empty binary") << WithValue(Binary("")) << QByteArray(" {}");
    QTest::newRow("collection")
        << WithValue(Collection({{-1, Property("A", Int(1))}, {2, {}}}))
        << QByteArray(" <\n    item\n      A = 1\n    end\n    item [2]\n    end>");
    QTest::newRow("empty collection") << WithValue(Collection({})) << QByteArray(" <>");
}

void TestTextForm::valueNotation() {
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, text);
    const QByteArray whole = "object TRoot\n  P =" + text + "\nend\n";
    QCOMPARE(Dump(stream), whole);
    QCOMPARE(Dump(Pack(whole)), whole);
}

void TestTextForm::handWrittenText_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("stream");

    QTest::newRow("joined with +")
        << QByteArray("'a' +\n // between\n 'b' + #67") << WithValue(Str("abC"));
    QTest::newRow("byte escapes") << QByteArray("#128#8364#0065#129")
                                  << WithValue(Str("\x80\x80"
                                                   "A\x81"));
    QTest::newRow("code unit escape") << QByteArray("#0128") << WithValue(Wide(u"\u0080"));
    QTest::newRow("escape above 255") << QByteArray("'x'#937") << WithValue(Wide(u"x\u03a9"));
    QTest::newRow("wide keeps byte escapes")
        << QByteArray("'\u03a9'#128#129") << WithValue(Wide(u"\u03a9\u20ac\u0081"));
    QTest::newRow("Windows-1252 letters")
        << QByteArray("'\u00e9\u0160\u2122'") << WithValue(Str("\xe9\x8a\x99"));
    QTest::newRow("outside the BMP")
        << QByteArray("'\U0001F600'") << WithValue(Wide(u"\U0001F600"));
    QTest::newRow("tab inside quotes") << QByteArray("'a\tb'") << WithValue(Str("a\tb"));
    QTest::newRow("words in any case")
        << QByteArray("(TRUE fAlSe NIL)")
        << WithValue(List({Ident("True"), Ident("False"), Ident("nil")}));
    QTest::newRow("null") << QByteArray("null") << WithValue(Ident("Null"));
    QTest::newRow("suffix case") << QByteArray("(1.5S 12C 2D)")
                                 << WithValue(List({Raw("0F 0000C03F"), Raw("10 C0D4010000000000"),
                                                    Raw("11 0000000000000040")}));
    QTest::newRow("exponents") << QByteArray("(15E-1 0.015e+2 1e0s)")
                               << WithValue(
                                      List({Raw("05 00000000000000C0FF3F"),
                                            Raw("05 00000000000000C0FF3F"), Raw("0F 0000803F")}));
    QTest::newRow("hex floats") << QByteArray("($7fc00001 $0000000000000001 $FFFF0000000000000001)")
                                << WithValue(List({Raw("0F 0100C07F"), Raw("11 0100000000000000"),
                                                   Raw("05 0100000000000000FFFF")}));
    QTest::newRow("integers") << QByteArray("(-0 007 9223372036854775807 -9223372036854775808)")
                              << WithValue(List({Int(0), Int(7), Int(INT64_MAX), Int(INT64_MIN)}));
    QTest::newRow("16-bit bounds") << QByteArray("(-32768 32767 -32769 32768)")
                                   << WithValue(Raw("01 030080 03FF7F 04FF7FFFFF 0400800000 00"));
    QTest::newRow("binary with gaps")
        << QByteArray("{ 0a 0B\n // note\n c0 }") << WithValue(Binary("\x0a\x0b\xc0"));
    QTest::newRow("set with gaps")
        << QByteArray("[ a ,b.c,\n d ]") << WithValue(Set({"a", "b.c", "d"}));
    QTest::newRow("collection in one line") << QByteArray("<item [-1] A=1 end item end>")
                                            << WithValue(Raw("0E 02FF 01 0141 0201 00 01 00 00"));
    QTest::newRow("tag marks") << QByteArray("('a'w #65L -1I32 5i8 & #9'x')")
                               << WithValue(List({Wide(u"a"), Raw("0C 01000000 41"),
                                                  Raw("04 FFFFFFFF"), Int(5), Raw("07 02 0978")}));
}

void TestTextForm::handWrittenText() {
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, stream);
    QCOMPARE(Pack("\xEF\xBB\xBF// a window\r\nOBJECT TRoot P = " + value + "\r\nEnd // done\n"),
             stream);
}

void TestTextForm::parseErrors_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty") << QByteArray("  \n") << 2 << 1 << "'object' expected";
    QTest::newRow("missing end") << QByteArray("object T\n  A = 1\n") << 3 << 1 << "expected";
    QTest::newRow("missing =") << QByteArray("object T\n  Left 227\nend") << 2 << 8
                               << "'=' expected";
    QTest::newRow("columns count characters") << QByteArray("object T\n  S = '\u03a9\u03a9' 5\nend")
                                              << 2 << 12 << "Property, 'object' or 'end' expected";
    QTest::newRow("unterminated string")
        << QByteArray("object T\n  S = 'abc\n  end") << 2 << 7 << "Unterminated";
    QTest::newRow("invalid UTF-8")
        << QByteArray("object T\n  S = 'ab\xC0\xAF'\nend") << 2 << 10 << "UTF-8";
    QTest::newRow("unexpected byte")
        << QByteArray("object T\n  S = \xE2\x82\xAC\nend") << 2 << 7 << "Unexpected";
    QTest::newRow("integer range")
        << QByteArray("object T\n  I = 9223372036854775808\nend") << 2 << 7 << "out of range";
    QTest::newRow("float range") << QByteArray("object T\n  F = 1E5000d\nend") << 2 << 7
                                 << "out of range";
    QTest::newRow("number and letters")
        << QByteArray("object T\n  F = 12px\nend") << 2 << 7 << "Invalid number";
    QTest::newRow("currency decimals")
        << QByteArray("object T\n  C = 1.23456c\nend") << 2 << 7 << "four decimals";
    QTest::newRow("currency exponent")
        << QByteArray("object T\n  C = 1E2c\nend") << 2 << 7 << "exponent";
    QTest::newRow("hex float digits")
        << QByteArray("object T\n  F = $123\nend") << 2 << 7 << "8, 16 or 20";
    QTest::newRow("escape range") << QByteArray("object T\n  S = 'a'#65536\nend") << 2 << 10
                                  << "out of range";
    QTest::newRow("+ without string")
        << QByteArray("object T\n  S = 'a' + 1\nend") << 2 << 13 << "String expected";
    QTest::newRow("Null in a list")
        << QByteArray("object T\n  L = (1\n    null)\nend") << 3 << 5 << "Null";
    QTest::newRow("odd hex digits")
        << QByteArray("object T\n  B = {\n    ABC}\nend") << 3 << 8 << "Odd";
    QTest::newRow("bad hex digit")
        << QByteArray("object T\n  B = {AG}\nend") << 2 << 9 << "Hexadecimal";
    QTest::newRow("set separator")
        << QByteArray("object T\n  S = [a b]\nend") << 2 << 10 << "',' or ']'";
    QTest::newRow("item expected")
        << QByteArray("object T\n  C = <\n    A = 1>\nend") << 3 << 5 << "'item'";
    QTest::newRow("position range")
        << QByteArray("object T\n  object A: B [2147483648]\n  end\nend") << 2 << 16
        << "out of range";
    QTest::newRow("property after child")
        << QByteArray("object T\n  object C\n  end\n  A = 1\nend") << 4 << 3 << "before child";
    QTest::newRow("dotted class") << QByteArray("object A.B\nend") << 1 << 8
                                  << "Invalid Class name";
    QTest::newRow("name too long")
        << QByteArray("object T\n  " + QByteArray(256, 'n') + " = 1\nend") << 2 << 3 << "too long";
    QTest::newRow("class name too long")
        << QByteArray("object " + QByteArray(240, 'C') + "\nend") << 1 << 8 << "too long";
    QTest::newRow("text after the end")
        << QByteArray("object T\nend\nobject U\nend") << 3 << 1 << "End of text";
    QTest::newRow("empty property name")
        << QByteArray("object T\n  '' = 1\nend") << 2 << 3 << "Property name";
    QTest::newRow("empty set element")
        << QByteArray("object T\n  S = [a, '']\nend") << 2 << 11 << "Set element";
    QTest::newRow("empty child class")
        << QByteArray("object T\n  object ''\n  end\nend") << 2 << 10 << "Class name expected";
    QTest::newRow("name outside Windows-1252")
        << QByteArray("object '\u03a9': T\nend") << 1 << 8 << "Windows-1252";
    QTest::newRow("prefix byte after inherited")
        << QByteArray("inherited $F0 T\nend") << 1 << 11 << "'object'";
    QTest::newRow("prefix byte without position")
        << QByteArray("object $F2 T\nend") << 2 << 1 << "'[' expected";
    QTest::newRow("integer width") << QByteArray("object T\n  I = 1i7\nend") << 2 << 7 << "width";
    QTest::newRow("position width") << QByteArray("object T [1i64]\nend") << 1 << 11 << "too wide";
    QTest::newRow("long string of wide text")
        << QByteArray("object T\n  S = '\u03a9'L\nend") << 2 << 10 << "long string";

    QByteArray lists = "object T\n  P = " + QByteArray(MaxNestingDepth + 1, '(') + "1" +
                       QByteArray(MaxNestingDepth + 1, ')') + "\nend";
    QTest::newRow("lists too deep") << lists << 2 << 7 + MaxNestingDepth << "too deeply";
    QByteArray records;
    for (int i = 0; i <= MaxNestingDepth + 1; ++i)
        records += QByteArray(i, ' ') + "object T\n";
    QTest::newRow("records too deep")
        << records << MaxNestingDepth + 2 << MaxNestingDepth + 2 << "too deeply";
}

void TestTextForm::parseErrors() {
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, message);
    TMemoryStream output;
    output.Write("keep", 4);
    try {
        ObjectTextToBinary(text.toStdString(), output);
        QFAIL("no error raised");
    } catch (const ETextFormError &error) {
        QCOMPARE((QPair<int, int>(error.Line, error.Column)), (QPair<int, int>(line, column)));
        const QString what = QString::fromUtf8(error.what());
        QVERIFY2(what.startsWith(QStringLiteral("line %1, column %2: ").arg(line).arg(column)),
                 error.what());
        QVERIFY2(what.contains(message), error.what());
    }
    QCOMPARE(Bytes(output), QByteArray("keep"));
}

void TestTextForm::malformedBinary_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<qint64>("offset");

    // "TPF0" 4, class "TRoot" 6, empty name 1, property name "P" 2: the value starts at 13, and
    // the stream ends with it.
    auto withValue = [](const char *hex) {
        return QByteArray("TPF0\x05TRoot\0\x01P", 13) + QByteArray::fromHex(hex);
    };
    QTest::newRow("no signature") << QByteArray("TPF1\x05TRoot\0\0\0", 14) << qint64(0);
    QTest::newRow("nothing after the signature") << QByteArray("TPF0") << qint64(4);
    QTest::newRow("unknown tag") << withValue("14") << qint64(13);
    QTest::newRow("string past the end") << withValue("06 05 6162") << qint64(15);
    QTest::newRow("long string past the end") << withValue("0C FFFFFFFF 61") << qint64(18);
    QTest::newRow("wide string past the end") << withValue("12 02000000 4100") << qint64(18);
    QTest::newRow("binary past the end") << withValue("0A 00000001") << qint64(18);
    QTest::newRow("extended cut short") << withValue("05 0000") << qint64(14);
    QTest::newRow("unended list") << withValue("01 0201 0202") << qint64(18);
    QTest::newRow("item without list") << withValue("0E 0201 02") << qint64(16);
    QTest::newRow("item index too wide")
        << withValue("0E 13 0000000000000000 01 00 00") << qint64(14);
    QTest::newRow("position not an integer") << QByteArray("TPF0\xF2\x06\x01"
                                                           "a\x01T\0\0\0",
                                                           13)
                                             << qint64(5);

    Writes deepList = Int(1);
    for (int i = 0; i <= MaxNestingDepth; ++i)
        deepList = List({deepList});
    QTest::newRow("lists too deep") << WithValue(deepList) << qint64(13 + MaxNestingDepth);
    Writes deep = Record("T", "", {});
    for (int i = 0; i <= MaxNestingDepth; ++i)
        deep = Record("T", "", {}, deep);
    QTest::newRow("records too deep") << Stream(deep) << qint64(4 + 4 * (MaxNestingDepth + 1));
}

void TestTextForm::malformedBinary() {
    QFETCH(QByteArray, stream);
    QFETCH(qint64, offset);
    TMemoryStream input(stream.constData(), stream.size());
    try {
        ObjectBinaryToText(input);
        QFAIL("no error raised");
    } catch (const EReadError &error) {
        QCOMPARE(qint64(error.Offset), offset);
    }
}

// Dumping reads from the position on and stops after the root; packing appends at the position.
void TestTextForm::streamPositions() {
    const QByteArray stream = WithValue(Int(5));
    const QByteArray framed = "head" + stream + "tail";
    TMemoryStream input(framed.constData(), framed.size());
    input.Seek(4);
    QCOMPARE(QByteArray::fromStdString(ObjectBinaryToText(input)),
             QByteArray("object TRoot\n  P = 5\nend\n"));
    QCOMPARE(input.Position(), qint64(4 + stream.size()));

    TMemoryStream output;
    output.Write("head", 4);
    ObjectTextToBinary("object TRoot P = 5 end", output);
    QCOMPARE(Bytes(output), "head" + stream);
}

QTEST_APPLESS_MAIN(TestTextForm)
#include "tst_textform.moc"
