// A thousand years on the temperate example site with a time step of 1 and
// yearly output, and the parts of its cost: the whole run with its files,
// the same integration without any file, and one model evaluation. The
// steady site takes long steps; the transient (every initial state times
// 0.8) is where the integrator works hardest.
//
// Everything that is not a model evaluation = Run1000Years minus
// (evaluations per run x EvaluateModel).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "io/fileio.h"
#include "model/catalogue.h"
#include "model/equations.h"
#include "run/run.h"
#include "solver/integrator.h"

namespace {

using namespace orvane;

const std::string ExampleDir = std::string(ORVANE_SOURCE_DIR) + "/examples";

// Loads the example site into g and keeps its initial states, every one
// times `factor`.
struct TSite {
    TGlobals g;
    statearray initial;

    explicit TSite(double factor = 1) {
        InitialiseGlobals(g);
        double residual = 0;
        if (!ReadParamFile(g, ExampleDir + "/temperate.par", g.ModelDef.numparam, g.Params,
                           g.ModelDef.numstate, g.States, residual)) {
            throw std::runtime_error("example parameter file refused");
        }
        g.DriverFileName = ExampleDir + "/temperate.drr";
        g.OutputFileName =
            (std::filesystem::temp_directory_path() / "orvane-bench-run.out").string();
        g.StartTime = 0;
        g.StopTime = 1000;
        g.TimeStep = 1;
        g.OutputStep = 1;
        for (int i = 1; i <= g.ModelDef.numstate; ++i) g.States[i].value *= factor;
        initial = g.States;
        // The drivers in force: the example's first row.
        g.PrevDriverTime = g.NextDriverTime = 0;
        OpenDriverFile(g, g.DriverFileName, g.ModelDef.numdrive, g.Drivers, false);
        GetDrivers(g, g.Drivers, 0);
        CloseDriverFile(g);
    }
    ~TSite() { std::remove(g.OutputFileName.c_str()); }
};

// Arg: the initial states in per cent of the site's.
void Run1000Years(benchmark::State& state) {
    TSite site(state.range(0) / 100.0);
    for (auto _ : state) {
        site.g.States = site.initial;
        const TRunResult r = RunSimulation(site.g, nullptr);
        if (!r.ok) {
            state.SkipWithError(r.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(site.g.States);
    }
}
BENCHMARK(Run1000Years)->Arg(100)->Arg(80)->Unit(benchmark::kMillisecond);

// The model's derivatives, counting how often they are evaluated.
struct TCountingDerivs {
    const TBoundDerivatives& inner;
    long* count;
    void operator()(const TStateVector& y, TStateVector& dydx, double x) const {
        ++*count;
        inner(y, dydx, x);
    }
};

// The run's loop with neither driver file nor output file.
void Integrate1000YearsNoFiles(benchmark::State& state) {
    TSite site(state.range(0) / 100.0);
    TGlobals& g = site.g;
    const int n = g.ModelDef.numstate;
    long evaluations = 0;
    for (auto _ : state) {
        g.States = site.initial;
        const TDerivativeAdapter adapter{g.Drivers, g.Params, g.States, n};
        long count = 0;
        TStateVector y{};
        for (double t = 0; t + 1 <= 1000; t += 1) {
            const TBoundDerivatives bound = adapter.Bind();
            const TCountingDerivs derivs{bound, &count};
            for (int i = 1; i <= n; ++i) y[i] = g.States[i].value;
            int nok = 0, nbad = 0;
            ODEIntegrator(y, n, t, t + 1, g.Tolerance, 1.0, 1e-4, derivs, nok, nbad);
            for (int i = 1; i <= n; ++i) g.States[i].value = y[i];
            EvaluateModel(g.Drivers, g.Params, g.States, t + 1, g.Processes, true);
            ++count;
        }
        evaluations = count + 1;  // and the run's evaluation at the start
        benchmark::DoNotOptimize(g.States);
    }
    state.counters["evaluations"] = static_cast<double>(evaluations);
}
BENCHMARK(Integrate1000YearsNoFiles)->Arg(100)->Arg(80)->Unit(benchmark::kMillisecond);

void EvaluateModelOnce(benchmark::State& state) {
    TSite site;
    TGlobals& g = site.g;
    for (auto _ : state) {
        statearray s = site.initial;
        EvaluateModel(g.Drivers, g.Params, s, 0.0, g.Processes, false);
        benchmark::DoNotOptimize(g.Processes);
    }
}
BENCHMARK(EvaluateModelOnce);

// Formatting and writing the 1001 rows alone.
void WriteOutputRows1001(benchmark::State& state) {
    TSite site;
    TGlobals& g = site.g;
    EvaluateModel(g.Drivers, g.Params, g.States, 0.0, g.Processes, false);
    for (auto _ : state) {
        OpenOutputFile(g, g.OutputFileName, g.ModelDef.numstate, g.States, true, g.Processes,
                       g.ModelDef.numprocess);
        for (int row = 0; row <= 1000; ++row) {
            WriteOutputRow(g, g.ModelDef.numstate, g.States, g.ModelDef.numprocess, g.Processes,
                           row);
        }
        CloseOutputFile(g);
    }
}
BENCHMARK(WriteOutputRows1001)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
