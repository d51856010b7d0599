// An experiment from start to result files: the site read once, the design
// made, the members run on every core into the journal of the results
// folder (continuing it with `resume`), and the result files written from
// the journal once every member has finished.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "ensemble/engine.h"
#include "ensemble/experiment.h"
#include "ensemble/results.h"
#include "ensemble/shards.h"

namespace orvane::ensemble {

inline constexpr const char* JournalName = "members.journal";

// Who runs members first..last-1 into the sink: RunMembers on this
// process's threads unless another runner (the ranks of an MPI job, or the
// journals of shards being merged) takes its place.
using TMemberRunner = std::function<TEngineResult(const IDesign& design, const TMemberShape& shape,
                                                  const TModelFactory& factory, std::size_t first,
                                                  std::size_t last, IMemberSink& sink,
                                                  const TEngineOptions& options)>;

struct TEnsembleOptions {
    std::string outDir;
    int threads = 0;                            // 0: one per core
    bool resume = false;                        // continue the journal in outDir
    const std::atomic<bool>* cancel = nullptr;  // set: finish the members in flight and stop
    IEngineProgress* progress = nullptr;
    std::size_t chunk = 0;                      // members per chunk (0: chosen)
    std::size_t summaryMemory = std::size_t{512} << 20;
    // The model of each worker; empty: the experiment's sites.
    TModelFactory factory;
    TMemberRunner runner;                       // empty: RunMembers
    // A shard runs its members alone into its folder, with shard.toml and
    // without the result files, which the merge writes.
    TShard shard;
};

struct TEnsembleOutcome {
    std::size_t members = 0;      // of the experiment
    TMemberRange range;           // the members this run was for (a shard's, or all)
    std::size_t resumedFrom = 0;  // members the journal held already
    std::size_t kept = 0;         // members in the journal at the end
    bool cancelled = false;       // stopped before the last member (of the range)
    TResultCounts counts;         // of the result files (complete ensembles only)
    std::string report;           // a sensitivity design's ranked report
};

// Raises EExperimentError when the experiment cannot run (its site, or a
// results folder that holds another ensemble's journal), EInOutError when a
// file cannot be written.
TEnsembleOutcome RunEnsemble(const TExperiment& e, const TEnsembleOptions& options);

// Merges the shard folders `dirs` into options.outDir (continuing a merge
// cut short there): the members journal and result files of the single run
// of the experiment, byte for byte. Raises EExperimentError for shards that
// do not make up one whole experiment, naming the one at fault.
// `experiment` receives the experiment the shards ran.
TEnsembleOutcome MergeShards(const std::vector<std::string>& dirs, const TEnsembleOptions& options,
                             TExperiment* experiment = nullptr);

}  // namespace orvane::ensemble
