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
};

// Runs from g.StartTime to g.StopTime: opens the driver and output files,
// writes the rows, and whatever way it ends closes both files and sets
// g.OutputCurrent. Errors are caught and returned, never thrown.
TRunResult RunSimulation(TGlobals& g, IRunProgress* progress);

}  // namespace orvane
