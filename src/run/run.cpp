#include "run/run.h"

#include <cmath>
#include <cstdint>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/equations.h"
#include "model/errors.h"
#include "run/filecheck.h"
#include "run/rounding.h"
#include "solver/integrator.h"

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
    const int numstate = g.ModelDef.numstate;
    const int numprocess = g.ModelDef.numprocess;
    const TEvalContext context{g.ModelBatch, g.CalcFormShowing, g.FinalPass};
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
        OpenOutputFile(g, g.OutputFileName, numstate, g.States, true, g.Processes, numprocess);

        g.CurrentTime = g.StartTime;
        int stepCounter = 1;
        const int k = OutputInterval(g.OutputStep, g.TimeStep);
        GetDrivers(g, g.Drivers, g.CurrentTime);
        EvaluateModel(g.Drivers, g.Params, g.States, g.CurrentTime, g.Processes, false, context);
        WriteOutputRow(g, numstate, g.States, numprocess, g.Processes, g.CurrentTime);
        ++result.rowsWritten;

        const TDerivativeAdapter derivs{g.Drivers, g.Params, g.States, numstate, context};
        TStateVector y{};
        TStateVector before{};
        while (g.CurrentTime + g.TimeStep <= g.StopTime) {
            const double next = g.CurrentTime + g.TimeStep;
            if (next == g.CurrentTime) {
                throw ERunTimeError("The time step is too small to advance the time beyond " +
                                    FormatGeneral(g.CurrentTime) + ".");
            }
            for (int i = 1; i <= numstate; ++i) y[i] = before[i] = g.States[i].value;
            int nok = 0;
            int nbad = 0;
            ODEIntegrator(y, numstate, g.CurrentTime, next, g.Tolerance, g.TimeStep,
                          0.0001 * g.TimeStep, derivs, nok, nbad);
            for (int i = 1; i <= numstate; ++i) g.States[i].value = y[i];
            try {
                EvaluateModel(g.Drivers, g.Params, g.States, next, g.Processes, true, context);
            } catch (...) {
                // The step is not complete: the states go back to its start,
                // where the time and the processes still are.
                for (int i = 1; i <= numstate; ++i) g.States[i].value = before[i];
                throw;
            }
            if (stepCounter == k) {
                WriteOutputRow(g, numstate, g.States, numprocess, g.Processes, next);
                ++result.rowsWritten;
                stepCounter = 0;
            }
            if (progress) {
                try {
                    progress->Progress(RunProgressPercent(g.CurrentTime, g.StartTime, g.StopTime));
                } catch (const EUserCancel&) {
                    // The step is complete and written: the time reached is its end.
                    g.CurrentTime = next;
                    throw;
                }
            }
            g.CurrentTime = next;
            GetDrivers(g, g.Drivers, g.CurrentTime);
            ++stepCounter;
        }
    } catch (const EUserCancel&) {
        result.cancelled = true;
    } catch (const std::exception& e) {
        result.ok = false;
        result.message = e.what();
        result.error = std::current_exception();
    }
    if (result.cancelled) result.ok = false;
    CloseRunFiles(g, result);
    g.OutputCurrent = true;
    return result;
}

}  // namespace orvane
