#include "ensemble/engine.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace orvane::ensemble {

const char* FailKindName(TFailKind kind) {
    switch (kind) {
        case TFailKind::None: return "ok";
        case TFailKind::SteadyState: return "steady_state";
        case TFailKind::Math: return "math";
        case TFailKind::StepTooSmall: return "step_too_small";
        case TFailKind::TooManySteps: return "too_many_steps";
        case TFailKind::NonFinite: return "non_finite";
        case TFailKind::Run: return "run";
        case TFailKind::Other: return "other";
    }
    return "other";
}

namespace {

struct TChunk {
    std::vector<TMemberRecord> records;
    bool complete = true;  // false: cut short by a cancel
};

// Everything the workers share, behind one mutex.
class TPool {
public:
    TPool(const IDesign& design, const TMemberShape& shape, std::size_t first, std::size_t last,
          std::size_t chunk, int threads, IMemberSink& sink, const TEngineOptions& options)
        : design_(design), shape_(shape), first_(first), last_(last), chunk_(chunk),
          chunks_((last - first + chunk - 1) / chunk), ahead_(4 * static_cast<std::size_t>(threads)),
          sink_(sink), options_(options), start_(std::chrono::steady_clock::now()) {}

    void Work(IMemberModel& model) {
        for (;;) {
            std::size_t c;
            {
                std::unique_lock lock(mutex_);
                // Keep the reorder buffer small: never run far ahead of the
                // oldest chunk not yet written.
                ready_.wait(lock, [&] { return stop_ || next_ >= chunks_ || next_ < written_ + ahead_; });
                if (stop_ || next_ >= chunks_ || Cancelled()) return;
                c = next_++;
            }
            TChunk done = RunChunk(model, c);
            std::unique_lock lock(mutex_);
            pending_.emplace(c, std::move(done));
            WritePending(lock);
            ready_.notify_all();
        }
    }

    TEngineResult Result() const {
        TEngineResult r;
        r.done = writtenMembers_;
        r.failed = failed_;
        r.cancelled = writtenMembers_ < last_ - first_;
        return r;
    }
    std::exception_ptr Error() const { return error_; }

private:
    bool Cancelled() const { return options_.cancel && options_.cancel->load(); }

    TChunk RunChunk(IMemberModel& model, std::size_t c) {
        TChunk chunk;
        const std::size_t from = first_ + c * chunk_;
        const std::size_t to = std::min(last_, from + chunk_);
        chunk.records.reserve(to - from);
        for (std::size_t i = from; i < to; ++i) {
            if (Cancelled()) {
                chunk.complete = false;
                break;
            }
            TMemberRecord rec;
            rec.member = i;
            rec.factors.assign(static_cast<std::size_t>(shape_.factors), 0.0);
            rec.outputs.assign(shape_.Outputs(), 0.0);
            try {
                design_.Values(i, rec.factors);
                rec.outcome = model.Run(rec.factors, rec.outputs);
            } catch (const std::exception& e) {
                rec.outcome = {TFailKind::Other, e.what()};
            }
            if (!rec.outcome.Ok()) rec.outputs.clear();
            chunk.records.push_back(std::move(rec));
        }
        return chunk;
    }

    // Writes every chunk that is next in order. One thread writes at a time;
    // the others go on computing meanwhile.
    void WritePending(std::unique_lock<std::mutex>& lock) {
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

    TEngineStatus Status() const {
        TEngineStatus s;
        s.done = writtenMembers_;
        s.failed = failed_;
        s.total = last_ - first_;
        s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        s.rate = s.seconds > 0 ? static_cast<double>(s.done) / s.seconds : 0;
        s.remaining = s.rate > 0 ? static_cast<double>(s.total - s.done) / s.rate : 0;
        return s;
    }

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

}  // namespace

TEngineResult RunMembers(const IDesign& design, const TMemberShape& shape,
                         const TModelFactory& factory, std::size_t first, std::size_t last,
                         IMemberSink& sink, const TEngineOptions& options) {
    if (last <= first) return {};
    const std::size_t n = last - first;
    int threads = options.threads > 0 ? options.threads
                                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::size_t group = std::max<std::size_t>(1, design.GroupSize());
    // Small chunks keep every core busy to the end; whole groups stay together.
    std::size_t chunk = options.chunk;
    if (chunk == 0) chunk = std::clamp<std::size_t>(n / (static_cast<std::size_t>(threads) * 16), 1, 32);
    chunk = (chunk + group - 1) / group * group;
    const std::size_t chunks = (n + chunk - 1) / chunk;
    threads = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), chunks));

    std::vector<std::unique_ptr<IMemberModel>> models;
    for (int t = 0; t < threads; ++t) models.push_back(factory());

    TPool pool(design, shape, first, last, chunk, threads, sink, options);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&pool, &model = *models[static_cast<std::size_t>(t)]] { pool.Work(model); });
    }
    for (std::thread& w : workers) w.join();
    if (pool.Error()) std::rethrow_exception(pool.Error());
    return pool.Result();
}

}  // namespace orvane::ensemble
