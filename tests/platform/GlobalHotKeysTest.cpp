#include "platform/GlobalHotKeys.h"
#include "platform/KeyCodes.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {

constexpr int GraveKey = 192;
constexpr int F5Key = 116;
constexpr int F6Key = 117;

bool OnX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void PressKeys(const char* keys) {
    QProcess xdotool;
    xdotool.start("xdotool", {"key", "--clearmodifiers", keys});
    ASSERT_TRUE(xdotool.waitForFinished(5000)) << keys;
}

// Another X client, to find out who holds a combination: X refuses a second client's grab.
class TOtherClient {
public:
    TOtherClient() : FConnection(xcb_connect(nullptr, nullptr)) {
        FRoot = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root;
    }
    ~TOtherClient() { xcb_disconnect(FConnection); }

    bool Grab(int keyCode, uint16_t modifiers) {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(FConnection);
        xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(symbols, KeyCodeToKeySym(keyCode));
        const xcb_keycode_t keycode = keycodes[0];
        std::free(keycodes);
        xcb_key_symbols_free(symbols);
        xcb_generic_error_t* error = xcb_request_check(
            FConnection, xcb_grab_key_checked(FConnection, false, FRoot, modifiers, keycode,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

private:
    xcb_connection_t* FConnection;
    xcb_window_t FRoot;
};

class GlobalHotKeysX11 : public testing::Test {
protected:
    void SetUp() override {
        if (!OnX11())
            GTEST_SKIP() << "needs an X display (run through with_xvfb.sh)";
        FHotKeys = CreateGlobalHotKeys();
        FPressed = std::make_unique<QSignalSpy>(FHotKeys.get(), &TGlobalHotKeys::HotKeyPressed);
    }

    // Waits for one press and gives its identifier, or -1 when none came.
    int NextPress(int timeoutMs = 1500) {
        if (FPressed->isEmpty() && !FPressed->wait(timeoutMs))
            return -1;
        return FPressed->takeFirst().at(0).toInt();
    }

    std::unique_ptr<TGlobalHotKeys> FHotKeys;
    std::unique_ptr<QSignalSpy> FPressed;
};

} // namespace

TEST(GlobalHotKeys, WithoutX11RegistrationDoesNothing) {
    if (OnX11())
        GTEST_SKIP() << "runs on the offscreen platform";
    auto hotKeys = CreateGlobalHotKeys();
    EXPECT_FALSE(hotKeys->Register(1, ModControl, GraveKey));
    hotKeys->Unregister(1);
}

TEST_F(GlobalHotKeysX11, PressOfTheCombinationReportsItsIdentifierWhateverTheLocks) {
    ASSERT_TRUE(FHotKeys->Register(7, ModControl, GraveKey));
    PressKeys("ctrl+grave");
    EXPECT_EQ(NextPress(), 7);
    PressKeys("Num_Lock");
    PressKeys("ctrl+grave");
    PressKeys("Num_Lock");
    EXPECT_EQ(NextPress(), 7);
    PressKeys("ctrl+shift+grave"); // another combination
    PressKeys("grave");
    EXPECT_EQ(NextPress(500), -1);
}

TEST_F(GlobalHotKeysX11, RegisteringAgainReplacesTheOldCombination) {
    ASSERT_TRUE(FHotKeys->Register(7, ModControl, F5Key));
    ASSERT_TRUE(FHotKeys->Register(7, ModControl | ModShift, F6Key));
    PressKeys("ctrl+F5");
    PressKeys("ctrl+shift+F6");
    EXPECT_EQ(NextPress(), 7);
    EXPECT_EQ(NextPress(500), -1);
    TOtherClient other;
    EXPECT_TRUE(other.Grab(F5Key, XCB_MOD_MASK_CONTROL)); // the old grab is gone
}

TEST_F(GlobalHotKeysX11, CombinationHeldElsewhereStaysWithoutEffect) {
    TOtherClient other;
    ASSERT_TRUE(other.Grab(F6Key, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_2));
    EXPECT_FALSE(FHotKeys->Register(3, ModControl, F6Key));
    EXPECT_TRUE(FHotKeys->Register(4, ModAlt, F5Key));
    EXPECT_FALSE(FHotKeys->Register(5, ModAlt, F5Key)); // taken by another identifier
    PressKeys("ctrl+F6");
    PressKeys("alt+F5");
    EXPECT_EQ(NextPress(), 4);
    EXPECT_EQ(NextPress(500), -1);
}

TEST_F(GlobalHotKeysX11, UnregisterAndDestructionReleaseTheGrabs) {
    ASSERT_TRUE(FHotKeys->Register(1, ModControl, F5Key));
    ASSERT_TRUE(FHotKeys->Register(2, ModAlt, F6Key));
    FHotKeys->Unregister(1);
    PressKeys("ctrl+F5");
    EXPECT_EQ(NextPress(500), -1);
    FPressed.reset();
    FHotKeys.reset();
    TOtherClient other;
    EXPECT_TRUE(other.Grab(F5Key, XCB_MOD_MASK_CONTROL));
    EXPECT_TRUE(other.Grab(F6Key, XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK));
}
