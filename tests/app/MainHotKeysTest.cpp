#include "app/Main.h"
#include "app/ShortCuts.h"
#include "app/WPreferences.h"
#include "common/Exception.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "support/ConfigHome.h"
#include "support/TestPaths.h"
#include "view/WInfo.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The main window with a settings folder of its own for each test.
class MainHotKeys : public testing::Test {
protected:
    void SetUp() override { SetDataDir(FixturesDir + "app/Data/"); }
    void TearDown() override { FForm.reset(); }

    // Each window loads the database afresh at its first show.
    TMainForm& MakeForm() {
        FForm.reset();
        ResetDatabaseForTesting();
        FForm = std::make_unique<TMainForm>();
        return *FForm;
    }

    QString SettingsPath() const { return FConfig.SettingsPath(); }
    QString EntryPath() const { return FConfig.EntryPath(); }
    void WriteStoredSettings() {
        WriteFile(SettingsPath(), "OpenShortCut=s:^F5\n"
                                  "SearchShortCut=s:Alt+\n"
                                  "UseInsInsShortCut=d:1\n");
        WriteFile(EntryPath(), "[Desktop Entry]\nExec=\"/old/place/lorewick\" /auto\n");
    }

    // Runs `act` on the preferences dialog once it shows, then the "Preferences..." command.
    void RunPreferences(const std::function<void(TPreferencesForm*)>& act) {
        QTimer::singleShot(0, [act] {
            auto* form = qobject_cast<TPreferencesForm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            act(form);
        });
        FForm->RunAction(FForm->aPreferences);
    }

    static QStringList CardWindowTitles() {
        QStringList titles;
        for (int i = 0; i < CardWindows().Count(); ++i)
            titles << CardWindows().Objects(i)->windowTitle();
        return titles;
    }

    TConfigHome FConfig; // declared before the window, so it outlives it
    std::unique_ptr<TMainForm> FForm;
};

} // namespace

TEST_F(MainHotKeys, ConstructionPutsTheStoredSettingsIntoForce) {
    WriteStoredSettings();
    WriteFile(SettingsPath(), ReadFile(SettingsPath()).replace("d:1", "d:0"));
    TMainForm& form = MakeForm();
    EXPECT_TRUE(form.Settings().AutoRun);
    EXPECT_EQ(form.Settings().OpenShortCut, "^F5");
    EXPECT_EQ(form.Settings().SearchShortCut, "Alt+");
    EXPECT_FALSE(form.ClipboardMonitor->Enabled());

    TSettings watching = form.Settings();
    watching.UseInsInsShortCut = true;
    form.ApplySettings(watching);
    EXPECT_TRUE(form.ClipboardMonitor->Enabled());
}

TEST_F(MainHotKeys, ValueOfTheWrongKindStopsTheStart) {
    WriteFile(SettingsPath(), "OpenShortCut=d:5\n");
    try {
        MakeForm();
        FAIL() << "the window was created";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'OpenShortCut'");
    }
}

TEST_F(MainHotKeys, OpenHotKeyOpensTheHiddenWindow) {
    TMainForm& form = MakeForm();
    form.WMHotKey(0x1234); // not one of ours: nothing happens
    EXPECT_FALSE(form.isVisible());
    form.WMHotKey(HotKeyOpen);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(CardWindowTitles().isEmpty());
}

TEST_F(MainHotKeys, SearchOpensTheWindowAndLooksUpTheClipboard) {
    const std::pair<const char*, std::function<void(TMainForm&)>> ways[] = {
        {"search hotkey", [](TMainForm& form) { form.WMHotKey(HotKeySearch); }},
        {"finished double copy", [](TMainForm& form) { form.WMHotKey(HotKeyDoubleCopy); }},
        {"another start with -search", [](TMainForm& form) { form.SearchFromOtherStart(); }},
    };
    for (const auto& [way, run] : ways) {
        TMainForm& form = MakeForm();
        QGuiApplication::clipboard()->setText("bayou l");
        run(form);
        EXPECT_TRUE(form.isVisible()) << way;
        EXPECT_EQ(form.SearchEdit->text(), "bayou l") << way;
        EXPECT_EQ(CardWindowTitles(), QStringList{"Bayou Lantern"}) << way;
    }
}

TEST_F(MainHotKeys, HugeClipboardTextIsLookedUpWithoutAMatch) {
    TMainForm& form = MakeForm();
    QGuiApplication::clipboard()->setText(QString(10 * 1024 * 1024, QChar('b')));
    form.WMHotKey(HotKeySearch);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(CardWindowTitles().isEmpty());
}

TEST_F(MainHotKeys, PreferencesConfirmedApplyAndRewriteEverything) {
    WriteStoredSettings();
    TMainForm& form = MakeForm();
    RunPreferences([](TPreferencesForm* dialog) {
        QLineEdit* edit = dialog->findChild<QLineEdit*>("SearchShortCutEdit");
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        dialog->findChild<QCheckBox*>("UseInsInsShortcutCheck")->setChecked(false);
        QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    EXPECT_EQ(form.Settings().SearchShortCut, "Shift+Ctrl+A");
    EXPECT_FALSE(form.ClipboardMonitor->Enabled());
    EXPECT_EQ(ReadFile(SettingsPath()), "# Lorewick settings\n"
                                        "OpenShortCut=s:^F5\n"
                                        "SearchShortCut=s:Shift+Ctrl+A\n"
                                        "UseInsInsShortCut=d:0\n");
    const QByteArray exec =
        "Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\" /auto\n";
    EXPECT_TRUE(ReadFile(EntryPath()).contains(exec)) << "the entry names this executable";
}

TEST_F(MainHotKeys, PreferencesCancelledChangeNothing) {
    WriteStoredSettings();
    const QByteArray settingsBefore = ReadFile(SettingsPath());
    const QByteArray entryBefore = ReadFile(EntryPath());
    TMainForm& form = MakeForm();
    RunPreferences([](TPreferencesForm* dialog) {
        dialog->findChild<QCheckBox*>("AutoRunCheck")->setChecked(false);
        QTest::mouseClick(dialog->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    });
    EXPECT_TRUE(form.Settings().AutoRun);
    EXPECT_EQ(ReadFile(SettingsPath()), settingsBefore);
    EXPECT_EQ(ReadFile(EntryPath()), entryBefore);
}

TEST_F(MainHotKeys, ClearingAutorunDeletesTheAutostartEntry) {
    WriteStoredSettings();
    TMainForm& form = MakeForm();
    RunPreferences([](TPreferencesForm* dialog) {
        dialog->findChild<QCheckBox*>("AutoRunCheck")->setChecked(false);
        QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    EXPECT_FALSE(form.Settings().AutoRun);
    EXPECT_FALSE(QFile::exists(EntryPath()));
}
