// How well an ensemble of runs brackets observations: the continuous ranked
// probability score of the members' empirical distribution, and whether an
// observation lies inside the members' central band.
#pragma once

#include <cmath>
#include <span>
#include <vector>

namespace orvane {

// CRPS of the empirical distribution of `members` at the observation y:
// mean |x - y| - mean |x - x'| / 2. NaN without members.
double Crps(std::span<const double> members, double y);

// The p-quantile of the members (linear between order statistics, the
// common "type 7" definition). NaN without members.
double MemberQuantile(std::span<const double> members, double p);

// True when y lies inside the central band holding `coverage` of the members
// (0.9: between the 5 % and 95 % quantiles, ends included).
bool InsideBand(std::span<const double> members, double y, double coverage = 0.9);

struct TEnsembleFitStats {
    int n = 0;
    double insideShare = NAN;  // share of observations inside the 90 % band
    double crps = NAN;         // mean CRPS over the observations
};

// One entry of `members` per observation: the members' values at its time.
TEnsembleFitStats EnsembleFitStatistics(const std::vector<std::vector<double>>& members,
                                        const std::vector<double>& obs);

}  // namespace orvane
