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

template <class R, class Terms>
TSoilEnd ComputeSoil(const TInputs<R>& in, const Terms& T, TResults<R>& x,
                     bool stopOnLowInsolubleCN) {
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

    x.Jd = T(tm::Jd, [](auto&, auto& P, auto& t) {
        return MoistureFactorOf(t[tm::W], P.Wdopt, P.Wdmin, P.JdWmax, P.phiD);
    });
    // Days of soil activity per year, scaled by temperature (Q10d to the
    // power Ts / 10) and moisture. Uses the plant's season length (driver Sp).
    x.rs = T(tm::rs, [](auto& D, auto& P, auto& t) {
        return Exp(Ln(P.Q10d) * t[tm::Ts] / 10) * D.Sp * t[tm::Jd];
    });

    // Rate constants are per day; rs makes the fluxes annual.
    constexpr auto rsAie = [](auto&, auto& P, auto& t) { return t[tm::rs] * P.Aie; };
    constexpr auto rsAih = [](auto&, auto& P, auto& t) { return t[tm::rs] * P.Aih; };
    constexpr auto rsAh = [](auto&, auto& P, auto& t) { return t[tm::rs] * P.Ah; };
    x.FCse = T(tm::rsAse, [](auto&, auto& P, auto& t) { return t[tm::rs] * P.Ase; }) * S.Cs;
    x.FCei = T(tm::rsAei, [](auto&, auto& P, auto& t) { return t[tm::rs] * P.Aei; }) * S.Ce;
    x.FCie = T(tm::rsAie, rsAie) * S.Ci;
    x.FCih = T(tm::rsAih, rsAih) * S.Ci;
    x.Re = P.beta * (x.FCse + x.FCei + x.FCie);
    x.Rh = T(tm::rsAh, rsAh) * S.Ch;
    x.Cst = S.Cs + S.Ce + S.Ci + S.Ch;

    x.FNai = T(tm::rsAie, rsAie) * S.Na;
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
    x.FNah = T(tm::rsAih, rsAih) * S.Ci / P.qI;
    x.FNhi = T(tm::rsAh, rsAh) * S.Nh;
    x.Nst = S.Na + S.Nh;
    return TSoilEnd::Completed;
}

#define ORVANE_SOIL(R, Terms) \
    template TSoilEnd ComputeSoil<R, Terms>(const TInputs<R>&, const Terms&, TResults<R>&, bool)
ORVANE_INSTANTIATE_PART(ORVANE_SOIL);

}  // namespace orvane::model
