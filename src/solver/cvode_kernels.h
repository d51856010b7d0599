// The vector and the dense linear solver through which CVODE works on the
// model, built with the program. The distribution's own SUNDIALS serial
// vector and dense solver are compiled without optimisation; at 19 states
// their loops and calls, not the model, would take most of CVODE's time.
#pragma once

#include <sundials/sundials_linearsolver.h>
#include <sundials/sundials_nvector.h>

namespace orvane::cvode {

// A serial vector of `length` doubles with every operation CVODE uses,
// the fused ones included. N_VGetArrayPointer gives its data.
N_Vector NewVector(sunindextype length, SUNContext context);

// LU with partial pivoting of a dense SUNMatrix (column-major, n x n):
// factorised at setup, solved at each Newton iteration.
SUNLinearSolver NewDenseLU(sunindextype n, SUNContext context);

}  // namespace orvane::cvode
