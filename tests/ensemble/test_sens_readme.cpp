// The figures the README quotes from the shipped Sobol' example, checked
// against a run of it. The run takes minutes, so the test is left out of
// the suite; run it with
//     build/bin/test_sensitivity --gtest_also_run_disabled_tests --gtest_filter='*SobolExample*'
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "ensemble/ensemble_run.h"
#include "ensemble_support.h"
#include "readme_figures.h"

namespace orvane::ensemble {
namespace {

using namespace testing;
using namespace readme;

TEST(Readme, DISABLED_SobolExample) {
    TScratch dir;
    const TExperiment e = ReadExperiment(ExampleDir + "/temperate-co2-sobol.toml");
    TEnsembleOptions o;
    o.outDir = dir.File("results");
    const TEnsembleOutcome r = RunEnsemble(e, o);
    EXPECT_EQ(r.counts.members, 12288u);
    EXPECT_EQ(r.counts.Failed(), 106u);
    EXPECT_NE(r.report.find("Cw: 979 base points used, 45 dropped"), std::string::npos);

    // "Cw,200,<factor>,<index>" -> value, lower, upper
    std::map<std::string, std::vector<double>> at200;
    std::ifstream csv(dir.File("results/indices.csv"));
    for (std::string line; std::getline(csv, line);) {
        if (line.rfind("sobol,Cw,200,", 0) != 0) continue;
        std::vector<std::string> cells;
        std::stringstream split(line);
        for (std::string cell; std::getline(split, cell, ',');) cells.push_back(cell);
        at200[cells[3] + "," + cells[4]] = {std::stod(cells[5]), std::stod(cells[6]), std::stod(cells[7])};
    }
    const TTable table = ReadmeTable("sensitivity-cw");
    ASSERT_GE(table.size(), 2u);
    for (std::size_t row = 1; row < table.size(); ++row) {
        const std::string& f = table[row][0];
        ASSERT_TRUE(at200.count(f + ",ST")) << f;
        for (int c = 0; c < 3; ++c) EXPECT_TRUE(Quotes(table[row][1 + c], at200[f + ",ST"][c])) << f;
        EXPECT_TRUE(Quotes(table[row][4], at200[f + ",S1"][0])) << f;
    }
}

}  // namespace
}  // namespace orvane::ensemble
