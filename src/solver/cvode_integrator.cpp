#include "solver/cvode_integrator.h"

#include <cvode/cvode.h>
#include <sunmatrix/sunmatrix_dense.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "io/numfmt.h"
#include "model/errors.h"
#include "solver/cvode_kernels.h"

namespace orvane {

namespace {

// More steps than any outer step of a sensible run needs: a limit only
// against a method that has stalled.
constexpr long MaxStepsPerOuterStep = 100000;

struct TCallbackData {
    const TBoundDerivatives* derivs = nullptr;
    int numstate = 0;
    void* mem = nullptr;
    std::exception_ptr modelError;  // of the last evaluation, when it failed
    std::string solverMessage;      // CVODE's last message
    long evaluations = 0;
    // The Jacobian (column-major), and whether it may stand in for a fresh
    // one at the first request after a restart.
    std::vector<double> jacobian;
    bool haveJacobian = false;
    bool firstSetupSinceRestart = true;
};

// Evaluates the model for CVODE. Errors cannot pass through the C library:
// they are kept and raised again after CVode returns. A division by zero is
// recoverable, as in the Runge-Kutta integrator, where it halves the step:
// CVODE retries with a smaller one. Anything else stops it.
int Evaluate(TCallbackData& data, const TStateVector& y, TStateVector& dydx) {
    ++data.evaluations;
    try {
        (*data.derivs)(y, dydx, 0.0);
    } catch (const EZeroDivide&) {
        data.modelError = std::current_exception();
        return 1;
    } catch (...) {
        data.modelError = std::current_exception();
        return -1;
    }
    data.modelError = nullptr;
    return 0;
}

TStateVector StateVector(const TCallbackData& data, N_Vector v) {
    TStateVector y{};
    const sunrealtype* in = N_VGetArrayPointer(v);
    for (int i = 1; i <= data.numstate; ++i) y[i] = in[i - 1];
    return y;
}

int Rhs(sunrealtype, N_Vector y, N_Vector ydot, void* user) {
    auto& data = *static_cast<TCallbackData*>(user);
    TStateVector dydx{};
    if (const int r = Evaluate(data, StateVector(data, y), dydx)) return r;
    sunrealtype* out = N_VGetArrayPointer(ydot);
    for (int i = 1; i <= data.numstate; ++i) out[i - 1] = dydx[i];
    return 0;
}

// The Newton matrix I - gamma J. J comes from differences of the model's
// derivatives, with the increments of CVODE's own difference quotients, and
// is kept as long as CVODE allows. After a restart CVODE asks for a fresh
// one; the one of the step before, at drivers a year apart, serves as well
// for Newton's method, and CVODE asks again if it does not converge.
int LinSys(sunrealtype, N_Vector y, N_Vector fy, SUNMatrix A, sunbooleantype jok,
           sunbooleantype* jcur, sunrealtype gamma, void* user, N_Vector ewt, N_Vector, N_Vector) {
    auto& data = *static_cast<TCallbackData*>(user);
    const int n = data.numstate;
    const bool reuse = data.haveJacobian && (jok || data.firstSetupSinceRestart);
    data.firstSetupSinceRestart = false;
    *jcur = reuse ? SUNFALSE : SUNTRUE;
    if (!reuse) {
        data.haveJacobian = false;
        sunrealtype h = 0;
        if (CVodeGetErrWeights(data.mem, ewt) < 0 || CVodeGetCurrentStep(data.mem, &h) < 0)
            return -1;
        const double uround = std::numeric_limits<double>::epsilon();
        const double fnorm = N_VWrmsNorm(fy, ewt);
        const double minInc = fnorm != 0 ? 1000 * std::fabs(h) * uround * n * fnorm : 1.0;
        const double srur = std::sqrt(uround);
        const sunrealtype* w = N_VGetArrayPointer(ewt);
        const sunrealtype* f = N_VGetArrayPointer(fy);
        TStateVector yj = StateVector(data, y);
        TStateVector fj{};
        for (int j = 1; j <= n; ++j) {
            const double saved = yj[j];
            const double inc = std::max(srur * std::fabs(saved), minInc / w[j - 1]);
            yj[j] = saved + inc;
            if (const int r = Evaluate(data, yj, fj)) return r;
            yj[j] = saved;
            double* column = &data.jacobian[static_cast<std::size_t>((j - 1) * n)];
            for (int i = 1; i <= n; ++i) column[i - 1] = (fj[i] - f[i - 1]) / inc;
        }
        data.haveJacobian = true;
    }
    sunrealtype* a = SUNDenseMatrix_Data(A);
    for (int k = 0; k < n * n; ++k) a[k] = -gamma * data.jacobian[static_cast<std::size_t>(k)];
    for (int i = 0; i < n; ++i) a[i * n + i] += 1.0;
    return 0;
}

// CVODE's messages are kept for the error raised afterwards, not printed.
void KeepMessage(int, const char*, const char*, char* message, void* user) {
    static_cast<TCallbackData*>(user)->solverMessage = message;
}

void Check(int flag, const char* what) {
    if (flag < 0) {
        throw EIntegratorError(std::string("CVODE could not be set up (") + what + ", " +
                               std::to_string(flag) + ").");
    }
}

}  // namespace

struct TCvodeIntegrator::TImpl {
    int numstate;
    SUNContext context = nullptr;
    N_Vector y = nullptr;
    SUNMatrix matrix = nullptr;
    SUNLinearSolver solver = nullptr;
    void* mem = nullptr;
    TCallbackData data;
    // Where the last integration ended, with what model: the next one goes
    // on from there without a restart only if nothing has changed.
    bool started = false;
    double lastX2 = 0;
    TStateVector lastY{};
    std::optional<TBoundModel> lastModel;

    TImpl(int n, double rtol, double atol) : numstate(n) {
        data.numstate = n;
        data.jacobian.assign(static_cast<std::size_t>(n * n), 0.0);
        try {
            Check(SUNContext_Create(nullptr, &context), "context");
            y = cvode::NewVector(n, context);
            matrix = SUNDenseMatrix(n, n, context);
            if (!y || !matrix) Check(-1, "vector");
            solver = cvode::NewDenseLU(n, context);
            mem = CVodeCreate(CV_BDF, context);
            if (!solver || !mem) Check(-1, "solver");
            data.mem = mem;
            Check(CVodeInit(mem, Rhs, 0.0, y), "CVodeInit");
            Check(CVodeSetErrHandlerFn(mem, KeepMessage, &data), "error handler");
            Check(CVodeSetUserData(mem, &data), "user data");
            Check(CVodeSStolerances(mem, rtol, atol), "tolerances");
            Check(CVodeSetLinearSolver(mem, solver, matrix), "linear solver");
            Check(CVodeSetLinSysFn(mem, LinSys), "linear system");
            Check(CVodeSetMaxNumSteps(mem, MaxStepsPerOuterStep), "maximum steps");
        } catch (...) {
            Free();
            throw;
        }
    }

    ~TImpl() { Free(); }

    void Free() {
        if (mem) CVodeFree(&mem);
        if (solver) SUNLinSolFree(solver);
        if (matrix) SUNMatDestroy(matrix);
        if (y) N_VDestroy(y);
        if (context) SUNContext_Free(&context);
        solver = nullptr;
        matrix = nullptr;
        y = nullptr;
    }

    bool GoesOn(const TStateVector& y0, double x1, const TBoundModel& model) const {
        if (!started || x1 != lastX2 || !lastModel || !lastModel->SameModelAs(model)) return false;
        for (int i = 1; i <= numstate; ++i) {
            if (std::memcmp(&y0[i], &lastY[i], sizeof(double)) != 0) return false;
        }
        return true;
    }
};

TCvodeIntegrator::TCvodeIntegrator(int numstate, double rtol, double atol) {
    if (!(rtol > 0) || !std::isfinite(rtol) || !(atol > 0) || !std::isfinite(atol)) {
        throw ERunTimeError("The tolerances of CVODE must be numbers greater than 0.");
    }
    impl_ = std::make_unique<TImpl>(numstate, rtol, atol);
}

TCvodeIntegrator::~TCvodeIntegrator() = default;

void TCvodeIntegrator::Integrate(TStateVector& y, double x1, double x2,
                                 const TBoundDerivatives& derivs) {
    TImpl& m = *impl_;
    m.data.derivs = &derivs;
    m.data.modelError = nullptr;
    // The method's history must not reach back across a change of the
    // drivers (or of anything else): then it begins afresh at x1. Where the
    // step before ended with the same model at these very states, the
    // equations have not changed and it goes on.
    if (!m.GoesOn(y, x1, derivs.model)) {
        sunrealtype* v = N_VGetArrayPointer(m.y);
        for (int i = 1; i <= m.numstate; ++i) v[i - 1] = y[i];
        Check(CVodeReInit(m.mem, x1, m.y), "CVodeReInit");
        m.data.firstSetupSinceRestart = true;
    }
    m.started = false;  // until this integration has succeeded
    Check(CVodeSetStopTime(m.mem, x2), "stop time");
    sunrealtype reached = x1;
    const int flag = CVode(m.mem, x2, m.y, &reached, CV_NORMAL);
    m.data.derivs = nullptr;
    if (flag < 0) {
        if (m.data.modelError) std::rethrow_exception(m.data.modelError);
        char* name = CVodeGetReturnFlagName(flag);
        const std::string flagName = name ? name : std::to_string(flag);
        std::free(name);
        throw EIntegratorError("CVODE failed between times " + FormatGeneral(x1) + " and " +
                               FormatGeneral(x2) + " (" + flagName + "): " +
                               m.data.solverMessage);
    }
    const sunrealtype* v = N_VGetArrayPointer(m.y);
    for (int i = 1; i <= m.numstate; ++i) y[i] = v[i - 1];
    m.started = true;
    m.lastX2 = x2;
    m.lastY = y;
    m.lastModel = derivs.model;
}

long TCvodeIntegrator::Evaluations() const { return impl_->data.evaluations; }

}  // namespace orvane
