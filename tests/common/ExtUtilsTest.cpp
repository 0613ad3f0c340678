#include "common/ExtUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string TempPath(const QTemporaryDir& dir, const char* name) {
    return dir.filePath(name).toStdString();
}

} // namespace

TEST(ExtUtils, TextBetweenCutsAtTheFirstMarkers) {
    struct Case {
        std::string text, start, end;
        bool include;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a[b]c", "[", "]", false, "b"},
        {"a[b]c", "[", "]", true, "[b]"},
        {"a[b]c", "{", "]", false, "a[b"}, // no start marker: nothing cut off the front
        {"a[b]c", "[", "}", false, ""},    // no end marker: empty
        {"a[b]c", "", "]", false, "a[b"},
        {"a[b]c", "[", "", true, "[b]c"},
        {"x<<y>>z>>", "<<", ">>", false, "y"},
        {"<a>b</a>", "<a>", "a>", true, "<a>"}, // the end marker is found inside the start
        {"<a>b</a>", "<a>", "a>", false, "b</"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextBetween(c.text, c.start, c.end, c.include), c.expected)
            << c.text << " " << c.start << " " << c.end << " " << c.include;
}

TEST(ExtUtils, ReplaceBetweenReplacesWithOrWithoutTheMarkers) {
    struct Case {
        std::string text, start, end, replacement;
        bool include;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a[b]c", "[", "]", "x", false, "a[x]c"}, {"a[b]c", "[", "]", "x", true, "axc"},
        {"a[b", "[", "]", "x", true, "ax[b"},   // no end marker: inserted, nothing removed
        {"a[b]c", "[", "", "x", false, "a[x"},  // empty end marker: the rest is replaced
        {"a[b]c", "{", "]", "x", false, "x]c"}, // no start marker: replaced from the front
        {"a[b]c", "", "", "x", true, "x"},        {"a[b]c[d]", "[", "]", "", true, "ac[d]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceBetween(c.text, c.start, c.end, c.replacement, c.include), c.expected)
            << c.text << " " << c.start << " " << c.end << " " << c.include;
}

TEST(ExtUtils, NextTokenTakesOneTokenAndLeavesTheRest) {
    struct Case {
        std::string text, delimiters, quotes;
        bool skipRepeated;
        std::string token, rest;
    };
    const std::vector<Case> cases = {
        {"  one, two", ",", "", false, "one", " two"},
        {",,two", ",", "", false, "", ",two"},
        {",,two", ",", "", true, "", "two"},
        {"name , rest", ",", "", false, "name ", " rest"},
        {"a, ,b", ",", "", true, "a", " ,b"}, // spaces between delimiters are not skipped
        {"last", ",", "", false, "last", ""},
        {"", ",", "", false, "", ""},
        {"a;b,c", ",;", "", false, "a", "b,c"},
        {"'a,b',c", ",", "'", false, "'a,b'", "c"},
        {"'a,\"b,c\",d',e", ",", "'\"", false, "'a,\"b,c\",d'", "e"}, // different quotes nest
        {"'a,b,c", ",", "'", false, "'a,b,c", ""},                    // unmatched quote
        {"x'y,z", ",", "'", false, "x'y,z", ""},
        {"|a|b", "|", "|", false, "", "a|b"}, // both delimiter and quote ends a token
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(NextQuotedToken(text, c.delimiters, c.quotes, c.skipRepeated), c.token) << c.text;
        EXPECT_EQ(text, c.rest) << c.text;
    }
    std::string text = "  one, two";
    EXPECT_EQ(NextToken(text, ",", false), "one");
    EXPECT_EQ(NextToken(text, ",", false), "two");
    EXPECT_EQ(text, "");
}

TEST(ExtUtils, ReplaceAllReplacesNonOverlappingOccurrences) {
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases = {
        {"aaa", "aa", "b", "ba"},           {"x", "", "y", "x"},
        {"a  b   c", "  ", " ", "a b  c"}, // one pass; callers loop to collapse runs
        {"abab", "ab", "abab", "abababab"}, {"none", "z", "y", "none"},
        {"{W}{U}", "}{", "} {", "{W} {U}"},
    };
    for (const auto& [text, oldText, newText, expected] : cases)
        EXPECT_EQ(ReplaceAll(text, oldText, newText), expected) << text;
}

TEST(ExtUtils, CharSetOfHoldsEveryByteOfTheText) {
    const TCharSet set = CharSetOf("a,\xFF");
    EXPECT_EQ(set.count(), 3u);
    EXPECT_TRUE(set.test('a') && set.test(',') && set.test(0xFF));
    EXPECT_TRUE(CharSetOf("").none());
}

TEST(ExtUtils, IntegerAndRectangleHelpers) {
    EXPECT_EQ(Iif(true, 1, 2), 1);
    EXPECT_EQ(Iif(false, 1, 2), 2);
    EXPECT_EQ(IntMax(-3, 2), 2);
    EXPECT_EQ(IntMin(-3, 2), -3);
    const QRect rect(QPoint(10, 20), QPoint(39, 24)); // left 10, top 20, right 40, bottom 25
    EXPECT_EQ(RectWidth(rect), 30);
    EXPECT_EQ(RectHeight(rect), 5);
    EXPECT_EQ(RectWidth(QRect()), 0);
}

TEST(ExtUtils, LoadTextFileMakesEveryLineEndCrLf) {
    QTemporaryDir dir;
    const std::string path = TempPath(dir, "text.txt");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\nb", "a\r\nb\r\n"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\rb\n\nc", "a\r\nb\r\n\r\nc\r\n"},
        {"a\n\r\nb", "a\r\n\r\nb\r\n"},
        {"\n", "\r\n"},
        {"", ""},
        {"caf\xE9\r", "caf\xE9\r\n"},
    };
    for (const auto& [content, expected] : cases) {
        WriteFile(path, content);
        EXPECT_EQ(LoadTextFile(path), expected);
    }
}

TEST(ExtUtils, LoadTextFileOfAMissingFileRaisesTheOpenError) {
    QTemporaryDir dir;
    const std::string path = TempPath(dir, "missing.txt");
    try {
        LoadTextFile(path);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message().rfind("Cannot open file \"" + path + "\". ", 0), 0u) << e.Message();
        EXPECT_GT(e.Message().size(), path.size() + 20) << "a reason follows";
    }
    EXPECT_THROW(LoadTextFile(dir.path().toStdString()), EFOpenError); // a folder
}

TEST(ExtUtils, LogFileNameReplacesTheExecutablesExtension) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/opt/app/lorewick", "/opt/app/lorewick.log"},
        {"/opt/app/lorewick.bin", "/opt/app/lorewick.log"},
        {"/opt/app.d/lorewick", "/opt/app.d/lorewick.log"},
        {"/opt/app/a.b.exe", "/opt/app/a.b.log"},
    };
    for (const auto& [exe, log] : cases)
        EXPECT_EQ(LogFileNameFor(exe), log);
}

TEST(ExtUtils, ResetLogFileEmptiesOnlyALogThatExists) {
    QTemporaryDir dir;
    const std::string exe = TempPath(dir, "lorewick");
    const std::string log = exe + ".log";

    ResetLogFile(exe);
    EXPECT_EQ(LogFileName(), "");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(log))) << "never created";

    WriteFile(log, "old lines\n");
    ResetLogFile(exe);
    EXPECT_EQ(LogFileName(), log);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(log)));
    EXPECT_EQ(ReadFile(log), "");

    QFile::remove(QString::fromStdString(log));
    QDir().mkdir(QString::fromStdString(log)); // cannot be emptied: the log is off, no error
    EXPECT_NO_THROW(ResetLogFile(exe));
    EXPECT_EQ(LogFileName(), "");
}
