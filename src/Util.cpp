#include "Util.h"

#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/Writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr int MaxMatchLength = 18;
constexpr int MaxDistance = 4095;
constexpr int MinRunLength = 16;
constexpr int MaxRunLength = 4095;

inline std::uint64_t Load64(const std::uint8_t *p) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Number of equal leading bytes of two differing 8-byte words, in memory order.
inline int EqualLeadingBytes(std::uint64_t difference) {
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(difference) >> 3;
    else
        return std::countl_zero(difference) >> 3;
}

// Length of the common prefix of a and b, at most limit. Reads whole words: both pointers must
// have limit + 8 readable bytes, which the 8193-byte buffers give for every block position.
inline int CommonLength(const std::uint8_t *a, const std::uint8_t *b, int limit) {
    for (int length = 0; length < limit; length += 8) {
        const std::uint64_t difference = Load64(a + length) ^ Load64(b + length);
        if (difference != 0) return std::min(length + EqualLeadingBytes(difference), limit);
    }
    return limit;
}

inline unsigned HashIndex(const std::uint8_t *p) {
    const unsigned h = (((unsigned(p[0]) << 4) ^ p[1]) << 4) ^ p[2];
    return ((h * 40543u) >> 4) & 0xFFF;
}

inline bool FindMatchAt(std::int16_t *hashTable, const std::uint8_t *in, int position,
                        int blockLength, int &matchPosition, int &matchLength) {
    const unsigned index = HashIndex(in + position);
    const int candidate = hashTable[index];
    hashTable[index] = static_cast<std::int16_t>(position);
    if (candidate < 0 || position - candidate > MaxDistance) return false;
    const int limit = std::min(MaxMatchLength, blockLength - position);
    const int length = CommonLength(in + position, in + candidate, limit);
    if (length < 3) return false;
    matchPosition = candidate;
    matchLength = length;
    return true;
}

// Length of the run of equal bytes at p, given that at least 16 bytes are available; 0 when the
// run is shorter than a run item needs.
inline int RunLength(const std::uint8_t *p, int available) {
    const std::uint64_t pattern = 0x0101010101010101ull * p[0];
    if (Load64(p) != pattern || Load64(p + 8) != pattern) return 0;
    const int limit = std::min(available, MaxRunLength);
    for (int length = MinRunLength; length < limit; length += 8) {
        const std::uint64_t difference = Load64(p + length) ^ pattern;
        if (difference != 0) return std::min(length + EqualLeadingBytes(difference), limit);
    }
    return limit;
}

inline void StoreBigEndian16(std::uint8_t *p, unsigned value) {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
}

} // namespace

bool TFastCompress::FindMatch(int position, int blockLength, int &matchPosition, int &matchLength) {
    if (position < 0 || position >= BlockSize || blockLength > BlockSize)
        throw ECompressError("Match position outside the block");
    return FindMatchAt(HashTable, InBuffer, position, blockLength, matchPosition, matchLength);
}

int TFastCompress::CompressBlock(int count) {
    if (count < 0 || count > BlockSize) throw ECompressError("Block size out of range");
    const std::uint8_t *in = InBuffer;
    std::uint8_t *out = OutBuffer;
    std::fill(std::begin(HashTable), std::end(HashTable), std::int16_t(-1));

    out[0] = KindCoded;
    int controlOffset = 1;
    int p = 0;
    int o = 3;
    unsigned control = 0;
    int items = 0;
    // Coding stops as soon as the coded form is longer than the input; the block is stored then.
    // Output stays below count + 7 bytes, well inside OutBuffer.
    while (p < count && o <= count) {
        if (items == 16) {
            StoreBigEndian16(out + controlOffset, control);
            controlOffset = o;
            o += 2;
            items = 0;
        }
        const int run =
            count - p >= MinRunLength && in[p + 1] == in[p] ? RunLength(in + p, count - p) : 0;
        int matchPosition, matchLength;
        if (run != 0) {
            const unsigned value = run - MinRunLength;
            out[o] = 0;
            StoreBigEndian16(out + o + 1, value);
            out[o + 3] = in[p];
            o += 4;
            p += run;
            control = (control << 1) | 1;
        } else if (FindMatchAt(HashTable, in, p, count, matchPosition, matchLength)) {
            StoreBigEndian16(out + o,
                             (unsigned(p - matchPosition) << 4) | unsigned(matchLength - 3));
            o += 2;
            p += matchLength;
            control = (control << 1) | 1;
        } else {
            out[o++] = in[p++];
            control <<= 1;
        }
        ++items;
    }
    StoreBigEndian16(out + controlOffset, (control << (16 - items)) & 0xFFFF);

    if (o > count) {
        out[0] = KindStored;
        std::memcpy(out + 1, in, static_cast<std::size_t>(count));
        return count + 1;
    }
    return o;
}

int TFastCompress::DecompressBlock(int length) {
    if (length < 0 || length > MaxBlockLength) [[unlikely]]
        throw ECompressError("Block length out of range");
    const std::uint8_t *in = InBuffer;
    std::uint8_t *out = OutBuffer;
    if (length == 0) return 0;
    if (in[0] == KindStored) {
        std::memcpy(out, in + 1, static_cast<std::size_t>(length - 1));
        return length - 1;
    }
    if (length <= 3) return 0;

    // The control word sits in the top 16 bits with a marker bit after its last item: the
    // group is used up when only the marker is left.
    constexpr std::uint32_t GroupDone = 0x80000000u;
    std::uint32_t control = (std::uint32_t(in[1]) << 24) | (std::uint32_t(in[2]) << 16) | 0x8000u;
    int q = 3;
    int o = 0;
    // Each step copies a group's leading literals (possibly none) and then one coded item, so
    // literal and match need no branch between them. Copies move fixed 16 or 24 bytes where
    // fewer are due: the surplus lands past the decoded bytes (o stays at most 4096, so inside
    // the 8193-byte buffers) and is overwritten or ignored.
    while (q < length) {
        if (control == GroupDone) {
            if (length - q < 2) [[unlikely]]
                throw ECompressError("Control word cut off by the end of its block");
            control = (std::uint32_t(in[q]) << 24) | (std::uint32_t(in[q + 1]) << 16) | 0x8000u;
            q += 2;
            continue;
        }
        const int literals = std::min(std::countl_zero(control), length - q);
        if (literals > BlockSize - o) [[unlikely]]
            throw ECompressError("Block decodes to more than 4096 bytes");
        std::memcpy(out + o, in + q, 16);
        o += literals;
        q += literals;
        control <<= literals;
        if (control == GroupDone || q >= length) continue;

        if (length - q < 2) [[unlikely]]
            throw ECompressError("Item cut off by the end of its block");
        const int distance = (in[q] << 4) | (in[q + 1] >> 4);
        if (distance == 0) [[unlikely]] {
            if (length - q < 4) throw ECompressError("Run cut off by the end of its block");
            const int count = ((in[q + 1] << 8) | in[q + 2]) + MinRunLength;
            if (count > BlockSize - o)
                throw ECompressError("Block decodes to more than 4096 bytes");
            std::memset(out + o, in[q + 3], static_cast<std::size_t>(count));
            o += count;
            q += 4;
        } else {
            const int matchLength = (in[q + 1] & 0x0F) + 3;
            if (distance > o) [[unlikely]]
                throw ECompressError("Match reaches before the start of its block");
            if (matchLength > BlockSize - o) [[unlikely]]
                throw ECompressError("Block decodes to more than 4096 bytes");
            std::uint8_t *target = out + o;
            const std::uint8_t *source = target - distance;
            if (distance >= 8) [[likely]] {
                // Each 8-byte step reads only bytes that are already final.
                std::memcpy(target, source, 8);
                std::memcpy(target + 8, source + 8, 8);
                std::memcpy(target + 16, source + 16, 8);
            } else {
                for (int i = 0; i < matchLength; ++i)
                    target[i] = source[i];
            }
            o += matchLength;
            q += 2;
        }
        control <<= 1;
    }
    return o;
}

std::int64_t TFastCompress::CompressStream(TMemoryStream &source, TMemoryStream &destination) {
    const std::int64_t start = destination.Position();
    while (source.Position() < source.Size()) {
        const int count = static_cast<int>(source.Read(InBuffer, BlockSize));
        int blockLength;
        try {
            blockLength = CompressBlock(count);
        } catch (const ECompressError &) {
            return -1;
        }
        const std::uint8_t frame[2] = {std::uint8_t(blockLength), std::uint8_t(blockLength >> 8)};
        destination.Write(frame, 2);
        destination.Write(OutBuffer, blockLength);
    }
    return destination.Position() - start;
}

std::int64_t TFastCompress::DecompressStream(TMemoryStream &source, TMemoryStream &destination,
                                             std::int64_t limit) {
    const std::int64_t start = destination.Position();
    while (source.Position() < source.Size()) {
        std::uint8_t frame[2];
        if (source.Read(frame, 2) < 2) break;
        const int blockLength = frame[0] | (frame[1] << 8);
        if (blockLength > source.Size()) return 0;
        if (blockLength > MaxBlockLength) return -1;
        const int present = static_cast<int>(source.Read(InBuffer, blockLength));
        int decoded;
        try {
            decoded = DecompressBlock(present);
        } catch (const ECompressError &) {
            return -1;
        }
        if (destination.Position() - start > limit - decoded) return -1;
        destination.Write(OutBuffer, decoded);
    }
    return destination.Position() - start;
}

// ---- Network files

namespace {

constexpr std::uint8_t FileMagic[10] = {0x11, 'Q', 'W', 'C', 'O', 'M', 'P', 'V', 0x01, 0x00};
// Type RCDATA by ordinal, the empty name, the memory flags; the stream's length follows.
constexpr std::uint8_t ResourceHeader[6] = {0xFF, 0x0A, 0x00, 0x00, 0x30, 0x10};
// Far beyond any network; a file that claims more is refused before it fills the memory.
constexpr std::int64_t MaxFileSize = std::int64_t(64) << 20, MaxBodySize = std::int64_t(256) << 20;

} // namespace

TMemoryStream NetworkFileImage(TMemoryStream &componentStream) {
    TMemoryStream body;
    const std::uint32_t length = std::uint32_t(componentStream.Size() - componentStream.Position());
    const std::uint8_t lengthBytes[4] = {std::uint8_t(length), std::uint8_t(length >> 8),
                                         std::uint8_t(length >> 16), std::uint8_t(length >> 24)};
    body.Write(ResourceHeader, sizeof ResourceHeader);
    body.Write(lengthBytes, sizeof lengthBytes);
    body.Write(componentStream.Memory() + componentStream.Position(), length);
    body.Seek(0);

    TMemoryStream image;
    image.Write(FileMagic, sizeof FileMagic);
    if (TFastCompress().CompressStream(body, image) < 0)
        throw ECompressError("Cannot compress the network");
    return image;
}

TMemoryStream NetworkFileImage(TComponent &window) {
    TMemoryStream stream;
    TWriter(stream).WriteRootComponent(window);
    stream.Seek(0);
    return NetworkFileImage(stream);
}

namespace {

// The component stream of a network file; damage says why the compressed body stopped decoding
// before its end, and stays empty when all of it decoded.
TMemoryStream DecodedStream(TMemoryStream &image, std::string &damage) {
    image.Seek(0);
    std::uint8_t magic[sizeof FileMagic] = {};
    if (image.Read(magic, sizeof magic) < std::int64_t(sizeof magic) ||
        std::memcmp(magic, FileMagic, sizeof magic) != 0)
        throw EStreamError("Not a network file: the first 10 bytes are not the magic");
    // Whatever the decoding gives is read on: a damaged body fails in the reader, which then
    // names the damage as the cause.
    TMemoryStream body;
    const std::int64_t decoded = TFastCompress().DecompressStream(image, body, MaxBodySize);
    if (decoded == 0 && image.Position() < image.Size())
        damage = "a compressed frame is longer than the whole file (file byte " +
                 std::to_string(image.Position()) + ")";
    else if (decoded < 0)
        damage = "the compressed body does not decode past file byte " +
                 std::to_string(image.Position());
    const auto fail = [&damage](const std::string &reason) {
        throw EStreamError(damage.empty() ? reason : reason + "; " + damage);
    };
    body.Seek(0);
    std::uint8_t header[3] = {};
    if (body.Read(header, 3) < 3 || header[0] != 0xFF || header[1] != 0x0A || header[2] != 0x00)
        fail("The body does not start with a resource header");
    // Any name is accepted: skip it to its terminator, then the flags and the length.
    std::uint8_t byte = 1;
    while (byte != 0)
        if (body.Read(&byte, 1) < 1) fail("The resource header's name has no end");
    body.Seek(body.Position() + 6);
    return body;
}

} // namespace

TMemoryStream NetworkFileStream(TMemoryStream &image) {
    std::string damage;
    return DecodedStream(image, damage);
}

TMemoryStream NetworkFileStream(TMemoryStream &image, std::string &damage) {
    return DecodedStream(image, damage);
}

TMemoryStream LoadNetworkFileImage(const std::string &fileName) {
    TMemoryStream image;
    image.LoadFromFile(fileName, MaxFileSize);
    return image;
}

bool SaveNetworkFile(const std::string &fileName, TComponent &window) {
    try {
        NetworkFileImage(window).SaveToFile(fileName);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

void ReadNetworkFile(const std::string &fileName, TComponent &window,
                     std::function<bool(std::string_view)> nameTaken) {
    TMemoryStream image = LoadNetworkFileImage(fileName);
    ReadNetworkImage(image, window, std::move(nameTaken));
}

void ReadNetworkImage(TMemoryStream &image, TComponent &window,
                      std::function<bool(std::string_view)> nameTaken) {
    std::string damage;
    TMemoryStream stream = DecodedStream(image, damage);
    TReader reader(stream, std::move(nameTaken));
    reader.RestrictClassesToFields();
    try {
        reader.ReadRootComponent(window);
    } catch (const EReadError &error) {
        if (damage.empty()) throw;
        throw EReadError(std::string(error.what()) + "; " + damage, error.Offset);
    }
}

TComponent &LoadNetworkFile(const std::string &fileName, TComponent &window, bool &ok,
                            std::function<bool(std::string_view)> nameTaken) {
    ok = false;
    try {
        ReadNetworkFile(fileName, window, std::move(nameTaken));
        ok = true;
    } catch (const std::exception &) {
    }
    return window;
}
