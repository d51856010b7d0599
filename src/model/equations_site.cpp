// C:N ratios of the structural pools, the site environment (temperatures,
// soil water, soil ammonium, water and ammonium discharge) and canopy
// photosynthesis.
//
// Only the clamps written here protect the formulas: a zero divisor or a
// negative logarithm or root is a fault that ends the evaluation.
#include "model/equations_values.h"

namespace orvane::model {

namespace {

template <class R>
void StructuralCN(const TInputs<R>& in, TResults<R>& x) {
    const auto& S = in.S;
    x.CNf = S.Nf > R(0) ? S.Cf / S.Nf : R(0);
    x.CNw = S.Nw > R(0) ? S.Cw / S.Nw : R(0);
    x.CNr = S.Nr > R(0) ? S.Cr / S.Nr : R(0);
}

template <class R, class Terms>
void SiteEnvironment(const TInputs<R>& in, const Terms& T, TResults<R>& x) {
    const auto& P = in.P;
    const auto& S = in.S;

    x.Ta = T(tm::Ta, [](auto& D, auto&, auto&) { return (D.Tamin + D.Tamax) / 2; });
    x.Ts = T(tm::Ts, [](auto&, auto&, auto& t) { return t[tm::Ta] - 3; });
    // Soil water, mm: 70 when dry, towards 126 with ample precipitation.
    x.W = T(tm::W, [](auto& D, auto&, auto&) { return 70 + 56 * (1 - Exp(-14 * D.Ppt)); });
    // Ammonium in solution (umol N per litre of soil water): positive root of
    // the balance between dissolved and saturating sorbed ammonium.
    const R waterN = T(tm::WaterN, [](auto&, auto&, auto& t) { return 1.4e-05 * t[tm::W]; });
    const R Bn =
        (S.Nnh4 - T(tm::SorbedMax, [](auto&, auto& P, auto&) { return P.rho * P.z * P.Nnh4mx; })) /
            waterN -
        P.etanh4;
    const R fourEta = T(tm::FourEta, [](auto&, auto& P, auto&) { return 4 * P.etanh4; });
    x.Nnh4aq = 0.5 * (Bn + Sqrt(Bn * Bn + fourEta * S.Nnh4 / waterN));
    x.Nnh4s = S.Nnh4 - waterN * x.Nnh4aq;
    x.Et = T(tm::Et, [](auto&, auto& P, auto& t) { return P.Ep * (1 - Exp(-P.p * t[tm::W])); });
    x.Qw = T(tm::Qw, [](auto& D, auto&, auto& t) {
        R Qw = D.Ppt - t[tm::Et];
        if (!(Qw >= R(0))) Qw = 0;
        return Qw;
    });
    x.Qnh4 = T(tm::LeachN, [](auto&, auto&, auto& t) { return 0.014 * t[tm::Qw]; }) * x.Nnh4aq;
}

template <class R, class Terms>
void Photosynthesis(const TInputs<R>& in, const Terms& T, TResults<R>& x) {
    const auto& D = in.D;
    const auto& P = in.P;
    const auto& S = in.S;

    x.LAI = S.Cf / P.mf;
    T(tm::LatRad, [](auto&, auto& P, auto&) { return Pi * P.Deltad / 180; });
    const R Gcan = T(tm::Gcan, [](auto& D, auto& P, auto& t) {
        // Gravimetric water content placed between wilting point and field
        // capacity.
        R Wrel = (1000 * t[tm::W] / (P.rho * P.z) - P.Ww) / (P.Wf - P.Ww);
        if (!(Wrel >= R(0))) Wrel = 0;
        if (Wrel > R(1)) Wrel = 1;
        // Psiw and Psif are magnitudes; the soil potential moves
        // geometrically from Psiw (wilting) to Psif (field capacity).
        const R PsiDrop = P.Psiw * (1 - Exp(-Ln(P.Psiw / P.Psif) * Wrel));
        return PsiDrop / (50.41 / P.kappaL + 0.5 * (D.Tamax - D.Tamin));
    });
    const R Ncap = (T(tm::NcapN, [](auto&, auto& P, auto&) { return 0.192 * P.aNf; }) * S.Nf /
                    Gcan) *
                   T(tm::NcapT, [](auto& D, auto&, auto&) {
                       return 14.78 * D.Tamax / (14.78 + D.Tamax);
                   });
    const R Klight = 0.161 * (x.LAI * x.LAI) / Power(x.LAI, R(1.146));
    // Internal CO2: the larger root of a quadratic.
    const R Bq = T(tm::Bq0, [](auto& D, auto&, auto&) { return 0.468 + D.Ca - 500.3; }) - Ncap;
    const R Cint =
        0.5 * (Bq + Sqrt(Bq * Bq - 4 * (T(tm::CintCa, [](auto& D, auto&, auto&) {
                                            return -499.832 * D.Ca;
                                        }) -
                                        0.468 * Ncap)));
    const R Pco2 = (D.Ca - Cint) * Gcan;
    const R Pcan = Pco2 * Klight * D.I / (Klight * D.I + Pco2);
    const R scale = T(tm::PsScale, [](auto& D, auto& P, auto& t) {
        // Day length at the midseason day; no driver and no time enters it.
        const R Decl = -23.4 * Cos(((P.daymid + 10) * 360 / 365) * Pi / 180) * Pi / 180;
        const R TanProd = Tan(t[tm::LatRad]) * Tan(Decl);
        R DayLen;
        if (!(TanProd < R(1)))
            DayLen = 24;
        else if (!(TanProd > R(-1)))
            DayLen = 0;
        else
            DayLen = ArcCos(-TanProd) * 24 / Pi;
        // Scales with the soil's season length (driver Ss), not the plant's.
        return P.Sc * D.Ss * (0.125 * DayLen + 2.196);
    });
    x.Ps = scale * Pcan;
}

}  // namespace

template <class R, class Terms>
void ComputeSite(const TInputs<R>& in, const Terms& T, TResults<R>& x) {
    StructuralCN(in, x);
    SiteEnvironment(in, T, x);
    Photosynthesis(in, T, x);
}

#define ORVANE_SITE(R, Terms) \
    template void ComputeSite<R, Terms>(const TInputs<R>&, const Terms&, TResults<R>&)
ORVANE_INSTANTIATE_PART(ORVANE_SITE);

}  // namespace orvane::model
