// The temperate example site that ships with the program: it loads, and a
// century on it stays plausible. The files are generated from the test site
// by the disabled test below:
//   test_run --gtest_also_run_disabled_tests --gtest_filter='*WriteTemperateExample'
#include <gtest/gtest.h>

#include "io/fileio.h"
#include "run/run.h"
#include "run/run_support.h"

namespace orvane {
namespace {

using namespace testrun;

const std::string ExampleDir = std::string(ORVANE_SOURCE_DIR) + "/examples";

TEST(ExampleSite, DISABLED_WriteTemperateExample) {
    TGlobals g;
    LoadTestSite(g);
    WriteParamFile(g, ExampleDir + "/temperate.par", g.ModelDef.numparam, g.Params,
                   g.ModelDef.numstate, g.States, 0);
    WriteDrivers(g, ExampleDir + "/temperate.drr", {{0.0, SiteDrivers(g)}});
}

TEST(ExampleSite, TemperateRunsACenturyAndStaysPlausible) {
    TGlobals g;
    InitialiseGlobals(g);
    double residual = 0;
    ASSERT_TRUE(ReadParamFile(g, ExampleDir + "/temperate.par", g.ModelDef.numparam, g.Params,
                              g.ModelDef.numstate, g.States, residual));
    const statearray initial = g.States;
    TScratchDir dir;
    g.DriverFileName = ExampleDir + "/temperate.drr";
    g.OutputFileName = dir.File("temperate.out");
    g.StopTime = 100;
    const TRunResult r = RunSimulation(g, nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(g.CurrentTime, 100);
    EXPECT_EQ(r.rowsWritten, 101);
    for (int i = 1; i <= g.ModelDef.numstate; ++i) {
        const double start = initial[i].value;
        const double end = g.States[i].value;
        EXPECT_GT(end, 0.5 * start) << g.States[i].symbol;
        EXPECT_LT(end, 2.0 * start) << g.States[i].symbol;
    }
    // Net ecosystem production stays a modest share of photosynthesis.
    EXPECT_GT(g.Processes[pr::Ps].value, 500);
    EXPECT_LT(std::fabs(g.Processes[pr::NEP].value), 0.2 * g.Processes[pr::Ps].value);
}

}  // namespace
}  // namespace orvane
