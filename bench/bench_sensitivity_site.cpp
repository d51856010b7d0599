// The shipped Sobol' example on the site: 10 factors, N = 1024 (12,288
// members of the 200-year rising-CO2 scenario, each derived to its steady
// state first), on every core. Reports the whole analysis's wall time and
// the share of it that the estimators and their bootstrap take (the index
// files made again from the same journal). The results are left in
// orvane-bench-sobol in the temporary folder.
//
// Takes minutes: run it alone, e.g.
//     build/bin/bench_sensitivity_site --benchmark_filter=SobolExample
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "ensemble/design_methods.h"
#include "ensemble/ensemble_run.h"
#include "ensemble/experiment.h"
#include "ensemble/sensitivity_design.h"
#include "ensemble/sensitivity_results.h"
#include "ensemble/site.h"

namespace {

using namespace orvane::ensemble;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void BM_SobolExample(benchmark::State& state) {
    const TExperiment e = ReadExperiment(std::string(ORVANE_SOURCE_DIR) + "/examples/temperate-co2-sobol.toml");
    const auto dir = std::filesystem::temp_directory_path() / "orvane-bench-sobol";
    const int threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::filesystem::remove_all(dir);
        TEnsembleOptions o;
        o.outDir = dir.string();
        o.threads = threads;
        const auto start = Clock::now();
        const TEnsembleOutcome out = RunEnsemble(e, o);
        const double whole = Seconds(start);

        const auto site = LoadSite(e);
        const auto design = MakeSensitivityDesign(e, site->factorBase);
        const auto again = Clock::now();
        WriteSensitivityResults(e, design, (dir / JournalName).string(), dir.string(), threads);
        const double analysis = Seconds(again);

        state.counters["members"] = static_cast<double>(out.counts.members);
        state.counters["failed"] = static_cast<double>(out.counts.Failed());
        state.counters["whole_s"] = whole;
        state.counters["analysis_s"] = analysis;
        state.counters["analysis_share_pct"] = 100 * analysis / whole;
    }
    // The results stay in the temporary folder for a look at them.
}
BENCHMARK(BM_SobolExample)->Arg(0)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
