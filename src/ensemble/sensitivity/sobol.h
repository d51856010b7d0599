// Sobol' indices from a Saltelli design: first order (Saltelli 2010) and
// total (Jansen) for every output time, with bootstrap intervals, the sum
// of the first-order indices and a convergence table.
#pragma once

#include <cstddef>
#include <vector>

#include "ensemble/sensitivity/sens_types.h"

namespace orvane::sens {

struct TSobolResult {
    std::size_t times = 0;
    std::size_t factors = 0;
    std::size_t groupsUsed = 0;     // base points whose every member ran
    std::size_t groupsDropped = 0;  // base points dropped for a failed member
    // Indexed [t * factors + i]; NaN where the output does not vary at t.
    std::vector<TIndexValue> s1, st;
    std::vector<TIndexValue> sumS1;  // [t]

    // The indices again on the first basePoints[l] base points of the
    // design (N/8, N/4, N/2, N), without intervals: [(l * times + t) * factors + i].
    std::vector<std::size_t> basePoints;
    std::vector<std::size_t> basePointsUsed;  // of those, the usable ones
    std::vector<double> convS1, convST;

    const TIndexValue& S1(std::size_t t, std::size_t i) const { return s1[t * factors + i]; }
    const TIndexValue& ST(std::size_t t, std::size_t i) const { return st[t * factors + i]; }
};

// Raises ESensitivityError when fewer than MinSobolGroups base points are
// usable for this output.
inline constexpr std::size_t MinSobolGroups = 4;
TSobolResult EstimateSobol(const TSensDesign& design, const TOutputView& output,
                           const TBootstrapOptions& options);

}  // namespace orvane::sens
