// Morris trajectories and elementary effects.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>

#include "ensemble/sensitivity/local.h"
#include "ensemble/sensitivity/morris.h"
#include "sens_support.h"

namespace orvane::sens::test {
namespace {

TEST(SensMorris, TrajectoriesMoveEachFactorOnceOnTheGrid) {
    const auto factors = UniformFactors(5, 10, 40);
    const auto d = MakeMorrisDesign(factors, 20, 4, 42);
    ASSERT_EQ(d.members, 20u * 6);
    const std::set<double> grid{10, 20, 30, 40};
    for (std::size_t g = 0; g < d.groups; ++g) {
        std::set<std::size_t> moved;
        for (std::size_t s = 0; s < 5; ++s) {
            const auto before = d.MemberValues(g * 6 + s), after = d.MemberValues(g * 6 + s + 1);
            const std::size_t i = d.moved[g * 5 + s];
            moved.insert(i);
            for (std::size_t j = 0; j < 5; ++j) {
                EXPECT_TRUE(grid.count(after[j]));
                if (j != i) {
                    EXPECT_EQ(after[j], before[j]);
                }
            }
            // Two of four levels: 2/3 of the unit range, 20 of the factor's 30.
            EXPECT_DOUBLE_EQ(after[i] - before[i], d.step[g * 5 + s] * 30);
            EXPECT_DOUBLE_EQ(std::fabs(d.step[g * 5 + s]), 2.0 / 3);
        }
        EXPECT_EQ(moved.size(), 5u);
    }
    EXPECT_EQ(MakeMorrisDesign(factors, 20, 4, 42).values, d.values);
    EXPECT_NE(MakeMorrisDesign(factors, 20, 4, 43).values, d.values);
}

TEST(SensMorris, UnboundedFactorsUseStratumCentres) {
    std::vector<TSensFactor> f{{"n", [](double u) {
                                    if (u <= 0 || u >= 1) throw std::domain_error("no bound");
                                    return std::log(u / (1 - u));  // logistic quantile
                                }, 0}};
    const auto d = MakeMorrisDesign(f, 10, 4, 1);
    std::set<double> seen(d.values.begin(), d.values.end());
    for (double v : seen) EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(*seen.begin(), std::log(0.125 / 0.875));
    EXPECT_DOUBLE_EQ(std::fabs(d.step[0]), 0.5);
}

TEST(SensMorris, LinearModelHasExactEffects) {
    const std::vector<double> c{3, -1, 0.5};
    const auto factors = UniformFactors(3, 0, 2);
    const auto d = MakeMorrisDesign(factors, 10, 4, 3);
    const auto run = RunPlain(d, 1, [&](auto x, std::size_t) { return c[0] * x[0] + c[1] * x[1] + c[2] * x[2]; });
    const auto r = EstimateMorris(d, run.View(d.members, 1), {200, 0.95, 1, 0});
    for (std::size_t i = 0; i < 3; ++i) {
        // Effects per unit of the probability scale: c times the range.
        EXPECT_NEAR(r.mu[i], 2 * c[i], 1e-12);
        EXPECT_NEAR(r.muStar[i].value, 2 * std::fabs(c[i]), 1e-12);
        EXPECT_NEAR(r.sigma[i], 0, 1e-12);
        EXPECT_NEAR(r.muStar[i].upper - r.muStar[i].lower, 0, 1e-12);
    }
}

TEST(SensMorris, GFunctionRanksFactorsByTheirImportance) {
    const std::size_t k = GFunctionA.size();
    const auto d = MakeMorrisDesign(UniformFactors(k, 0, 1), 20, 4, 5);
    const auto run = RunPlain(d, 1, [](auto x, std::size_t) { return GFunction(x); });
    const auto r = EstimateMorris(d, run.View(d.members, 1), {1000, 0.95, 1, 0});
    std::vector<double> scores(k);
    for (std::size_t i = 0; i < k; ++i) scores[i] = r.MuStar(0, i).value;
    const auto rank = RankFactors(scores);
    EXPECT_EQ(std::vector<std::size_t>(rank.begin(), rank.begin() + 4),
              (std::vector<std::size_t>{0, 1, 2, 3}));
}

TEST(SensMorris, FailedTrajectoriesAreDroppedAndCounted) {
    const auto d = MakeMorrisDesign(UniformFactors(2, 0, 1), 5, 4, 1);
    auto run = RunPlain(d, 1, [](auto x, std::size_t) { return x[0] + x[1]; });
    run.ok[4] = 0;  // second trajectory
    const auto r = EstimateMorris(d, run.View(d.members, 1), {50, 0.95, 1, 0});
    EXPECT_EQ(r.groupsUsed, 4u);
    EXPECT_EQ(r.groupsDropped, 1u);
    for (std::size_t m = 3; m < d.members; ++m) run.ok[m] = 0;
    EXPECT_THROW(EstimateMorris(d, run.View(d.members, 1), {50, 0.95, 1, 0}), ESensitivityError);
}

}  // namespace
}  // namespace orvane::sens::test
