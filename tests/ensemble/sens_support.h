// Shared set-up of the sensitivity tests: a plain function in place of the
// model, run over a design, and scrambled Sobol' points.
#pragma once

#include <boost/random/sobol.hpp>

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "ensemble/sensitivity/designs.h"

namespace orvane::sens::test {

// The value of output at time t for the given factor values.
using TPlainModel = std::function<double(std::span<const double> x, std::size_t t)>;

struct TPlainRun {
    std::vector<double> values;
    std::vector<std::uint8_t> ok;
    TOutputView View(std::size_t members, std::size_t times) const {
        return TOutputView{"y", members, times, values, ok};
    }
};

inline TPlainRun RunPlain(const TSensDesign& d, std::size_t times, const TPlainModel& f) {
    TPlainRun run;
    run.values.resize(d.members * times);
    run.ok.assign(d.members, 1);
    for (std::size_t m = 0; m < d.members; ++m)
        for (std::size_t t = 0; t < times; ++t) run.values[m * times + t] = f(d.MemberValues(m), t);
    return run;
}

// Sobol' points with a random digital shift of every coordinate.
class TShiftedSobol {
public:
    TShiftedSobol(std::size_t dims, std::uint64_t seed) : gen_(static_cast<unsigned>(dims)), shift_(dims) {
        std::mt19937_64 g(seed);
        for (auto& s : shift_) s = g();
    }
    void operator()(std::uint64_t index, std::span<double> point) {
        if (index != next_) gen_.seed(index);
        next_ = index + 1;
        for (std::size_t i = 0; i < point.size(); ++i)
            point[i] = static_cast<double>((gen_() ^ shift_[i]) >> 11) * 0x1p-53;
    }

private:
    boost::random::sobol gen_;
    std::vector<std::uint64_t> shift_;
    std::uint64_t next_ = 0;
};

inline TQuantile Uniform(double lo, double hi) {
    return [lo, hi](double u) { return lo + u * (hi - lo); };
}

inline std::vector<TSensFactor> UniformFactors(std::size_t k, double lo, double hi) {
    std::vector<TSensFactor> f(k);
    for (std::size_t i = 0; i < k; ++i) f[i] = {std::string("x").append(std::to_string(i + 1)), Uniform(lo, hi), 0};
    return f;
}

inline double Ishigami(std::span<const double> x) {
    const double s = std::sin(x[0]);
    return s + 7 * std::sin(x[1]) * std::sin(x[1]) + 0.1 * std::pow(x[2], 4) * s;
}

inline const std::vector<double> GFunctionA{0, 1, 4.5, 9, 99, 99, 99, 99};

inline double GFunction(std::span<const double> x) {
    double y = 1;
    for (std::size_t i = 0; i < x.size(); ++i)
        y *= (std::fabs(4 * x[i] - 2) + GFunctionA[i]) / (1 + GFunctionA[i]);
    return y;
}

}  // namespace orvane::sens::test
