// Local sensitivities: normalised sensitivities (dy/y)/(dp/p) of every
// factor at every output time, their summaries over time, the ranking of
// the factors, and the collinearity index of sets of factors.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "ensemble/sensitivity/sens_types.h"

namespace orvane::sens {

struct TLocalSummary {
    double l1 = NoValue;  // sum of |S| over the times where S is defined
    double l2 = NoValue;  // square root of the sum of S^2
    double mean = NoValue, min = NoValue, max = NoValue;
};

struct TLocalResult {
    std::size_t times = 0;
    std::size_t factors = 0;
    std::size_t groupsUsed = 0;     // factors whose members ran
    std::size_t groupsDropped = 0;
    std::vector<double> s;  // [t * factors + i]; NaN where y is 0 or the factor's members failed
    std::vector<TLocalSummary> summary;  // [i]

    double S(std::size_t t, std::size_t i) const { return s[t * factors + i]; }
};

TLocalResult EstimateLocal(const TSensDesign& design, const TOutputView& output);

// Factor indices from the largest score to the smallest; NaN scores last,
// ties in factor order.
std::vector<std::size_t> RankFactors(std::span<const double> scores);

// Rows of sensitivities (one per output and time), one column per factor,
// row-major.
struct TSensitivityMatrix {
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::vector<double> data;
};

// Stacks the sensitivities of several outputs of the same design.
TSensitivityMatrix StackSensitivities(std::span<const TLocalResult> results);

// 1 / sqrt of the smallest eigenvalue of S^T S, S the chosen columns each
// scaled to unit length; rows with an undefined entry in those columns are
// left out. Infinite when the columns are linearly dependent (or one of
// them is all zero): such factors cannot be told apart.
double CollinearityIndex(const TSensitivityMatrix& s, std::span<const std::size_t> columns);

struct TCollinearity {
    std::vector<std::size_t> factors;
    double index = NoValue;
};

// Every pair and triple among the first `count` factors of `ranking`.
std::vector<TCollinearity> CollinearitySets(const TSensitivityMatrix& s,
                                            std::span<const std::size_t> ranking, std::size_t count);

// The conventional limit above which a set of factors is not identifiable together.
inline constexpr double CollinearityLimit = 20;

}  // namespace orvane::sens
