// The run's step arithmetic: output interval and progress position.
#include <climits>
#include <cmath>
#include <cstdint>

#include "run/rounding.h"
#include "run/run.h"

namespace orvane {

int RunProgressPercent(double current, double start, double stop) {
    const double a = RoundHalfEven(current - start);
    const double b = RoundHalfEven(stop - start);
    double percent;
    // Integer arithmetic as long as it cannot overflow; a run shorter than
    // half a time unit rounds its length to 0 and must not divide by it.
    if (b >= 1.0 && b < 1e16 && a >= 0.0 && a < 1e16) {
        percent = static_cast<double>(static_cast<int64_t>(a) * 100 / static_cast<int64_t>(b));
    } else if (stop > start) {
        percent = std::floor((current - start) * 100.0 / (stop - start));
    } else {
        percent = 0.0;
    }
    if (!(percent >= 0.0)) return 0;
    if (percent > 100.0) return 100;
    return static_cast<int>(percent);
}

int OutputInterval(double outputStep, double timeStep) {
    const double k = RoundHalfEven(outputStep / timeStep);
    // Below 1 no row would ever be written after the first.
    if (!(k >= 1.0)) return 1;
    if (k > INT_MAX) return INT_MAX;
    return static_cast<int>(k);
}

}  // namespace orvane
