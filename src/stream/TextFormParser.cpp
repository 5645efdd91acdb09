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

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetterOrDigit(char c) {
    return IsLetter(c) || IsDigit(c);
}
// strchr would also find the terminating zero.
bool IsOneOf(char c, const char *set) {
    return c != '\0' && std::strchr(set, c) != nullptr;
}
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

    // With several, one object after another, each a stream of its own.
    void Run(bool several) {
        if (FText.substr(0, 3) == "\xEF\xBB\xBF") FPosition = 3;
        TToken keyword = Next();
        if (!IsRecordKeyword(keyword)) Fail(keyword.start, "'object' expected");
        for (;;) {
            FWriter.WriteBytes(StreamSignature.data(), StreamSignature.size());
            ParseObject(keyword, 0);
            keyword = Next();
            if (keyword.kind == TTokenKind::End) return;
            if (!several) Fail(keyword.start, "End of text expected after the last 'end'");
            if (!IsRecordKeyword(keyword))
                Fail(keyword.start, "'object' or end of text expected after 'end'");
        }
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
        while (AtDigit())
            ++FPosition;
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
                while (FPosition < FText.size() && IsLetterOrDigit(FText[FPosition]))
                    ++FPosition;
                if (!(At('.') && FPosition + 1 < FText.size() && IsLetter(FText[FPosition + 1])))
                    break;
                ++FPosition;
            }
        } else if (IsDigit(c) || (c == '-' && AtDigit(1))) {
            token.kind = TTokenKind::Number;
            LexNumber();
        } else if (c == '$') {
            token.kind = TTokenKind::RawFloat;
            ++FPosition;
            while (FPosition < FText.size() && HexValue(FText[FPosition]) >= 0)
                ++FPosition;
            if (FPosition - token.start > 21 ||
                (FPosition < FText.size() && IsLetterOrDigit(FText[FPosition])))
                Fail(token.start, "A float in hex has 8, 16 or 20 digits");
        } else if (c == '\'') {
            token.kind = TTokenKind::Quoted;
            ++FPosition;
            for (;;) {
                if (FPosition >= FText.size() || FText[FPosition] == '\n' ||
                    FText[FPosition] == '\r')
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
        } else if (IsOneOf(c, "=:[](){}<>,+&")) {
            token.kind = TTokenKind::Symbol;
            ++FPosition;
        } else {
            Fail(FPosition, "Unexpected character");
        }
        token.end = FPosition;
        return token;
    }

    // -digits[.digits][E[+-]digits][s|c|d], or -digits and a width (i16), and nothing word-like
    // straight after.
    void LexNumber() {
        const std::size_t start = FPosition;
        if (At('-')) ++FPosition;
        SkipDigits();
        bool whole = true;
        if (At('.') && AtDigit(1)) {
            whole = false;
            ++FPosition;
            SkipDigits();
        }
        if (At('e') || At('E')) {
            const std::size_t sign = (FPosition + 1 < FText.size() &&
                                      (FText[FPosition + 1] == '+' || FText[FPosition + 1] == '-'))
                                         ? 1
                                         : 0;
            if (AtDigit(1 + sign)) {
                whole = false;
                FPosition += 1 + sign;
                SkipDigits();
            }
        }
        if (FPosition < FText.size() && IsOneOf(FText[FPosition], "sScCdD")) {
            ++FPosition;
        } else if (whole && (At('i') || At('I')) && AtDigit(1)) {
            ++FPosition;
            SkipDigits();
        }
        if (FPosition < FText.size() &&
            (IsLetterOrDigit(FText[FPosition]) || FText[FPosition] == '.'))
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
    static bool IsStringStart(const TToken &token) {
        return token.kind == TTokenKind::Quoted || token.kind == TTokenKind::Escape;
    }
    // A keyword is a property name when "=" follows it; a quoted name is always one.
    bool IsPropertyName(const TToken &token) {
        return (token.kind == TTokenKind::Identifier && IsSymbol(Peek(), '=')) ||
               IsStringStart(token);
    }
    void Expect(char symbol) {
        const TToken token = Next();
        if (!IsSymbol(token, symbol)) Fail(token.start, std::string("'") + symbol + "' expected");
    }

    // An identifier, or any 8-bit text written as a string without gaps ('1 x', #9'a').
    std::string NameText(const TToken &token, const char *what) {
        if (token.kind == TTokenKind::Identifier) return std::string(TextOf(token));
        if (!IsStringStart(token)) Fail(token.start, std::string(what) + " expected");
        TToken last = token;
        bool wide = false;
        const std::u16string units = DecodeString(last, false, wide);
        if (wide) Fail(token.start, std::string(what) + " outside Windows-1252");
        return Cp1252Bytes(units);
    }

    void CheckName(const TToken &token, std::string_view name, const char *what, bool allowDots,
                   std::size_t maxLength) {
        if (token.kind == TTokenKind::Identifier && !allowDots &&
            name.find('.') != std::string_view::npos)
            Fail(token.start, std::string("Invalid ") + what);
        if (name.size() > maxLength) Fail(token.start, std::string(what) + " too long");
    }

    std::string Name(const TToken &token, const char *what, bool allowDots, std::size_t maxLength) {
        std::string name = NameText(token, what);
        CheckName(token, name, what, allowDots, maxLength);
        return name;
    }

    struct TInteger {
        std::int64_t value;
        TValueType type;
    };

    // Decimal digits and an optional width ("i16"), at most the widest tag allowed; without a
    // width the smallest tag that holds the value.
    TInteger ParseInteger(const TToken &token, TValueType widest, const char *what) {
        std::string_view text = TextOf(token);
        if (token.kind != TTokenKind::Number ||
            text.find_first_of(".eEsScCdD") != std::string_view::npos)
            Fail(token.start, std::string(what) + ": integer expected");
        TValueType type = widest;
        const std::size_t width = text.find_first_of("iI");
        if (width != std::string_view::npos) {
            const std::string_view bits = text.substr(width + 1);
            type = bits == "8"    ? TValueType::vaInt8
                   : bits == "16" ? TValueType::vaInt16
                   : bits == "32" ? TValueType::vaInt32
                   : bits == "64" ? TValueType::vaInt64
                                  : TValueType::vaNull;
            if (type == TValueType::vaNull)
                Fail(token.start, "Integer width i8, i16, i32 or i64 expected");
            // The tags' numbers grow with their width.
            if (std::uint8_t(type) > std::uint8_t(widest))
                Fail(token.start, std::string(what) + " too wide");
            text = text.substr(0, width);
        }
        const std::uint64_t high = type == TValueType::vaInt8    ? 0x7F
                                   : type == TValueType::vaInt16 ? 0x7FFF
                                   : type == TValueType::vaInt32 ? 0x7FFFFFFF
                                                                 : 0x7FFFFFFFFFFFFFFF;
        const bool negative = text[0] == '-';
        const std::uint64_t limit = negative ? high + 1 : high;
        std::uint64_t magnitude = 0;
        for (char c : text.substr(negative ? 1 : 0)) {
            const unsigned digit = unsigned(c - '0');
            if (magnitude > (limit - digit) / 10)
                Fail(token.start, std::string(what) + " out of range");
            magnitude = magnitude * 10 + digit;
        }
        const std::int64_t value = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
        return {value, width == std::string_view::npos ? IntegerType(value) : type};
    }

    // "[n]" after a class or an item keyword.
    void ParseIndex(const char *what) {
        const TInteger index = ParseInteger(Next(), TValueType::vaInt32, what);
        Expect(']');
        FWriter.WriteInteger(index.value, index.type);
    }

    // ---- records

    void ParseObject(const TToken &keyword, int depth) {
        if (depth > MaxNestingDepth) Fail(keyword.start, "Components nested too deeply");
        std::uint8_t flags = IsWord(keyword, "inherited") ? ffInherited
                             : IsWord(keyword, "inline")  ? ffInline
                                                          : 0;
        // "object $F5": a prefix byte the words cannot give, written as it is.
        const bool givenPrefix = Peek().kind == TTokenKind::RawFloat;
        if (givenPrefix) {
            const TToken prefix = Next();
            const std::string_view digits = TextOf(prefix).substr(1);
            if (!IsWord(keyword, "object")) Fail(prefix.start, "A prefix byte goes with 'object'");
            if (digits.size() != 2 || (digits[0] != 'F' && digits[0] != 'f'))
                Fail(prefix.start, "Prefix byte $F0 to $FF expected");
            flags = std::uint8_t(HexValue(digits[1]));
        }
        const TToken first = Next();
        TToken classToken = first;
        std::string name, className = NameText(first, "Name");
        if (IsSymbol(Peek(), ':')) {
            name = std::move(className);
            CheckName(first, name, "Component name", false, MaxNameLength);
            Next();
            classToken = Next();
            className = NameText(classToken, "Class name");
        }
        CheckName(classToken, className, "Class name", false, MaxNameLength);
        const bool hasPosition = IsSymbol(Peek(), '[');
        if (!givenPrefix && hasPosition) flags |= ffChildPos;
        if (givenPrefix && hasPosition != ((flags & ffChildPos) != 0))
            Fail(Peek().start,
                 hasPosition ? "The prefix byte has no child position" : "'[' expected");
        const bool hasPrefix = givenPrefix || flags != 0;
        // Without a prefix byte, a class name's length byte must not read as one, nor as the end
        // of the children.
        if (!hasPrefix && className.size() > MaxClassNameLength)
            Fail(classToken.start, "Class name too long");
        if (!hasPrefix && className.empty() && depth > 0)
            Fail(classToken.start, "Class name expected");
        if (hasPrefix) FWriter.WriteByte(0xF0 | flags);
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
        const std::string name = Name(nameToken, "Property name", true, MaxNameLength);
        // An empty name would end the properties.
        if (name.empty()) Fail(nameToken.start, "Property name expected");
        FWriter.WriteShortString(name);
        Expect('=');
        ParseValue(depth, false);
    }

    // ---- values

    void ParseValue(int depth, bool inList) {
        const TToken token = Next();
        switch (token.kind) {
        case TTokenKind::Identifier: {
            const std::string ident = Name(token, "Identifier", true, MaxNameLength);
            if (inList && SameText(ident, "Null")) Fail(token.start, "Null cannot be a list item");
            FWriter.WriteIdent(ident);
            return;
        }
        case TTokenKind::Number:
            return ParseNumber(token);
        case TTokenKind::RawFloat:
            return ParseRawFloat(token);
        case TTokenKind::Quoted:
        case TTokenKind::Escape:
            return ParseString(token);
        case TTokenKind::End:
            Fail(token.start, "Value expected");
        case TTokenKind::Symbol:
            break;
        }
        switch (FText[token.start]) {
        case '&': {
            // An identifier that is no plain one, or that would read as False, True, Null or nil.
            const TToken literal = Next();
            if (!IsStringStart(literal)) Fail(literal.start, "String expected after '&'");
            FWriter.WriteValueType(TValueType::vaIdent);
            FWriter.WriteShortString(Name(literal, "Identifier", true, MaxNameLength));
            return;
        }
        case '[':
            return ParseSet();
        case '{':
            return ParseBinary();
        case '(':
            if (depth + 1 > MaxNestingDepth) Fail(token.start, "Values nested too deeply");
            FWriter.WriteValueType(TValueType::vaList);
            while (!IsSymbol(Peek(), ')'))
                ParseValue(depth + 1, true);
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
            const TInteger integer = ParseInteger(token, TValueType::vaInt64, "Integer");
            FWriter.WriteInteger(integer.value, integer.type);
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

    // Pieces written without a gap join directly ('a'#13'b'); with a gap, where joins are
    // allowed, they need a "+". token ends at the last piece.
    std::u16string DecodeString(TToken &token, bool joins, bool &wide) {
        std::u16string units;
        for (;;) {
            if (token.kind == TTokenKind::Quoted)
                DecodeQuoted(token, units, wide);
            else
                DecodeEscape(token, units, wide);
            const TToken &next = Peek();
            if (IsStringStart(next) && next.start == token.end) {
                token = Next();
            } else if (joins && IsSymbol(next, '+')) {
                Next();
                token = Next();
                if (!IsStringStart(token)) Fail(token.start, "String expected after '+'");
            } else {
                break;
            }
        }
        return units;
    }

    // The bytes of text that is not wide.
    static std::string Cp1252Bytes(const std::u16string &units) {
        std::string bytes(units.size(), '\0');
        for (std::size_t i = 0; i < units.size(); ++i) {
            // Only a short escape puts a byte without a character (U+0081 and so on) here.
            const int byte = UnicodeToCp1252(units[i]);
            bytes[i] = char(byte < 0 ? units[i] : byte);
        }
        return bytes;
    }

    void ParseString(TToken token) {
        bool wide = false;
        const std::u16string units = DecodeString(token, true, wide);
        if (units.size() > MaxLength32) Fail(token.start, "String too long");
        // L or W right after the last piece keeps a tag the writer would not choose: a long
        // string below 256 bytes, a wide string that Windows-1252 could hold.
        const TToken &next = Peek();
        const bool marked = next.kind == TTokenKind::Identifier && next.start == token.end;
        const bool asLong = marked && SameText(TextOf(next), "L");
        const bool asWide = marked && SameText(TextOf(next), "W");
        if (asLong && wide) Fail(next.start, "A long string holds only Windows-1252 text");
        if (asLong || asWide) Next();
        if (wide || asWide) return FWriter.WriteWideString(units);
        if (asLong) return FWriter.WriteLongString(Cp1252Bytes(units));
        FWriter.WriteString(Cp1252Bytes(units));
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
                const TToken element = Next();
                const std::string name = Name(element, "Set element", true, MaxNameLength);
                // An empty one would end the set.
                if (name.empty()) Fail(element.start, "Set element expected");
                FWriter.WriteSetElement(name);
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
    TParser(text, binary).Run(false);
    output.Write(binary.Memory(), binary.Size());
}

void ObjectsTextToBinary(std::string_view text, TMemoryStream &output) {
    TMemoryStream binary;
    TParser(text, binary).Run(true);
    output.Write(binary.Memory(), binary.Size());
}
