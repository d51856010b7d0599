// Morris elementary effects: mu, mu* and sigma of every factor for every
// output time, with bootstrap intervals of mu* (trajectories resampled).
#pragma once

#include <cstddef>
#include <vector>

#include "ensemble/sensitivity/sens_types.h"

namespace orvane::sens {

struct TMorrisResult {
    std::size_t times = 0;
    std::size_t factors = 0;
    std::size_t groupsUsed = 0;     // trajectories whose every member ran
    std::size_t groupsDropped = 0;
    // Indexed [t * factors + i]. Elementary effects are output changes per
    // unit of the factor's probability scale.
    std::vector<double> mu;
    std::vector<TIndexValue> muStar;
    std::vector<double> sigma;  // sample standard deviation (r - 1)

    const TIndexValue& MuStar(std::size_t t, std::size_t i) const { return muStar[t * factors + i]; }
};

inline constexpr std::size_t MinMorrisGroups = 2;
TMorrisResult EstimateMorris(const TSensDesign& design, const TOutputView& output,
                             const TBootstrapOptions& options);

}  // namespace orvane::sens
