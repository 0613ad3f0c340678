#include "platform/SettingsStore.h"
#include "common/Exception.h"
#include "platform/Autostart.h"
#include "support/ConfigHome.h"
#include "support/Raised.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsStore : public testing::Test {
protected:
    QString Path() const { return FFolder.path() + "/Lorewick/Lorewick.conf"; }
    QTemporaryDir FFolder;
};

} // namespace

TEST_F(SettingsStore, ValuesKeepTheirKindAcrossSaveAndRead) {
    TSettingsStore store(Path());
    EXPECT_FALSE(store.Open());
    store.SetString("OpenShortCut", "Ctrl+`");
    store.SetString("Odd", "back\\slash\nnew line \xE9"); // Windows-1252 e acute
    store.SetInteger("UseInsInsShortCut", 1);
    store.SetInteger("Negative", -5);
    EXPECT_FALSE(QFile::exists(Path())) << "nothing is written before the save";
    store.Save();
    EXPECT_EQ(ReadFile(Path()), "# Lorewick settings\n"
                                "Negative=d:-5\n"
                                "Odd=s:back\\\\slash\\nnew line \xC3\xA9\n"
                                "OpenShortCut=s:Ctrl+`\n"
                                "UseInsInsShortCut=d:1\n");

    TSettingsStore reread(Path());
    ASSERT_TRUE(reread.Open());
    EXPECT_EQ(reread.ReadString("OpenShortCut"), "Ctrl+`");
    EXPECT_EQ(reread.ReadString("Odd"), "back\\slash\nnew line \xE9");
    EXPECT_EQ(reread.ReadInteger("UseInsInsShortCut"), 1);
    EXPECT_EQ(reread.ReadInteger("Negative"), -5);
    EXPECT_FALSE(reread.ValueExists("SearchShortCut"));
    EXPECT_EQ(QDir(FFolder.path() + "/Lorewick").entryList(QDir::Files),
              QStringList{"Lorewick.conf"})
        << "no temporary file is left behind";
}

TEST_F(SettingsStore, ReadingAValueOfAnotherKindFailsWithItsName) {
    WriteFile(Path(), "UseInsInsShortCut=s:yes\nOpenShortCut=d:3\nFuture=x:something\n");
    TSettingsStore store(Path());
    ASSERT_TRUE(store.Open());
    EXPECT_TRUE(store.ValueExists("Future"));
    EXPECT_EQ(MessageOf([&] { store.ReadInteger("UseInsInsShortCut"); }),
              "Invalid data type for 'UseInsInsShortCut'");
    EXPECT_EQ(MessageOf([&] { store.ReadString("OpenShortCut"); }),
              "Invalid data type for 'OpenShortCut'");
    EXPECT_EQ(MessageOf([&] { store.ReadString("Future"); }), "Invalid data type for 'Future'");

    store.SetInteger("UseInsInsShortCut", 0); // values of unknown kinds survive a rewrite
    store.Save();
    EXPECT_TRUE(ReadFile(Path()).contains("\nFuture=x:something\n"));
}

TEST_F(SettingsStore, UnusableFileIsKeptAsideAndCountsAsNoFile) {
    const QByteArray unusable[] = {
        "garbage without equals sign\n",
        "OpenShortCut=s:Ctrl+`\nSearchShortCut=s:Ctrl+Sh", // cut off
        "UseInsInsShortCut=d:one\n",
        "UseInsInsShortCut=d:4294967296\n",
        "OpenShortCut=s:bad escape \\q\n",
        "OpenShortCut=s:\xC3\n", // broken UTF-8
        "Open Short Cut=s:x\n",
        "OpenShortCut=Ctrl+`\n",
        QByteArray("OpenShortCut=s:a\0b\n", 19),
        QByteArray(70 * 1024, '#') + "\n",
    };
    for (const QByteArray& content : unusable) {
        WriteFile(Path(), content);
        TSettingsStore store(Path());
        EXPECT_FALSE(store.Open()) << content.left(40).constData();
        EXPECT_FALSE(QFile::exists(Path()));
        EXPECT_EQ(ReadFile(Path() + ".bad"), content);
        store.SetInteger("UseInsInsShortCut", 1); // a fresh file may be written now
        store.Save();
        EXPECT_EQ(ReadFile(Path() + ".bad"), content);
    }
}

TEST_F(SettingsStore, AcceptsCommentsBlankLinesCarriageReturnsAndTheFullIntegerRange) {
    WriteFile(Path(), "# mine\r\n\r\nA=d:4294967295\r\nB=d:-2147483648\nC=s:\nD=s:x=y:z\n");
    TSettingsStore store(Path());
    ASSERT_TRUE(store.Open());
    EXPECT_EQ(store.ReadInteger("A"), -1);
    EXPECT_EQ(store.ReadInteger("B"), INT32_MIN);
    EXPECT_EQ(store.ReadString("C"), "");
    EXPECT_EQ(store.ReadString("D"), "x=y:z");
}

TEST_F(SettingsStore, SaveThatCannotHappenNamesTheFirstValueSet) {
    WriteFile(FFolder.path() + "/Lorewick", "a file where the folder should be");
    TSettingsStore store(Path());
    EXPECT_FALSE(store.Open());
    store.SetString("SearchShortCut", "F5");
    store.SetString("OpenShortCut", "F6");
    EXPECT_EQ(MessageOf([&] { store.Save(); }), "Failed to set data for 'SearchShortCut'");
}

TEST(AutostartEntry, ExecQuotesThePathAndEscapesWhatTheEntryFormatReserves) {
    EXPECT_EQ(Autostart::ExecLine("/opt/lorewick/lorewick"), "\"/opt/lorewick/lorewick\" /auto");
    EXPECT_EQ(Autostart::ExecLine("/home/a b/50%/\"q\"$x`\\"),
              "\"/home/a b/50%%/\\\\\"q\\\\\"\\\\$x\\\\`\\\\\\\\\" /auto");
}
