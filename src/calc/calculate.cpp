// Value sets of the steady-state calculator and what the window asks of them.
#include "calc/calculate.h"

#include <cmath>

#include "io/fileio.h"

namespace orvane {

int GetArrayIndex(const TGlobals& g, TVarKind kind, std::string_view symbol) {
    const TModelDef& m = g.ModelDef;
    int found = 0;
    switch (kind) {
        case KindDriver:
            for (int i = 1; i <= m.numdrive; ++i)
                if (g.Drivers[i].symbol == symbol) found = i;
            break;
        case KindState:
            for (int i = 1; i <= m.numstate; ++i)
                if (g.States[i].symbol == symbol) found = i;
            break;
        case KindParam:
            for (int i = 1; i <= m.numparam; ++i)
                if (g.Params[i].symbol == symbol) found = i;
            break;
        case KindProcess:
            // The search starts at numstate, so the derivatives before it are
            // never found by symbol; no field of the window shows them.
            for (int i = m.numstate; i <= m.numprocess; ++i)
                if (i >= 1 && g.Processes[i].symbol == symbol) found = i;
            break;
        default:
            break;
    }
    return found;
}

double TValueSet::Value(TVarKind kind, int index) const {
    switch (kind) {
        case KindDriver: return Drivers[index].value;
        case KindState: return States[index].value;
        case KindParam: return Params[index].value;
        case KindProcess: return Processes[index].value;
        default: return 0.0;
    }
}

void TValueSet::SetValue(TVarKind kind, int index, double value) {
    switch (kind) {
        case KindDriver: Drivers[index].value = value; break;
        case KindState: States[index].value = value; break;
        case KindParam: Params[index].value = value; break;
        case KindProcess: Processes[index].value = value; break;
        default: break;
    }
}

void CopySetToModel(TGlobals& g, const TValueSet& set) {
    g.States = set.States;
    g.Params = set.Params;
    g.Processes = set.Processes;
    g.Drivers = set.Drivers;
}

void TSteadyStateCalc::TakeFromModel() {
    SavedSet.States = G.States;
    SavedSet.Params = G.Params;
    SavedSet.Drivers = G.Drivers;
    SavedSet.Processes = G.Processes;
    ShownSet = SavedSet;
    // The whole WorkSet starts as what is shown, so that an opening whose
    // evaluation fails does not leave processes of an earlier opening behind.
    WorkSet = ShownSet;
    FinalPass = false;
    CalculationFailed = false;
}

void TSteadyStateCalc::Open() {
    TakeFromModel();
    const int numdrive = G.ModelDef.numdrive;
    OpenDriverFile(G, G.DriverFileName, numdrive, ShownSet.Drivers, false);
    // Read from the first row again, whatever a run left behind.
    G.PrevDriverTime = 0;
    G.NextDriverTime = 0;
    try {
        GetDrivers(G, ShownSet.Drivers, G.CalcTime);
    } catch (...) {
        CloseDriverFile(G);
        throw;
    }
    CloseDriverFile(G);
    WorkSet.Drivers = ShownSet.Drivers;
}

void TSteadyStateCalc::OpenFromTable(TDriverCursor& cursor) {
    TakeFromModel();
    cursor.Restart();
    cursor.Get(ShownSet.Drivers, G.CalcTime);
    WorkSet.Drivers = ShownSet.Drivers;
}

void TSteadyStateCalc::EvaluateStart() {
    FinalPass = false;
    Evaluate(ShownSet, ShownSet.Processes);
    WorkSet.Processes = ShownSet.Processes;
    StartProcesses = ShownSet.Processes;
}

void TSteadyStateCalc::Recalculate() {
    FinalPass = false;
    CalculationFailed = false;
    try {
        CalculateSteadyState();
    } catch (...) {
        CalculationFailed = true;
        throw;
    }
}

bool TSteadyStateCalc::DerivativesSteady() const {
    for (int i = 1; i <= G.ModelDef.numstate; ++i) {
        // Written so that a NaN derivative counts as not steady.
        if (!(std::fabs(ShownSet.Processes[i].value) <= SteadyTolerance)) return false;
    }
    return true;
}

void TSteadyStateCalc::MarkSaved() {
    SavedSet.States = ShownSet.States;
    SavedSet.Params = ShownSet.Params;
}

void TSteadyStateCalc::Evaluate(TValueSet& set, processarray& into) {
    EvaluateModel(set.Drivers, set.Params, set.States, G.CalcTime, into, false, EvalContext());
}

}  // namespace orvane
