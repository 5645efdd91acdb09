// Binary component stream -> text, and the number and name rules both directions share.
#include "TextForm.h"

#include "Cp1252.h"
#include "Errors.h"
#include "MemoryStream.h"
#include "TextFormDetail.h"
#include "Values.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>

namespace TextFormDetail {

namespace {

bool IsIdentifierStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentifierPart(char c) {
    return IsIdentifierStart(c) || (c >= '0' && c <= '9');
}

// x87 extended precision is what the 10 bytes hold; elsewhere only the hex form is exact.
constexpr bool LongDoubleIsExtended = std::numeric_limits<long double>::digits == 64 &&
                                      std::numeric_limits<long double>::max_exponent == 16384;

constexpr char HexDigits[] = "0123456789ABCDEF";

std::string RawHex(std::uint64_t high, int highDigits, std::uint64_t low, int lowDigits) {
    std::string text = "$";
    for (int i = highDigits - 1; i >= 0; --i)
        text += HexDigits[(high >> (4 * i)) & 15];
    for (int i = lowDigits - 1; i >= 0; --i)
        text += HexDigits[(low >> (4 * i)) & 15];
    return text;
}

// to_chars' shortest form made ours: "E" exponents without "+" or leading zeros, and a ".0" on
// whole numbers so that they never read as integers.
template <typename Float> std::string Shortest(Float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc()) return {};
    const std::string_view text(buffer, std::size_t(result.ptr - buffer));
    const std::size_t e = text.find('e');
    if (e == std::string_view::npos)
        return std::string(text) + (text.find('.') == std::string_view::npos ? ".0" : "");
    std::string_view exponent = text.substr(e + 1);
    const bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) exponent.remove_prefix(1);
    while (exponent.size() > 1 && exponent[0] == '0')
        exponent.remove_prefix(1);
    return std::string(text.substr(0, e)) + (negative ? "E-" : "E") + std::string(exponent);
}

template <typename Float> bool ParseFloat(std::string_view number, Float &value) {
    if (number.size() > MaxNumberLength) return false;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    return result.ec == std::errc() && result.ptr == number.data() + number.size();
}

} // namespace

bool IsIdentifier(std::string_view text, bool allowDots) {
    bool partStart = true;
    for (char c : text) {
        if (partStart) {
            if (!IsIdentifierStart(c)) return false;
            partStart = false;
        } else if (c == '.' && allowDots) {
            partStart = true;
        } else if (!IsIdentifierPart(c)) {
            return false;
        }
    }
    return !partStart;
}

bool IsValueWord(std::string_view text) {
    return SameText(text, "False") || SameText(text, "True") || SameText(text, "Null") ||
           SameText(text, "nil");
}

std::string FormatExtended(const std::uint8_t (&bytes)[ExtendedSize]) {
    std::uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i)
        mantissa = (mantissa << 8) | bytes[i];
    const unsigned signAndExponent = bytes[8] | (unsigned(bytes[9]) << 8);
    if constexpr (LongDoubleIsExtended) {
        const unsigned exponent = signAndExponent & 0x7FFF;
        const bool integerBit = (mantissa >> 63) != 0;
        // Infinities, NaNs and the encodings the FPU itself never produces keep their bits.
        const bool canonical = exponent == 0 ? !integerBit : exponent != 0x7FFF && integerBit;
        if (canonical) {
            long double value = 0;
            std::memcpy(&value, bytes, ExtendedSize);
            std::string text = Shortest(value);
            std::uint8_t back[ExtendedSize];
            if (ParseExtended(text, back) && std::memcmp(back, bytes, ExtendedSize) == 0)
                return text;
        }
    }
    return RawHex(signAndExponent, 4, mantissa, 16);
}

std::string FormatSingle(std::uint32_t bits) {
    if ((bits & 0x7F800000u) != 0x7F800000u) {
        const std::string text = Shortest(std::bit_cast<float>(bits));
        std::uint32_t back;
        if (ParseSingle(text, back) && back == bits) return text + "s";
    }
    return RawHex(0, 0, bits, 8);
}

std::string FormatDate(std::uint64_t bits) {
    if ((bits & 0x7FF0000000000000u) != 0x7FF0000000000000u) {
        const std::string text = Shortest(std::bit_cast<double>(bits));
        std::uint64_t back;
        if (ParseDate(text, back) && back == bits) return text + "d";
    }
    return RawHex(0, 0, bits, 16);
}

std::string FormatInteger(std::int64_t value, TValueType type) {
    std::string text = std::to_string(value);
    if (type == IntegerType(value)) return text;
    switch (type) {
    case TValueType::vaInt8:
        return text + "i8";
    case TValueType::vaInt16:
        return text + "i16";
    case TValueType::vaInt32:
        return text + "i32";
    default:
        return text + "i64";
    }
}

std::string FormatCurrency(std::int64_t value) {
    const std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    std::string fraction = std::to_string(magnitude % 10000 + 10000).substr(1);
    while (fraction.size() > 1 && fraction.back() == '0')
        fraction.pop_back();
    // Appended piece by piece: gcc 12 warns falsely about "literal" + std::string at -O3.
    std::string text = value < 0 ? "-" : "";
    text += std::to_string(magnitude / 10000);
    text += '.';
    text += fraction;
    text += 'c';
    return text;
}

bool ParseExtended(std::string_view number, std::uint8_t (&bytes)[ExtendedSize]) {
    if constexpr (LongDoubleIsExtended) {
        long double value;
        if (!ParseFloat(number, value)) return false;
        std::memcpy(bytes, &value, ExtendedSize);
        return true;
    } else {
        // Without an 80-bit type, go through double: exact for every value a double holds.
        double value;
        if (!ParseFloat(number, value)) return false;
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        const unsigned exponent = unsigned(bits >> 52) & 0x7FF;
        std::uint64_t mantissa = (bits & 0xFFFFFFFFFFFFFu) << 11;
        unsigned extendedExponent = 0;
        if (exponent != 0) {
            mantissa |= std::uint64_t(1) << 63;
            extendedExponent = exponent - 1023 + 16383;
        } else if (mantissa != 0) {
            // A double's subnormal is a normal extended number.
            int shift = std::countl_zero(mantissa);
            mantissa <<= shift;
            extendedExponent = unsigned(16383 - 1022 - shift);
        }
        for (int i = 0; i < 8; ++i)
            bytes[i] = std::uint8_t(mantissa >> (8 * i));
        const unsigned top = extendedExponent | (unsigned(bits >> 63) << 15);
        bytes[8] = std::uint8_t(top);
        bytes[9] = std::uint8_t(top >> 8);
        return true;
    }
}

bool ParseSingle(std::string_view number, std::uint32_t &bits) {
    float value;
    if (!ParseFloat(number, value)) return false;
    bits = std::bit_cast<std::uint32_t>(value);
    return true;
}

bool ParseDate(std::string_view number, std::uint64_t &bits) {
    double value;
    if (!ParseFloat(number, value)) return false;
    bits = std::bit_cast<std::uint64_t>(value);
    return true;
}

bool ParseCurrency(std::string_view number, std::int64_t &value) {
    const bool negative = !number.empty() && number[0] == '-';
    if (negative) number.remove_prefix(1);
    const std::size_t point = number.find('.');
    const std::string_view whole = number.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? "" : number.substr(point + 1);
    if (whole.empty() || fraction.size() > 4) return false;
    // All digits as one count of ten-thousandths, checked against the limit of its sign.
    const std::uint64_t limit =
        std::uint64_t(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    std::uint64_t magnitude = 0;
    auto add = [&](char c) {
        if (c < '0' || c > '9') return false;
        const unsigned digit = unsigned(c - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
        return true;
    };
    for (char c : whole)
        if (!add(c)) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (!add(i < fraction.size() ? fraction[i] : '0')) return false;
    value = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    return true;
}

} // namespace TextFormDetail

namespace {

using namespace TextFormDetail;

void AppendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Writes the records and values read from the binary as indented text.
class TDumper {
public:
    explicit TDumper(TMemoryStream &input) : FReader(input) {}

    std::string Run() {
        FReader.ReadSignature();
        WriteRecord(0);
        return std::move(FOut);
    }

private:
    void Indent(int level) { FOut.append(std::size_t(2 * level), ' '); }

    [[noreturn]] static void FailAt(std::int64_t offset, const std::string &message) {
        throw EReadError(message, offset);
    }

    // Names may hold any bytes: those that are no identifier are quoted like strings.
    void WriteName(std::string_view name, bool allowDots) {
        if (IsIdentifier(name, allowDots))
            FOut += name;
        else
            WriteQuoted(name);
    }

    TValueType ReadIntegerType(const char *what) {
        const TValueType type = FReader.PeekValueType();
        if (type != TValueType::vaInt8 && type != TValueType::vaInt16 &&
            type != TValueType::vaInt32)
            FReader.Fail(std::string(what) + " must be an integer");
        return FReader.ReadValueType();
    }

    void WriteRecord(int level) {
        const std::int64_t start = FReader.Position();
        if (level > MaxNestingDepth) FailAt(start, "Components nested too deeply");
        const bool hasPrefix = (FReader.PeekByte() & 0xF0) == 0xF0;
        const int flags = hasPrefix ? FReader.ReadByte() & 0x0F : 0;
        std::string position;
        if (flags & ffChildPos) {
            const TValueType type = ReadIntegerType("Child position");
            position = FormatInteger(FReader.ReadIntegerPayload(type), type);
        }
        const std::string className = FReader.ReadShortString();
        const std::string name = FReader.ReadShortString();

        Indent(level);
        // The words give flag 1 or 4, with or without 2; other prefix bytes are written as they
        // are.
        const int kind = flags & ~ffChildPos;
        if (kind == ffInherited)
            FOut += "inherited ";
        else if (kind == ffInline)
            FOut += "inline ";
        else if (kind == 0 && (flags != 0 || !hasPrefix))
            FOut += "object ";
        else
            FOut += std::string("object $F") + HexDigits[flags] + ' ';
        if (!name.empty()) {
            WriteName(name, false);
            FOut += ": ";
        }
        WriteName(className, false);
        if (!position.empty()) FOut += " [" + position + "]";
        FOut += '\n';
        while (FReader.PeekByte() != 0) {
            WriteProperty(level + 1, level);
            FOut += '\n';
        }
        FReader.ReadByte();
        while (FReader.PeekByte() != 0)
            WriteRecord(level + 1);
        FReader.ReadByte();
        Indent(level);
        FOut += "end\n";
    }

    // "Name = value" at the level's indent, without the line end.
    void WriteProperty(int level, int depth) {
        Indent(level);
        WriteName(FReader.ReadShortString(), true);
        FOut += " =";
        WriteValue(level + 1, depth, true);
    }

    // One value; lines after its first are indented to the level. Right after "=", the value
    // brings its own separator.
    void WriteValue(int level, int depth, bool afterEquals) {
        const std::int64_t at = FReader.Position();
        const TValueType type = FReader.ReadValueType();
        if (afterEquals && type != TValueType::vaString && type != TValueType::vaLString &&
            type != TValueType::vaWString)
            FOut += ' ';
        switch (type) {
        case TValueType::vaNull:
            FOut += "Null";
            return;
        case TValueType::vaFalse:
            FOut += "False";
            return;
        case TValueType::vaTrue:
            FOut += "True";
            return;
        case TValueType::vaNil:
            FOut += "nil";
            return;
        case TValueType::vaInt8:
        case TValueType::vaInt16:
        case TValueType::vaInt32:
        case TValueType::vaInt64:
            FOut += FormatInteger(FReader.ReadIntegerPayload(type), type);
            return;
        case TValueType::vaExtended: {
            const std::string bytes = FReader.ReadBytes(ExtendedSize);
            std::uint8_t extended[ExtendedSize];
            std::memcpy(extended, bytes.data(), ExtendedSize);
            FOut += FormatExtended(extended);
            return;
        }
        case TValueType::vaSingle:
            FOut += FormatSingle(FReader.ReadUInt32());
            return;
        case TValueType::vaCurrency:
            FOut += FormatCurrency(std::int64_t(FReader.ReadUInt64()));
            return;
        case TValueType::vaDate:
            FOut += FormatDate(FReader.ReadUInt64());
            return;
        case TValueType::vaString:
        case TValueType::vaLString: {
            const std::string text = FReader.ReadStringPayload(type);
            WriteString(text, level, afterEquals);
            // A long string the writer would have made short.
            if (type == TValueType::vaLString && text.size() <= 255) FOut += 'L';
            return;
        }
        case TValueType::vaWString:
            WriteWideString(FReader.ReadWideStringPayload(), level, afterEquals);
            return;
        case TValueType::vaIdent: {
            const std::string ident = FReader.ReadShortString();
            if (IsIdentifier(ident, true) && !IsValueWord(ident)) {
                FOut += ident;
            } else {
                FOut += '&';
                WriteQuoted(ident);
            }
            return;
        }
        case TValueType::vaSet: {
            FOut += '[';
            for (bool first = true;; first = false) {
                const std::string element = FReader.ReadShortString();
                if (element.empty()) break;
                if (!first) FOut += ", ";
                WriteName(element, true);
            }
            FOut += ']';
            return;
        }
        case TValueType::vaBinary: {
            const std::string bytes = FReader.ReadBinaryPayload();
            FOut += '{';
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (i % BinaryLineBytes == 0) {
                    FOut += '\n';
                    Indent(level);
                }
                FOut += HexDigits[std::uint8_t(bytes[i]) >> 4];
                FOut += HexDigits[std::uint8_t(bytes[i]) & 15];
            }
            FOut += '}';
            return;
        }
        case TValueType::vaList:
            if (depth + 1 > MaxNestingDepth) FailAt(at, "Values nested too deeply");
            FOut += '(';
            while (FReader.PeekByte() != 0) {
                FOut += '\n';
                Indent(level);
                WriteValue(level + 1, depth + 1, false);
            }
            FReader.ReadByte();
            FOut += ')';
            return;
        case TValueType::vaCollection:
            if (depth + 1 > MaxNestingDepth) FailAt(at, "Values nested too deeply");
            FOut += '<';
            while (FReader.PeekByte() != 0)
                WriteItem(level, depth + 1);
            FReader.ReadByte();
            FOut += '>';
            return;
        }
    }

    void WriteItem(int level, int depth) {
        FOut += '\n';
        Indent(level);
        FOut += "item";
        if (FReader.PeekValueType() != TValueType::vaList) {
            const TValueType type = ReadIntegerType("Item index");
            FOut += " [" + FormatInteger(FReader.ReadIntegerPayload(type), type) + "]";
        }
        if (FReader.PeekValueType() != TValueType::vaList) FReader.Fail("Collection item expected");
        FReader.ReadValueType();
        while (FReader.PeekByte() != 0) {
            FOut += '\n';
            WriteProperty(level + 1, depth);
        }
        FReader.ReadByte();
        FOut += '\n';
        Indent(level);
        FOut += "end";
    }

    // A long string becomes pieces joined by " +" at line ends; after "=" they start on a line
    // of their own.
    void BeginPiece(std::size_t index, std::size_t count, int level, bool afterEquals) {
        if (index > 0) {
            FOut += " +\n";
            Indent(level);
        } else if (afterEquals && count > 1) {
            FOut += '\n';
            Indent(level);
        } else if (afterEquals) {
            FOut += ' ';
        }
    }

    void WriteString(std::string_view bytes, int level, bool afterEquals) {
        const std::size_t count =
            std::max<std::size_t>(1, (bytes.size() + StringPieceLength - 1) / StringPieceLength);
        for (std::size_t piece = 0; piece < count; ++piece) {
            BeginPiece(piece, count, level, afterEquals);
            WriteQuoted(bytes.substr(piece * StringPieceLength, StringPieceLength));
        }
    }

    // 8-bit text as one piece: quoted characters, and escapes for those that are better not.
    void WriteQuoted(std::string_view bytes) {
        if (bytes.empty()) {
            FOut += "''";
            return;
        }
        bool quoted = false;
        for (char c : bytes) {
            const std::uint8_t byte = std::uint8_t(c);
            const int character = Cp1252ToUnicode(byte);
            if (character < 0x20 || character == 0x7F) {
                if (quoted) FOut += '\'';
                quoted = false;
                FOut += '#' + std::to_string(byte);
                continue;
            }
            if (!quoted) FOut += '\'';
            quoted = true;
            if (c == '\'') FOut += '\'';
            AppendUtf8(FOut, char32_t(character));
        }
        if (quoted) FOut += '\'';
    }

    // Text that Windows-1252 holds entirely is written like an 8-bit string; otherwise code
    // units 0x80..0x9F and lone surrogates get four-digit escapes, which always mean UTF-16.
    void WriteWideString(const std::u16string &units, int level, bool afterEquals) {
        std::string bytes;
        bytes.reserve(units.size());
        for (char16_t unit : units) {
            const int byte = UnicodeToCp1252(unit);
            if (byte < 0) break;
            bytes += char(byte);
        }
        if (bytes.size() == units.size()) {
            WriteString(bytes, level, afterEquals);
            FOut += 'W';
            return;
        }

        std::size_t count = 0;
        for (std::size_t i = 0; i < units.size(); ++count)
            i = PieceEnd(units, i);
        std::size_t start = 0;
        for (std::size_t piece = 0; piece < count; ++piece) {
            BeginPiece(piece, count, level, afterEquals);
            const std::size_t end = PieceEnd(units, start);
            bool quoted = false;
            auto escape = [&](char16_t unit) {
                if (quoted) FOut += '\'';
                quoted = false;
                std::string digits = std::to_string(unsigned(unit));
                if (unit >= 0x80 && digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
                FOut += '#' + digits;
            };
            for (std::size_t i = start; i < end; ++i) {
                const char16_t unit = units[i];
                char32_t character = unit;
                if (IsHighSurrogate(unit) && i + 1 < end && IsLowSurrogate(units[i + 1])) {
                    character =
                        0x10000 + ((char32_t(unit) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
                    ++i;
                } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit) || unit < 0x20 ||
                           (unit >= 0x7F && unit <= 0x9F)) {
                    escape(unit);
                    continue;
                }
                if (!quoted) FOut += '\'';
                quoted = true;
                if (character == '\'') FOut += '\'';
                AppendUtf8(FOut, character);
            }
            if (quoted) FOut += '\'';
            start = end;
        }
    }

    // Pieces never separate the two halves of a surrogate pair.
    static std::size_t PieceEnd(const std::u16string &units, std::size_t start) {
        std::size_t end = std::min(units.size(), start + StringPieceLength);
        if (end < units.size() && IsHighSurrogate(units[end - 1]) && IsLowSurrogate(units[end]))
            ++end;
        return end;
    }

    TValueReader FReader;
    std::string FOut;
};

} // namespace

std::string ObjectBinaryToText(TMemoryStream &input) {
    return TDumper(input).Run();
}
