// A temperate deciduous forest at 42 degrees north: a complete, valid set of
// drivers, parameters and initial states on which the model evaluates without
// any floating-point fault.
//
// The site is close to a steady state (every derivative is tiny compared with
// its fluxes): litterfall balances growth, soil organic matter balances
// litter input, leaching balances deposition. Both season lengths are equal,
// all wood is sapwood and metabolic respiration follows the organs' nitrogen,
// so the steady-state calculator can reproduce it exactly. It is stable: a
// run started 10% away in the labile pools, soluble carbon and ammonium comes
// back to it within a few decades.
//
// Rough figures it yields: Ps 1300, NPPt 793, Rpt 507, Rst 793 gC m-2 yr-1;
// LAI 5, day length 15.06 h, soil water 126 mm, soil respiration factor rs
// about 232 days yr-1.
#pragma once

#include "model/catalogue_data.h"
#include "model/globals.h"
#include "model/stypes.h"

namespace orvane::fixture {

inline void SetSiteDrivers(drivearray& d) {
    d[dr::Ca].value = 350;     // ppmv
    d[dr::Tamax].value = 18;   // deg C
    d[dr::Tamin].value = 6;    // deg C
    d[dr::I].value = 15;       // MJ m-2 day-1
    d[dr::Ppt].value = 1.0;    // m H2O yr-1
    d[dr::Dnh4].value = 0.3;   // gN m-2
    d[dr::Sp].value = 150;     // days
    d[dr::Ss].value = 150;     // days
}

inline void SetSiteStates(statearray& s) {
    s[st::Cf].value = 250;
    s[st::Cw].value = 9000;
    s[st::Cr].value = 600;
    s[st::Nf].value = 10;
    s[st::Nw].value = 30;
    s[st::Nr].value = 15;
    s[st::Clf].value = 25;
    s[st::Clw].value = 400;
    s[st::Clr].value = 60;
    s[st::Nlf].value = 1;
    s[st::Nlw].value = 3;
    s[st::Nlr].value = 1;
    s[st::Cs].value = 147.975;
    s[st::Ce].value = 1743.21;
    s[st::Ci].value = 9027.92;
    s[st::Ch].value = 9027.92;
    s[st::Na].value = 300;
    s[st::Nh].value = 451.396;
    s[st::Nnh4].value = 1;
    for (int i = 1; i <= statearray::capacity; ++i) s[i].HoldConstant = false;
}

inline void SetSiteParams(paramarray& p) {
    // Photosynthesis and site.
    p[pa::Deltad].value = 42;
    p[pa::daymid].value = 172;
    p[pa::mf].value = 50;
    p[pa::aNf].value = 1;
    p[pa::Ww].value = 0.08;
    p[pa::Wf].value = 0.25;
    p[pa::Psiw].value = 1.5;    // magnitudes, MPa
    p[pa::Psif].value = 0.033;
    p[pa::kappaL].value = 10;
    p[pa::Sc].value = 0.584425;
    // Translocation and uptake.
    p[pa::aTau].value = 0.5;
    p[pa::qu0].value = 30;
    p[pa::Unh4max].value = 0.00864932;
    p[pa::knh4].value = 20;
    // Conductance network.
    p[pa::Kcf].value = 1;
    p[pa::KCa].value = 5;
    p[pa::KCb].value = 5;
    p[pa::Kcw].value = 1;
    p[pa::Kcr].value = 1;
    p[pa::Knf].value = 1;
    p[pa::KNa].value = 5;
    p[pa::KNb].value = 5;
    p[pa::Knw].value = 1;
    p[pa::Knr].value = 1;
    p[pa::aTCF].value = 34.871;
    p[pa::aTCW].value = 2;
    p[pa::aTCR].value = 8.71104;
    p[pa::aTNF].value = 17.46;
    p[pa::aTNW].value = 10;
    p[pa::aTNR].value = 23.892;
    // Growth.
    p[pa::gCFm].value = 4;
    p[pa::kGCF].value = 10;
    p[pa::aGCF].value = 1;
    p[pa::bGCF].value = 20;
    p[pa::gCWm].value = 0.048125;
    p[pa::kGCW].value = 10;
    p[pa::aGCW].value = 2;
    p[pa::bGCW].value = 100;
    p[pa::gCRm].value = 1.77083;
    p[pa::kGCR].value = 10;
    p[pa::aGCR].value = 1;
    p[pa::bGCR].value = 40;
    p[pa::gNFm].value = 0.112;
    p[pa::kGNF].value = 10;
    p[pa::aGNF].value = 1;
    p[pa::bGNF].value = 10;
    p[pa::gNWm].value = 0.00012;
    p[pa::kGNW].value = 10;
    p[pa::aGNW].value = 2;
    p[pa::bGNW].value = 50;
    p[pa::gNRm].value = 0.03125;
    p[pa::kGNR].value = 10;
    p[pa::aGNR].value = 1;
    p[pa::bGNR].value = 20;
    // Sapwood and litterfall.
    p[pa::h1].value = 20;
    p[pa::h2].value = 0.5;
    p[pa::AlambdaF].value = 1;
    p[pa::sigmaF].value = 1;
    p[pa::AlambdaW].value = 0.02;
    p[pa::sigmaW].value = 1;
    p[pa::AlambdaR].value = 0.5;
    p[pa::sigmaR].value = 1;
    // Respiration.
    p[pa::rm].value = 10.9338;
    p[pa::aWR].value = 0.5;
    p[pa::rg].value = 0.25;
    p[pa::gammar].value = 0.1;
    p[pa::Trmax].value = 45;
    p[pa::Tropt].value = 25;
    // Soil organic matter and nitrogen.
    p[pa::Q10d].value = 2;
    p[pa::Ase].value = 0.01;
    p[pa::Aei].value = 0.001;
    p[pa::Aie].value = 0.0002;
    p[pa::Aih].value = 0.0001;
    p[pa::beta].value = 0.5;
    p[pa::Ah].value = 0.0001;
    p[pa::qI].value = 20;
    p[pa::VImax].value = 0.00600827;
    p[pa::kIm].value = 20;
    // Soil water and ammonium.
    p[pa::Wdmin].value = 50;
    p[pa::Wdopt].value = 100;
    p[pa::JdWmax].value = 0.5;
    p[pa::phiD].value = 1;
    p[pa::p].value = 0.05;
    p[pa::Ep].value = 0.6;
    p[pa::etanh4].value = 50;
    p[pa::Nnh4mx].value = 2.69764e-06;
    p[pa::rho].value = 1.3e6;
    p[pa::z].value = 0.5;
}

// Fills the values of Drivers, Params and States (names, units and symbols
// are the catalogue's business: run InitialiseGlobals first). PrevDrivers and
// NextDrivers receive the same drivers.
inline void LoadSite(TGlobals& g) {
    SetSiteDrivers(g.Drivers);
    SetSiteParams(g.Params);
    SetSiteStates(g.States);
    SetSiteDrivers(g.PrevDrivers);
    SetSiteDrivers(g.NextDrivers);
}

// The site in arrays of its own, for code that evaluates the model directly.
struct TSiteArrays {
    drivearray d;
    paramarray p;
    statearray s;
    processarray x;
    TSiteArrays() {
        SetSiteDrivers(d);
        SetSiteParams(p);
        SetSiteStates(s);
    }
};

}  // namespace orvane::fixture
