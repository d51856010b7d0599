// Statistics of one output at one time over the members that succeeded.
#pragma once

#include <cstddef>
#include <vector>

#include "obs/ensemblefit.h"

namespace orvane::ensemble {

struct TSliceStats {
    std::size_t n = 0;
    double mean = 0, sd = 0, min = 0, max = 0;
    double q05 = 0, q25 = 0, q50 = 0, q75 = 0, q95 = 0;
};

// Exact statistics of `values` (reordered in place): the mean from a
// compensated sum, the sample standard deviation (n - 1), and quantiles by
// linear interpolation between order statistics (R's default, type 7).
// sd is meaningful for n >= 2, the rest for n >= 1.
TSliceStats SliceStats(std::vector<double>& values);

// The type-7 quantile at probability p of sorted values: the one the
// ensemble fit's band uses.
using orvane::SortedQuantile;

}  // namespace orvane::ensemble
