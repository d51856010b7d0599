#include "ensemble/base_run.h"

#include "model/catalogue.h"
#include "run/runloop.h"

namespace orvane::ensemble {

std::vector<double> RunBaseSite(const TExperiment& e, const TSite& site) {
    // The site's values, with the run times and mode its members run in.
    const TGlobals& base = site.base;
    TGlobals g;
    InitialiseGlobals(g);
    g.StartTime = base.StartTime;
    g.StopTime = base.StopTime;
    g.TimeStep = base.TimeStep;
    g.OutputStep = base.OutputStep;
    g.CalcTime = base.CalcTime;
    g.ModelBatch = base.ModelBatch;
    g.MonteCarlo = base.MonteCarlo;
    g.States = base.States;
    g.Params = base.Params;
    g.Drivers = base.Drivers;
    g.Processes = base.Processes;
    std::vector<TRowVariable> vars;
    for (const TOutputVariable& o : e.outputs) vars.push_back(o.var);
    std::vector<double> out(vars.size() * static_cast<std::size_t>(e.Times()));
    TDriverCursor cursor(site.drivers, base.NextDrivers);
    TTableDriverSource source(cursor);
    TMemorySink sink(vars.data(), static_cast<int>(vars.size()), e.keepRow.data(), e.runRows, out.data(),
                     e.Times());
    RunSteps(g, source, sink, nullptr);
    return out;
}

}  // namespace orvane::ensemble
