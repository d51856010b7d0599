// The model integrated by CVODE's variable-order BDF method with a dense
// Newton solver: far fewer evaluations than the Runge-Kutta integrator on
// these stiff sites, at tolerances the caller chooses.
#pragma once

#include <memory>

#include "model/stypes.h"
#include "solver/integrator.h"

namespace orvane {

// One per run: the solver's memory is made once and restarted at every
// outer step, since the drivers change at step boundaries and the method's
// history must not reach across them.
class TCvodeIntegrator {
public:
    // Raises ERunTimeError for tolerances that are not positive numbers.
    TCvodeIntegrator(int numstate, double rtol, double atol);
    ~TCvodeIntegrator();
    TCvodeIntegrator(const TCvodeIntegrator&) = delete;
    TCvodeIntegrator& operator=(const TCvodeIntegrator&) = delete;

    // Integrates y[1..numstate] from x1 to x2 (> x1) with the model as bound
    // for this step, and replaces y with the values at x2. A model error
    // that ends the integration is raised again as it is (its kind and
    // message); a failure of the solver itself raises ERunTimeError telling
    // when and why. In either case y keeps its entry values.
    void Integrate(TStateVector& y, double x1, double x2, const TBoundDerivatives& derivs);

    // Model evaluations so far, those for the Jacobian included.
    long Evaluations() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

}  // namespace orvane
