// The engine's hand-out of members: chunks of whole design groups go to
// lanes, finished chunks come back in any order and reach the sink in
// member order. A lane is a worker thread of this process (Work) or a
// worker elsewhere that a caller feeds through TryTake and Deliver, such
// as another MPI rank.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <map>
#include <mutex>
#include <vector>

#include "ensemble/engine.h"

namespace orvane::ensemble {

// Members from..to-1 of the design on one model, appended to `records`.
// Stops before the next member once `cancel` is set and then returns false
// (the chunk is cut short). A member that fails is a record like any other.
bool RunChunk(IMemberModel& model, const IDesign& design, const TMemberShape& shape,
              std::size_t from, std::size_t to, const std::atomic<bool>* cancel,
              std::vector<TMemberRecord>& records);

// Members per chunk for `n` members on `lanes` lanes: small enough to keep
// every lane busy to the end, a whole number of groups.
std::size_t ChunkSize(std::size_t n, std::size_t lanes, std::size_t group, std::size_t requested);

struct TChunkTask {
    std::size_t index = 0;  // of the chunk, from 0 at `first`
    std::size_t from = 0;   // members from..to-1
    std::size_t to = 0;
};

class TMemberPool {
public:
    TMemberPool(const IDesign& design, const TMemberShape& shape, std::size_t first, std::size_t last,
                std::size_t chunk, std::size_t lanes, IMemberSink& sink, const TEngineOptions& options);

    // The loop of a worker thread: chunks until none is left.
    void Work(IMemberModel& model);

    enum class TTake { Task, Later, None };
    // A chunk for a lane elsewhere: Task (filled in), Later (the reorder
    // buffer is full until earlier chunks are written), or None (nothing
    // more will be handed out: all given, cancelled or stopped).
    TTake TryTake(TChunkTask& task);
    // A chunk finished elsewhere, cut short unless `complete`.
    void Deliver(std::size_t index, std::vector<TMemberRecord> records, bool complete);
    // Whether the pool stopped on its own (a sink error or a chunk cut short).
    bool Stopped();

    TEngineResult Result();
    std::exception_ptr Error();

private:
    struct TChunk {
        std::vector<TMemberRecord> records;
        bool complete = true;
    };
    bool Cancelled() const { return options_.cancel && options_.cancel->load(); }
    bool MayHandOut() const { return next_ < written_ + ahead_; }
    TChunkTask Task(std::size_t c) const;
    void WritePending(std::unique_lock<std::mutex>& lock);
    TEngineStatus Status() const;

    const IDesign& design_;
    const TMemberShape shape_;
    const std::size_t first_;
    const std::size_t last_;
    const std::size_t chunk_;
    const std::size_t chunks_;
    const std::size_t ahead_;
    IMemberSink& sink_;
    const TEngineOptions& options_;
    const std::chrono::steady_clock::time_point start_;

    std::mutex mutex_;
    std::condition_variable ready_;
    std::size_t next_ = 0;     // the next chunk to hand out
    std::size_t written_ = 0;  // the next chunk to write
    std::map<std::size_t, TChunk> pending_;
    bool writing_ = false;
    bool stop_ = false;
    std::size_t writtenMembers_ = 0;
    std::size_t failed_ = 0;
    std::exception_ptr error_;
};

}  // namespace orvane::ensemble
