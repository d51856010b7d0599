// Ensembles over the ranks of an MPI job. Rank 0 runs the ensemble as on one
// machine, with the other ranks' worker threads as further lanes of the
// engine: it hands them chunks of whole design groups as they ask for more,
// and writes every member they send back to the journal, in member order.
// The journal, and so every result file, is the one a single process
// writes. Only the main thread of each rank calls MPI; it polls, so that it
// takes next to nothing from the worker threads beside it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "ensemble/ensemble_run.h"
#include "ensemble/sites.h"

namespace orvane::ensemble::mpi {

// MPI from the first call to the last, with the main thread calling it.
class TMpiSession {
public:
    TMpiSession(int& argc, char**& argv);
    ~TMpiSession();
    TMpiSession(const TMpiSession&) = delete;
    TMpiSession& operator=(const TMpiSession&) = delete;
    int Rank() const { return rank_; }
    int Size() const { return size_; }
    // Ranks on this rank's machine, for the default number of threads.
    int LocalSize() const { return localSize_; }
    // Ends the whole job at once (after an error that leaves ranks waiting).
    [[noreturn]] void Abort(int code);

private:
    int rank_ = 0;
    int size_ = 1;
    int localSize_ = 1;
};

// What every rank read before the members start; rank 0 compares them.
struct TRankReady {
    bool ok = false;
    uint64_t hash = 0;
    uint64_t members = 0;
    int threads = 0;
};

struct TVerdict {
    bool go = false;             // every rank is ready: on every rank
    bool rankZeroReady = false;  // on every rank
    std::string problem;         // rank 0: the first other rank not ready, or reading another experiment
    std::vector<int> threads;    // rank 0: every rank's threads
};

// Every rank's readiness, gathered on rank 0, and its verdict on all.
TVerdict AgreeToStart(TMpiSession& mpi, const TRankReady& mine);

// Rank 0's side. Runner() takes the place of RunMembers in RunEnsemble;
// Release() tells the other ranks to end with `code` (once; the destructor
// releases them with 1 if nothing else did).
class TCoordinator {
public:
    // `threads`: every rank's worker threads, as AgreeToStart gathered them.
    TCoordinator(TMpiSession& mpi, std::vector<int> threads);
    ~TCoordinator();
    TMemberRunner Runner();
    void Release(int code);

private:
    TEngineResult Run(const IDesign& design, const TMemberShape& shape, const TModelFactory& factory,
                      std::size_t first, std::size_t last, IMemberSink& sink, const TEngineOptions& options);
    TMpiSession& mpi_;
    std::vector<int> lanes_;  // per rank: chunks it may hold at once
    bool released_ = false;
};

// The other ranks' side: runs the chunks rank 0 sends on `threads` worker
// threads until rank 0 releases it, and returns the code rank 0 gave.
// Setting `interrupted` cuts its chunks short, as rank 0's cancel does.
// Call it with the session open.
int Serve(const TEnsembleMembers& members, const TExperiment& e, int threads, const std::atomic<bool>* interrupted);

}  // namespace orvane::ensemble::mpi
