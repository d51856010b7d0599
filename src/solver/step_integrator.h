// One outer step of a run, integrated by the integrator the run has chosen.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "model/integrator_choice.h"
#include "solver/integrator.h"

namespace orvane {

class TCvodeIntegrator;

class TStepIntegrator {
public:
    // `tolerance` is the Runge-Kutta integrator's accuracy (the run's
    // Tolerance). Raises ERunTimeError for CVODE tolerances that are not
    // numbers greater than 0.
    TStepIntegrator(const TIntegratorChoice& choice, const TDerivativeAdapter& derivs,
                    double tolerance);
    ~TStepIntegrator();

    // Integrates y from x1 to x2 with the drivers the adapter sees now; h1
    // and hmin are the Runge-Kutta integrator's first trial and smallest
    // steps. Errors pass on, y keeping its entry values.
    void Integrate(TStateVector& y, double x1, double x2, double h1, double hmin);

private:
    TIntegratorChoice choice_;
    const TDerivativeAdapter& derivs_;
    double tolerance_;
    std::unique_ptr<TCvodeIntegrator> cvode_;
};

// "Runge-Kutta, tolerance 1E-8" or "CVODE BDF, rtol 1E-10, atol 1E-10".
std::string IntegratorDescription(const TIntegratorChoice& choice, double tolerance);

// The name of an integrator as the runner and experiment files give it:
// "rk" or "cvode". False for any other name.
bool ParseIntegratorName(std::string_view name, TIntegratorKind& kind);

}  // namespace orvane
