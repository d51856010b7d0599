// The figures the README quotes from the shipped ensemble example, checked
// against a run of it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ensemble/ensemble_run.h"
#include "ensemble/summary.h"
#include "io/numfmt.h"
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
}

}  // namespace
}  // namespace orvane::ensemble
