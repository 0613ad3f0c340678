#include "platform/GlobalHotKeys.h"

#include "platform/KeyCodes.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {

// NumLock and CapsLock must not change what a combination does, so every combination is
// grabbed once for each state of the two locks and the locks are masked off presses.
constexpr uint16_t NumLockMask = XCB_MOD_MASK_2;
constexpr uint16_t LockVariants[] = {0, XCB_MOD_MASK_LOCK, NumLockMask,
                                     XCB_MOD_MASK_LOCK | NumLockMask};
constexpr uint16_t ModifierBits = 0xFF & ~(XCB_MOD_MASK_LOCK | NumLockMask);

uint16_t X11Modifiers(unsigned modifiers) {
    return ((modifiers & ModShift) ? XCB_MOD_MASK_SHIFT : 0) |
           ((modifiers & ModControl) ? XCB_MOD_MASK_CONTROL : 0) |
           ((modifiers & ModAlt) ? XCB_MOD_MASK_1 : 0);
}

class TX11HotKeys final : public TGlobalHotKeys, public QAbstractNativeEventFilter {
public:
    explicit TX11HotKeys(xcb_connection_t* connection)
        : FConnection(connection),
          FRoot(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~TX11HotKeys() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        for (const TGrab& grab : FGrabs)
            Ungrab(grab);
        xcb_flush(FConnection);
    }

    bool Register(int id, unsigned modifiers, int keyCode) override {
        Unregister(id);
        const uint32_t keySym = KeyCodeToKeySym(keyCode);
        if (keySym == 0)
            return false;
        const uint16_t x11Modifiers = X11Modifiers(modifiers);
        bool grabbed = false;
        for (xcb_keycode_t keycode : KeycodesOf(keySym)) {
            const TGrab grab{id, keycode, x11Modifiers};
            if (!IsGrabbed(grab) && Grab(grab)) {
                FGrabs.push_back(grab);
                grabbed = true;
            }
        }
        return grabbed;
    }

    void Unregister(int id) override {
        std::erase_if(FGrabs, [&](const TGrab& grab) {
            if (grab.Id != id)
                return false;
            Ungrab(grab);
            return true;
        });
        xcb_flush(FConnection);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
            return false;
        const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (press->event != FRoot)
            return false;
        const uint16_t modifiers = press->state & ModifierBits;
        for (const TGrab& grab : FGrabs)
            if (grab.Keycode == press->detail && grab.Modifiers == modifiers) {
                // Handled from the event loop, not from inside the filter: the handler reads
                // selections, which waits on the X connection.
                QMetaObject::invokeMethod(
                    this, [this, id = grab.Id] { emit HotKeyPressed(id); }, Qt::QueuedConnection);
                return true;
            }
        return false;
    }

private:
    struct TGrab {
        int Id;
        xcb_keycode_t Keycode;
        uint16_t Modifiers;
    };

    std::vector<xcb_keycode_t> KeycodesOf(uint32_t keySym) const {
        std::vector<xcb_keycode_t> keycodes;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(FConnection);
        if (!symbols)
            return keycodes;
        if (xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keySym)) {
            for (xcb_keycode_t* k = found; *k != XCB_NO_SYMBOL; ++k)
                keycodes.push_back(*k);
            std::free(found);
        }
        xcb_key_symbols_free(symbols);
        return keycodes;
    }

    bool IsGrabbed(const TGrab& grab) const {
        return std::any_of(FGrabs.begin(), FGrabs.end(), [&](const TGrab& other) {
            return other.Keycode == grab.Keycode && other.Modifiers == grab.Modifiers;
        });
    }

    // All lock variants or none: a combination another client holds in any variant is theirs.
    bool Grab(const TGrab& grab) {
        xcb_void_cookie_t cookies[std::size(LockVariants)];
        for (size_t i = 0; i < std::size(LockVariants); ++i)
            cookies[i] =
                xcb_grab_key_checked(FConnection, false, FRoot, grab.Modifiers | LockVariants[i],
                                     grab.Keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        bool complete = true;
        for (xcb_void_cookie_t cookie : cookies)
            if (xcb_generic_error_t* error = xcb_request_check(FConnection, cookie)) {
                complete = false; // BadAccess: another client holds it
                std::free(error);
            }
        if (!complete)
            Ungrab(grab);
        return complete;
    }

    void Ungrab(const TGrab& grab) {
        for (uint16_t variant : LockVariants)
            xcb_ungrab_key(FConnection, grab.Keycode, FRoot, grab.Modifiers | variant);
    }

    xcb_connection_t* FConnection;
    xcb_window_t FRoot;
    std::vector<TGrab> FGrabs;
};

class TNoHotKeys final : public TGlobalHotKeys {
public:
    bool Register(int, unsigned, int) override {
        static bool told = false;
        if (!told) {
            told = true;
            std::fprintf(stderr,
                         "Lorewick: global hotkeys need an X11 display (this one is \"%s\"); "
                         "bind \"lorewick -search\" in the desktop's keyboard settings instead.\n",
                         qPrintable(QGuiApplication::platformName()));
        }
        return false;
    }
    void Unregister(int) override {}
};

xcb_connection_t* X11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

std::unique_ptr<TGlobalHotKeys> CreateGlobalHotKeys() {
    if (xcb_connection_t* connection = X11Connection())
        return std::make_unique<TX11HotKeys>(connection);
    return std::make_unique<TNoHotKeys>();
}
