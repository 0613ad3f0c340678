#include "app/ClipboardLookup.h"

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
