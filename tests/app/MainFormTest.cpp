#include "app/Main.h"
#include "common/HashList.h"
#include "common/Win1252.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "support/TestPaths.h"
#include "view/WInfo.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

// The fixture's cards in list order.
const QStringList SortedNames = {"Abandon", "Badger",        "Bayou",       "Bayou Lantern",
                                 "Cabal",   "Mirewick Sage", "Zephyr Hound"};

// Lets the event loop go idle once, the moment the action states are brought up to date.
void Idle() {
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
}

// How the program's event loop came out.
enum TOutcome { Ended = 0, StillRunning = 3, WrongState = 4 };

// Runs the application's event loop with `step` as its first event: Ended when the program
// ended itself, StillRunning when it was still running a second later.
int RunProgram(const std::function<void()>& step) {
    QTimer::singleShot(0, step);
    QTimer::singleShot(1000, [] { QCoreApplication::exit(StillRunning); });
    return QApplication::exec();
}

class MainForm : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The window reads and writes the user's settings: keep them in a folder of ours.
        FConfig = new QTemporaryDir;
        qputenv("XDG_CONFIG_HOME", FConfig->path().toLocal8Bit());
    }
    static void TearDownTestSuite() {
        delete FConfig;
        FConfig = nullptr;
    }

    void SetUp() override { UseDataDir(FixturesDir + "app/Data/"); }
    void TearDown() override { FForm.reset(); }

    static void UseDataDir(const std::string& dataDir) { SetDataDir(dataDir); }

    // Shows the window as the program does at start, which loads the list.
    TMainForm& ShowForm(bool debugSwitch = false) {
        FForm.reset(); // one main window at a time, each loading the database afresh
        ResetDatabaseForTesting();
        FForm = std::make_unique<TMainForm>(debugSwitch);
        FForm->show();
        FForm->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(FForm.get()));
        return *FForm;
    }

    QString CurrentName() const {
        const QModelIndex current = FForm->DataGrid->currentIndex();
        return current.isValid() ? current.data().toString() : QString();
    }
    int CurrentRow() const { return FForm->DataGrid->currentIndex().row(); }
    void MakeCurrent(const QString& name) {
        FForm->DataGrid->setCurrentIndex(
            FForm->DataGrid->model()->index(SortedNames.indexOf(name), 0));
    }
    static const TDataItem* Card(const std::string& id) { return Database()->FindItem(id); }
    static int OpenCardWindows() { return CardWindows().Count(); }
    static TInfoForm* CardWindow(const std::string& id) {
        TInfoForm* window = nullptr;
        return CardWindows().TryGetObject(id, window) ? window : nullptr;
    }

    std::unique_ptr<TMainForm> FForm;
    static QTemporaryDir* FConfig;
};
QTemporaryDir* MainForm::FConfig = nullptr;

} // namespace

TEST_F(MainForm, IsLaidOutAsAFixedFrameAroundListAndSearchBox) {
    TMainForm& form = ShowForm();
    EXPECT_EQ(form.windowTitle(), "Lorewick");
    EXPECT_EQ(form.frameGeometry(), QRect(6, 6, 258, 434));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));

    QStringList menus;
    QList<QStringList> entries;
    for (QAction* title : form.menuBar()->actions()) {
        menus << title->text();
        QStringList texts;
        for (QAction* entry : title->menu()->actions())
            texts << (entry->isSeparator() ? "-" : entry->text());
        entries << texts;
    }
    EXPECT_EQ(menus, (QStringList{"File", "Edit", "View", "Service", "Help"}));
    EXPECT_EQ(entries, (QList<QStringList>{{"Exit"},
                                           {},
                                           {"Show Card", "Show New Card"},
                                           {"Import Database"},
                                           {"Preferences...", "-", "About"}}));
    EXPECT_EQ(form.AutoShowBar->actions(), QList<QAction*>{form.aAutoShow});
    EXPECT_EQ(form.BottomBar->actions(), (QList<QAction*>{form.aShowCard, form.aCloseAllCards}));
    for (QToolBar* bar : {form.AutoShowBar, form.BottomBar}) {
        EXPECT_FALSE(bar->isMovable());
        EXPECT_FALSE(bar->isFloatable());
    }
    EXPECT_EQ(form.toolBarArea(form.BottomBar), Qt::BottomToolBarArea);
    EXPECT_EQ(form.PopupMenu->actions(), (QList<QAction*>{form.aOpen, form.aClose}));
    EXPECT_EQ(form.PopupMenu->defaultAction(), form.aOpen);
    EXPECT_TRUE(form.aOpen->font().bold());

    // The search strip: 27 pixels below the list, the box on its bottom edge.
    const QRect list = form.DataGrid->geometry();
    const QWidget* strip = form.SearchEdit->parentWidget();
    EXPECT_EQ(strip->height(), 27);
    EXPECT_EQ(strip->y(), list.bottom() + 1);
    EXPECT_EQ(form.SearchEdit->geometry(), QRect(0, 4, strip->width(), 23));
    for (QWidget* widget :
         {static_cast<QWidget*>(form.DataGrid), static_cast<QWidget*>(form.SearchEdit)}) {
        EXPECT_EQ(widget->font().family(), "Arial");
        EXPECT_EQ(widget->font().pixelSize(), 12);
        EXPECT_EQ(widget->palette().color(QPalette::Inactive, QPalette::Highlight),
                  widget->palette().color(QPalette::Active, QPalette::Highlight));
    }
    EXPECT_EQ(form.DataGrid->visualRect(form.DataGrid->model()->index(1, 0)).height(), 17);
    EXPECT_EQ(form.DataGrid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(MainForm, FirstFillSortsTheListAndStartsOnTheDatabasesFirstCard) {
    TMainForm& form = ShowForm();
    QStringList rows;
    for (int row = 0; row < form.DataGrid->model()->rowCount(); ++row)
        rows << form.DataGrid->model()->index(row, 0).data().toString();
    EXPECT_EQ(rows, SortedNames);

    const TDataItem* first = Database()->Items(0);
    EXPECT_EQ(form.CurrentItem(), first);
    EXPECT_EQ(form.SearchEdit->text(), AnsiToQString(first->DisplayName()));
    EXPECT_EQ(form.SearchEdit->selectedText(), form.SearchEdit->text());
    EXPECT_FALSE(form.Busy());

    // Later shows do not fill the list again.
    MakeCurrent("Cabal");
    form.hide();
    form.show();
    EXPECT_EQ(CurrentName(), "Cabal");
}

TEST_F(MainForm, TypingMovesTheCurrentRowButNeverShowsACard) {
    TMainForm& form = ShowForm();
    struct Step {
        const char* typed; // replaces the search text
        QString current;   // "" for no current row
    };
    const Step steps[] = {
        {"b", "Badger"},
        {"ba", "Badger"},
        {"Bz", "Bayou Lantern"}, // the row above Cabal
        {"bayou", "Bayou"},      // an exact name comes before longer ones
        {"z", "Zephyr Hound"},
        {"zz", "Zephyr Hound"}, // sorts after every row: stays where it was
        {"0", ""},              // sorts before the first row: no row current
    };
    for (const Step& step : steps) {
        form.SearchEdit->clear();
        QTest::keyClicks(form.SearchEdit, step.typed);
        EXPECT_EQ(CurrentName(), step.current) << step.typed;
        EXPECT_EQ(form.SearchEdit->text(), step.typed); // the list's moves do not touch the box
    }
    Idle();
    EXPECT_FALSE(form.aShowCard->isEnabled());
    EXPECT_EQ(OpenCardWindows(), 0);

    form.SearchEdit->setText("cab");
    EXPECT_EQ(CurrentName(), "Cabal");
    form.SearchEdit->clear(); // deleting the whole text leaves the row
    EXPECT_EQ(CurrentName(), "Cabal");
    Idle();
    EXPECT_TRUE(form.aShowCard->isEnabled());
}

TEST_F(MainForm, DownInTheSearchBoxTakesTheNextNameAndALetterStartsAfresh) {
    TMainForm& form = ShowForm();
    form.SearchEdit->setFocus();
    QTest::keyClicks(form.SearchEdit, "bad");
    QTest::keyClick(form.SearchEdit, Qt::Key_Down);
    EXPECT_EQ(CurrentName(), "Bayou");
    EXPECT_EQ(form.SearchEdit->text(), "Bayou");
    EXPECT_EQ(form.SearchEdit->selectedText(), "Bayou");
    EXPECT_TRUE(form.SearchEdit->hasFocus());

    QTest::keyClick(form.SearchEdit, Qt::Key_M);
    EXPECT_EQ(form.SearchEdit->text(), "m");
    EXPECT_EQ(CurrentName(), "Mirewick Sage");
}

TEST_F(MainForm, HomeAndEndEditTheBoxWhileCtrlHomeAndCtrlEndMoveTheList) {
    TMainForm& form = ShowForm();
    struct Case {
        bool inList; // the key goes to the list, else to the search box
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString current; // after starting on Cabal
        int cursor;      // of the search box; -1 when the list moved instead
    };
    const Case cases[] = {
        {false, Qt::Key_Home, Qt::NoModifier, "Cabal", 0},
        {false, Qt::Key_End, Qt::NoModifier, "Cabal", 5},
        {false, Qt::Key_Home, Qt::ControlModifier, "Abandon", -1},
        {false, Qt::Key_End, Qt::ControlModifier, "Zephyr Hound", -1},
        {true, Qt::Key_Home, Qt::NoModifier, "Cabal", 0},
        {true, Qt::Key_End, Qt::NoModifier, "Cabal", 5},
        {true, Qt::Key_Home, Qt::ControlModifier, "Abandon", -1},
        {true, Qt::Key_End, Qt::ControlModifier, "Zephyr Hound", -1},
    };
    for (const Case& c : cases) {
        QWidget* target = c.inList ? static_cast<QWidget*>(form.DataGrid) : form.SearchEdit;
        target->setFocus();
        MakeCurrent("Cabal");
        form.SearchEdit->setCursorPosition(2);
        QTest::keyClick(target, c.key, c.modifiers);
        const QString what =
            QString("%1 %2 in %3").arg(c.key).arg(c.modifiers).arg(c.inList ? "list" : "box");
        EXPECT_EQ(CurrentName(), c.current) << what.toStdString();
        if (c.cursor >= 0) {
            EXPECT_EQ(form.SearchEdit->text(), "Cabal") << what.toStdString();
            EXPECT_EQ(form.SearchEdit->cursorPosition(), c.cursor) << what.toStdString();
        } else
            EXPECT_EQ(form.SearchEdit->text(), c.current) << what.toStdString();
        EXPECT_TRUE(target->hasFocus()) << what.toStdString();
    }
}

TEST_F(MainForm, KeysTypedInTheListEditTheSearchBox) {
    TMainForm& form = ShowForm();
    form.DataGrid->setFocus();
    MakeCurrent("Abandon");
    QTest::keyClick(form.DataGrid, Qt::Key_M);
    EXPECT_EQ(form.SearchEdit->text(), "m");
    EXPECT_EQ(CurrentName(), "Mirewick Sage");
    QTest::keyClicks(form.DataGrid, "IREZ");
    EXPECT_EQ(form.SearchEdit->text(), "mIREZ");
    QTest::keyClick(form.DataGrid, Qt::Key_Backspace);
    EXPECT_EQ(form.SearchEdit->text(), "mIRE");
    QTest::keyClick(form.DataGrid, Qt::Key_Left);
    QTest::keyClick(form.DataGrid, Qt::Key_Delete);
    EXPECT_EQ(form.SearchEdit->text(), "mIR");
    EXPECT_TRUE(form.DataGrid->hasFocus());

    // Up and Down stay with the list, which copies the new name into the box.
    QTest::keyClick(form.DataGrid, Qt::Key_Up);
    EXPECT_EQ(CurrentName(), "Cabal");
    EXPECT_EQ(form.SearchEdit->text(), "Cabal");
    EXPECT_EQ(form.SearchEdit->selectedText(), "Cabal");
}

TEST_F(MainForm, EnteringTheSearchBoxFromTheListCancelsItsSelection) {
    TMainForm& form = ShowForm();
    form.DataGrid->setFocus();
    MakeCurrent("Bayou");
    ASSERT_EQ(form.SearchEdit->selectedText(), "Bayou");
    QTest::keyClick(form.DataGrid, Qt::Key_Tab);
    ASSERT_TRUE(form.SearchEdit->hasFocus());
    EXPECT_EQ(form.SearchEdit->text(), "Bayou");
    EXPECT_FALSE(form.SearchEdit->hasSelectedText());
}

TEST_F(MainForm, SearchBoxKeepsNoUndo) {
    TMainForm& form = ShowForm();
    form.SearchEdit->setFocus();
    form.SearchEdit->clear();
    QTest::keyClicks(form.SearchEdit, "ba");
    QTest::keyClick(form.SearchEdit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form.SearchEdit->text(), "ba");
    EXPECT_EQ(CurrentName(), "Badger");
}

TEST_F(MainForm, EnterShowsTheCardBesideTheWindowAndCtrlEnterInANewOne) {
    TMainForm& form = ShowForm();
    for (QWidget* target :
         {static_cast<QWidget*>(form.SearchEdit), static_cast<QWidget*>(form.DataGrid)}) {
        CloseAllCardWindows();
        target->setFocus();
        MakeCurrent("Badger");
        QTest::keyClick(target, Qt::Key_Return);
        ASSERT_NE(ReusableCardWindow(), nullptr);
        EXPECT_EQ(ReusableCardWindow()->Item(), Card("badger"));
        EXPECT_EQ(QApplication::activeWindow(), &form); // the focus stays here

        MakeCurrent("Cabal");
        QTest::keyClick(target, Qt::Key_Return, Qt::ControlModifier);
        EXPECT_EQ(OpenCardWindows(), 2);
        TInfoForm* cabal = CardWindow("cabal");
        ASSERT_NE(cabal, nullptr);
        EXPECT_NE(cabal, ReusableCardWindow());
        EXPECT_TRUE(QTest::qWaitForWindowActive(cabal));
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
}

TEST_F(MainForm, DoubleClickShowsTheCardAndWithCtrlOpensANewActiveWindow) {
    TMainForm& form = ShowForm();
    const QRect bayou =
        form.DataGrid->visualRect(form.DataGrid->model()->index(SortedNames.indexOf("Bayou"), 0));
    QTest::mouseDClick(form.DataGrid->viewport(), Qt::LeftButton, Qt::NoModifier, bayou.center());
    ASSERT_NE(ReusableCardWindow(), nullptr);
    EXPECT_EQ(ReusableCardWindow()->Item(), Card("bayou"));
    EXPECT_EQ(QApplication::activeWindow(), &form);

    const QRect cabal =
        form.DataGrid->visualRect(form.DataGrid->model()->index(SortedNames.indexOf("Cabal"), 0));
    QTest::mouseDClick(form.DataGrid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                       cabal.center());
    TInfoForm* window = CardWindow("cabal");
    ASSERT_NE(window, nullptr);
    EXPECT_NE(window, ReusableCardWindow());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}

TEST_F(MainForm, AutoShowFollowsMovesInTheListButNotTyping) {
    TMainForm& form = ShowForm();
    MakeCurrent("Abandon");
    form.DataGrid->setFocus();
    form.aAutoShow->trigger(); // on: shows the current card at once
    ASSERT_NE(ReusableCardWindow(), nullptr);
    EXPECT_EQ(ReusableCardWindow()->Item(), Card("abandon"));

    QTest::keyClick(form.DataGrid, Qt::Key_Down);
    EXPECT_EQ(ReusableCardWindow()->Item(), Card("badger"));
    EXPECT_EQ(QApplication::activeWindow(), &form);
    EXPECT_TRUE(form.DataGrid->hasFocus());

    form.SearchEdit->setFocus();
    form.SearchEdit->selectAll();
    QTest::keyClicks(form.SearchEdit, "ca");
    EXPECT_EQ(CurrentName(), "Cabal");
    EXPECT_EQ(ReusableCardWindow()->Item(), Card("badger"));
    EXPECT_EQ(OpenCardWindows(), 1);

    form.aAutoShow->trigger(); // off
    QTest::keyClick(form.SearchEdit, Qt::Key_Down);
    EXPECT_EQ(ReusableCardWindow()->Item(), Card("badger"));
}

TEST_F(MainForm, LookUpPutsTheTextInTheBoxAndShowsTheCardItFinds) {
    TMainForm& form = ShowForm();
    form.aAutoShow->trigger(); // nothing current to show yet
    CloseAllCardWindows();
    form.LookUp("mire");
    EXPECT_EQ(form.SearchEdit->text(), "mire");
    EXPECT_EQ(form.SearchEdit->selectedText(), "mire");
    EXPECT_TRUE(form.SearchEdit->hasFocus());
    EXPECT_EQ(CurrentName(), "Mirewick Sage");
    ASSERT_NE(ReusableCardWindow(), nullptr);
    EXPECT_EQ(ReusableCardWindow()->Item(), Card("mirewick_sage"));
    EXPECT_EQ(OpenCardWindows(), 1);
    EXPECT_FALSE(form.Busy());

    form.LookUp("Bz"); // no name begins with it: the row moves, no card is shown
    EXPECT_EQ(CurrentName(), "Bayou Lantern");
    EXPECT_EQ(ReusableCardWindow()->Item(), Card("mirewick_sage"));
    EXPECT_EQ(form.SearchEdit->text(), "Bz");
}

TEST_F(MainForm, OpenCardShowsKnownIdentifiersInANewActiveWindow) {
    ShowForm();
    FForm->OpenCard("no_such_card");
    EXPECT_EQ(OpenCardWindows(), 0);
    FForm->OpenCard("BAYOU");
    TInfoForm* window = CardWindow("bayou");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Item(), Card("bayou"));
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}

TEST_F(MainForm, ActionStatesFollowTheCurrentRowAndTheImportStaysHidden) {
    TMainForm& form = ShowForm();
    Idle();
    EXPECT_TRUE(form.aClose->isEnabled());
    EXPECT_TRUE(form.aShowCard->isEnabled());
    EXPECT_FALSE(form.aImport->isVisible());

    form.Search("0"); // no row current
    Idle();
    EXPECT_FALSE(form.aShowCard->isEnabled());
    // A disabled action runs neither from its key nor from its button.
    QTest::keyClick(form.SearchEdit, Qt::Key_Return);
    QTest::mouseClick(form.BottomBar->widgetForAction(form.aShowCard), Qt::LeftButton);
    form.aShowNewCard->trigger(); // enabled, but nothing to show
    EXPECT_EQ(OpenCardWindows(), 0);

    // The states are brought up to date before a key runs its action, idle or not.
    form.Search("ab");
    QTest::keyClick(form.SearchEdit, Qt::Key_Return);
    EXPECT_EQ(OpenCardWindows(), 1);
}

TEST(ImportCommand, IsOfferedOnlyForTheDevelopmentMachinesExactPath) {
    EXPECT_TRUE(ImportCommandVisible("E:\\Projects\\Lorewick\\Lorewick.exe"));
    for (const char* path :
         {"e:\\projects\\lorewick\\lorewick.exe", "E:\\Projects\\Lorewick\\Lorewick.exe ",
          "E:/Projects/Lorewick/Lorewick.exe", "/usr/bin/lorewick", ""})
        EXPECT_FALSE(ImportCommandVisible(path)) << path;
}

TEST(KeyData, CarriesShiftCtrlAndAltOnly) {
    EXPECT_EQ(KeyDataFromShift(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                               Qt::KeypadModifier | Qt::MetaModifier),
              Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(KeyDataFromShift(Qt::NoModifier), Qt::NoModifier);
}

TEST_F(MainForm, AnEmptyDatabaseLeavesListAndBoxEmpty) {
    QTemporaryDir noDatabase;
    UseDataDir(noDatabase.path().toStdString() + "/");
    TMainForm& form = ShowForm(); // the failed load is swallowed
    ASSERT_NE(Database(), nullptr);
    EXPECT_EQ(form.DataGrid->model()->rowCount(), 0);
    EXPECT_EQ(form.SearchEdit->text(), "");
    Idle();
    EXPECT_FALSE(form.aShowCard->isEnabled());
    form.aShowNewCard->trigger();
    QTest::keyClicks(form.SearchEdit, "b");
    EXPECT_EQ(form.DataGrid->currentIndex().isValid(), false);
    EXPECT_EQ(OpenCardWindows(), 0);
}

// Whether the program ends is seen in a child process running the application's own event
// loop, the only loop that the program's end stops for good.
TEST_F(MainForm, CloseRequestHidesAndClosesCardsButOnlyDebugEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool debug : {false, true}) {
        const auto closeWithCardsOpen = [this, debug] {
            TMainForm& form = ShowForm(debug);
            form.OpenCard("badger");
            form.LookUp("cabal");
            if (OpenCardWindows() != 2)
                std::_Exit(WrongState);
            const int outcome = RunProgram([&form] { form.close(); });
            const bool closedEverything =
                !form.isVisible() && OpenCardWindows() == 0 && !ReusableCardWindow();
            std::_Exit(closedEverything ? outcome : WrongState);
        };
        EXPECT_EXIT(closeWithCardsOpen(), testing::ExitedWithCode(debug ? Ended : StillRunning), "")
            << "debug " << debug;
    }
}

TEST_F(MainForm, ClosingTheLastCardWindowWhileHiddenKeepsTheProgramRunning) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto closeLastCard = [this] {
        TMainForm& form = ShowForm();
        form.close();
        form.OpenCard("badger");
        TInfoForm* window = CardWindow("badger");
        std::_Exit(window ? RunProgram([window] { window->close(); }) : WrongState);
    };
    EXPECT_EXIT(closeLastCard(), testing::ExitedWithCode(StillRunning), "");
}

TEST_F(MainForm, ExitEndsTheProgramAlsoFromTheTrayWhileHidden) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto exitWhileHidden = [this] {
        TMainForm& form = ShowForm();
        form.OpenCard("badger");
        form.close();
        form.OpenCard("cabal"); // a link followed in a card window left open
        const int outcome = RunProgram([&form] { form.aClose->trigger(); });
        std::_Exit(!form.isVisible() && OpenCardWindows() == 0 ? outcome : WrongState);
    };
    EXPECT_EXIT(exitWhileHidden(), testing::ExitedWithCode(Ended), "");
}

TEST_F(MainForm, SessionEndLetsTheCloseRequestEndTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto endSession = [this] {
        TMainForm& form = ShowForm();
        form.SessionEnding();
        std::_Exit(RunProgram([&form] { form.close(); }));
    };
    EXPECT_EXIT(endSession(), testing::ExitedWithCode(Ended), "");
}

TEST_F(MainForm, OpenShowsAHiddenOrMinimisedWindowWithTheFocusInTheSearchBox) {
    TMainForm& form = ShowForm();
    form.DataGrid->setFocus();
    form.close();
    ASSERT_FALSE(form.isVisible());
    form.aOpen->trigger();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    // the widget that has the keyboard focus while the window is active
    EXPECT_EQ(form.focusWidget(), form.SearchEdit);

    form.DataGrid->setFocus();
    form.showMinimized();
    form.aOpen->trigger();
    EXPECT_FALSE(form.isMinimized());
    EXPECT_EQ(form.focusWidget(), form.SearchEdit);
}

TEST_F(MainForm, TrayDoubleClickOpensAndASingleClickDoesNothing) {
    TMainForm& form = ShowForm();
    form.close();
    emit form.TrayIcon->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(form.isVisible());
    emit form.TrayIcon->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(MainForm, WithAutoTheDatabaseWaitsForTheFirstOpen) {
    ResetDatabaseForTesting();
    FForm = std::make_unique<TMainForm>();
    EXPECT_EQ(Database(), nullptr);
    EXPECT_TRUE(FForm->TrayIcon->isVisible());
    FForm->aOpen->trigger();
    ASSERT_NE(Database(), nullptr);
    EXPECT_EQ(FForm->DataGrid->model()->rowCount(), SortedNames.size());
}

TEST_F(MainForm, TheDockedCardWindowFollowsTheMainWindow) {
    TMainForm& form = ShowForm();
    form.LookUp("badger");
    TInfoForm* docked = ReusableCardWindow();
    ASSERT_NE(docked, nullptr);
    form.move(40, 50);
    const QRect frame = form.frameGeometry();
    EXPECT_EQ(docked->frameGeometry().topLeft(), QPoint(frame.right() + 1, frame.top()));
    form.resize(form.width() + 30, form.height());
    EXPECT_EQ(docked->frameGeometry().topLeft(),
              QPoint(form.frameGeometry().right() + 1, frame.top()));
}
