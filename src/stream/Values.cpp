#include "Values.h"

#include "Errors.h"
#include "MemoryStream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {

// Names compare without regard to ASCII case only, the same on every machine and locale.
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

void PutLittleEndian(std::uint8_t *out, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        out[i] = std::uint8_t(value >> (8 * i));
}

} // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        c = AsciiLower(c);
    return lower;
}

// ---- writing

void TValueWriter::WriteByte(std::uint8_t value) {
    FStream.Write(&value, 1);
}

void TValueWriter::WriteBytes(const void *data, std::size_t count) {
    FStream.Write(data, std::int64_t(count));
}

void TValueWriter::WriteUInt32(std::uint32_t value) {
    std::uint8_t bytes[4];
    PutLittleEndian(bytes, value, 4);
    WriteBytes(bytes, 4);
}

void TValueWriter::WriteShortString(std::string_view text) {
    text = text.substr(0, 255);
    WriteByte(std::uint8_t(text.size()));
    WriteBytes(text.data(), text.size());
}

TValueType IntegerType(std::int64_t value) {
    if (value >= -128 && value <= 127) return TValueType::vaInt8;
    if (value >= -32768 && value <= 32767) return TValueType::vaInt16;
    if (value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max())
        return TValueType::vaInt32;
    return TValueType::vaInt64;
}

void TValueWriter::WriteInteger(std::int64_t value, TValueType type) {
    const int size = type == TValueType::vaInt8    ? 1
                     : type == TValueType::vaInt16 ? 2
                     : type == TValueType::vaInt32 ? 4
                                                   : 8;
    std::uint8_t bytes[9];
    bytes[0] = std::uint8_t(type);
    PutLittleEndian(bytes + 1, std::uint64_t(value), size);
    WriteBytes(bytes, std::size_t(size) + 1);
}

void TValueWriter::WriteString(std::string_view text) {
    if (text.size() > 255) return WriteLongString(text);
    WriteValueType(TValueType::vaString);
    WriteShortString(text);
}

void TValueWriter::WriteLongString(std::string_view text) {
    WriteValueType(TValueType::vaLString);
    WriteUInt32(std::uint32_t(text.size()));
    WriteBytes(text.data(), text.size());
}

void TValueWriter::WriteIdent(std::string_view ident) {
    if (SameText(ident, "False"))
        WriteValueType(TValueType::vaFalse);
    else if (SameText(ident, "True"))
        WriteValueType(TValueType::vaTrue);
    else if (SameText(ident, "Null"))
        WriteValueType(TValueType::vaNull);
    else if (SameText(ident, "nil"))
        WriteValueType(TValueType::vaNil);
    else {
        WriteValueType(TValueType::vaIdent);
        WriteShortString(ident);
    }
}

void TValueWriter::WriteBinary(std::string_view bytes) {
    WriteValueType(TValueType::vaBinary);
    WriteUInt32(std::uint32_t(bytes.size()));
    WriteBytes(bytes.data(), bytes.size());
}

void TValueWriter::WriteWideString(std::u16string_view text) {
    WriteValueType(TValueType::vaWString);
    WriteUInt32(std::uint32_t(text.size()));
    for (char16_t unit : text) {
        const std::uint8_t bytes[2] = {std::uint8_t(unit), std::uint8_t(unit >> 8)};
        WriteBytes(bytes, 2);
    }
}

// ---- reading

TValueReader::TValueReader(TMemoryStream &stream)
    : FStream(stream), FData(stream.Memory()), FSize(stream.Size()), FPosition(stream.Position()) {}

TValueReader::~TValueReader() {
    FStream.Seek(FPosition);
}

void TValueReader::Fail(const std::string &message) const {
    throw EReadError(message, FPosition);
}

void TValueReader::Need(std::int64_t count) const {
    if (count < 0 || count > FSize - FPosition) Fail("Unexpected end of stream");
}

std::uint8_t TValueReader::ReadByte() {
    Need(1);
    return FData[FPosition++];
}

std::uint8_t TValueReader::PeekByte() const {
    Need(1);
    return FData[FPosition];
}

TValueType TValueReader::ReadValueType() {
    const std::uint8_t tag = PeekByte();
    if (!IsValueType(tag)) Fail("Invalid value tag " + std::to_string(tag));
    ++FPosition;
    return TValueType(tag);
}

TValueType TValueReader::PeekValueType() const {
    const std::uint8_t tag = PeekByte();
    if (!IsValueType(tag)) Fail("Invalid value tag " + std::to_string(tag));
    return TValueType(tag);
}

std::string TValueReader::ReadBytes(std::int64_t count) {
    Need(count);
    std::string bytes(reinterpret_cast<const char *>(FData + FPosition), std::size_t(count));
    FPosition += count;
    return bytes;
}

std::string TValueReader::ReadShortString() {
    return ReadBytes(ReadByte());
}

std::uint32_t TValueReader::ReadUInt32() {
    Need(4);
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= std::uint32_t(FData[FPosition + i]) << (8 * i);
    FPosition += 4;
    return value;
}

std::uint64_t TValueReader::ReadUInt64() {
    const std::uint64_t low = ReadUInt32();
    return low | (std::uint64_t(ReadUInt32()) << 32);
}

void TValueReader::ReadSignature() {
    if (Remaining() < std::int64_t(StreamSignature.size()) ||
        std::memcmp(FData + FPosition, StreamSignature.data(), StreamSignature.size()) != 0)
        Fail("Invalid stream format: signature \"TPF0\" expected");
    FPosition += std::int64_t(StreamSignature.size());
}

std::int64_t TValueReader::ReadIntegerPayload(TValueType type) {
    int size;
    switch (type) {
    case TValueType::vaInt8:
        size = 1;
        break;
    case TValueType::vaInt16:
        size = 2;
        break;
    case TValueType::vaInt32:
        size = 4;
        break;
    case TValueType::vaInt64:
        size = 8;
        break;
    default:
        Fail("Integer value expected");
    }
    Need(size);
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= std::uint64_t(FData[FPosition + i]) << (8 * i);
    FPosition += size;
    // Sign-extend from the payload's width.
    const int unused = 64 - 8 * size;
    return std::int64_t(value << unused) >> unused;
}

std::string TValueReader::ReadStringPayload(TValueType type) {
    switch (type) {
    case TValueType::vaString:
    case TValueType::vaIdent:
        return ReadShortString();
    case TValueType::vaLString:
        return ReadBytes(ReadUInt32());
    default:
        Fail("String value expected");
    }
}

std::u16string TValueReader::ReadWideStringPayload() {
    const std::uint32_t count = ReadUInt32();
    Need(std::int64_t(count) * 2);
    std::u16string text(count, u'\0');
    for (std::uint32_t i = 0; i < count; ++i)
        text[i] = char16_t(FData[FPosition + 2 * i] | (FData[FPosition + 2 * i + 1] << 8));
    FPosition += std::int64_t(count) * 2;
    return text;
}

std::string TValueReader::ReadBinaryPayload() {
    return ReadBytes(ReadUInt32());
}

void TValueReader::SkipValue() {
    SkipValue(0);
}

void TValueReader::SkipValue(int depth) {
    if (depth > MaxNestingDepth) Fail("Values nested too deeply");
    auto skip = [this](std::int64_t count) {
        Need(count);
        FPosition += count;
    };
    switch (ReadValueType()) {
    case TValueType::vaNull:
    case TValueType::vaFalse:
    case TValueType::vaTrue:
    case TValueType::vaNil:
        return;
    case TValueType::vaList:
        while (PeekByte() != 0)
            SkipValue(depth + 1);
        ++FPosition;
        return;
    case TValueType::vaInt8:
        return skip(1);
    case TValueType::vaInt16:
        return skip(2);
    case TValueType::vaInt32:
    case TValueType::vaSingle:
        return skip(4);
    case TValueType::vaExtended:
        return skip(ExtendedSize);
    case TValueType::vaInt64:
    case TValueType::vaCurrency:
    case TValueType::vaDate:
        return skip(8);
    case TValueType::vaString:
    case TValueType::vaIdent:
        return skip(ReadByte());
    case TValueType::vaLString:
    case TValueType::vaBinary:
        return skip(ReadUInt32());
    case TValueType::vaWString:
        return skip(std::int64_t(ReadUInt32()) * 2);
    case TValueType::vaSet:
        while (ReadByte() != 0)
            skip(FData[FPosition - 1]);
        return;
    case TValueType::vaCollection:
        while (PeekByte() != 0) {
            const TValueType item = ReadValueType();
            if (item == TValueType::vaInt8 || item == TValueType::vaInt16 ||
                item == TValueType::vaInt32) {
                ReadIntegerPayload(item);
                if (ReadValueType() != TValueType::vaList) Fail("Collection item expected");
            } else if (item != TValueType::vaList) {
                Fail("Collection item expected");
            }
            while (PeekByte() != 0) {
                skip(ReadByte()); // property name
                SkipValue(depth + 1);
            }
            ++FPosition;
        }
        ++FPosition;
        return;
    }
}

bool ReadIdent(TValueReader &values, TValueType type, std::string &ident) {
    switch (type) {
    case TValueType::vaIdent:
        ident = values.ReadStringPayload(type);
        return true;
    case TValueType::vaFalse:
        ident = "False";
        return true;
    case TValueType::vaTrue:
        ident = "True";
        return true;
    case TValueType::vaNull:
        ident = "Null";
        return true;
    default:
        return false;
    }
}
