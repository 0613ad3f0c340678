#include "common/Exception.h"
#include "data/Data.h"
#include "support/ConfigHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Each test gets an empty configuration folder of its own as $XDG_CONFIG_HOME.
class Settings : public testing::Test {
protected:
    QString SettingsPath() const { return FConfigHome.SettingsPath(); }
    QString EntryPath() const { return FConfigHome.EntryPath(); }

    void WriteAllValues() {
        WriteFile(SettingsPath(), "# kept by hand\n"
                                  "OpenShortCut=s:^F5\n"
                                  "SearchShortCut=s:\n"
                                  "UseInsInsShortCut=d:7\n");
    }
    void MakeAutostartFolder() { QDir().mkpath(FConfigHome.Path() + "/autostart"); }
    QByteArray CurrentExecLine() const {
        return "Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\" /auto\n";
    }

    TConfigHome FConfigHome;
};

const QByteArray DefaultFile = "# Lorewick settings\n"
                               "OpenShortCut=s:Ctrl+`\n"
                               "SearchShortCut=s:Ctrl+Shift+`\n"
                               "UseInsInsShortCut=d:1\n";

} // namespace

TEST_F(Settings, FirstStartWritesTheDefaultsAndTheAutostartEntry) {
    const TSettings settings = LoadSettings();
    EXPECT_TRUE(settings.AutoRun);
    EXPECT_EQ(settings.OpenShortCut, "Ctrl+`");
    EXPECT_EQ(settings.SearchShortCut, "Ctrl+Shift+`");
    EXPECT_TRUE(settings.UseInsInsShortCut);
    EXPECT_EQ(ReadFile(SettingsPath()), DefaultFile);
    EXPECT_TRUE(ReadFile(EntryPath()).contains(CurrentExecLine()));
}

TEST_F(Settings, CompleteSettingsWithoutAutostartEntryAreReadAndNotWritten) {
    WriteAllValues();
    MakeAutostartFolder();
    const QByteArray before = ReadFile(SettingsPath());
    const TSettings settings = LoadSettings();
    EXPECT_FALSE(settings.AutoRun);
    EXPECT_EQ(settings.OpenShortCut, "^F5");
    EXPECT_EQ(settings.SearchShortCut, "");
    EXPECT_TRUE(settings.UseInsInsShortCut); // any non-zero value
    EXPECT_EQ(ReadFile(SettingsPath()), before);
    EXPECT_FALSE(QFile::exists(EntryPath()));
}

TEST_F(Settings, CompleteSettingsKeepAnAutostartEntryOfAnotherPath) {
    WriteAllValues();
    WriteFile(EntryPath(), "[Desktop Entry]\nExec=\"/old/place/lorewick\" /auto\n");
    EXPECT_TRUE(LoadSettings().AutoRun);
    EXPECT_TRUE(ReadFile(EntryPath()).contains("/old/place/"));
}

TEST_F(Settings, MissingValueTakesItsDefaultAndEverythingIsWrittenBack) {
    WriteFile(SettingsPath(), "OpenShortCut=s:Alt+F1\nUseInsInsShortCut=d:0\n");
    WriteFile(EntryPath(), "[Desktop Entry]\nExec=\"/old/place/lorewick\" /auto\n");
    TSettings settings = LoadSettings();
    EXPECT_EQ(settings.SearchShortCut, "Ctrl+Shift+`");
    EXPECT_EQ(ReadFile(SettingsPath()), "# Lorewick settings\n"
                                        "OpenShortCut=s:Alt+F1\n"
                                        "SearchShortCut=s:Ctrl+Shift+`\n"
                                        "UseInsInsShortCut=d:0\n");
    EXPECT_TRUE(ReadFile(EntryPath()).contains(CurrentExecLine())) << "rewritten";

    QFile::remove(EntryPath());
    WriteFile(SettingsPath(), "OpenShortCut=s:Alt+F1\n");
    settings = LoadSettings();
    EXPECT_FALSE(settings.AutoRun);
    EXPECT_FALSE(QFile::exists(EntryPath())) << "stays absent";
}

TEST_F(Settings, OldAutostartEntryWithoutSettingsIsRewrittenForThisExecutable) {
    WriteFile(EntryPath(), "[Desktop Entry]\nExec=\"/old/place/lorewick\" /auto\n");
    EXPECT_TRUE(LoadSettings().AutoRun);
    EXPECT_TRUE(ReadFile(EntryPath()).contains(CurrentExecLine()));
}

TEST_F(Settings, MissingAutostartFolderCountsAsIncomplete) {
    WriteAllValues();
    EXPECT_TRUE(LoadSettings().AutoRun);
    EXPECT_TRUE(QFile::exists(EntryPath()));
    EXPECT_FALSE(ReadFile(SettingsPath()).contains("# kept by hand"));
}

TEST_F(Settings, ValueOfTheWrongKindFailsAndLeavesTheFileAlone) {
    const QByteArray wrong = "OpenShortCut=s:Ctrl+`\nUseInsInsShortCut=s:1\n";
    WriteFile(SettingsPath(), wrong);
    try {
        LoadSettings();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'UseInsInsShortCut'");
    }
    EXPECT_EQ(ReadFile(SettingsPath()), wrong);
}

TEST_F(Settings, GarbageIsKeptAsideAndTheDefaultsAreUsed) {
    const QByteArray garbage("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
    WriteFile(SettingsPath(), garbage);
    const TSettings settings = LoadSettings();
    EXPECT_EQ(settings.OpenShortCut, "Ctrl+`");
    EXPECT_EQ(ReadFile(SettingsPath()), DefaultFile);
    EXPECT_EQ(ReadFile(SettingsPath() + ".bad"), garbage);
}

TEST_F(Settings, SavingWithoutAutoRunDeletesTheEntry) {
    LoadSettings();
    TSettings settings;
    settings.AutoRun = false;
    settings.SearchShortCut = "Shift+Ctrl+A";
    SaveSettings(settings);
    EXPECT_FALSE(QFile::exists(EntryPath()));
    EXPECT_TRUE(ReadFile(SettingsPath()).contains("\nSearchShortCut=s:Shift+Ctrl+A\n"));
    SaveSettings(settings); // deleting an absent entry is no error
}

TEST_F(Settings, FailedWriteNamesTheValue) {
    WriteFile(FConfigHome.Path() + "/Lorewick", "a file where the folder belongs");
    try {
        LoadSettings();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Failed to set data for 'OpenShortCut'");
    }
}
