// The whole import on a data folder: the files it writes, their exact form, and what a
// missing or hostile source does to them.
#include "import/Import.h"
#include "import/ImportTestSupport.h"

#include "common/Exception.h"
#include "data/xLib.h"

#include <QDir>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

namespace {

const char* const DatabaseFiles[] = {"oracle.xml", "cards_index.xml", "cards_summary.xml"};

std::map<std::string, TRecord> ById(const std::vector<TRecord>& records) {
    std::map<std::string, TRecord> result;
    for (const TRecord& record : records)
        result.emplace(record.Id, record);
    return result;
}

TEST(ImportDatabase, ImportsTheSampleIntoThreeFiles) {
    TDataFolder data;
    data.CopySample();
    std::vector<std::pair<std::string, int>> saved;
    ImportDatabase(
        [&](const std::string& fileName, int records) { saved.emplace_back(fileName, records); });

    const std::vector<std::pair<std::string, int>> expectedSaved = {
        {data.Path() + "oracle.xml", 62},
        {data.Path() + "cards_index.xml", 61},
        {data.Path() + "cards_summary.xml", 23}};
    EXPECT_EQ(saved, expectedSaved);

    const auto oracle = RecordsOfFile(data.Path() + "oracle.xml");
    ASSERT_EQ(oracle.size(), 62u);
    EXPECT_EQ(oracle.front().Id, "glimmerfen_marsh");
    EXPECT_EQ(oracle.back().Id, "cliffside_raven"); // the last of the third file
    const auto oracleById = ById(oracle);
    ASSERT_EQ(oracleById.count("ash_cinderash"), 1u);
    // Carriage returns in the file reach readers as line feeds.
    EXPECT_EQ(
        oracleById.at("ash_cinderash").CData,
        std::vector<std::string>{"<b>Ash (Cinder/Ash)</b><br>\n{2}{B}<br>\nInstant<br>\n<br>\n"
                                 "Target player loses 2 life and you gain 2 life."});
    EXPECT_EQ(oracleById.at("salt_ember").Name, "Salt &amp; Ember");

    const auto index = RecordsOfFile(data.Path() + "cards_index.xml");
    ASSERT_EQ(index.size(), 61u);
    const auto indexById = ById(index);
    EXPECT_EQ(indexById.at("aether_lantern").Name, "\xC6ther Lantern");
    EXPECT_EQ(indexById.at("orsolya_queen_of_tides").CData,
              std::vector<std::string>{"OR-R, Promo"});
    EXPECT_EQ(indexById.at("the_100000_lanterns").Name, "The 100,000 Lanterns");
    EXPECT_EQ(indexById.at("lantern").CData, std::vector<std::string>{""});
    EXPECT_EQ(std::count_if(index.begin(), index.end(),
                            [](const TRecord& r) { return r.Id == "grr_big_furry_monster"; }),
              1);

    const auto summary = RecordsOfFile(data.Path() + "cards_summary.xml");
    ASSERT_EQ(summary.size(), 23u);
    const auto summaryById = ById(summary);
    EXPECT_EQ(summaryById.count("wall"), 0u);
    EXPECT_EQ(summaryById.count("squirrel"), 0u);
    EXPECT_TRUE(summaryById.at("hollowpeak_colossus").CData.empty());
    EXPECT_EQ(summaryById.at("orsolya_queen_of_tides").Attribute("sets"), "OR, Promo");
    EXPECT_EQ(summaryById.at("orsolya_queen_of_tides").Attribute("textsource"), "Oracle");

    // Every card link of the rulings leads to a card of one of the two bases that are read.
    const std::string linkStart = "href=\"";
    int links = 0;
    for (const TRecord& record : summary)
        for (const std::string& text : record.CData)
            for (size_t at = text.find(linkStart); at != std::string::npos;
                 at = text.find(linkStart, at + 1)) {
                const size_t start = at + linkStart.size();
                const std::string target = text.substr(start, text.find('"', start) - start);
                if (target.starts_with("rule_") || target.starts_with("http:"))
                    continue;
                ++links;
                EXPECT_TRUE(oracleById.count(target) || summaryById.count(target))
                    << record.Id << " links to " << target;
            }
    EXPECT_EQ(links, 7);
}

TEST(ImportDatabase, SecondRunWritesByteIdenticalFilesAndLeavesNoTemporaries) {
    TDataFolder data;
    data.CopySample();
    ImportDatabase();
    std::vector<std::string> first;
    for (const char* file : DatabaseFiles)
        first.push_back(ReadFile(data.Path() + file));
    ImportDatabase();
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(ReadFile(data.Path() + DatabaseFiles[i]), first[i]) << DatabaseFiles[i];

    const QStringList entries =
        QDir(QString::fromStdString(data.Path()))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(entries, QStringList({"cardindex", "cards_index.xml", "cards_summary.xml", "oracle",
                                    "oracle.xml", "summary"}));
}

TEST(ImportDatabase, WritesOneLineFilesWithDoublyEscapedNamesAndRawCarriageReturns) {
    TDataFolder data;
    data.Write("oracle/ORT110-01-03.txt", "A'B\r\n{1}\r\nInstant\r\nDraw.\r\n");
    data.Write("oracle/ORUnglued.txt", "");
    data.Write("oracle/ORPortal.txt", "");
    data.Write("cardindex/index.txt", "A'B, OR-C\r\n");
    data.Write("summary/rule-cards.html",
               "<b><a name=\"A&apos;B\">x</a></b></td><td>Type=Instant</td><td>Cost=</td>"
               "<td align=right>OR</td></tr><tr><td colspan=4>Text(Oracle):<ul>"
               "<li type=disc>Note.</ul>");
    ImportDatabase();
    EXPECT_EQ(ReadFile(data.Path() + "oracle.xml"),
              "<table><card id=\"ab\" name=\"A&amp;apos;B\"><![CDATA[<b>A'B</b><br>\r{1}<br>\r"
              "Instant<br>\r<br>\rDraw.]]></card></table>");
    EXPECT_EQ(ReadFile(data.Path() + "cards_index.xml"),
              "<table><card id=\"ab\" name=\"A&amp;apos;B\"><![CDATA[OR-C]]></card></table>");
    EXPECT_EQ(ReadFile(data.Path() + "cards_summary.xml"),
              "<table><card id=\"ab\" name=\"A&amp;apos;B\" sets=\"OR\" textsource=\"Oracle\">"
              "<![CDATA[<p>Note.</p>]]></card></table>");
}

TEST(ImportDatabase, MissingSourceStopsTheImportAndLeavesUnsavedFilesWhole) {
    struct TCase {
        const char* Missing;
        std::set<std::string> Rewritten;
    };
    const TCase cases[] = {
        {"oracle/ORPortal.txt", {}},
        {"cardindex/index.txt", {"oracle.xml"}},
        {"summary/rule-cards.html", {"oracle.xml", "cards_index.xml"}},
    };
    for (const TCase& c : cases) {
        TDataFolder data;
        data.CopySample();
        for (const char* file : DatabaseFiles)
            data.Write(file, "<table/>");
        data.Remove(c.Missing);

        std::vector<std::string> saved;
        try {
            ImportDatabase([&](const std::string& fileName, int) { saved.push_back(fileName); });
            ADD_FAILURE() << c.Missing << ": no error";
        } catch (const Exception& error) {
            EXPECT_TRUE(error.Message().starts_with("Cannot open file \"" + data.Path() +
                                                    c.Missing + "\". "))
                << error.Message();
        }
        EXPECT_EQ(saved.size(), c.Rewritten.size()) << c.Missing;
        for (const char* file : DatabaseFiles) {
            const std::string content = ReadFile(data.Path() + file);
            if (c.Rewritten.count(file))
                EXPECT_GT(content.size(), 1000u) << c.Missing << ": " << file;
            else
                EXPECT_EQ(content, "<table/>") << c.Missing << ": " << file;
        }
    }
}

std::string RandomBytes(size_t size) {
    std::mt19937 generator(1234);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string Repeat(const std::string& text, size_t times) {
    std::string result;
    result.reserve(text.size() * times);
    for (size_t i = 0; i < times; ++i)
        result += text;
    return result;
}

// Hostile sources end the import with three readable files (only a missing file is an
// error). The large ones would take hours if any step were quadratic in their size.
TEST(ImportDatabase, AnySourceTextGivesThreeReadableFiles) {
    const std::string Sources[] = {"oracle/ORT110-01-03.txt", "oracle/ORUnglued.txt",
                                   "oracle/ORPortal.txt", "cardindex/index.txt",
                                   "summary/rule-cards.html"};
    const std::string megabyteLine = std::string(1 << 20, 'x');
    struct TCase {
        const char* What;
        std::string Source; // empty: every source
        std::string Bytes;
    };
    const TCase cases[] = {
        {"random bytes", "", RandomBytes(256 << 10)},
        {"a 0-byte file", "", ""},
        {"no line ends", "", "Name {1} Instant Draw a card. (Reminder.) <li type=disc>"},
        {"a line of 1 MB", "",
         megabyteLine + "\r\n" + megabyteLine + "\r\nInstant\r\n" + megabyteLine},
        {"a 1 MB name of commas", "cardindex/index.txt", Repeat("a,", 1 << 19)},
        {"a 1 MB name of split halves and escapes", "", Repeat("A/ & '  ,", 1 << 17)},
        {"1 MB of parentheses", "oracle/ORT110-01-03.txt",
         "A\r\n{1}\r\nInstant\r\n" + Repeat("(()", 1 << 18)},
        {"a summary page without markers", "summary/rule-cards.html",
         Repeat("<html> no cards here\r\n", 1 << 15)},
        {"an item of 100,000 links", "summary/rule-cards.html",
         "<b><a name=\"A\">A</a></b><li type=disc>" +
             Repeat("<a href=\"#B\">b</a><a href=\"rule-general.html#R\">r</a>", 100000) + "</ul>"},
        {"an item of unterminated links", "summary/rule-cards.html",
         "<b><a name=\"A\">A</a></b><li type=disc>" + Repeat("href=\"#x", 1 << 17) + "</ul>"},
        {"block starts without a list end", "summary/rule-cards.html",
         Repeat("<b><a name=\"A\">", 1 << 16)},
        {"items of spaces and line breaks", "summary/rule-cards.html",
         "<b><a name=\"A\">A</a></b>" + Repeat("<li type=disc>" + Repeat(" \r\n", 1000), 300) +
             "</ul>"},
        {"text ending the CDATA section", "",
         "A ]]> B\r\n{1}\r\nInstant\r\n]]>\r\n\r\n<b><a name=\"]]>\"><li type=disc>]]></ul>"},
    };
    for (const TCase& c : cases) {
        TDataFolder data;
        data.CopySample();
        for (const std::string& source : Sources)
            if (c.Source.empty() || c.Source == source)
                data.Write(source, c.Bytes);
        try {
            ImportDatabase();
        } catch (const Exception& error) {
            ADD_FAILURE() << c.What << ": " << error.Message();
            continue;
        }
        for (const char* file : DatabaseFiles)
            EXPECT_NO_THROW(RecordsOfFile(data.Path() + file)) << c.What << ": " << file;
    }
}

TEST(ImportDatabase, TextThatEndsACDataSectionReadsBackWhole) {
    TDataFolder data;
    data.CopySample();
    data.Write("oracle/ORPortal.txt", "A\r\n{1}\r\nInstant\r\nx ]]> y\r\n");
    ImportDatabase();
    const auto oracle = RecordsOfFile(data.Path() + "oracle.xml");
    std::string text;
    for (const std::string& part : oracle.back().CData)
        text += part;
    EXPECT_EQ(text, "<b>A</b><br>\n{1}<br>\nInstant<br>\n<br>\nx ]]> y");
}

} // namespace
