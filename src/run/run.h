// One simulation run, without any window: the sequence that both the
// workbench and the command-line runner use.
#pragma once

#include <exception>
#include <string>

#include "model/globals.h"

namespace orvane {

class IRunProgress {
public:
    virtual ~IRunProgress() = default;
    // Called once per outer step with the share completed before the step
    // (0..100). May raise EUserCancel to stop the run.
    virtual void Progress(int percent) = 0;
};

struct TRunResult {
    bool ok = true;            // the run reached its end
    bool cancelled = false;    // ended by EUserCancel
    std::string message;       // the error's message when !ok
    std::exception_ptr error;  // the error itself when !ok and !cancelled
    int rowsWritten = 0;       // data rows in the output file, the start row included
};

// Runs from g.StartTime to g.StopTime in whole steps of g.TimeStep: opens
// g.DriverFileName and creates g.OutputFileName, writes the start row and a
// row every OutputStep / TimeStep steps, and whatever way it ends closes both
// files and sets g.OutputCurrent. Errors are caught and returned, never
// thrown; a cancel (EUserCancel from `progress`) ends it quietly.
//
// Afterwards g.States and g.Processes hold the values at g.CurrentTime, the
// end of the last completed step, so a second run continues from there.
//
// `progress` may be nullptr (no progress shown). What belongs to the window
// is left to the caller: the reload request before the run, and the
// display file, the time step field and the present time after it.
TRunResult RunSimulation(TGlobals& g, IRunProgress* progress);

// The progress bar's position before the step that starts at `current`:
// the elapsed and the whole run length, each rounded to a whole number,
// as a percentage in integer arithmetic. Always within 0..100.
int RunProgressPercent(double current, double start, double stop);

// Number of outer steps between two output rows (at least 1).
int OutputInterval(double outputStep, double timeStep);

}  // namespace orvane
