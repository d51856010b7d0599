// An output file that is one of the run's inputs, by any name, is refused
// before the run touches any file.
#include <gtest/gtest.h>

#include <fstream>

#include "model/errors.h"
#include "run/filecheck.h"
#include "run/run.h"
#include "run/run_support.h"

namespace orvane {
namespace {

using namespace testrun;
namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class OutputIsInput : public ::testing::Test {
protected:
    void SetUp() override {
        LoadTestSite(g);
        g.ParamFileName = dir.File("site.par");
        g.DriverFileName = dir.File("site.drr");
        WriteParamFile(g, g.ParamFileName, g.ModelDef.numparam, g.Params, g.ModelDef.numstate,
                       g.States, 0);
        WriteDrivers(g, g.DriverFileName, {{0.0, SiteDrivers(g)}});
    }
    TScratchDir dir;
    TGlobals g;
};

TEST_F(OutputIsInput, EveryNameOfAnInputIsTheSameFile) {
    const std::string par = g.ParamFileName;
    fs::create_symlink(par, dir.File("soft.out"));
    fs::create_hard_link(par, dir.File("hard.out"));
    fs::create_directory(dir.File("sub"));
    EXPECT_TRUE(SameFile(par, par));
    EXPECT_TRUE(SameFile(par, dir.File("sub/../site.par")));
    EXPECT_TRUE(SameFile(par, dir.File("soft.out")));
    EXPECT_TRUE(SameFile(par, dir.File("hard.out")));
    EXPECT_FALSE(SameFile(par, g.DriverFileName));
    EXPECT_FALSE(SameFile(par, dir.File("new.out")));  // not there yet
    EXPECT_TRUE(SameFile(dir.File("new.out"), dir.File("sub/../new.out")));
    EXPECT_FALSE(SameFile("", ""));

    EXPECT_EQ(OutputFileClash(dir.File("site.out"), par, g.DriverFileName), "");
    EXPECT_EQ(OutputFileClash(g.DriverFileName, par, g.DriverFileName),
              "The output file \"" + g.DriverFileName +
                  "\" is the driver file: a run would overwrite it with model output. Choose "
                  "another output file.");
    EXPECT_EQ(OutputFileClash(dir.File("hard.out"), par, g.DriverFileName),
              "The output file \"" + dir.File("hard.out") + "\" is the parameter file \"" + par +
                  "\": a run would overwrite it with model output. Choose another output file.");
}

TEST_F(OutputIsInput, RunRefusesBeforeWritingAnything) {
    for (const std::string& input : {g.ParamFileName, g.DriverFileName}) {
        const std::string link = dir.File("link-" + fs::path(input).filename().string());
        fs::create_symlink(input, link);
        const std::string before = Slurp(input);
        g.OutputFileName = link;
        const TRunResult r = RunSimulation(g, nullptr);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.cancelled);
        EXPECT_EQ(r.rowsWritten, 0);
        EXPECT_NE(r.message.find("Choose another output file."), std::string::npos) << r.message;
        EXPECT_EQ(Slurp(input), before) << input;
    }
}

}  // namespace
}  // namespace orvane
