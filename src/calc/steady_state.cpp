// The steady-state solver: inverts the model's equations one after another,
// re-evaluating the model between groups of steps so that later steps see
// fluxes computed with the parameters derived by earlier ones.
#include <initializer_list>
#include <string>
#include <utility>

#include "calc/calculate.h"
#include "calc/checked_math.h"
#include "model/catalogue_data.h"
#include "model/errors.h"

namespace orvane {

namespace {

using checked::Num;

// A balance that only makes sense for a value >= 0; NaN fails as well.
void Check(double value, const char* message) {
    if (!(value >= 0.0)) throw EMathError(message);
}

// Accepts the derived parameters, states and drivers for display.
void AcceptWorkValues(const TValueSet& work, TValueSet& shown) {
    shown.States = work.States;
    shown.Params = work.Params;
    shown.Drivers = work.Drivers;
}

}  // namespace

void TSteadyStateCalc::CalculateSteadyState() {
    // The three stages nest: each handler wraps what the inner stages did not
    // wrap already, and lets their wrapped errors pass unchanged.
    try {
        // Start evaluation: where the calculation starts from.
        Evaluate(WorkSet, StartProcesses);
        try {
            // Derivation.
            DeriveValues(StartProcesses);
            try {
                // Final evaluation, which may report the
                // insoluble C:N error.
                FinalPass = true;
                Evaluate(WorkSet, ShownSet.Processes);
            } catch (const ECalculateError& e) {
                AcceptWorkValues(WorkSet, ShownSet);
                ShownSet.Processes = WorkSet.Processes;
                throw ECalcNewProcess(MsgCalcNewProcess + e.Message());
            }
            AcceptWorkValues(WorkSet, ShownSet);
            WorkSet.Processes = ShownSet.Processes;
            // At steady state each organ produces what it sheds.
            for (auto [npp, litter] : {std::pair{pr::NPPf, pr::lambdaCFT},
                                       std::pair{pr::NPPw, pr::lambdaCWT},
                                       std::pair{pr::NPPr, pr::lambdaCRT}}) {
                WorkSet.Processes[npp].value = WorkSet.Processes[litter].value;
                ShownSet.Processes[npp].value = WorkSet.Processes[npp].value;
            }
        } catch (const ECalcNewProcess&) {
            throw;
        } catch (const EMathError& e) {
            AcceptWorkValues(WorkSet, ShownSet);
            throw ECalcNewValue(MsgCalcNewValue + e.Message());
        }
    } catch (const ECalcNewValue&) {
        throw;
    } catch (const ECalcNewProcess&) {
        throw;
    } catch (const EMathError& e) {
        throw ECalcInitialProc(MsgCalcInitialProc + e.Message());
    }
}

// The derivation. Bare names below are WorkSet values; start, trial and shown are the
// start evaluation, the latest intermediate evaluation and the ShownSet.
// Every value is stored before anything checks it, so a failure leaves the
// offending value where the window can show it.
void TSteadyStateCalc::DeriveValues(const processarray& start) {
    paramarray& par = WorkSet.Params;
    statearray& sta = WorkSet.States;
    processarray& pro = WorkSet.Processes;
    const drivearray& drv = WorkSet.Drivers;
    const paramarray& shownPar = ShownSet.Params;
    const statearray& shownSta = ShownSet.States;

    auto P = [&](int i) { return Num(par[i].value); };
    auto S = [&](int i) { return Num(sta[i].value); };
    auto Q = [&](int i) { return Num(pro[i].value); };
    auto St = [&](int i) { return Num(start[i].value); };

    processarray trial;
    auto T = [&](int i) { return Num(trial[i].value); };
    auto evaluate = [&] { Evaluate(WorkSet, trial); };

    // Litterfall rates: litterfall equals the entered production; litterfall is
    // proportional to its rate parameter.
    par[pa::AlambdaF].value = (Q(pr::NPPf) * Num(shownPar[pa::AlambdaF].value) / St(pr::lambdaCFT)).v;
    par[pa::AlambdaW].value = (Q(pr::NPPw) * Num(shownPar[pa::AlambdaW].value) / St(pr::lambdaCWT)).v;
    par[pa::AlambdaR].value = (Q(pr::NPPr) * Num(shownPar[pa::AlambdaR].value) / St(pr::lambdaCRT)).v;

    // Fluxes with the new litterfall rates.
    evaluate();

    // That evaluation is kept aside: later steps need what it says
    // after the array has been refilled.
    const processarray kept = trial;
    auto K = [&](int i) { return Num(kept[i].value); };
    pro[pr::NPPt].value = ((T(pr::lambdaCFT) + T(pr::lambdaCWT)) + T(pr::lambdaCRT)).v;
    for (int i : {pr::lambdaCFT, pr::lambdaCWT, pr::lambdaCRT}) pro[i].value = kept[i].value;

    // Plant respiration closes the carbon budget; photosynthesis is proportional to Sc.
    pro[pr::Rpt].value = (Q(pr::Ps) - Q(pr::NPPt)).v;
    par[pa::Sc].value = (Q(pr::Ps) * Num(shownPar[pa::Sc].value) / St(pr::Ps)).v;

    Check(pro[pr::Rpt].value, MsgPlantRespNegative);
    Check(sta[st::Ch].value, MsgHumusCNegative);

    // What the first evaluation says of respiration, translocation, nitrogen
    // litter and its partition into the soil.
    for (int i : {pr::Hr, pr::tauN, pr::lambdaNFT, pr::lambdaNWT, pr::lambdaNRT, pr::FClambdaS,
                  pr::FClambdaE, pr::FClambdaI})
        pro[i].value = kept[i].value;
    // The soluble pool passes on all it receives.
    pro[pr::FCse].value = pro[pr::FClambdaS].value;

    // Growth respiration when growth replaces structural litter.
    const double Rfgr = (P(pa::rg) * K(pr::lambdaCSF)).v;
    const double Rwgr = (P(pa::rg) * K(pr::lambdaCSW)).v;
    const double Rrgr = (P(pa::rg) * K(pr::lambdaCSR)).v;

    // Maintenance respiration closes the carbon budget.
    par[pa::rm].value = ((Q(pr::Rpt) - ((Num(Rfgr) + Rwgr) + Rrgr)) /
                         ((((P(pa::aWR) * S(st::Nw)) + S(st::Nf)) + S(st::Nr)) * Q(pr::Hr)))
                            .v;

    // Metabolic respiration with the new rm.
    evaluate();

    // Uptake replaces the nitrogen lost in litter.
    pro[pr::Unh4].value = ((Q(pr::lambdaNWT) + Q(pr::lambdaNFT)) + Q(pr::lambdaNRT)).v;

    // Structural growth that balances litterfall (and translocation).
    const double tGcf = (K(pr::lambdaCSF) + Rfgr).v;
    const double tGcw = (K(pr::lambdaCSW) + Rwgr).v;
    const double tGcr = (K(pr::lambdaCSR) + Rrgr).v;
    const double tGnf = (K(pr::lambdaNSF) + K(pr::tauNS)).v;
    const double tGnw = kept[pr::lambdaNSW].value;
    const double tGnr = kept[pr::lambdaNSR].value;

    // Growth maximum that gives growth `target` from the organ's pools.
    auto growthMax = [&](int a, int k, int b, int Cl, int Nl, double target, int C) {
        return (((((P(a) * S(Cl)) + P(k)) + (P(b) * S(Nl))) + (S(Cl) * S(Nl))) * target /
                ((S(Cl) * S(Nl)) * S(C)))
            .v;
    };

    // Carbon growth maxima.
    par[pa::gCFm].value = growthMax(pa::aGCF, pa::kGCF, pa::bGCF, st::Clf, st::Nlf, tGcf, st::Cf);
    par[pa::gCWm].value = growthMax(pa::aGCW, pa::kGCW, pa::bGCW, st::Clw, st::Nlw, tGcw, st::Cw);
    par[pa::gCRm].value = growthMax(pa::aGCR, pa::kGCR, pa::bGCR, st::Clr, st::Nlr, tGcr, st::Cr);

    // Carbon transport coefficients from the three-node network with
    // every labile carbon pool in balance. The stem node's potential is
    // (target Gcw + labile wood litter) / Kcw + aTCW * Clw.
    {
        const double w = (P(pa::aTCW) * S(st::Clw)).v;
        Num a = (((Q(pr::Ps) - T(pr::Rfmet)) - tGcf) - K(pr::lambdaCLF)) / P(pa::KCa);
        a = a + (Num(tGcw) + K(pr::lambdaCLW)) / P(pa::Kcw);
        a = a + w;
        a = a - (Num(tGcf) + K(pr::lambdaCLF)) / P(pa::Kcf);
        const double foliage = (a * P(pa::Kcf)).v;
        par[pa::aTCF].value = (Num(foliage) / (P(pa::Kcf) * S(st::Clf))).v;

        a = ((-T(pr::Rrmet) - tGcr) - K(pr::lambdaCLR)) / P(pa::KCb);
        a = a + (Num(tGcw) + K(pr::lambdaCLW)) / P(pa::Kcw);
        a = a + w;
        a = a - (Num(tGcr) + K(pr::lambdaCLR)) / P(pa::Kcr);
        const double root = (a * P(pa::Kcr)).v;
        par[pa::aTCR].value = (Num(root) / (P(pa::Kcr) * S(st::Clr))).v;
    }

    // Nitrogen growth maxima.
    par[pa::gNFm].value = growthMax(pa::aGNF, pa::kGNF, pa::bGNF, st::Clf, st::Nlf, tGnf, st::Cf);
    par[pa::gNWm].value = growthMax(pa::aGNW, pa::kGNW, pa::bGNW, st::Clw, st::Nlw, tGnw, st::Cw);
    par[pa::gNRm].value = growthMax(pa::aGNR, pa::kGNR, pa::bGNR, st::Clr, st::Nlr, tGnr, st::Cr);

    // Nitrogen transport coefficients, likewise; translocated nitrogen
    // enters at the stem node and uptake at the root node.
    {
        const double v = (P(pa::aTNW) * S(st::Nlw)).v;
        const double tauNL = ((P(pa::AlambdaF) * S(st::Nlf)) * P(pa::aTau)).v;
        Num a = (((-Num(tGnf)) - K(pr::lambdaNLF)) - tauNL) / P(pa::KNa);
        a = a + (Num(tGnw) + K(pr::lambdaNLW)) / P(pa::Knw);
        a = a + v;
        a = a - ((Num(tGnf) + tauNL) + K(pr::lambdaNLF)) / P(pa::Knf);
        const double foliage = (a * P(pa::Knf)).v;
        par[pa::aTNF].value = (Num(foliage) / (P(pa::Knf) * S(st::Nlf))).v;

        a = ((Q(pr::Unh4) - tGnr) - K(pr::lambdaNLR)) / P(pa::KNb);
        a = a + (Num(tGnw) + K(pr::lambdaNLW)) / P(pa::Knw);
        a = a + v;
        a = a - (Num(tGnr) + K(pr::lambdaNLR)) / P(pa::Knr);
        const double root = (a * P(pa::Knr)).v;
        par[pa::aTNR].value = (Num(root) / (P(pa::Knr) * S(st::Nlr))).v;
    }

    // Soil carbon pools in balance with the litter input, at the soil
    // rate factor of the start evaluation.
    const Num rs = St(pr::rs);
    sta[st::Cs].value = (Q(pr::FCse) * Num(shownSta[st::Cs].value) / St(pr::FCse)).v;
    {
        const Num beta = P(pa::beta);
        const Num inflow = (((rs * P(pa::Ase)) * S(st::Cs)) * (Num(1) - beta) + Q(pr::FClambdaE)) +
                           (Num(1) + beta) * Q(pr::FClambdaI);
        const Num turnover = (((P(pa::Aie) + P(pa::Aih)) * rs) * (Num(1) + beta)) -
                             ((rs * P(pa::Aie)) * (Num(1) - beta));
        sta[st::Ci].value = (inflow / turnover).v;
    }
    sta[st::Ce].value =
        ((((rs * S(st::Ci)) * (P(pa::Aie) + P(pa::Aih))) - Q(pr::FClambdaI)) / (rs * P(pa::Aei))).v;
    sta[st::Ch].value = (((Q(pr::Cst) - S(st::Cs)) - S(st::Ce)) - S(st::Ci)).v;
    Check(sta[st::Ch].value, MsgHumusCNegative);

    // Active soil nitrogen is what humus does not hold.
    sta[st::Na].value = (Q(pr::Nst) - S(st::Nh)).v;
    Check(sta[st::Na].value, MsgActiveNNegative);

    // Soil fluxes with the new soil states.
    evaluate();

    // Humus respiration closes the soil carbon budget; it is
    // proportional to Ah.
    const double targetRh =
        (((Q(pr::FClambdaI) + Q(pr::FClambdaE)) + Q(pr::FClambdaS)) - T(pr::Re)).v;
    Check(targetRh, MsgHumusRespNegative);
    par[pa::Ah].value = (Num(targetRh) * Num(shownPar[pa::Ah].value) / T(pr::Rh)).v;

    // Humus nitrogen gain equals its release.
    const double FNhi = ((rs * P(pa::Ah)) * S(st::Nh)).v;
    par[pa::qI].value = (((rs * P(pa::Aih)) * S(st::Ci)) / FNhi).v;

    // Leaching equals deposition; the sorption capacity that holds the
    // entered ammonium at that solution concentration.
    pro[pr::Qnh4].value = drv[dr::Dnh4].value;
    // The unit factors 0.014 and 1.4e-05 are extended-precision constants;
    // these two formulas stay extended until their results are stored.
    {
        using checked::DivX, checked::MulX, checked::StoreX, checked::SubX;
        pro[pr::Nnh4aq].value = StoreX(DivX(pro[pr::Qnh4].value, MulX(0.014L, start[pr::Qw].value)));
        pro[pr::Nnh4s].value = StoreX(SubX(
            sta[st::Nnh4].value, MulX(MulX(1.4e-05L, pro[pr::W].value), pro[pr::Nnh4aq].value)));
    }
    par[pa::Nnh4mx].value = (((P(pa::etanh4) + Q(pr::Nnh4aq)) * Q(pr::Nnh4s)) /
                             ((Q(pr::Nnh4aq) * P(pa::rho)) * P(pa::z)))
                                .v;

    // Uptake capacity for the uptake derived above.
    par[pa::Unh4max].value = (((Q(pr::Unh4) * St(pr::qU)) * (P(pa::knh4) + Q(pr::Nnh4aq))) /
                              ((Num(drv[dr::Sp].value) * S(st::Cr)) * Q(pr::Nnh4aq)))
                                 .v;

    // Immobilisation closes the ammonium balance.
    pro[pr::FNia].value = ((Num(FNhi) + T(pr::FNai)) - Q(pr::Unh4)).v;
    par[pa::VImax].value = (((Q(pr::FNia) / ((S(st::Ci) / S(st::Na)) - P(pa::qI))) *
                             (P(pa::kIm) + Q(pr::Nnh4aq))) /
                            (rs * Q(pr::Nnh4aq)))
                               .v;
}

}  // namespace orvane
