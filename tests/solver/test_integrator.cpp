// The integrator on small problems whose answers are known.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "solver/integrator.h"

namespace orvane {
namespace {

// A derivative function built from a lambda, counting its evaluations.
struct TToy {
    std::function<void(const TStateVector&, TStateVector&, double)> f;
    mutable int calls = 0;
    void operator()(const TStateVector& y, TStateVector& dydx, double x) const {
        ++calls;
        f(y, dydx, x);
    }
};

TStateVector Vec(double a, double b = 0.0) {
    TStateVector v{};
    v[1] = a;
    v[2] = b;
    return v;
}

TEST(ODEIntegrator, ZeroDerivativesTakeOneStepAndChangeNothing) {
    TToy toy{[](const TStateVector&, TStateVector& d, double) { d[1] = d[2] = 0.0; }};
    TStateVector y = Vec(3.5, -2.0);
    int nok = -1, nbad = -1;
    ODEIntegrator(y, 2, 0.0, 1.0, 1e-8, 1.0, 1e-4, toy, nok, nbad);
    EXPECT_EQ(nok, 1);
    EXPECT_EQ(nbad, 0);
    EXPECT_EQ(y[1], 3.5);
    EXPECT_EQ(y[2], -2.0);
    // 1 at the start, 3 per RKStep call (three calls), 1 between the half steps.
    EXPECT_EQ(toy.calls, 11);
}

TEST(ODEIntegrator, PolynomialIsTakenInOnePieceExactly) {
    // RK4 integrates a cubic in x exactly, so the first trial is accurate.
    TToy toy{[](const TStateVector&, TStateVector& d, double x) { d[1] = 3 * x * x + 1; }};
    TStateVector y = Vec(2.0);
    int nok = 0, nbad = 0;
    ODEIntegrator(y, 1, 1.0, 3.0, 1e-8, 2.0, 2e-4, toy, nok, nbad);
    EXPECT_EQ(nok, 1);
    EXPECT_EQ(nbad, 0);
    EXPECT_NEAR(y[1], 2.0 + (27 + 3) - (1 + 1), 1e-12);
}

TEST(ODEIntegrator, AdaptiveStepsReachTheRequestedAccuracy) {
    // y' = -y and z' = 2z, x from 0 to 1, one trial step of the full length.
    TToy toy{[](const TStateVector& y, TStateVector& d, double) {
        d[1] = -y[1];
        d[2] = 2 * y[2];
    }};
    TStateVector y = Vec(1.0, 1.0);
    int nok = 0, nbad = 0;
    ODEIntegrator(y, 2, 0.0, 1.0, 1e-8, 1.0, 1e-4, toy, nok, nbad);
    EXPECT_GT(nok + nbad, 1);
    EXPECT_GE(nbad, 1);  // the full-length trial is too coarse
    EXPECT_NEAR(y[1] / std::exp(-1.0), 1.0, 1e-7);
    EXPECT_NEAR(y[2] / std::exp(2.0), 1.0, 1e-7);
}

TEST(ODEIntegrator, StepsBackwardsWhenTheEndLiesBeforeTheStart) {
    double lowest = 1e9, highest = -1e9;
    TToy toy{[&](const TStateVector& y, TStateVector& d, double x) {
        lowest = std::min(lowest, x);
        highest = std::max(highest, x);
        d[1] = y[1];
    }};
    TStateVector y = Vec(std::exp(1.0));
    int nok = 0, nbad = 0;
    ODEIntegrator(y, 1, 1.0, 0.0, 1e-8, 0.25, 1e-5, toy, nok, nbad);
    EXPECT_NEAR(y[1], 1.0, 1e-7);
    EXPECT_EQ(highest, 1.0);  // never evaluated beyond the start ...
    EXPECT_GE(lowest, 0.0);   // ... nor beyond the end
}

TEST(ODEIntegrator, EmptyIntervalLeavesTheStatesAlone) {
    TToy toy{[](const TStateVector&, TStateVector& d, double) { d[1] = 1.0; }};
    TStateVector y = Vec(5.0);
    int nok = -1, nbad = -1;
    ODEIntegrator(y, 1, 2.0, 2.0, 1e-8, 1.0, 1e-4, toy, nok, nbad);
    EXPECT_EQ(y[1], 5.0);
    EXPECT_EQ(nok + nbad, 0);
}

// f(x) = x^4 over one step of 6 from 0: every stage value is a binary
// fraction, so the step-doubling difference is exactly -60.75.
TToy QuarticInX() {
    return TToy{[](const TStateVector&, TStateVector& d, double x) { d[1] = x * x * x * x; }};
}

TEST(RKQualityControl, ErrorRatioOfExactlyOneIsAccepted) {
    TToy toy = QuarticInX();
    TStateVector y = Vec(0.0);
    TStateVector dydx = Vec(0.0);
    const TStateVector yscal = Vec(60.75);
    double x = 0.0, hdid = 0.0, hnext = 0.0;
    RKQualityControl(y, dydx, 1, x, 6.0, 1.0, yscal, toy, hdid, hnext);
    EXPECT_EQ(hdid, 6.0);
    EXPECT_EQ(x, 6.0);
    EXPECT_DOUBLE_EQ(hnext, 0.9 * 6.0);
    // Two half steps give 1559.25; the extrapolation weight is the decimal
    // 0.06666666, so the result is not the exact integral 1555.2.
    EXPECT_EQ(y[1], 1559.25 + (-60.75) * 0.06666666);
    EXPECT_NE(y[1], 1555.2);
}

TEST(RKQualityControl, ErrorRatioJustAboveOneShrinksTheStep) {
    TToy toy = QuarticInX();
    TStateVector y = Vec(0.0);
    TStateVector dydx = Vec(0.0);
    const TStateVector yscal = Vec(60.74);
    double x = 0.0, hdid = 0.0, hnext = 0.0;
    RKQualityControl(y, dydx, 1, x, 6.0, 1.0, yscal, toy, hdid, hnext);
    // A rejected ratio r gives 0.9 * h * r^-0.1: just under 0.9 * 6.
    EXPECT_LT(hdid, 0.9 * 6.0);
    EXPECT_GT(hdid, 0.89 * 6.0);
    EXPECT_EQ(x, hdid);
    EXPECT_EQ(toy.calls, 20);  // two trials of 10 evaluations each
}

TEST(RKQualityControl, NextStepGrowsFourfoldWhenTheErrorIsTiny) {
    TToy toy = QuarticInX();
    TStateVector y = Vec(0.0);
    TStateVector dydx = Vec(0.0);
    double x = 0.0, hdid = 0.0, hnext = 0.0;
    // Ratio 0.0006 exactly still grows by 4; just above uses the power law.
    RKQualityControl(y, dydx, 1, x, 6.0, 1.0, Vec(60.75 / 0.0006), toy, hdid, hnext);
    EXPECT_EQ(hnext, 24.0);
    y = Vec(0.0);
    dydx = Vec(0.0);
    x = 0.0;
    RKQualityControl(y, dydx, 1, x, 6.0, 1.0, Vec(60.75 / 0.0007), toy, hdid, hnext);
    EXPECT_NEAR(hnext, 0.9 * 6.0 * std::pow(0.0007, -0.2), 1e-9);
}

TEST(ODEIntegrator, DivisionByZeroForALargeStepIsAbsorbedByHalving) {
    // y' = -y; the model "divides by zero" whenever it is asked about a
    // state below 0.3, which only the coarse first trial ever reaches.
    int faults = 0;
    TToy toy{[&](const TStateVector& y, TStateVector& d, double) {
        if (y[1] < 0.3) {
            ++faults;
            throw EZeroDivide(MsgZeroDivide);
        }
        d[1] = -y[1];
    }};
    TStateVector y = Vec(1.0);
    int nok = 0, nbad = 0;
    ODEIntegrator(y, 1, 0.0, 1.0, 1e-8, 1.0, 1e-4, toy, nok, nbad);
    EXPECT_GT(faults, 0);
    EXPECT_GE(nbad, 1);
    EXPECT_NEAR(y[1] / std::exp(-1.0), 1.0, 1e-7);
}

// Integrates y(0) = 7 from 0 to 1 expecting an integrator error; returns its
// message after checking that the start value survived.
std::string IntegratorFailure(const TToy& toy, double hmin, int* steps = nullptr) {
    TStateVector y = Vec(7.0);
    int nok = 0, nbad = 0;
    std::string message = "no error";
    try {
        ODEIntegrator(y, 1, 0.0, 1.0, 1e-8, 1.0, hmin, toy, nok, nbad);
    } catch (const EIntegratorError& e) {
        message = e.what();
    }
    EXPECT_EQ(y[1], 7.0);
    if (steps) *steps = nok + nbad;
    return message;
}

TEST(ODEIntegrator, DivisionByZeroAtEveryStepSizeEndsWithStepTooSmall) {
    TToy toy{[](const TStateVector&, TStateVector& d, double x) {
        if (x > 0.0) throw EZeroDivide(MsgZeroDivide);
        d[1] = 1.0;
    }};
    EXPECT_EQ(IntegratorFailure(toy, 1e-4), "Step size too small in routine RKQualityControl");
}

TEST(ODEIntegrator, OtherModelErrorsPassOutAndKeepTheStartValues) {
    // Fails only after some accepted steps, so partial progress exists.
    TToy toy{[](const TStateVector& y, TStateVector& d, double x) {
        if (x > 0.6) throw EInvalidOp(MsgInvalidOp);
        d[1] = -y[1];
    }};
    TStateVector y = Vec(1.0);
    int nok = 0, nbad = 0;
    EXPECT_THROW(ODEIntegrator(y, 1, 0.0, 1.0, 1e-8, 0.1, 1e-5, toy, nok, nbad), EInvalidOp);
    EXPECT_EQ(y[1], 1.0);
    EXPECT_GT(nok, 0);
}

TEST(ODEIntegrator, MoreThanTenThousandStepsRaiseTooManySteps) {
    // 16000 fast oscillations across the interval need far more steps.
    TToy toy{[](const TStateVector&, TStateVector& d, double x) { d[1] = std::cos(1e5 * x); }};
    int steps = 0;
    EXPECT_EQ(IntegratorFailure(toy, 1e-12, &steps), "Too many steps in routine ODEIntegrator");
    EXPECT_EQ(steps, 10000);
}

TEST(ODEIntegrator, NextStepBelowTheMinimumRaisesStepTooSmall) {
    TToy toy{[](const TStateVector&, TStateVector& d, double x) { d[1] = std::cos(100 * x); }};
    EXPECT_EQ(IntegratorFailure(toy, 0.5), "Step size too small in routine ODEIntegrator");
}

TEST(ODEIntegrator, NonFiniteErrorNeverAcceptsAStep) {
    // A derivative that blows up to infinity away from the start point must
    // not hand back infinities as an accepted result.
    TToy toy{[](const TStateVector&, TStateVector& d, double x) {
        d[1] = x > 0.0 ? HUGE_VAL : 0.0;
    }};
    EXPECT_EQ(IntegratorFailure(toy, 1e-4), "Step size too small in routine RKQualityControl");
}

}  // namespace
}  // namespace orvane
