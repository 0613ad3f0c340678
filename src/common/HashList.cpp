#include "common/HashList.h"

#include "common/Win1252.h"

#include <array>
#include <cstdio>

namespace {

// The CRC-32 table of the reflected polynomial 0xEDB88320.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int step = 0; step < 8; ++step)
            value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        table[i] = value;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> CrcTable = MakeCrcTable();

} // namespace

std::uint32_t TextHash(std::string_view text) {
    std::uint32_t h = 0xFFFFFFFFu;
    for (unsigned char b : text)
        h = CrcTable[(h ^ b) & 0xFF] ^ (h >> 8);
    return h;
}

namespace HashListDetail {

int BucketCountFor(int capacity) {
    int count = 4;
    while (capacity > count && count <= 4096)
        count *= 2;
    return count;
}

int GrowthStep(int length) {
    if (length <= 8)
        return 4;
    if (length <= 64)
        return 16;
    return length / 4;
}

std::string HexNumber(std::uint64_t value) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "$0%llX", static_cast<unsigned long long>(value));
    return digits;
}

void RaiseDuplicate(std::uintptr_t key) {
    throw Exception("List does not allow duplicates (" + HexNumber(key) + ")");
}

void RaiseItemNotFound(int index) {
    // A negative index shows as its 32-bit two's complement, as the list's numbers are 32-bit.
    throw EListError("Item not found (" + HexNumber(static_cast<std::uint32_t>(index)) + ")");
}

bool TextKeysEqual(std::string_view a, std::string_view b, bool ignoreCase) {
    return ignoreCase ? AnsiSameText(a, b) : a == b;
}

std::uint32_t TextKeyHash(std::string_view text, bool ignoreCase) {
    if (!ignoreCase)
        return TextHash(text);
    std::uint32_t h = 0xFFFFFFFFu; // the hash of the upper-cased text, without building it
    for (char c : text)
        h = CrcTable[(h ^ static_cast<unsigned char>(AnsiUpperChar(c))) & 0xFF] ^ (h >> 8);
    return h;
}

} // namespace HashListDetail
