// Random choices of the sensitivity designs and the bootstrap, from the raw
// output of std::mt19937_64 (whose sequence the C++ standard fixes), so the
// same seed gives the same numbers with every C++ library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

namespace orvane::sens {

// A seed for stream `stream` of a generator seeded by `seed`: streams are
// independent of each other and of how they are shared among threads.
inline std::uint64_t StreamSeed(std::uint64_t seed, std::uint64_t stream) {
    // splitmix64 finaliser over both numbers
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ull * (stream + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A whole number uniform in [0, n), n > 0, without bias (multiply and
// reject the few values that would favour some results).
inline std::uint64_t UniformBelow(std::mt19937_64& gen, std::uint64_t n) {
    const std::uint64_t threshold = (0 - n) % n;  // 2^64 mod n
    for (;;) {
        const unsigned __int128 product = static_cast<unsigned __int128>(gen()) * n;
        if (static_cast<std::uint64_t>(product) >= threshold)
            return static_cast<std::uint64_t>(product >> 64);
    }
}

// Shuffles [first, first + n) (Fisher-Yates).
template <typename T>
void Shuffle(std::mt19937_64& gen, T* first, std::size_t n) {
    for (std::size_t i = n; i > 1; --i) {
        const std::size_t j = static_cast<std::size_t>(UniformBelow(gen, i));
        std::swap(first[i - 1], first[j]);
    }
}

}  // namespace orvane::sens
