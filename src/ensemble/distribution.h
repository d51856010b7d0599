// Distributions of uncertain factors. A value is drawn only through the
// distribution's quantile function from a point of the unit interval, so a
// member's values depend on the design alone, never on a library's random
// number distributions.
#pragma once

#include <string>
#include <vector>

namespace orvane::ensemble {

enum class TDistKind { Uniform, Normal, LogNormal, Triangular, TruncNormal, Relative };

struct TDistribution {
    TDistKind kind = TDistKind::Uniform;
    // uniform: a = min, b = max; normal: a = mean, b = sd; lognormal:
    // a = meanlog, b = sdlog; triangular: a = min, b = mode, c = max;
    // truncnormal: a = mean, b = sd, c = min, d = max; relative: a = percent.
    double a = 0, b = 0, c = 0, d = 0;
};

// The distribution's name as the experiment file spells it.
const char* DistName(TDistKind kind);
// The settings a distribution of that name takes, in the order of a, b, c,
// d ("min", "max" for "uniform"); none for an unknown name.
std::vector<std::string> DistributionKeys(const std::string& name);

// The value at probability u (0 < u < 1; clamped into the open interval).
// `base` is the factor's base value, used by the relative distribution
// (uniform within +-percent of it).
double Quantile(const TDistribution& dist, double u, double base);

}  // namespace orvane::ensemble
