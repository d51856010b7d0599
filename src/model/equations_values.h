// Inside the model evaluation: the named inputs and results of one call, the
// model's mathematical functions, and the parts of the computation.
//
// Every part is a template over the number type R: `double` for the normal,
// fast evaluation, and fp::TChecked to find the first faulting operation
// after a fast evaluation has raised a fault flag. Both run the very same
// formulas, so they raise the very same flags in the same order.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <type_traits>

#include "model/catalogue_data.h"
#include "model/fpcheck.h"
#include "model/stypes.h"

namespace orvane::model {

// ---- Mathematical functions ---------------------------------------------

inline double Exp(double x) { return std::exp(x); }
inline double Ln(double x) { return std::log(x); }
inline double Sqrt(double x) { return std::sqrt(x); }
inline double Cos(double x) { return std::cos(x); }
inline double Tan(double x) { return std::tan(x); }
inline double ArcCos(double x) { return std::acos(x); }
inline double Pow(double a, double b) { return std::pow(a, b); }

using fp::TChecked;
inline TChecked Exp(TChecked x) { return fp::detail::Call(x.v, [](double a) { return std::exp(a); }); }
inline TChecked Ln(TChecked x) { return fp::detail::Call(x.v, [](double a) { return std::log(a); }); }
inline TChecked Sqrt(TChecked x) { return fp::detail::Call(x.v, [](double a) { return std::sqrt(a); }); }
inline TChecked Cos(TChecked x) { return fp::detail::Call(x.v, [](double a) { return std::cos(a); }); }
inline TChecked Tan(TChecked x) { return fp::detail::Call(x.v, [](double a) { return std::tan(a); }); }
inline TChecked ArcCos(TChecked x) {
    return fp::detail::Call(x.v, [](double a) { return std::acos(a); });
}
inline TChecked Pow(TChecked a, TChecked b) {
    return fp::detail::Apply(a.v, b.v, [](double x, double y) { return std::pow(x, y); });
}

// a raised to b, with Power(a, 0) = 1 for every a and Power(0, b) = 0 for
// b > 0. A negative base with a non-integral exponent is an invalid
// operation, 0 raised to a negative power a division by zero.
template <class R>
inline R Power(R a, R b) {
    if (b == R(0)) return R(1);
    if (b == R(1)) return a;  // exact, and a common exponent: skip the library call
    if (a == R(0) && b > R(0)) return R(0);
    return Pow(a, b);
}

inline constexpr double Pi = std::numbers::pi;

// The stem node's potential in parts, so that those of the conductances
// alone can be terms: the share of an outer node's source that reaches the
// stem node, the denominator, and the potential from the three sources.
template <class R>
inline R StemShare(R Ka, R Kf) {
    return Ka / (Ka + Kf);
}
template <class R>
inline R StemDenominator(R Ka, R Kb, R Kw, R A, R B) {
    return Kw + Ka + Kb - Ka * A - Kb * B;
}
template <class R>
inline R StemPotential(R If, R Iw, R Ir, R A, R B, R denominator) {
    return (If * A + Iw + Ir * B) / denominator;
}

// Potential of the stem node of the three-node conductance network.
template <class R>
inline R StemVoltageOf(R Ka, R Kb, R Kf, R Kw, R Kr, R If, R Iw, R Ir) {
    const R A = StemShare(Ka, Kf);
    const R B = StemShare(Kb, Kr);
    return StemPotential(If, Iw, Ir, A, B, StemDenominator(Ka, Kb, Kw, A, B));
}

// Decomposition moisture factor: Fmax at Wmin, 1 at the optimum.
template <class R>
inline R MoistureFactorOf(R Wx, R Wopt, R Wmin, R Fmax, R phi) {
    const R atWx = Power(Wx, phi);
    const R atOptimum = Power(Wopt, phi);
    const R Rw = (atWx - atOptimum) / (atOptimum - Power(Wmin, phi));
    return Power(Fmax, Rw * Rw);
}

// ---- Named values -------------------------------------------------------

#define ORVANE_DRIVERS(X) X(Ca) X(Tamax) X(Tamin) X(I) X(Ppt) X(Dnh4) X(Sp) X(Ss)

#define ORVANE_STATES(X)                                                                    \
    X(Cf) X(Cw) X(Cr) X(Nf) X(Nw) X(Nr) X(Clf) X(Clw) X(Clr) X(Nlf) X(Nlw) X(Nlr) X(Cs) X(Ce) \
        X(Ci) X(Ch) X(Na) X(Nh) X(Nnh4)

#define ORVANE_PARAMS(X)                                                                       \
    X(Deltad) X(daymid) X(mf) X(aNf) X(Ww) X(Wf) X(Psiw) X(Psif) X(kappaL) X(Sc) X(aTau) X(qu0)  \
    X(Unh4max) X(knh4) X(Kcf) X(KCa) X(KCb) X(Kcw) X(Kcr) X(Knf) X(KNa) X(KNb) X(Knw) X(Knr)    \
    X(aTCF) X(aTCW) X(aTCR) X(aTNF) X(aTNW) X(aTNR) X(gCFm) X(kGCF) X(aGCF) X(bGCF) X(gCWm)     \
    X(kGCW) X(aGCW) X(bGCW) X(gCRm) X(kGCR) X(aGCR) X(bGCR) X(gNFm) X(kGNF) X(aGNF) X(bGNF)     \
    X(gNWm) X(kGNW) X(aGNW) X(bGNW) X(gNRm) X(kGNR) X(aGNR) X(bGNR) X(h1) X(h2) X(AlambdaF)    \
    X(sigmaF) X(AlambdaW) X(sigmaW) X(AlambdaR) X(sigmaR) X(rm) X(aWR) X(rg) X(gammar) X(Trmax) \
    X(Tropt) X(Q10d) X(Ase) X(Aei) X(Aie) X(Aih) X(beta) X(Ah) X(qI) X(VImax) X(kIm) X(Wdmin)   \
    X(Wdopt) X(JdWmax) X(phiD) X(p) X(Ep) X(etanh4) X(Nnh4mx) X(rho) X(z)

// Processes in catalogue order; each is delivered to the process of its name.
// The state derivatives, the first processes, in state order.
#define ORVANE_DERIVATIVES(X)                                                                  \
    X(dCfdt) X(dCwdt) X(dCrdt) X(dNfdt) X(dNwdt) X(dNrdt) X(dClfdt) X(dClwdt) X(dClrdt)         \
    X(dNlfdt) X(dNlwdt) X(dNlrdt) X(dCsdt) X(dCedt) X(dCidt) X(dChdt) X(dNadt) X(dNhdt)         \
    X(dNnh4dt)

#define ORVANE_PROCESSES(X)                                                                      \
    ORVANE_DERIVATIVES(X) X(NPPt) X(Rpt) X(lambdaCt) X(lambdaNt) X(Ps) X(tauN) X(tauNS) X(tauNL) X(Unh4)     \
    X(qU) X(Scf) X(Scw) X(Scr) X(Snf) X(Snw) X(Snr) X(Tcf) X(Tcw) X(Tcr) X(Tnf) X(Tnw) X(Tnr)     \
    X(Gclf) X(Gclw) X(Gclr) X(Gnlf) X(Gnlw) X(Gnlr) X(Gcf) X(Gcw) X(Gcr) X(Gnf) X(Gnw) X(Gnr)     \
    X(Csw) X(Nsw) X(lambdaCFT) X(lambdaCWT) X(lambdaCRT) X(lambdaNFT) X(lambdaNWT) X(lambdaNRT)   \
    X(lambdaCSF) X(lambdaCSW) X(lambdaCSR) X(lambdaNSF) X(lambdaNSW) X(lambdaNSR) X(lambdaCLF)    \
    X(lambdaCLW) X(lambdaCLR) X(lambdaNLF) X(lambdaNLW) X(lambdaNLR) X(Rf) X(Rw) X(Rr) X(Rfmet)   \
    X(Rwmet) X(Rrmet) X(RFgr) X(RWgr) X(RRgr) X(Hr) X(NPPf) X(NPPw) X(NPPr) X(Cpt) X(Npt) X(CNf)  \
    X(CNw) X(CNr) X(Ta) X(Sp) X(Ts) X(FClambdaS) X(FClambdaE) X(FClambdaI) X(FCse) X(FCei)        \
    X(FCie) X(FCih) X(Re) X(Rh) X(rs) X(FNah) X(FNai) X(FNia) X(FNhi) X(Rst) X(Nmin) X(Cst)       \
    X(Nst) X(W) X(Jd) X(Qw) X(Nnh4aq) X(Nnh4s) X(Qnh4) X(Cft) X(Cwt) X(Crt) X(Nft) X(Nwt) X(Nrt)  \
    X(NEP) X(Et)

// Results are scratch that every complete evaluation writes in full, so they
// start uninitialised; inputs are loaded in full before use.
#define ORVANE_MEMBER(name) R name;

template <class R>
struct TDriverValues { ORVANE_DRIVERS(ORVANE_MEMBER) };
template <class R>
struct TStateValues { ORVANE_STATES(ORVANE_MEMBER) };
template <class R>
struct TParamValues { ORVANE_PARAMS(ORVANE_MEMBER) };

// Every process, plus the working quantity that the plant part takes over
// from photosynthesis.
template <class R>
struct TResults {
    ORVANE_PROCESSES(ORVANE_MEMBER)
    R LAI;
};

#undef ORVANE_MEMBER

// The inputs of one evaluation (states already guarded).
template <class R>
struct TInputs {
    const TDriverValues<R>& D;
    const TParamValues<R>& P;
    const TStateValues<R>& S;
};

// Bit i set: state i is held constant (derivative exactly 0).
using THoldMask = uint32_t;

// ---- Terms of the drivers and parameters alone ---------------------------
//
// Every quantity, or leading part of a formula, that depends on nothing but
// the drivers and parameters is a term. Within one integration the drivers
// and parameters stay fixed while the states change at every evaluation, so
// a term is computed by the first evaluation and read by the later ones.
//
// A term is written where the formulas first need it, as a lambda without
// captures that sees only the drivers, the parameters and the terms before
// it: it cannot read a state by mistake. In the computing mode every term is
// computed right there, so the order of operations, and with it the first
// faulting operation, is exactly that of the formulas written out in full.
// In the cached mode it is read back. Each term is one whole left operand of
// the formula it came from, so the value is the same to the bit.

#define ORVANE_TERMS(X)                                                                        \
    X(Ta) X(Ts) X(W) X(SorbedMax) X(WaterN) X(FourEta) X(Et) X(Qw) X(LeachN) X(LatRad) X(Gcan)   \
    X(NcapN) X(NcapT) X(Bq0) X(CintCa) X(PsScale) X(SapExp) X(UptakeMax) X(Hr) X(CNgf) X(CNgw)  \
    X(CNgr) X(RmHr) X(WoodRmHr) X(TcfK) X(TcwK) X(TcrK) X(TnfK) X(TnwK) X(TnrK) X(CarbonA)      \
    X(CarbonB) X(CarbonDen) X(NitrogenA) X(NitrogenB) X(NitrogenDen) X(KcrKCb) X(KcfKCa)        \
    X(KnrKNb) X(KnfKNa) X(OnePlusRg) X(LitterNShare) X(Jd) X(rs) X(rsAse) X(rsAei) X(rsAie)     \
    X(rsAih) X(rsAh)

namespace tm {
#define ORVANE_TERM_INDEX(name) name,
enum : int { ORVANE_TERMS(ORVANE_TERM_INDEX) Count };
#undef ORVANE_TERM_INDEX
}  // namespace tm

static_assert(tm::Count <= 64, "one bit per term");
inline constexpr uint64_t AllTerms = tm::Count == 64 ? ~uint64_t(0) : (uint64_t(1) << tm::Count) - 1;

template <class R>
struct TTermValues {
    std::array<R, tm::Count> v;
    uint64_t computed = 0;  // one bit per term computed since the last reset
    R operator[](int k) const { return v[static_cast<std::size_t>(k)]; }
};

// The access to the terms of one evaluation: Cached reads them, otherwise
// they are computed (and kept) as the formulas reach them.
template <class R, bool Cached>
struct TTerms {
    const TDriverValues<R>& D;
    const TParamValues<R>& P;
    TTermValues<R>& t;

    using Formula = R (*)(const TDriverValues<R>&, const TParamValues<R>&, const TTermValues<R>&);

    template <class F>
    R operator()(int k, F formula) const {
        static_assert(std::is_convertible_v<F, Formula>,
                      "a term is a lambda without captures over drivers, parameters and terms");
        if constexpr (Cached) {
            return t[k];
        } else {
            const R r = formula(D, P, t);
            t.v[static_cast<std::size_t>(k)] = r;
            t.computed |= uint64_t(1) << k;
            return r;
        }
    }
};

// ---- The parts, in evaluation order --------------------------------------

// C:N ratios, site environment, photosynthesis.
template <class R, class Terms>
void ComputeSite(const TInputs<R>& in, const Terms& T, TResults<R>& x);

// Translocation through litterfall.
template <class R, class Terms>
void ComputePlant(const TInputs<R>& in, const Terms& T, TResults<R>& x);

// How the soil part ended: normally, or at an insoluble C:N at or below its
// target while the caller asked to be told (the evaluation stops there).
enum class TSoilEnd { Completed, InsolubleCNBelowTarget };

// Litter partition through Nst.
template <class R, class Terms>
TSoilEnd ComputeSoil(const TInputs<R>& in, const Terms& T, TResults<R>& x,
                     bool stopOnLowInsolubleCN);

// Each part is compiled for plain doubles with terms computed or cached,
// and for checked numbers with terms computed.
using TComputedTerms = TTerms<double, false>;
using TCachedTerms = TTerms<double, true>;
using TCheckedTerms = TTerms<TChecked, false>;
#define ORVANE_INSTANTIATE_PART(decl) \
    decl(double, TComputedTerms);     \
    decl(double, TCachedTerms);       \
    decl(TChecked, TCheckedTerms)

}  // namespace orvane::model
