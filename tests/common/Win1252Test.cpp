#include "common/Win1252.h"

#include <gtest/gtest.h>

TEST(Win1252, RoundTripsEveryByteThroughUtf8AndQString) {
    std::string all;
    for (int i = 1; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
    EXPECT_EQ(QStringToAnsi(AnsiToQString(all)), all);
}

TEST(Win1252, MapsTheHighRangeToItsUnicodeCharacters) {
    EXPECT_EQ(AnsiToUtf8("\x92"), "\u2019");
    EXPECT_EQ(AnsiToUtf8("\xC6"), "\u00C6");
    EXPECT_EQ(AnsiToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(AnsiToQString("\x9C"), QString(QChar(0x0153)));
}

TEST(Win1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToAnsi("a\u4E2Db"), "a?b");
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), "?");
    EXPECT_EQ(QStringToAnsi(QString::fromUtf8("x\xF0\x9F\x98\x80y")), "x?y");
    EXPECT_EQ(Utf8ToAnsi("\xC3"), "?"); // truncated sequence
}

TEST(Win1252, CaseTableCoversAccentedLettersOnly) {
    EXPECT_EQ(AnsiUpperCase("abc \xE6\xE9\x9A\x9C\x9E\xFF"), "ABC \xC6\xC9\x8A\x8C\x8E\x9F");
    EXPECT_EQ(AnsiLowerCase("\xC6\xC9\x8A\x8C\x8E\x9F"), "\xE6\xE9\x9A\x9C\x9E\xFF");
    EXPECT_EQ(AnsiUpperCase("\xDF\xF7\xB5"), "\xDF\xF7\xB5"); // sharp s, division sign, micro
    EXPECT_EQ(AnsiLowerCase("\xD7"), "\xD7");                 // multiplication sign
}

TEST(Win1252, ComparisonIgnoresCaseAndSortsPrefixesFirst) {
    EXPECT_EQ(AnsiCompareText("bayou", "BAYOU"), 0);
    EXPECT_LT(AnsiCompareText("Bay", "bayou"), 0);
    EXPECT_GT(AnsiCompareText("Cabal", "badger"), 0);
    EXPECT_LT(AnsiCompareText("Z", "\xC6"), 0); // by byte value after upper-casing
    EXPECT_TRUE(AnsiSameText("\xE6ther", "\xC6THER"));
    EXPECT_TRUE(AnsiStartsText("ba", "Badger"));
    EXPECT_FALSE(AnsiStartsText("badgers", "Badger"));
}

TEST(Win1252, SortKeyFoldsCaseAccentsAndTypographicMarks) {
    const struct {
        std::string Text, Key;
    } cases[] = {
        {"K\xE4rv\xF6ld Skald", "KARVOLD SKALD"},
        {"\xC6ther Vial", "AETHER VIAL"},
        {"Stra\xDF"
         "e",
         "STRASSE"},
        {"Jester\x92s Cap", "JESTER'S CAP"},
        {"\x93Quoted\x94 \x96 Dash", "\"QUOTED\" - DASH"},
        {"\x8A\x9C\x8E\x9F", "SOEZY"},
        {"100,000 Needles", "100,000 NEEDLES"},
        {"\xD7\xF7", "\xD7\xF7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnsiSortKey(c.Text), c.Key) << c.Text;
    // Folding character by character keeps prefixes prefixes.
    const std::string name = "M\xE2"
                             "chefer \xC6ther";
    for (size_t length = 0; length <= name.size(); ++length)
        EXPECT_EQ(AnsiSortKey(name).rfind(AnsiSortKey(name.substr(0, length)), 0), 0u) << length;
}
