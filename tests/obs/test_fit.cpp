// Goodness of fit against values worked out by hand, the output-file table
// it reads, and the ensemble scores against their definitions.
#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>

#include "io/numfmt.h"
#include "obs/ensemblefit.h"
#include "obs/fit.h"
#include "obs/obs_test_util.h"

namespace orvane {
namespace {

using testobs::TScratch;

class Fit : public ::testing::Test {
protected:
    void SetUp() override {
        InitialiseGlobals(g);
        // Cf (state 1) is 10, 20, 40 at times 0, 1, 2; NPPt (process 20) is 3t.
        testobs::WriteOutput(g, out, {0, 1, 2}, [](TGlobals& h, double t) {
            h.States[1].value = t == 0 ? 10 : t == 1 ? 20 : 40;
            h.Processes[20].value = 3 * t;
        });
    }
    TScratch dir;
    std::string out = dir.File("run.out");
    TGlobals g;
};

TEST_F(Fit, StatisticsMatchHandWorkedValues) {
    TVariableCatalogue cat(g);
    // Cf at 0.5 is interpolated (15); the observation at 3 lies outside the run.
    const auto obs = ParseObservations(
        "time,Cf,Cf_sd,NPPt\n0.5,14,2,\n1,21,1,3\n2,36,4,NA\n3,50,1,\n", "o.csv", cat);
    const TRunFit fit = FitRun(obs, ReadRunTable(out));
    ASSERT_EQ(fit.variables.size(), 2u);
    const TFitStats& s = fit.variables[0].stats;
    // simulated 15, 20, 40 against observed 14, 21, 36: differences 1, -1, 4
    EXPECT_EQ(s.n, 3);
    EXPECT_DOUBLE_EQ(s.bias, 4.0 / 3);
    EXPECT_DOUBLE_EQ(s.rmse, std::sqrt(6.0));
    EXPECT_DOUBLE_EQ(s.mae, 2);
    // observed deviations -29/3, -8/3, 37/3; simulated -10, -5, 15
    EXPECT_DOUBLE_EQ(s.nse, 1 - 18 / (2274.0 / 9));
    EXPECT_DOUBLE_EQ(s.r2, 295.0 * 295.0 / (350 * 2274.0 / 9));
    EXPECT_DOUBLE_EQ(s.wss, 0.25 + 1 + 1);
    EXPECT_DOUBLE_EQ(s.m2ll, 2.25 + 3 * std::log(2 * std::numbers::pi) + 2 * std::log(8.0));
    EXPECT_EQ(fit.variables[0].outside, std::vector<double>{3});

    // One observation: no spread to explain and no standard deviations.
    const TFitStats& p = fit.variables[1].stats;
    EXPECT_EQ(p.n, 1);
    EXPECT_EQ(p.bias, 0);
    EXPECT_TRUE(std::isnan(p.r2) && std::isnan(p.nse) && std::isnan(p.wss) && std::isnan(p.m2ll));

    const std::string csv = FitCsv(fit);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "variable,n,bias,rmse,mae,r2,nse,wss,m2ll");
    EXPECT_NE(csv.find("\r\nNPPt,1,0,0,0,,,,\r\n"), std::string::npos) << csv;
    // Every number reads back to the very double computed.
    const std::string cfRow = csv.substr(csv.find("Cf,"), csv.find("\r\nNPPt") - csv.find("Cf,"));
    std::vector<double> back;
    std::stringstream ss(cfRow.substr(3));
    for (std::string cell; std::getline(ss, cell, ',');) back.push_back(std::stod(cell));
    EXPECT_EQ(back, (std::vector<double>{3, s.bias, s.rmse, s.mae, s.r2, s.nse, s.wss, s.m2ll}));

    const std::string report = FitReport(fit);
    EXPECT_NE(report.find("Cf: 1 observation outside the run not used (the run's times are 0 to 2), at 3"),
              std::string::npos) << report;

    WriteFitCsv(dir.File("fit.csv"), fit);
    EXPECT_EQ(testobs::ReadText(dir.File("fit.csv")), csv);
}

TEST_F(Fit, RunTableReadsBackAndNamesBadRows) {
    const TRunTable t = ReadRunTable(out);
    ASSERT_EQ(t.Columns(), 154u);
    EXPECT_EQ(t.names[0], "Time");
    EXPECT_EQ(t.names[9], "Foliage Carbon");
    EXPECT_EQ(t.units[0], "year");
    ASSERT_EQ(t.Rows(), 3u);
    EXPECT_EQ(t.At(2, 9), 40);
    EXPECT_EQ(t.lines, (std::vector<int>{3, 4, 5}));

    std::string text = testobs::ReadText(out);
    const std::string bad = dir.File("bad.out");
    testobs::WriteText(bad, text + "3 1 2\r\n");
    try {
        ReadRunTable(bad);
        ADD_FAILURE() << "a short row was read";
    } catch (const ETableFileError& e) {
        EXPECT_EQ(std::string(e.what()), bad + ":6:6: 3 values where the header has 154 columns");
    }
    text.replace(text.find("1.000000000000E+001"), 19, "1.000000000000E+0x1");
    testobs::WriteText(bad, text);
    EXPECT_THROW(ReadRunTable(bad), ETableFileError);

    // The fit refuses a file whose columns are not the model's.
    TVariableCatalogue cat(g);
    TRunTable shifted = ReadRunTable(out);
    std::swap(shifted.names[9], shifted.names[10]);
    EXPECT_THROW(FitRun(ParseObservations("time,Cf\n0,1\n", "o.csv", cat), shifted), ETableFileError);
}

// The CRPS by its definition: the integral of (F(x) - [x >= y])^2 over x,
// with F the members' step distribution, summed exactly piece by piece.
double CrpsByIntegral(std::vector<double> x, double y) {
    std::vector<double> knots = x;
    knots.push_back(y);
    std::sort(knots.begin(), knots.end());
    std::sort(x.begin(), x.end());
    double sum = 0;
    for (std::size_t k = 0; k + 1 < knots.size(); ++k) {
        const double mid = (knots[k] + knots[k + 1]) / 2;
        const double F = static_cast<double>(std::upper_bound(x.begin(), x.end(), mid) - x.begin()) /
                         static_cast<double>(x.size());
        const double H = mid >= y ? 1 : 0;
        sum += (F - H) * (F - H) * (knots[k + 1] - knots[k]);
    }
    return sum;
}

TEST(EnsembleFit, CrpsMatchesItsDefinitionAndBandHoldsNinetyPercent) {
    const std::vector<double> members{4, 1, 7, 3, 3.5};
    for (double y : {2.5, 3.5, -1.0, 10.0}) {
        EXPECT_NEAR(Crps(members, y), CrpsByIntegral(members, y), 1e-14) << y;
    }
    const std::vector<double> one{2};
    EXPECT_EQ(Crps(one, 5), 3);  // a single member: the absolute error
    EXPECT_TRUE(std::isnan(Crps({}, 1)));

    std::vector<double> grid;
    for (int i = 100; i >= 0; --i) grid.push_back(i);  // quantiles 5 and 95
    EXPECT_EQ(MemberQuantile(grid, 0.05), 5);
    EXPECT_TRUE(InsideBand(grid, 5) && InsideBand(grid, 95));
    EXPECT_FALSE(InsideBand(grid, 4.9) || InsideBand(grid, 95.1));

    const auto s = EnsembleFitStatistics({grid, grid, members, members}, {50, 200, 3, 3.6});
    EXPECT_EQ(s.n, 4);
    EXPECT_EQ(s.insideShare, 0.75);
    EXPECT_DOUBLE_EQ(s.crps, (Crps(grid, 50) + Crps(grid, 200) + Crps(members, 3) + Crps(members, 3.6)) / 4);
}

}  // namespace
}  // namespace orvane
