#include "data/Data.h"

#include "common/HashList.h"
#include "common/Win1252.h"
#include "data/xLib.h"
#include "support/TestPaths.h"

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace {

const std::string TwoBasesDir = FixturesDir + "data/two_bases/";

void WriteFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

// Each test starts without a database and with its own data folder.
class DatabaseTest : public testing::Test {
protected:
    void SetUp() override {
        FSavedDataDir = DataDir();
        ResetDatabaseForTesting();
    }
    void TearDown() override {
        ResetDatabaseForTesting();
        SetDataDir(FSavedDataDir);
    }

    // Loads from `dir`; the message of the error it raised, or nullopt.
    static std::optional<std::string> Load(const std::string& dir) {
        SetDataDir(dir);
        try {
            LoadDatabase();
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::nullopt;
    }

    // "base:name:first CDATA text" for each value of the entry.
    static std::vector<std::string> Values(const TDataItem& item) {
        std::vector<std::string> values;
        for (std::int32_t i = 0; i < item.ValueCount(); ++i) {
            const TDataValue value = item.Values(i);
            const IXMLDOMNode first = value.Node.childNodes().item(0);
            values.push_back(std::to_string(value.BaseIndex) + ":" + value.Name + ":" +
                             (first ? first.nodeValue() : "-"));
        }
        return values;
    }

    std::string FSavedDataDir;
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(DatabaseTest, IsAbsentUntilLoaded) {
    EXPECT_EQ(Database(), nullptr);
}

TEST_F(DatabaseTest, GathersTheRecordsOfBothFilesUnderOneEntryPerCard) {
    ASSERT_EQ(Load(TwoBasesDir), std::nullopt);
    const TDatabase* database = Database();
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(database->Count(), 6);

    struct TCase {
        std::string Lookup, Id, DisplayName;
        Strings Names, Values;
    };
    const TCase cases[] = {
        {"both_named",
         "both_named",
         "Both Named",
         {"Both Named", "Both Named Summary"},
         {"0:Both Named:<b>Both Named</b>", "1:Both Named Summary:<p>ruling</p>"}},
        {"both_unnamed",
         "both_unnamed",
         "Named In Summary",
         {"Named In Summary"},
         {"0::<b>?</b>", "1:Named In Summary:-"}},
        {"summary_only", "summary_only", "Summary Only", {"Summary Only"}, {"1:Summary Only:-"}},
        {"TWICE",
         "twice",
         "Twice One",
         {"Twice One", "Twice Two"},
         {"0:Twice One:first", "0:TWICE ONE:second", "1:Twice Two:<p>third</p>"}},
        {"MIXED_case",
         "Mixed_Case",
         "Mixed",
         {"Mixed", "Mixed Other"},
         {"0:Mixed:-", "0:Mixed Other:-"}},
        {"escaped",
         "escaped",
         "Fish & Chips\r\n'Quoted' <x>",
         {"Fish & Chips\r\n'Quoted' <x>"},
         {"0:Fish & Chips\r\n'Quoted' <x>:"}},
    };
    for (const TCase& c : cases) {
        const TDataItem* item = database->FindItem(c.Lookup);
        ASSERT_NE(item, nullptr) << c.Lookup;
        EXPECT_EQ(item->Id(), c.Id);
        EXPECT_EQ(item->DisplayName(), c.DisplayName) << c.Lookup;
        EXPECT_EQ(item->Names(), c.Names) << c.Lookup;
        EXPECT_EQ(Values(*item), c.Values) << c.Lookup;
    }
}

TEST_F(DatabaseTest, SkipsRecordsWithoutIdentifierAndChildrenThatAreNotElements) {
    ASSERT_EQ(Load(TwoBasesDir), std::nullopt);
    for (const char* id : {"", "no_id", "empty_id", "stray_text"})
        EXPECT_EQ(Database()->FindItem(id), nullptr) << id;
}

// The order is the hash list's: by bucket (the low ten bits of the upper-cased identifier's
// hash), then by insertion within a bucket.
TEST_F(DatabaseTest, ItemsFollowTheHashListsEnumerationOrder) {
    ASSERT_EQ(Load(TwoBasesDir), std::nullopt);
    Strings expected = {"both_named", "both_unnamed", "twice",
                        "Mixed_Case", "escaped",      "summary_only"};
    std::stable_sort(expected.begin(), expected.end(), [](auto& a, auto& b) {
        return (TextHash(AnsiUpperCase(a)) & 1023) < (TextHash(AnsiUpperCase(b)) & 1023);
    });
    Strings actual;
    for (std::int32_t k = 0; k < Database()->Count(); ++k)
        actual.push_back(Database()->Items(k)->Id());
    EXPECT_EQ(actual, expected);
}

TEST_F(DatabaseTest, OutOfRangeLookupsRaiseOrGiveNull) {
    ASSERT_EQ(Load(TwoBasesDir), std::nullopt);
    const TDatabase& database = *Database();
    try {
        database.Items(database.Count());
        ADD_FAILURE() << "Items(Count()) returned";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message().rfind("Item not found ($0", 0), 0u) << e.Message();
    }
    EXPECT_THROW(database.Items(-1), EListError);
    EXPECT_EQ(database.FindItem("no_such_card"), nullptr);
    const TDataItem& item = *database.FindItem("summary_only");
    EXPECT_THROW(item.Values(item.ValueCount()), Exception);
}

TEST_F(DatabaseTest, LoadsOnlyOnce) {
    QTemporaryDir dir;
    for (const char* file : {"oracle.xml", "cards_summary.xml"})
        std::filesystem::copy_file(TwoBasesDir + file, dir.filePath(file).toStdString());
    ASSERT_EQ(Load(dir.path().toStdString()), std::nullopt);
    const TDatabase* first = Database();
    std::filesystem::remove(dir.filePath("oracle.xml").toStdString());
    EXPECT_EQ(Load(dir.path().toStdString()), std::nullopt) << "the files are not read again";
    EXPECT_EQ(Database(), first);
    EXPECT_EQ(Database()->Count(), 6);
}

TEST_F(DatabaseTest, AcceptsAnyNameForTheRootAndTheRecords) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("oracle.xml").toStdString(), "<cards><c id=\"a\" name=\"A\"/></cards>");
    WriteFile(dir.filePath("cards_summary.xml").toStdString(), "<x><y id=\"b\"/></x>");
    ASSERT_EQ(Load(dir.path().toStdString()), std::nullopt);
    EXPECT_EQ(Database()->Count(), 2);
}

// A failed load keeps what it read before the error and is not tried again.
TEST_F(DatabaseTest, AFailedLoadKeepsWhatWasReadAndIsNotRetried) {
    const std::string good = "<table><card id=\"a\" name=\"A\"/><card id=\"b\"/></table>";
    struct TCase {
        const char* What;
        std::optional<std::string> Oracle, Summary;
        std::int32_t Count;
        const char* BadFile;
    };
    const TCase cases[] = {
        {"oracle missing", std::nullopt, good, 0, "oracle.xml"},
        {"oracle empty", "", good, 0, "oracle.xml"},
        {"oracle truncated", "<table><card id=\"a\" name=\"A\"/><card id=", good, 0, "oracle.xml"},
        {"oracle malformed", "<table><card id=\"a\"></table>", good, 0, "oracle.xml"},
        {"oracle not XML at all", std::string("\0\1garbage", 9), good, 0, "oracle.xml"},
        {"summary missing", good, std::nullopt, 2, "cards_summary.xml"},
        {"summary malformed", good, "<table><card id=\"c\"/>", 2, "cards_summary.xml"},
    };
    for (const TCase& c : cases) {
        ResetDatabaseForTesting();
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString() + "/";
        if (c.Oracle)
            WriteFile(folder + "oracle.xml", *c.Oracle);
        if (c.Summary)
            WriteFile(folder + "cards_summary.xml", *c.Summary);

        const std::optional<std::string> error = Load(folder);
        ASSERT_TRUE(error.has_value()) << c.What;
        EXPECT_EQ(error->rfind("XML Parse Error (0x", 0), 0u) << c.What << ": " << *error;
        EXPECT_NE(error->find(folder + c.BadFile), std::string::npos) << c.What;
        ASSERT_NE(Database(), nullptr) << c.What;
        EXPECT_EQ(Database()->Count(), c.Count) << c.What;
        for (std::int32_t k = 0; k < Database()->Count(); ++k)
            EXPECT_EQ(Database()->Items(k)->Values(0).BaseIndex, 0) << c.What;

        WriteFile(folder + "oracle.xml", good);
        WriteFile(folder + "cards_summary.xml", "<table><card id=\"z\"/></table>");
        EXPECT_EQ(Load(folder), std::nullopt) << c.What;
        EXPECT_EQ(Database()->Count(), c.Count) << c.What << ": not loaded again";
    }
}
