// A site that is exactly at steady state: the temperate test site with the
// 20 parameters and 5 soil states that the steady-state calculator derives
// from its stocks and fluxes. Window tests use it too.
#pragma once

#include "calc/calculate.h"
#include "model/catalogue.h"
#include "model/equations.h"
#include "model/site_fixture.h"

namespace orvane::fixture {

// Fills g (catalogue included) with the steady site and its processes.
// Returns false when the derivation failed (the fixture is then broken).
inline bool LoadSteadySite(TGlobals& g) {
    InitialiseGlobals(g);
    LoadSite(g);
    const bool showing = g.CalcFormShowing;
    g.CalcFormShowing = true;
    TSteadyStateCalc calc(g);
    calc.TakeFromModel();
    bool ok = true;
    try {
        calc.EvaluateStart();
        calc.Recalculate();
        CopySetToModel(g, calc.ShownSet);
    } catch (const EOrvaneError&) {
        ok = false;
    }
    g.CalcFormShowing = showing;
    g.PrevDrivers = g.Drivers;
    g.NextDrivers = g.Drivers;
    return ok;
}

}  // namespace orvane::fixture
