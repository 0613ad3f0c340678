#include "app/ClipboardLookup.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>
#include <chrono>

namespace {

constexpr int32_t DoubleCopyMs = 500;

} // namespace

uint32_t TickCount() {
    using namespace std::chrono;
    const auto elapsed = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(elapsed.count());
}

TDoubleCopy::TDoubleCopy(TClock clock) : FClock(std::move(clock)) {}

bool TDoubleCopy::Change(bool ctrlHeld, const QString& text) {
    if (!ctrlHeld || text.isEmpty())
        return false;
    const uint32_t now = FClock();
    // Modulo 2^32 and signed, so the count wrapping around between two copies changes nothing.
    const auto elapsed = static_cast<int32_t>(now - FLastCopyTime);
    const bool doubleCopy = elapsed < DoubleCopyMs && text == FLastCopyText;
    FLastCopyText = text;
    FLastCopyTime = now;
    return doubleCopy;
}

void TClipboardMonitor::SetEnabled(bool enabled) {
    if (enabled == Enabled())
        return;
    if (!enabled) {
        disconnect(FConnection);
        FConnection = {};
        return;
    }
    FConnection = connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
                          &TClipboardMonitor::Change);
    QTimer::singleShot(0, this, [this] {
        if (Enabled())
            emit Change();
    });
}
