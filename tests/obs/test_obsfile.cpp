// Observation files in both layouts, and every mistake named by place.
#include <gtest/gtest.h>

#include "model/catalogue.h"
#include "obs/obsfile.h"

namespace orvane {
namespace {

class ObsFile : public ::testing::Test {
protected:
    TObservations Parse(const std::string& text) { return ParseObservations(text, "obs.csv", *cat); }
    std::string Error(const std::string& text) {
        try {
            Parse(text);
        } catch (const ETableFileError& e) {
            return e.what();
        }
        return "no error";
    }
    TGlobals g;
    std::unique_ptr<TVariableCatalogue> cat = [this] {
        InitialiseGlobals(g);
        return std::make_unique<TVariableCatalogue>(g);
    }();
};

TEST_F(ObsFile, WideLayoutBySymbolAndNameWithSdAndMissingCells) {
    const auto o = Parse(
        "# made-up values\n"
        "time, Cf ,Cf_sd,Wood Carbon\r\n"
        "\n"
        "10,400,20,NA\r\n"
        "  # a comment between rows\n"
        "0,380,,11000\n");
    ASSERT_EQ(o.variables.size(), 2u);
    const auto& cf = o.variables[0];
    EXPECT_EQ(cf.var.symbol, "Cf");
    EXPECT_EQ(cf.var.column, 9);  // after the time and the 8 drivers
    ASSERT_EQ(cf.points.size(), 2u);
    EXPECT_EQ(cf.points[0].time, 0);  // sorted by time
    EXPECT_EQ(cf.points[0].line, 6);
    EXPECT_TRUE(std::isnan(cf.points[0].sd));
    EXPECT_EQ(cf.points[1].value, 400);
    EXPECT_EQ(cf.points[1].sd, 20);
    EXPECT_FALSE(cf.HasSd());
    EXPECT_EQ(o.variables[1].var.symbol, "Cw");
    ASSERT_EQ(o.variables[1].points.size(), 1u);
    EXPECT_EQ(o.variables[1].points[0].value, 11000);
}

TEST_F(ObsFile, LongLayoutSemicolonAndTab) {
    for (const char* sep : {";", "\t"}) {
        std::string text = "variable;time;value;sd\nNPPt;1;850.5;40\nnppt;0;860;\"40\"\nPhotosynthesis;1;1500;100\n";
        for (auto& c : text) if (c == ';') c = *sep;
        const auto o = Parse(text);
        ASSERT_EQ(o.variables.size(), 2u) << sep;
        EXPECT_EQ(o.variables[0].var.symbol, "NPPt");  // case-insensitive match
        ASSERT_EQ(o.variables[0].points.size(), 2u);
        EXPECT_EQ(o.variables[0].points[1].value, 850.5);
        EXPECT_TRUE(o.variables[0].HasSd());
        EXPECT_EQ(o.variables[1].var.symbol, "Ps");
    }
}

TEST_F(ObsFile, EveryMistakeNamesFileLineAndColumn) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"time,Cff\n0,1\n", "obs.csv:1:6: unknown variable 'Cff' (closest: 'Cf'"},
        {"time,Cf\n0,1\n1,abc\n", "obs.csv:3:3: the value 'abc' is not a number"},
        {"time,Cf\nx,1\n", "obs.csv:2:1: the time 'x' is not a number"},
        {"time,Cf\n,1\n", "obs.csv:2:1: the time '' is not a number"},
        {"time,Cf\n0,1\n0.0,2\n", "obs.csv:3:1: time 0.0 is given twice for 'Cf' (first on line 2)"},
        {"variable,time,value\nCf,5,1\nCf,5,2\n", "obs.csv:3:4: time 5 is given twice for 'Cf'"},
        {"variable,time,value,sd\nCf,5,1,0\n", "obs.csv:2:8: the standard deviation '0' is not greater than 0"},
        {"time,Cf,Cf_sd\n0,1,-2\n", "obs.csv:2:5: the standard deviation '-2' is not greater than 0"},
        {"variable,time,value\nBogus,1,1\n", "obs.csv:2:1: unknown variable 'Bogus'"},
        {"time,Sp\n0,1\n", "obs.csv:1:6: 'Sp' names more than one variable: driver 'Plant Act Seas Leng', process"},
        {"time,Cf\n0,1,2\n", "obs.csv:2:5: more cells than the header has columns (2)"},
        {"Cf,Cw\n0,1\n", "obs.csv:1:1: the header has no 'time' column"},
        {"time,Cf_sd\n0,1\n", "obs.csv:1:6: a standard deviation column without a column for 'Cf'"},
        {"time,Cf,Foliage Carbon\n", "obs.csv:1:9: a second column for 'Cf' (first in column 6)"},
        {"time,\"Cf\n", "obs.csv:1:6: a quoted cell is not closed"},
        {"variable,time,value,units\n", "obs.csv:1:21: unknown column 'units'"},
        {"time,Cf\n0,inf\n", "obs.csv:2:3: the value 'inf' is not a number"},
        {"# only a comment\n", "obs.csv:1:1: the file has no header row"},
    };
    for (const auto& c : cases) {
        const std::string got = Error(c.text);
        EXPECT_EQ(got.rfind(c.message, 0), 0u) << c.text << "\n got: " << got;
    }
}

}  // namespace
}  // namespace orvane
