#include "view/WInfo.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "support/TestPaths.h"
#include "view/CardPictures.h"
#include "view/PageImport.h"
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

// Loads the card database of `dataDir` unless it is the one loaded. Only while no card
// window exists: switching destroys the entries.
void UseDatabase(const std::string& dataDir) {
    static std::string loaded;
    if (loaded == dataDir && Database())
        return;
    ResetDatabaseForTesting();
    SetDataDir(dataDir);
    LoadDatabase();
    loaded = dataDir;
}

const TDataItem& Card(const std::string& id) {
    const TDataItem* item = Database()->FindItem(id);
    if (!item)
        throw std::runtime_error("no card " + id);
    return *item;
}

// A plain widget stands in for the main window: the card windows only need its frame, its
// activation and its way of opening a card.
class CardWindow : public testing::Test {
protected:
    CardWindow() {
        ResetCardWindowsForTesting();
        UseDatabase(FixturesDir + "view/Data/");
        Main.setWindowTitle("main");
        Main.move(100, 50);
        Main.resize(258, 434);
        Main.show();
        Main.activateWindow();
        QApplication::processEvents();
        SetMainWindow(&Main, [this](const std::string& id) { OpenCard(id); });
    }
    ~CardWindow() override {
        ResetCardWindowsForTesting();
        SetMainWindow(nullptr, nullptr);
    }

    // What the main window does for "Show Card" and for a followed link.
    TInfoForm* ShowCard(const std::string& id, bool newWindow, bool activate) {
        const TDataItem& item = Card(id);
        TInfoForm* window = newWindow ? NewCardWindow(item.Id()) : GetCardWindow(item.Id());
        window->SetItem(&item);
        if (newWindow || activate)
            window->ShowActive();
        else
            window->ShowInactive();
        QApplication::processEvents();
        return window;
    }
    void OpenCard(const std::string& id) {
        Opened.push_back(id);
        if (Database()->FindItem(id))
            ShowCard(id, true, true);
    }

    QPoint Frame() const { return Main.frameGeometry().topLeft(); }
    QPoint Dock() const { return Frame() + QPoint(Main.frameGeometry().width(), 0); }

    static TInfoForm* Registered(const std::string& id) {
        TInfoForm* window = nullptr;
        CardWindows().TryGetObject(id, window);
        return window;
    }

    // Clicks the middle of the first occurrence of `text` in the window's page.
    static void ClickText(TInfoForm* window, const QString& text) {
        QTextBrowser* view = window->RichView();
        QTextCursor found = view->document()->find(text);
        ASSERT_FALSE(found.isNull()) << text.toStdString();
        QTextCursor middle(view->document());
        middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
        const QPoint point = view->cursorRect(middle).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
        QApplication::processEvents();
    }

    QWidget Main;
    std::vector<std::string> Opened;
};

TEST_F(CardWindow, CardWindowHasItsPartsAndOnlyACloseButton) {
    TInfoForm* window = ShowCard("grove_sentinel", false, false);
    EXPECT_EQ(window->windowTitle(), "Grove Sentinel");
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->testAttribute(Qt::WA_DeleteOnClose));
    auto* toolbar = window->findChild<QToolBar*>("TBXToolbar1");
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->height(), 26);
    EXPECT_FALSE(toolbar->isMovable() || toolbar->isFloatable());
    auto* cardImage = window->findChild<QLabel*>("CardImage");
    ASSERT_NE(cardImage, nullptr);
    EXPECT_FALSE(cardImage->isVisible());
    EXPECT_TRUE(window->RichView()->isReadOnly());
    EXPECT_EQ(window->RichView()->width(), window->width());
    EXPECT_EQ(window->RichView()->geometry().bottom(), window->height() - 1);
}

TEST_F(CardWindow, FirstShowCardDocksTwiceTheMainWidthWhileMainStaysActive) {
    TInfoForm* window = ShowCard("grove_sentinel", false, false);
    EXPECT_EQ(ReusableCardWindow(), window);
    EXPECT_EQ(window->pos(), Dock());
    EXPECT_EQ(window->frameGeometry().left(), Main.frameGeometry().right() + 1);
    EXPECT_EQ(window->size(), QSize(2 * 258, 434));
    EXPECT_EQ(CardWindowWidth(), 2 * 258);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), &Main);
}

TEST_F(CardWindow, ShowCardRefillsTheReusableWindowInPlace) {
    TInfoForm* window = ShowCard("grove_sentinel", false, false);
    window->resize(600, 300);
    EXPECT_EQ(ShowCard("quiet_pond", false, false), window);
    EXPECT_EQ(window->Key(), "quiet_pond");
    EXPECT_EQ(window->windowTitle(), "Quiet Pond");
    EXPECT_EQ(window->pos(), Dock());
    EXPECT_EQ(window->size(), QSize(600, 300));
    EXPECT_EQ(Registered("grove_sentinel"), nullptr);
    EXPECT_EQ(Registered("QUIET_POND"), window);
    EXPECT_EQ(CardWindows().Count(), 1);
}

TEST_F(CardWindow, ShowingAnOpenCardBringsItsWindowBack) {
    TInfoForm* reusable = ShowCard("grove_sentinel", false, false);
    TInfoForm* ordinary = ShowCard("quiet_pond", true, true);
    EXPECT_NE(ordinary, reusable);
    EXPECT_EQ(ShowCard("quiet_pond", false, false), ordinary);
    EXPECT_EQ(ShowCard("grove_sentinel", true, true), reusable);
    EXPECT_EQ(ReusableCardWindow(), reusable);
    EXPECT_EQ(QApplication::activeWindow(), reusable);
    EXPECT_EQ(CardWindows().Count(), 2);
}

TEST_F(CardWindow, DockedWidthSetsTheWidthOfLaterWindows) {
    TInfoForm* window = ShowCard("grove_sentinel", false, false);
    window->resize(700, 434);
    EXPECT_EQ(CardWindowWidth(), 700);
    EXPECT_EQ(ShowCard("quiet_pond", true, true)->width(), 700);
    window->resize(200, 500);
    EXPECT_EQ(ReusableCardWindow(), window);
    EXPECT_EQ(CardWindowWidth(), 258);
    EXPECT_EQ(ShowCard("brace_mishap", true, true)->width(), 258);
}

TEST_F(CardWindow, MovingOrLeftEdgeResizingEndsTheReusableRole) {
    struct TCase {
        const char* Name;
        std::function<void(TInfoForm*)> Change;
        bool StaysReusable;
    };
    const TCase cases[] = {
        {"one pixel right", [](TInfoForm* w) { w->move(w->pos() + QPoint(1, 0)); }, false},
        {"one pixel up", [](TInfoForm* w) { w->move(w->pos() - QPoint(0, 1)); }, false},
        {"right edge", [](TInfoForm* w) { w->resize(w->width() + 40, w->height()); }, true},
        {"bottom edge", [](TInfoForm* w) { w->resize(w->width(), w->height() + 40); }, true},
        {"left edge",
         [](TInfoForm* w) {
             const QRect g = w->geometry();
             w->setGeometry(g.adjusted(-40, 0, 0, 0));
         },
         false},
    };
    for (const TCase& c : cases) {
        ResetCardWindowsForTesting();
        TInfoForm* window = ShowCard("grove_sentinel", false, false);
        c.Change(window);
        EXPECT_EQ(ReusableCardWindow() == window, c.StaysReusable) << c.Name;
        if (c.StaysReusable)
            continue;
        TInfoForm* second = ShowCard("quiet_pond", false, false);
        EXPECT_NE(second, window) << c.Name;
        EXPECT_EQ(second->pos(), Dock()) << c.Name;
        EXPECT_EQ(window->Key(), "grove_sentinel") << c.Name;
        EXPECT_EQ(window->windowTitle(), "Grove Sentinel") << c.Name;
        // Back at the dock position it stays an ordinary window.
        window->move(Dock());
        EXPECT_EQ(ReusableCardWindow(), second) << c.Name;
    }
}

TEST_F(CardWindow, ReusableWindowFollowsTheMainWindow) {
    TInfoForm* window = ShowCard("grove_sentinel", false, false);
    window->resize(600, 300);
    Main.move(300, 120);
    window->PlaceBesideMainWindow();
    EXPECT_EQ(window->pos(), Dock());
    Main.resize(320, 434);
    window->PlaceBesideMainWindow();
    EXPECT_EQ(window->pos(), Dock());
    EXPECT_EQ(window->size(), QSize(600, 300));
    EXPECT_EQ(ReusableCardWindow(), window);
    EXPECT_EQ(CardWindowWidth(), 600);
}

TEST_F(CardWindow, NewWindowsCascadeAndReuseFreedPlaces) {
    const QPoint first = ShowCard("grove_sentinel", true, true)->pos();
    TInfoForm* second = ShowCard("quiet_pond", true, true);
    EXPECT_EQ(first, Dock() + QPoint(30, 20));
    EXPECT_EQ(second->pos(), Dock() + QPoint(60, 40));
    EXPECT_EQ(second->size(), QSize(516, 434));
    EXPECT_EQ(ReusableCardWindow(), nullptr);
    delete Registered("grove_sentinel");
    EXPECT_EQ(ShowCard("blank_slate", true, true)->pos(), Dock() + QPoint(30, 20));
}

TEST_F(CardWindow, CascadeCandidatesAreTakenWithinTwoPixels) {
    const std::pair<QPoint, QPoint> cases[] = {
        {{32, 18}, {60, 40}}, {{28, 22}, {60, 40}}, {{33, 20}, {30, 20}}, {{30, 17}, {30, 20}}};
    for (const auto& [occupied, expected] : cases) {
        ResetCardWindowsForTesting();
        NewCardWindow("blocker")->move(Dock() + occupied);
        EXPECT_EQ(FindCascadePosition(), Dock() + expected) << occupied.x() << "," << occupied.y();
    }
}

TEST_F(CardWindow, CascadeWalksItsColumnsInOrder) {
    // Each new window takes the next free candidate, so the windows spell out the order.
    std::vector<QPoint> order;
    for (int i = 0; i < 186; ++i)
        order.push_back(NewCardWindow("card" + std::to_string(i))->pos() - Dock());
    const std::pair<int, QPoint> expected[] = {
        {1, {30, 20}},    {2, {60, 40}},     {10, {300, 200}}, {11, {20, 0}},
        {21, {320, 200}}, {22, {40, 0}},     {32, {340, 200}}, {175, {600, 200}},
        {176, {0, 20}},   {185, {270, 200}}, {186, {20, 20}}};
    for (const auto& [tryNumber, offset] : expected)
        EXPECT_EQ(order[tryNumber - 1], offset) << "try " << tryNumber;
}

TEST_F(CardWindow, CascadeGivesUpAtTheDockWhenEveryCandidateIsTaken) {
    // Every candidate: columns 20 apart from each row's left, rows 20 apart, down to 200.
    std::vector<QPoint> candidates;
    for (int row = 0; row <= 200; row += 20)
        for (int column = 0; column <= 300; column += 20)
            for (int step = (row == 0 && column == 0) ? 1 : 0; row + 20 * step <= 200; ++step)
                candidates.push_back(QPoint(column + 30 * step, row + 20 * step));
    ASSERT_EQ(candidates.size(), 1055u);
    // Some candidates repeat earlier ones; the last point met for the first time is the last
    // free one the search can find.
    std::vector<QPoint> distinct;
    for (const QPoint& candidate : candidates)
        if (std::find(distinct.begin(), distinct.end(), candidate) == distinct.end())
            distinct.push_back(candidate);
    const QPoint last = distinct.back();
    distinct.pop_back();
    int id = 0;
    for (const QPoint& candidate : distinct)
        (new TInfoForm("taken" + std::to_string(id++)))->move(Dock() + candidate);
    EXPECT_EQ(FindCascadePosition(), Dock() + last);
    (new TInfoForm("last"))->move(Dock() + last);
    EXPECT_EQ(FindCascadePosition(), Dock());
}

TEST_F(CardWindow, ClosedWindowsLeaveTheRegistry) {
    QPointer<TInfoForm> reusable = ShowCard("grove_sentinel", false, false);
    ShowCard("quiet_pond", true, true);
    reusable->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(reusable.isNull());
    EXPECT_EQ(ReusableCardWindow(), nullptr);
    EXPECT_EQ(Registered("grove_sentinel"), nullptr);
    TInfoForm* docked = ShowCard("blank_slate", false, false);
    EXPECT_EQ(ReusableCardWindow(), docked);
    EXPECT_EQ(docked->pos(), Dock());

    QPointer<TInfoForm> ordinary = Registered("quiet_pond");
    CloseAllCardWindows();
    EXPECT_EQ(CardWindows().Count(), 0);
    EXPECT_TRUE(ordinary.isNull());
    EXPECT_EQ(ReusableCardWindow(), nullptr);
}

TEST_F(CardWindow, RekeyOntoAnOpenCardChangesNothing) {
    TInfoForm* first = NewCardWindow("first");
    TInfoForm* second = NewCardWindow("second");
    EXPECT_THROW(first->Rekey("SECOND"), Exception);
    EXPECT_EQ(first->Key(), "first");
    EXPECT_EQ(Registered("first"), first);
    EXPECT_EQ(Registered("second"), second);
    delete first;
    EXPECT_EQ(Registered("second"), second);
}

TEST_F(CardWindow, LinkClickOpensTheCardOrReusesItsWindow) {
    TInfoForm* window = ShowCard("grove_sentinel", false, false);
    ClickText(window, "Quiet Pond");
    ASSERT_EQ(Opened, std::vector<std::string>{"quiet_pond"});
    TInfoForm* opened = Registered("quiet_pond");
    ASSERT_NE(opened, nullptr);
    EXPECT_NE(opened, window);
    EXPECT_EQ(opened->windowTitle(), "Quiet Pond");
    EXPECT_EQ(QApplication::activeWindow(), opened);

    ClickText(window, "Quiet Pond");
    EXPECT_EQ(Registered("quiet_pond"), opened);
    ClickText(window, "rules");
    EXPECT_EQ(Opened, (std::vector<std::string>{"quiet_pond", "quiet_pond", "general_rules"}));
    EXPECT_EQ(CardWindows().Count(), 2);
}

// The page of a card, as plain text and as the window shows it.
class CardPage : public CardWindow {};

TEST_F(CardPage, SectionsOfBothBasesAreJoinedByARule) {
    EXPECT_EQ(ComposePageText(&Card("grove_sentinel")),
              "<div><b>Grove Sentinel</b><br>\n"
              "<img src=\"1.gif\" width=16 height=16 vshift=-3><img src=\"G.gif\" width=16 "
              "height=16 vshift=-3><br>\nCreature - Elf<br>\n1/2<br>\n"
              "<img src=\"T.gif\" width=16 height=16 vshift=-3>: Add <img src=\"G.gif\" "
              "width=16 height=16 vshift=-3>.<br></div><hr><div><p>Its ability is a mana "
              "ability. See <a href=\"quiet_pond\">Quiet Pond</a>.</p><p>Not a card: <a "
              "href=\"general_rules\">rules</a>.</p><br></div>");
    EXPECT_EQ(PagePlainText(&Card("grove_sentinel")),
              "Grove Sentinel\n{1}{G}\nCreature - Elf\n1/2\n{T}: Add {G}.\n"
              "----------------------------------------\n"
              "Its ability is a mana ability. See Quiet Pond.\nNot a card: rules.\n");
}

TEST_F(CardPage, PagesWithoutRulingsOrSectionsAndTheLoneBrace) {
    const std::pair<const char*, const char*> cases[] = {
        {"quiet_pond", "Quiet Pond\n\nLand\n\n{T}: Add {U}.\n"},
        {"blank_slate", ""},
        {"brace_mishap", "Pay .gif\" width=16 height=16 vshift=-3> now.\n"},
    };
    for (const auto& [id, text] : cases)
        EXPECT_EQ(PagePlainText(&Card(id)), text) << id;
    EXPECT_EQ(ComposePageText(&Card("blank_slate")), "");
    EXPECT_EQ(ComposePageText(nullptr), "");
}

TEST_F(CardPage, CostSymbolsBecomeSixteenPixelPictureRequests) {
    QTextDocument document;
    TPageImporter importer(document);
    std::vector<std::tuple<std::string, int, int>> requests;
    importer.SetPictureRequest([&](const std::string& src, int width, int height) {
        requests.emplace_back(src, width, height);
        return std::unique_ptr<TGraphic>();
    });
    importer.Load(ComposePageText(&Card("quiet_pond")));
    EXPECT_EQ(requests, (std::vector<std::tuple<std::string, int, int>>{{"T.gif", 16, 16},
                                                                        {"U.gif", 16, 16}}));
    EXPECT_TRUE(document.toPlainText().contains(": Add ."));
}

TEST_F(CardPage, WindowAsksTheCardPicturesForItsSymbols) {
    // The fixtures have no "Images" folder: every picture is there, sized, and empty.
    TInfoForm* window = ShowCard("grove_sentinel", false, false);
    std::vector<const TBitmapProxy*> pictures;
    const QTextDocument* page = window->RichView()->document();
    for (QTextBlock block = page->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (const TGraphic* picture = TPageImporter::Picture(it.fragment().charFormat()))
                pictures.push_back(dynamic_cast<const TBitmapProxy*>(picture));
    ASSERT_EQ(pictures.size(), 4u);
    for (const TBitmapProxy* picture : pictures) {
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(QSize(picture->GetWidth(), picture->GetHeight()), QSize(16, 16));
        EXPECT_TRUE(picture->GetEmpty());
    }
    window->grab(); // painting empty pictures raises nothing
}

TEST_F(CardPage, WindowShowsTheCardAndEmptiesForNoCard) {
    TInfoForm* window = ShowCard("grove_sentinel", false, false);
    const QTextDocument* page = window->RichView()->document();
    EXPECT_EQ(window->Item(), &Card("grove_sentinel"));
    EXPECT_TRUE(page->toPlainText().startsWith("Grove Sentinel"));
    EXPECT_TRUE(page->find("Its ability")
                    .block()
                    .previous()
                    .blockFormat()
                    .hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth));

    ShowCard("blank_slate", false, false);
    EXPECT_EQ(window->windowTitle(), "Blank Slate");
    EXPECT_TRUE(page->isEmpty());

    window->SetItem(nullptr);
    EXPECT_EQ(window->Item(), nullptr);
    EXPECT_EQ(window->windowTitle(), "");
    EXPECT_TRUE(window->RichView()->document()->isEmpty());
}

} // namespace

namespace {

TEST_F(CardPage, SampleCardShowsItsRulingsPicturesAndLinks) {
    UseDatabase(BuiltDataDir);
    for (int i = 0; i < Database()->Count(); ++i)
        EXPECT_NO_THROW(PagePlainText(Database()->Items(i))) << Database()->Items(i)->Id();

    TInfoForm* window = ShowCard("ashen_lamplighter", false, false);
    const std::string text = PagePlainText(&Card("ashen_lamplighter"));
    EXPECT_TRUE(text.starts_with("Ashen Lamplighter\n{1}{R}\n")) << text;
    EXPECT_NE(text.find("\n----------------------------------------\nThe damage is dealt"),
              std::string::npos)
        << text;
    int drawn = 0;
    const QTextDocument* page = window->RichView()->document();
    for (QTextBlock block = page->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (const TGraphic* picture = TPageImporter::Picture(it.fragment().charFormat()))
                drawn += picture->GetEmpty() ? 0 : 1;
    EXPECT_GE(drawn, 3); // {1}, {R} and {T} come from the packed "Images"
    window->grab();

    ClickText(window, "Grimward Tinker");
    EXPECT_NE(Registered("grimward_tinker"), nullptr);
    ClickText(window, "summoning sickness rules");
    EXPECT_EQ(Opened, (std::vector<std::string>{"grimward_tinker", "rule_summoning_sickness"}));
    EXPECT_EQ(CardWindows().Count(), 2);
}

} // namespace
