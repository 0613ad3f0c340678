#pragma once
#include <QString>
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

char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
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
