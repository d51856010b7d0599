// Generated model inputs around the test site, the same on every platform:
// each case scales every driver, parameter and state by a factor in
// [0.7, 1.3], pushes a few of them to an extreme in a third of the cases,
// holds a state or two, and sometimes asks for the insoluble C:N error.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "model/equations.h"
#include "model/site_fixture.h"

namespace orvane::pinned {

inline constexpr int NumCases = 3000;

// A 64-bit linear congruential generator: the same numbers everywhere.
struct TGenerator {
    uint64_t state;
    explicit TGenerator(uint64_t seed) : state(seed * 6364136223846793005ull + 1) {}
    uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    double Uniform() { return Next() / 2147483648.0; }  // [0, 1)
    bool OneIn(uint32_t n) { return Next() % n == 0; }
};

struct TCase : fixture::TSiteArrays {
    TEvalContext context;

    explicit TCase(int k) {
        TGenerator gen(static_cast<uint64_t>(k));
        const bool extremes = gen.OneIn(3);
        const auto spoil = [&](double& v) {
            v *= 0.7 + 0.6 * gen.Uniform();
            if (!extremes || !gen.OneIn(40)) return;
            static constexpr double kExtreme[] = {0.0, -1.0, 1e300, -1e300, 1e-300, 1e30,
                                                  std::numeric_limits<double>::quiet_NaN()};
            v = kExtreme[gen.Next() % std::size(kExtreme)];
        };
        for (int i = 1; i <= 8; ++i) spoil(d[i].value);
        for (int i = 1; i <= 88; ++i) spoil(p[i].value);
        for (int i = 1; i <= 19; ++i) spoil(s[i].value);
        // Now and then below the target insoluble C:N, or at the maximum
        // respiration temperature, or with a power that is not 1.
        if (gen.OneIn(8)) p[pa::qI].value = s[st::Ci].value / s[st::Na].value * gen.Uniform();
        if (gen.OneIn(10)) d[dr::Tamax].value = d[dr::Tamin].value = p[pa::Trmax].value;
        if (gen.OneIn(2)) p[pa::sigmaF].value = 0.9, p[pa::sigmaW].value = 1.1;
        if (gen.OneIn(10)) p[pa::Deltad].value = 70 + 20 * gen.Uniform();  // midnight sun
        for (int i = 1; i <= 19; ++i) s[i].HoldConstant = gen.OneIn(10);
        context = {gen.OneIn(4), gen.OneIn(2), gen.OneIn(2)};
    }
};

// FNV-1a, 64 bits, over the bytes of each value added.
struct THash {
    uint64_t value = 14695981039346656037ull;
    void Add(std::string_view bytes) {
        for (const unsigned char c : bytes) {
            value ^= c;
            value *= 1099511628211ull;
        }
    }
    // Every NaN counts as the same: which of two NaN operands an operation
    // passes on, and so the sign of the result, is the compiler's choice.
    void Add(double v) {
        if (std::isnan(v)) v = std::numeric_limits<double>::quiet_NaN();
        char bytes[sizeof v];
        std::memcpy(bytes, &v, sizeof v);
        Add(std::string_view(bytes, sizeof v));
    }
};

}  // namespace orvane::pinned
