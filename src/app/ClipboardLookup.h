#pragma once
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

// The system's millisecond tick count: 32 bits from a monotonic clock, wrapping every ~49 days.
uint32_t TickCount();

// Tells a double copy apart from ordinary copies: the same text copied twice within 500 ms while
// Ctrl is held (Ctrl+C+C, Ctrl+Ins+Ins). Keeps the text and time of the last qualifying copy.
class TDoubleCopy {
public:
    using TClock = std::function<uint32_t()>;

    explicit TDoubleCopy(TClock clock = TickCount);

    // One change of the clipboard, with whether Ctrl was held when it was reported. Without Ctrl
    // or with empty text the change is ignored and nothing is remembered. True when it completes
    // a double copy.
    bool Change(bool ctrlHeld, const QString& text);

private:
    TClock FClock;
    QString FLastCopyText;
    uint32_t FLastCopyTime = 0;
};

// The clipboard watcher: while it is on, every change of the clipboard's content is reported
// as Change. Switching it on also reports the current content once, from the event loop.
class TClipboardMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool Enabled() const { return static_cast<bool>(FConnection); }
    void SetEnabled(bool enabled);

signals:
    void Change();

private:
    QMetaObject::Connection FConnection;
};
