#include "app/ShortCuts.h"

#include "common/Win1252.h"
#include "platform/GlobalHotKeys.h"

#include <utility>

namespace {

constexpr std::pair<int, const char*> FixedNames[] = {
    {8, "BkSp"},
    {9, "Tab"},
    {13, "Enter"},
    {27, "Esc"},
    {32, "Space"},
    {33, "PgUp"},
    {34, "PgDn"},
    {35, "End"},
    {36, "Home"},
    {37, "Left"},
    {38, "Up"},
    {39, "Right"},
    {40, "Down"},
    {45, "Ins"},
    {46, "Del"},
    // Keys whose names would come from the keyboard layout; fixed here so that stored texts
    // read the same on every machine.
    {19, "Pause"},
    {44, "Print"},
    {93, "Menu"},
    {106, "Num *"},
    {107, "Num +"},
    {109, "Num -"},
    {110, "Num ."},
    {111, "Num /"},
    {186, ";"},
    {187, "="},
    {188, ","},
    {189, "-"},
    {190, "."},
    {191, "/"},
    {192, "`"},
    {219, "["},
    {220, "\\"},
    {221, "]"},
    {222, "'"},
};

constexpr int FirstKeyCode = 8;
constexpr int LastKeyCode = 597;

bool StripPrefix(std::string_view& text, std::string_view prefix) {
    if (!AnsiStartsText(prefix, text))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

} // namespace

std::string KeyCodeName(int keyCode) {
    keyCode &= 0xFF; // codes above 255 repeat the names of the lower ones
    if ((keyCode >= '0' && keyCode <= '9') || (keyCode >= 'A' && keyCode <= 'Z'))
        return std::string(1, static_cast<char>(keyCode));
    if (keyCode >= 96 && keyCode <= 105)
        return std::string(1, static_cast<char>('0' + keyCode - 96));
    if (keyCode >= 112 && keyCode <= 135)
        return "F" + std::to_string(keyCode - 111);
    for (const auto& [code, name] : FixedNames)
        if (code == keyCode)
            return name;
    return {};
}

TShortCut TextToShortCut(std::string_view text) {
    TShortCut modifiers = 0;
    for (;;) {
        if (StripPrefix(text, "Shift+"))
            modifiers |= ShortCutShift;
        else if (StripPrefix(text, "^") || StripPrefix(text, "Ctrl+"))
            modifiers |= ShortCutCtrl;
        else if (StripPrefix(text, "Alt+"))
            modifiers |= ShortCutAlt;
        else
            break;
    }
    if (text.empty())
        return 0;
    for (int keyCode = FirstKeyCode; keyCode <= LastKeyCode; ++keyCode)
        if (AnsiSameText(KeyCodeName(keyCode), text))
            return static_cast<TShortCut>(keyCode | modifiers);
    return 0;
}

std::string ShortCutToText(TShortCut shortCut) {
    const std::string name = KeyCodeName(shortCut & 0xFF);
    if (name.empty())
        return {};
    std::string text;
    if (shortCut & ShortCutShift)
        text += "Shift+";
    if (shortCut & ShortCutCtrl)
        text += "Ctrl+";
    if (shortCut & ShortCutAlt)
        text += "Alt+";
    return text + name;
}

TShortCut MakeShortCut(const TShortCutKey& key) {
    TShortCut shortCut = static_cast<TShortCut>(key.KeyCode & 0x1FFF);
    if (key.Shift)
        shortCut |= ShortCutShift;
    if (key.Ctrl)
        shortCut |= ShortCutCtrl;
    if (key.Alt)
        shortCut |= ShortCutAlt;
    return shortCut;
}

TShortCutKey SplitShortCut(TShortCut shortCut) {
    return {shortCut & 0x1FFF, (shortCut & ShortCutShift) != 0, (shortCut & ShortCutCtrl) != 0,
            (shortCut & ShortCutAlt) != 0};
}

unsigned HotKeyModifiers(const TShortCutKey& key) {
    return (key.Shift ? ModShift : 0u) | (key.Ctrl ? ModControl : 0u) | (key.Alt ? ModAlt : 0u);
}
