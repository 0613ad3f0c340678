// The three converters on small sources: what each source line or block becomes.
#include "import/Import.h"
#include "import/ImportTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct TExpected {
    std::string Id;
    std::string Name; // as the parser returns the attribute: escaped once
    std::vector<std::string> CData;
};

void ExpectRecords(const std::vector<TRecord>& records, const std::vector<TExpected>& expected,
                   const std::string& what) {
    ASSERT_EQ(records.size(), expected.size()) << what;
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].Id, expected[i].Id) << what << ", record " << i;
        EXPECT_EQ(records[i].Name, expected[i].Name) << what << ", record " << i;
        EXPECT_EQ(records[i].CData, expected[i].CData) << what << ", record " << i;
    }
}

// The Oracle fragment of a record whose rules are already converted.
std::string Fragment(const std::string& name, const std::string& cost, const std::string& type,
                     const std::string& powerToughness, const std::string& rules) {
    return "<b>" + name + "</b><br>\r" + cost + "<br>\r" + type + "<br>\r" + powerToughness +
           "<br>\r" + rules;
}

struct TOracleCase {
    const char* What;
    std::string Source;
    std::vector<TExpected> Records;
};

TEST(ConvertOracleFile, TurnsEachKindOfRecordIntoItsFragment) {
    const TOracleCase cases[] = {
        {"a land has no cost and reads rules up to the empty line",
         "Marsh\r\nLand\r\n{T}: Add {U}.\r\nIt enters tapped.\r\n\r\nX\r\n",
         {{"marsh",
           "Marsh",
           {Fragment("Marsh", "", "Land", "", "{T}: Add {U}.<br>It enters tapped.")}}}},
        {"a token uses name and type only; the line after it names the next record",
         "Wisp\r\nToken Creature\r\nBolt\r\n{R}\r\nInstant\r\nDeal 3.\r\n",
         {{"wisp", "Wisp", {Fragment("Wisp", "", "Token Creature", "", "")}},
          {"bolt", "Bolt", {Fragment("Bolt", "{R}", "Instant", "", "Deal 3.")}}}},
        {"a creature reads power/toughness; reminder text is set in italics",
         "Scout\r\n{G}\r\nCreature \x97 Elf\r\n1/1\r\nFlying (It flies.)\r\n",
         {{"scout",
           "Scout",
           {Fragment("Scout", "{G}", "Creature \x97 Elf", "1/1", "Flying <i>(It flies.)</i>")}}}},
        {"an artifact creature reads power/toughness",
         "Golem\r\n{5}\r\nArtifact Creature \x97 Golem\r\n4/4\r\n",
         {{"golem",
           "Golem",
           {Fragment("Golem", "{5}", "Artifact Creature \x97 Golem", "4/4", "")}}}},
        {"a legendary creature reads its power/toughness line as rules",
         "Queen\r\n{U}\r\nLegendary Creature\r\n3/4\r\nFlying\r\n",
         {{"queen",
           "Queen",
           {Fragment("Queen", "{U}", "Legendary Creature", "", "3/4<br>Flying")}}}},
        {"an empty line after the name is the cost; the reader does not resynchronise",
         "Odd\r\n\r\n{1}\r\nSorcery\r\nText\r\n",
         {{"odd", "Odd", {Fragment("Odd", "", "{1}", "", "Sorcery<br>Text")}}}},
        {"a split card gives two records; a field without // goes to the left half",
         "A // B\r\n1 // 2\r\nInstant\r\nDeal 2. // Lose 2.\r\n",
         {{"a_ab", "A (A/B)", {Fragment("A (A/B)", "1", "Instant", "", "Deal 2.")}},
          {"b_ab", "B (A/B)", {Fragment("B (A/B)", "2", "", "", "Lose 2.")}}}},
        {"empty and blank lines before and between records are skipped, any line end",
         "\r\n   \r\n\nA\n{1}\rInstant\r\n\r\n\r\n\t\r\nB\r\n{2}\r\nSorcery\r\n",
         {{"a", "A", {Fragment("A", "{1}", "Instant", "", "")}},
          {"b", "B", {Fragment("B", "{2}", "Sorcery", "", "")}}}},
        {"a name on the file's last line is not converted",
         "A\r\n{1}\r\nInstant\r\n\r\nLast",
         {{"a", "A", {Fragment("A", "{1}", "Instant", "", "")}}}},
        {"the name is escaped in the attribute only and its accents are dropped from the id",
         "\xC6ther O'Brien & <Co>\r\n{1}\r\nArtifact\r\n",
         {{"ther_obrien_co",
           "\xC6ther O&apos;Brien &amp; &lt;Co&gt;",
           {Fragment("\xC6ther O'Brien & <Co>", "{1}", "Artifact", "", "")}}}},
        {"nested parentheses nest the italics; an unmatched ) closes one more",
         "A\r\n{1}\r\nInstant\r\nX (a (b) c) d) e\r\n",
         {{"a", "A", {Fragment("A", "{1}", "Instant", "", "X <i>(a <i>(b)</i> c)</i> d)</i> e")}}}},
        {"an empty file gives no record", "", {}},
        {"a file of empty lines gives no record", "\r\n\r\n  \r\n", {}},
    };
    for (const TOracleCase& c : cases)
        ExpectRecords(Convert(ConvertOracleFile, c.Source), c.Records, c.What);
}

TEST(SplitPair, SplitsAtTheFirstSeparatorAndTrimsOnlyThen) {
    EXPECT_EQ(SplitPair(" a // b // c ", "//"),
              std::make_pair(std::string("a"), std::string("b // c")));
    EXPECT_EQ(SplitPair(" a ", "//"), std::make_pair(std::string(" a "), std::string()));
    EXPECT_EQ(SplitPair("//", "//"), std::make_pair(std::string(), std::string()));
}

struct TIndexCase {
    const char* Line;
    std::vector<TExpected> Records;
};

TEST(ConvertIndexFile, SeparatesNameAndEntriesAndRepairsNames) {
    const TIndexCase cases[] = {
        {"Example Card, AB-1, CD-2", {{"example_card", "Example Card", {"AB-1, CD-2"}}}},
        {"Example, the Card, AB-1", {{"example_the_card", "Example, the Card", {"AB-1"}}}},
        {"Example, ABCD Card, AB-1", {{"example", "Example", {"ABCD Card, AB-1"}}}},
        {"Tarn, Lord, 4E-R, Promo", {{"tarn_lord", "Tarn, Lord", {"4E-R, Promo"}}}},
        {"Example 100,000 Card, AB-1", {{"example_100000_card", "Example 100,000 Card", {"AB-1"}}}},
        {"Bridge of 1,000 Steps, AB-1",
         {{"bridge_of_1000_steps", "Bridge of 1,000 Steps", {"AB-1"}}}},
        {"  Only A Name  ", {{"only_a_name", "Only A Name", {""}}}},
        {"Name, ab", {{"name", "Name", {"ab"}}}},
        {"Name, abcd", {{"name_abcd", "Name, abcd", {""}}}},
        {"x", {}},
        {"", {}},
        {"\xC6ther Example, AB-1", {{"aether_example", "\xC6ther Example", {"AB-1"}}}},
        {"Fool\x92s Wager, OR-C", {{"fools_wager", "Fool\x92s Wager", {"OR-C"}}}},
        {"\xE0\xE1\xE2\xE9\xED\xF6\xFA\xFB, OR-C",
         {{"aaaeiouu", "\xE0\xE1\xE2\xE9\xED\xF6\xFA\xFB", {"OR-C"}}}},
        {"O'Neil & Sons, OR-C", {{"oneil_sons", "O&apos;Neil &amp; Sons", {"OR-C"}}}},
        {"Left/Right, AB-1",
         {{"left_leftright", "Left (Left/Right)", {"AB-1"}},
          {"right_leftright", "Right (Left/Right)", {"AB-1"}}}},
        {"\xC6ther / R\xE9ve, AB-1",
         {{"aether_aetherreve", "\xC6ther (\xC6ther/R\xE9ve)", {"AB-1"}},
          {"reve_aetherreve", "R\xE9ve (\xC6ther/R\xE9ve)", {"AB-1"}}}},
        {"G.R.R. (Big Furry Monster) - 1, UG-R",
         {{"grr_big_furry_monster", "G.R.R. (Big Furry Monster)", {"UG-R"}}}},
        {"G.R.R. (Big Furry Monster) - 2, UG-R", {}},
    };
    for (const TIndexCase& c : cases)
        ExpectRecords(Convert(ConvertIndexFile, std::string(c.Line) + "\r\n"), c.Records, c.Line);
}

TEST(ConvertIndexFile, KeepsLineOrderAcrossLineEnds) {
    const auto records = Convert(ConvertIndexFile, "B, AB-1\nA, AB-2\rCee\r\n");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Id, "b");
    EXPECT_EQ(records[1].Id, "a");
    EXPECT_EQ(records[1].CData, std::vector<std::string>{"AB-2"});
    EXPECT_EQ(records[2].Id, "cee");
}

// One card block of the rulings page as the converter expects it.
std::string Block(const std::string& anchor, const std::string& type,
                  const std::vector<std::string>& items, const std::string& sets = "OR, PO",
                  const std::string& source = "Oracle") {
    std::string block = "<tr><td><b><a name=\"" + anchor + "\">" + anchor +
                        "</a></b></td><td>Type=" + type + "</td><td>Cost={1}</td><td align=right>" +
                        sets + "</td></tr><tr>\r\n<td colspan=4>Text(" + source +
                        "): the card text\r\n<ul>\r\n";
    for (const std::string& item : items)
        block += "<li type=disc>" + item + "\r\n";
    return block + "</ul>\r\n</td></tr>\r\n";
}

struct TSummaryCase {
    const char* What;
    std::string Page;
    std::vector<TExpected> Records;
};

TEST(ConvertSummaryFile, CutsTheBlocksAndRewritesTheirLinks) {
    const TSummaryCase cases[] = {
        {"each item becomes a paragraph; a block without items has no content",
         Block("Two", "Instant", {"First.", "Second."}) + Block("One", "Instant", {"Only."}) +
             Block("None", "Instant", {}),
         {{"two", "Two", {"<p>First.</p><p>Second.</p>"}},
          {"one", "One", {"<p>Only.</p>"}},
          {"none", "None", {}}}},
        {"a token block gives no record, a token creature block does",
         Block("A", "Token", {"x"}) + Block("B", " tOKEN ", {"x"}) +
             Block("C", "Token Creature", {"x"}),
         {{"c", "C", {"<p>x</p>"}}}},
        {"links point at card and rule identifiers; other links stay",
         Block("A", "Instant",
               {"See <a href=\"#Other Card\">it</a> and <a href=\"rule-general.html#Some "
                "Rule\">rules</a> or <a href=\"http://x.org/#y\">web</a>."}),
         {{"a",
           "A",
           {"<p>See <a href=\"other_card\">it</a> and <a href=\"rule_some_rule\">rules</a> or "
            "<a href=\"http://x.org/#y\">web</a>.</p>"}}}},
        {"an item over several lines becomes one line with single spaces",
         Block("A", "Instant", {"  One\r\n  two   three\r\n\r\nfour  "}),
         {{"a", "A", {"<p>One two three four</p>"}}}},
        {"an escaped anchor is unescaped for the name, and a link to it reaches the same card",
         Block("A &amp; B", "Instant", {"<a href=\"#A &amp; B\">A &amp; B</a>"}),
         {{"a_b", "A &amp; B", {"<p><a href=\"a_b\">A &amp; B</a></p>"}}}},
        {"a link without its closing \"> is left as it is and the conversion goes on",
         Block("A", "Instant", {"<a href=\"rule-general.html#R\">r</a> <a href=\"#Open"}) +
             Block("B", "Instant", {"<a href=\"#A\">a</a>"}),
         {{"a", "A", {"<p><a href=\"rule_r\">r</a> <a href=\"#Open</p>"}},
          {"b", "B", {"<p><a href=\"a\">a</a></p>"}}}},
        {"a block without a closing </ul> ends the conversion",
         Block("A", "Instant", {"x"}) + "<b><a name=\"B\">B</a></b>\r\n<li type=disc>y\r\n",
         {{"a", "A", {"<p>x</p>"}}}},
        {"a page without markers gives no record",
         "<html><body>Nothing here</body></html>\r\n",
         {}},
    };
    for (const TSummaryCase& c : cases)
        ExpectRecords(Convert(ConvertSummaryFile, c.Page), c.Records, c.What);
}

TEST(ConvertSummaryFile, TakesSetsAndTextSourceBetweenTheirMarkers) {
    const auto records =
        Convert(ConvertSummaryFile,
                Block("A", "Instant", {}, " OR & PO ", " Oracle \"2\" ") +
                    "<b><a name=\"NoSetStart\">x</a></b></td></tr><tr><td colspan=4>Text(T):</ul>" +
                    "<b><a name=\"NoSetEnd\">x</a></b><td align=right>OR</ul>");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Attribute("sets"), "OR &amp; PO");
    EXPECT_EQ(records[0].Attribute("textsource"), "Oracle &quot;2&quot;");
    EXPECT_EQ(records[1].Attribute("sets"),
              "&lt;b&gt;&lt;a name=&quot;NoSetStart&quot;&gt;x&lt;/a&gt;&lt;/b&gt;");
    EXPECT_EQ(records[1].Attribute("textsource"), "T");
    EXPECT_EQ(records[2].Attribute("sets"), "");
    EXPECT_EQ(records[2].Attribute("textsource"), "");
}

} // namespace
