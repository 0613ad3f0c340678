#include "app/ShortCuts.h"
#include "platform/KeyCodes.h"

#include <gtest/gtest.h>

TEST(ShortCuts, ParsesPrefixesInAnyOrderAndCaseThenTheKeyName) {
    const struct {
        const char* Text;
        TShortCut Expected;
    } cases[] = {
        {"Ctrl+`", ShortCutCtrl | 192},
        {"Ctrl+Shift+`", ShortCutCtrl | ShortCutShift | 192},
        {"ctrl+shift+a", ShortCutCtrl | ShortCutShift | 'A'},
        {"^F5", ShortCutCtrl | 116},
        {"alt+^sHIFT+del", ShortCutAlt | ShortCutCtrl | ShortCutShift | 46},
        {"Ctrl+Num +", ShortCutCtrl | 107},
        {"Enter", 13},
        {"Ctrl+5", ShortCutCtrl | '5'}, // the keypad's 5 has the same name; the walk finds 53 first
        {"Ctrl+", 0},
        {"", 0},
        {"Alt+", 0},
        {"Ctrl+Shift+", 0},
        {"Ctrl+NoSuchKey", 0},
        {"Ctrl+`+", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToShortCut(c.Text), c.Expected) << c.Text;
}

TEST(ShortCuts, WritesShiftThenCtrlThenAltThenTheName) {
    EXPECT_EQ(ShortCutToText(ShortCutCtrl | ShortCutShift | 'A'), "Shift+Ctrl+A");
    EXPECT_EQ(ShortCutToText(ShortCutAlt | ShortCutCtrl | ShortCutShift | 192), "Shift+Ctrl+Alt+`");
    EXPECT_EQ(ShortCutToText(ShortCutAlt | 27), "Alt+Esc");
    EXPECT_EQ(ShortCutToText(101), "5");
    EXPECT_EQ(ShortCutToText(135), "F24");
    EXPECT_EQ(ShortCutToText(ShortCutCtrl | 255), ""); // a key without a name
    EXPECT_EQ(ShortCutToText(ShortCutCtrl), "");
}

TEST(ShortCuts, EveryNamedKeyReadsBackAsItselfAndCanBeGrabbed) {
    for (int keyCode = 8; keyCode <= 255; ++keyCode) {
        const std::string name = KeyCodeName(keyCode);
        if (name.empty())
            continue;
        const TShortCut shortCut = ShortCutShift | ShortCutAlt | keyCode;
        const bool keypadDigit = keyCode >= 96 && keyCode <= 105;
        EXPECT_EQ(TextToShortCut(ShortCutToText(shortCut)),
                  keypadDigit ? shortCut - 96 + '0' : shortCut)
            << name;
        EXPECT_NE(KeyCodeToKeySym(keyCode), 0u) << name;
    }
}

TEST(ShortCuts, SplitsIntoKeyCodeAndHotKeyModifiers) {
    const TShortCutKey key = SplitShortCut(TextToShortCut("Ctrl+Shift+`"));
    EXPECT_EQ(key.KeyCode, 192);
    EXPECT_EQ(HotKeyModifiers(key), 6u);
    EXPECT_EQ(HotKeyModifiers(SplitShortCut(TextToShortCut("Alt+F1"))), 1u);
    EXPECT_EQ(MakeShortCut(key), TextToShortCut("Ctrl+Shift+`"));
}
