#pragma once

// Windows-1252, the 8-bit text of component streams, mapped to and from Unicode without Qt.

#include <cstdint>

// The character of a byte, or -1 for the five bytes that have none (0x81, 0x8D, 0x8F, 0x90, 0x9D).
int Cp1252ToUnicode(std::uint8_t byte);

// The byte that holds a character, or -1 when Windows-1252 has no byte for it.
int UnicodeToCp1252(char32_t character);
