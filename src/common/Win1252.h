#pragma once
#include <QString>
#include <array>
#include <string>
#include <string_view>

// Data text inside the program is 8-bit Windows-1252 held in std::string. These functions
// convert it at the program's boundaries (XML, file names, widgets) and give the one fixed
// case table used for case-insensitive keys, sorting and searching, whatever the locale.
// The five bytes that Windows-1252 leaves undefined map to the C1 controls of the same
// value, so every byte string survives a round trip. Characters outside the code page
// become "?".

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
QString AnsiToQString(std::string_view ansi);
std::string QStringToAnsi(const QString& text);

struct TAnsiCaseTables {
    std::array<unsigned char, 256> Upper{};
    std::array<unsigned char, 256> Lower{};

    constexpr TAnsiCaseTables() {
        for (int i = 0; i < 256; ++i)
            Upper[i] = Lower[i] = static_cast<unsigned char>(i);
        for (int c = 'A'; c <= 'Z'; ++c)
            Pair(c, c + 32);
        for (int c = 0xC0; c <= 0xDE; ++c)
            if (c != 0xD7) // the multiplication sign has no case
                Pair(c, c + 32);
        Pair(0x8A, 0x9A); // S caron
        Pair(0x8C, 0x9C); // OE
        Pair(0x8E, 0x9E); // Z caron
        Pair(0x9F, 0xFF); // Y diaeresis
    }

private:
    constexpr void Pair(int upper, int lower) {
        Upper[lower] = static_cast<unsigned char>(upper);
        Lower[upper] = static_cast<unsigned char>(lower);
    }
};

// Built at compile time; inline so that hashing and sorting fold a character without a call.
inline constexpr TAnsiCaseTables AnsiCaseTables;

inline char AnsiUpperChar(char c) {
    return static_cast<char>(AnsiCaseTables.Upper[static_cast<unsigned char>(c)]);
}

inline char AnsiLowerChar(char c) {
    return static_cast<char>(AnsiCaseTables.Lower[static_cast<unsigned char>(c)]);
}
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

// Compares character by character through the upper-case table, as unsigned bytes:
// negative, zero or positive. A proper prefix sorts before the longer text.
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// True when `text` begins with `prefix`, ignoring case by the same table.
bool AnsiStartsText(std::string_view prefix, std::string_view text);

// The text as people look names up: upper case without accents (\xC4 -> "A", \xC6 -> "AE",
// \xDF -> "SS"), typographic quotes and dashes as their plain forms. Folding goes character
// by character, so the key of a prefix is a prefix of the key.
std::string AnsiSortKey(std::string_view text);
