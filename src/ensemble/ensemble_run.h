// An experiment from start to result files: the site read once, the design
// made, the members run on every core into the journal of the results
// folder (continuing it with `resume`), and the result files written from
// the journal once every member has finished.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "ensemble/engine.h"
#include "ensemble/experiment.h"
#include "ensemble/results.h"

namespace orvane::ensemble {

inline constexpr const char* JournalName = "members.journal";

struct TEnsembleOptions {
    std::string outDir;
    int threads = 0;                            // 0: one per core
    bool resume = false;                        // continue the journal in outDir
    const std::atomic<bool>* cancel = nullptr;  // set: finish the members in flight and stop
    IEngineProgress* progress = nullptr;
    std::size_t chunk = 0;                      // members per chunk (0: chosen)
    std::size_t summaryMemory = std::size_t{512} << 20;
    // The model of each worker; empty: the experiment's site.
    TModelFactory factory;
};

struct TEnsembleOutcome {
    std::size_t members = 0;      // of the experiment
    std::size_t resumedFrom = 0;  // members the journal held already
    std::size_t kept = 0;         // members in the journal at the end
    bool cancelled = false;       // stopped before the last member
    TResultCounts counts;         // of the result files (complete ensembles only)
    std::string report;           // a sensitivity design's ranked report
};

// Raises EExperimentError when the experiment cannot run (its site, or a
// results folder that holds another ensemble's journal), EInOutError when a
// file cannot be written.
TEnsembleOutcome RunEnsemble(const TExperiment& e, const TEnsembleOptions& options);

}  // namespace orvane::ensemble
