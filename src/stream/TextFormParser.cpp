// Text -> binary component stream: a lexer and a recursive-descent parser that writes through
// TValueWriter as it goes. Every construct is linear in the text and nesting is bounded.
#include "TextForm.h"

#include "Cp1252.h"
#include "Errors.h"
#include "MemoryStream.h"
#include "TextFormDetail.h"
#include "Values.h"

#include <cstring>
#include <limits>

namespace {

using namespace TextFormDetail;

enum class TTokenKind { End, Identifier, Number, RawFloat, Quoted, Escape, Symbol };

struct TToken {
    TTokenKind kind = TTokenKind::End;
    std::size_t start = 0;
    std::size_t end = 0;
};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetterOrDigit(char c) { return IsLetter(c) || IsDigit(c); }
// strchr would also find the terminating zero.
bool IsOneOf(char c, const char *set) { return c != '\0' && std::strchr(set, c) != nullptr; }
int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

constexpr std::uint64_t MaxLength32 = std::numeric_limits<std::uint32_t>::max();

class TParser {
public:
    TParser(std::string_view text, TMemoryStream &output) : FText(text), FWriter(output) {}

    void Run() {
        if (FText.substr(0, 3) == "\xEF\xBB\xBF") FPosition = 3;
        const TToken keyword = Next();
        if (!IsRecordKeyword(keyword)) Fail(keyword.start, "'object' expected");
        FWriter.WriteBytes(StreamSignature.data(), StreamSignature.size());
        ParseObject(keyword, 0);
        const TToken rest = Next();
        if (rest.kind != TTokenKind::End) Fail(rest.start, "End of text expected after the last 'end'");
    }

private:
    // ---- errors

    [[noreturn]] void Fail(std::size_t at, const std::string &message) const {
        at = std::min(at, FText.size());
        int line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < at; ++i)
            if (FText[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        int column = 1;
        for (std::size_t i = lineStart; i < at; ++i)
            if ((std::uint8_t(FText[i]) & 0xC0) != 0x80) ++column;
        throw ETextFormError(message, line, column);
    }

    // ---- tokens

    void SkipBlank() {
        while (FPosition < FText.size()) {
            const char c = FText[FPosition];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                ++FPosition;
            } else if (c == '/' && FPosition + 1 < FText.size() && FText[FPosition + 1] == '/') {
                const std::size_t lineEnd = FText.find('\n', FPosition);
                FPosition = lineEnd == std::string_view::npos ? FText.size() : lineEnd;
            } else {
                break;
            }
        }
    }

    bool At(char c) const { return FPosition < FText.size() && FText[FPosition] == c; }
    bool AtDigit(std::size_t offset = 0) const {
        return FPosition + offset < FText.size() && IsDigit(FText[FPosition + offset]);
    }
    void SkipDigits() {
        while (AtDigit()) ++FPosition;
    }

    TToken Lex() {
        SkipBlank();
        TToken token;
        token.start = FPosition;
        if (FPosition >= FText.size()) {
            token.end = FPosition;
            return token;
        }
        const char c = FText[FPosition];
        if (IsLetter(c)) {
            token.kind = TTokenKind::Identifier;
            for (;;) {
                while (FPosition < FText.size() && IsLetterOrDigit(FText[FPosition])) ++FPosition;
                if (!(At('.') && FPosition + 1 < FText.size() && IsLetter(FText[FPosition + 1]))) break;
                ++FPosition;
            }
        } else if (IsDigit(c) || (c == '-' && AtDigit(1))) {
            token.kind = TTokenKind::Number;
            LexNumber();
        } else if (c == '$') {
            token.kind = TTokenKind::RawFloat;
            ++FPosition;
            while (FPosition < FText.size() && HexValue(FText[FPosition]) >= 0) ++FPosition;
            if (FPosition - token.start > 21 || (FPosition < FText.size() && IsLetterOrDigit(FText[FPosition])))
                Fail(token.start, "A float in hex has 8, 16 or 20 digits");
        } else if (c == '\'') {
            token.kind = TTokenKind::Quoted;
            ++FPosition;
            for (;;) {
                if (FPosition >= FText.size() || FText[FPosition] == '\n' || FText[FPosition] == '\r')
                    Fail(token.start, "Unterminated string");
                if (FText[FPosition++] != '\'') continue;
                if (!At('\'')) break;
                ++FPosition;
            }
        } else if (c == '#') {
            token.kind = TTokenKind::Escape;
            ++FPosition;
            if (!AtDigit()) Fail(FPosition, "Character code expected after '#'");
            SkipDigits();
        } else if (IsOneOf(c, "=:[](){}<>,+")) {
            token.kind = TTokenKind::Symbol;
            ++FPosition;
        } else {
            Fail(FPosition, "Unexpected character");
        }
        token.end = FPosition;
        return token;
    }

    // -digits[.digits][E[+-]digits][s|c|d], and nothing word-like straight after.
    void LexNumber() {
        const std::size_t start = FPosition;
        if (At('-')) ++FPosition;
        SkipDigits();
        if (At('.') && AtDigit(1)) {
            ++FPosition;
            SkipDigits();
        }
        if (At('e') || At('E')) {
            const std::size_t sign = (FPosition + 1 < FText.size() &&
                                      (FText[FPosition + 1] == '+' || FText[FPosition + 1] == '-')) ? 1 : 0;
            if (AtDigit(1 + sign)) {
                FPosition += 1 + sign;
                SkipDigits();
            }
        }
        if (FPosition < FText.size() && IsOneOf(FText[FPosition], "sScCdD")) ++FPosition;
        if (FPosition < FText.size() && (IsLetterOrDigit(FText[FPosition]) || FText[FPosition] == '.'))
            Fail(start, "Invalid number");
        if (FPosition - start > MaxNumberLength) Fail(start, "Number too long");
    }

    const TToken &Peek() {
        if (!FHavePeek) {
            FPeek = Lex();
            FHavePeek = true;
        }
        return FPeek;
    }

    TToken Next() {
        if (FHavePeek) {
            FHavePeek = false;
            return FPeek;
        }
        return Lex();
    }

    std::string_view TextOf(const TToken &token) const {
        return FText.substr(token.start, token.end - token.start);
    }
    bool IsSymbol(const TToken &token, char symbol) const {
        return token.kind == TTokenKind::Symbol && FText[token.start] == symbol;
    }
    bool IsWord(const TToken &token, std::string_view word) const {
        return token.kind == TTokenKind::Identifier && SameText(TextOf(token), word);
    }
    bool IsRecordKeyword(const TToken &token) const {
        return IsWord(token, "object") || IsWord(token, "inherited") || IsWord(token, "inline");
    }
    // A keyword is a property name when "=" follows it.
    bool IsPropertyName(const TToken &token) {
        return token.kind == TTokenKind::Identifier && IsSymbol(Peek(), '=');
    }
    void Expect(char symbol) {
        const TToken token = Next();
        if (!IsSymbol(token, symbol)) Fail(token.start, std::string("'") + symbol + "' expected");
    }

    std::string_view Name(const TToken &token, const char *what, bool allowDots, std::size_t maxLength) {
        if (token.kind != TTokenKind::Identifier) Fail(token.start, std::string(what) + " expected");
        const std::string_view name = TextOf(token);
        if (!allowDots && name.find('.') != std::string_view::npos)
            Fail(token.start, std::string("Invalid ") + what);
        if (name.size() > maxLength) Fail(token.start, std::string(what) + " too long");
        return name;
    }

    std::int64_t ParseInteger(const TToken &token, std::int64_t low, std::int64_t high, const char *what) {
        const std::string_view text = TextOf(token);
        if (token.kind != TTokenKind::Number || text.find_first_of(".eEsScCdD") != std::string_view::npos)
            Fail(token.start, std::string(what) + ": integer expected");
        const bool negative = text[0] == '-';
        const std::uint64_t limit = negative ? 0 - std::uint64_t(low) : std::uint64_t(high);
        std::uint64_t magnitude = 0;
        for (char c : text.substr(negative ? 1 : 0)) {
            const unsigned digit = unsigned(c - '0');
            if (magnitude > (limit - digit) / 10) Fail(token.start, std::string(what) + " out of range");
            magnitude = magnitude * 10 + digit;
        }
        return negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    }

    // "[n]" after a class or an item keyword.
    void ParseIndex(const char *what) {
        const std::int64_t index = ParseInteger(Next(), std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max(), what);
        Expect(']');
        FWriter.WriteInteger(index);
    }

    // ---- records

    void ParseObject(const TToken &keyword, int depth) {
        if (depth > MaxNestingDepth) Fail(keyword.start, "Components nested too deeply");
        std::uint8_t flags = IsWord(keyword, "inherited") ? ffInherited : IsWord(keyword, "inline") ? ffInline : 0;
        const TToken first = Next();
        std::string_view name, className;
        if (IsSymbol(Peek(), ':')) {
            name = Name(first, "Component name", false, MaxNameLength);
            Next();
            className = Name(Next(), "Class name", false, MaxClassNameLength);
        } else {
            className = Name(first, "Class name", false, MaxClassNameLength);
        }
        const bool hasPosition = IsSymbol(Peek(), '[');
        if (hasPosition) flags |= ffChildPos;
        if (flags != 0) FWriter.WriteByte(0xF0 | flags);
        if (hasPosition) {
            Next();
            ParseIndex("Child position");
        }
        FWriter.WriteShortString(className);
        FWriter.WriteShortString(name);

        bool inChildren = false;
        for (;;) {
            const TToken token = Next();
            if (IsPropertyName(token)) {
                if (inChildren) Fail(token.start, "Properties must come before child components");
                ParseProperty(token, depth);
            } else if (IsWord(token, "end")) {
                break;
            } else if (IsRecordKeyword(token)) {
                if (!inChildren) FWriter.WriteByte(0);
                inChildren = true;
                ParseObject(token, depth + 1);
            } else if (token.kind == TTokenKind::Identifier) {
                Fail(Peek().start, "'=' expected");
            } else {
                Fail(token.start, "Property, 'object' or 'end' expected");
            }
        }
        if (!inChildren) FWriter.WriteByte(0);
        FWriter.WriteByte(0);
    }

    void ParseProperty(const TToken &nameToken, int depth) {
        FWriter.WriteShortString(Name(nameToken, "Property name", true, MaxNameLength));
        Next(); // "="
        ParseValue(depth, false);
    }

    // ---- values

    void ParseValue(int depth, bool inList) {
        const TToken token = Next();
        switch (token.kind) {
        case TTokenKind::Identifier: {
            const std::string_view ident = Name(token, "Identifier", true, MaxNameLength);
            if (inList && SameText(ident, "Null")) Fail(token.start, "Null cannot be a list item");
            FWriter.WriteIdent(ident);
            return;
        }
        case TTokenKind::Number: return ParseNumber(token);
        case TTokenKind::RawFloat: return ParseRawFloat(token);
        case TTokenKind::Quoted:
        case TTokenKind::Escape: return ParseString(token);
        case TTokenKind::End: Fail(token.start, "Value expected");
        case TTokenKind::Symbol: break;
        }
        switch (FText[token.start]) {
        case '[': return ParseSet();
        case '{': return ParseBinary();
        case '(':
            if (depth + 1 > MaxNestingDepth) Fail(token.start, "Values nested too deeply");
            FWriter.WriteValueType(TValueType::vaList);
            while (!IsSymbol(Peek(), ')')) ParseValue(depth + 1, true);
            Next();
            FWriter.WriteListEnd();
            return;
        case '<':
            if (depth + 1 > MaxNestingDepth) Fail(token.start, "Values nested too deeply");
            return ParseCollection(depth + 1);
        }
        Fail(token.start, "Value expected");
    }

    void ParseNumber(const TToken &token) {
        std::string_view text = TextOf(token);
        const char suffix = char(text.back() | 0x20);
        const bool hasSuffix = suffix == 's' || suffix == 'c' || suffix == 'd';
        if (hasSuffix) text.remove_suffix(1);
        const bool isFloat = text.find_first_of(".eE") != std::string_view::npos;
        if (!hasSuffix && !isFloat) {
            FWriter.WriteInteger(ParseInteger(token, std::numeric_limits<std::int64_t>::min(),
                                              std::numeric_limits<std::int64_t>::max(), "Integer"));
            return;
        }
        bool valid;
        if (!hasSuffix) {
            std::uint8_t bytes[ExtendedSize];
            valid = ParseExtended(text, bytes);
            if (valid) {
                FWriter.WriteValueType(TValueType::vaExtended);
                FWriter.WriteBytes(bytes, ExtendedSize);
            }
        } else if (suffix == 's') {
            std::uint32_t bits;
            valid = ParseSingle(text, bits);
            if (valid) {
                FWriter.WriteValueType(TValueType::vaSingle);
                FWriter.WriteUInt32(bits);
            }
        } else if (suffix == 'd') {
            std::uint64_t bits;
            valid = ParseDate(text, bits);
            if (valid) WriteUInt64(TValueType::vaDate, bits);
        } else {
            if (text.find_first_of("eE") != std::string_view::npos)
                Fail(token.start, "Currency is written without an exponent");
            std::int64_t value;
            valid = ParseCurrency(text, value);
            if (!valid) Fail(token.start, "Currency out of range or with more than four decimals");
            WriteUInt64(TValueType::vaCurrency, std::uint64_t(value));
        }
        if (!valid) Fail(token.start, "Number out of range");
    }

    void WriteUInt64(TValueType type, std::uint64_t value) {
        FWriter.WriteValueType(type);
        FWriter.WriteUInt32(std::uint32_t(value));
        FWriter.WriteUInt32(std::uint32_t(value >> 32));
    }

    // "$" and the bits: 8 digits a single, 16 a date, 20 an extended (sign and exponent first).
    void ParseRawFloat(const TToken &token) {
        const std::string_view digits = TextOf(token).substr(1);
        std::uint64_t high = 0, low = 0;
        const std::size_t highDigits = digits.size() == 20 ? 4 : 0;
        if (digits.size() != 8 && digits.size() != 16 && digits.size() != 20)
            Fail(token.start, "A float in hex has 8, 16 or 20 digits");
        for (std::size_t i = 0; i < digits.size(); ++i) {
            std::uint64_t &part = i < highDigits ? high : low;
            part = (part << 4) | std::uint64_t(HexValue(digits[i]));
        }
        if (digits.size() == 8) {
            FWriter.WriteValueType(TValueType::vaSingle);
            FWriter.WriteUInt32(std::uint32_t(low));
        } else if (digits.size() == 16) {
            WriteUInt64(TValueType::vaDate, low);
        } else {
            FWriter.WriteValueType(TValueType::vaExtended);
            FWriter.WriteUInt32(std::uint32_t(low));
            FWriter.WriteUInt32(std::uint32_t(low >> 32));
            FWriter.WriteByte(std::uint8_t(high));
            FWriter.WriteByte(std::uint8_t(high >> 8));
        }
    }

    // Pieces written without a gap join directly ('a'#13'b'); with a gap they need a "+".
    void ParseString(TToken token) {
        std::u16string units;
        bool wide = false;
        for (;;) {
            if (token.kind == TTokenKind::Quoted)
                DecodeQuoted(token, units, wide);
            else
                DecodeEscape(token, units, wide);
            const TToken &next = Peek();
            if ((next.kind == TTokenKind::Quoted || next.kind == TTokenKind::Escape) && next.start == token.end) {
                token = Next();
            } else if (IsSymbol(next, '+')) {
                Next();
                token = Next();
                if (token.kind != TTokenKind::Quoted && token.kind != TTokenKind::Escape)
                    Fail(token.start, "String expected after '+'");
            } else {
                break;
            }
        }
        if (units.size() > MaxLength32) Fail(token.start, "String too long");
        if (wide) return FWriter.WriteWideString(units);
        std::string bytes(units.size(), '\0');
        for (std::size_t i = 0; i < units.size(); ++i) {
            // Only a short escape puts a byte without a character (U+0081 and so on) here.
            const int byte = UnicodeToCp1252(units[i]);
            bytes[i] = char(byte < 0 ? units[i] : byte);
        }
        FWriter.WriteString(bytes);
    }

    void DecodeQuoted(const TToken &token, std::u16string &units, bool &wide) {
        const std::size_t end = token.end - 1;
        for (std::size_t i = token.start + 1; i < end;) {
            if (FText[i] == '\'') {
                units += u'\'';
                i += 2;
                continue;
            }
            const char32_t character = DecodeUtf8(i, end);
            if (character >= 0x10000) {
                units += char16_t(0xD800 + ((character - 0x10000) >> 10));
                units += char16_t(0xDC00 + ((character - 0x10000) & 0x3FF));
                wide = true;
            } else {
                units += char16_t(character);
                if (UnicodeToCp1252(character) < 0) wide = true;
            }
        }
    }

    // One UTF-8 character at i (advanced past it); overlong forms, surrogates and cut-off
    // sequences are errors.
    char32_t DecodeUtf8(std::size_t &i, std::size_t end) {
        const std::size_t start = i;
        const std::uint8_t lead = std::uint8_t(FText[i++]);
        if (lead < 0x80) return lead;
        int length;
        char32_t character;
        std::uint8_t low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            character = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            character = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            character = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            Fail(start, "Invalid UTF-8");
        }
        for (int k = 1; k < length; ++k) {
            const std::uint8_t byte = i < end ? std::uint8_t(FText[i]) : 0;
            if (byte < low || byte > high) Fail(start, "Invalid UTF-8");
            low = 0x80;
            high = 0xBF;
            character = (character << 6) | (byte & 0x3F);
            ++i;
        }
        return character;
    }

    // One to three digits up to 255 are a Windows-1252 byte; four or more digits, or a value
    // above 255, are a UTF-16 code unit.
    void DecodeEscape(const TToken &token, std::u16string &units, bool &wide) {
        const std::string_view digits = TextOf(token).substr(1);
        unsigned value = 0;
        for (char c : digits) {
            value = value * 10 + unsigned(c - '0');
            if (value > 0xFFFF) Fail(token.start, "Character code out of range");
        }
        if (digits.size() >= 4 || value > 255) {
            units += char16_t(value);
            if (UnicodeToCp1252(value) < 0) wide = true;
        } else {
            const int character = Cp1252ToUnicode(std::uint8_t(value));
            units += char16_t(character < 0 ? int(value) : character);
        }
    }

    void ParseSet() {
        FWriter.WriteValueType(TValueType::vaSet);
        if (IsSymbol(Peek(), ']')) {
            Next();
        } else {
            for (;;) {
                FWriter.WriteSetElement(Name(Next(), "Set element", true, MaxNameLength));
                const TToken separator = Next();
                if (IsSymbol(separator, ']')) break;
                if (!IsSymbol(separator, ',')) Fail(separator.start, "',' or ']' expected");
            }
        }
        FWriter.WriteSetEnd();
    }

    // Hex digits up to "}", with blanks and comments anywhere between them.
    void ParseBinary() {
        std::string bytes;
        int pending = -1;
        for (;;) {
            SkipBlank();
            if (FPosition >= FText.size()) Fail(FPosition, "'}' expected");
            const char c = FText[FPosition];
            if (c == '}') break;
            const int digit = HexValue(c);
            if (digit < 0) Fail(FPosition, "Hexadecimal digit expected");
            ++FPosition;
            if (pending < 0) {
                pending = digit;
            } else {
                bytes += char(pending * 16 + digit);
                pending = -1;
            }
        }
        if (pending >= 0) Fail(FPosition, "Odd number of hexadecimal digits");
        if (bytes.size() > MaxLength32) Fail(FPosition, "Binary data too long");
        ++FPosition;
        FWriter.WriteBinary(bytes);
    }

    void ParseCollection(int depth) {
        FWriter.WriteValueType(TValueType::vaCollection);
        for (;;) {
            const TToken token = Next();
            if (IsSymbol(token, '>')) break;
            if (!IsWord(token, "item")) Fail(token.start, "'item' or '>' expected");
            if (IsSymbol(Peek(), '[')) {
                Next();
                ParseIndex("Item index");
            }
            FWriter.WriteValueType(TValueType::vaList);
            for (;;) {
                const TToken property = Next();
                if (IsPropertyName(property))
                    ParseProperty(property, depth);
                else if (IsWord(property, "end"))
                    break;
                else if (property.kind == TTokenKind::Identifier)
                    Fail(Peek().start, "'=' expected");
                else
                    Fail(property.start, "Property or 'end' expected");
            }
            FWriter.WriteByte(0);
        }
        FWriter.WriteListEnd();
    }

    std::string_view FText;
    std::size_t FPosition = 0;
    TToken FPeek;
    bool FHavePeek = false;
    TValueWriter FWriter;
};

} // namespace

void ObjectTextToBinary(std::string_view text, TMemoryStream &output) {
    TMemoryStream binary;
    TParser(text, binary).Run();
    output.Write(binary.Memory(), binary.Size());
}
