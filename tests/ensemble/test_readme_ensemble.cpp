// The figures the README quotes from the shipped ensemble example, checked
// against a run of it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ensemble/ensemble_run.h"
#include "ensemble/results_read.h"
#include "ensemble/summary.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "ensemble_support.h"
#include "readme_figures.h"

namespace orvane::ensemble {
namespace {

using namespace testing;
using namespace readme;

TEST(Readme, EnsembleExample) {
    TScratch dir;
    const TExperiment e = ReadExperiment(ExampleDir + "/temperate-co2-uncertainty.toml");
    TEnsembleOptions o;
    o.outDir = dir.File("results");
    const TEnsembleOutcome r = RunEnsemble(e, o);

    const TTable members = ReadmeTable("ensemble-members");
    ASSERT_EQ(members.size(), 2u);
    EXPECT_TRUE(Quotes(members[1][0], static_cast<double>(r.counts.members)));
    EXPECT_TRUE(Quotes(members[1][1], static_cast<double>(r.counts.ok)));
    // Failures by the end of their message.
    std::ifstream csv(dir.File("results/members.csv"));
    std::string line;
    for (std::size_t c = 2; c < members[0].size(); ++c) {
        csv.clear();
        csv.seekg(0);
        int n = 0;
        while (std::getline(csv, line)) n += line.find(members[0][c]) != std::string::npos;
        EXPECT_TRUE(Quotes(members[1][c], n)) << members[0][c];
    }

    // Quantiles over the members that succeeded, from the trajectories.
    const TTable table = ReadmeTable("ensemble");
    ASSERT_GE(table.size(), 2u);
    for (std::size_t row = 1; row < table.size(); ++row) {
        const std::string symbol = table[row][0].substr(0, table[row][0].find(' '));
        const double year = std::stod(table[row][1]);
        std::ifstream summary(dir.File("results/summary.csv"));
        bool found = false;
        while (std::getline(summary, line)) {
            if (line.rfind(symbol + "," + FormatShortest(year) + ",", 0) != 0) continue;
            found = true;
            // variable,time,n,mean,sd,min,q05,q25,q50,q75,q95,max
            std::vector<std::string> cells;
            std::stringstream split(line);
            for (std::string cell; std::getline(split, cell, ',');) cells.push_back(cell);
            ASSERT_EQ(cells.size(), 12u);
            EXPECT_TRUE(Quotes(table[row][2], std::stod(cells[6]))) << symbol << " " << year;
            EXPECT_TRUE(Quotes(table[row][3], std::stod(cells[8]))) << symbol << " " << year;
            EXPECT_TRUE(Quotes(table[row][4], std::stod(cells[10]))) << symbol << " " << year;
        }
        EXPECT_TRUE(found) << symbol << " at " << year;
    }

    // The fit to the shipped observations.
    TGlobals g;
    InitialiseGlobals(g);
    const TEnsembleFit fit = FitResultsFolder(
        ReadObservationFile(ExampleDir + "/temperate-observations.csv", TVariableCatalogue(g)), dir.File("results"));
    const TTable quoted = ReadmeTable("ensemble-fit");
    ASSERT_EQ(quoted.size(), fit.variables.size() + 1);
    for (std::size_t row = 1; row < quoted.size(); ++row) {
        const TVariableEnsembleFit& v = fit.variables[row - 1];
        EXPECT_EQ(quoted[row][0], v.symbol);
        EXPECT_TRUE(Quotes(quoted[row][1], v.stats.n)) << v.symbol;
        EXPECT_TRUE(Quotes(quoted[row][2], static_cast<double>(v.members))) << v.symbol;
        EXPECT_TRUE(Quotes(quoted[row][3], v.stats.insideShare)) << v.symbol;
        EXPECT_TRUE(Quotes(quoted[row][4], v.stats.crps)) << v.symbol;
    }
    EXPECT_EQ(fit.missing, (std::vector<std::string>{"Cf (Foliage Carbon)", "Rst (Total Soil Resp.)"}));
}

}  // namespace
}  // namespace orvane::ensemble
