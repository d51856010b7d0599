// What rank 0 of an MPI job spends on each member that a worker sends: the
// record decoded from the message and appended to the journal (flushed per
// chunk), against what a worker spends encoding it. The ratio of a member's
// own cost to this says how many workers one rank 0 can keep up with.
//
//   RankZeroPerMember/F/V   F factors, V outputs at 201 times
//   WorkerEncode/F/V
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "ensemble/journal.h"

namespace {

using namespace orvane::ensemble;

constexpr int Chunk = 8;

TMemberRecord Record(const TMemberShape& shape, std::size_t member) {
    TMemberRecord r;
    r.member = member;
    r.factors.assign(static_cast<std::size_t>(shape.factors), 0.123456789);
    r.outputs.assign(shape.Outputs(), 1234.56789);
    return r;
}

TMemberShape Shape(const benchmark::State& state) {
    return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 201};
}

void RankZeroPerMember(benchmark::State& state) {
    const TMemberShape shape = Shape(state);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("orvane-bench-journal-" + std::to_string(::getpid()))).string();
    std::filesystem::remove(path);
    std::string message;
    for (int i = 0; i < Chunk; ++i) EncodeRecord(Record(shape, static_cast<std::size_t>(i)), shape, message);
    std::size_t member = 0;
    {
        std::optional<TJournalWriter> journal;
        journal.emplace(path, TJournalHeader{1, shape, 0});
        TMemberRecord r;
        for (auto _ : state) {
            std::size_t at = 0;
            for (int i = 0; i < Chunk; ++i) {
                const std::size_t n = RecordBytesNeeded(message.data() + at, message.size() - at, shape);
                DecodeRecord(message.data() + at, n, shape, r);
                r.member = member++;
                journal->Append(r);
                at += n;
            }
            journal->Flush();
            // Keep the file small: the disk is not what is measured.
            if (member % 4096 == 0) {
                journal.reset();
                std::filesystem::remove(path);
                journal.emplace(path, TJournalHeader{1, shape, member});
            }
        }
    }
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * Chunk);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(message.size()));
}

void WorkerEncode(benchmark::State& state) {
    const TMemberShape shape = Shape(state);
    const TMemberRecord r = Record(shape, 0);
    std::string message;
    for (auto _ : state) {
        message.clear();
        for (int i = 0; i < Chunk; ++i) EncodeRecord(r, shape, message);
        benchmark::DoNotOptimize(message.data());
    }
    state.SetItemsProcessed(state.iterations() * Chunk);
}

// The shipped examples: 8 factors and 6 outputs, 10 factors and 4 outputs.
BENCHMARK(RankZeroPerMember)->Args({8, 6})->Args({10, 4})->Args({30, 10});
BENCHMARK(WorkerEncode)->Args({8, 6})->Args({10, 4})->Args({30, 10});

}  // namespace

BENCHMARK_MAIN();
