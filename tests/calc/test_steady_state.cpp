#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "calc/calculate.h"
#include "calc/steady_site.h"
#include "model/catalogue.h"

namespace orvane {
namespace {

// The parameters and states that the calculator derives.
constexpr int DerivedParams[] = {pa::AlambdaF, pa::AlambdaW, pa::AlambdaR, pa::Sc, pa::rm,
                                 pa::gCFm, pa::gCWm, pa::gCRm, pa::aTCF, pa::aTCR,
                                 pa::gNFm, pa::gNWm, pa::gNRm, pa::aTNF, pa::aTNR,
                                 pa::Ah, pa::qI, pa::Nnh4mx, pa::Unh4max, pa::VImax};
constexpr int DerivedStates[] = {st::Cs, st::Ce, st::Ci, st::Ch, st::Na};

double RelDiff(double a, double b) { return std::fabs(a - b) / std::fmax(std::fabs(b), 1e-300); }

class SteadyState : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::LoadSteadySite(g));
        steady.States = g.States;
        steady.Params = g.Params;
        steady.Processes = g.Processes;
        g.CalcFormShowing = true;
        Open();
    }
    // Opens the calculator on the model's current values, as the window does.
    void Open() {
        calc.TakeFromModel();
        calc.EvaluateStart();
    }
    // Enters the stocks and fluxes of the steady site, whatever the opening
    // evaluation gave.
    void EnterSteadyObservations() { calc.WorkSet.Processes = steady.Processes; }
    // Runs a calculation that must fail with E; returns its message.
    template <class E>
    std::string FailWith() {
        try {
            calc.Recalculate();
        } catch (const E& e) {
            return e.Message();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "unexpected error: " << e.what();
            return {};
        }
        ADD_FAILURE() << "the calculation succeeded";
        return {};
    }
    void ExpectShownProcessesAre(const processarray& expected) {
        for (int i = 1; i <= g.ModelDef.numprocess; ++i)
            EXPECT_EQ(calc.ShownSet.Processes[i].value, expected[i].value) << g.Processes[i].symbol;
    }
    void ExpectShownEqualsWork() {
        for (int i = 1; i <= g.ModelDef.numparam; ++i)
            EXPECT_EQ(calc.ShownSet.Params[i].value, calc.WorkSet.Params[i].value) << g.Params[i].symbol;
        for (int i = 1; i <= g.ModelDef.numstate; ++i)
            EXPECT_EQ(calc.ShownSet.States[i].value, calc.WorkSet.States[i].value) << g.States[i].symbol;
        for (int i = 1; i <= g.ModelDef.numdrive; ++i)
            EXPECT_EQ(calc.ShownSet.Drivers[i].value, calc.WorkSet.Drivers[i].value);
    }
    // Every derived parameter and state within `tolerance` (relative) of the expected ones.
    void ExpectDerivedValues(const paramarray& params, const statearray& states, double tolerance) {
        for (int i : DerivedParams)
            EXPECT_LT(RelDiff(calc.ShownSet.Params[i].value, params[i].value), tolerance)
                << g.Params[i].symbol;
        for (int i : DerivedStates)
            EXPECT_LT(RelDiff(calc.ShownSet.States[i].value, states[i].value), tolerance)
                << g.States[i].symbol;
    }
    double& Work(TVarKind kind, int index) {
        switch (kind) {
            case KindState: return calc.WorkSet.States[index].value;
            case KindParam: return calc.WorkSet.Params[index].value;
            default: return calc.WorkSet.Processes[index].value;
        }
    }

    TGlobals g;
    TSteadyStateCalc calc{g};
    TValueSet steady;
};

TEST_F(SteadyState, CompletedCalculationIsSteadyAndConsistent) {
    calc.Recalculate();
    double largest = 0;
    for (int i = 1; i <= g.ModelDef.numstate; ++i) {
        largest = std::fmax(largest, std::fabs(calc.ShownSet.Processes[i].value));
    }
    std::printf("largest |derivative| after the calculation: %.3g\n", largest);
    EXPECT_LE(largest, SteadyTolerance);
    EXPECT_TRUE(calc.DerivativesSteady());
    EXPECT_TRUE(calc.ShowsSteadyState(0));
    EXPECT_FALSE(calc.ShowsSteadyState(1));
    EXPECT_TRUE(calc.FinalPass);
    ExpectShownEqualsWork();
    for (int i = 1; i <= g.ModelDef.numprocess; ++i)
        EXPECT_EQ(calc.ShownSet.Processes[i].value, calc.WorkSet.Processes[i].value);
    EXPECT_EQ(calc.ShownSet.Processes[pr::NPPf].value, calc.ShownSet.Processes[pr::lambdaCFT].value);
    EXPECT_EQ(calc.ShownSet.Processes[pr::NPPw].value, calc.ShownSet.Processes[pr::lambdaCWT].value);
    EXPECT_EQ(calc.ShownSet.Processes[pr::NPPr].value, calc.ShownSet.Processes[pr::lambdaCRT].value);
    // The site the fixture describes: its values carry 6 significant digits.
    TGlobals site;
    InitialiseGlobals(site);
    fixture::LoadSite(site);
    ExpectDerivedValues(site.Params, site.States, 5e-6);
}

TEST_F(SteadyState, RecoversEveryDerivedValueFromOtherStartingValues) {
    // Growth maxima move in pairs so that the target C:N ratios, and with
    // them the branch of metabolic respiration, stay as they are.
    const double factor[] = {1.3, 0.7};
    int n = 0;
    for (int i : DerivedParams) g.Params[i].value *= factor[n++ % 2];
    g.Params[pa::gNFm].value = steady.Params[pa::gNFm].value * g.Params[pa::gCFm].value /
                               steady.Params[pa::gCFm].value;
    g.Params[pa::gNWm].value = steady.Params[pa::gNWm].value * g.Params[pa::gCWm].value /
                               steady.Params[pa::gCWm].value;
    g.Params[pa::gNRm].value = steady.Params[pa::gNRm].value * g.Params[pa::gCRm].value /
                               steady.Params[pa::gCRm].value;
    for (int i : DerivedStates) g.States[i].value *= factor[n++ % 2];
    Open();
    EnterSteadyObservations();
    EXPECT_FALSE(calc.ShowsSteadyState(0));
    calc.Recalculate();
    ExpectDerivedValues(steady.Params, steady.States, 1e-9);
    EXPECT_TRUE(calc.ShowsSteadyState(0));
}

TEST_F(SteadyState, PhotosynthesisBelowProductionStopsAtPlantRespiration) {
    const TValueSet before = calc.ShownSet;
    Work(KindProcess, pr::NPPf) *= 1.2;
    const double nppSum = Work(KindProcess, pr::NPPf) + Work(KindProcess, pr::NPPw) +
                          Work(KindProcess, pr::NPPr);
    Work(KindProcess, pr::Ps) = nppSum - 50;
    const std::string message = FailWith<ECalcNewValue>();
    EXPECT_EQ(message, std::string(MsgCalcNewValue) + MsgPlantRespNegative);
    EXPECT_NE(message.find("Additional Info:  Insufficient"), std::string::npos);
    // Litterfall rates and Sc are new and shown; the processes are the old ones.
    EXPECT_NEAR(calc.ShownSet.Params[pa::AlambdaF].value, before.Params[pa::AlambdaF].value * 1.2,
                1e-12);
    EXPECT_NEAR(calc.ShownSet.Params[pa::Sc].value,
                before.Params[pa::Sc].value * (nppSum - 50) / before.Processes[pr::Ps].value, 1e-12);
    EXPECT_EQ(calc.ShownSet.Params[pa::rm].value, before.Params[pa::rm].value);
    EXPECT_LT(calc.WorkSet.Processes[pr::Rpt].value, 0);
    ExpectShownEqualsWork();
    ExpectShownProcessesAre(before.Processes);
    // The old processes are steady, yet a failed calculation never shows green.
    EXPECT_TRUE(calc.DerivativesSteady());
    EXPECT_TRUE(calc.CalculationFailed);
    EXPECT_FALSE(calc.ShowsSteadyState(0));
    EXPECT_FALSE(calc.FinalPass);

    // Mending the entry and recalculating starts from where the failure left off.
    Work(KindProcess, pr::Ps) = before.Processes[pr::Ps].value;
    calc.Recalculate();
    EXPECT_FALSE(calc.CalculationFailed);
    EXPECT_TRUE(calc.ShowsSteadyState(0));
}

TEST_F(SteadyState, HumusNitrogenAboveTotalSoilNitrogen) {
    const TValueSet before = calc.ShownSet;
    Work(KindProcess, pr::Cst) += 100;
    Work(KindState, st::Nh) = Work(KindProcess, pr::Nst) + 5;
    EXPECT_EQ(FailWith<ECalcNewValue>(), std::string(MsgCalcNewValue) + MsgActiveNNegative);
    EXPECT_DOUBLE_EQ(calc.ShownSet.States[st::Na].value, -5);
    EXPECT_FALSE(IsValidValue(calc.ShownValue(KindState, st::Na)));
    // Soil carbon is already derived: the extra carbon is humus.
    EXPECT_NEAR(calc.ShownSet.States[st::Ch].value, steady.States[st::Ch].value + 100, 1e-8);
    EXPECT_NEAR(calc.ShownSet.States[st::Ci].value, steady.States[st::Ci].value, 1e-8);
    EXPECT_EQ(calc.ShownSet.Params[pa::Ah].value, before.Params[pa::Ah].value);
    ExpectShownProcessesAre(before.Processes);
}

TEST_F(SteadyState, TooLittleSoilCarbonAndNegativeHumusCarbon) {
    const TValueSet before = calc.ShownSet;
    Work(KindProcess, pr::Cst) = 100;
    Work(KindProcess, pr::Nst) += 10;
    EXPECT_EQ(FailWith<ECalcNewValue>(), std::string(MsgCalcNewValue) + MsgHumusCNegative);
    EXPECT_LT(calc.ShownSet.States[st::Ch].value, 0);
    EXPECT_EQ(calc.ShownSet.States[st::Na].value, before.States[st::Na].value);
    ExpectShownEqualsWork();

    // A negative humus carbon held from before is replaced by the model's
    // guard at the start evaluation, so the calculation goes through.
    Work(KindProcess, pr::Cst) = before.Processes[pr::Cst].value;
    Work(KindProcess, pr::Nst) = before.Processes[pr::Nst].value;
    ASSERT_LT(Work(KindState, st::Ch), 0);
    calc.Recalculate();
    EXPECT_NEAR(calc.ShownSet.States[st::Ch].value, steady.States[st::Ch].value, 1e-8);
}

TEST_F(SteadyState, ZeroShownRateCannotBeRescaled) {
    // Each zero ends its rescaling in 0/0: the value stays 0, and what an
    // earlier step derived (from a doubled starting value) is shown.
    struct Case { TVarKind kind; int index; int derivedEarlier; };
    for (Case c : {Case{KindParam, pa::Sc, pa::AlambdaR}, Case{KindState, st::Cs, pa::aTNR},
                   Case{KindParam, pa::Ah, pa::aTNR}}) {
        SCOPED_TRACE(c.index);
        ASSERT_TRUE(fixture::LoadSteadySite(g));
        g.CalcFormShowing = true;
        (c.kind == KindParam ? g.Params[c.index].value : g.States[c.index].value) = 0;
        g.Params[c.derivedEarlier].value *= 2;
        Open();
        EnterSteadyObservations();
        EXPECT_EQ(FailWith<ECalcNewValue>(), std::string(MsgCalcNewValue) + MsgInvalidOp);
        EXPECT_EQ(calc.ShownValue(c.kind, c.index), 0);
        const double expected = steady.Params[c.derivedEarlier].value;
        EXPECT_NEAR(calc.ShownSet.Params[c.derivedEarlier].value, expected,
                    1e-9 * std::fabs(expected));
    }
}

TEST_F(SteadyState, ZeroLitterfallRateFailsAtTheStartEvaluation) {
    // Without litter the model cannot partition it (0/0), so the calculation
    // fails before any derivation.
    ASSERT_TRUE(fixture::LoadSteadySite(g));
    g.CalcFormShowing = true;
    g.Params[pa::AlambdaW].value = 0;
    calc.TakeFromModel();
    const TValueSet before = calc.ShownSet;
    EXPECT_EQ(FailWith<ECalcInitialProc>(), std::string(MsgCalcInitialProc) + MsgInvalidOp);
    for (int i = 1; i <= g.ModelDef.numparam; ++i)
        EXPECT_EQ(calc.ShownSet.Params[i].value, before.Params[i].value);
    ExpectShownProcessesAre(before.Processes);
}

TEST_F(SteadyState, StartEvaluationFaultLeavesEverythingShownAsItWas) {
    const TValueSet before = calc.ShownSet;
    Work(KindState, st::Cf) = 0;  // no leaf area: the canopy light term is 0/0
    const std::string message = FailWith<ECalcInitialProc>();
    EXPECT_EQ(message.rfind(MsgCalcInitialProc, 0), 0u);
    const std::string info = message.substr(std::string(MsgCalcInitialProc).size());
    EXPECT_TRUE(info == MsgInvalidOp || info == MsgZeroDivide) << info;
    ExpectShownProcessesAre(before.Processes);
    for (int i = 1; i <= g.ModelDef.numstate; ++i)
        EXPECT_EQ(calc.ShownSet.States[i].value, before.States[i].value);
    EXPECT_FALSE(calc.ShowsSteadyState(0));
}

TEST_F(SteadyState, FaultInAFormulaStopsItsStep) {
    g.Params[pa::gCFm].value *= 1.5;
    g.Params[pa::gNFm].value *= 1.5;
    Open();
    EnterSteadyObservations();
    Work(KindParam, pa::KCa) = 0;  // no foliage-stem conduction to invert
    const double aTCF = calc.ShownSet.Params[pa::aTCF].value;
    EXPECT_EQ(FailWith<ECalcNewValue>(), std::string(MsgCalcNewValue) + MsgZeroDivide);
    // The growth maxima before the fault are derived, the step itself and
    // everything after it are not.
    EXPECT_NEAR(calc.ShownSet.Params[pa::gCFm].value, steady.Params[pa::gCFm].value,
                1e-9 * steady.Params[pa::gCFm].value);
    EXPECT_EQ(calc.ShownSet.Params[pa::aTCF].value, aTCF);
    EXPECT_EQ(calc.ShownSet.Params[pa::gNFm].value, 1.5 * steady.Params[pa::gNFm].value);
}

TEST_F(SteadyState, InsolubleCNAtOrBelowTargetInTheFinalEvaluation) {
    const TValueSet before = calc.ShownSet;
    // Little humus nitrogen makes the derived target C:N of the insoluble
    // pool exceed its actual C:N.
    Work(KindState, st::Nh) = 10;
    EXPECT_EQ(FailWith<ECalcNewProcess>(), std::string(MsgCalcNewProcess) + MsgInsolubleCN);
    EXPECT_TRUE(calc.FinalPass);
    ExpectShownEqualsWork();
    ExpectShownProcessesAre(calc.WorkSet.Processes);
    // The shown processes are the working ones, not those of a final evaluation.
    EXPECT_EQ(calc.ShownSet.Processes[pr::Qnh4].value, calc.ShownSet.Drivers[dr::Dnh4].value);
    EXPECT_EQ(calc.ShownSet.Processes[pr::dCfdt].value, before.Processes[pr::dCfdt].value);
    EXPECT_GE(calc.ShownSet.Params[pa::qI].value,
              calc.ShownSet.States[st::Ci].value / calc.ShownSet.States[st::Na].value);

    // Only the window's final evaluation outside batch mode raises it.
    for (auto [batch, showing] : {std::pair{true, true}, std::pair{false, false}}) {
        Open();
        g.ModelBatch = batch;
        g.CalcFormShowing = showing;
        Work(KindState, st::Nh) = 10;
        EXPECT_NO_THROW(calc.Recalculate());
        EXPECT_FALSE(calc.CalculationFailed);
    }
}

TEST_F(SteadyState, AmmoniumUnitFactorsAreExtendedPrecision) {
    // The solution concentration and the sorbed ammonium are computed with
    // extended-precision unit factors and rounded once; the sorption capacity
    // derived from them must match that to the last bit.
    int differsFromDouble = 0;
    for (int i = 1; i <= 40; ++i) {
        SCOPED_TRACE(i);
        Open();
        EnterSteadyObservations();
        const double dnh4 = 0.0137 * i;
        calc.WorkSet.Drivers[dr::Dnh4].value = dnh4;
        const double W = calc.WorkSet.Processes[pr::W].value;
        const double nnh4 = calc.WorkSet.States[st::Nnh4].value;
        try {
            calc.Recalculate();
        } catch (const ECalcNewProcess&) {
            // The derived values stand; only the final evaluation failed.
        }
        const double qw = calc.StartProcesses[pr::Qw].value;
        const double aq = static_cast<double>(dnh4 / (0.014L * qw));
        const double s = static_cast<double>(nnh4 - (1.4e-05L * W) * aq);
        const paramarray& p = calc.WorkSet.Params;
        const double mx = ((p[pa::etanh4].value + aq) * s) / ((aq * p[pa::rho].value) * p[pa::z].value);
        EXPECT_EQ(p[pa::Nnh4mx].value, mx);
        const double aqDouble = dnh4 / (0.014 * qw);
        const double sDouble = nnh4 - (1.4e-05 * W) * aqDouble;
        if (aqDouble != aq || sDouble != s) ++differsFromDouble;
    }
    // Plain double constants would have given other values for some entries.
    EXPECT_GT(differsFromDouble, 0);
}

// Nothing in the calculator is shared between instances: calculations on
// separate globals give the same results side by side as one after another.
TEST(SteadyStateThreads, IndependentCalculationsRunInParallel) {
    auto derive = [](double factor, paramarray& out, bool& ok) {
        try {
            TGlobals g;
            ok = fixture::LoadSteadySite(g);
            g.CalcFormShowing = true;
            TSteadyStateCalc calc(g);
            calc.TakeFromModel();
            calc.EvaluateStart();
            calc.ChangeValue(KindProcess, pr::NPPw, calc.WorkSet.Processes[pr::NPPw].value * factor);
            calc.Recalculate();
            out = calc.ShownSet.Params;
        } catch (...) {
            ok = false;
        }
    };
    constexpr int n = 4;
    paramarray serial[n], parallel[n];
    bool okSerial[n], okParallel[n];
    for (int i = 0; i < n; ++i) derive(1 + 0.1 * i, serial[i], okSerial[i]);
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i)
        threads.emplace_back(derive, 1 + 0.1 * i, std::ref(parallel[i]), std::ref(okParallel[i]));
    for (auto& t : threads) t.join();
    for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(okSerial[i] && okParallel[i]);
        for (int k = 1; k <= 88; ++k) EXPECT_EQ(parallel[i][k].value, serial[i][k].value);
    }
    EXPECT_NE(serial[0][pa::AlambdaW].value, serial[1][pa::AlambdaW].value);
}

}  // namespace
}  // namespace orvane
