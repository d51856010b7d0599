// Random choices of the sensitivity designs and the bootstrap, from the raw
// output of std::mt19937_64 with the engine's own integer and stream
// helpers, so the same seed gives the same numbers with every C++ library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>

#include "ensemble/random.h"

namespace orvane::sens {

using ensemble::Below;

// Streams of the Morris trajectories and of the bootstrap's resamples,
// apart from every other design's.
inline constexpr std::uint64_t SaltResample = 0x5245534D504C45ull;  // "RESMPLE"

inline constexpr std::uint64_t SaltMorris = 0x4D4F52524953ull;    // "MORRIS"

inline std::uint64_t MorrisSeed(std::uint64_t seed) { return ensemble::StreamSeed(seed, 0, SaltMorris); }

inline std::uint64_t ResampleSeed(std::uint64_t seed, std::uint64_t resample) {
    return ensemble::StreamSeed(seed, resample, SaltResample);
}

// Shuffles [first, first + n) (Fisher-Yates).
template <typename T>
void Shuffle(std::mt19937_64& gen, T* first, std::size_t n) {
    for (std::size_t i = n; i > 1; --i) std::swap(first[i - 1], first[Below(gen, i)]);
}

}  // namespace orvane::sens
