// EvaluateModel: guards the states, runs the parts of the model in order,
// forms the totals and the state derivatives, and delivers every process
// only when the whole evaluation has succeeded.
//
// Fault detection works in two passes. The normal pass computes everything in
// plain doubles between a clear and one test of the IEEE fault flags, which
// costs next to nothing. Only when that test finds a raised flag does a
// second pass run the same formulas on checked numbers, which stop at the
// first faulting operation in evaluation order and throw its error. The
// evaluation is a pure function of its inputs, so both passes see the same
// values and raise the same flags.
#include "model/equations.h"

#include <cmath>
#include <cstring>

#include "model/bound_model.h"
#include "model/equations_values.h"
#include "model/errors.h"

namespace orvane {

namespace model {
namespace {

// A state that is negative or not a number would break the formulas; the
// model carries on from a tiny positive amount instead. The comparison is a
// quiet one, so NaN sets no flag.
double Guarded(double v) { return std::isgreaterequal(v, 0.0) ? v : 1e-05; }

template <class R>
void ComputeTotalsAndDerivatives(const TInputs<R>& in, THoldMask hold, TResults<R>& x) {
    const auto& D = in.D;
    const auto& S = in.S;

    x.Rpt = x.Rf + x.Rw + x.Rr;
    x.NPPt = x.Gclf + x.Gclw + x.Gclr - x.RFgr - x.RWgr - x.RRgr;
    x.NPPf = x.Gclf - x.RFgr;
    x.NPPw = x.Gclw - x.RWgr;
    x.NPPr = x.Gclr - x.RRgr;
    x.lambdaCt = x.lambdaCFT + x.lambdaCWT + x.lambdaCRT;
    x.lambdaNt = x.lambdaNFT + x.lambdaNWT + x.lambdaNRT;
    x.Cpt = S.Cf + S.Cw + S.Cr + S.Clf + S.Clw + S.Clr;
    x.Npt = S.Nf + S.Nw + S.Nr + S.Nlf + S.Nlw + S.Nlr;
    x.Rst = x.Re + x.Rh;
    x.Nmin = x.FNai + x.FNhi - x.FNia;
    x.Cft = S.Cf + S.Clf;
    x.Cwt = S.Cw + S.Clw;
    x.Crt = S.Cr + S.Clr;
    x.Nft = S.Nf + S.Nlf;
    x.Nwt = S.Nw + S.Nlw;
    x.Nrt = S.Nr + S.Nlr;
    x.NEP = x.NPPt - x.Rst;
    // The "Plant Season Length" process reports the season length that the
    // plant side uses, which is the soil driver Ss.
    x.Sp = D.Ss;

    // A held state gets a derivative of exactly 0 and so keeps its value.
    const auto d = [hold](int state, auto&& value) -> R {
        return (hold >> state) & 1 ? R(0) : R(value());
    };
    x.dCfdt = d(st::Cf, [&] { return x.Gcf - x.lambdaCSF - x.RFgr; });
    x.dCwdt = d(st::Cw, [&] { return x.Gcw - x.lambdaCSW - x.RWgr; });
    x.dCrdt = d(st::Cr, [&] { return x.Gcr - x.lambdaCSR - x.RRgr; });
    x.dNfdt = d(st::Nf, [&] { return x.Gnf - x.lambdaNSF - x.tauNS; });
    x.dNwdt = d(st::Nw, [&] { return x.Gnw - x.lambdaNSW; });
    x.dNrdt = d(st::Nr, [&] { return x.Gnr - x.lambdaNSR; });
    x.dClfdt = d(st::Clf, [&] { return x.Gclf - x.Gcf - x.lambdaCLF; });
    x.dClwdt = d(st::Clw, [&] { return x.Gclw - x.Gcw - x.lambdaCLW; });
    x.dClrdt = d(st::Clr, [&] { return x.Gclr - x.Gcr - x.lambdaCLR; });
    x.dNlfdt = d(st::Nlf, [&] { return x.Gnlf - x.Gnf - x.lambdaNLF - x.tauNL; });
    x.dNlwdt = d(st::Nlw, [&] { return x.Gnlw - x.Gnw - x.lambdaNLW; });
    x.dNlrdt = d(st::Nlr, [&] { return x.Gnlr - x.Gnr - x.lambdaNLR; });
    x.dCsdt = d(st::Cs, [&] { return x.FClambdaS - x.FCse; });
    x.dCedt = d(st::Ce, [&] { return x.FClambdaE + x.FCse + x.FCie - x.FCei - x.Re; });
    x.dCidt = d(st::Ci, [&] { return x.FClambdaI + x.FCei - x.FCie - x.FCih; });
    x.dChdt = d(st::Ch, [&] { return x.FCih - x.Rh; });
    x.dNadt = d(st::Na, [&] { return x.lambdaNt + x.FNia - x.FNah - x.FNai; });
    x.dNhdt = d(st::Nh, [&] { return x.FNah - x.FNhi; });
    x.dNnh4dt =
        d(st::Nnh4, [&] { return x.FNai + x.FNhi + D.Dnh4 - x.Unh4 - x.Qnh4 - x.FNia; });
}

// All parts in evaluation order; stops early at a low insoluble C:N when
// the caller wants that reported.
template <class R, class Terms>
TSoilEnd Evaluate(const TInputs<R>& in, const Terms& T, THoldMask hold, TResults<R>& x,
                  bool stopOnLowInsolubleCN) {
    ComputeSite(in, T, x);
    ComputePlant(in, T, x);
    if (ComputeSoil(in, T, x, stopOnLowInsolubleCN) == TSoilEnd::InsolubleCNBelowTarget)
        return TSoilEnd::InsolubleCNBelowTarget;
    ComputeTotalsAndDerivatives(in, hold, x);
    return TSoilEnd::Completed;
}

// The slow pass: computes everything again on checked numbers, terms
// included and in their places, and throws the first fault. `flags` are
// those the normal pass raised, used only if the checked pass somehow finds
// none.
[[noreturn]] void ThrowFirstFault(const TDriverValues<double>& D, const TParamValues<double>& P,
                                  const TStateValues<double>& S, THoldMask hold,
                                  bool stopOnLowInsolubleCN, int flags) {
    std::feclearexcept(fp::kFaultFlags);
    fp::CompilerBarrier();
    TDriverValues<TChecked> Dc;
    TParamValues<TChecked> Pc;
    TStateValues<TChecked> Sc;
#define ORVANE_COPY_D(name) Dc.name = D.name;
#define ORVANE_COPY_P(name) Pc.name = P.name;
#define ORVANE_COPY_S(name) Sc.name = S.name;
    ORVANE_DRIVERS(ORVANE_COPY_D)
    ORVANE_PARAMS(ORVANE_COPY_P)
    ORVANE_STATES(ORVANE_COPY_S)
#undef ORVANE_COPY_D
#undef ORVANE_COPY_P
#undef ORVANE_COPY_S
    TTermValues<TChecked> terms;
    TResults<TChecked> x;
    if (Evaluate(TInputs<TChecked>{Dc, Pc, Sc}, TCheckedTerms{Dc, Pc, terms}, hold, x,
                 stopOnLowInsolubleCN) == TSoilEnd::InsolubleCNBelowTarget)
        throw ECalculateError(MsgInsolubleCN);
    fp::ThrowFault(flags);
}

// The insoluble C:N error exists for the steady-state calculator's final
// evaluation only; everywhere else a low ratio just stops immobilisation.
bool StopsOnLowInsolubleCN(const TEvalContext& context) {
    return !context.ModelBatch && context.CalcFormShowing && context.FinalPass;
}

void LoadDrivers(const drivearray& drivers, TDriverValues<double>& D) {
#define ORVANE_LOAD_D(name) D.name = drivers[dr::name].value;
    ORVANE_DRIVERS(ORVANE_LOAD_D)
#undef ORVANE_LOAD_D
}

void LoadParams(const paramarray& params, TParamValues<double>& P) {
#define ORVANE_LOAD_P(name) P.name = params[pa::name].value;
    ORVANE_PARAMS(ORVANE_LOAD_P)
#undef ORVANE_LOAD_P
}

THoldMask HoldMaskOf(const statearray& states) {
    THoldMask hold = 0;
    for (int i = 1; i <= static_cast<int>(std::size(catalogue_data::States)); ++i) {
        if (states[i].HoldConstant) hold |= THoldMask(1) << i;
    }
    return hold;
}

void Deliver(const TResults<double>& x, processarray& processes) {
#define ORVANE_DELIVER(name) processes[pr::name].value = x.name;
    ORVANE_PROCESSES(ORVANE_DELIVER)
#undef ORVANE_DELIVER
}

}  // namespace
}  // namespace model

void EvaluateModel(const drivearray& drivers, const paramarray& params, statearray& states,
                   double /*time*/, processarray& processes, bool /*flag*/,
                   const TEvalContext& context) {
    using namespace model;
    TDriverValues<double> D;
    TParamValues<double> P;
    TStateValues<double> S;
    LoadDrivers(drivers, D);
    LoadParams(params, P);
    // The caller keeps the guarded values.
#define ORVANE_GUARD_S(name) S.name = states[st::name].value = Guarded(states[st::name].value);
    ORVANE_STATES(ORVANE_GUARD_S)
#undef ORVANE_GUARD_S
    const THoldMask hold = HoldMaskOf(states);
    const bool stop = StopsOnLowInsolubleCN(context);

    fp::TFaultFlagScope flagScope;
    TTermValues<double> terms;
    TResults<double> x;
    const TSoilEnd end =
        Evaluate(TInputs<double>{D, P, S}, TComputedTerms{D, P, terms}, hold, x, stop);
    // Every result must be computed before the flags are read.
    asm volatile("" : : "m"(x) : "memory");
    if (const int flags = fp::RaisedFaults()) ThrowFirstFault(D, P, S, hold, stop, flags);
    if (end == TSoilEnd::InsolubleCNBelowTarget) throw ECalculateError(MsgInsolubleCN);
    Deliver(x, processes);
}

TBoundModel::TBoundModel(const drivearray& drivers, const paramarray& params,
                         const statearray& states, const TEvalContext& context)
    : hold_(model::HoldMaskOf(states)), stopOnLowInsolubleCN_(model::StopsOnLowInsolubleCN(context)) {
    model::LoadDrivers(drivers, D_);
    model::LoadParams(params, P_);
}

bool TBoundModel::SameModelAs(const TBoundModel& other) const {
    return std::memcmp(&D_, &other.D_, sizeof D_) == 0 &&
           std::memcmp(&P_, &other.P_, sizeof P_) == 0 && hold_ == other.hold_ &&
           stopOnLowInsolubleCN_ == other.stopOnLowInsolubleCN_;
}

void TBoundModel::Derivatives(const TStateVector& y, TStateVector& dydx) const {
    using namespace model;
    TStateValues<double> S;
#define ORVANE_GUARD_Y(name) S.name = Guarded(y[st::name]);
    ORVANE_STATES(ORVANE_GUARD_Y)
#undef ORVANE_GUARD_Y

    fp::TFaultFlagScope flagScope;
    const TInputs<double> in{D_, P_, S};
    TResults<double> x;
    TSoilEnd end;
    if (cached_) {
        end = Evaluate(in, TCachedTerms{D_, P_, terms_}, hold_, x, stopOnLowInsolubleCN_);
    } else {
        terms_.computed = 0;
        end = Evaluate(in, TComputedTerms{D_, P_, terms_}, hold_, x, stopOnLowInsolubleCN_);
    }
    // Every result is computed, used or not, so that the faults are exactly
    // those of the whole evaluation.
    asm volatile("" : : "m"(x) : "memory");
    if (const int flags = fp::RaisedFaults())
        ThrowFirstFault(D_, P_, S, hold_, stopOnLowInsolubleCN_, flags);
    // Terms are kept only from an evaluation that computed every one of them
    // without a fault.
    if (!cached_ && terms_.computed == AllTerms) cached_ = true;
    if (end == TSoilEnd::InsolubleCNBelowTarget) throw ECalculateError(MsgInsolubleCN);
#define ORVANE_DYDX(name) dydx[pr::name] = x.name;
    ORVANE_DERIVATIVES(ORVANE_DYDX)
#undef ORVANE_DYDX
}

double StemVoltage(double Ka, double Kb, double Kf, double Kw, double Kr, double If, double Iw,
                   double Ir) {
    return model::StemVoltageOf(Ka, Kb, Kf, Kw, Kr, If, Iw, Ir);
}

double MoistureFactor(double Wx, double Wopt, double Wmin, double Fmax, double phi) {
    return model::MoistureFactorOf(Wx, Wopt, Wmin, Fmax, phi);
}

}  // namespace orvane
