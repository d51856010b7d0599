#include <gtest/gtest.h>

#include <set>
#include <string>

#include "model/catalogue.h"

namespace orvane {
namespace {

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override { InitialiseGlobals(g); }
    TGlobals g;
};

TEST_F(Catalogue, CountsAndIdentity) {
    EXPECT_EQ(g.ModelDef.modelname, "Veskor Orvane");
    EXPECT_EQ(g.ModelDef.versionnumber, "3.3.6.5b");
    EXPECT_EQ(g.ModelDef.timeunit, "year");
    EXPECT_EQ(g.ModelDef.numdrive, 8);
    EXPECT_EQ(g.ModelDef.numstate, 19);
    EXPECT_EQ(g.ModelDef.numprocess, 126);
    EXPECT_EQ(g.ModelDef.numparam, 88);
    int sum = 0;
    for (int p = 1; p <= g.ModelDef.numprocess; ++p) sum += g.Processes[p].numparams;
    EXPECT_EQ(sum, 88);
    for (int p = 1; p <= g.ModelDef.numstate; ++p) EXPECT_EQ(g.Processes[p].numparams, 0);
}

TEST_F(Catalogue, ParamOffsetFollowsOwnership) {
    for (int p = 1; p <= 20; ++p) EXPECT_EQ(ParamOffset(p), 0) << p;
    EXPECT_EQ(ParamOffset(28), 11);
    EXPECT_EQ(ParamOffset(116), 84);
    EXPECT_EQ(g.Params[ParamOffset(pr::Ps) + 1].symbol, "Deltad");
    EXPECT_EQ(g.Params[ParamOffset(pr::Unh4) + 1].symbol, "qu0");
    EXPECT_EQ(g.Params[ParamOffset(pr::Unh4) + 3].symbol, "knh4");
    EXPECT_EQ(g.Params[88].symbol, "z");
    EXPECT_EQ(pa::z, 88);
    EXPECT_EQ(pa::qu0, 12);
    // Each parameter is where its owner's offset says.
    int idx = 0;
    for (int p = 20; p <= 126; ++p)
        for (int k = 1; k <= g.Processes[p].numparams; ++k) EXPECT_EQ(ParamOffset(p) + k, ++idx);
}

TEST_F(Catalogue, DerivativesAreBuiltFromStates) {
    EXPECT_EQ(g.Processes[10].name, "dLabile Foliage Ndt");
    EXPECT_EQ(g.Processes[10].symbol, "dNlfdt");
    EXPECT_EQ(g.Processes[10].units, "gN m-2groundt-1");
    for (int i = 1; i <= 19; ++i) {
        std::string sym = "d";
        sym.append(g.States[i].symbol).append("dt");
        std::string units(g.States[i].units);
        units.append("t-1");
        EXPECT_EQ(g.Processes[i].symbol, sym);
        EXPECT_EQ(g.Processes[i].units, units);
    }
}

TEST_F(Catalogue, SymbolsUniqueWithinKindAndSpInBoth) {
    std::set<std::string_view> s;
    for (int p = 1; p <= 126; ++p) EXPECT_TRUE(s.insert(g.Processes[p].symbol).second);
    s.clear();
    for (int p = 1; p <= 88; ++p) EXPECT_TRUE(s.insert(g.Params[p].symbol).second);
    EXPECT_EQ(g.Processes[93].symbol, "Sp");
    EXPECT_EQ(g.Processes[93].name, "Plant Season Length");
    EXPECT_EQ(g.Drivers[7].symbol, "Sp");
    EXPECT_EQ(g.Drivers[8].symbol, "Ss");
}

TEST_F(Catalogue, StartUpValuesAndDriverCopies) {
    EXPECT_EQ(g.StartTime, 0);
    EXPECT_EQ(g.StopTime, 2);
    EXPECT_EQ(g.TimeStep, 1);
    EXPECT_EQ(g.OutputStep, 1);
    EXPECT_EQ(g.CalcTime, 0);
    EXPECT_EQ(g.Tolerance, 1e-8);
    for (int i = 1; i <= 8; ++i) {
        EXPECT_EQ(g.PrevDrivers[i].name, g.Drivers[i].name);
        EXPECT_EQ(g.NextDrivers[i].units, g.Drivers[i].units);
        EXPECT_EQ(g.NextDrivers[i].symbol, g.Drivers[i].symbol);
    }
    for (int i = 9; i <= 10; ++i) {
        EXPECT_TRUE(g.Drivers[i].name.empty());
        EXPECT_TRUE(g.PrevDrivers[i].name.empty());
        EXPECT_TRUE(g.NextDrivers[i].name.empty());
    }
    EXPECT_TRUE(g.States[20].name.empty());
    EXPECT_TRUE(g.Processes[127].name.empty());
    EXPECT_TRUE(g.Params[89].name.empty());
}

}  // namespace
}  // namespace orvane
