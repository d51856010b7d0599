// Speed of the file layer: writing and reading back output files (bytes per
// second each way) and the rate of each number format.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/catalogue.h"

using namespace orvane;

namespace {

constexpr int RowsPerFile = 2000;

std::string BenchPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

// A few rows of values drawn once, so that the timing holds no random numbers.
struct TRowValues {
    drivearray drivers;
    statearray states;
    processarray processes;
};

std::vector<TRowValues> SampleRows(const TGlobals& g) {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> mant(-10.0, 10.0);
    std::uniform_int_distribution<int> ex(-12, 12);
    const auto v = [&] { return mant(rng) * std::pow(10.0, ex(rng)); };
    std::vector<TRowValues> rows(16);
    for (auto& r : rows) {
        r.drivers = g.Drivers;
        r.states = g.States;
        r.processes = g.Processes;
        for (int i = 1; i <= g.ModelDef.numdrive; ++i) r.drivers[i].value = v();
        for (int i = 1; i <= g.ModelDef.numstate; ++i) r.states[i].value = v();
        for (int i = 1; i <= g.ModelDef.numprocess; ++i) r.processes[i].value = v();
    }
    return rows;
}

void WriteFile(TGlobals& g, const std::string& path, const std::vector<TRowValues>& rows) {
    OpenOutputFile(g, path, g.ModelDef.numstate, g.States, true, g.Processes,
                   g.ModelDef.numprocess);
    for (int row = 0; row < RowsPerFile; ++row) {
        const TRowValues& r = rows[static_cast<std::size_t>(row) % rows.size()];
        g.Drivers = r.drivers;
        WriteOutputRow(g, g.ModelDef.numstate, r.states, g.ModelDef.numprocess, r.processes,
                       row * 0.25);
    }
    CloseOutputFile(g);
}

void BM_WriteOutputFile(benchmark::State& state) {
    TGlobals g;
    InitialiseGlobals(g);
    const std::string path = BenchPath("orvane_bench_write.out");
    const auto rows = SampleRows(g);
    for (auto _ : state) WriteFile(g, path, rows);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteOutputFile)->Unit(benchmark::kMillisecond);

void BM_ReadOutputFile(benchmark::State& state) {
    TGlobals g;
    InitialiseGlobals(g);
    const std::string path = BenchPath("orvane_bench_read.out");
    WriteFile(g, path, SampleRows(g));
    drivearray drivers;
    statearray states;
    processarray processes;
    for (auto _ : state) {
        OpenOutputFile(g, path, g.ModelDef.numstate, g.States, false, g.Processes,
                       g.ModelDef.numprocess);
        double time = 0;
        int rows = 0;
        while (ReadOutputRow(g, time, drivers, states, g.ModelDef.numstate, processes,
                             g.ModelDef.numprocess))
            ++rows;
        CloseOutputFile(g);
        benchmark::DoNotOptimize(rows);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadOutputFile)->Unit(benchmark::kMillisecond);

std::vector<double> SampleValues() {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> mant(-10.0, 10.0);
    std::uniform_int_distribution<int> ex(-20, 20);
    std::vector<double> v(4096);
    for (auto& x : v) x = mant(rng) * std::pow(10.0, ex(rng));
    return v;
}

template <std::size_t (*Format)(char*, double)>
void BM_FormatTo(benchmark::State& state) {
    const auto values = SampleValues();
    char buf[FormatBufferSize];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Format(buf, values[i++ & 4095]));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
std::size_t General15(char* out, double v) { return FormatGeneralTo(out, v, 15); }
BENCHMARK(BM_FormatTo<FormatSci13To>)->Name("BM_FormatSci13");
BENCHMARK(BM_FormatTo<FormatParamFieldTo>)->Name("BM_FormatParamField");
BENCHMARK(BM_FormatTo<General15>)->Name("BM_FormatGeneral15");

void BM_FormatG4(benchmark::State& state) {
    const auto values = SampleValues();
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(FormatG4(values[i++ & 4095]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatG4);

void BM_ParseFileNumber(benchmark::State& state) {
    const auto values = SampleValues();
    std::vector<std::string> texts;
    for (double v : values) texts.push_back(FormatSci13(v));
    std::size_t i = 0;
    double v = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseFileNumber(texts[i++ & 4095], v));
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseFileNumber);

}  // namespace

BENCHMARK_MAIN();
