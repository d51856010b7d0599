// The example sites that ship with the program load, and a century on each
// stays plausible: nothing collapses, nothing blows up.
#include <gtest/gtest.h>

#include "io/fileio.h"
#include "run/run.h"
#include "run/run_support.h"

namespace orvane {
namespace {

using namespace testrun;

const std::string ExampleDir = std::string(ORVANE_SOURCE_DIR) + "/examples";

struct TExample {
    const char* par;
    const char* drr;
    double drift;  // how far a state may move in the century, as a factor
};

void PrintTo(const TExample& e, std::ostream* os) { *os << e.par << " + " << e.drr; }

class ExampleSite : public ::testing::TestWithParam<TExample> {};

TEST_P(ExampleSite, RunsACenturyAndStaysPlausible) {
    TGlobals g;
    InitialiseGlobals(g);
    double residual = 0;
    ASSERT_TRUE(ReadParamFile(g, ExampleDir + "/" + GetParam().par, g.ModelDef.numparam, g.Params,
                              g.ModelDef.numstate, g.States, residual));
    const statearray initial = g.States;
    TScratchDir dir;
    g.DriverFileName = ExampleDir + "/" + GetParam().drr;
    g.OutputFileName = dir.File("example.out");
    g.StopTime = 100;
    const TRunResult r = RunSimulation(g, nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(g.CurrentTime, 100);
    EXPECT_EQ(r.rowsWritten, 101);
    for (int i = 1; i <= g.ModelDef.numstate; ++i) {
        const double start = initial[i].value;
        const double end = g.States[i].value;
        EXPECT_GT(end, start / GetParam().drift) << g.States[i].symbol;
        EXPECT_LT(end, start * GetParam().drift) << g.States[i].symbol;
    }
    // Net ecosystem production stays a modest share of photosynthesis.
    EXPECT_GT(g.Processes[pr::Ps].value, 100);
    EXPECT_LT(std::fabs(g.Processes[pr::NEP].value), 0.2 * g.Processes[pr::Ps].value);
}

INSTANTIATE_TEST_SUITE_P(Shipped, ExampleSite,
                         ::testing::Values(TExample{"temperate.par", "temperate.drr", 1.1},
                                           // labile carbon piles up under rising CO2
                                           TExample{"temperate.par", "temperate-co2.drr", 4},
                                           TExample{"boreal.par", "boreal.drr", 1.1}));

}  // namespace
}  // namespace orvane
