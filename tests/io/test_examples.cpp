// The example sites that ship with the program must read cleanly, and a
// parameter file saved again unchanged must come out byte for byte the same.
#include <cmath>

#include "io/fileio.h"
#include "io_test_util.h"

using namespace orvane;
using namespace orvane::testing;

namespace {
using ShippedExamples = TFileTest;

// The files that ship, named one by one: a file a user saves in examples/
// (where the workbench starts) is none of the tests' business.
std::vector<std::filesystem::path> ExampleFiles(const char* ext) {
    static const char* const shipped[] = {"temperate.par", "boreal.par", "temperate.drr",
                                          "temperate-co2.drr", "boreal.drr"};
    std::vector<std::filesystem::path> files;
    const auto examples = std::filesystem::path(ORVANE_SOURCE_DIR) / "examples";
    for (const char* name : shipped)
        if (std::filesystem::path(name).extension() == ext) files.push_back(examples / name);
    return files;
}
}  // namespace

TEST_F(ShippedExamples, AreAllThere) {
    for (const char* ext : {".par", ".drr"})
        for (const auto& path : ExampleFiles(ext)) EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
}

TEST_F(ShippedExamples, ParameterFilesReadAndRewriteIdentically) {
    for (const auto& path : ExampleFiles(".par")) {
        double residual = 0;
        ASSERT_TRUE(ReadParamFile(g, path.string(), g.ModelDef.numparam, g.Params,
                                  g.ModelDef.numstate, g.States, residual))
            << path;
        const std::string copy = PathOf("copy.par");
        WriteParamFile(g, copy, g.ModelDef.numparam, g.Params, g.ModelDef.numstate, g.States, 0);
        EXPECT_EQ(ReadAll(copy), ReadAll(path)) << path;
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ShippedExamples, DriverFilesHaveRowsInIncreasingTime) {
    for (const auto& path : ExampleFiles(".drr")) {
        OpenDriverFile(g, path.string(), g.ModelDef.numdrive, g.Drivers, false);
        double time = 0, last = -1;
        int rows = 0;
        while (ReadDriverRow(g, time, g.ModelDef.numdrive, g.Drivers)) {
            EXPECT_GT(std::fabs(time), last) << path << " row " << rows;
            last = std::fabs(time);
            ++rows;
        }
        CloseDriverFile(g);
        EXPECT_GT(rows, 0) << path;
    }
    EXPECT_TRUE(sink.messages.empty());
}
