// The run without files: a driver table and a memory sink give exactly the
// numbers of the run that reads the driver file and writes the output file.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <vector>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "run/run.h"
#include "run/run_support.h"
#include "run/runloop.h"

namespace orvane {
namespace {

using namespace testrun;

const std::string ExampleDir = std::string(ORVANE_SOURCE_DIR) + "/examples";

void LoadExample(TGlobals& g, double stop, double step, double outputStep) {
    InitialiseGlobals(g);
    double residual = 0;
    ASSERT_TRUE(ReadParamFile(g, ExampleDir + "/temperate.par", g.ModelDef.numparam, g.Params,
                              g.ModelDef.numstate, g.States, residual));
    g.DriverFileName = ExampleDir + "/temperate-co2.drr";
    g.StopTime = stop;
    g.TimeStep = step;
    g.OutputStep = outputStep;
}

// Every variable of an output row, in the file's column order.
std::vector<TRowVariable> AllColumns(const TGlobals& g) {
    std::vector<TRowVariable> v;
    for (int i = 1; i <= g.ModelDef.numdrive; ++i) v.push_back({TRowPart::Driver, i});
    for (int i = 1; i <= g.ModelDef.numstate; ++i) v.push_back({TRowPart::State, i});
    for (int i = 1; i <= g.ModelDef.numprocess; ++i) v.push_back({TRowPart::Process, i});
    return v;
}

TEST(RunLoop, MemorySinkHoldsWhatTheFileHolds) {
    TScratchDir dir;
    TGlobals file;
    LoadExample(file, 60, 0.5, 2);
    file.OutputFileName = dir.File("co2.out");
    const TRunResult r = RunSimulation(file, nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(r.rowsWritten, 31);

    TGlobals mem;
    LoadExample(mem, 60, 0.5, 2);
    const TDriverTable table = TDriverTable::Read(mem.DriverFileName, mem.ModelDef.numdrive);
    TDriverCursor cursor(table, mem.NextDrivers);
    cursor.Restart();
    TTableDriverSource drivers(cursor);
    const std::vector<TRowVariable> vars = AllColumns(mem);
    const std::vector<char> keep(31, 1);
    std::vector<double> out(vars.size() * 31, -1);
    TMemorySink sink(vars.data(), static_cast<int>(vars.size()), keep.data(), 31, out.data(), 31);
    RunSteps(mem, drivers, sink, nullptr);
    EXPECT_EQ(sink.RowsSeen(), 31);

    // The same states in memory at the end, bit for bit...
    EXPECT_EQ(mem.CurrentTime, file.CurrentTime);
    for (int i = 1; i <= mem.ModelDef.numstate; ++i) {
        EXPECT_EQ(std::bit_cast<uint64_t>(mem.States[i].value),
                  std::bit_cast<uint64_t>(file.States[i].value));
    }
    // ... and every field of every row formats to the file's text.
    std::ifstream in(file.OutputFileName, std::ios::binary);
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    for (int row = 0; row < 31; ++row) {
        ASSERT_TRUE(std::getline(in, line));
        std::istringstream fields(line);
        std::string time;
        fields >> time;
        EXPECT_EQ(time, FormatGeneral(row * 2.0));
        for (std::size_t v = 0; v < vars.size(); ++v) {
            std::string text;
            fields >> text;
            ASSERT_EQ(text, FormatSci13(out[v * 31 + static_cast<std::size_t>(row)]))
                << "row " << row << " column " << v + 2;
        }
    }
}

TEST(RunLoop, MemorySinkKeepsOnlyChosenRows) {
    TGlobals g;
    LoadExample(g, 10, 1, 1);
    const TDriverTable table = TDriverTable::Read(g.DriverFileName, g.ModelDef.numdrive);
    TDriverCursor cursor(table, g.NextDrivers);
    cursor.Restart();
    TTableDriverSource drivers(cursor);
    const TRowVariable vars[] = {{TRowPart::Driver, 1}, {TRowPart::State, 2}};
    // Rows 0, 5 and 10 of eleven; the keep list is shorter than the run.
    std::vector<char> keep(10, 0);
    keep[0] = keep[5] = 1;
    double out[4] = {-1, -1, -1, -1};
    TMemorySink sink(vars, 2, keep.data(), 10, out, 2);
    RunSteps(g, drivers, sink, nullptr);
    EXPECT_EQ(sink.RowsSeen(), 11);
    EXPECT_EQ(sink.RowsKept(), 2);
    EXPECT_EQ(out[0], table.Rows()[0].v[1]);  // CO2 at the start
    EXPECT_GT(out[1], out[0]);                // CO2 at year 5 has risen
    EXPECT_GT(out[2], 0);                     // wood carbon at the start and year 5
    EXPECT_GT(out[3], 0);
}

}  // namespace
}  // namespace orvane
