// Adaptive fourth-order Runge-Kutta integration with step doubling.
#pragma once

#include "model/equations.h"
#include "model/stypes.h"

namespace orvane {

// Turns a state vector into its derivatives by evaluating the model on a
// copy of the template states (names and HoldConstant flags come along).
struct TDerivativeAdapter {
    const drivearray& drivers;
    const paramarray& params;
    const statearray& statesTemplate;  // the global States
    int numstate;
    TEvalContext context{};

    void operator()(const TStateVector& y, TStateVector& dydx, double x) const;
};

// Integrates ystart[1..n] from x1 to x2. Raises EStepTooSmall or
// ETooManySteps (ystart then keeps its entry values); other errors of the
// model pass out unchanged.
void ODEIntegrator(TStateVector& ystart, int n, double x1, double x2, double eps, double h1,
                   double hmin, const TDerivativeAdapter& derivs, int& nok, int& nbad);

}  // namespace orvane
