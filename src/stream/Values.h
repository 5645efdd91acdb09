#pragma once

// The tagged values of the component stream: every value is a tag byte and its payload, all
// integers little-endian. TValueWriter makes the writer's choices (smallest integer tag, short or
// long string, the special identifiers); TValueReader reads every tag and bounds every length by
// the bytes that are really there.

#include <cstdint>
#include <string>
#include <string_view>

class TMemoryStream;

enum class TValueType : std::uint8_t {
    vaNull = 0, // end of a list; also the identifier "Null"
    vaList = 1, // values up to a vaNull
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5, // 10 bytes, 80-bit extended precision
    vaString = 6,   // 1-byte length, 8-bit text
    vaIdent = 7,    // 1-byte length, 8-bit text
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,  // 4-byte length, bytes
    vaSet = 11,     // short strings up to an empty one
    vaLString = 12, // 4-byte length, 8-bit text
    vaNil = 13,
    vaCollection = 14, // items up to a vaNull: [integer] vaList properties 0x00
    vaSingle = 15,     // 4 bytes
    vaCurrency = 16,   // 8-byte integer, value x 10000
    vaDate = 17,       // 8-byte double
    vaWString = 18,    // 4-byte count of UTF-16 units, little-endian
    vaInt64 = 19,
};
constexpr int ValueTypeCount = 20;

// Fixed payload sizes of the floating and 8-byte kinds.
constexpr int ExtendedSize = 10;

// The stream's signature, written before the root record.
constexpr std::string_view StreamSignature = "TPF0";

// Prefix byte flags of a component record (present only as a byte 0xF0 | flags).
enum TFilerFlag : std::uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

// The integer tag the writer picks for a value: the smallest that holds it.
TValueType IntegerType(std::int64_t value);

class TValueWriter {
public:
    explicit TValueWriter(TMemoryStream &stream) : FStream(stream) {}

    void WriteByte(std::uint8_t value);
    void WriteValueType(TValueType type) { WriteByte(std::uint8_t(type)); }
    void WriteBytes(const void *data, std::size_t count);
    // A short string: one length byte and at most 255 bytes; longer text is cut.
    void WriteShortString(std::string_view text);

    // Smallest of vaInt8, vaInt16, vaInt32; vaInt64 beyond 32 bits.
    void WriteInteger(std::int64_t value) { WriteInteger(value, IntegerType(value)); }
    // With the given integer tag, which must hold the value.
    void WriteInteger(std::int64_t value, TValueType type);
    // vaString below 256 bytes, else vaLString.
    void WriteString(std::string_view text);
    void WriteLongString(std::string_view text);
    // "False", "True", "Null" and "nil" (any case) become their own tags, others vaIdent.
    void WriteIdent(std::string_view ident);
    void WriteBoolean(bool value) {
        WriteValueType(value ? TValueType::vaTrue : TValueType::vaFalse);
    }
    void WriteBinary(std::string_view bytes);
    void WriteWideString(std::u16string_view text);
    // A set is vaSet, then WriteSetElement for each member, then WriteSetEnd.
    void WriteSetElement(std::string_view name) { WriteShortString(name); }
    void WriteSetEnd() { WriteByte(0); }
    void WriteListEnd() { WriteByte(0); }
    void WriteUInt32(std::uint32_t value);

private:
    TMemoryStream &FStream;
};

// Reads values from a stream's bytes from its position on. Every read that would go past the
// last byte raises EReadError with the offset; lengths are checked against the bytes left
// before anything is allocated.
class TValueReader {
public:
    explicit TValueReader(TMemoryStream &stream);
    ~TValueReader();
    TValueReader(const TValueReader &) = delete;
    TValueReader &operator=(const TValueReader &) = delete;

    std::int64_t Position() const { return FPosition; }
    std::int64_t Remaining() const { return FSize - FPosition; }
    bool AtEnd() const { return FPosition >= FSize; }

    std::uint8_t ReadByte();
    std::uint8_t PeekByte() const;
    TValueType ReadValueType();
    TValueType PeekValueType() const;
    std::string ReadShortString();
    std::string ReadBytes(std::int64_t count);
    std::uint32_t ReadUInt32();
    std::uint64_t ReadUInt64();
    void ReadSignature();

    // Payloads of a value whose tag was read already.
    std::int64_t ReadIntegerPayload(TValueType type);
    std::string ReadStringPayload(TValueType type); // vaString, vaLString, vaIdent
    std::u16string ReadWideStringPayload();
    std::string ReadBinaryPayload();

    // Skips one whole value, tag included; nested lists and collections are bounded in depth.
    void SkipValue();

    // Raises EReadError at the current position.
    [[noreturn]] void Fail(const std::string &message) const;

private:
    void Need(std::int64_t count) const;
    void SkipValue(int depth);

    TMemoryStream &FStream;
    const std::uint8_t *FData;
    std::int64_t FSize;
    std::int64_t FPosition;
};

// The tags an integer value's payload may have in a record: the writer never uses vaInt64 there.
inline bool IsIntegerTag(TValueType type) {
    return type == TValueType::vaInt8 || type == TValueType::vaInt16 || type == TValueType::vaInt32;
}

// The text of an identifier value whose tag was read: the special identifiers have tags of their
// own. False for any other tag, leaving the payload unread.
bool ReadIdent(TValueReader &values, TValueType type, std::string &ident);

// Whether a tag is a valid value type at all.
inline bool IsValueType(std::uint8_t tag) {
    return tag < ValueTypeCount;
}

// Case-insensitive comparison of 8-bit names, as identifiers and property names are matched,
// and the key under which such a name is looked up.
bool SameText(std::string_view a, std::string_view b);
std::string LowerCase(std::string_view text);

// Nesting limit of lists, collections and component records, so hostile input cannot exhaust
// the stack.
constexpr int MaxNestingDepth = 64;
