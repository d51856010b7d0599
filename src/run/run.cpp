#include "run/run.h"

#include <cmath>

#include "io/fileio.h"
#include "model/errors.h"
#include "run/filecheck.h"
#include "run/runloop.h"

namespace orvane {

namespace {

// Refuses times with which the run would never end, before any file is
// touched.
void CheckRunTimes(const TGlobals& g) {
    if (!std::isfinite(g.StartTime) || !std::isfinite(g.StopTime)) {
        throw ERunTimeError("The start and stop times must be finite numbers.");
    }
    if (!(g.TimeStep > 0.0) || !std::isfinite(g.TimeStep)) {
        throw ERunTimeError("The time step must be greater than 0.");
    }
}

void CloseRunFiles(TGlobals& g, TRunResult& result) {
    try {
        CloseDriverFile(g);
    } catch (...) {
        // Nothing was written to it; an error closing it changes nothing.
    }
    try {
        CloseOutputFile(g);
    } catch (const std::exception& e) {
        // Rows that never reached the disk make a failed run of a finished one.
        if (!result.error) {
            result.ok = false;
            result.cancelled = false;
            result.message = e.what();
            result.error = std::current_exception();
        }
    }
    g.OutputWriter.CloseQuietly();
}

}  // namespace

TRunResult RunSimulation(TGlobals& g, IRunProgress* progress) {
    TRunResult result;
    TOutputFileSink file(g);
    try {
        CheckRunTimes(g);
        CheckRunFiles(g);
        g.PrevDriverTime = 0;
        g.NextDriverTime = 0;
        OpenDriverFile(g, g.DriverFileName, g.ModelDef.numdrive, g.Drivers, false);
        // A missing file has been reported and nothing is open: stop before
        // the output file of an earlier run is overwritten.
        if (!g.DriverReader.IsOpen()) {
            throw EInOutError("Cannot read driver file \"" + g.DriverFileName +
                              "\": the file does not exist.");
        }
        file.Open();
        TFileDriverSource driverFile(g);
        RunSteps(g, driverFile, file, progress);
    } catch (const EUserCancel&) {
        result.cancelled = true;
    } catch (const std::exception& e) {
        result.ok = false;
        result.message = e.what();
        result.error = std::current_exception();
    }
    result.rowsWritten = file.Rows();
    if (result.cancelled) result.ok = false;
    CloseRunFiles(g, result);
    g.OutputCurrent = true;
    return result;
}

}  // namespace orvane
