#include "Cp1252.h"

namespace {

// 0x80..0x9F are the only bytes that differ from Latin-1; 0 marks a byte without a character.
constexpr char16_t HighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      //
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

int Cp1252ToUnicode(std::uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    const char16_t character = HighControls[byte - 0x80];
    return character != 0 ? int(character) : -1;
}

int UnicodeToCp1252(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return int(character);
    for (int i = 0; i < 32; ++i)
        if (HighControls[i] != 0 && HighControls[i] == character) return 0x80 + i;
    return -1;
}
