#include "app/CardList.h"
#include "common/Win1252.h"

#include <gtest/gtest.h>

namespace {

// Distinct stand-ins for cards: the list only keeps and compares the pointers.
const TDataItem* Card(int n) {
    static char tokens[64];
    return reinterpret_cast<const TDataItem*>(&tokens[n]);
}

TCardList SortedList(const std::vector<std::string>& names) {
    TCardList list;
    list.Reserve(static_cast<int>(names.size()));
    for (size_t i = 0; i < names.size(); ++i)
        list.Add(names[i], Card(static_cast<int>(i)));
    list.Sort();
    return list;
}

// The row-by-row walk from the top, as the search is defined, over the sort keys.
TSearchResult Walk(const TCardList& list, const std::string& text) {
    if (text.empty())
        return {};
    const std::string key = AnsiSortKey(text);
    for (int row = 0; row < list.Count(); ++row) {
        const int order = key.compare(AnsiSortKey(list.Row(row).Text).substr(0, key.size()));
        if (order == 0)
            return {true, true, row};
        if (order < 0)
            return {false, true, row - 1};
    }
    return {};
}

} // namespace

TEST(CardListSearch, MovesToFirstPrefixMatchOrToTheRowAboveTheStop) {
    const TCardList list = SortedList({"Cabal", "Bayou", "Badger"});
    struct Case {
        std::string text;
        TSearchResult expected;
    };
    const Case cases[] = {
        {"b", {true, true, 0}},   // Badger
        {"ba", {true, true, 0}},  // Badger
        {"BAY", {true, true, 1}}, // Bayou, whatever the case
        {"Bz", {false, true, 1}}, // Bayou: the row above Cabal
        {"Bayoux", {false, true, 1}},
        {"a", {false, true, -1}},       // before the first row: no row current
        {"Cabala", {false, false, -1}}, // after every row: the current row stays
        {"z", {false, false, -1}},
        {"", {false, false, -1}}, // empty text: the current row stays
    };
    for (const auto& c : cases) {
        const TSearchResult result = list.Search(c.text);
        EXPECT_EQ(result.Found, c.expected.Found) << c.text;
        EXPECT_EQ(result.MovesCurrent, c.expected.MovesCurrent) << c.text;
        if (c.expected.MovesCurrent) {
            EXPECT_EQ(result.Row, c.expected.Row) << c.text;
        }
    }
}

TEST(CardListSearch, EveryNameIsFoundByEachOfItsPrefixes) {
    // Letter case, accented letters, punctuation, digits and names that begin other names.
    const std::vector<std::string> names = {
        "Fireball",      "fire",   "Fire Drake", "Fire-Eater", "\xC6ther Vial", "aether Hub",
        "\xC9lan",       "Elan",   "elk",        "Zzyzx",      "3 Wishes",      "\"Ach!\"",
        "\xE9lan vital", "Zo\xEB", "Zoe",        "Oath",       "Oath of Druids"};
    const TCardList list = SortedList(names);
    for (int row = 0; row < list.Count(); ++row) {
        const std::string& name = list.Row(row).Text;
        for (size_t length = 1; length <= name.size(); ++length) {
            const std::string prefix = AnsiLowerCase(name.substr(0, length));
            const TSearchResult result = list.Search(prefix);
            ASSERT_TRUE(result.Found) << prefix;
            const std::string key = AnsiSortKey(prefix);
            ASSERT_TRUE(list.Row(result.Row).Key.starts_with(key)) << prefix;
            // the first such row: the one above does not begin with the prefix
            if (result.Row > 0) {
                ASSERT_FALSE(list.Row(result.Row - 1).Key.starts_with(key)) << prefix;
            }
        }
    }
}

TEST(CardListSearch, NamesAreFoundTypedWithoutTheirAccentsOrTypographicQuotes) {
    const TCardList list =
        SortedList({"Knock-Knock Gremlin", "K\xE4rv\xF6ld Skald", "Kettle",
                    "M\xE2"
                    "chefer Golem",
                    "Mossgrown Idol", "Jester\x92s Cap", "\xC6ther Vial", "Adder"});
    const struct {
        std::string Text, Expected;
    } cases[] = {
        {"karv", "K\xE4rv\xF6ld Skald"},
        {"K\xC4RV", "K\xE4rv\xF6ld Skald"},
        {"mach", "M\xE2"
                 "chefer Golem"},
        {"jester's", "Jester\x92s Cap"},
        {"aeth", "\xC6ther Vial"},
        {"\xE6", "\xC6ther Vial"},
    };
    for (const auto& c : cases) {
        const TSearchResult result = list.Search(c.Text);
        ASSERT_TRUE(result.Found) << c.Text;
        EXPECT_EQ(list.Row(result.Row).Text, c.Expected) << c.Text;
    }
    // Accented names sort among their plain neighbours.
    EXPECT_EQ(list.Row(list.Search("Ka").Row + 1).Text, "Kettle");
}

TEST(CardListSearch, AgreesWithTheRowByRowWalk) {
    const TCardList list =
        SortedList({"Abandon", "Abyss", "Badger", "Bayou", "Cabal", "cabal", "Zephyr", "\xC6ther"});
    for (const std::string text : {"", "0", "A", "ab", "Abz", "b", "Bb", "C", "cabal", "cabalx",
                                   "D", "zz", "\xE6", "\xFF"}) {
        const TSearchResult walk = Walk(list, text);
        const TSearchResult search = list.Search(text);
        EXPECT_EQ(search.Found, walk.Found) << text;
        EXPECT_EQ(search.MovesCurrent, walk.MovesCurrent) << text;
        EXPECT_EQ(search.Row, walk.Row) << text;
    }
}

TEST(CardListSort, IgnoresCaseKeepsEqualNamesInOrderAndReportsNewPositions) {
    TCardList list;
    list.Add("bayou", Card(0));
    list.Add("Abyss", Card(1));
    list.Add("BADGER", Card(2));
    list.Add("abyss", Card(3));
    const std::vector<int> moved = list.Sort();

    std::vector<std::string> texts;
    for (int row = 0; row < list.Count(); ++row)
        texts.push_back(list.Row(row).Text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Abyss", "abyss", "BADGER", "bayou"}));
    EXPECT_EQ(moved, (std::vector<int>{3, 0, 2, 1}));
    for (int before = 0; before < 4; ++before)
        EXPECT_EQ(list.Row(moved[before]).Item, Card(before));
    EXPECT_EQ(list.IndexOf(Card(2)), 2);
    EXPECT_EQ(list.IndexOf(nullptr), -1);
}

TEST(CardListSearch, EmptyListFindsNothingAndMovesNothing) {
    const TCardList list;
    const TSearchResult result = list.Search("a");
    EXPECT_FALSE(result.Found);
    EXPECT_FALSE(result.MovesCurrent);
}
