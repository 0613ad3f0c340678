#pragma once
#include <Qt>
#include <cstdint>

// A key code is the portable form of a key inside shortcut values: the number the settings have
// always stored (8 Backspace, 13 Enter, 65 to 90 the letters, 112 F1, 192 the grave-accent key...).
// These functions map it to an X keysym for grabbing and from a Qt key for capturing.

constexpr int KeyCodeShift = 16;
constexpr int KeyCodeControl = 17;
constexpr int KeyCodeAlt = 18;

// The keysym of the key's unshifted symbol, or 0 for a code that names no key here.
uint32_t KeyCodeToKeySym(int keyCode);

// The key code of a key press as Qt reports it, or 0 when the key has none. Shifted symbols of
// the US layout ("~", "!", "{"...) give the code of their key; keypad digits and operators give
// their own codes.
int KeyCodeFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers);
