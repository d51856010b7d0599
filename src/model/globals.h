// The one object that holds the model's global instances, the shared run
// values, the output-display requests and the mode flags. The program owns
// exactly one; windows and routines receive it by reference. Independent
// objects may run in parallel: nothing else in the core is mutable and shared.
#pragma once

#include <string>

#include "io/textfile.h"
#include "model/integrator_choice.h"
#include "model/reporter.h"
#include "model/stypes.h"

namespace orvane {

struct TGlobals {
    // Global model instances.
    TModelDef ModelDef;
    statearray States;
    drivearray Drivers;
    drivearray PrevDrivers;
    drivearray NextDrivers;
    paramarray Params;
    processarray Processes;

    // Shared run values.
    double StartTime = 0;
    double StopTime = 2;
    double TimeStep = 1;
    double OutputStep = 1;
    double Tolerance = 1e-8;
    TIntegratorChoice Integrator;  // Runge-Kutta unless a runner chooses otherwise
    double CurrentTime = 0;
    double CalcTime = 0;
    double PrevDriverTime = 0;
    double NextDriverTime = 0;
    std::string ParamFileName;
    std::string DriverFileName;
    std::string OutputFileName;
    bool NewParamFile = false;
    bool NewDriverFile = false;
    bool ParamsChanged = false;
    bool RunEnabled = false;
    bool OutputCurrent = false;

    // Output-display requests.
    std::string DisplayFile;
    bool ReloadNeeded = true;
    bool TableMode = false;

    // Mode flags, set once at start-up from the program's name.
    bool ModelBatch = false;
    bool Sensitivity = false;
    bool MonteCarlo = false;
    bool InteractiveRun = false;

    // What EvaluateModel reads of the steady-state window: whether it is
    // showing, and whether the solver is in its final evaluation.
    bool CalcFormShowing = false;
    bool FinalPass = false;

    // The shared driver-file and output-file handles (one of each open at a time).
    TTextReader DriverReader;
    TTextWriter DriverWriter;
    TTextReader OutputReader;
    TTextWriter OutputWriter;

    // Where file routines show their message boxes; nullptr prints to stderr.
    IMessageSink* Messages = nullptr;
};

// Shows a message through g.Messages (or on standard error without one).
void ShowMessage(TGlobals& g, TMsgKind kind, const std::string& text);

}  // namespace orvane
