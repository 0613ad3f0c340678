#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// A shortcut value holds one key combination: the key code in the low bits plus a bit for each
// modifier; 0 means no shortcut. Settings and the preferences dialog hold the same combination
// as text: modifier prefixes followed by the key's name ("Ctrl+`", "Shift+Ctrl+A").
using TShortCut = uint16_t;

constexpr TShortCut ShortCutShift = 0x2000;
constexpr TShortCut ShortCutCtrl = 0x4000;
constexpr TShortCut ShortCutAlt = 0x8000;

// Identifiers of the global hotkeys. The double copy is never registered: the program sends it
// to its own main window to finish a double copy made in another program.
constexpr int HotKeyOpen = 0xBFFF;
constexpr int HotKeySearch = 0xBFFE;
constexpr int HotKeyDoubleCopy = 0xBFFD;

struct TShortCutKey {
    int KeyCode = 0;
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
};

// The name of a key code, or the empty text for a key without a name.
std::string KeyCodeName(int keyCode);

// Parses a shortcut text: prefixes "Shift+", "Ctrl+" or "^", "Alt+" in any order and case, then
// a key name; 0 when nothing but prefixes is left or no key has the name.
TShortCut TextToShortCut(std::string_view text);
// Writes "Shift+", "Ctrl+", "Alt+" in this order, then the key's name; the empty text when the
// key has no name.
std::string ShortCutToText(TShortCut shortCut);

TShortCut MakeShortCut(const TShortCutKey& key);
TShortCutKey SplitShortCut(TShortCut shortCut);
// The modifier flags of a global hotkey: Shift 4, Ctrl 2, Alt 1.
unsigned HotKeyModifiers(const TShortCutKey& key);
