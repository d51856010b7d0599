#include "solver/integrator.h"

namespace orvane {

void TDerivativeAdapter::operator()(const TStateVector& y, TStateVector& dydx, double x) const {
    // The model replaces negative states by a small positive value in the
    // array it is given; that must be this copy, never the integrator's own
    // vector or the global states.
    for (int i = 1; i <= numstate; ++i) states_[i].value = y[i];
    EvaluateModel(drivers, params, states_, x, processes_, false, context);
    for (int i = 1; i <= numstate; ++i) dydx[i] = processes_[i].value;
}

void ODEIntegrator(TStateVector& ystart, int n, double x1, double x2, double eps, double h1,
                   double hmin, const TDerivativeAdapter& derivs, int& nok, int& nbad) {
    ODEIntegrator<TDerivativeAdapter>(ystart, n, x1, x2, eps, h1, hmin, derivs, nok, nbad);
}

}  // namespace orvane
