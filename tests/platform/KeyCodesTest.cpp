#include "platform/KeyCodes.h"

#include <gtest/gtest.h>

TEST(KeyCodes, QtKeysMapToTheirKeyCodeAlsoWhenShifted) {
    const struct {
        int QtKey;
        Qt::KeyboardModifiers Modifiers;
        int Expected;
    } cases[] = {
        {Qt::Key_QuoteLeft, Qt::ControlModifier, 192},
        {Qt::Key_AsciiTilde, Qt::ControlModifier | Qt::ShiftModifier, 192},
        {Qt::Key_A, Qt::NoModifier, 65},
        {Qt::Key_5, Qt::NoModifier, 53},
        {Qt::Key_5, Qt::KeypadModifier, 101},
        {Qt::Key_Exclam, Qt::ShiftModifier, 49},
        {Qt::Key_ParenRight, Qt::ShiftModifier, 48},
        {Qt::Key_Plus, Qt::ShiftModifier, 187},
        {Qt::Key_Plus, Qt::KeypadModifier, 107},
        {Qt::Key_Asterisk, Qt::ShiftModifier, 56},
        {Qt::Key_Asterisk, Qt::KeypadModifier, 106},
        {Qt::Key_Insert, Qt::KeypadModifier, 45}, // keypad 0 with NumLock off
        {Qt::Key_Enter, Qt::KeypadModifier, 13},
        {Qt::Key_Backtab, Qt::ShiftModifier, 9},
        {Qt::Key_F5, Qt::NoModifier, 116},
        {Qt::Key_F24, Qt::NoModifier, 135},
        {Qt::Key_Escape, Qt::NoModifier, 27},
        {Qt::Key_Meta, Qt::NoModifier, 0},
        {Qt::Key_VolumeUp, Qt::NoModifier, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeyCodeFromQtKey(c.QtKey, c.Modifiers), c.Expected) << std::hex << c.QtKey;
}

TEST(KeyCodes, KeyCodesMapToUnshiftedKeySyms) {
    EXPECT_EQ(KeyCodeToKeySym(192), 0x60u);   // grave
    EXPECT_EQ(KeyCodeToKeySym('A'), 0x61u);   // a
    EXPECT_EQ(KeyCodeToKeySym(116), 0xffc2u); // F5
    EXPECT_EQ(KeyCodeToKeySym(101), 0xffb5u); // KP_5
    EXPECT_EQ(KeyCodeToKeySym(13), 0xff0du);  // Return
    EXPECT_EQ(KeyCodeToKeySym(0), 0u);
    EXPECT_EQ(KeyCodeToKeySym(255), 0u);
}
