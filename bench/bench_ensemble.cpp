// The ensemble engine on the shipped example experiment (the temperate site
// re-derived per member, 200 years of rising CO2):
//
//   MembersOnThreads/N   members per second on N worker threads
//   Member               one member: steady-state step and run in memory
//   BareRunInMemory      the same 200-year run alone, into a memory sink
//   RunWritingFile       the same run through the output file
//
// With --part member|bare|file it runs that part five times inside
// MeasuredPart(), for instruction counts that a loaded machine cannot blur:
//   valgrind --tool=callgrind --toggle-collect='*MeasuredPart*' bench_ensemble --part member
// With --memory DIR it instead runs 100,000 cheap members of 10 outputs at
// 201 times into DIR (measure its resident memory with /usr/bin/time -v).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "ensemble/design_methods.h"
#include "ensemble/ensemble_run.h"
#include "ensemble/site.h"
#include "io/fileio.h"
#include "model/catalogue.h"
#include "run/runloop.h"

namespace {

using namespace orvane;
using namespace orvane::ensemble;

const std::string Example = std::string(ORVANE_SOURCE_DIR) + "/examples/temperate-co2-uncertainty.toml";

struct TExample {
    TExperiment e = ReadExperiment(Example);
    std::unique_ptr<TSite> site = LoadSite(e);
    std::unique_ptr<IDesign> design = MakeDesign(e, site->factorBase);
    TMemberShape shape{static_cast<int>(e.factors.size()), e.Variables(), e.Times()};
};

TExample& Shared() {
    static TExample example;  // read once for every benchmark of the program
    return example;
}

class TDiscard final : public IMemberSink {
public:
    void Append(const TMemberRecord&) override {}
    void Flush() override {}
};

void MembersOnThreads(benchmark::State& state) {
    TExample& x = Shared();
    const std::size_t members = 48;
    TEngineOptions options;
    options.threads = static_cast<int>(state.range(0));
    options.chunk = 1;
    TDiscard sink;
    for (auto _ : state) {
        const TEngineResult r = RunMembers(
            *x.design, x.shape, [&] { return std::make_unique<TSiteMember>(x.e, *x.site); }, 0, members,
            sink, options);
        benchmark::DoNotOptimize(r.done);
    }
    state.counters["members"] = benchmark::Counter(static_cast<double>(members), benchmark::Counter::kIsIterationInvariant);
}
// Wall time, and the CPU time of all threads: on a machine busy with other
// work the members per CPU second still tell how much the threads cost.
BENCHMARK(MembersOnThreads)->Arg(1)->Arg(2)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The members that succeed, so that every one runs its whole scenario.
std::vector<std::vector<double>> GoodMembers(TExample& x, std::size_t n) {
    TSiteMember member(x.e, *x.site);
    std::vector<std::vector<double>> good;
    std::vector<double> values(static_cast<std::size_t>(x.shape.factors));
    std::vector<double> out(x.shape.Outputs());
    for (std::size_t i = 0; good.size() < n; ++i) {
        x.design->Values(i, values);
        if (member.Run(values, out).Ok()) good.push_back(values);
    }
    return good;
}

void Member(benchmark::State& state) {
    TExample& x = Shared();
    const auto good = GoodMembers(x, 8);
    TSiteMember member(x.e, *x.site);
    std::vector<double> out(x.shape.Outputs());
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(member.Run(good[i++ % good.size()], out));
    }
}
BENCHMARK(Member)->Unit(benchmark::kMillisecond);

// The site of the first good member, as the member leaves it to run.
struct TDerived {
    TGlobals g;
    TDerived(TExample& x) {
        InitialiseGlobals(g);
        TSteadyStateCalc calc(g);
        g.States = x.site->base.States;
        g.Params = x.site->base.Params;
        g.CalcFormShowing = true;
        g.CalcTime = x.e.atTime;
        TDriverCursor cursor(x.site->drivers, g.NextDrivers);
        calc.OpenFromTable(cursor);
        calc.EvaluateStart();
        const auto values = GoodMembers(x, 1)[0];
        for (std::size_t j = 0; j < x.e.factors.size(); ++j) {
            const TFactor& f = x.e.factors[j];
            calc.ChangeValue(f.kind == TFactorKind::Process ? KindProcess : KindParam, f.index, values[j]);
        }
        for (int p = 0; p < x.e.passes; ++p) calc.Recalculate();
        g.CalcFormShowing = false;
        g.States = calc.ShownSet.States;
        g.Params = calc.ShownSet.Params;
        g.StartTime = x.e.start;
        g.StopTime = x.e.stop;
        g.TimeStep = x.e.step;
        g.OutputStep = x.e.outputStep;
    }
};

// The derived site's run from `start` into a memory sink of the outputs.
void RunInMemory(TExample& x, TGlobals& g, const statearray& start, std::vector<double>& out) {
    std::vector<TRowVariable> vars;
    for (const auto& o : x.e.outputs) vars.push_back(o.var);
    g.States = start;
    TDriverCursor cursor(x.site->drivers, g.NextDrivers);
    TTableDriverSource source(cursor);
    TMemorySink sink(vars.data(), static_cast<int>(vars.size()), x.e.keepRow.data(), x.e.runRows,
                     out.data(), x.e.Times());
    RunSteps(g, source, sink, nullptr);
}

void BareRunInMemory(benchmark::State& state) {
    TExample& x = Shared();
    TDerived d(x);
    const statearray start = d.g.States;
    std::vector<double> out(x.shape.Outputs());
    for (auto _ : state) {
        RunInMemory(x, d.g, start, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BareRunInMemory)->Unit(benchmark::kMillisecond);

void RunWritingFile(benchmark::State& state) {
    TExample& x = Shared();
    TDerived d(x);
    const statearray start = d.g.States;
    d.g.DriverFileName = x.e.driverFile;
    d.g.OutputFileName = (std::filesystem::temp_directory_path() / "orvane-bench-ensemble.out").string();
    for (auto _ : state) {
        d.g.States = start;
        const TRunResult r = RunSimulation(d.g, nullptr);
        if (!r.ok) {
            state.SkipWithError(r.message.c_str());
            break;
        }
    }
    std::filesystem::remove(d.g.OutputFileName);
}
BENCHMARK(RunWritingFile)->Unit(benchmark::kMillisecond);

// A member that costs nothing but fills its outputs.
class TCheap final : public IMemberModel {
public:
    TMemberOutcome Run(std::span<const double> x, std::span<double> out) override {
        for (std::size_t k = 0; k < out.size(); ++k) out[k] = x[0] * static_cast<double>(k % 201) + x[1];
        return {};
    }
};

int MemoryRun(const std::string& dir) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    const std::string path = (fs::path(dir) / "memory.toml").string();
    std::ofstream(path) << "[site]\nparameters = \"" << ORVANE_SOURCE_DIR << "/examples/temperate.par\"\n"
                        << "drivers = \"" << ORVANE_SOURCE_DIR << "/examples/temperate-co2.drr\"\n"
                        << "[run]\nstop = 200\n"
                        << "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\n"
                        << "[[factor]]\nkind = \"parameter\"\nsymbol = \"beta\"\ndistribution = \"normal\"\nmean = 0.5\nsd = 0.1\n"
                        << "[design]\nmethod = \"sobol-points\"\nmembers = 100000\n"
                        << "[outputs]\nvariables = [\"NPPt\", \"Cw\", \"Ch\", \"Nnh4\", \"Cf\", \"Cr\", \"Clw\", \"Cs\", \"Ce\", \"Ci\"]\n";
    const TExperiment e = ReadExperiment(path);
    TEnsembleOptions o;
    o.outDir = (fs::path(dir) / "results").string();
    fs::remove_all(o.outDir);
    o.factory = [] { return std::make_unique<TCheap>(); };
    const TEnsembleOutcome r = RunEnsemble(e, o);
    std::printf("%zu members of %d outputs at %d times written to %s\n", r.counts.members, e.Variables(),
                e.Times(), o.outDir.c_str());
    return r.counts.members == 100000 ? 0 : 1;
}

// Runs one part five times; kept out of line so that callgrind can count it alone.
[[gnu::noinline]] void MeasuredPart(const std::function<void()>& part) {
    for (int i = 0; i < 5; ++i) part();
}

int PartRun(const std::string& part) {
    TExample& x = Shared();
    TDerived d(x);
    const statearray start = d.g.States;
    const auto good = GoodMembers(x, 1);
    TSiteMember member(x.e, *x.site);
    std::vector<double> out(x.shape.Outputs());
    d.g.DriverFileName = x.e.driverFile;
    d.g.OutputFileName = (std::filesystem::temp_directory_path() / "orvane-bench-part.out").string();
    if (part == "member") {
        MeasuredPart([&] { member.Run(good[0], out); });
    } else if (part == "bare") {
        MeasuredPart([&] { RunInMemory(x, d.g, start, out); });
    } else if (part == "file") {
        MeasuredPart([&] {
            d.g.States = start;
            RunSimulation(d.g, nullptr);
        });
        std::filesystem::remove(d.g.OutputFileName);
    } else {
        return 2;
    }
    std::printf("%s: %.17g\n", part.c_str(), out[0]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) return MemoryRun(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--part") == 0) return PartRun(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
