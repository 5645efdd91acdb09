#include "Util.h"
#include "stream/Errors.h"
#include "stream/MemoryStream.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <vector>

namespace {

QByteArray Hex(const char *hex) {
    return QByteArray::fromHex(hex);
}

QByteArray Repeat(const QByteArray &piece, int times) {
    return piece.repeated(times);
}

QByteArray StreamBytes(const TMemoryStream &stream) {
    return QByteArray(reinterpret_cast<const char *>(stream.Memory()), int(stream.Size()));
}

QByteArray CompressStream(const QByteArray &input, std::int64_t *result = nullptr) {
    TMemoryStream source(input.constData(), input.size());
    TMemoryStream destination;
    const std::int64_t r = std::make_unique<TFastCompress>()->CompressStream(source, destination);
    if (result) *result = r;
    return StreamBytes(destination);
}

QByteArray DecompressStream(const QByteArray &input, std::int64_t *result = nullptr) {
    TMemoryStream source(input.constData(), input.size());
    TMemoryStream destination;
    const std::int64_t r = std::make_unique<TFastCompress>()->DecompressStream(source, destination);
    if (result) *result = r;
    return StreamBytes(destination);
}

// The block alone, without its frame, as CompressBlock codes it.
QByteArray CompressBlock(const QByteArray &input) {
    auto coder = std::make_unique<TFastCompress>();
    std::memcpy(coder->InBuffer, input.constData(), size_t(input.size()));
    const int length = coder->CompressBlock(int(input.size()));
    return QByteArray(reinterpret_cast<const char *>(coder->OutBuffer), length);
}

// A plain transcription of the coding rules, byte by byte, as an independent check of the
// word-at-a-time coder.
QByteArray ReferenceCompressBlock(const QByteArray &inputBytes) {
    const auto *in = reinterpret_cast<const unsigned char *>(inputBytes.constData());
    const int n = int(inputBytes.size());
    std::vector<int> table(4096, -1);
    std::vector<unsigned char> out(size_t(n) + 16);
    auto at = [&](int i) -> unsigned { return i < n ? in[i] : 0u; };
    out[0] = 0x40;
    int reserved = 1, p = 0, o = 3, k = 0;
    unsigned w = 0;
    while (p < n && o <= n) {
        if (k == 16) {
            out[size_t(reserved)] = (w >> 8) & 0xFF;
            out[size_t(reserved) + 1] = w & 0xFF;
            reserved = o;
            o += 2;
            k = 0;
        }
        int r = 1;
        while (p + r < n && r < 4095 && in[p + r] == in[p])
            ++r;
        if (r >= 16) {
            out[size_t(o)] = 0;
            out[size_t(o) + 1] = (r - 16) >> 8;
            out[size_t(o) + 2] = (r - 16) & 0xFF;
            out[size_t(o) + 3] = in[p];
            p += r, o += 4, w = (w << 1) | 1;
        } else {
            unsigned h = ((at(p) << 4) ^ at(p + 1)) << 4;
            h ^= at(p + 2);
            const unsigned index = ((h * 40543u) >> 4) & 0xFFF;
            const int c = table[index];
            table[index] = p;
            int length = 0;
            if (c != -1 && p - c <= 4095)
                while (length < 18 && p + length < n && in[p + length] == in[c + length])
                    ++length;
            if (length >= 3) {
                const unsigned item = unsigned(p - c) << 4 | unsigned(length - 3);
                out[size_t(o)] = item >> 8;
                out[size_t(o) + 1] = item & 0xFF;
                p += length, o += 2, w = (w << 1) | 1;
            } else {
                out[size_t(o++)] = in[p++];
                w <<= 1;
            }
        }
        ++k;
        w &= 0xFFFF;
    }
    w = (w << (16 - k)) & 0xFFFF;
    out[size_t(reserved)] = w >> 8;
    out[size_t(reserved) + 1] = w & 0xFF;
    if (o > n) return QByteArray(1, char(0x80)) + inputBytes;
    return QByteArray(reinterpret_cast<const char *>(out.data()), o);
}

// Test data of the kinds network files and hostile inputs are made of.
QByteArray RandomBytes(QRandomGenerator &random, int size, int alphabet) {
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(random.bounded(alphabet));
    return data;
}

QByteArray Runs(QRandomGenerator &random, int size) {
    QByteArray data;
    while (data.size() < size)
        data += QByteArray(int(random.bounded(1, 40)), char(random.bounded(4)));
    return data.left(size);
}

QByteArray Repeats(QRandomGenerator &random, int size) {
    QByteArray data = RandomBytes(random, 64, 256);
    while (data.size() < size) {
        const int from = int(random.bounded(data.size()));
        const int length = int(random.bounded(1, 30));
        data += random.bounded(3) == 0 ? RandomBytes(random, length, 256) : data.mid(from, length);
    }
    return data.left(size);
}

QByteArray Mixed(QRandomGenerator &random, int size) {
    QByteArray data;
    while (data.size() < size) {
        const int piece = int(random.bounded(1, 6000));
        switch (random.bounded(4)) {
        case 0:
            data += RandomBytes(random, piece, 256);
            break;
        case 1:
            data += Runs(random, piece);
            break;
        case 2:
            data += Repeats(random, piece);
            break;
        default:
            data += QByteArray(piece, char(random.bounded(256)));
            break;
        }
    }
    return data.left(size);
}

// Splits a framed stream into its blocks, checking the frame lengths on the way.
QList<QByteArray> Frames(const QByteArray &stream) {
    QList<QByteArray> frames;
    for (int at = 0; at < stream.size();) {
        if (stream.size() - at < 2) return {};
        const int length = quint8(stream[at]) | quint8(stream[at + 1]) << 8;
        if (length < 2 || length > 4097 || at + 2 + length > stream.size()) return {};
        frames.append(stream.mid(at + 2, length));
        at += 2 + length;
    }
    return frames;
}

} // namespace

class TestCompressor : public QObject {
    Q_OBJECT

private slots:
    void workedExamples_data();
    void workedExamples();
    void streamFrames_data();
    void streamFrames();
    void itemCountAndControlWords_data();
    void itemCountAndControlWords();
    void matchesStayInsideTheirBlock();
    void matchesReferenceCoder_data();
    void matchesReferenceCoder();
    void roundTrip_data();
    void roundTrip();
    void compressAppendsAtPosition();
    void malformedStreams_data();
    void malformedStreams();
    void blockLimitsAreChecked();
};

void TestCompressor::workedExamples_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("3 bytes stored") << QByteArray("abc") << Hex("80616263");
    QTest::newRow("abc x4: literals then match") << Repeat("abc", 4) << Hex("4010006162630036");
    QTest::newRow("run of 20") << QByteArray(20, 'a') << Hex("40800000000461");
    QTest::newRow("4096 equal: run + literal") << QByteArray(4096, 'a') << Hex("408000000fef6161");
    QTest::newRow("run of 15: literal + match") << QByteArray(15, 'a') << Hex("40400061001b");
    QTest::newRow("ab x30") << Repeat("ab", 30) << Hex("403c006162002f012f012f0121");
    QTest::newRow("run of exactly 16") << QByteArray(16, 'a') << Hex("40800000000061");
    QTest::newRow("1 byte stored") << QByteArray("x") << Hex("8078");
    QTest::newRow("2 bytes stored") << QByteArray("xy") << Hex("807879");
    QTest::newRow("coded exactly as long stays coded") << Repeat("abcde", 2)
                                                       << Hex("4004006162636465"
                                                              "0052");
    QTest::newRow("coded one byte longer is stored")
        << Repeat("abcd", 2) << Hex("806162636461626364");
}

void TestCompressor::workedExamples() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, block);
    QCOMPARE(CompressBlock(input).toHex(' '), block.toHex(' '));

    auto coder = std::make_unique<TFastCompress>();
    std::memcpy(coder->InBuffer, block.constData(), size_t(block.size()));
    const int decoded = coder->DecompressBlock(int(block.size()));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(coder->OutBuffer), decoded), input);
}

void TestCompressor::streamFrames_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("stream");

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("abc") << QByteArray("abc") << Hex("040080616263");
    QTest::newRow("4097 bytes: second block holds one byte") << QByteArray(4097, 'a')
                                                             << Hex("0800"
                                                                    "408000000fef6161"
                                                                    "0200"
                                                                    "8061");
}

void TestCompressor::streamFrames() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, stream);
    std::int64_t compressed = 0, decompressed = 0;
    QCOMPARE(CompressStream(input, &compressed).toHex(' '), stream.toHex(' '));
    QCOMPARE(compressed, std::int64_t(stream.size()));
    QCOMPARE(DecompressStream(stream, &decompressed), input);
    QCOMPARE(decompressed, std::int64_t(input.size()));
}

void TestCompressor::itemCountAndControlWords_data() {
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("blockLength");

    // Runs of 16 distinct bytes: every item is a 4-byte run item.
    QTest::newRow("16 items, one control word") << 16 << 3 + 16 * 4;
    QTest::newRow("17 items, second control word") << 17 << 3 + 16 * 4 + 2 + 4;
    QTest::newRow("32 items, no trailing control word") << 32 << 3 + 32 * 4 + 2;
}

void TestCompressor::itemCountAndControlWords() {
    QFETCH(int, runs);
    QFETCH(int, blockLength);
    QByteArray input;
    for (int i = 0; i < runs; ++i)
        input += QByteArray(16, char('A' + i));
    const QByteArray block = CompressBlock(input);
    QCOMPARE(block.size(), blockLength);
    QCOMPARE(block.mid(1, 2), Hex("ffff"));
    if (runs > 16) {
        const int second = 3 + 16 * 4;
        const unsigned expected = runs == 17 ? 0x8000 : 0xFFFF;
        QCOMPARE(quint8(block[second]) << 8 | quint8(block[second + 1]), int(expected));
    }
}

void TestCompressor::matchesStayInsideTheirBlock() {
    QRandomGenerator random(7);
    const QByteArray half = RandomBytes(random, 4096, 16);
    const QList<QByteArray> frames = Frames(CompressStream(half + half));
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0], frames[1]);
}

void TestCompressor::matchesReferenceCoder_data() {
    QTest::addColumn<QByteArray>("input");
    QRandomGenerator random(20261207);
    const int sizes[] = {1, 3, 4, 17, 18, 19, 100, 1000, 4000, 4095, 4096};
    for (int size : sizes) {
        QTest::addRow("random %d", size) << RandomBytes(random, size, 256);
        QTest::addRow("small alphabet %d", size) << RandomBytes(random, size, 3);
        QTest::addRow("runs %d", size) << Runs(random, size);
        QTest::addRow("repeats %d", size) << Repeats(random, size);
        QTest::addRow("mixed %d", size) << Mixed(random, size);
    }
    QTest::addRow("run cut at 4095") << QByteArray(4095, 'z') + "y";
    QTest::addRow("run of 4096 after one byte") << "y" + QByteArray(4095, 'z');
    QTest::addRow("runs of 15, 16, 17")
        << QByteArray(15, 'a') + QByteArray(16, 'b') + QByteArray(17, 'c');
}

void TestCompressor::matchesReferenceCoder() {
    QFETCH(QByteArray, input);
    QCOMPARE(CompressBlock(input).toHex(), ReferenceCompressBlock(input).toHex());
}

void TestCompressor::roundTrip_data() {
    QTest::addColumn<QByteArray>("input");
    QRandomGenerator random(42);
    const int sizes[] = {0,    1,    2,    15,   16,   4094, 4095,  4096,  4097,
                         4098, 8190, 8191, 8192, 8193, 8194, 12288, 12289, 40000};
    for (int size : sizes) {
        QTest::addRow("random %d", size) << RandomBytes(random, size, 256);
        QTest::addRow("runs %d", size) << Runs(random, size);
        QTest::addRow("repeats %d", size) << Repeats(random, size);
        QTest::addRow("mixed %d", size) << Mixed(random, size);
        QTest::addRow("one byte %d", size) << QByteArray(size, '\xff');
    }
    for (int i = 0; i < 40; ++i) {
        const int size = int(random.bounded(1, 20000));
        QTest::addRow("mixed random size %d", size) << Mixed(random, size);
    }
}

void TestCompressor::roundTrip() {
    QFETCH(QByteArray, input);
    std::int64_t result = 0;
    const QByteArray stream = CompressStream(input, &result);
    QCOMPARE(result, std::int64_t(stream.size()));

    const QList<QByteArray> frames = Frames(stream);
    QCOMPARE(frames.size(), (input.size() + 4095) / 4096);
    for (int i = 0; i < frames.size(); ++i) {
        QVERIFY(frames[i][0] == '\x40' || frames[i][0] == '\x80');
        QVERIFY2(frames[i].size() <= qMin(4096, int(input.size()) - i * 4096) + 1, "block grew");
    }

    QCOMPARE(DecompressStream(stream, &result), input);
    QCOMPARE(result, std::int64_t(input.size()));
}

void TestCompressor::compressAppendsAtPosition() {
    TMemoryStream source("..abc", 5);
    source.Seek(2);
    TMemoryStream destination("XY", 2);
    destination.Seek(2);
    QCOMPARE(std::make_unique<TFastCompress>()->CompressStream(source, destination),
             std::int64_t(6));
    QCOMPARE(StreamBytes(destination), "XY" + Hex("040080616263"));

    TMemoryStream framed(destination.Memory(), destination.Size());
    framed.Seek(2);
    TMemoryStream decoded;
    QCOMPARE(std::make_unique<TFastCompress>()->DecompressStream(framed, decoded), std::int64_t(3));
    QCOMPARE(StreamBytes(decoded), QByteArray("abc"));
}

void TestCompressor::malformedStreams_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("appended");

    const QByteArray good = Hex("040080616263");
    const QByteArray padding(5000, '\0');
    QTest::newRow("length beyond the whole stream") << Hex("ff7f8001") << 0 << QByteArray();
    QTest::newRow("length beyond the stream after a good block")
        << good + Hex("0010") << 0 << QByteArray("abc");
    QTest::newRow("block length above 4097") << Hex("0210") + padding << -1 << QByteArray();
    QTest::newRow("match before the block start") << Hex("0500"
                                                         "408000"
                                                         "0013")
                                                  << -1 << QByteArray();
    QTest::newRow("match reaching one byte too far back") << Hex("0600404000"
                                                                 "61"
                                                                 "0020")
                                                          << -1 << QByteArray();
    QTest::newRow("decodes to more than 4096 bytes") << Hex("0b00"
                                                            "40c000"
                                                            "000fef61"
                                                            "000fef61")
                                                     << -1 << QByteArray();
    QTest::newRow("run cut off by the block end") << Hex("0600408000"
                                                         "000f61")
                                                  << -1 << QByteArray();
    QTest::newRow("match cut off by the block end") << Hex("0400408000"
                                                           "00")
                                                    << -1 << QByteArray();
    QTest::newRow("control word cut off") << Hex("1400"
                                                 "400000") +
                                                 QByteArray(16, 'x') + Hex("00")
                                          << -1 << QByteArray();
    QTest::newRow("bad block after a good one keeps the good one") << good + Hex("0500"
                                                                                 "408000"
                                                                                 "0013")
                                                                   << -1 << QByteArray("abc");
    QTest::newRow("one byte where a length belongs") << good + Hex("04") << 3 << QByteArray("abc");
    QTest::newRow("block cut short by the end decodes what is there") << good + Hex("0800"
                                                                                    "80787a")
                                                                      << 5 << QByteArray("abcxz");
    QTest::newRow("control word ending the block") << Hex("1500"
                                                          "400000") +
                                                          QByteArray(16, 'x') + Hex("0000")
                                                   << 16 << QByteArray(16, 'x');
    QTest::newRow("empty coded and stored blocks") << Hex("0000"
                                                          "010080"
                                                          "030040ffff")
                                                   << 0 << QByteArray();
}

void TestCompressor::malformedStreams() {
    QFETCH(QByteArray, stream);
    QFETCH(int, result);
    QFETCH(QByteArray, appended);
    std::int64_t actual = 99;
    QCOMPARE(DecompressStream(stream, &actual), appended);
    QCOMPARE(actual, std::int64_t(result));
}

void TestCompressor::blockLimitsAreChecked() {
    auto coder = std::make_unique<TFastCompress>();
    QVERIFY_THROWS_EXCEPTION(ECompressError, coder->DecompressBlock(4098));
    QVERIFY_THROWS_EXCEPTION(ECompressError, coder->DecompressBlock(-1));
    QVERIFY_THROWS_EXCEPTION(ECompressError, coder->CompressBlock(4097));
}

QTEST_APPLESS_MAIN(TestCompressor)
#include "tst_compressor.moc"
