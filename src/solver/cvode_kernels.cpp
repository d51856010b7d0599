#include "solver/cvode_kernels.h"

#include <sunmatrix/sunmatrix_dense.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace orvane::cvode {

namespace {

// ---- Vector ---------------------------------------------------------------

struct TVector {
    sunindextype n = 0;
    double* data = nullptr;
    bool owned = false;
};

TVector& Of(N_Vector v) { return *static_cast<TVector*>(v->content); }
double* D(N_Vector v) { return Of(v).data; }
sunindextype Len(N_Vector v) { return Of(v).n; }

N_Vector CloneEmpty(N_Vector w) {
    N_Vector v = N_VNewEmpty(w->sunctx);
    if (!v) return nullptr;
    if (N_VCopyOps(w, v) != 0) {
        N_VFreeEmpty(v);
        return nullptr;
    }
    auto* content = new TVector;
    content->n = Len(w);
    v->content = content;
    return v;
}

N_Vector Clone(N_Vector w) {
    N_Vector v = CloneEmpty(w);
    if (!v) return nullptr;
    Of(v).data = new double[static_cast<std::size_t>(Len(w))];
    Of(v).owned = true;
    return v;
}

void Destroy(N_Vector v) {
    if (!v) return;
    if (v->content) {
        if (Of(v).owned) delete[] Of(v).data;
        delete static_cast<TVector*>(v->content);
        v->content = nullptr;
    }
    N_VFreeEmpty(v);
}

N_Vector_ID Id(N_Vector) { return SUNDIALS_NVEC_CUSTOM; }
void Space(N_Vector v, sunindextype* lrw, sunindextype* liw) {
    *lrw = Len(v);
    *liw = 2;
}
sunrealtype* ArrayPointer(N_Vector v) { return D(v); }
void SetArrayPointer(sunrealtype* data, N_Vector v) { Of(v).data = data; }
sunindextype Length(N_Vector v) { return Len(v); }

void LinearSum(sunrealtype a, N_Vector x, sunrealtype b, N_Vector y, N_Vector z) {
    const double *xd = D(x), *yd = D(y);
    double* zd = D(z);
    for (sunindextype i = 0, n = Len(z); i < n; ++i) zd[i] = a * xd[i] + b * yd[i];
}
void Const(sunrealtype c, N_Vector z) { std::fill_n(D(z), Len(z), c); }
void Prod(N_Vector x, N_Vector y, N_Vector z) {
    for (sunindextype i = 0, n = Len(z); i < n; ++i) D(z)[i] = D(x)[i] * D(y)[i];
}
void Div(N_Vector x, N_Vector y, N_Vector z) {
    for (sunindextype i = 0, n = Len(z); i < n; ++i) D(z)[i] = D(x)[i] / D(y)[i];
}
void Scale(sunrealtype c, N_Vector x, N_Vector z) {
    for (sunindextype i = 0, n = Len(z); i < n; ++i) D(z)[i] = c * D(x)[i];
}
void Abs(N_Vector x, N_Vector z) {
    for (sunindextype i = 0, n = Len(z); i < n; ++i) D(z)[i] = std::fabs(D(x)[i]);
}
void Inv(N_Vector x, N_Vector z) {
    for (sunindextype i = 0, n = Len(z); i < n; ++i) D(z)[i] = 1.0 / D(x)[i];
}
void AddConst(N_Vector x, sunrealtype b, N_Vector z) {
    for (sunindextype i = 0, n = Len(z); i < n; ++i) D(z)[i] = D(x)[i] + b;
}
sunrealtype DotProd(N_Vector x, N_Vector y) {
    double s = 0;
    for (sunindextype i = 0, n = Len(x); i < n; ++i) s += D(x)[i] * D(y)[i];
    return s;
}
sunrealtype MaxNorm(N_Vector x) {
    double m = 0;
    for (sunindextype i = 0, n = Len(x); i < n; ++i) m = std::max(m, std::fabs(D(x)[i]));
    return m;
}
sunrealtype WSqrSum(N_Vector x, N_Vector w) {
    double s = 0;
    for (sunindextype i = 0, n = Len(x); i < n; ++i) {
        const double p = D(x)[i] * D(w)[i];
        s += p * p;
    }
    return s;
}
sunrealtype WSqrSumMask(N_Vector x, N_Vector w, N_Vector id) {
    double s = 0;
    for (sunindextype i = 0, n = Len(x); i < n; ++i) {
        if (D(id)[i] > 0) {
            const double p = D(x)[i] * D(w)[i];
            s += p * p;
        }
    }
    return s;
}
sunrealtype WrmsNorm(N_Vector x, N_Vector w) {
    return std::sqrt(WSqrSum(x, w) / static_cast<double>(Len(x)));
}
sunrealtype WrmsNormMask(N_Vector x, N_Vector w, N_Vector id) {
    return std::sqrt(WSqrSumMask(x, w, id) / static_cast<double>(Len(x)));
}
sunrealtype WL2Norm(N_Vector x, N_Vector w) { return std::sqrt(WSqrSum(x, w)); }
sunrealtype Min(N_Vector x) {
    double m = D(x)[0];
    for (sunindextype i = 1, n = Len(x); i < n; ++i) m = std::min(m, D(x)[i]);
    return m;
}
sunrealtype L1Norm(N_Vector x) {
    double s = 0;
    for (sunindextype i = 0, n = Len(x); i < n; ++i) s += std::fabs(D(x)[i]);
    return s;
}
void Compare(sunrealtype c, N_Vector x, N_Vector z) {
    for (sunindextype i = 0, n = Len(z); i < n; ++i) D(z)[i] = std::fabs(D(x)[i]) >= c ? 1.0 : 0.0;
}
sunbooleantype InvTest(N_Vector x, N_Vector z) {
    bool ok = true;
    for (sunindextype i = 0, n = Len(z); i < n; ++i) {
        if (D(x)[i] == 0.0) {
            ok = false;
        } else {
            D(z)[i] = 1.0 / D(x)[i];
        }
    }
    return ok ? SUNTRUE : SUNFALSE;
}
// Constraint codes: 2 means > 0, 1 means >= 0, -1 means <= 0, -2 means < 0.
sunbooleantype ConstrMask(N_Vector c, N_Vector x, N_Vector m) {
    bool ok = true;
    for (sunindextype i = 0, n = Len(x); i < n; ++i) {
        const double ci = D(c)[i], xi = D(x)[i];
        bool bad = false;
        if (ci == 2.0) bad = !(xi > 0);
        else if (ci == 1.0) bad = !(xi >= 0);
        else if (ci == -1.0) bad = !(xi <= 0);
        else if (ci == -2.0) bad = !(xi < 0);
        D(m)[i] = bad ? 1.0 : 0.0;
        ok = ok && !bad;
    }
    return ok ? SUNTRUE : SUNFALSE;
}
sunrealtype MinQuotient(N_Vector num, N_Vector denom) {
    double m = SUN_BIG_REAL;  // no quotient at all
    for (sunindextype i = 0, n = Len(num); i < n; ++i) {
        if (D(denom)[i] != 0.0) m = std::min(m, D(num)[i] / D(denom)[i]);
    }
    return m;
}

// Fused operations; each output element depends only on the same element of
// the inputs, so an output may be one of the inputs.
int LinearCombination(int nv, sunrealtype* c, N_Vector* X, N_Vector z) {
    for (sunindextype i = 0, n = Len(z); i < n; ++i) {
        double s = 0;
        for (int k = 0; k < nv; ++k) s += c[k] * D(X[k])[i];
        D(z)[i] = s;
    }
    return 0;
}
int ScaleAddMulti(int nv, sunrealtype* a, N_Vector x, N_Vector* Y, N_Vector* Z) {
    for (int k = 0; k < nv; ++k) LinearSum(a[k], x, 1.0, Y[k], Z[k]);
    return 0;
}
int DotProdMulti(int nv, N_Vector x, N_Vector* Y, sunrealtype* d) {
    for (int k = 0; k < nv; ++k) d[k] = DotProd(x, Y[k]);
    return 0;
}
int LinearSumVectorArray(int nv, sunrealtype a, N_Vector* X, sunrealtype b, N_Vector* Y,
                         N_Vector* Z) {
    for (int k = 0; k < nv; ++k) LinearSum(a, X[k], b, Y[k], Z[k]);
    return 0;
}
int ScaleVectorArray(int nv, sunrealtype* c, N_Vector* X, N_Vector* Z) {
    for (int k = 0; k < nv; ++k) Scale(c[k], X[k], Z[k]);
    return 0;
}
int ConstVectorArray(int nv, sunrealtype c, N_Vector* Z) {
    for (int k = 0; k < nv; ++k) Const(c, Z[k]);
    return 0;
}
int WrmsNormVectorArray(int nv, N_Vector* X, N_Vector* W, sunrealtype* m) {
    for (int k = 0; k < nv; ++k) m[k] = WrmsNorm(X[k], W[k]);
    return 0;
}
int ScaleAddMultiVectorArray(int nvec, int nsum, sunrealtype* a, N_Vector* X, N_Vector** Y,
                             N_Vector** Z) {
    for (int j = 0; j < nvec; ++j) {
        for (int k = 0; k < nsum; ++k) LinearSum(a[k], X[j], 1.0, Y[k][j], Z[k][j]);
    }
    return 0;
}
int LinearCombinationVectorArray(int nvec, int nsum, sunrealtype* c, N_Vector** X, N_Vector* Z) {
    N_Vector column[64];
    if (nsum > 64) return -1;
    for (int j = 0; j < nvec; ++j) {
        for (int k = 0; k < nsum; ++k) column[k] = X[k][j];
        LinearCombination(nsum, c, column, Z[j]);
    }
    return 0;
}

// ---- Dense LU ---------------------------------------------------------------
//
// Doolittle's elimination with partial pivoting on a column-major n x n
// matrix, unblocked: at this size blocking and library calls cost more
// than the arithmetic.

struct TDenseLU {
    explicit TDenseLU(sunindextype n)
        : n(n), lu(static_cast<std::size_t>(n * n)), pivot(static_cast<std::size_t>(n)) {}
    sunindextype n;
    std::vector<double> lu;
    std::vector<sunindextype> pivot;
    sunindextype last = 0;
};

TDenseLU& LU(SUNLinearSolver S) { return *static_cast<TDenseLU*>(S->content); }

SUNLinearSolver_Type LsType(SUNLinearSolver) { return SUNLINEARSOLVER_DIRECT; }
SUNLinearSolver_ID LsId(SUNLinearSolver) { return SUNLINEARSOLVER_CUSTOM; }
int LsInitialize(SUNLinearSolver) { return SUNLS_SUCCESS; }

int LsSetup(SUNLinearSolver S, SUNMatrix A) {
    TDenseLU& s = LU(S);
    const sunindextype n = s.n;
    double* a = s.lu.data();
    std::copy_n(SUNDenseMatrix_Data(A), n * n, a);
    for (sunindextype k = 0; k < n; ++k) {
        double* col = a + k * n;
        sunindextype p = k;
        for (sunindextype i = k + 1; i < n; ++i) {
            if (std::fabs(col[i]) > std::fabs(col[p])) p = i;
        }
        s.pivot[static_cast<std::size_t>(k)] = p;
        // A zero pivot: CVODE retries the step smaller, as with a singular
        // matrix in the library's own solver.
        if (col[p] == 0.0) {
            s.last = k + 1;
            return SUNLS_LUFACT_FAIL;
        }
        if (p != k) {
            for (sunindextype j = 0; j < n; ++j) std::swap(a[j * n + k], a[j * n + p]);
        }
        const double inv = 1.0 / col[k];
        for (sunindextype i = k + 1; i < n; ++i) col[i] *= inv;
        for (sunindextype j = k + 1; j < n; ++j) {
            double* cj = a + j * n;
            const double akj = cj[k];
            if (akj == 0.0) continue;
            for (sunindextype i = k + 1; i < n; ++i) cj[i] -= col[i] * akj;
        }
    }
    s.last = 0;
    return SUNLS_SUCCESS;
}

int LsSolve(SUNLinearSolver S, SUNMatrix, N_Vector x, N_Vector b, sunrealtype) {
    const TDenseLU& s = LU(S);
    const sunindextype n = s.n;
    const double* a = s.lu.data();
    double* xv = N_VGetArrayPointer(x);
    std::copy_n(N_VGetArrayPointer(b), n, xv);
    for (sunindextype k = 0; k < n; ++k) {
        const sunindextype p = s.pivot[static_cast<std::size_t>(k)];
        if (p != k) std::swap(xv[k], xv[p]);
    }
    // L y = P b (unit diagonal), then U x = y, column by column.
    for (sunindextype k = 0; k < n; ++k) {
        const double xk = xv[k];
        const double* col = a + k * n;
        for (sunindextype i = k + 1; i < n; ++i) xv[i] -= col[i] * xk;
    }
    for (sunindextype k = n - 1; k >= 0; --k) {
        const double* col = a + k * n;
        xv[k] /= col[k];
        const double xk = xv[k];
        for (sunindextype i = 0; i < k; ++i) xv[i] -= col[i] * xk;
    }
    return SUNLS_SUCCESS;
}

sunindextype LsLastFlag(SUNLinearSolver S) { return LU(S).last; }

int LsSpace(SUNLinearSolver S, long* lrw, long* liw) {
    *lrw = static_cast<long>(LU(S).lu.size());
    *liw = static_cast<long>(LU(S).pivot.size());
    return SUNLS_SUCCESS;
}

int LsFree(SUNLinearSolver S) {
    if (!S) return SUNLS_SUCCESS;
    delete static_cast<TDenseLU*>(S->content);
    S->content = nullptr;
    SUNLinSolFreeEmpty(S);
    return SUNLS_SUCCESS;
}

}  // namespace

N_Vector NewVector(sunindextype length, SUNContext context) {
    N_Vector v = N_VNewEmpty(context);
    if (!v) return nullptr;
    N_Vector_Ops o = v->ops;
    o->nvgetvectorid = Id;
    o->nvclone = Clone;
    o->nvcloneempty = CloneEmpty;
    o->nvdestroy = Destroy;
    o->nvspace = Space;
    o->nvgetarraypointer = ArrayPointer;
    o->nvsetarraypointer = SetArrayPointer;
    o->nvgetlength = Length;
    o->nvlinearsum = LinearSum;
    o->nvconst = Const;
    o->nvprod = Prod;
    o->nvdiv = Div;
    o->nvscale = Scale;
    o->nvabs = Abs;
    o->nvinv = Inv;
    o->nvaddconst = AddConst;
    o->nvdotprod = DotProd;
    o->nvmaxnorm = MaxNorm;
    o->nvwrmsnorm = WrmsNorm;
    o->nvwrmsnormmask = WrmsNormMask;
    o->nvmin = Min;
    o->nvwl2norm = WL2Norm;
    o->nvl1norm = L1Norm;
    o->nvcompare = Compare;
    o->nvinvtest = InvTest;
    o->nvconstrmask = ConstrMask;
    o->nvminquotient = MinQuotient;
    o->nvlinearcombination = LinearCombination;
    o->nvscaleaddmulti = ScaleAddMulti;
    o->nvdotprodmulti = DotProdMulti;
    o->nvlinearsumvectorarray = LinearSumVectorArray;
    o->nvscalevectorarray = ScaleVectorArray;
    o->nvconstvectorarray = ConstVectorArray;
    o->nvwrmsnormvectorarray = WrmsNormVectorArray;
    o->nvscaleaddmultivectorarray = ScaleAddMultiVectorArray;
    o->nvlinearcombinationvectorarray = LinearCombinationVectorArray;
    o->nvdotprodlocal = DotProd;
    o->nvmaxnormlocal = MaxNorm;
    o->nvminlocal = Min;
    o->nvl1normlocal = L1Norm;
    o->nvinvtestlocal = InvTest;
    o->nvconstrmasklocal = ConstrMask;
    o->nvminquotientlocal = MinQuotient;
    o->nvwsqrsumlocal = WSqrSum;
    o->nvwsqrsummasklocal = WSqrSumMask;
    auto* content = new TVector;
    content->n = length;
    content->data = new double[static_cast<std::size_t>(length)]();
    content->owned = true;
    v->content = content;
    return v;
}

SUNLinearSolver NewDenseLU(sunindextype n, SUNContext context) {
    SUNLinearSolver S = SUNLinSolNewEmpty(context);
    if (!S) return nullptr;
    S->ops->gettype = LsType;
    S->ops->getid = LsId;
    S->ops->initialize = LsInitialize;
    S->ops->setup = LsSetup;
    S->ops->solve = LsSolve;
    S->ops->lastflag = LsLastFlag;
    S->ops->space = LsSpace;
    S->ops->free = LsFree;
    S->content = new TDenseLU(n);
    return S;
}

}  // namespace orvane::cvode
