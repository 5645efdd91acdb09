#pragma once

// Rules shared by the dumper and the parser of the text form, so that whatever one writes the
// other reads back to the same bytes.

#include "Values.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace TextFormDetail {

constexpr std::size_t MaxNameLength = 255;
// A class name's length byte of 0xF0 or above would read as a record prefix.
constexpr std::size_t MaxClassNameLength = 0xEF;
// Long strings and binary data are cut into lines of this many characters or bytes.
constexpr std::size_t StringPieceLength = 64;
constexpr std::size_t BinaryLineBytes = 32;
// Generous for any shortest float; guards the float parsers against huge digit strings.
constexpr std::size_t MaxNumberLength = 256;

// Letters, digits and underscores, not starting with a digit; with allowDots, several such
// parts joined by single dots.
bool IsIdentifier(std::string_view text, bool allowDots);
// False, True, Null and nil in any case: identifiers the writer turns into their own tags.
bool IsValueWord(std::string_view text);

// Decimal; with the width as "i8", "i16", "i32" or "i64" when the tag is not the smallest that
// holds the value.
std::string FormatInteger(std::int64_t value, TValueType type);

// The text of a float of each kind, suffix included: the shortest decimal that reads back to the
// same bits, or the bits in hex ("$" and 8, 16 or 20 digits) when no decimal does.
std::string FormatExtended(const std::uint8_t (&bytes)[ExtendedSize]);
std::string FormatSingle(std::uint32_t bits);
std::string FormatDate(std::uint64_t bits);
std::string FormatCurrency(std::int64_t value);

// Reads a decimal without its suffix (-?digits[.digits][E[+-]digits]); false when it is out of
// range or not allowed for the kind.
bool ParseExtended(std::string_view number, std::uint8_t (&bytes)[ExtendedSize]);
bool ParseSingle(std::string_view number, std::uint32_t &bits);
bool ParseDate(std::string_view number, std::uint64_t &bits);
bool ParseCurrency(std::string_view number, std::int64_t &value);

} // namespace TextFormDetail
