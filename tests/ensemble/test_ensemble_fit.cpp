// Observations against an ensemble's results folder: the share inside the
// members' 5-95 % band and the mean CRPS, from values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "ensemble/ensemble_run.h"
#include "ensemble/results_read.h"
#include "ensemble_support.h"
#include "io/numfmt.h"
#include "model/catalogue.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

// NPPt = x + 10 t and Cw = 2 x (1 + t) over output times 0, 1, 2; a member
// with x above 50 fails.
class TLines final : public IMemberModel {
public:
    TMemberOutcome Run(std::span<const double> x, std::span<double> out) override {
        if (x[0] > 50) return {TFailKind::Math, "too large"};
        for (int t = 0; t < 3; ++t) {
            out[static_cast<std::size_t>(t)] = x[0] + 10 * t;
            out[static_cast<std::size_t>(3 + t)] = 2 * x[0] * (1 + t);
        }
        return {};
    }
};

TObservations Observe(const std::string& text) {
    TGlobals g;
    InitialiseGlobals(g);
    return ParseObservations(text, "obs.csv", TVariableCatalogue(g));
}

TEST(EnsembleFit, ResultsFolderAgainstValuesByHand) {
    TScratch dir;
    dir.Write("sets.csv", "Q10d\n3\n1\n100\n5\n2\n4\n");
    const TExperiment e = ReadExperiment(dir.Write("e.toml", SiteAndRun(2) +
        "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\n"
        "[design]\nmethod = \"csv\"\nfile = \"sets.csv\"\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n"));
    TEnsembleOptions o;
    o.outDir = dir.File("out");
    o.factory = [] { return std::make_unique<TLines>(); };
    ASSERT_EQ(RunEnsemble(e, o).counts.Failed(), 1u);

    // Cw right at the band's ends as summary.csv gives them, and just past one.
    double q05at0 = 0, q95at1 = 0, q95at2 = 0;
    for (const TSummaryRow& r : ReadSummaryFile(dir.File("out/summary.csv"))) {
        if (r.variable != "Cw") continue;
        if (r.time == 0) q05at0 = r.q05;
        if (r.time == 1) q95at1 = r.q95;
        if (r.time == 2) q95at2 = r.q95;
    }
    ASSERT_DOUBLE_EQ(q95at1, 19.2);  // 4, 8, 12, 16, 20: the failed member's 400 left out
    const TEnsembleFit fit = FitResultsFolder(
        Observe("time,NPPt,Cw,Cf\n0,," + FormatShortest(q05at0) + ",\n0.5,8,,1\n1,," + FormatShortest(q95at1) +
                ",\n2,30," + FormatShortest(std::nextafter(q95at2, 1e9)) + ",\n5,1,,\n"),
        dir.File("out"));
    EXPECT_EQ(fit.members, 6u);
    EXPECT_EQ(fit.failed, 1u);
    EXPECT_EQ(fit.missing, std::vector<std::string>{"Cf (Foliage Carbon)"});
    ASSERT_EQ(fit.variables.size(), 2u);

    // NPPt at 0.5 is 6..10 (inside, CRPS 1.2 - 0.8), at 2 it is 21..25 (outside,
    // CRPS 7 - 0.8); 5 lies past the ensemble's times.
    const TVariableEnsembleFit& npp = fit.variables[0];
    EXPECT_EQ(npp.symbol, "NPPt");
    EXPECT_EQ(npp.stats.n, 2);
    EXPECT_EQ(npp.members, 5u);
    EXPECT_EQ(npp.stats.insideShare, 0.5);
    EXPECT_NEAR(npp.stats.crps, 3.3, 1e-14);
    EXPECT_EQ(npp.outside, std::vector<double>{5});

    // The band is summary.csv's, ends included.
    const TVariableEnsembleFit& cw = fit.variables[1];
    EXPECT_EQ(cw.stats.n, 3);
    EXPECT_EQ(cw.stats.insideShare, 2.0 / 3);

    const std::string report = EnsembleFitReport(fit);
    for (const char* text : {"6 members, 1 failed and left out",
                             "NPPt: 1 observation outside the ensemble not used (the ensemble's times are 0 to 2), at 5",
                             "Cf (Foliage Carbon): observed, but not an output of the ensemble; skipped"}) {
        EXPECT_NE(report.find(text), std::string::npos) << report;
    }
    const std::string csv = EnsembleFitCsv(fit);
    EXPECT_EQ(csv.rfind("variable,n,members,inside90,crps\r\nNPPt,2,5,0.5,3.3\r\nCw,3,5,0.6666666666666666,", 0), 0u)
        << csv;
}

}  // namespace
}  // namespace orvane::ensemble
