// The ranked plain-text report of a sensitivity analysis at the last
// output time, for the runner's standard output.
#pragma once

#include <cstddef>
#include <string>

#include "ensemble/sensitivity/analysis.h"

namespace orvane::sens {

// `bootstrap` and `confidence` describe the intervals (Morris and Sobol').
std::string RankedReport(const TSensAnalysis& a, const TSensDesign& design,
                         const TBootstrapOptions& bootstrap);

}  // namespace orvane::sens
