// Cost of one model evaluation on the forest site: the integrator makes at
// least 11 of these per accepted step, so it bounds the speed of every run.
#include <benchmark/benchmark.h>

#include "../tests/model/site_fixture.h"
#include "model/equations.h"
#include "model/errors.h"

namespace {

using namespace orvane;

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
