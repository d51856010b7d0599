// The model: every process and state derivative from drivers, parameters
// and states.
#pragma once

#include "model/stypes.h"

namespace orvane {

// What the model reads of the program's modes: it raises its insoluble C:N
// error only outside batch mode, while the steady-state window is showing and
// the steady-state solver is in its final evaluation.
struct TEvalContext {
    bool ModelBatch = false;
    bool CalcFormShowing = false;
    bool FinalPass = false;
};

// Computes processes 1..126 (value fields only). Negative or NaN states are
// replaced by 1e-05 in `states` first. A floating-point fault raises
// EZeroDivide / EInvalidOp / EOverflow (the first fault in evaluation order)
// and then no process value is written. `time` and `flag` change nothing.
// Allocates nothing.
//
// The floating-point status flags the caller had raised before the call are
// the same after it, whether it succeeds or throws.
void EvaluateModel(const drivearray& drivers, const paramarray& params, statearray& states,
                   double time, processarray& processes, bool flag,
                   const TEvalContext& context = {});

// Potential of the stem node of the plant's conductance network, from the
// foliage-stem and stem-root conductances Ka and Kb, the pool conductances
// Kf, Kw, Kr and the net sources If, Iw, Ir at the three nodes.
double StemVoltage(double Ka, double Kb, double Kf, double Kw, double Kr, double If, double Iw,
                   double Ir);

// Decomposition moisture factor at soil water Wx: 1 at Wopt, Fmax at Wmin
// and at the matching distance on the wet side of the optimum.
double MoistureFactor(double Wx, double Wopt, double Wmin, double Fmax, double phi);

}  // namespace orvane
