// Bits for designs from generators whose output is fixed by their
// definition (std::mt19937_64's raw output is specified by the standard),
// turned into numbers by our own arithmetic: the same seed gives the same
// design with any compiler and library.
#pragma once

#include <cstdint>
#include <random>

namespace orvane::ensemble {

// SplitMix64's finaliser: a fixed mixing of 64 bits.
constexpr uint64_t Mix64(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A seed for the stream of one member (or one purpose) of a design.
constexpr uint64_t StreamSeed(uint64_t seed, uint64_t stream, uint64_t salt) {
    return Mix64(Mix64(seed ^ salt) ^ Mix64(stream));
}

// The top 53 bits as a double in the open interval (0, 1).
constexpr double UnitFromBits(uint64_t x) {
    return (static_cast<double>(x >> 11) + 0.5) * 0x1.0p-53;
}

// A uniform integer in [0, n) (n > 0) without bias, by rejection.
inline uint64_t Below(std::mt19937_64& gen, uint64_t n) {
    const uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    for (;;) {
        const uint64_t x = gen();
        if (x < limit) return x % n;
    }
}

}  // namespace orvane::ensemble
