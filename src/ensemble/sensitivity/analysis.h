// A sensitivity analysis of every output of an ensemble: the estimators of
// the design's method run on each output in turn, and their results laid
// out as the long-form rows of the result files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ensemble/sensitivity/local.h"
#include "ensemble/sensitivity/morris.h"
#include "ensemble/sensitivity/sobol.h"

namespace orvane::sens {

// The members' outputs: value of output v, member m, time t at
// values[(v * members + m) * times.size() + t].
struct TAnalysisData {
    std::vector<std::string> factors;  // symbols, in the design's order
    std::vector<std::string> outputs;  // symbols
    std::vector<double> times;
    std::size_t members = 0;
    std::vector<double> values;
    std::vector<std::uint8_t> ok;  // per member

    TOutputView View(std::size_t output) const;
};

struct TOutputAnalysis {
    std::string output;
    std::string error;  // why this output has no indices; empty when it has
    std::size_t groupsUsed = 0, groupsDropped = 0;
    TLocalResult local;
    TMorrisResult morris;
    TSobolResult sobol;
};

// How many of the most influential factors the collinearity sets draw from.
inline constexpr std::size_t CollinearityFactors = 6;

struct TSensAnalysis {
    TSensMethod method = TSensMethod::Sobol;
    std::vector<std::string> factors;
    std::vector<double> times;
    std::vector<TOutputAnalysis> outputs;
    // Local: the collinearity sets of each output and of all outputs together
    // (output "all"), from the factors ranked by their L2 norm.
    struct TSets {
        std::string output;
        std::vector<TCollinearity> sets;
    };
    std::vector<TSets> collinearity;

    // Whether some output has indices.
    bool AnyAnalysed() const;
    // Why outputs have no indices, one line each.
    std::string Errors() const;
};

// An output with too few usable groups keeps the reason in `error`; the
// other outputs are analysed all the same.
TSensAnalysis Analyse(const TSensDesign& design, const TAnalysisData& data,
                      const TBootstrapOptions& options);

// One row of indices.csv; `time` and `lower`/`upper` are NaN where the
// file leaves them empty.
struct TIndexRow {
    const char* method;
    const std::string* output;
    double time;
    const std::string* factor;
    const char* index;
    double value, lower, upper;
};
std::vector<TIndexRow> IndexRows(const TSensAnalysis& a);

// One row of convergence.csv: an index on the first `basePoints` base points.
// The sum of the first-order indices has no factor.
struct TConvergenceRow {
    const std::string* output;
    double time;
    std::size_t basePoints;
    const std::string* factor;  // nullptr for the sum
    const char* index;          // "S1", "ST" or "sum_S1"
    double value;
};
std::vector<TConvergenceRow> ConvergenceRows(const TSensAnalysis& a);

}  // namespace orvane::sens
