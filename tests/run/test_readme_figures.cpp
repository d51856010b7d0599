// Every figure the README quotes from a run of the shipped files is checked
// here against such a run, to the last digit the README writes: the tables
// under "<!-- figures: NAME -->" are read from README.md itself, so the text
// and the program cannot drift apart.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "io/fileio.h"
#include "run/run.h"
#include "readme_figures.h"
#include "run/run_support.h"

namespace orvane {
namespace {

using namespace testrun;
using namespace readme;

const std::string Source = ORVANE_SOURCE_DIR;

// The output rows of a run of the shipped files from 0 to `stop`.
std::vector<TOutputRow> RunShipped(TGlobals& g, const std::string& par, const std::string& drr,
                                   double stop, const TScratchDir& dir) {
    InitialiseGlobals(g);
    double residual = 0;
    EXPECT_TRUE(ReadParamFile(g, Source + "/examples/" + par, g.ModelDef.numparam, g.Params,
                              g.ModelDef.numstate, g.States, residual));
    g.ParamFileName = Source + "/examples/" + par;
    g.DriverFileName = Source + "/examples/" + drr;
    g.OutputFileName = dir.File(drr + ".out");
    g.StopTime = stop;
    const TRunResult r = RunSimulation(g, nullptr);
    EXPECT_TRUE(r.ok) << r.message;
    return ReadOutput(g, g.OutputFileName);
}

// A value of a row by its output-file name ("CO2", "Labile Wood C", ...).
double ValueOf(const TGlobals& g, const TOutputRow& row, const std::string& name) {
    for (int i = 1; i <= g.ModelDef.numdrive; ++i)
        if (g.Drivers[i].name == name) return row.drivers[i].value;
    for (int i = 1; i <= g.ModelDef.numstate; ++i)
        if (g.States[i].name == name) return row.states[i].value;
    for (int i = 1; i <= g.ModelDef.numprocess; ++i)
        if (g.Processes[i].name == name) return row.processes[i].value;
    ADD_FAILURE() << "no output column " << name;
    return std::nan("");
}

// "Labile Wood C (gC m-2)" names the column "Labile Wood C".
std::string ColumnOf(const std::string& label) { return label.substr(0, label.find(" (")); }

TEST(Readme, DriftOfTheExampleSites) {
    const TTable table = ReadmeTable("drift");
    ASSERT_EQ(table.size(), 3u) << "a heading and one row per site";
    for (std::size_t r = 1; r < table.size(); ++r) {
        const std::vector<std::string>& row = table[r];
        ASSERT_EQ(row.size(), 5u);
        SCOPED_TRACE(row[0]);
        TScratchDir dir;
        TGlobals g;
        const auto rows = RunShipped(g, row[0] + ".par", row[0] + ".drr", 100, dir);
        ASSERT_EQ(rows.size(), 101u);
        double largest = 0, atEnd = 0, year = 0;
        std::string state;
        for (int i = 1; i <= g.ModelDef.numstate; ++i) {
            const double start = rows.front().states[i].value;
            for (const TOutputRow& o : rows) {
                const double change = std::fabs(o.states[i].value - start) / std::fabs(start);
                if (change > largest) {
                    largest = change;
                    year = o.time;
                    state = std::string(g.States[i].name);
                }
            }
            atEnd = std::max(atEnd, std::fabs(rows.back().states[i].value - start) / std::fabs(start));
        }
        EXPECT_TRUE(Quotes(row[1], largest));
        EXPECT_EQ(row[2], state);
        EXPECT_TRUE(Quotes(row[3], year));
        EXPECT_TRUE(Quotes(row[4], atEnd));
        // What the README says of it: integration error, within the tolerance.
        EXPECT_LT(largest, g.Tolerance);
    }
}

TEST(Readme, RisingCO2Scenario) {
    TScratchDir dir;
    TGlobals g;
    const auto rows = RunShipped(g, "temperate.par", "temperate-co2.drr", 200, dir);
    ASSERT_EQ(rows.size(), 201u);

    // The driver file's own rows.
    const TTable drivers = ReadmeTable("co2-drivers");
    ASSERT_EQ(drivers.size(), 2u);
    std::vector<std::pair<double, double>> fileRows;  // |time|, CO2
    OpenDriverFile(g, g.DriverFileName, g.ModelDef.numdrive, g.Drivers, false);
    double t = 0;
    while (ReadDriverRow(g, t, g.ModelDef.numdrive, g.Drivers)) fileRows.emplace_back(std::fabs(t), g.Drivers[1].value);
    CloseDriverFile(g);
    ASSERT_EQ(ColumnOf(drivers[1][0]), std::string(g.Drivers[1].name));
    ASSERT_EQ(drivers[0].size(), fileRows.size() + 1) << "every row of the driver file";
    for (std::size_t c = 1; c < drivers[0].size(); ++c) {
        EXPECT_TRUE(Quotes(drivers[0][c], fileRows[c - 1].first));
        EXPECT_TRUE(Quotes(drivers[1][c], fileRows[c - 1].second));
    }

    // The output rows of the run.
    const TTable table = ReadmeTable("co2");
    ASSERT_GE(table.size(), 2u);
    for (std::size_t r = 1; r < table.size(); ++r) {
        const std::string column = ColumnOf(table[r][0]);
        ASSERT_EQ(table[r].size(), table[0].size()) << column;
        for (std::size_t c = 1; c < table[0].size(); ++c) {
            const std::size_t year = std::stoul(table[0][c]);
            ASSERT_LT(year, rows.size());
            ASSERT_EQ(rows[year].time, static_cast<double>(year));
            EXPECT_TRUE(Quotes(table[r][c], ValueOf(g, rows[year], column)))
                << column << " at year " << year;
        }
    }
}

}  // namespace
}  // namespace orvane
