// A whole analysis over several outputs: rows of the result files and the
// ranked report.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "ensemble/sensitivity/analysis.h"
#include "ensemble/sensitivity/report.h"
#include "sens_support.h"

namespace orvane::sens::test {
namespace {

// Outputs "lin" (3 x1 + x2, never x3) and "bad" (members of the first base
// points failed, or their values undefined) at times 0 and 10.
TAnalysisData TwoOutputs(const TSensDesign& d, std::size_t badGroups) {
    TAnalysisData data{{"x1", "x2", "x3"}, {"lin", "bad"}, {0, 10}, d.members, {}, {}};
    data.ok.assign(d.members, 1);
    data.values.resize(2 * d.members * 2);
    for (std::size_t m = 0; m < d.members; ++m) {
        const auto x = d.MemberValues(m);
        for (std::size_t t = 0; t < 2; ++t) {
            data.values[m * 2 + t] = 3 * x[0] + x[1] + static_cast<double>(t);
            const bool bad = badGroups > 0 && m / d.groupSize >= d.groups - badGroups;
            data.values[(d.members + m) * 2 + t] = bad ? NAN : x[2];
        }
    }
    return data;
}

TEST(SensAnalysis, SobolRowsAndReport) {
    const auto d = MakeSaltelliDesign(UniformFactors(3, 0, 1), 30, TShiftedSobol(6, 1));
    const TBootstrapOptions options{100, 0.9, 1, 0};
    const auto a = Analyse(d, TwoOutputs(d, 30), options);
    ASSERT_EQ(a.outputs.size(), 2u);
    EXPECT_TRUE(a.outputs[0].error.empty());
    EXPECT_EQ(a.outputs[1].error, "Sobol' indices of bad: only 2 of 32 base points ran without a "
                                  "failed member; at least 4 are needed");

    const auto rows = IndexRows(a);
    ASSERT_EQ(rows.size(), 2u * 3 * 2);  // times x factors x {S1, ST}, for "lin" alone
    EXPECT_STREQ(rows[0].method, "sobol");
    EXPECT_EQ(*rows[0].output, "lin");
    EXPECT_STREQ(rows[1].index, "ST");
    EXPECT_EQ(rows.back().time, 10);
    EXPECT_EQ(*rows.back().factor, "x3");
    EXPECT_EQ(rows.back().value, 0);

    // Base points 4, 8, 16, 32; per time three factors twice and the sum.
    const auto conv = ConvergenceRows(a);
    ASSERT_EQ(conv.size(), 4u * 2 * 7);
    EXPECT_EQ(conv[0].basePoints, 4u);
    EXPECT_EQ(conv[6].factor, nullptr);
    EXPECT_DOUBLE_EQ(conv[6].value, conv[0].value + conv[2].value + conv[4].value);

    const std::string report = RankedReport(a, d, options);
    EXPECT_NE(report.find("Sobol' indices at time 10 (32 base points, 100 bootstrap resamples, 90 % "
                          "intervals)\nSobol' design: members = 30 is not a power of two"),
              std::string::npos)
        << report;
    const auto x1 = report.find("  1  x1"), x2 = report.find("  2  x2"), x3 = report.find("  3  x3");
    EXPECT_TRUE(x1 < x2 && x2 < x3 && x3 != std::string::npos) << report;
    EXPECT_NE(report.find("sum of S1: "), std::string::npos);
    EXPECT_NE(report.find("bad: Sobol' indices of bad: only 2 of 32"), std::string::npos);
}

TEST(SensAnalysis, NoOutputLeft) {
    const auto d = MakeMorrisDesign(UniformFactors(3, 0, 1), 4, 4, 1);
    auto data = TwoOutputs(d, 3);
    data.ok.assign(d.members, 0);
    const auto a = Analyse(d, data, {});
    EXPECT_FALSE(a.AnyAnalysed());
    EXPECT_EQ(a.Errors(), "Elementary effects of lin: only 0 of 4 trajectories ran without a failed member; "
                          "at least 2 are needed\nElementary effects of bad: only 0 of 4 trajectories ran "
                          "without a failed member; at least 2 are needed");
}

TEST(SensAnalysis, LocalRowsAndCollinearity) {
    std::vector<TSensFactor> f{{"x1", {}, 1}, {"x2", {}, 2}, {"x3", {}, 3}};
    const auto d = MakeLocalDesign(f, 1e-3, false);
    const auto a = Analyse(d, TwoOutputs(d, 0), {});
    std::set<std::string> indices;
    for (const auto& r : IndexRows(a)) {
        indices.insert(r.index);
        EXPECT_EQ(std::isnan(r.time), std::string(r.index) != "S");
        EXPECT_TRUE(std::isnan(r.lower));
    }
    EXPECT_EQ(indices, (std::set<std::string>{"S", "L1", "L2", "mean", "min", "max"}));
    // "lin" moves with x1 and x2 in the same proportion at both times: the
    // pair cannot be told apart.
    ASSERT_EQ(a.collinearity.size(), 3u);
    EXPECT_EQ(a.collinearity[2].output, "all");
    ASSERT_EQ(a.collinearity[0].sets.size(), 4u);  // three pairs, one triple
    EXPECT_EQ(a.collinearity[0].sets[0].factors, (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(std::isinf(a.collinearity[0].sets[0].index));
    const std::string report = RankedReport(a, d, {});
    const auto pair = report.find("    x1 x2 ");
    ASSERT_NE(pair, std::string::npos) << report;
    const std::string line = report.substr(pair, report.find('\n', pair) - pair);
    EXPECT_NE(line.find(" inf  not identifiable"), std::string::npos) << line;
}

}  // namespace
}  // namespace orvane::sens::test
