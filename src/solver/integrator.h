// Adaptive fourth-order Runge-Kutta integration with step doubling.
//
// The three routines are templates on the derivative function so that they
// can be exercised on small test problems; the model itself goes through
// TDerivativeAdapter. A derivative function is any callable
//     void derivs(const TStateVector& y, TStateVector& dydx, double x)
// that fills dydx[1..n] from y[1..n] at time x. All working vectors are
// fixed-size and live on the stack.
#pragma once

#include <cmath>

#include "model/bound_model.h"
#include "model/equations.h"
#include "model/errors.h"
#include "model/stypes.h"

namespace orvane {

// The model's derivatives at fixed drivers and parameters, for one
// integration: see TBoundModel.
struct TBoundDerivatives {
    TBoundModel model;
    void operator()(const TStateVector& y, TStateVector& dydx, double /*x*/) const {
        model.Derivatives(y, dydx);
    }
};

// Turns a state vector into its derivatives by evaluating the model at the
// drivers and parameters the arrays hold at that moment, with the
// HoldConstant flags of the template states. Neither the template nor the
// global processes are touched, and a negative trial value is replaced by
// 1e-05 inside the evaluation only.
//
// The arrays are referred to, not copied: a run changes the drivers between
// its outer steps, and each integration sees the drivers of its own step.
// Bind() takes what an integration needs once, at its start.
struct TDerivativeAdapter {
    const drivearray& drivers;
    const paramarray& params;
    const statearray& statesTemplate;  // the global States
    int numstate;
    TEvalContext context{};

    TDerivativeAdapter(const drivearray& drivers_, const paramarray& params_,
                       const statearray& statesTemplate_, int numstate_,
                       const TEvalContext& context_ = {})
        : drivers(drivers_), params(params_), statesTemplate(statesTemplate_),
          numstate(numstate_), context(context_) {}

    // The model bound to the drivers and parameters as they are now.
    TBoundDerivatives Bind() const {
        return TBoundDerivatives{TBoundModel(drivers, params, statesTemplate, context)};
    }

    void operator()(const TStateVector& y, TStateVector& dydx, double x) const {
        Bind()(y, dydx, x);
    }
};

namespace rk {

inline constexpr int MaxSteps = 10000;
inline constexpr double Tiny = 1e-30;
inline constexpr double Safety = 0.9;
inline constexpr double Shrink = -0.1;
inline constexpr double Grow = -0.2;
inline constexpr double ErrCon = 0.0006;  // at or below: grow by MaxGrowth
inline constexpr double MaxGrowth = 4.0;
inline constexpr double Extrapolate = 0.06666666;

}  // namespace rk

// One classic fourth-order step of size h from x, given dydx at x.
template <class Derivs>
void RKStep(const TStateVector& y, const TStateVector& dydx, int n, double x, double h,
            const Derivs& derivs, TStateVector& yout) {
    const double hh = h * 0.5;
    const double h6 = h / 6.0;
    const double xh = x + hh;
    TStateVector yt{};  // entries past n stay defined for derivatives that read them all
    TStateVector dyt;
    TStateVector dym;
    for (int i = 1; i <= n; ++i) yt[i] = y[i] + hh * dydx[i];
    derivs(yt, dyt, xh);
    for (int i = 1; i <= n; ++i) yt[i] = y[i] + hh * dyt[i];
    derivs(yt, dym, xh);
    for (int i = 1; i <= n; ++i) {
        yt[i] = y[i] + h * dym[i];
        dym[i] += dyt[i];
    }
    derivs(yt, dyt, x + h);
    for (int i = 1; i <= n; ++i) yout[i] = y[i] + h6 * (dydx[i] + dyt[i] + 2.0 * dym[i]);
}

// One step of accepted accuracy starting with the trial size htry: compares
// one full step with two half steps and adds the extrapolated difference.
// On return x has advanced by hdid, y holds the new values and dydx the
// derivatives at the midpoint of the last trial. A division by zero in a
// trial halves the step and tries again.
template <class Derivs>
void RKQualityControl(TStateVector& y, TStateVector& dydx, int n, double& x, double htry,
                      double eps, const TStateVector& yscal, const Derivs& derivs, double& hdid,
                      double& hnext) {
    const double xsav = x;
    const TStateVector ysav = y;
    const TStateVector dysav = dydx;
    TStateVector ytemp;
    double h = htry;
    for (;;) {
        bool halve = false;
        try {
            const double hh = h * 0.5;
            RKStep(ysav, dysav, n, xsav, hh, derivs, ytemp);
            x = xsav + hh;
            derivs(ytemp, dydx, x);
            RKStep(ytemp, dydx, n, x, hh, derivs, y);
            x = xsav + h;
            if (x == xsav) throw EStepTooSmall(MsgStepTooSmallQC);
            RKStep(ysav, dysav, n, xsav, h, derivs, ytemp);
            double errmax = 0.0;
            for (int i = 1; i <= n; ++i) {
                ytemp[i] = y[i] - ytemp[i];
                const double e = std::fabs(ytemp[i] / yscal[i]);
                if (e > errmax || std::isnan(e)) errmax = e;
            }
            errmax /= eps;
            if (errmax <= 1.0) {
                hdid = h;
                hnext = errmax > rk::ErrCon ? rk::Safety * h * std::pow(errmax, rk::Grow)
                                            : rk::MaxGrowth * h;
                break;
            }
            if (std::isfinite(errmax)) {
                h = rk::Safety * h * std::pow(errmax, rk::Shrink);
            } else {
                // An error ratio that is not a number would give a step that
                // is not a number, and the loop would never end.
                halve = true;
            }
        } catch (const EZeroDivide&) {
            halve = true;
        }
        if (halve) {
            h *= 0.5;
            // Without this a derivative that divides by zero however small the
            // step would halve it for ever.
            if (xsav + h == xsav) throw EStepTooSmall(MsgStepTooSmallQC);
        }
    }
    for (int i = 1; i <= n; ++i) y[i] += ytemp[i] * rk::Extrapolate;
}

// Integrates ystart[1..n] from x1 to x2 (backwards when x2 < x1), with first
// trial step |h1| and minimum step hmin. Raises EStepTooSmall or
// ETooManySteps, and lets any other error of the derivatives pass out; in
// every such case ystart keeps its entry values. nok counts steps taken at
// their full trial size, nbad those that had to be reduced.
template <class Derivs>
void ODEIntegrator(TStateVector& ystart, int n, double x1, double x2, double eps, double h1,
                   double hmin, const Derivs& derivs, int& nok, int& nbad) {
    nok = 0;
    nbad = 0;
    if (x1 == x2) return;  // nothing to integrate over
    double x = x1;
    double h = x2 > x1 ? std::fabs(h1) : -std::fabs(h1);
    TStateVector y = ystart;
    TStateVector dydx;
    TStateVector yscal;
    for (int step = 0; step < rk::MaxSteps; ++step) {
        derivs(y, dydx, x);
        for (int i = 1; i <= n; ++i) {
            const double s = std::fabs(y[i]) > eps ? std::fabs(y[i]) : std::fabs(eps);
            yscal[i] = s + std::fabs(dydx[i] * h) + rk::Tiny;
        }
        if ((x + h - x2) * (x + h - x1) > 0.0) h = x2 - x;
        double hdid = 0.0;
        double hnext = 0.0;
        RKQualityControl(y, dydx, n, x, h, eps, yscal, derivs, hdid, hnext);
        if (hdid == h) {
            ++nok;
        } else {
            ++nbad;
        }
        if ((x - x2) * (x2 - x1) >= 0.0) {
            ystart = y;
            return;
        }
        if (std::fabs(hnext) < hmin) throw EStepTooSmall(MsgStepTooSmallODE);
        h = hnext;
    }
    throw ETooManySteps(MsgTooManySteps);
}

// The model's integrator: binds the adapter for the whole integration, during
// which neither drivers nor parameters can change.
void ODEIntegrator(TStateVector& ystart, int n, double x1, double x2, double eps, double h1,
                   double hmin, const TDerivativeAdapter& derivs, int& nok, int& nbad);

}  // namespace orvane
