// The estimators of a Sobol' analysis of the size the model benchmark runs
// (10 factors, N = 1024, 201 output times), on a smooth stand-in for the
// model's output, so their cost can be set against the members'.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "ensemble/sensitivity/designs.h"
#include "ensemble/sensitivity/morris.h"
#include "ensemble/sensitivity/sobol.h"

namespace {

using namespace orvane::sens;

struct TSample {
    TSensDesign design;
    std::vector<double> values;
    std::vector<std::uint8_t> ok;
    std::size_t times = 201;

    TSample(TSensDesign d) : design(std::move(d)) {
        const std::size_t k = design.factors;
        values.resize(design.members * times);
        ok.assign(design.members, 1);
        for (std::size_t m = 0; m < design.members; ++m) {
            const auto x = design.MemberValues(m);
            for (std::size_t t = 0; t < times; ++t) {
                double y = 1000;
                for (std::size_t i = 0; i < k; ++i) y += (i + 1) * x[i] * (1 + 0.01 * t) + x[0] * x[i];
                values[m * times + t] = y;
            }
        }
    }
    TOutputView View() const { return {"y", design.members, times, values, ok}; }
};

std::vector<TSensFactor> Factors(std::size_t k) {
    std::vector<TSensFactor> f(k);
    for (auto& x : f) x.quantile = [](double u) { return u; };
    return f;
}

void Points(std::uint64_t, std::span<double> p) {
    static thread_local std::mt19937_64 gen(1);
    for (auto& x : p) x = static_cast<double>(gen() >> 11) * 0x1p-53;
}

void BM_SobolOneOutput(benchmark::State& state) {
    const TSample s(MakeSaltelliDesign(Factors(10), 1024, Points));
    const TBootstrapOptions options{1000, 0.95, 1, static_cast<unsigned>(state.range(0))};
    for (auto _ : state) benchmark::DoNotOptimize(EstimateSobol(s.design, s.View(), options));
}
BENCHMARK(BM_SobolOneOutput)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_MorrisOneOutput(benchmark::State& state) {
    const TSample s(MakeMorrisDesign(Factors(10), 20, 4, 1));
    const TBootstrapOptions options{1000, 0.95, 1, 0};
    for (auto _ : state) benchmark::DoNotOptimize(EstimateMorris(s.design, s.View(), options));
}
BENCHMARK(BM_MorrisOneOutput)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
