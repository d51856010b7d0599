// Sobol' indices checked against functions whose indices are known.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ensemble/sensitivity/sobol.h"
#include "sens_support.h"

namespace orvane::sens::test {
namespace {

constexpr double pi = std::numbers::pi;

void ExpectWithin(const TIndexValue& v, double analytic, const char* what, std::size_t i) {
    SCOPED_TRACE(std::string(what) + " of factor " + std::to_string(i + 1));
    ASSERT_TRUE(v.HasInterval());
    EXPECT_LE(v.lower, analytic);
    EXPECT_GE(v.upper, analytic);
    EXPECT_LE(v.lower, v.value);
    EXPECT_GE(v.upper, v.value);
    EXPECT_NEAR(v.value, analytic, 0.03);
}

TEST(SensSobol, IshigamiIndicesLieWithinTheirIntervals) {
    const double a = 7, b = 0.1;
    const double v1 = 0.5 * std::pow(1 + b * std::pow(pi, 4) / 5, 2), v2 = a * a / 8;
    const double v13 = b * b * std::pow(pi, 8) * (1.0 / 18 - 1.0 / 50);
    const double v = v1 + v2 + v13;
    const double s1[] = {v1 / v, v2 / v, 0}, st[] = {(v1 + v13) / v, v2 / v, v13 / v};

    const auto factors = UniformFactors(3, -pi, pi);
    const auto d = MakeSaltelliDesign(factors, 8192, TShiftedSobol(6, 1));
    EXPECT_TRUE(d.notes.empty());
    const auto run = RunPlain(d, 1, [](auto x, std::size_t) { return Ishigami(x); });
    const auto r = EstimateSobol(d, run.View(d.members, 1), {1000, 0.95, 7, 0});
    EXPECT_EQ(r.groupsUsed, 8192u);
    EXPECT_EQ(r.groupsDropped, 0u);
    for (std::size_t i = 0; i < 3; ++i) {
        ExpectWithin(r.S1(0, i), s1[i], "S1", i);
        ExpectWithin(r.ST(0, i), st[i], "ST", i);
    }
    ExpectWithin(r.sumS1[0], s1[0] + s1[1], "sum of S1", 0);

    // The convergence table ends on the whole sample, with the same numbers.
    ASSERT_EQ(r.basePoints, (std::vector<std::size_t>{1024, 2048, 4096, 8192}));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.convS1[3 * 3 + i], r.S1(0, i).value);
        EXPECT_EQ(r.convST[3 * 3 + i], r.ST(0, i).value);
    }
}

TEST(SensSobol, GFunctionIndicesLieWithinTheirIntervals) {
    const std::size_t k = GFunctionA.size();
    std::vector<double> vi(k);
    double prod = 1;
    for (std::size_t i = 0; i < k; ++i) {
        vi[i] = 1 / (3 * (1 + GFunctionA[i]) * (1 + GFunctionA[i]));
        prod *= 1 + vi[i];
    }
    const double v = prod - 1;
    const auto d = MakeSaltelliDesign(UniformFactors(k, 0, 1), 8192, TShiftedSobol(2 * k, 3));
    const auto run = RunPlain(d, 1, [](auto x, std::size_t) { return GFunction(x); });
    const auto r = EstimateSobol(d, run.View(d.members, 1), {1000, 0.95, 11, 0});
    for (std::size_t i = 0; i < k; ++i) {
        ExpectWithin(r.S1(0, i), vi[i] / v, "S1", i);
        ExpectWithin(r.ST(0, i), vi[i] * prod / (1 + vi[i]) / v, "ST", i);
    }
}

TEST(SensSobol, SizeNotAPowerOfTwoIsRoundedUpWithANote) {
    const auto d = MakeSaltelliDesign(UniformFactors(10, 0, 1), 1000, TShiftedSobol(20, 1));
    EXPECT_EQ(d.groups, 1024u);
    EXPECT_EQ(d.members, 12288u);
    ASSERT_EQ(d.notes.size(), 1u);
    EXPECT_EQ(d.notes[0],
              "Sobol' design: members = 1000 is not a power of two; rounded up to 1024 base points "
              "(12288 model runs with 10 factors)");
    // Group j: A_j, B_j, then A_j with one factor from B_j.
    const auto a = d.MemberValues(5 * 12), b = d.MemberValues(5 * 12 + 1);
    for (std::size_t i = 0; i < 10; ++i) {
        const auto ab = d.MemberValues(5 * 12 + 2 + i);
        for (std::size_t j = 0; j < 10; ++j) EXPECT_EQ(ab[j], j == i ? b[j] : a[j]);
    }
}

TEST(SensSobol, ResultsDoNotDependOnTheThreadCount) {
    const auto d = MakeSaltelliDesign(UniformFactors(3, -pi, pi), 256, TShiftedSobol(6, 2));
    // Enough times for several chunks of the bootstrap.
    const std::size_t times = 50;
    const auto run = RunPlain(d, times, [](auto x, std::size_t t) {
        return Ishigami(x) + 0.01 * static_cast<double>(t) * x[2];
    });
    const auto one = EstimateSobol(d, run.View(d.members, times), {200, 0.9, 5, 1});
    const auto two = EstimateSobol(d, run.View(d.members, times), {200, 0.9, 5, 2});
    for (std::size_t j = 0; j < one.s1.size(); ++j) {
        EXPECT_EQ(one.s1[j].lower, two.s1[j].lower);
        EXPECT_EQ(one.st[j].upper, two.st[j].upper);
        EXPECT_EQ(one.st[j].value, two.st[j].value);
    }
}

TEST(SensSobol, FailedMembersDropTheirBasePoints) {
    const auto d = MakeSaltelliDesign(UniformFactors(3, -pi, pi), 64, TShiftedSobol(6, 4));
    auto run = RunPlain(d, 2, [](auto x, std::size_t) { return Ishigami(x); });
    run.ok[0] = 0;                       // A of base point 0
    run.ok[3 * 5 + 4] = 0;               // an AB member of base point 3
    run.values[7 * 5 * 2 + 1] = NAN;     // base point 7, second time
    const auto r = EstimateSobol(d, run.View(d.members, 2), {100, 0.95, 1, 0});
    EXPECT_EQ(r.groupsUsed, 61u);
    EXPECT_EQ(r.groupsDropped, 3u);
    EXPECT_TRUE(std::isfinite(r.S1(1, 0).value));

    for (std::size_t m = 0; m < d.members; ++m) run.ok[m] = m < 3 * 5;
    try {
        EstimateSobol(d, run.View(d.members, 2), {100, 0.95, 1, 0});
        FAIL() << "three base points are not enough";
    } catch (const ESensitivityError& e) {
        EXPECT_STREQ(e.what(), "Sobol' indices of y: only 3 of 64 base points ran without a failed "
                               "member; at least 4 are needed");
    }
}

TEST(SensSobol, NegativeFirstOrderEstimatesAreKeptAndAConstantOutputHasNone) {
    // sin((t + 1) x1) x2 on [-1, 1]: no first-order effects at any time, so
    // small samples scatter their estimates on both sides of 0.
    const std::size_t times = 11;
    const auto d = MakeSaltelliDesign(UniformFactors(2, -1, 1), 32, TShiftedSobol(4, 9));
    const auto run = RunPlain(d, times, [](auto x, std::size_t t) {
        return t == 0 ? 5.0 : std::sin(static_cast<double>(t) * x[0]) * x[1];
    });
    const auto r = EstimateSobol(d, run.View(d.members, times), {500, 0.95, 2, 0});
    EXPECT_TRUE(std::isnan(r.S1(0, 0).value));
    EXPECT_FALSE(r.S1(0, 0).HasInterval());
    std::size_t negative = 0;
    for (std::size_t t = 1; t < times; ++t)
        for (std::size_t i = 0; i < 2; ++i) {
            negative += r.S1(t, i).value < 0;
            EXPECT_LE(r.S1(t, i).lower, r.S1(t, i).value);
        }
    EXPECT_GT(negative, 0u);
}

TEST(SensSobol, AFactorTheOutputIgnoresGetsZeroIndices) {
    const auto d = MakeSaltelliDesign(UniformFactors(3, 0, 1), 128, TShiftedSobol(6, 5));
    const auto run = RunPlain(d, 1, [](auto x, std::size_t) { return x[0] + 2 * x[2]; });
    const auto r = EstimateSobol(d, run.View(d.members, 1), {200, 0.95, 3, 0});
    EXPECT_EQ(r.ST(0, 1).value, 0.0);
    EXPECT_EQ(r.ST(0, 1).upper, 0.0);
    EXPECT_EQ(r.S1(0, 1).value, 0.0);
}

}  // namespace
}  // namespace orvane::sens::test
