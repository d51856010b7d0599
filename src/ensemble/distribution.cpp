#include "ensemble/distribution.h"

#include <algorithm>
#include <boost/math/distributions/lognormal.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/triangular.hpp>
#include <boost/math/distributions/uniform.hpp>
#include <cmath>
#include <limits>

namespace orvane::ensemble {

namespace {

double OpenUnit(double u) {
    constexpr double lo = std::numeric_limits<double>::min();
    const double hi = std::nextafter(1.0, 0.0);
    if (!(u > lo)) return lo;
    return std::min(u, hi);
}

// The normal restricted to [lo, hi], by inverting its cumulative
// distribution. Bounds above the mean are mirrored below it, where the
// cumulative distribution keeps its digits.
double TruncNormalQuantile(double mean, double sd, double lo, double hi, double u) {
    const boost::math::normal_distribution<double> z(0.0, 1.0);
    double a = (lo - mean) / sd;
    double b = (hi - mean) / sd;
    bool mirrored = false;
    if (a > 0) {
        const double t = a;
        a = -b;
        b = -t;
        u = 1 - u;
        mirrored = true;
    }
    const double pa = boost::math::cdf(z, a);
    const double pb = boost::math::cdf(z, b);
    const double p = OpenUnit(pa + u * (pb - pa));
    double x = boost::math::quantile(z, p);
    x = std::clamp(x, a, b);
    if (mirrored) x = -x;
    return std::clamp(mean + sd * x, lo, hi);
}

}  // namespace

const char* DistName(TDistKind kind) {
    switch (kind) {
        case TDistKind::Uniform: return "uniform";
        case TDistKind::Normal: return "normal";
        case TDistKind::LogNormal: return "lognormal";
        case TDistKind::Triangular: return "triangular";
        case TDistKind::TruncNormal: return "truncnormal";
        case TDistKind::Relative: return "relative";
    }
    return "?";
}

double Quantile(const TDistribution& d, double u, double base) {
    u = OpenUnit(u);
    switch (d.kind) {
        case TDistKind::Uniform:
            return boost::math::quantile(boost::math::uniform_distribution<double>(d.a, d.b), u);
        case TDistKind::Normal:
            return boost::math::quantile(boost::math::normal_distribution<double>(d.a, d.b), u);
        case TDistKind::LogNormal:
            return boost::math::quantile(boost::math::lognormal_distribution<double>(d.a, d.b), u);
        case TDistKind::Triangular:
            return boost::math::quantile(
                boost::math::triangular_distribution<double>(d.a, d.b, d.c), u);
        case TDistKind::TruncNormal: return TruncNormalQuantile(d.a, d.b, d.c, d.d, u);
        case TDistKind::Relative: {
            // Within +-percent of the base, whatever the base's sign.
            const double lo = std::min(base * (1 - d.a / 100), base * (1 + d.a / 100));
            const double hi = std::max(base * (1 - d.a / 100), base * (1 + d.a / 100));
            return boost::math::quantile(boost::math::uniform_distribution<double>(lo, hi), u);
        }
    }
    return 0;
}

std::vector<std::string> DistributionKeys(const std::string& d) {
    if (d == "uniform") return {"min", "max"};
    if (d == "normal") return {"mean", "sd"};
    if (d == "lognormal") return {"meanlog", "sdlog"};
    if (d == "triangular") return {"min", "mode", "max"};
    if (d == "truncnormal") return {"mean", "sd", "min", "max"};
    if (d == "relative") return {"percent"};
    return {};
}

}  // namespace orvane::ensemble
