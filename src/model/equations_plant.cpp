// Plant processes: nitrogen translocation, sapwood, ammonium uptake,
// respiration, the labile-pool conductance network, structural growth and
// litterfall.
//
// The network has one node per organ (foliage, wood, roots). Each labile
// pool exchanges with its node through its own conductance; the foliage and
// root nodes connect to the stem (wood) node. A pool's transport out is its
// conductance times its potential (content times a volt coefficient); its
// storage flux back is its conductance times the node potential.
#include "model/equations_values.h"

namespace orvane::model {

namespace {

// Structural growth of one organ, limited by its labile carbon and nitrogen.
template <class R>
R Growth(R gmax, R Co, R Cl, R Nl, R k, R a, R b) {
    return gmax * Co * Cl * Nl / (k + a * Cl + b * Nl + Cl * Nl);
}

}  // namespace

template <class R, class Terms>
void ComputePlant(const TInputs<R>& in, const Terms& T, TResults<R>& x) {
    const auto& P = in.P;
    const auto& S = in.S;

    // Nitrogen translocated out of foliage before litterfall.
    x.tauNS = S.Nf > R(0) ? P.aTau * P.AlambdaF * S.Nf : R(0);
    x.tauNL = S.Nlf > R(0) ? P.aTau * P.AlambdaF * S.Nlf : R(0);
    x.tauN = x.tauNS + x.tauNL;

    // Sapwood grows with leaf area; once it would exceed the wood, all wood
    // is sapwood. Powers as exp(ln(base) * exponent): a non-positive base is
    // a fault.
    if (Exp(Ln(P.h1 * x.LAI) *
            T(tm::SapExp, [](auto&, auto& P, auto&) { return 1 / (1 - P.h2); })) >= S.Cw)
        x.Csw = S.Cw;
    else
        x.Csw = P.h1 * x.LAI * Exp(Ln(S.Cw) * P.h2);
    x.Nsw = x.Csw * S.Nw / S.Cw;

    // Uptake uses the root C:N, but never one below the minimum qu0.
    x.qU = P.qu0;
    if (S.Nr > R(0)) {
        const R CNroot = S.Cr / S.Nr;
        if (CNroot > P.qu0) x.qU = CNroot;
    }
    x.Unh4 = T(tm::UptakeMax, [](auto& D, auto& P, auto&) { return D.Ss * P.Unh4max; }) * S.Cr *
             x.Nnh4aq / ((P.knh4 + x.Nnh4aq) * x.qU);

    x.Hr = T(tm::Hr, [](auto&, auto& P, auto& t) {
        if (t[tm::Ta] >= P.Trmax) return R(0);
        const R span = P.Trmax - P.Tropt;
        return Exp(Ln((P.Trmax - t[tm::Ta]) / span) * (span * P.gammar)) *
               Exp((t[tm::Ta] - P.Tropt) * P.gammar);
    });

    // Target C:N ratios of new growth.
    const R CNgf =
        T(tm::CNgf, [](auto&, auto& P, auto&) { return (P.gCFm * P.bGNF) / (P.gNFm * P.bGCF); });
    const R CNgw =
        T(tm::CNgw, [](auto&, auto& P, auto&) { return (P.gCWm * P.bGNW) / (P.gNWm * P.bGCW); });
    const R CNgr =
        T(tm::CNgr, [](auto&, auto& P, auto&) { return (P.gCRm * P.bGNR) / (P.gNRm * P.bGCR); });

    // Maintenance respiration follows the organ's nitrogen, but never more
    // nitrogen than its carbon carries at the target ratio. Wood respires on
    // its sapwood only.
    constexpr auto rmHr = [](auto&, auto& P, auto& t) { return P.rm * t[tm::Hr]; };
    constexpr auto woodRmHr = [](auto&, auto& P, auto& t) { return P.aWR * P.rm * t[tm::Hr]; };
    x.Rfmet = S.Cf / S.Nf > CNgf ? T(tm::RmHr, rmHr) * S.Nf : T(tm::RmHr, rmHr) * S.Cf / CNgf;
    x.Rwmet = x.Csw / x.Nsw > CNgw ? T(tm::WoodRmHr, woodRmHr) * x.Nsw
                                   : T(tm::WoodRmHr, woodRmHr) * x.Csw / CNgw;
    x.Rrmet = S.Cr / S.Nr > CNgr ? T(tm::RmHr, rmHr) * S.Nr : T(tm::RmHr, rmHr) * S.Cr / CNgr;

    x.Tcf = T(tm::TcfK, [](auto&, auto& P, auto&) { return P.aTCF * P.Kcf; }) * S.Clf;
    x.Tcw = T(tm::TcwK, [](auto&, auto& P, auto&) { return P.aTCW * P.Kcw; }) * S.Clw;
    x.Tcr = T(tm::TcrK, [](auto&, auto& P, auto&) { return P.aTCR * P.Kcr; }) * S.Clr;
    x.Tnf = T(tm::TnfK, [](auto&, auto& P, auto&) { return P.aTNF * P.Knf; }) * S.Nlf;
    x.Tnw = T(tm::TnwK, [](auto&, auto& P, auto&) { return P.aTNW * P.Knw; }) * S.Nlw;
    x.Tnr = T(tm::TnrK, [](auto&, auto& P, auto&) { return P.aTNR * P.Knr; }) * S.Nlr;

    // Carbon: photosynthesis enters at the foliage node, maintenance
    // respiration leaves at each organ's node.
    {
        const R If = x.Ps - x.Rfmet + x.Tcf;
        const R Iw = x.Tcw - x.Rwmet;
        const R Ir = x.Tcr - x.Rrmet;
        const R A = T(tm::CarbonA, [](auto&, auto& P, auto&) { return StemShare(P.KCa, P.Kcf); });
        const R B = T(tm::CarbonB, [](auto&, auto& P, auto&) { return StemShare(P.KCb, P.Kcr); });
        const R Vc = StemPotential(If, Iw, Ir, A, B, T(tm::CarbonDen, [](auto&, auto& P, auto& t) {
                                       return StemDenominator(P.KCa, P.KCb, P.Kcw,
                                                              t[tm::CarbonA], t[tm::CarbonB]);
                                   }));
        x.Scr = (x.Tcr - x.Rrmet + P.KCb * Vc) * P.Kcr /
                T(tm::KcrKCb, [](auto&, auto& P, auto&) { return P.Kcr + P.KCb; });
        x.Scf = (x.Ps - x.Rfmet + x.Tcf + P.KCa * Vc) * P.Kcf /
                T(tm::KcfKCa, [](auto&, auto& P, auto&) { return P.Kcf + P.KCa; });
        x.Scw = P.Kcw * Vc;
    }

    // Nitrogen: translocated nitrogen enters at the stem node, uptake at the
    // root node.
    {
        const R If = x.Tnf;
        const R Iw = x.tauN + x.Tnw;
        const R Ir = x.Unh4 + x.Tnr;
        const R A =
            T(tm::NitrogenA, [](auto&, auto& P, auto&) { return StemShare(P.KNa, P.Knf); });
        const R B =
            T(tm::NitrogenB, [](auto&, auto& P, auto&) { return StemShare(P.KNb, P.Knr); });
        const R Vn = StemPotential(If, Iw, Ir, A, B, T(tm::NitrogenDen, [](auto&, auto& P, auto& t) {
                                       return StemDenominator(P.KNa, P.KNb, P.Knw,
                                                              t[tm::NitrogenA], t[tm::NitrogenB]);
                                   }));
        x.Snr = (x.Unh4 + x.Tnr + P.KNb * Vn) * P.Knr /
                T(tm::KnrKNb, [](auto&, auto& P, auto&) { return P.Knr + P.KNb; });
        x.Snf = (P.KNa * Vn + x.Tnf) * P.Knf /
                T(tm::KnfKNa, [](auto&, auto& P, auto&) { return P.Knf + P.KNa; });
        x.Snw = P.Knw * Vn;
    }

    x.Gclf = x.Scf - x.Tcf;
    x.Gclw = x.Scw - x.Tcw;
    x.Gclr = x.Scr - x.Tcr;
    x.Gnlf = x.Snf - x.Tnf;
    x.Gnlw = x.Snw - x.Tnw;
    x.Gnlr = x.Snr - x.Tnr;

    // Nitrogen growth scales with the organ's structural carbon too.
    x.Gcf = Growth(P.gCFm, S.Cf, S.Clf, S.Nlf, P.kGCF, P.aGCF, P.bGCF);
    x.Gcw = Growth(P.gCWm, S.Cw, S.Clw, S.Nlw, P.kGCW, P.aGCW, P.bGCW);
    x.Gcr = Growth(P.gCRm, S.Cr, S.Clr, S.Nlr, P.kGCR, P.aGCR, P.bGCR);
    x.Gnf = Growth(P.gNFm, S.Cf, S.Clf, S.Nlf, P.kGNF, P.aGNF, P.bGNF);
    x.Gnw = Growth(P.gNWm, S.Cw, S.Clw, S.Nlw, P.kGNW, P.aGNW, P.bGNW);
    x.Gnr = Growth(P.gNRm, S.Cr, S.Clr, S.Nlr, P.kGNR, P.aGNR, P.bGNR);

    constexpr auto onePlusRg = [](auto&, auto& P, auto&) { return 1 + P.rg; };
    x.RFgr = P.rg * x.Gcf / T(tm::OnePlusRg, onePlusRg);
    x.RWgr = P.rg * x.Gcw / T(tm::OnePlusRg, onePlusRg);
    x.RRgr = P.rg * x.Gcr / T(tm::OnePlusRg, onePlusRg);

    x.Rf = x.Rfmet + x.RFgr;
    x.Rw = x.Rwmet + x.RWgr;
    x.Rr = x.Rrmet + x.RRgr;

    // Litterfall: nitrogen leaves at the pool's C:N, foliage nitrogen less
    // the translocated fraction.
    x.lambdaCSF = P.AlambdaF * Power(S.Cf, P.sigmaF);
    x.lambdaCSW = P.AlambdaW * Power(S.Cw, P.sigmaW);
    x.lambdaCSR = P.AlambdaR * Power(S.Cr, P.sigmaR);
    constexpr auto litterNShare = [](auto&, auto& P, auto&) { return 1 - P.aTau; };
    x.lambdaNSF = T(tm::LitterNShare, litterNShare) * x.lambdaCSF * S.Nf / S.Cf;
    x.lambdaNSW = x.lambdaCSW * S.Nw / S.Cw;
    x.lambdaNSR = x.lambdaCSR * S.Nr / S.Cr;

    x.lambdaCLF = P.AlambdaF * Power(S.Clf, P.sigmaF);
    x.lambdaCLW = P.AlambdaW * Power(S.Clw, P.sigmaW);
    x.lambdaCLR = P.AlambdaR * Power(S.Clr, P.sigmaR);
    x.lambdaNLF = T(tm::LitterNShare, litterNShare) * x.lambdaCLF * S.Nlf / S.Clf;
    x.lambdaNLW = x.lambdaCLW * S.Nlw / S.Clw;
    x.lambdaNLR = x.lambdaCLR * S.Nlr / S.Clr;

    x.lambdaCFT = x.lambdaCSF + x.lambdaCLF;
    x.lambdaCWT = x.lambdaCSW + x.lambdaCLW;
    x.lambdaCRT = x.lambdaCSR + x.lambdaCLR;
    x.lambdaNFT = x.lambdaNSF + x.lambdaNLF;
    x.lambdaNWT = x.lambdaNSW + x.lambdaNLW;
    x.lambdaNRT = x.lambdaNSR + x.lambdaNLR;
}

#define ORVANE_PLANT(R, Terms) \
    template void ComputePlant<R, Terms>(const TInputs<R>&, const Terms&, TResults<R>&)
ORVANE_INSTANTIATE_PART(ORVANE_PLANT);

}  // namespace orvane::model
