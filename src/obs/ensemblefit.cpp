#include "obs/ensemblefit.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

std::vector<double> Sorted(std::span<const double> members) {
    std::vector<double> x(members.begin(), members.end());
    std::sort(x.begin(), x.end());
    return x;
}

double QuantileOfSorted(const std::vector<double>& x, double p) {
    if (x.empty()) return NAN;
    const double h = (static_cast<double>(x.size()) - 1) * p;
    const auto lo = static_cast<std::size_t>(std::floor(h));
    const std::size_t hi = std::min(lo + 1, x.size() - 1);
    return x[lo] + (h - static_cast<double>(lo)) * (x[hi] - x[lo]);
}

}  // namespace

double Crps(std::span<const double> members, double y) {
    const std::size_t m = members.size();
    if (m == 0) return NAN;
    const std::vector<double> x = Sorted(members);
    // The pair sum over sorted values: sum |xi - xj| = 2 sum (2i - m - 1) x(i).
    double toObs = 0, pairs = 0;
    for (std::size_t i = 0; i < m; ++i) {
        toObs += std::fabs(x[i] - y);
        pairs += (2.0 * static_cast<double>(i + 1) - static_cast<double>(m) - 1) * x[i];
    }
    const double dm = static_cast<double>(m);
    return toObs / dm - pairs / (dm * dm);
}

double MemberQuantile(std::span<const double> members, double p) {
    return QuantileOfSorted(Sorted(members), p);
}

bool InsideBand(std::span<const double> members, double y, double coverage) {
    const std::vector<double> x = Sorted(members);
    if (x.empty()) return false;
    const double tail = (1 - coverage) / 2;
    return y >= QuantileOfSorted(x, tail) && y <= QuantileOfSorted(x, 1 - tail);
}

TEnsembleFitStats EnsembleFitStatistics(const std::vector<std::vector<double>>& members,
                                        const std::vector<double>& obs) {
    TEnsembleFitStats s;
    s.n = static_cast<int>(obs.size());
    if (obs.empty() || members.size() != obs.size()) return s;
    double inside = 0, crps = 0;
    for (std::size_t i = 0; i < obs.size(); ++i) {
        if (InsideBand(members[i], obs[i])) inside += 1;
        crps += Crps(members[i], obs[i]);
    }
    s.insideShare = inside / static_cast<double>(obs.size());
    s.crps = crps / static_cast<double>(obs.size());
    return s;
}

}  // namespace orvane
