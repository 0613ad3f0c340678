#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// A small seeded generator (splitmix64) with its own distributions, so the same seed gives
// the same bytes with every compiler and standard library.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : FState(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number in [0, 1).
    double Unit() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // A number in [low, high], both included.
    int Between(int low, int high) { return low + int(Next() % std::uint64_t(high - low + 1)); }
    bool Chance(double probability) { return Unit() < probability; }
    // An index below `count` that favours the first ones, so a few words start many names.
    int Skewed(int count, double power) {
        int index = int(double(count) * std::pow(Unit(), power));
        return index < count ? index : count - 1;
    }
    template <class T> const T& Pick(const std::vector<T>& items) {
        return items[Next() % items.size()];
    }

private:
    std::uint64_t FState;
};
