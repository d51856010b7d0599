// The model's derivative adapter and the integrator on the real model.
#include <gtest/gtest.h>

#include "model/catalogue.h"
#include "model/site_fixture.h"
#include "solver/integrator.h"

namespace orvane {
namespace {

class Adapter : public ::testing::Test {
protected:
    void SetUp() override {
        InitialiseGlobals(g);
        fixture::LoadSite(g);
        for (int i = 1; i <= n; ++i) y[i] = g.States[i].value;
    }
    TStateVector Derivatives(const TStateVector& at) {
        const TDerivativeAdapter derivs{g.Drivers, g.Params, g.States, n};
        TStateVector d{};
        derivs(at, d, 0.0);
        return d;
    }

    TGlobals g;
    const int n = 19;
    TStateVector y{};
};

TEST_F(Adapter, GivesTheModelsDerivativesAndLeavesTheGlobalsAlone) {
    processarray expected = g.Processes;
    statearray states = g.States;
    EvaluateModel(g.Drivers, g.Params, states, 0.0, expected, false);

    const statearray statesBefore = g.States;
    g.Processes[1].value = -123;
    const TStateVector d = Derivatives(y);
    for (int i = 1; i <= n; ++i) EXPECT_EQ(d[i], expected[i].value) << i;
    for (int i = 1; i <= n; ++i) EXPECT_EQ(g.States[i].value, statesBefore[i].value);
    EXPECT_EQ(g.Processes[1].value, -123);
}

TEST_F(Adapter, NegativeTrialValuesAreReplacedOnlyInsideTheEvaluation) {
    TStateVector negative = y;
    negative[st::Cs] = -4;
    TStateVector tiny = y;
    tiny[st::Cs] = 1e-05;
    const double globalCs = g.States[st::Cs].value;
    EXPECT_EQ(Derivatives(negative), Derivatives(tiny));
    EXPECT_EQ(negative[st::Cs], -4);
    EXPECT_EQ(g.States[st::Cs].value, globalCs);
}

TEST_F(Adapter, HeldStatesComeAlongFromTheTemplate) {
    g.States[st::Ce].HoldConstant = true;
    TStateVector away = y;
    away[st::Ce] *= 0.5;  // far from balance
    EXPECT_EQ(Derivatives(away)[st::Ce], 0.0);
    EXPECT_NE(Derivatives(away)[st::Cs], 0.0);
}

// A run keeps one adapter and changes the drivers between its steps: each
// integration must see the drivers of its own step, never terms kept from
// the one before.
TEST_F(Adapter, EachIntegrationSeesTheDriversAndParametersOfItsStep) {
    const TDerivativeAdapter kept{g.Drivers, g.Params, g.States, n};
    const auto step = [&](const TDerivativeAdapter& derivs) {
        TStateVector v = y;
        int nok = 0, nbad = 0;
        ODEIntegrator(v, n, 0.0, 1.0, 1e-8, 1.0, 1e-4, derivs, nok, nbad);
        return v;
    };
    const TStateVector before = step(kept);
    g.Drivers[dr::Ca].value *= 1.5;
    const TStateVector drivers = step(kept);
    EXPECT_NE(drivers, before);
    EXPECT_EQ(drivers, step(TDerivativeAdapter{g.Drivers, g.Params, g.States, n}));
    g.Params[pa::Q10d].value *= 1.1;
    const TStateVector params = step(kept);
    EXPECT_NE(params, drivers);
    EXPECT_EQ(params, step(TDerivativeAdapter{g.Drivers, g.Params, g.States, n}));
}

TEST_F(Adapter, OneYearStepOnTheSiteIsAccurate) {
    // One step of a year at the run's accuracy, checked against the same
    // year taken in many small pieces.
    TStateVector coarse = y;
    TStateVector fine = y;
    const TDerivativeAdapter derivs{g.Drivers, g.Params, g.States, n};
    int nok = 0, nbad = 0;
    ODEIntegrator(coarse, n, 0.0, 1.0, 1e-8, 1.0, 1e-4, derivs, nok, nbad);
    for (int k = 0; k < 50; ++k) {
        ODEIntegrator(fine, n, k / 50.0, (k + 1) / 50.0, 1e-11, 0.02, 1e-8, derivs, nok, nbad);
    }
    for (int i = 1; i <= n; ++i) {
        EXPECT_NEAR(coarse[i], fine[i], 1e-6 * std::max(1.0, std::fabs(fine[i]))) << i;
    }
}

}  // namespace
}  // namespace orvane
