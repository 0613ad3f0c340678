#include "platform/KeyCodes.h"

#include <utility>

namespace {

struct TKeyMapping {
    int KeyCode;
    uint32_t KeySym;
    int QtKey;        // the key as Qt reports it without Shift
    int ShiftedQtKey; // the same key with Shift on the US layout, or 0
    bool Keypad;      // the key lies on the numeric keypad
};

constexpr uint32_t XkF1 = 0xffbe;
constexpr uint32_t XkKp0 = 0xffb0;

constexpr TKeyMapping KeyTable[] = {
    {8, 0xff08, Qt::Key_Backspace, 0, false},
    {9, 0xff09, Qt::Key_Tab, Qt::Key_Backtab, false},
    {13, 0xff0d, Qt::Key_Return, 0, false},
    {13, 0xff8d, Qt::Key_Enter, 0, false},
    {19, 0xff13, Qt::Key_Pause, 0, false},
    {27, 0xff1b, Qt::Key_Escape, 0, false},
    {32, 0x0020, Qt::Key_Space, 0, false},
    {33, 0xff55, Qt::Key_PageUp, 0, false},
    {34, 0xff56, Qt::Key_PageDown, 0, false},
    {35, 0xff57, Qt::Key_End, 0, false},
    {36, 0xff50, Qt::Key_Home, 0, false},
    {37, 0xff51, Qt::Key_Left, 0, false},
    {38, 0xff52, Qt::Key_Up, 0, false},
    {39, 0xff53, Qt::Key_Right, 0, false},
    {40, 0xff54, Qt::Key_Down, 0, false},
    {44, 0xff61, Qt::Key_Print, 0, false},
    {45, 0xff63, Qt::Key_Insert, 0, false},
    {46, 0xffff, Qt::Key_Delete, 0, false},
    {93, 0xff67, Qt::Key_Menu, 0, false},
    {106, 0xffaa, Qt::Key_Asterisk, 0, true},
    {107, 0xffab, Qt::Key_Plus, 0, true},
    {109, 0xffad, Qt::Key_Minus, 0, true},
    {110, 0xffae, Qt::Key_Period, 0, true},
    {110, 0xffae, Qt::Key_Comma, 0, true}, // the keypad separator of some layouts
    {111, 0xffaf, Qt::Key_Slash, 0, true},
    {186, 0x003b, Qt::Key_Semicolon, Qt::Key_Colon, false},
    {187, 0x003d, Qt::Key_Equal, Qt::Key_Plus, false},
    {188, 0x002c, Qt::Key_Comma, Qt::Key_Less, false},
    {189, 0x002d, Qt::Key_Minus, Qt::Key_Underscore, false},
    {190, 0x002e, Qt::Key_Period, Qt::Key_Greater, false},
    {191, 0x002f, Qt::Key_Slash, Qt::Key_Question, false},
    {192, 0x0060, Qt::Key_QuoteLeft, Qt::Key_AsciiTilde, false},
    {219, 0x005b, Qt::Key_BracketLeft, Qt::Key_BraceLeft, false},
    {220, 0x005c, Qt::Key_Backslash, Qt::Key_Bar, false},
    {221, 0x005d, Qt::Key_BracketRight, Qt::Key_BraceRight, false},
    {222, 0x0027, Qt::Key_Apostrophe, Qt::Key_QuoteDbl, false},
};

// The shifted digits of the US layout: Shift+1 arrives as "!".
constexpr std::pair<int, int> ShiftedDigits[] = {
    {Qt::Key_ParenRight, 48},  {Qt::Key_Exclam, 49},    {Qt::Key_At, 50},
    {Qt::Key_NumberSign, 51},  {Qt::Key_Dollar, 52},    {Qt::Key_Percent, 53},
    {Qt::Key_AsciiCircum, 54}, {Qt::Key_Ampersand, 55}, {Qt::Key_Asterisk, 56},
    {Qt::Key_ParenLeft, 57}};

bool InRange(int value, int first, int last) {
    return value >= first && value <= last;
}

} // namespace

uint32_t KeyCodeToKeySym(int keyCode) {
    if (InRange(keyCode, '0', '9'))
        return static_cast<uint32_t>(keyCode);
    if (InRange(keyCode, 'A', 'Z'))
        return static_cast<uint32_t>(keyCode - 'A' + 'a');
    if (InRange(keyCode, 96, 105))
        return XkKp0 + static_cast<uint32_t>(keyCode - 96);
    if (InRange(keyCode, 112, 135))
        return XkF1 + static_cast<uint32_t>(keyCode - 112);
    for (const TKeyMapping& key : KeyTable)
        if (key.KeyCode == keyCode && key.KeySym != 0)
            return key.KeySym;
    return 0;
}

int KeyCodeFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (InRange(qtKey, Qt::Key_0, Qt::Key_9))
        return keypad ? 96 + qtKey - Qt::Key_0 : qtKey;
    if (InRange(qtKey, Qt::Key_A, Qt::Key_Z))
        return qtKey;
    if (InRange(qtKey, Qt::Key_F1, Qt::Key_F24))
        return 112 + qtKey - Qt::Key_F1;
    // Keypad keys first, so that the keypad's "+" is not taken for the "=" key's shifted symbol.
    for (const TKeyMapping& key : KeyTable)
        if (key.Keypad && keypad && key.QtKey == qtKey)
            return key.KeyCode;
    for (const TKeyMapping& key : KeyTable)
        if (!key.Keypad && (key.QtKey == qtKey || key.ShiftedQtKey == qtKey))
            return key.KeyCode;
    for (const auto& [shiftedKey, keyCode] : ShiftedDigits)
        if (shiftedKey == qtKey)
            return keyCode;
    return 0;
}
