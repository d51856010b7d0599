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
void EvaluateModel(const drivearray& drivers, const paramarray& params, statearray& states,
                   double time, processarray& processes, bool flag,
                   const TEvalContext& context = {});

}  // namespace orvane
