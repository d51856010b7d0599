#include "run/runloop.h"

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/equations.h"
#include "model/errors.h"
#include "solver/integrator.h"
#include "solver/step_integrator.h"

namespace orvane {

namespace {

// One outer step: integrates g.States from g.CurrentTime to `next` with the
// drivers held at the step's start, then evaluates the processes at `next`.
// A failure leaves the states at the step's start, where the time and the
// processes still are.
void AdvanceOneStep(TGlobals& g, TStepIntegrator& integrator, const TEvalContext& context,
                    double next) {
    const int numstate = g.ModelDef.numstate;
    TStateVector y{};
    TStateVector before{};
    for (int i = 1; i <= numstate; ++i) y[i] = before[i] = g.States[i].value;
    integrator.Integrate(y, g.CurrentTime, next, g.TimeStep, 0.0001 * g.TimeStep);
    for (int i = 1; i <= numstate; ++i) g.States[i].value = y[i];
    try {
        EvaluateModel(g.Drivers, g.Params, g.States, next, g.Processes, true, context);
    } catch (...) {
        for (int i = 1; i <= numstate; ++i) g.States[i].value = before[i];
        throw;
    }
}

}  // namespace

void TFileDriverSource::Get(drivearray& target, double t) { GetDrivers(g_, target, t); }

void TOutputFileSink::Open() {
    OpenOutputFile(g_, g_.OutputFileName, g_.ModelDef.numstate, g_.States, true, g_.Processes,
                   g_.ModelDef.numprocess);
}

void TOutputFileSink::Row(double time, const TGlobals& g) {
    // The row's drivers are g.Drivers, which the writer takes itself.
    WriteOutputRow(g_, g.ModelDef.numstate, g.States, g.ModelDef.numprocess, g.Processes, time);
    ++rows_;
}

void TMemorySink::Row(double, const TGlobals& g) {
    const int r = row_++;
    if (r >= numRows_ || !keep_[r] || kept_ >= keptRows_) return;
    const int j = kept_++;
    for (int v = 0; v < numVars_; ++v) {
        const TRowVariable& var = vars_[v];
        double x = 0;
        switch (var.part) {
            case TRowPart::Driver: x = g.Drivers[var.index].value; break;
            case TRowPart::State: x = g.States[var.index].value; break;
            case TRowPart::Process: x = g.Processes[var.index].value; break;
        }
        out_[static_cast<std::size_t>(v) * static_cast<std::size_t>(keptRows_) +
             static_cast<std::size_t>(j)] = x;
    }
}

void RunSteps(TGlobals& g, IDriverSource& drivers, IRowSink& rows, IRunProgress* progress) {
    const TEvalContext context{g.ModelBatch, g.CalcFormShowing, g.FinalPass};
    g.CurrentTime = g.StartTime;
    int stepCounter = 1;
    const int k = OutputInterval(g.OutputStep, g.TimeStep);
    drivers.Get(g.Drivers, g.CurrentTime);
    EvaluateModel(g.Drivers, g.Params, g.States, g.CurrentTime, g.Processes, false, context);
    rows.Row(g.CurrentTime, g);

    const TDerivativeAdapter derivs{g.Drivers, g.Params, g.States, g.ModelDef.numstate, context};
    TStepIntegrator integrator(g.Integrator, derivs, g.Tolerance);
    while (g.CurrentTime + g.TimeStep <= g.StopTime) {
        const double next = g.CurrentTime + g.TimeStep;
        if (next == g.CurrentTime) {
            throw ERunTimeError("The time step is too small to advance the time beyond " +
                                FormatGeneral(g.CurrentTime) + ".");
        }
        AdvanceOneStep(g, integrator, context, next);
        if (stepCounter == k) {
            rows.Row(next, g);
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
        drivers.Get(g.Drivers, g.CurrentTime);
        ++stepCounter;
    }
}

}  // namespace orvane
