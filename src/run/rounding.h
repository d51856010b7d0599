// Rounding to the nearest integer with ties to even, independent of the
// floating-point rounding mode in force.
#pragma once

#include <cmath>

namespace orvane {

inline double RoundHalfEven(double v) {
    const double r = std::round(v);  // ties away from zero
    if (std::fabs(v - std::trunc(v)) == 0.5) return 2.0 * std::round(v * 0.5);
    return r;
}

}  // namespace orvane
