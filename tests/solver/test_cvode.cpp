// CVODE on the real model: it follows the Runge-Kutta integrator, sees each
// step's drivers, reports the model's own errors, and its dense solver
// pivots.
#include <gtest/gtest.h>

#include <sunmatrix/sunmatrix_dense.h>

#include <cmath>
#include <string>

#include "model/catalogue.h"
#include "model/errors.h"
#include "model/site_fixture.h"
#include "solver/cvode_integrator.h"
#include "solver/cvode_kernels.h"
#include "solver/integrator.h"

namespace orvane {
namespace {

class Cvode : public ::testing::Test {
protected:
    void SetUp() override {
        InitialiseGlobals(g);
        fixture::LoadSite(g);
        // Away from the steady state, so that there is something to follow.
        for (int i = 1; i <= n; ++i) y[i] = g.States[i].value * (i % 2 ? 0.9 : 1.1);
    }

    TStateVector RungeKutta(TStateVector v, double x1, double x2) {
        const TDerivativeAdapter derivs{g.Drivers, g.Params, g.States, n};
        int nok = 0, nbad = 0;
        ODEIntegrator(v, n, x1, x2, 1e-10, x2 - x1, 1e-8, derivs, nok, nbad);
        return v;
    }

    static void ExpectClose(const TStateVector& a, const TStateVector& b, double rel) {
        for (int i = 1; i <= 19; ++i) {
            EXPECT_NEAR(a[i], b[i], rel * std::fabs(b[i])) << "state " << i;
        }
    }

    TDerivativeAdapter Adapter() const { return {g.Drivers, g.Params, g.States, n}; }

    TGlobals g;
    const int n = 19;
    TStateVector y{};
};

TEST_F(Cvode, FollowsTheRungeKuttaIntegratorStepByStep) {
    TCvodeIntegrator cvode(n, 1e-11, 1e-11);
    TStateVector v = y;
    TStateVector w = y;
    for (int t = 0; t < 5; ++t) {
        cvode.Integrate(v, t, t + 1, Adapter().Bind());
        w = RungeKutta(w, t, t + 1);
    }
    ExpectClose(v, w, 1e-8);
}

// It begins afresh when the drivers change, and only then: a step at new
// drivers gives what a new integrator gives, and a step at unchanged ones
// goes on with far fewer evaluations than a start.
TEST_F(Cvode, EachStepSeesItsDriversAndRestartsOnlyOnAChange) {
    TCvodeIntegrator cvode(n, 1e-11, 1e-11);
    TStateVector v{};
    for (int i = 1; i <= n; ++i) v[i] = g.States[i].value;  // near its steady state
    cvode.Integrate(v, 0, 1, Adapter().Bind());
    const long start = cvode.Evaluations();
    cvode.Integrate(v, 1, 2, Adapter().Bind());
    const long goingOn = cvode.Evaluations() - start;
    EXPECT_LT(goingOn, start / 2);

    g.Drivers[dr::Ca].value *= 1.3;
    const TStateVector before = v;
    cvode.Integrate(v, 2, 3, Adapter().Bind());
    EXPECT_GT(cvode.Evaluations() - start - goingOn, goingOn);
    TCvodeIntegrator other(n, 1e-11, 1e-11);
    TStateVector fresh = before;
    other.Integrate(fresh, 2, 3, Adapter().Bind());
    ExpectClose(v, fresh, 1e-9);
    ExpectClose(v, RungeKutta(before, 2, 3), 1e-8);
    EXPECT_GT(std::fabs(v[st::Cf] - before[st::Cf]), 1e-6 * before[st::Cf]);
}

// The integrator's own vector may go below 0; the model sees 1e-05 there,
// as the Runge-Kutta integrator's adapter arranges.
TEST_F(Cvode, NegativeStatesAreGuardedInsideTheModelAsForRungeKutta) {
    y[st::Cs] = -3;
    TCvodeIntegrator cvode(n, 1e-11, 1e-11);
    TStateVector v = y;
    cvode.Integrate(v, 0, 1, Adapter().Bind());
    ExpectClose(v, RungeKutta(y, 0, 1), 1e-7);
}

TEST_F(Cvode, ModelErrorsKeepTheirKindAndMessageAndTheStates) {
    struct {
        const char* what;
        void (*spoil)(TGlobals&, TStateVector&);
        const char* message;
    } cases[] = {
        {"ln(-1) in the soil", [](TGlobals& g, TStateVector&) { g.Params[pa::Q10d].value = -1; },
         MsgInvalidOp},
        {"no foliage nitrogen, whatever the step",
         [](TGlobals&, TStateVector& v) { v[st::Nf] = 0; }, MsgZeroDivide},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.spoil(g, y);
        TCvodeIntegrator cvode(n, 1e-11, 1e-11);
        TStateVector v = y;
        try {
            cvode.Integrate(v, 0, 1, Adapter().Bind());
            ADD_FAILURE() << "no error";
        } catch (const EMathError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(v, y);
        // The integrator is usable again once the model is.
        SetUp();
        v = y;
        cvode.Integrate(v, 0, 1, Adapter().Bind());
        ExpectClose(v, RungeKutta(y, 0, 1), 1e-8);
    }
}

TEST_F(Cvode, RefusesTolerancesThatAreNotPositive) {
    EXPECT_THROW(TCvodeIntegrator(n, 0, 1e-10), ERunTimeError);
    EXPECT_THROW(TCvodeIntegrator(n, 1e-10, -1), ERunTimeError);
    EXPECT_THROW(TCvodeIntegrator(n, std::nan(""), 1e-10), ERunTimeError);
}

// The dense LU needs its pivoting on a matrix with a zero first pivot and
// refuses a singular one.
TEST(CvodeKernels, DenseLUPivotsAndRefusesSingularMatrices) {
    SUNContext context = nullptr;
    ASSERT_EQ(SUNContext_Create(nullptr, &context), 0);
    SUNMatrix A = SUNDenseMatrix(3, 3, context);
    SUNLinearSolver lu = cvode::NewDenseLU(3, context);
    N_Vector x = cvode::NewVector(3, context);
    N_Vector b = cvode::NewVector(3, context);
    // Column-major [[0 2 1] [1 1 1] [4 0 3]]: x = (1, 2, 3) gives b = (7, 6, 13).
    const double m[9] = {0, 1, 4, 2, 1, 0, 1, 1, 3};
    std::copy_n(m, 9, SUNDenseMatrix_Data(A));
    const double rhs[3] = {7, 6, 13};
    std::copy_n(rhs, 3, N_VGetArrayPointer(b));
    ASSERT_EQ(SUNLinSolSetup(lu, A), SUNLS_SUCCESS);
    ASSERT_EQ(SUNLinSolSolve(lu, A, x, b, 0), SUNLS_SUCCESS);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(N_VGetArrayPointer(x)[i], i + 1.0, 1e-14);

    const double singular[9] = {1, 2, 3, 2, 4, 6, 0, 1, 1};
    std::copy_n(singular, 9, SUNDenseMatrix_Data(A));
    EXPECT_EQ(SUNLinSolSetup(lu, A), SUNLS_LUFACT_FAIL);

    N_VDestroy(x);
    N_VDestroy(b);
    SUNLinSolFree(lu);
    SUNMatDestroy(A);
    SUNContext_Free(&context);
}

}  // namespace
}  // namespace orvane
