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

template <class R>
void ComputePlant(const TInputs<R>& in, TResults<R>& x) {
    const auto& D = in.D;
    const auto& P = in.P;
    const auto& S = in.S;

    // Nitrogen translocated out of foliage before litterfall.
    x.tauNS = S.Nf > R(0) ? P.aTau * P.AlambdaF * S.Nf : R(0);
    x.tauNL = S.Nlf > R(0) ? P.aTau * P.AlambdaF * S.Nlf : R(0);
    x.tauN = x.tauNS + x.tauNL;

    // Sapwood grows with leaf area; once it would exceed the wood, all wood
    // is sapwood. Powers as exp(ln(base) * exponent): a non-positive base is
    // a fault.
    if (Exp(Ln(P.h1 * x.LAI) * (1 / (1 - P.h2))) >= S.Cw)
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
    x.Unh4 = D.Ss * P.Unh4max * S.Cr * x.Nnh4aq / ((P.knh4 + x.Nnh4aq) * x.qU);

    if (x.Ta >= P.Trmax) {
        x.Hr = 0;
    } else {
        const R span = P.Trmax - P.Tropt;
        x.Hr = Exp(Ln((P.Trmax - x.Ta) / span) * (span * P.gammar)) *
               Exp((x.Ta - P.Tropt) * P.gammar);
    }

    // Target C:N ratios of new growth.
    const R CNgf = (P.gCFm * P.bGNF) / (P.gNFm * P.bGCF);
    const R CNgw = (P.gCWm * P.bGNW) / (P.gNWm * P.bGCW);
    const R CNgr = (P.gCRm * P.bGNR) / (P.gNRm * P.bGCR);

    // Maintenance respiration follows the organ's nitrogen, but never more
    // nitrogen than its carbon carries at the target ratio. Wood respires on
    // its sapwood only.
    x.Rfmet = S.Cf / S.Nf > CNgf ? P.rm * x.Hr * S.Nf : P.rm * x.Hr * S.Cf / CNgf;
    x.Rwmet = x.Csw / x.Nsw > CNgw ? P.aWR * P.rm * x.Hr * x.Nsw
                                   : P.aWR * P.rm * x.Hr * x.Csw / CNgw;
    x.Rrmet = S.Cr / S.Nr > CNgr ? P.rm * x.Hr * S.Nr : P.rm * x.Hr * S.Cr / CNgr;

    x.Tcf = P.aTCF * P.Kcf * S.Clf;
    x.Tcw = P.aTCW * P.Kcw * S.Clw;
    x.Tcr = P.aTCR * P.Kcr * S.Clr;
    x.Tnf = P.aTNF * P.Knf * S.Nlf;
    x.Tnw = P.aTNW * P.Knw * S.Nlw;
    x.Tnr = P.aTNR * P.Knr * S.Nlr;

    // Carbon: photosynthesis enters at the foliage node, maintenance
    // respiration leaves at each organ's node.
    const R Vc = StemVoltageOf(P.KCa, P.KCb, P.Kcf, P.Kcw, P.Kcr, x.Ps - x.Rfmet + x.Tcf,
                               x.Tcw - x.Rwmet, x.Tcr - x.Rrmet);
    x.Scr = (x.Tcr - x.Rrmet + P.KCb * Vc) * P.Kcr / (P.Kcr + P.KCb);
    x.Scf = (x.Ps - x.Rfmet + x.Tcf + P.KCa * Vc) * P.Kcf / (P.Kcf + P.KCa);
    x.Scw = P.Kcw * Vc;

    // Nitrogen: translocated nitrogen enters at the stem node, uptake at the
    // root node.
    const R Vn = StemVoltageOf(P.KNa, P.KNb, P.Knf, P.Knw, P.Knr, x.Tnf, x.tauN + x.Tnw,
                               x.Unh4 + x.Tnr);
    x.Snr = (x.Unh4 + x.Tnr + P.KNb * Vn) * P.Knr / (P.Knr + P.KNb);
    x.Snf = (P.KNa * Vn + x.Tnf) * P.Knf / (P.Knf + P.KNa);
    x.Snw = P.Knw * Vn;

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

    x.RFgr = P.rg * x.Gcf / (1 + P.rg);
    x.RWgr = P.rg * x.Gcw / (1 + P.rg);
    x.RRgr = P.rg * x.Gcr / (1 + P.rg);

    x.Rf = x.Rfmet + x.RFgr;
    x.Rw = x.Rwmet + x.RWgr;
    x.Rr = x.Rrmet + x.RRgr;

    // Litterfall: nitrogen leaves at the pool's C:N, foliage nitrogen less
    // the translocated fraction.
    x.lambdaCSF = P.AlambdaF * Power(S.Cf, P.sigmaF);
    x.lambdaCSW = P.AlambdaW * Power(S.Cw, P.sigmaW);
    x.lambdaCSR = P.AlambdaR * Power(S.Cr, P.sigmaR);
    x.lambdaNSF = (1 - P.aTau) * x.lambdaCSF * S.Nf / S.Cf;
    x.lambdaNSW = x.lambdaCSW * S.Nw / S.Cw;
    x.lambdaNSR = x.lambdaCSR * S.Nr / S.Cr;

    x.lambdaCLF = P.AlambdaF * Power(S.Clf, P.sigmaF);
    x.lambdaCLW = P.AlambdaW * Power(S.Clw, P.sigmaW);
    x.lambdaCLR = P.AlambdaR * Power(S.Clr, P.sigmaR);
    x.lambdaNLF = (1 - P.aTau) * x.lambdaCLF * S.Nlf / S.Clf;
    x.lambdaNLW = x.lambdaCLW * S.Nlw / S.Clw;
    x.lambdaNLR = x.lambdaCLR * S.Nlr / S.Clr;

    x.lambdaCFT = x.lambdaCSF + x.lambdaCLF;
    x.lambdaCWT = x.lambdaCSW + x.lambdaCLW;
    x.lambdaCRT = x.lambdaCSR + x.lambdaCLR;
    x.lambdaNFT = x.lambdaNSF + x.lambdaNLF;
    x.lambdaNWT = x.lambdaNSW + x.lambdaNLW;
    x.lambdaNRT = x.lambdaNSR + x.lambdaNLR;
}

template void ComputePlant<double>(const TInputs<double>&, TResults<double>&);
template void ComputePlant<TChecked>(const TInputs<TChecked>&, TResults<TChecked>&);

}  // namespace orvane::model
