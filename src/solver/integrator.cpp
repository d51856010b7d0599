#include "solver/integrator.h"

namespace orvane {

void ODEIntegrator(TStateVector& ystart, int n, double x1, double x2, double eps, double h1,
                   double hmin, const TDerivativeAdapter& derivs, int& nok, int& nbad) {
    const TBoundDerivatives bound = derivs.Bind();
    ODEIntegrator<TBoundDerivatives>(ystart, n, x1, x2, eps, h1, hmin, bound, nok, nbad);
}

}  // namespace orvane
