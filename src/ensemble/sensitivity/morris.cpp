#include "ensemble/sensitivity/morris.h"

#include <algorithm>
#include <cmath>

#include "ensemble/sensitivity/bootstrap.h"
#include "ensemble/sensitivity/designs.h"

namespace orvane::sens {

TMorrisResult EstimateMorris(const TSensDesign& design, const TOutputView& output,
                             const TBootstrapOptions& options) {
    if (design.method != TSensMethod::Morris)
        throw ESensitivityError("Elementary effects need a Morris design");
    if (!(options.confidence > 0 && options.confidence < 1))
        throw ESensitivityError("The confidence level must lie between 0 and 1");
    const std::size_t k = design.factors, times = output.times;
    const auto groups = UsableIndices(UsableGroups(design, output), design.groups);
    CheckEnoughGroups("Elementary effects of " + output.name, groups.size(), design.groups,
                      MinMorrisGroups, "trajectories");
    const std::size_t n = groups.size();

    TMorrisResult result;
    result.times = times;
    result.factors = k;
    result.groupsUsed = n;
    result.groupsDropped = design.groups - n;
    result.mu.resize(times * k);
    result.muStar.resize(times * k);
    result.sigma.resize(times * k);

    const auto counts = ResampleCounts(options.seed, options.resamples, n);
    ParallelFor(times, options.threads, [&](std::size_t t) {
        // ee[i * n + j]: the effect of factor i in trajectory j
        std::vector<double> ee(k * n);
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t g = groups[j], first = g * design.groupSize;
            for (std::size_t s = 0; s < k; ++s) {
                const std::size_t i = design.moved[g * k + s];
                ee[i * n + j] =
                    (output.At(first + s + 1, t) - output.At(first + s, t)) / design.step[g * k + s];
            }
        }
        std::vector<double> boot(options.resamples);
        for (std::size_t i = 0; i < k; ++i) {
            const double* e = &ee[i * n];
            double sum = 0, sumAbs = 0;
            for (std::size_t j = 0; j < n; ++j) {
                sum += e[j];
                sumAbs += std::fabs(e[j]);
            }
            const double mean = sum / static_cast<double>(n);
            double ss = 0;
            for (std::size_t j = 0; j < n; ++j) ss += (e[j] - mean) * (e[j] - mean);
            result.mu[t * k + i] = mean;
            result.sigma[t * k + i] = std::sqrt(ss / static_cast<double>(n - 1));
            TIndexValue& star = result.muStar[t * k + i];
            star.value = sumAbs / static_cast<double>(n);
            for (std::size_t r = 0; r < options.resamples; ++r) {
                const std::uint16_t* c = &counts[r * n];
                double s = 0;
                for (std::size_t j = 0; j < n; ++j) s += c[j] * std::fabs(e[j]);
                boot[r] = s / static_cast<double>(n);
            }
            PercentileInterval(boot, options.confidence, star);
        }
    });
    return result;
}

}  // namespace orvane::sens
