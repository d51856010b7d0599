// Cost of one model evaluation: the integrator makes at least 11 of these
// per accepted step, so it bounds the speed of every run. On the test
// site of the unit tests, and on the shipped example sites, whose litterfall
// exponents (not 1) take the library's power function six times more.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

#include "../tests/model/site_fixture.h"
#include "io/fileio.h"
#include "model/bound_model.h"
#include "model/catalogue.h"
#include "model/equations.h"
#include "model/errors.h"

namespace {

using namespace orvane;

// An example site: its parameter file and the first row of its driver file.
struct TExampleSite {
    TGlobals g;
    explicit TExampleSite(const char* name) {
        const std::string base = std::string(ORVANE_SOURCE_DIR) + "/examples/" + name;
        InitialiseGlobals(g);
        double residual = 0;
        if (!ReadParamFile(g, base + ".par", g.ModelDef.numparam, g.Params, g.ModelDef.numstate,
                           g.States, residual)) {
            throw std::runtime_error("example parameter file refused");
        }
        g.PrevDriverTime = g.NextDriverTime = 0;
        OpenDriverFile(g, base + ".drr", g.ModelDef.numdrive, g.Drivers, false);
        GetDrivers(g, g.Drivers, 0);
        CloseDriverFile(g);
    }
};

const char* const ExampleNames[] = {"temperate", "boreal"};

void BM_EvaluateModelExampleSite(benchmark::State& state) {
    TExampleSite site(ExampleNames[state.range(0)]);
    state.SetLabel(ExampleNames[state.range(0)]);
    TGlobals& g = site.g;
    for (auto _ : state) {
        EvaluateModel(g.Drivers, g.Params, g.States, 0.0, g.Processes, false);
        benchmark::DoNotOptimize(g.Processes[pr::dCfdt].value);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EvaluateModelExampleSite)->Arg(0)->Arg(1);

// What the integrator calls at every stage: the derivatives alone, with the
// terms of the drivers and parameters kept from the first evaluation.
void BM_BoundDerivativesExampleSite(benchmark::State& state) {
    TExampleSite site(ExampleNames[state.range(0)]);
    state.SetLabel(ExampleNames[state.range(0)]);
    TGlobals& g = site.g;
    const TBoundModel model(g.Drivers, g.Params, g.States);
    TStateVector y{};
    TStateVector dydx{};
    for (int i = 1; i <= g.ModelDef.numstate; ++i) y[i] = g.States[i].value;
    for (auto _ : state) {
        model.Derivatives(y, dydx);
        benchmark::DoNotOptimize(dydx);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BoundDerivativesExampleSite)->Arg(0)->Arg(1);

void BM_EvaluateModel(benchmark::State& state) {
    fixture::TSiteArrays site;
    for (auto _ : state) {
        EvaluateModel(site.d, site.p, site.s, 0.0, site.x, false);
        benchmark::DoNotOptimize(site.x[pr::dCfdt].value);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EvaluateModel);

// As the integrator's derivative adapter calls it: on a fresh copy of the
// states, into a scratch process array.
void BM_EvaluateModelOnStateCopy(benchmark::State& state) {
    fixture::TSiteArrays site;
    processarray scratch;
    for (auto _ : state) {
        statearray trial = site.s;
        EvaluateModel(site.d, site.p, trial, 0.0, scratch, false);
        benchmark::DoNotOptimize(scratch[pr::dCfdt].value);
    }
}
BENCHMARK(BM_EvaluateModelOnStateCopy);

// The error path: a fault found and located (two passes and a throw).
void BM_EvaluateModelFault(benchmark::State& state) {
    fixture::TSiteArrays site;
    site.s[st::Cf].value = 0;
    for (auto _ : state) {
        try {
            EvaluateModel(site.d, site.p, site.s, 0.0, site.x, false);
        } catch (const EMathError& e) {
            benchmark::DoNotOptimize(e.what());
        }
    }
}
BENCHMARK(BM_EvaluateModelFault);

}  // namespace

BENCHMARK_MAIN();
