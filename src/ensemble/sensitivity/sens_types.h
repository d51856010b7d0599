// What the sensitivity designs and estimators share: the design of an
// analysis (members in groups), a view of one output's values over all
// members and times, and an index value with its interval.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "model/errors.h"

namespace orvane::sens {

// A sensitivity design that cannot be built, or an analysis with too few
// members left to estimate anything.
class ESensitivityError : public EOrvaneError {
public:
    explicit ESensitivityError(std::string message) : EOrvaneError(std::move(message)) {}
};

enum class TSensMethod { Local, Morris, Sobol };

// The name used in experiment files and result files: "local", "morris", "sobol".
const char* MethodName(TSensMethod method);

inline constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();

// An estimate with its confidence interval; lower and upper are NaN where
// there is no interval (and value is NaN where nothing could be estimated).
struct TIndexValue {
    double value = NoValue;
    double lower = NoValue;
    double upper = NoValue;
    bool HasInterval() const { return !std::isnan(lower) && !std::isnan(upper); }
};

// A factor's quantile function: probability in [0, 1] to the factor's value.
// It may return an infinite value (or throw) at 0 or 1 for a distribution
// without bounds.
using TQuantile = std::function<double(double u)>;

// Fills `point` (2k coordinates in [0, 1)) with point `index` of a
// low-discrepancy sequence. Points are asked for in order 0, 1, 2, ...
using TPointGenerator = std::function<void(std::uint64_t index, std::span<double> point)>;

// The members of a sensitivity analysis, in groups of consecutive members
// that are only of use together (a Saltelli block, a Morris trajectory).
// A local design is the exception: its base member 0 belongs to every
// group, and group i holds the members that move factor i.
struct TSensDesign {
    TSensMethod method = TSensMethod::Sobol;
    std::size_t factors = 0;    // k
    std::size_t groups = 0;     // N base points, r trajectories, or k (local)
    std::size_t groupSize = 0;  // members per group (local: without the base)
    std::size_t members = 0;
    // Factor values, member-major: member m, factor j at m * factors + j.
    std::vector<double> values;
    // Messages for the user about how the design was adjusted.
    std::vector<std::string> notes;

    // Morris: in trajectory g, step s (0..k-1) moves factor moved[g*k + s]
    // from member g*(k+1)+s to the next one, by step[g*k + s] on the unit
    // scale (negative when it moves down).
    std::vector<std::uint32_t> moved;
    std::vector<double> step;

    // Local: the relative step, central or forward differences.
    double relativeStep = 0;
    bool central = false;

    std::span<const double> MemberValues(std::size_t member) const {
        return std::span<const double>(values).subspan(member * factors, factors);
    }
};

// One output variable over every member and output time: value of member m
// at time t is values[m * times + t]. `ok[m]` is false for a member that
// failed; a member whose value is not finite at some time counts as failed
// for this output too.
struct TOutputView {
    std::string name;  // the output's symbol, for messages
    std::size_t members = 0;
    std::size_t times = 0;
    std::span<const double> values;
    std::span<const std::uint8_t> ok;

    double At(std::size_t member, std::size_t t) const { return values[member * times + t]; }
};

// Settings shared by the estimators' bootstrap.
struct TBootstrapOptions {
    std::size_t resamples = 1000;
    double confidence = 0.95;
    std::uint64_t seed = 0;
    unsigned threads = 0;  // 0: every core
};

}  // namespace orvane::sens
