#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include "calc/calculate.h"
#include "calc/checked_math.h"
#include "model/catalogue.h"

namespace orvane {
namespace {

TEST(GetArrayIndex, FindsEachKindBySymbol) {
    TGlobals g;
    InitialiseGlobals(g);
    // Sp is both a driver and a process: the kind decides.
    EXPECT_EQ(GetArrayIndex(g, KindDriver, "Sp"), 7);
    EXPECT_EQ(GetArrayIndex(g, KindProcess, "Sp"), 93);
    EXPECT_EQ(GetArrayIndex(g, KindState, "Cf"), 1);
    EXPECT_EQ(GetArrayIndex(g, KindState, "Nnh4"), 19);
    EXPECT_EQ(GetArrayIndex(g, KindParam, "AlambdaF"), pa::AlambdaF);
    EXPECT_EQ(GetArrayIndex(g, KindParam, "z"), 88);
    EXPECT_EQ(GetArrayIndex(g, KindProcess, "Et"), 126);
    EXPECT_EQ(GetArrayIndex(g, KindProcess, "lambdaCSF"), pr::lambdaCSF);
    // Processes are searched from numstate on: the last derivative is found,
    // the others are not.
    EXPECT_EQ(GetArrayIndex(g, KindProcess, "dNnh4dt"), 19);
    EXPECT_EQ(GetArrayIndex(g, KindProcess, "dCfdt"), 0);
    // Exact and case-sensitive; wrong kind or unknown kind finds nothing.
    EXPECT_EQ(GetArrayIndex(g, KindState, "cf"), 0);
    EXPECT_EQ(GetArrayIndex(g, KindState, "Cf "), 0);
    EXPECT_EQ(GetArrayIndex(g, KindParam, "Cf"), 0);
    EXPECT_EQ(GetArrayIndex(g, 4, "Cf"), 0);
    EXPECT_EQ(GetArrayIndex(g, KindDriver, ""), 0);
}

TEST(ValueSets, ValueByKindAndCopyToModel) {
    TGlobals g;
    InitialiseGlobals(g);
    TValueSet set;
    set.States = g.States;
    set.Params = g.Params;
    set.Drivers = g.Drivers;
    set.Processes = g.Processes;
    set.SetValue(KindDriver, dr::Sp, 150);
    set.SetValue(KindState, st::Nh, 450);
    set.SetValue(KindParam, pa::qI, 20);
    set.SetValue(KindProcess, pr::Sp, 120);
    set.SetValue(9, 1, 5);  // unknown kind: ignored
    EXPECT_EQ(set.Value(KindDriver, dr::Sp), 150);
    EXPECT_EQ(set.Value(KindProcess, pr::Sp), 120);
    EXPECT_EQ(set.Value(KindState, st::Nh), 450);
    EXPECT_EQ(set.Value(KindParam, pa::qI), 20);
    EXPECT_EQ(set.Value(9, 1), 0);
    set.States[st::Cf].HoldConstant = true;
    CopySetToModel(g, set);
    EXPECT_EQ(g.Drivers[dr::Sp].value, 150);
    EXPECT_EQ(g.Processes[pr::Sp].value, 120);
    EXPECT_EQ(g.Params[pa::qI].value, 20);
    EXPECT_TRUE(g.States[st::Cf].HoldConstant);
    EXPECT_EQ(g.States[st::Nh].symbol, "Nh");
}

TEST(ValueSets, StatusLight) {
    TGlobals g;
    InitialiseGlobals(g);
    TSteadyStateCalc calc(g);
    calc.TakeFromModel();  // all derivatives 0
    EXPECT_TRUE(calc.ShowsSteadyState(0));
    EXPECT_FALSE(calc.ShowsSteadyState(2));
    calc.ShownSet.Processes[19].value = -SteadyTolerance;
    EXPECT_TRUE(calc.DerivativesSteady());
    calc.ShownSet.Processes[19].value = 2e-8;
    EXPECT_FALSE(calc.DerivativesSteady());
    calc.ShownSet.Processes[19].value = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(calc.DerivativesSteady());
    calc.ShownSet.Processes[19].value = 0;
    // Process 20 is not a derivative.
    calc.ShownSet.Processes[20].value = 5;
    EXPECT_TRUE(calc.DerivativesSteady());
    calc.CalculationFailed = true;
    EXPECT_FALSE(calc.ShowsSteadyState(0));

    EXPECT_TRUE(IsValidValue(0));
    EXPECT_TRUE(IsValidValue(-0.0));
    EXPECT_FALSE(IsValidValue(-1e-300));
    EXPECT_FALSE(IsValidValue(std::numeric_limits<double>::quiet_NaN()));
}

TEST(ValueSets, SavingMovesShownStatesAndParametersIntoSavedSet) {
    TGlobals g;
    InitialiseGlobals(g);
    TSteadyStateCalc calc(g);
    calc.TakeFromModel();
    calc.ShownSet.Params[pa::rm].value = 3;
    calc.ShownSet.States[st::Ch].value = 4;
    calc.ShownSet.Processes[pr::Ps].value = 5;
    calc.MarkSaved();
    EXPECT_EQ(calc.SavedSet.Params[pa::rm].value, 3);
    EXPECT_EQ(calc.SavedSet.States[st::Ch].value, 4);
    EXPECT_EQ(calc.SavedSet.Processes[pr::Ps].value, 0);
}

TEST(ValueSets, OpeningReadsTheDriversInForceAtTheCalculationTime) {
    TGlobals g;
    InitialiseGlobals(g);
    const std::string path = ::testing::TempDir() + "calc_open.drr";
    {
        std::ofstream f(path, std::ios::binary);
        f << "Time CO2 ...\r\nyear ppmv ...\r\n"
          << "0 350 18 6 15 1 0.3 150 150\r\n"
          << "-10 450 20 8 15 1 0.5 150 150\r\n";
    }
    g.DriverFileName = path;
    g.CalcTime = 5;
    // Whatever an earlier pass left in the reader must not matter.
    g.PrevDriverTime = 7;
    g.NextDriverTime = 8;
    g.Params[pa::qI].value = 20;
    TSteadyStateCalc calc(g);
    calc.FinalPass = true;
    calc.Open();
    EXPECT_FALSE(calc.FinalPass);
    EXPECT_DOUBLE_EQ(calc.ShownSet.Drivers[dr::Ca].value, 400);
    EXPECT_DOUBLE_EQ(calc.WorkSet.Drivers[dr::Dnh4].value, 0.4);
    EXPECT_EQ(calc.SavedSet.Drivers[dr::Ca].value, 0);  // the model's own drivers
    EXPECT_EQ(calc.WorkSet.Params[pa::qI].value, 20);
    // The file is closed again: a second opening reads it from the start.
    g.CalcTime = 0;
    calc.Open();
    EXPECT_DOUBLE_EQ(calc.ShownSet.Drivers[dr::Ca].value, 350);
    std::remove(path.c_str());
}

TEST(CheckedMath, FaultsAreReportedAtTheOperation) {
    using checked::Num;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(Num(1) / 0.0, EZeroDivide);
    EXPECT_THROW(Num(-1) / -0.0, EZeroDivide);
    EXPECT_THROW(Num(0) / 0.0, EInvalidOp);
    EXPECT_THROW(Num(inf) / inf, EInvalidOp);
    EXPECT_THROW(Num(inf) - inf, EInvalidOp);
    EXPECT_THROW(Num(0) * inf, EInvalidOp);
    EXPECT_THROW(Num(1e300) * 1e300, EOverflow);
    EXPECT_THROW(Num(1e308) + 1e308, EOverflow);
    EXPECT_THROW(Num(1e300) / 1e-300, EOverflow);
    try {
        (void)(Num(1) / 0.0);
    } catch (const EMathError& e) {
        EXPECT_EQ(e.Message(), MsgZeroDivide);
    }
    // Underflow is silent; an infinity or NaN that is already there passes.
    EXPECT_EQ((Num(1e-300) * 1e-300).v, 0.0);
    EXPECT_EQ((Num(inf) + 1).v, inf);
    EXPECT_TRUE(std::isnan((Num(nan) / 0.0).v));
    EXPECT_TRUE(std::isnan((Num(nan) - nan).v));
    EXPECT_EQ((Num(6) / 4 - 1.5).v, 0.0);

    // Extended precision: the same faults, and an overflow only when a value
    // beyond the range of a double is stored.
    using checked::DivX, checked::MulX, checked::StoreX, checked::SubX;
    EXPECT_THROW(DivX(1, MulX(0.014L, 0)), EZeroDivide);
    EXPECT_THROW(DivX(0, 0), EInvalidOp);
    EXPECT_THROW(SubX(std::numeric_limits<long double>::infinity(),
                      std::numeric_limits<long double>::infinity()),
                 EInvalidOp);
    const long double big = MulX(1e300L, 1e300L);  // fine in extended range
    EXPECT_THROW(StoreX(big), EOverflow);
    EXPECT_EQ(StoreX(DivX(big, 1e300L)), 1e300);
    EXPECT_EQ(StoreX(MulX(1e-300L, 1e-300L)), 0.0);
}

}  // namespace
}  // namespace orvane
