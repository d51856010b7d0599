#include "solver/step_integrator.h"

#include "io/numfmt.h"
#include "solver/cvode_integrator.h"

namespace orvane {

TStepIntegrator::TStepIntegrator(const TIntegratorChoice& choice, const TDerivativeAdapter& derivs,
                                 double tolerance)
    : choice_(choice), derivs_(derivs), tolerance_(tolerance) {
    if (choice_.kind == TIntegratorKind::Cvode) {
        cvode_ = std::make_unique<TCvodeIntegrator>(derivs.numstate, choice_.rtol, choice_.atol);
    }
}

TStepIntegrator::~TStepIntegrator() = default;

void TStepIntegrator::Integrate(TStateVector& y, double x1, double x2, double h1, double hmin) {
    if (cvode_) {
        cvode_->Integrate(y, x1, x2, derivs_.Bind());
        return;
    }
    int nok = 0;
    int nbad = 0;
    ODEIntegrator(y, derivs_.numstate, x1, x2, tolerance_, h1, hmin, derivs_, nok, nbad);
}

std::string IntegratorDescription(const TIntegratorChoice& choice, double tolerance) {
    if (choice.kind == TIntegratorKind::Cvode) {
        return "CVODE BDF, rtol " + FormatGeneral(choice.rtol) + ", atol " +
               FormatGeneral(choice.atol);
    }
    return "Runge-Kutta, tolerance " + FormatGeneral(tolerance);
}

bool ParseIntegratorName(std::string_view name, TIntegratorKind& kind) {
    if (name == "rk") {
        kind = TIntegratorKind::RungeKutta;
    } else if (name == "cvode") {
        kind = TIntegratorKind::Cvode;
    } else {
        return false;
    }
    return true;
}

}  // namespace orvane
