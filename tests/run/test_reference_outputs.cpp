// Output files of runs on the shipped sites, pinned to the byte: any change
// to the model, the integrator or the output rows that moves a single digit
// shows up here. Each case keeps the FNV-1a hash (64 bits) of the whole file
// as a reference run wrote it on this platform, so a change of the C
// library's mathematical functions moves them too.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string_view>

#include "io/fileio.h"
#include "run/run.h"
#include "run/run_support.h"

namespace orvane {
namespace {

using namespace testrun;

const std::string ExampleDir = std::string(ORVANE_SOURCE_DIR) + "/examples";

uint64_t Fnv1a64(std::string_view bytes, uint64_t h = 14695981039346656037ull) {
    for (const unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// The bits of the final states and processes, which the file keeps to 13
// digits only.
uint64_t FinalValuesHash(const TGlobals& g) {
    uint64_t h = Fnv1a64({});
    const auto add = [&h](const double& v) {
        h = Fnv1a64(std::string_view(reinterpret_cast<const char*>(&v), sizeof v), h);
    };
    for (int i = 1; i <= g.ModelDef.numstate; ++i) add(g.States[i].value);
    for (int i = 1; i <= g.ModelDef.numprocess; ++i) add(g.Processes[i].value);
    return h;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TReferenceCase {
    const char* name;
    const char* par;
    const char* drr;
    double start, stop, step, outputStep;
    double stateFactor;  // every initial state times this: a run far from steady state
    uint64_t hash;
    std::size_t size;
    uint64_t finalValues;
};

void PrintTo(const TReferenceCase& c, std::ostream* os) { *os << c.name; }

class ReferenceOutput : public ::testing::TestWithParam<TReferenceCase> {};

TEST_P(ReferenceOutput, FileIsByteIdentical) {
    const TReferenceCase& c = GetParam();
    TGlobals g;
    InitialiseGlobals(g);
    double residual = 0;
    ASSERT_TRUE(ReadParamFile(g, ExampleDir + "/" + c.par, g.ModelDef.numparam, g.Params,
                              g.ModelDef.numstate, g.States, residual));
    for (int i = 1; i <= g.ModelDef.numstate; ++i) g.States[i].value *= c.stateFactor;
    TScratchDir dir;
    g.DriverFileName = ExampleDir + "/" + c.drr;
    g.OutputFileName = dir.File("reference.out");
    g.StartTime = c.start;
    g.StopTime = c.stop;
    g.TimeStep = c.step;
    g.OutputStep = c.outputStep;
    const TRunResult r = RunSimulation(g, nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    const std::string bytes = FileBytes(g.OutputFileName);
    EXPECT_EQ(bytes.size(), c.size);
    EXPECT_EQ(Fnv1a64(bytes), c.hash) << std::hex << "0x" << Fnv1a64(bytes);
    EXPECT_EQ(FinalValuesHash(g), c.finalValues) << std::hex << "0x" << FinalValuesHash(g);
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, ReferenceOutput,
    ::testing::Values(
        TReferenceCase{"temperate", "temperate.par", "temperate.drr", 0, 1000, 1, 1, 1,
                       0xc29acd25798bd457, 3245708, 0x2d9d16afbcfb5237},
        TReferenceCase{"boreal", "boreal.par", "boreal.drr", 0, 1000, 1, 1, 1,
                       0xcf63aaf7b342f779, 3245708, 0x8007bb0cbea5a78},
        TReferenceCase{"rising_co2", "temperate.par", "temperate-co2.drr", 0, 400, 1, 1, 1,
                       0x7646b2e3ec6cfa2c, 1304108, 0xbfb1782ac4433c2d},
        TReferenceCase{"rising_co2_from_year_50", "temperate.par", "temperate-co2.drr", 50, 150,
                       1, 5, 1, 0x607039eb79670458, 74428, 0x6ac000a4f425b989},
        TReferenceCase{"transient", "temperate.par", "temperate.drr", 0, 1000, 1, 1, 0.8,
                       0xff332c2a3612a781, 3245708, 0xd5c0adb6b5cabb5e},
        TReferenceCase{"half_year_steps", "temperate.par", "temperate-co2.drr", 0, 200, 0.5, 1,
                       0.8, 0x520750cf7a0e4274, 656908, 0x17cccf65b8659a4d}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvane
