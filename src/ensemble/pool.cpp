#include "ensemble/pool.h"

#include <algorithm>

namespace orvane::ensemble {

bool RunChunk(IMemberModel& model, const IDesign& design, const TMemberShape& shape,
              std::size_t from, std::size_t to, const std::atomic<bool>* cancel,
              std::vector<TMemberRecord>& records) {
    records.reserve(records.size() + (to - from));
    for (std::size_t i = from; i < to; ++i) {
        if (cancel && cancel->load()) return false;
        TMemberRecord rec;
        rec.member = i;
        rec.factors.assign(static_cast<std::size_t>(shape.factors), 0.0);
        rec.outputs.assign(shape.Outputs(), 0.0);
        try {
            design.Values(i, rec.factors);
            rec.outcome = model.RunMember(i, rec.factors, rec.outputs);
        } catch (const std::exception& e) {
            rec.outcome = {TFailKind::Other, e.what()};
        }
        if (!rec.outcome.Ok()) rec.outputs.clear();
        records.push_back(std::move(rec));
    }
    return true;
}

std::size_t ChunkSize(std::size_t n, std::size_t lanes, std::size_t group, std::size_t requested) {
    group = std::max<std::size_t>(1, group);
    std::size_t chunk = requested;
    if (chunk == 0) chunk = std::clamp<std::size_t>(n / (std::max<std::size_t>(1, lanes) * 16), 1, 32);
    return (chunk + group - 1) / group * group;
}

TMemberPool::TMemberPool(const IDesign& design, const TMemberShape& shape, std::size_t first,
                         std::size_t last, std::size_t chunk, std::size_t lanes, IMemberSink& sink,
                         const TEngineOptions& options)
    : design_(design), shape_(shape), first_(first), last_(last), chunk_(chunk),
      chunks_((last - first + chunk - 1) / chunk), ahead_(4 * std::max<std::size_t>(1, lanes)),
      sink_(sink), options_(options), start_(std::chrono::steady_clock::now()) {}

TChunkTask TMemberPool::Task(std::size_t c) const {
    const std::size_t from = first_ + c * chunk_;
    return {c, from, std::min(last_, from + chunk_)};
}

void TMemberPool::Work(IMemberModel& model) {
    for (;;) {
        std::size_t c;
        {
            std::unique_lock lock(mutex_);
            // Keep the reorder buffer small: never run far ahead of the
            // oldest chunk not yet written.
            ready_.wait(lock, [&] { return stop_ || next_ >= chunks_ || MayHandOut(); });
            if (stop_ || next_ >= chunks_ || Cancelled()) return;
            c = next_++;
        }
        const TChunkTask t = Task(c);
        std::vector<TMemberRecord> records;
        const bool complete = RunChunk(model, design_, shape_, t.from, t.to, options_.cancel, records);
        Deliver(c, std::move(records), complete);
    }
}

TMemberPool::TTake TMemberPool::TryTake(TChunkTask& task) {
    std::lock_guard lock(mutex_);
    if (stop_ || next_ >= chunks_ || Cancelled()) return TTake::None;
    if (!MayHandOut()) return TTake::Later;
    task = Task(next_++);
    return TTake::Task;
}

void TMemberPool::Deliver(std::size_t index, std::vector<TMemberRecord> records, bool complete) {
    std::unique_lock lock(mutex_);
    pending_.emplace(index, TChunk{std::move(records), complete});
    WritePending(lock);
    ready_.notify_all();
}

bool TMemberPool::Stopped() {
    std::lock_guard lock(mutex_);
    return stop_;
}

// Writes every chunk that is next in order. One thread writes at a time;
// the others go on computing meanwhile.
void TMemberPool::WritePending(std::unique_lock<std::mutex>& lock) {
    if (writing_) return;
    writing_ = true;
    while (!stop_ && !pending_.empty() && pending_.begin()->first == written_) {
        TChunk chunk = std::move(pending_.begin()->second);
        pending_.erase(pending_.begin());
        lock.unlock();
        std::size_t failed = 0;
        try {
            for (const TMemberRecord& r : chunk.records) {
                sink_.Append(r);
                if (!r.outcome.Ok()) ++failed;
            }
            sink_.Flush();
        } catch (...) {
            lock.lock();
            error_ = std::current_exception();
            stop_ = true;
            break;
        }
        lock.lock();
        writtenMembers_ += chunk.records.size();
        failed_ += failed;
        ++written_;
        // After a chunk cut short nothing later may follow it.
        if (!chunk.complete) stop_ = true;
        if (options_.progress) {
            const TEngineStatus status = Status();
            lock.unlock();
            options_.progress->Progress(status);
            lock.lock();
        }
    }
    writing_ = false;
}

TEngineStatus TMemberPool::Status() const {
    TEngineStatus s;
    s.done = writtenMembers_;
    s.failed = failed_;
    s.total = last_ - first_;
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    s.rate = s.seconds > 0 ? static_cast<double>(s.done) / s.seconds : 0;
    s.remaining = s.rate > 0 ? static_cast<double>(s.total - s.done) / s.rate : 0;
    return s;
}

TEngineResult TMemberPool::Result() {
    std::lock_guard lock(mutex_);
    TEngineResult r;
    r.done = writtenMembers_;
    r.failed = failed_;
    r.cancelled = writtenMembers_ < last_ - first_;
    return r;
}

std::exception_ptr TMemberPool::Error() {
    std::lock_guard lock(mutex_);
    return error_;
}

}  // namespace orvane::ensemble
