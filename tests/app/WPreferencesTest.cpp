#include "app/WPreferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

TSettings SampleSettings() {
    TSettings settings;
    settings.AutoRun = false;
    settings.OpenShortCut = "^F5";
    settings.SearchShortCut = "Alt+";
    settings.UseInsInsShortCut = true;
    return settings;
}

template <typename T> T* Child(QWidget* form, const char* name) {
    T* child = form->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Acts on the dialog once its modal loop runs.
void WhenDialogShows(std::function<void(TPreferencesForm*)> act) {
    QTimer::singleShot(0, [act] {
        auto* form = qobject_cast<TPreferencesForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        act(form);
    });
}

void Press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyPress(widget, key, modifiers);
    QTest::keyRelease(widget, key, modifiers);
}

} // namespace

TEST(PreferencesForm, ShowsTheControlsWhereTheyBelong) {
    TPreferencesForm form(nullptr);
    EXPECT_EQ(form.windowTitle(), "Preferences");
    EXPECT_EQ(form.size(), QSize(276, 168));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const struct {
        const char* Name;
        const char* Text;
        QRect Geometry;
    } controls[] = {
        {"AutoRunCheck", "Autorun when Windows Start", {12, 16, 173, 17}},
        {"OpenShortCutEdit", "", {136, 44, 121, 21}},
        {"SearchShortCutEdit", "", {136, 72, 121, 21}},
        {"UseInsInsShortcutCheck",
         "Use Ctrl+Ins+Ins and Ctrl+C+C as search chortcut",
         {8, 104, 261, 17}},
        {"OkButton", "OK", {100, 136, 75, 25}},
        {"CancelButton", "Cancel", {188, 136, 75, 25}},
    };
    for (const auto& control : controls) {
        QWidget* widget = Child<QWidget>(&form, control.Name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), control.Geometry) << control.Name;
        const QVariant text = widget->property("text");
        EXPECT_EQ(text.toString(), control.Text) << control.Name;
    }
    QStringList labels;
    for (QLabel* label : form.findChildren<QLabel*>())
        labels << QString("%1 @%2,%3").arg(label->text()).arg(label->x()).arg(label->y());
    EXPECT_EQ(labels, (QStringList{"Open Shortcut @8,48", "Search Shortcut @8,72"}));
    EXPECT_TRUE(Child<QLineEdit>(&form, "OpenShortCutEdit")->isReadOnly());
}

TEST(PreferencesForm, TabWalksTheFocusOrder) {
    TPreferencesForm form(nullptr);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 6; ++i) {
        Press(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order,
              (QStringList{"UseInsInsShortcutCheck", "OpenShortCutEdit", "SearchShortCutEdit",
                           "OkButton", "CancelButton", "AutoRunCheck", "UseInsInsShortcutCheck"}));
}

TEST(PreferencesForm, ShortcutFieldsCaptureThePressedCombination) {
    const struct {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        const char* Expected; // nullptr: the field keeps its text
    } presses[] = {
        {Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, "Shift+Ctrl+A"},
        {Qt::Key_Shift, Qt::ShiftModifier, nullptr},
        {Qt::Key_Control, Qt::ControlModifier, nullptr},
        {Qt::Key_Alt, Qt::AltModifier, nullptr},
        {Qt::Key_F5, Qt::NoModifier, "F5"},
        {Qt::Key_X, Qt::AltModifier, "Alt+X"},
        {Qt::Key_AsciiTilde, Qt::ControlModifier | Qt::ShiftModifier, "Shift+Ctrl+`"},
        {Qt::Key_Return, Qt::NoModifier, "Enter"},
        {Qt::Key_Escape, Qt::NoModifier, "Esc"},
        {Qt::Key_Tab, Qt::ControlModifier, "Ctrl+Tab"},
        {Qt::Key_5, Qt::KeypadModifier | Qt::ControlModifier, "Ctrl+5"},
        {Qt::Key_VolumeUp, Qt::NoModifier, ""}, // a key without a name
    };
    TPreferencesForm form(nullptr);
    form.SetSettings(SampleSettings());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    for (const char* name : {"OpenShortCutEdit", "SearchShortCutEdit"}) {
        QLineEdit* edit = Child<QLineEdit>(&form, name);
        edit->setFocus();
        for (const auto& press : presses) {
            edit->setText("before");
            Press(edit, press.Key, press.Modifiers);
            EXPECT_EQ(edit->text(), press.Expected ? press.Expected : "before")
                << name << " " << QTest::toString(QKeySequence(press.Key | press.Modifiers));
        }
        EXPECT_TRUE(form.isVisible()) << "neither Enter nor Escape closes the dialog";
    }
}

TEST(PreferencesForm, TabInAShortcutFieldMovesOnWithoutCapturing) {
    TPreferencesForm form(nullptr);
    form.SetSettings(SampleSettings());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QLineEdit* edit = Child<QLineEdit>(&form, "OpenShortCutEdit");
    edit->setFocus();
    Press(edit, Qt::Key_Tab);
    EXPECT_EQ(edit->text(), "^F5");
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "SearchShortCutEdit");
}

TEST(EditPreferences, OkReturnsWhatTheDialogShows) {
    TSettings settings = SampleSettings();
    WhenDialogShows([](TPreferencesForm* form) {
        QLineEdit* edit = Child<QLineEdit>(form, "SearchShortCutEdit");
        edit->setFocus();
        Press(edit, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        Child<QCheckBox>(form, "AutoRunCheck")->setChecked(true);
        QTest::mouseClick(Child<QPushButton>(form, "OkButton"), Qt::LeftButton);
    });
    EXPECT_TRUE(EditPreferences(settings, nullptr));
    EXPECT_TRUE(settings.AutoRun);
    EXPECT_EQ(settings.OpenShortCut, "^F5"); // texts are taken as they stand
    EXPECT_EQ(settings.SearchShortCut, "Shift+Ctrl+A");
    EXPECT_TRUE(settings.UseInsInsShortCut);
}

TEST(EditPreferences, CancelAndTheCloseBoxChangeNothing) {
    for (const bool closeBox : {false, true}) {
        TSettings settings = SampleSettings();
        WhenDialogShows([closeBox](TPreferencesForm* form) {
            Child<QCheckBox>(form, "UseInsInsShortcutCheck")->setChecked(false);
            Child<QLineEdit>(form, "OpenShortCutEdit")->setText("F1");
            if (closeBox)
                form->close();
            else
                QTest::mouseClick(Child<QPushButton>(form, "CancelButton"), Qt::LeftButton);
        });
        EXPECT_FALSE(EditPreferences(settings, nullptr));
        EXPECT_EQ(settings.OpenShortCut, "^F5");
        EXPECT_TRUE(settings.UseInsInsShortCut);
    }
}

TEST(EditPreferences, DialogIsCentredOnTheMainWindowAndDestroyedAfterwards) {
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 258, 434);
    mainWindow.show();
    TSettings settings = SampleSettings();
    QPoint centre;
    WhenDialogShows([&centre](TPreferencesForm* form) {
        centre = form->geometry().center();
        form->reject();
    });
    EditPreferences(settings, &mainWindow);
    EXPECT_LE((centre - mainWindow.frameGeometry().center()).manhattanLength(), 2);
    EXPECT_TRUE(mainWindow.findChildren<TPreferencesForm*>().isEmpty());
}
