// The steady-state calculator without any window: the value sets that the
// steady-state window holds, and the solver that derives 20 parameters and
// 5 soil states from a site assumed to be at equilibrium.
//
// How the window (TFmCalculate) drives it
// ---------------------------------------
//   TSteadyStateCalc Calc{g};          // one per window, lives as long as it
//
//   Opening (FormShow):
//     Calc.Open();                      // SavedSet/ShownSet/WorkSet from the model,
//                                       // drivers read from the driver file at
//                                       // g.CalcTime; errors pass on (missing file)
//     try { Calc.EvaluateStart(); ... } // evaluation of the opening values into
//     catch (...) { ... }               // ShownSet/WorkSet/StartProcesses
//
//   Editing (StoreValue -> ChangeValue):
//     Calc.ChangeValue(KindState, GetArrayIndex(g, KindState, "Cf"), 420.0);
//     Calc.Recalculate();               // clears FinalPass, then CalculateSteadyState;
//                                       // raises ECalcInitialProc / ECalcNewValue /
//                                       // ECalcNewProcess (prefix with MsgCalcFailed),
//                                       // or a non-math error unchanged
//
//   Showing (UpdateForm steps 3-6):
//     Calc.ShownValue(kind, index)      // what each field shows
//     IsValidValue(v)                   // false: paint the field yellow
//     Calc.ShowsSteadyState(invalid)    // true: green light; false: red. Always
//                                       // false after a failed calculation, even
//                                       // when the old processes were steady.
//     GroupsDisabledOnFailure           // the nine group boxes to disable after
//                                       // a failed calculation (interactive mode)
//
//   Buttons: CopySetToModel(g, Calc.ShownSet) for OK / Cancel-No / Show all
//   processes, CopySetToModel(g, Calc.SavedSet) for Cancel-Yes, and
//   Calc.MarkSaved() after writing the parameter file.
//
// The window must keep g.CalcFormShowing true while it is visible: the model
// raises its insoluble C:N error only then (and only outside batch mode) during
// the solver's final evaluation. FinalPass lives here, not in TGlobals, so that
// other evaluations (parameter editor, tables) never see it set.
//
// Nothing here is static: independent TSteadyStateCalc objects may work in
// parallel (each on its own TGlobals, or sharing one read-only TGlobals when
// Open() is not used).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "io/drivertable.h"
#include "model/equations.h"
#include "model/errors.h"
#include "model/globals.h"
#include "model/stypes.h"

namespace orvane {

// Kinds of variable, as the window's field names encode them.
using TVarKind = uint8_t;
inline constexpr TVarKind KindDriver = 0;
inline constexpr TVarKind KindState = 1;
inline constexpr TVarKind KindParam = 2;
inline constexpr TVarKind KindProcess = 3;

// Index of the variable of `kind` whose symbol is exactly `symbol` (case
// sensitive), searched in the catalogue held by g: drivers 1..numdrive,
// states 1..numstate, parameters 1..numparam, processes numstate..numprocess.
// The last match wins; 0 when nothing matches or the kind is unknown. The
// index is the same in every value set (they all follow the catalogue order).
int GetArrayIndex(const TGlobals& g, TVarKind kind, std::string_view symbol);

// One complete copy of the model's values.
struct TValueSet {
    statearray States;
    paramarray Params;
    drivearray Drivers;
    processarray Processes;

    // The value of variable `index` of `kind` (0 for an unknown kind).
    double Value(TVarKind kind, int index) const;
    void SetValue(TVarKind kind, int index, double value);
};

// Copies the four arrays of `set` into g.States, g.Params, g.Drivers and
// g.Processes (OK, Cancel, Show all processes, Save parameter file).
void CopySetToModel(TGlobals& g, const TValueSet& set);

// A shown value is valid when it is a number >= 0.
inline bool IsValidValue(double v) { return v >= 0.0; }

// A derivative counts as zero when its magnitude is at most this.
inline constexpr double SteadyTolerance = 1e-8;

// What the window reports in the sensitivity and Monte Carlo modes when the
// result is not a steady state or shows an invalid value.
inline constexpr const char* MsgInvalidSteadyState = "Invalid Steady State";

// The window's prefix for a failed calculation's message.
inline constexpr const char* MsgCalcFailed = "Steady state calculation failed. ";

// Messages of the solver's checks (leading and trailing blanks are part of them).
inline constexpr const char* MsgPlantRespNegative =
    " Insufficient photosynthesis, plant respiration is negative. ";
inline constexpr const char* MsgHumusCNegative = " Humus C is negative.";
inline constexpr const char* MsgActiveNNegative =
    " Active soil N is negative because value entered for humus N is greater than total soil N.";
inline constexpr const char* MsgHumusRespNegative = " Humus respiration is negative.";

// The group boxes that a failed calculation disables (interactive mode);
// the other groups of the window stay usable.
inline constexpr std::array<std::string_view, 9> GroupsDisabledOnFailure = {
    "GbGrowth", "GbAllocation", "GbDriver", "GbNPP", "GbPResp",
    "GbSapwood", "GbState", "GbStatus", "GbTranslocation"};

class TSteadyStateCalc {
public:
    // Reads the catalogue counts, CalcTime, DriverFileName, ModelBatch and
    // CalcFormShowing from g whenever it needs them; g must outlive this object.
    explicit TSteadyStateCalc(TGlobals& g) : G(g) {}

    TValueSet SavedSet;               // the model's values at opening (restored by Cancel-Yes)
    TValueSet WorkSet;                // the entries and everything derived from them
    TValueSet ShownSet;               // the accepted values that the window shows
    processarray StartProcesses;      // the first evaluation of each calculation
    bool FinalPass = false;           // set just before the solver's final evaluation
    bool CalculationFailed = false;   // the last calculation ended in an error

    // Opening, first part: SavedSet and ShownSet <- the model's arrays; WorkSet
    // states and parameters <- the model's; then the drivers in force at
    // g.CalcTime are read from g.DriverFileName into the ShownSet and copied to
    // the WorkSet. Clears FinalPass and CalculationFailed. Errors of the driver
    // file pass on.
    void Open();
    // Opening without a driver file: the drivers are taken from g.Drivers.
    void TakeFromModel();
    // Opening as Open does, with the drivers in force at g.CalcTime taken
    // from a driver table in a new pass of `cursor` instead of the file.
    void OpenFromTable(TDriverCursor& cursor);

    // Opening, second part: clears FinalPass, evaluates the ShownSet into its
    // processes, and copies them to the WorkSet processes and StartProcesses.
    // Any error passes on (nothing is changed then, except negative states,
    // which the model replaces by 1e-05 in the ShownSet).
    void EvaluateStart();

    // Stores an entry into the WorkSet (no calculation).
    void ChangeValue(TVarKind kind, int index, double value) { WorkSet.SetValue(kind, index, value); }

    // One calculation as the window's update runs it: clears FinalPass, then
    // CalculateSteadyState, recording in CalculationFailed whether it failed.
    void Recalculate();

    // The solver: a start evaluation into StartProcesses, the derivation
    // steps, and a final evaluation into the ShownSet. On
    // success the WorkSet and ShownSet hold the same values. Raises one of
    // ECalcInitialProc, ECalcNewValue, ECalcNewProcess, leaving the sets as
    // each part's failure leaves them; errors that are not math errors pass
    // unchanged. Does not clear FinalPass (Recalculate does).
    void CalculateSteadyState();

    double ShownValue(TVarKind kind, int index) const { return ShownSet.Value(kind, index); }

    // True when every shown state derivative is a number of magnitude at
    // most SteadyTolerance.
    bool DerivativesSteady() const;
    // The status light: green (true) when nothing is invalid, the shown
    // derivatives are all ~0 and the last calculation did not fail.
    bool ShowsSteadyState(int invalidCount) const {
        return invalidCount == 0 && !CalculationFailed && DerivativesSteady();
    }

    // After the parameter file was written from the ShownSet: the SavedSet
    // takes the shown states and parameters.
    void MarkSaved();

    // The context of the solver's evaluations.
    TEvalContext EvalContext() const { return {G.ModelBatch, G.CalcFormShowing, FinalPass}; }

    TGlobals& Globals() const { return G; }

private:
    void Evaluate(TValueSet& set, processarray& into);
    void DeriveValues(const processarray& start);

    TGlobals& G;
};

}  // namespace orvane
