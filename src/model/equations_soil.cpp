// Soil processes: the split of litter among the soluble, extractive and
// insoluble pools, the soil rate factor, carbon transfers and respiration of
// the four carbon pools, and the nitrogen transfers among active, humus and
// ammonium nitrogen.
#include "model/equations_values.h"

namespace orvane::model {

namespace {

// Share of one organ's litter carbon that goes to the extractive pool.
template <class R>
R ExtractiveLitter(R litterN, R litterC) {
    return (1 - Exp(-120 * litterN / litterC)) * litterC;
}

// Share of one organ's litter carbon that goes to the insoluble pool.
template <class R>
R InsolubleLitter(R litterN, R litterC) {
    return (0.35 - 0.15 * Exp(-50 * litterN / litterC)) * litterC;
}

}  // namespace

template <class R>
TSoilEnd ComputeSoil(const TInputs<R>& in, TResults<R>& x, bool stopOnLowInsolubleCN) {
    const auto& D = in.D;
    const auto& P = in.P;
    const auto& S = in.S;

    // Nitrogen-rich litter is more extractive and less soluble.
    x.FClambdaE = 0.36 * (ExtractiveLitter(x.lambdaNRT, x.lambdaCRT) +
                          ExtractiveLitter(x.lambdaNWT, x.lambdaCWT) +
                          ExtractiveLitter(x.lambdaNFT, x.lambdaCFT));
    x.FClambdaI = InsolubleLitter(x.lambdaNRT, x.lambdaCRT) +
                  InsolubleLitter(x.lambdaNWT, x.lambdaCWT) +
                  InsolubleLitter(x.lambdaNFT, x.lambdaCFT);
    x.FClambdaS = x.lambdaCFT + x.lambdaCWT + x.lambdaCRT - x.FClambdaE - x.FClambdaI;

    x.Jd = MoistureFactorOf(x.W, P.Wdopt, P.Wdmin, P.JdWmax, P.phiD);
    // Days of soil activity per year, scaled by temperature (Q10d to the
    // power Ts / 10) and moisture. Uses the plant's season length (driver Sp).
    x.rs = Exp(Ln(P.Q10d) * x.Ts / 10) * D.Sp * x.Jd;

    // Rate constants are per day; rs makes the fluxes annual.
    x.FCse = x.rs * P.Ase * S.Cs;
    x.FCei = x.rs * P.Aei * S.Ce;
    x.FCie = x.rs * P.Aie * S.Ci;
    x.FCih = x.rs * P.Aih * S.Ci;
    x.Re = P.beta * (x.FCse + x.FCei + x.FCie);
    x.Rh = x.rs * P.Ah * S.Ch;
    x.Cst = S.Cs + S.Ce + S.Ci + S.Ch;

    x.FNai = x.rs * P.Aie * S.Na;
    // Immobilisation is driven by how far the insoluble pool's C:N exceeds
    // its target qI.
    x.FNia = 0;
    if (S.Na > R(0)) {
        const R CNins = S.Ci / S.Na;
        if (CNins > P.qI)
            x.FNia = (x.rs * P.VImax * x.Nnh4aq / (P.kIm + x.Nnh4aq)) * (CNins - P.qI);
        else if (stopOnLowInsolubleCN)
            return TSoilEnd::InsolubleCNBelowTarget;
    }
    x.FNah = x.rs * P.Aih * S.Ci / P.qI;
    x.FNhi = x.rs * P.Ah * S.Nh;
    x.Nst = S.Na + S.Nh;
    return TSoilEnd::Completed;
}

template TSoilEnd ComputeSoil<double>(const TInputs<double>&, TResults<double>&, bool);
template TSoilEnd ComputeSoil<TChecked>(const TInputs<TChecked>&, TResults<TChecked>&, bool);

}  // namespace orvane::model
