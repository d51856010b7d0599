#include "solver/integrator.h"

namespace orvane {

void TDerivativeAdapter::operator()(const TStateVector& y, TStateVector& dydx, double x) const {
    // The model replaces negative states by a small positive value in the
    // array it is given; that must be this copy, never the integrator's own
    // vector or the global states.
    statearray temp = statesTemplate;
    for (int i = 1; i <= numstate; ++i) temp[i].value = y[i];
    EvaluateModel(drivers, params, temp, x, scratch, false, context);
    for (int i = 1; i <= numstate; ++i) dydx[i] = scratch[i].value;
}

void ODEIntegrator(TStateVector& ystart, int n, double x1, double x2, double eps, double h1,
                   double hmin, const TDerivativeAdapter& derivs, int& nok, int& nbad) {
    ODEIntegrator<TDerivativeAdapter>(ystart, n, x1, x2, eps, h1, hmin, derivs, nok, nbad);
}

}  // namespace orvane
