// Local sensitivities, ranking and collinearity.
#include <gtest/gtest.h>

#include <cmath>

#include "ensemble/sensitivity/local.h"
#include "sens_support.h"

namespace orvane::sens::test {
namespace {

std::vector<TSensFactor> BaseFactors(std::vector<double> base) {
    std::vector<TSensFactor> f;
    for (std::size_t i = 0; i < base.size(); ++i) f.push_back({std::string("p").append(std::to_string(i + 1)), {}, base[i]});
    return f;
}

TEST(SensLocal, LinearModelGivesItsNormalisedCoefficients) {
    const std::vector<double> x{2, -3, 0.25};
    // c_i(t) changes over time; at t = 2 the output is 0.
    auto c = [](std::size_t i, std::size_t t) { return (i + 1.0) * (t == 2 ? 0.0 : 1.0 + t); };
    auto model = [&](std::span<const double> v, std::size_t t) {
        return c(0, t) * v[0] + c(1, t) * v[1] + c(2, t) * v[2] + (t == 2 ? 0.0 : 20.0);
    };
    for (bool central : {false, true}) {
        SCOPED_TRACE(central ? "central" : "forward");
        const auto d = MakeLocalDesign(BaseFactors(x), 1e-3, central);
        ASSERT_EQ(d.members, central ? 7u : 4u);
        const auto run = RunPlain(d, 4, model);
        const auto r = EstimateLocal(d, run.View(d.members, 4));
        for (std::size_t i = 0; i < 3; ++i) {
            double l1 = 0, l2 = 0;
            for (std::size_t t : {0u, 1u, 3u}) {
                const double y = model(x, t), expected = c(i, t) * x[i] / y;
                EXPECT_NEAR(r.S(t, i), expected, 1e-10 * std::fabs(expected));
                l1 += std::fabs(expected);
                l2 += expected * expected;
            }
            EXPECT_TRUE(std::isnan(r.S(2, i)));
            EXPECT_NEAR(r.summary[i].l1, l1, 1e-9);
            EXPECT_NEAR(r.summary[i].l2, std::sqrt(l2), 1e-9);
            EXPECT_NEAR(r.summary[i].mean * 3, r.S(0, i) + r.S(1, i) + r.S(3, i), 1e-12);
            EXPECT_EQ(r.summary[i].min, std::min({r.S(0, i), r.S(1, i), r.S(3, i)}));
            EXPECT_EQ(r.summary[i].max, std::max({r.S(0, i), r.S(1, i), r.S(3, i)}));
        }
    }
}

TEST(SensLocal, ZeroBaseValueIsRefused) {
    try {
        MakeLocalDesign(BaseFactors({1, 0}), 1e-3, false);
        FAIL();
    } catch (const ESensitivityError& e) {
        EXPECT_STREQ(e.what(), "Factor p2: a relative step cannot move a base value of 0");
    }
}

TEST(SensLocal, FailedMemberDropsOnlyItsFactor) {
    const auto d = MakeLocalDesign(BaseFactors({1, 2}), 1e-3, true);
    auto run = RunPlain(d, 1, [](auto v, std::size_t) { return v[0] + v[1]; });
    run.ok[2] = 0;  // factor 1 moved down
    const auto r = EstimateLocal(d, run.View(d.members, 1));
    EXPECT_EQ(r.groupsDropped, 1u);
    EXPECT_TRUE(std::isnan(r.S(0, 0)));
    EXPECT_NEAR(r.S(0, 1), 2.0 / 3, 1e-12);
    run.ok[0] = 0;  // the base
    EXPECT_THROW(EstimateLocal(d, run.View(d.members, 1)), ESensitivityError);
}

TEST(SensLocal, RankingPutsUndefinedScoresLast) {
    const std::vector<double> scores{0.5, NAN, 2, 0.5, -1};
    EXPECT_EQ(RankFactors(scores), (std::vector<std::size_t>{2, 0, 3, 4, 1}));
}

TEST(SensLocal, CollinearityIndex) {
    // Columns: a, 3a (the same direction), b orthogonal to a, zero, and one
    // at 60 degrees to a.
    TSensitivityMatrix m{4, 5, {}};
    const double rows[4][5] = {{1, 3, 0, 0, 0.5},
                               {0, 0, 1, 0, std::sqrt(0.75)},
                               {0, 0, 0, 0, 0},
                               {NAN, 1, 1, 0, 1}};  // left out where column 0 is used
    for (auto& r : rows) m.data.insert(m.data.end(), r, r + 5);
    const std::size_t same[] = {0, 1}, orth[] = {0, 2}, zero[] = {2, 3}, angle[] = {0, 4}, triple[] = {0, 2, 4};
    EXPECT_TRUE(std::isinf(CollinearityIndex(m, same)));
    EXPECT_NEAR(CollinearityIndex(m, orth), 1, 1e-12);
    EXPECT_TRUE(std::isinf(CollinearityIndex(m, zero)));
    EXPECT_NEAR(CollinearityIndex(m, angle), 1 / std::sqrt(0.5), 1e-12);
    EXPECT_TRUE(std::isinf(CollinearityIndex(m, triple)));  // three columns in a plane

    const std::size_t ranking[] = {4, 2, 0, 1, 3};
    const auto sets = CollinearitySets(m, ranking, 4);
    ASSERT_EQ(sets.size(), 6u + 4u);
    EXPECT_EQ(sets[0].factors, (std::vector<std::size_t>{4, 2}));
    EXPECT_EQ(sets[6].factors, (std::vector<std::size_t>{4, 2, 0}));
}

}  // namespace
}  // namespace orvane::sens::test
