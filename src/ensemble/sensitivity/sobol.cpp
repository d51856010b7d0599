#include "ensemble/sensitivity/sobol.h"

#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <limits>

#include "ensemble/sensitivity/bootstrap.h"
#include "ensemble/sensitivity/designs.h"

namespace orvane::sens {

namespace {

// Per base point and time, the terms whose sums give every index:
// a+b, a^2+b^2, then b(ab_i - a) and (a - ab_i)^2 for each factor, on
// values centred by the sample's mean (which leaves the estimators'
// expectations alone and keeps the variance from cancelling digits).
std::size_t TermCount(std::size_t k) { return 2 * k + 2; }

void FillTerms(const TOutputView& y, std::size_t k, std::size_t group, std::size_t t, double centre,
               double* out) {
    const std::size_t m0 = group * (k + 2);
    const double a = y.At(m0, t) - centre;
    const double b = y.At(m0 + 1, t) - centre;
    out[0] = a + b;
    out[1] = a * a + b * b;
    for (std::size_t i = 0; i < k; ++i) {
        const double ab = y.At(m0 + 2 + i, t) - centre;
        out[2 + i] = b * (ab - a);
        out[2 + k + i] = (a - ab) * (a - ab);
    }
}

// Indices from the summed terms of n base points: s1[i], st[i] and their
// sum; NaN when the output does not vary beyond rounding (`tiny`).
void IndicesFromSums(const double* sums, double n, std::size_t k, double tiny, double* s1, double* st,
                     double& sum) {
    const double mean = sums[0] / (2 * n);
    const double variance = sums[1] / (2 * n) - mean * mean;
    if (!(variance > tiny)) {
        std::fill(s1, s1 + k, NoValue);
        std::fill(st, st + k, NoValue);
        sum = NoValue;
        return;
    }
    sum = 0;
    for (std::size_t i = 0; i < k; ++i) {
        s1[i] = sums[2 + i] / n / variance;
        st[i] = sums[2 + k + i] / (2 * n) / variance;
        sum += s1[i];
    }
}

struct TTimeScale {
    double centre = 0;
    double tiny = 0;  // variances below this are rounding noise
};

TTimeScale ScaleAt(const TOutputView& y, std::size_t k, std::span<const std::size_t> groups,
                   std::size_t t) {
    double sum = 0, maxAbs = 0;
    for (std::size_t g : groups) {
        const std::size_t m0 = g * (k + 2);
        for (std::size_t m = m0; m < m0 + k + 2; ++m) maxAbs = std::max(maxAbs, std::fabs(y.At(m, t)));
        sum += y.At(m0, t) + y.At(m0 + 1, t);
    }
    const double noise = 64 * std::numeric_limits<double>::epsilon() * maxAbs;
    return {sum / (2.0 * static_cast<double>(groups.size())), noise * noise};
}

// Point estimates at time t on the given base points.
void PointEstimate(const TOutputView& y, std::size_t k, std::span<const std::size_t> groups,
                   std::size_t t, const TTimeScale& scale, double* s1, double* st, double& sum) {
    std::vector<double> sums(TermCount(k), 0.0), terms(TermCount(k));
    for (std::size_t g : groups) {
        FillTerms(y, k, g, t, scale.centre, terms.data());
        for (std::size_t c = 0; c < terms.size(); ++c) sums[c] += terms[c];
    }
    IndicesFromSums(sums.data(), static_cast<double>(groups.size()), k, scale.tiny, s1, st, sum);
}

// Bootstrap of the times [t0, t1): every resample's sums are one row of
// counts times the matrix of terms, so each block of resamples is a single
// matrix product.
void BootstrapTimes(const TOutputView& y, std::size_t k, std::span<const std::size_t> groups,
                    std::span<const TTimeScale> scales, std::span<const std::uint16_t> counts,
                    const TBootstrapOptions& options, std::size_t t0, std::size_t t1,
                    TSobolResult& result) {
    const std::size_t n = groups.size(), terms = TermCount(k), times = t1 - t0;
    const std::size_t resamples = options.resamples;
    Eigen::MatrixXd m(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(times * terms));
    std::vector<double> row(terms);
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t t = t0; t < t1; ++t) {
            FillTerms(y, k, groups[j], t, scales[t].centre, row.data());
            for (std::size_t c = 0; c < terms; ++c)
                m(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>((t - t0) * terms + c)) = row[c];
        }

    // boot[(tt * stats + s) * resamples + r]: S1 of each factor, ST of each, their sum
    const std::size_t stats = 2 * k + 1;
    std::vector<double> boot(times * stats * resamples);
    constexpr std::size_t block = 128;
    Eigen::MatrixXd w, sums;
    std::vector<double> s1(k), st(k);
    for (std::size_t r0 = 0; r0 < resamples; r0 += block) {
        const std::size_t rb = std::min(block, resamples - r0);
        w.resize(static_cast<Eigen::Index>(rb), static_cast<Eigen::Index>(n));
        for (std::size_t r = 0; r < rb; ++r)
            for (std::size_t j = 0; j < n; ++j)
                w(static_cast<Eigen::Index>(r), static_cast<Eigen::Index>(j)) = counts[(r0 + r) * n + j];
        sums.noalias() = w * m;
        for (std::size_t r = 0; r < rb; ++r)
            for (std::size_t tt = 0; tt < times; ++tt) {
                double* s = row.data();
                for (std::size_t c = 0; c < terms; ++c)
                    s[c] = sums(static_cast<Eigen::Index>(r), static_cast<Eigen::Index>(tt * terms + c));
                double sum = 0;
                IndicesFromSums(s, static_cast<double>(n), k, scales[t0 + tt].tiny, s1.data(), st.data(), sum);
                double* out = &boot[tt * stats * resamples + r0 + r];
                for (std::size_t i = 0; i < k; ++i) {
                    out[i * resamples] = s1[i];
                    out[(k + i) * resamples] = st[i];
                }
                out[2 * k * resamples] = sum;
            }
    }
    for (std::size_t tt = 0; tt < times; ++tt) {
        const std::size_t t = t0 + tt;
        auto values = [&](std::size_t s) {
            return std::span<double>(boot).subspan((tt * stats + s) * resamples, resamples);
        };
        for (std::size_t i = 0; i < k; ++i) {
            PercentileInterval(values(i), options.confidence, result.s1[t * k + i]);
            PercentileInterval(values(k + i), options.confidence, result.st[t * k + i]);
        }
        PercentileInterval(values(2 * k), options.confidence, result.sumS1[t]);
    }
}

}  // namespace

TSobolResult EstimateSobol(const TSensDesign& design, const TOutputView& output,
                           const TBootstrapOptions& options) {
    if (design.method != TSensMethod::Sobol)
        throw ESensitivityError("Sobol' indices need a Sobol' design");
    if (!(options.confidence > 0 && options.confidence < 1))
        throw ESensitivityError("The confidence level must lie between 0 and 1");
    const std::size_t k = design.factors, times = output.times;
    const auto usable = UsableGroups(design, output);
    const auto groups = UsableIndices(usable, design.groups);
    CheckEnoughGroups("Sobol' indices of " + output.name, groups.size(), design.groups,
                      MinSobolGroups, "base points");

    TSobolResult result;
    result.times = times;
    result.factors = k;
    result.groupsUsed = groups.size();
    result.groupsDropped = design.groups - groups.size();
    result.s1.resize(times * k);
    result.st.resize(times * k);
    result.sumS1.resize(times);

    std::vector<TTimeScale> scales(times);
    std::vector<double> s1(k), st(k);
    for (std::size_t t = 0; t < times; ++t) {
        scales[t] = ScaleAt(output, k, groups, t);
        double sum = 0;
        PointEstimate(output, k, groups, t, scales[t], s1.data(), st.data(), sum);
        for (std::size_t i = 0; i < k; ++i) {
            result.s1[t * k + i].value = s1[i];
            result.st[t * k + i].value = st[i];
        }
        result.sumS1[t].value = sum;
    }

    for (std::size_t part : {8u, 4u, 2u, 1u}) {
        const std::size_t base = design.groups / part;
        if (base == 0 || (!result.basePoints.empty() && result.basePoints.back() == base)) continue;
        const auto subset = UsableIndices(usable, base);
        result.basePoints.push_back(base);
        result.basePointsUsed.push_back(subset.size());
        for (std::size_t t = 0; t < times; ++t) {
            double sum = 0;
            if (subset.size() >= 2) {
                PointEstimate(output, k, subset, t, ScaleAt(output, k, subset, t), s1.data(), st.data(), sum);
            } else {
                std::fill(s1.begin(), s1.end(), NoValue);
                std::fill(st.begin(), st.end(), NoValue);
            }
            result.convS1.insert(result.convS1.end(), s1.begin(), s1.end());
            result.convST.insert(result.convST.end(), st.begin(), st.end());
        }
    }

    if (options.resamples > 0) {
        const auto counts = ResampleCounts(options.seed, options.resamples, groups.size());
        // Chunks of times sized for the matrix product; the chunks depend only
        // on the design, so the results do not depend on the thread count.
        const std::size_t chunk = std::max<std::size_t>(1, 256 / TermCount(k));
        const std::size_t tasks = (times + chunk - 1) / chunk;
        ParallelFor(tasks, options.threads, [&](std::size_t task) {
            const std::size_t t0 = task * chunk;
            BootstrapTimes(output, k, groups, scales, counts, options, t0, std::min(times, t0 + chunk),
                           result);
        });
    }
    return result;
}

}  // namespace orvane::sens
