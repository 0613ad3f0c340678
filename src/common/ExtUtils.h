#pragma once
#include "common/Exception.h"

#include <QRect>
#include <bitset>
#include <string>
#include <string_view>

// Small text and integer helpers shared by every subsystem, and the log file beside the
// executable. Texts are 8-bit Windows-1252 byte strings compared exactly, byte by byte.
// File names are program text too (Windows-1252); they are converted for the file system
// when a file is opened.

// A file that could not be opened: "Cannot open file "name". reason".
class EFOpenError : public Exception {
public:
    EFOpenError(const std::string& fileName, const std::string& reason);
};

// A file that could not be created: "Cannot create file "name". reason".
class EFCreateError : public Exception {
public:
    EFCreateError(const std::string& fileName, const std::string& reason);
};

// The set of byte values, one bit each.
using TCharSet = std::bitset<256>;

inline int Iif(bool condition, int valueIfTrue, int valueIfFalse) {
    return condition ? valueIfTrue : valueIfFalse;
}
inline int IntMin(int a, int b) {
    return a < b ? a : b;
}
inline int IntMax(int a, int b) {
    return a > b ? a : b;
}

// Right minus left and bottom minus top of a rectangle whose right and bottom edges lie
// just outside it. A QRect keeps its edges inclusive, so these are its width and height.
inline int RectWidth(const QRect& rect) {
    return rect.width();
}
inline int RectHeight(const QRect& rect) {
    return rect.height();
}

// The file's bytes with every line end (CR LF, lone LF, lone CR) made CR LF, the last line
// included. Raises EFOpenError when the file cannot be read.
std::string LoadTextFile(const std::string& fileName);

// The text between the first `startMarker` and the first `endMarker` after it, with the
// markers when `includeMarkers`. A missing start marker cuts nothing off the front; a
// missing end marker gives the empty text. An empty marker is not searched for.
std::string TextBetween(std::string text, std::string_view startMarker, std::string_view endMarker,
                        bool includeMarkers);

// Replaces what TextBetween would cut out by `newText`. With a missing end marker nothing is
// removed and `newText` is inserted; with an empty end marker everything after the start
// marker is replaced.
std::string ReplaceBetween(std::string text, std::string_view startMarker,
                           std::string_view endMarker, std::string_view newText,
                           bool includeMarkers);

TCharSet CharSetOf(std::string_view text);

// Takes the first token off `text`, which keeps the rest. Leading spaces are skipped; the
// token ends at a delimiter outside quotes (trailing spaces stay in it). Identical quote
// characters pair up, different ones nest; an unmatched quote runs to the end. After the
// token, spaces and one delimiter are skipped, or every directly repeated delimiter when
// `skipRepeated`.
std::string NextQuotedToken(std::string& text, std::string_view delimiters, std::string_view quotes,
                            bool skipRepeated);
// NextQuotedToken without quote characters.
std::string NextToken(std::string& text, std::string_view delimiters, bool skipRepeated);

// Every non-overlapping occurrence of `oldText`, left to right, replaced by `newText`;
// inserted text is not scanned again. An empty `oldText` changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText);

// The executable's path with ".log" in place of its extension (appended when it has none).
std::string LogFileNameFor(const std::string& executablePath);
// Empties the log file beside the executable when one exists and remembers its name;
// otherwise, or when emptying fails, the log is off and the name is empty. Never creates the
// file and never raises. Called once at program start.
void ResetLogFile(const std::string& executablePath);
// The same for the running executable.
void ResetLogFile();
// The name remembered by the last ResetLogFile, or the empty text when the log is off.
const std::string& LogFileName();
