#include "ensemble/summary.h"

#include <algorithm>
#include <cmath>

namespace orvane::ensemble {

namespace {

// Neumaier's compensated sum: the order of the members is fixed, and this
// keeps the digits a plain sum of many similar values would lose.
double Sum(const std::vector<double>& v) {
    double s = 0;
    double c = 0;
    for (double x : v) {
        const double t = s + x;
        if (std::fabs(s) >= std::fabs(x)) c += (s - t) + x;
        else c += (x - t) + s;
        s = t;
    }
    return s + c;
}

}  // namespace

TSliceStats SliceStats(std::vector<double>& values) {
    TSliceStats s;
    s.n = values.size();
    if (s.n == 0) return s;
    const double n = static_cast<double>(s.n);
    s.mean = Sum(values) / n;
    if (s.n >= 2) {
        double ss = 0;
        double c = 0;
        for (double x : values) {
            const double d = x - s.mean;
            const double y = d * d - c;
            const double t = ss + y;
            c = (t - ss) - y;
            ss = t;
        }
        s.sd = std::sqrt(ss / (n - 1));
    }
    std::sort(values.begin(), values.end());
    s.min = values.front();
    s.max = values.back();
    s.q05 = SortedQuantile(values, 0.05);
    s.q25 = SortedQuantile(values, 0.25);
    s.q50 = SortedQuantile(values, 0.50);
    s.q75 = SortedQuantile(values, 0.75);
    s.q95 = SortedQuantile(values, 0.95);
    return s;
}

}  // namespace orvane::ensemble
