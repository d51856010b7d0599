// Designs: the distributions asked for, strata hit once, and values that
// depend on the member alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/distributions/lognormal.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/triangular.hpp>
#include <boost/math/distributions/uniform.hpp>
#include <vector>

#include "ensemble/design.h"
#include "ensemble/summary.h"

namespace orvane::ensemble {
namespace {

constexpr std::size_t N = 10000;

std::vector<double> Column(const IDesign& d, int j) {
    std::vector<double> v(static_cast<std::size_t>(d.Factors()));
    std::vector<double> col;
    for (std::size_t i = 0; i < d.Members(); ++i) {
        d.Values(i, v);
        col.push_back(v[static_cast<std::size_t>(j)]);
    }
    std::sort(col.begin(), col.end());
    return col;
}

// The empirical quantiles of 10,000 draws lie within 0.02 in probability
// of the distribution's own.
template <class Dist>
void ExpectMarginal(const std::vector<double>& sorted, const Dist& dist, const char* what) {
    for (double p : {0.02, 0.1, 0.25, 0.5, 0.75, 0.9, 0.98}) {
        const double x = SortedQuantile(sorted, p);
        EXPECT_NEAR(boost::math::cdf(dist, x), p, 0.02) << what << " at p=" << p;
    }
}

TEST(Design, MarginalsHaveTheDistributionsAskedFor) {
    const std::vector<TDistribution> dists = {
        {TDistKind::Uniform, 2, 5},
        {TDistKind::Normal, 1500, 150},
        {TDistKind::LogNormal, -8.5, 0.3},
        {TDistKind::Triangular, 1, 1.5, 4},
        {TDistKind::TruncNormal, 10, 4, 12, 30},  // both bounds above the mean
        {TDistKind::Relative, 20},
    };
    const std::vector<double> bases = {0, 0, 0, 0, 0, -50};
    const int dim = static_cast<int>(dists.size());
    for (auto* make : {MakeRandomDesign, MakeLatinHypercube, MakeSobolPoints}) {
        const TQuantileDesign d(make(N, dim, 7), dists, bases);
        ExpectMarginal(Column(d, 0), boost::math::uniform_distribution<double>(2, 5), "uniform");
        ExpectMarginal(Column(d, 1), boost::math::normal_distribution<double>(1500, 150), "normal");
        ExpectMarginal(Column(d, 2), boost::math::lognormal_distribution<double>(-8.5, 0.3), "lognormal");
        ExpectMarginal(Column(d, 3), boost::math::triangular_distribution<double>(1, 1.5, 4), "triangular");
        // The truncated normal: the normal's probabilities rescaled to [12, 30].
        const boost::math::normal_distribution<double> z(10, 4);
        const auto tn = Column(d, 4);
        EXPECT_GE(tn.front(), 12);
        EXPECT_LE(tn.back(), 30);
        const double lo = boost::math::cdf(z, 12.0);
        const double hi = boost::math::cdf(z, 30.0);
        for (double p : {0.1, 0.5, 0.9}) {
            EXPECT_NEAR((boost::math::cdf(z, SortedQuantile(tn, p)) - lo) / (hi - lo), p, 0.02);
        }
        // +-20 % around a negative base.
        ExpectMarginal(Column(d, 5), boost::math::uniform_distribution<double>(-60, -40), "relative");
    }
}

TEST(Design, LatinHypercubeHitsEveryStratumOnce) {
    for (std::size_t n : {1u, 7u, 1000u}) {
        const auto d = MakeLatinHypercube(n, 3, 11);
        std::vector<std::vector<int>> hits(3, std::vector<int>(n, 0));
        std::vector<double> u(3);
        for (std::size_t i = 0; i < n; ++i) {
            d->Point(i, u);
            for (int j = 0; j < 3; ++j) {
                ASSERT_GT(u[static_cast<std::size_t>(j)], 0);
                ASSERT_LT(u[static_cast<std::size_t>(j)], 1);
                ++hits[static_cast<std::size_t>(j)][static_cast<std::size_t>(u[static_cast<std::size_t>(j)] * static_cast<double>(n))];
            }
        }
        for (const auto& h : hits) EXPECT_TRUE(std::all_of(h.begin(), h.end(), [](int c) { return c == 1; })) << n;
    }
}

TEST(Design, AMembersPointDependsOnSeedAndMemberAlone) {
    for (auto* make : {MakeRandomDesign, MakeLatinHypercube, MakeSobolPoints}) {
        const auto a = make(500, 4, 3);
        const auto b = make(500, 4, 3);
        const auto other = make(500, 4, 4);
        std::vector<double> forward(4), backward(4), seed4(4);
        int differ = 0;
        // Asked in opposite orders, by different objects: the same bits.
        for (std::size_t i = 0; i < 500; ++i) {
            a->Point(i, forward);
            b->Point(499 - i, backward);
            b->Point(i, backward);
            EXPECT_EQ(forward, backward) << i;
            other->Point(i, seed4);
            differ += forward != seed4;
        }
        EXPECT_GT(differ, 490);  // another seed, other points
    }
    // Sobol' points: member i is point i, however many members there are.
    std::vector<double> u(2), v(2);
    MakeSobolPoints(10, 2, 1)->Point(5, u);
    MakeSobolPoints(1000, 2, 1)->Point(5, v);
    EXPECT_EQ(u, v);
}

}  // namespace
}  // namespace orvane::ensemble
