#include "app/ClipboardLookup.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct TCopy {
    uint32_t Time;
    bool Ctrl;
    const char* Text;
    bool ExpectDoubleCopy;
};

void PlayCopies(std::initializer_list<TCopy> copies) {
    uint32_t now = 0;
    TDoubleCopy doubleCopy([&] { return now; });
    int index = 0;
    for (const TCopy& copy : copies) {
        now = copy.Time;
        EXPECT_EQ(doubleCopy.Change(copy.Ctrl, copy.Text), copy.ExpectDoubleCopy)
            << "copy " << index << " at " << copy.Time;
        ++index;
    }
}

} // namespace

TEST(DoubleCopy, SameTextWithCtrlWithin500MsCounts) {
    PlayCopies({{1000, true, "Bayou", false}, {1300, true, "Bayou", true}});
    PlayCopies({{1000, true, "Bayou", false}, {1600, true, "Bayou", false}});
    PlayCopies({{1000, true, "Bayou", false}, {1500, true, "Bayou", false}});
    PlayCopies({{1000, true, "Bayou", false}, {1499, true, "Bayou", true}});
}

TEST(DoubleCopy, ThirdCopyCountsAgainFromTheSecond) {
    PlayCopies({{1000, true, "Bayou", false},
                {1300, true, "Bayou", true},
                {1700, true, "Bayou", true},
                {2300, true, "Bayou", false}});
}

TEST(DoubleCopy, DifferentTextsDoNotCountAndTheTextIsCaseSensitive) {
    PlayCopies({{1000, true, "Bayou", false}, {1100, true, "Badger", false}});
    PlayCopies({{1000, true, "Bayou", false}, {1100, true, "bayou", false}});
    // The first copy of a session meets the empty memory, whatever the clock says.
    PlayCopies({{100, true, "Bayou", false}});
}

TEST(DoubleCopy, ChangesWithoutCtrlOrTextAreNotRemembered) {
    PlayCopies({{1000, true, "Bayou", false},
                {1100, false, "Badger", false},
                {1200, true, "", false},
                {1300, true, "Bayou", true}});
    PlayCopies({{1000, false, "Bayou", false}, {1300, true, "Bayou", false}});
}

TEST(DoubleCopy, TickCountWrappingAroundBetweenCopies) {
    PlayCopies({{0xFFFFFF00u, true, "Bayou", false}, {0x0000002Cu, true, "Bayou", true}});
    PlayCopies({{0xFFFFFF00u, true, "Bayou", false}, {0x00000200u, true, "Bayou", false}});
}

TEST(ClipboardMonitor, ReportsChangesOnlyWhileOnAndTheCurrentContentWhenSwitchedOn) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    TClipboardMonitor monitor;
    QSignalSpy changes(&monitor, &TClipboardMonitor::Change);
    clipboard->setText("while off");
    QCoreApplication::processEvents();
    EXPECT_EQ(changes.count(), 0);

    monitor.SetEnabled(true);
    EXPECT_EQ(changes.count(), 0) << "the first report comes from the event loop";
    QCoreApplication::processEvents();
    EXPECT_EQ(changes.count(), 1);
    monitor.SetEnabled(true); // already on: no second report
    clipboard->setText("while on");
    QCoreApplication::processEvents();
    EXPECT_EQ(changes.count(), 2);

    monitor.SetEnabled(false);
    clipboard->setText("off again");
    QCoreApplication::processEvents();
    EXPECT_EQ(changes.count(), 2);
}
