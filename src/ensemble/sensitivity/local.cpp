#include "ensemble/sensitivity/local.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "ensemble/sensitivity/bootstrap.h"
#include "ensemble/sensitivity/designs.h"

namespace orvane::sens {

TLocalResult EstimateLocal(const TSensDesign& design, const TOutputView& output) {
    if (design.method != TSensMethod::Local)
        throw ESensitivityError("Local sensitivities need a local design");
    const std::size_t k = design.factors, times = output.times;
    const auto usable = UsableGroups(design, output);
    const auto groups = UsableIndices(usable, design.groups);
    CheckEnoughGroups("Local sensitivities of " + output.name, groups.size(), design.groups, 1,
                      "factors");
    TLocalResult result;
    result.times = times;
    result.factors = k;
    result.groupsUsed = groups.size();
    result.groupsDropped = design.groups - groups.size();
    result.s.assign(times * k, NoValue);
    result.summary.resize(k);

    for (std::size_t i : groups) {
        // The difference of the values actually run, not the nominal step,
        // so that rounding of p(1 + step) does not enter the slope.
        const std::size_t up = GroupFirstMember(design, i), down = design.central ? up + 1 : 0;
        const double p = design.values[i], dp = design.values[up * k + i] - design.values[down * k + i];
        TLocalSummary& sum = result.summary[i];
        std::size_t defined = 0;
        double l1 = 0, l2 = 0, lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (std::size_t t = 0; t < times; ++t) {
            const double y = output.At(0, t);
            if (y == 0) continue;
            const double si = (output.At(up, t) - output.At(down, t)) / dp * (p / y);
            result.s[t * k + i] = si;
            ++defined;
            l1 += std::fabs(si);
            l2 += si * si;
            lo = std::min(lo, si);
            hi = std::max(hi, si);
        }
        if (defined == 0) continue;
        sum.l1 = l1;
        sum.l2 = std::sqrt(l2);
        double total = 0;
        for (std::size_t t = 0; t < times; ++t)
            if (!std::isnan(result.s[t * k + i])) total += result.s[t * k + i];
        sum.mean = total / static_cast<double>(defined);
        sum.min = lo;
        sum.max = hi;
    }
    return result;
}

std::vector<std::size_t> RankFactors(std::span<const double> scores) {
    std::vector<std::size_t> order(scores.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (std::isnan(scores[b])) return !std::isnan(scores[a]);
        if (std::isnan(scores[a])) return false;
        return scores[a] > scores[b];
    });
    return order;
}

TSensitivityMatrix StackSensitivities(std::span<const TLocalResult> results) {
    TSensitivityMatrix m;
    if (results.empty()) return m;
    m.cols = results.front().factors;
    for (const auto& r : results) {
        if (r.factors != m.cols) throw ESensitivityError("Local results of different designs");
        m.data.insert(m.data.end(), r.s.begin(), r.s.end());
        m.rows += r.times;
    }
    return m;
}

double CollinearityIndex(const TSensitivityMatrix& s, std::span<const std::size_t> columns) {
    const auto q = static_cast<Eigen::Index>(columns.size());
    std::vector<std::size_t> rows;
    for (std::size_t r = 0; r < s.rows; ++r) {
        bool defined = true;
        for (std::size_t c : columns) defined = defined && std::isfinite(s.data[r * s.cols + c]);
        if (defined) rows.push_back(r);
    }
    Eigen::MatrixXd a(static_cast<Eigen::Index>(rows.size()), q);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (Eigen::Index c = 0; c < q; ++c)
            a(static_cast<Eigen::Index>(r), c) = s.data[rows[r] * s.cols + columns[static_cast<std::size_t>(c)]];
    const double inf = std::numeric_limits<double>::infinity();
    for (Eigen::Index c = 0; c < q; ++c) {
        const double norm = a.col(c).norm();
        if (!(norm > 0)) return inf;
        a.col(c) /= norm;
    }
    const Eigen::MatrixXd gram = a.transpose() * a;
    const double smallest = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(gram, Eigen::EigenvaluesOnly)
                                .eigenvalues()
                                .minCoeff();
    // The Gram matrix of unit columns has eigenvalues up to q; anything within
    // rounding of 0 means the columns are dependent.
    if (smallest <= 8 * std::numeric_limits<double>::epsilon() * static_cast<double>(q)) return inf;
    return 1 / std::sqrt(smallest);
}

std::vector<TCollinearity> CollinearitySets(const TSensitivityMatrix& s,
                                            std::span<const std::size_t> ranking, std::size_t count) {
    count = std::min(count, ranking.size());
    std::vector<TCollinearity> sets;
    for (std::size_t a = 0; a < count; ++a)
        for (std::size_t b = a + 1; b < count; ++b) {
            std::vector<std::size_t> pair{ranking[a], ranking[b]};
            sets.push_back({pair, CollinearityIndex(s, pair)});
        }
    for (std::size_t a = 0; a < count; ++a)
        for (std::size_t b = a + 1; b < count; ++b)
            for (std::size_t c = b + 1; c < count; ++c) {
                std::vector<std::size_t> triple{ranking[a], ranking[b], ranking[c]};
                sets.push_back({triple, CollinearityIndex(s, triple)});
            }
    return sets;
}

}  // namespace orvane::sens
