// The text helpers on any text: tokens are taken off until nothing is left, every token and
// cut is a piece of the text, and putting a cut back where it was taken gives the text again.
#include "FuzzSupport.h"

#include "common/ExtUtils.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr size_t MaxPartLength = 64;

void CheckTokens(std::string text, const std::string& delimiters, const std::string& quotes,
                 bool skipRepeated) {
    const std::string original = text;
    while (!text.empty()) {
        const size_t before = text.size();
        const std::string token = NextQuotedToken(text, delimiters, quotes, skipRepeated);
        FUZZ_CHECK(text.size() < before, "a token was taken without the text getting shorter");
        FUZZ_CHECK(token.size() + text.size() <= before, "a token longer than what was taken");
        FUZZ_CHECK(original.find(token) != std::string::npos, "a token that is not in the text");
        FUZZ_CHECK(original.ends_with(text), "the rest is not the end of the text");
    }
}

void CheckCuts(const std::string& text, const std::string& start, const std::string& end,
               bool includeMarkers) {
    const std::string between = TextBetween(text, start, end, includeMarkers);
    FUZZ_CHECK(text.find(between) != std::string::npos, "a cut that is not in the text");
    FUZZ_CHECK(ReplaceBetween(text, start, end, between, includeMarkers) == text,
               "replacing a cut by itself changed the text");
    const std::string replaced = ReplaceBetween(text, start, end, "", includeMarkers);
    FUZZ_CHECK(replaced.size() + between.size() == text.size(),
               "removing a cut took more or less than the cut");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool flag = input.ConsumeBool();
    const std::string delimiters = input.ConsumeRandomLengthString(MaxPartLength);
    const std::string quotes = input.ConsumeRandomLengthString(MaxPartLength);
    const std::string end = input.ConsumeRandomLengthString(MaxPartLength);
    const std::string text = input.ConsumeRemainingBytesAsString();
    CheckTokens(text, delimiters, quotes, flag);
    // The delimiters serve as the start marker.
    CheckCuts(text, delimiters, end, flag);
    return 0;
}
