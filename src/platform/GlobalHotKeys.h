#pragma once
#include <QObject>
#include <memory>

// Modifier flags of a global hotkey, added together.
constexpr unsigned ModAlt = 1;
constexpr unsigned ModControl = 2;
constexpr unsigned ModShift = 4;

// Key combinations that reach the program whichever program is in front. Presses arrive as
// HotKeyPressed with the identifier they were registered under, from the event loop.
class TGlobalHotKeys : public QObject {
    Q_OBJECT
public:
    // Takes the combination for `id`, in place of the one `id` had. A combination that another
    // program (or another identifier) holds already stays without effect: false, and nothing
    // else happens.
    virtual bool Register(int id, unsigned modifiers, int keyCode) = 0;
    virtual void Unregister(int id) = 0;

signals:
    void HotKeyPressed(int id);
};

// Grabs on the X display when the program runs on X11; elsewhere registrations do nothing
// (which is said once on standard error).
std::unique_ptr<TGlobalHotKeys> CreateGlobalHotKeys();
