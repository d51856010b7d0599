// CVODE's BDF method against the Runge-Kutta integrator on the temperate
// example site started away from its steady state (every initial state times
// 0.8), 1000 years in steps of a year, the drivers held within each step:
//
//  - Accuracy: the largest relative difference of any state from the
//    Runge-Kutta run at years 10, 100 and 1000, for rtol 1e-8 to 1e-12
//    (atol = rtol), as the counters max_rel_10, max_rel_100, max_rel_1000.
//  - Speed: the whole 1000 years by each integrator (no files: the steps
//    alone).
// Both on the site's own steady drivers and on the rising-CO2 scenario,
// whose drivers change every year for its first 200 years: CVODE begins
// afresh at every change of the drivers, and that is most of its work.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/drivertable.h"
#include "io/fileio.h"
#include "model/catalogue.h"
#include "run/runloop.h"

namespace {

using namespace orvane;

const std::string ExampleDir = std::string(ORVANE_SOURCE_DIR) + "/examples";

// Keeps the states of every row.
class TStateRows final : public IRowSink {
public:
    void Row(double, const TGlobals& g) override { rows.push_back(g.States); }
    std::vector<statearray> rows;
};

struct TTransient {
    TGlobals g;
    statearray initial;
    TDriverTable table;

    explicit TTransient(const char* drivers) {
        InitialiseGlobals(g);
        double residual = 0;
        if (!ReadParamFile(g, ExampleDir + "/temperate.par", g.ModelDef.numparam, g.Params,
                           g.ModelDef.numstate, g.States, residual)) {
            throw std::runtime_error("example parameter file refused");
        }
        for (int i = 1; i <= g.ModelDef.numstate; ++i) g.States[i].value *= 0.8;
        initial = g.States;
        table = TDriverTable::Read(ExampleDir + "/" + drivers, g.ModelDef.numdrive);
        g.StartTime = 0;
        g.StopTime = 1000;
        g.TimeStep = 1;
        g.OutputStep = 1;
    }

    // One run from the initial states; the rows go to `rows`.
    void Run(const TIntegratorChoice& choice, IRowSink& rows) {
        g.States = initial;
        g.Integrator = choice;
        TDriverCursor cursor(table, g.PrevDrivers);
        TTableDriverSource source(cursor);
        RunSteps(g, source, rows, nullptr);
    }
};

TIntegratorChoice Cvode(double rtol) {
    return {TIntegratorKind::Cvode, rtol, rtol};
}

double LargestRelativeDifference(const statearray& a, const statearray& b) {
    double worst = 0;
    for (int i = 1; i <= 19; ++i) {
        const double scale = std::max(std::fabs(a[i].value), std::fabs(b[i].value));
        if (scale > 0) worst = std::max(worst, std::fabs(a[i].value - b[i].value) / scale);
    }
    return worst;
}

struct TAccuracy {
    double at[3];  // years 10, 100, 1000
};

TAccuracy Accuracy(const char* drivers, double rtol) {
    TTransient t(drivers);
    TStateRows rk;
    t.Run(TIntegratorChoice{}, rk);
    TStateRows cvode;
    t.Run(Cvode(rtol), cvode);
    TAccuracy a{};
    const int years[] = {10, 100, 1000};
    for (int k = 0; k < 3; ++k) {
        a.at[k] = LargestRelativeDifference(rk.rows[years[k]], cvode.rows[years[k]]);
    }
    return a;
}

const char* const DriverFiles[] = {"temperate.drr", "temperate-co2.drr"};

// Args: the driver file (0 steady drivers, 1 rising CO2) and n for
// rtol = atol = 10^-n.
void CvodeAccuracy(benchmark::State& state) {
    const double rtol = std::pow(10.0, -static_cast<double>(state.range(1)));
    TAccuracy a{};
    for (auto _ : state) a = Accuracy(DriverFiles[state.range(0)], rtol);
    state.SetLabel(DriverFiles[state.range(0)]);
    state.counters["max_rel_10"] = a.at[0];
    state.counters["max_rel_100"] = a.at[1];
    state.counters["max_rel_1000"] = a.at[2];
}
BENCHMARK(CvodeAccuracy)
    ->ArgsProduct({{0, 1}, {8, 10, 11, 12}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Counts the rows only.
class TNoRows final : public IRowSink {
public:
    void Row(double, const TGlobals&) override {}
};

// Args: the driver file (0 steady drivers, 1 rising CO2), and 0 for the
// Runge-Kutta integrator or n > 0 for CVODE at rtol = atol = 10^-n.
void Transient1000Years(benchmark::State& state) {
    TTransient t(DriverFiles[state.range(0)]);
    const TIntegratorChoice choice =
        state.range(1) == 0 ? TIntegratorChoice{}
                            : Cvode(std::pow(10.0, -static_cast<double>(state.range(1))));
    TNoRows rows;
    for (auto _ : state) {
        t.Run(choice, rows);
        benchmark::DoNotOptimize(t.g.States);
    }
    state.SetLabel(std::string(DriverFiles[state.range(0)]) +
                   (state.range(1) == 0 ? ", Runge-Kutta" : ", CVODE"));
}
BENCHMARK(Transient1000Years)
    ->ArgsProduct({{0, 1}, {0, 10, 11, 12}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
