// Which integrator a run uses. The adaptive Runge-Kutta integrator is the
// default everywhere; the BDF method of CVODE is chosen by the command-line
// runner and the analyses only.
#pragma once

namespace orvane {

enum class TIntegratorKind { RungeKutta, Cvode };

struct TIntegratorChoice {
    TIntegratorKind kind = TIntegratorKind::RungeKutta;
    // CVODE's relative and absolute tolerances (the Runge-Kutta integrator
    // takes the run's Tolerance instead). The defaults keep every state of
    // the shipped sites within 1e-8 of the Runge-Kutta run over 1000 years.
    double rtol = 1e-11;
    double atol = 1e-11;
};

}  // namespace orvane
