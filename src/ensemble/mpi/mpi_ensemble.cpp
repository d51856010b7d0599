#include "ensemble/mpi/mpi_ensemble.h"

#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

#include "ensemble/journal.h"
#include "ensemble/pool.h"

namespace orvane::ensemble::mpi {

namespace {

enum TTag : int {
    TagChunk = 1,   // rank 0 -> worker: chunk index, first member, one past the last
    TagResult = 2,  // worker -> rank 0: chunk index, complete, count, then the records
    TagCancel = 3,  // rank 0 -> worker: cut the chunks in hand short
    TagDone = 4,    // rank 0 -> worker: end, with this exit code
};

constexpr std::size_t ResultHead = 3 * sizeof(uint64_t);
// The largest message of results: MPI counts bytes in an int.
constexpr std::size_t MaxMessageBytes = std::size_t{1} << 28;

// Waits between polls grow while nothing happens, so that an idle main
// thread costs the worker threads next to nothing, and shrink at once when
// something does.
class TBackoff {
public:
    void Activity() { wait_ = 20; }
    void Idle() {
        std::this_thread::sleep_for(std::chrono::microseconds(wait_));
        wait_ = std::min(wait_ * 2, 1000);
    }

private:
    int wait_ = 20;
};

void Check(int code, const char* what) {
    if (code != MPI_SUCCESS) {
        std::fprintf(stderr, "orvane-ensemble: MPI failed in %s\n", what);
        MPI_Abort(MPI_COMM_WORLD, 1);
    }
}

// The bytes a member takes on the wire at most (its message cut as the
// journal cuts it aside).
std::size_t RecordBytes(const TMemberShape& shape) {
    return 64 + 1024 + 8 * (static_cast<std::size_t>(shape.factors) + shape.Outputs());
}

}  // namespace

TMpiSession::TMpiSession(int& argc, char**& argv) {
    int provided = 0;
    Check(MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided), "MPI_Init_thread");
    if (provided < MPI_THREAD_FUNNELED) {
        std::fprintf(stderr, "orvane-ensemble: this MPI cannot run beside worker threads\n");
        MPI_Abort(MPI_COMM_WORLD, 1);
    }
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
    MPI_Comm local;
    Check(MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rank_, MPI_INFO_NULL, &local),
          "MPI_Comm_split_type");
    MPI_Comm_size(local, &localSize_);
    MPI_Comm_free(&local);
}

TMpiSession::~TMpiSession() { MPI_Finalize(); }

void TMpiSession::Abort(int code) {
    MPI_Abort(MPI_COMM_WORLD, code);
    std::_Exit(code);
}

TVerdict AgreeToStart(TMpiSession& mpi, const TRankReady& mine) {
    const uint64_t sent[4] = {mine.ok ? 1u : 0u, mine.hash, mine.members, static_cast<uint64_t>(mine.threads)};
    std::vector<uint64_t> all(mpi.Rank() == 0 ? 4 * static_cast<std::size_t>(mpi.Size()) : 0);
    Check(MPI_Gather(sent, 4, MPI_UINT64_T, all.data(), 4, MPI_UINT64_T, 0, MPI_COMM_WORLD), "MPI_Gather");
    TVerdict v;
    int verdict[2] = {0, 0};
    if (mpi.Rank() == 0) {
        v.threads.assign(static_cast<std::size_t>(mpi.Size()), 0);
        for (int r = 0; r < mpi.Size(); ++r) {
            const uint64_t* got = &all[4 * static_cast<std::size_t>(r)];
            v.threads[static_cast<std::size_t>(r)] = static_cast<int>(got[3]);
            if (!v.problem.empty() || r == 0 || !mine.ok) continue;
            if (!got[0]) {
                v.problem = "rank " + std::to_string(r) + " cannot run the ensemble (its message is above)";
            } else if (got[1] != mine.hash || got[2] != mine.members) {
                v.problem = "rank " + std::to_string(r) +
                            " read another experiment than rank 0: every rank must see the same experiment and site files";
            }
        }
        verdict[0] = mine.ok && v.problem.empty() ? 1 : 0;
        verdict[1] = mine.ok ? 1 : 0;
    }
    Check(MPI_Bcast(verdict, 2, MPI_INT, 0, MPI_COMM_WORLD), "MPI_Bcast");
    v.go = verdict[0] == 1;
    v.rankZeroReady = verdict[1] == 1;
    return v;
}

// ---- Rank 0 -----------------------------------------------------------------

TCoordinator::TCoordinator(TMpiSession& mpi, std::vector<int> threads) : mpi_(mpi) {
    // A rank holds one chunk more than it has threads, so that a thread
    // finds the next chunk waiting while its last result travels.
    lanes_.assign(threads.size(), 0);
    for (std::size_t r = 1; r < threads.size(); ++r) lanes_[r] = std::max(1, threads[r]) + 1;
}

TCoordinator::~TCoordinator() {
    if (!released_) Release(1);
}

void TCoordinator::Release(int code) {
    if (released_) return;
    released_ = true;
    for (int r = 1; r < mpi_.Size(); ++r) Check(MPI_Send(&code, 1, MPI_INT, r, TagDone, MPI_COMM_WORLD), "MPI_Send");
}

TMemberRunner TCoordinator::Runner() {
    return [this](const IDesign& design, const TMemberShape& shape, const TModelFactory& factory, std::size_t first,
                  std::size_t last, IMemberSink& sink, const TEngineOptions& options) {
        return Run(design, shape, factory, first, last, sink, options);
    };
}

TEngineResult TCoordinator::Run(const IDesign& design, const TMemberShape& shape, const TModelFactory& factory,
                                std::size_t first, std::size_t last, IMemberSink& sink,
                                const TEngineOptions& options) {
    if (mpi_.Size() == 1) return RunMembers(design, shape, factory, first, last, sink, options);
    if (last <= first) return {};
    const int local = options.threads > 0 ? options.threads : 1;
    std::size_t lanes = static_cast<std::size_t>(local);
    for (int l : lanes_) lanes += static_cast<std::size_t>(l);
    const std::size_t group = std::max<std::size_t>(1, design.GroupSize());
    std::size_t chunk = ChunkSize(last - first, lanes, group, options.chunk);
    const std::size_t fit = std::max<std::size_t>(1, MaxMessageBytes / RecordBytes(shape) / group) * group;
    chunk = std::min(chunk, fit);

    TMemberPool pool(design, shape, first, last, chunk, lanes, sink, options);
    std::vector<std::unique_ptr<IMemberModel>> models;
    for (int t = 0; t < local; ++t) models.push_back(factory());
    std::vector<std::thread> workers;
    for (auto& m : models) workers.emplace_back([&pool, &model = *m] { pool.Work(model); });

    std::vector<int> inFlight(lanes_.size(), 0);
    int total = 0;
    bool cancelSent = false;
    bool exhausted = false;
    std::vector<char> buf;
    TMemberRecord record;
    TBackoff backoff;
    for (;;) {
        bool activity = false;
        for (int r = 1; r < mpi_.Size() && !exhausted; ++r) {
            while (inFlight[static_cast<std::size_t>(r)] < lanes_[static_cast<std::size_t>(r)]) {
                TChunkTask task;
                const TMemberPool::TTake take = pool.TryTake(task);
                if (take == TMemberPool::TTake::None) exhausted = true;
                if (take != TMemberPool::TTake::Task) break;
                const uint64_t msg[3] = {task.index, task.from, task.to};
                Check(MPI_Send(msg, 3, MPI_UINT64_T, r, TagChunk, MPI_COMM_WORLD), "MPI_Send");
                ++inFlight[static_cast<std::size_t>(r)];
                ++total;
                activity = true;
            }
        }
        for (;;) {
            int flag = 0;
            MPI_Status st;
            Check(MPI_Iprobe(MPI_ANY_SOURCE, TagResult, MPI_COMM_WORLD, &flag, &st), "MPI_Iprobe");
            if (!flag) break;
            int bytes = 0;
            MPI_Get_count(&st, MPI_BYTE, &bytes);
            buf.resize(static_cast<std::size_t>(bytes));
            Check(MPI_Recv(buf.data(), bytes, MPI_BYTE, st.MPI_SOURCE, TagResult, MPI_COMM_WORLD, MPI_STATUS_IGNORE),
                  "MPI_Recv");
            uint64_t head[3];
            std::memcpy(head, buf.data(), ResultHead);
            std::vector<TMemberRecord> records;
            std::size_t at = ResultHead;
            for (uint64_t i = 0; i < head[2]; ++i) {
                const std::size_t n = RecordBytesNeeded(buf.data() + at, buf.size() - at, shape);
                if (n == 0 || at + n > buf.size() || !DecodeRecord(buf.data() + at, n, shape, record)) {
                    std::fprintf(stderr, "orvane-ensemble: rank %d sent a damaged result\n", st.MPI_SOURCE);
                    mpi_.Abort(1);
                }
                records.push_back(std::move(record));
                at += n;
            }
            pool.Deliver(static_cast<std::size_t>(head[0]), std::move(records), head[1] != 0);
            --inFlight[static_cast<std::size_t>(st.MPI_SOURCE)];
            --total;
            activity = true;
        }
        const bool cancelled = options.cancel && options.cancel->load();
        if (!cancelSent && (cancelled || pool.Stopped())) {
            for (int r = 1; r < mpi_.Size(); ++r) Check(MPI_Send(nullptr, 0, MPI_INT, r, TagCancel, MPI_COMM_WORLD), "MPI_Send");
            cancelSent = true;
            exhausted = true;
        }
        if (exhausted && total == 0) break;
        if (activity) backoff.Activity();
        else backoff.Idle();
    }
    for (std::thread& w : workers) w.join();
    if (pool.Error()) std::rethrow_exception(pool.Error());
    return pool.Result();
}

// ---- The other ranks ----------------------------------------------------------

namespace {

struct TDone {
    TChunkTask task;
    std::vector<TMemberRecord> records;
    bool complete = true;
};

// Chunks from the main thread to the worker threads and results back.
class TInbox {
public:
    void Put(const TChunkTask& t) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(t);
        ready_.notify_one();
    }
    bool Take(TChunkTask& t) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return closed_ || !tasks_.empty(); });
        if (tasks_.empty()) return false;
        t = tasks_.front();
        tasks_.pop_front();
        return true;
    }
    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        ready_.notify_all();
    }
    void Finished(TDone d) {
        std::lock_guard lock(mutex_);
        done_.push_back(std::move(d));
    }
    std::deque<TDone> TakeFinished() {
        std::lock_guard lock(mutex_);
        std::deque<TDone> d;
        d.swap(done_);
        return d;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<TChunkTask> tasks_;
    std::deque<TDone> done_;
    bool closed_ = false;
};

}  // namespace

int Serve(const TEnsembleMembers& members, const TExperiment& e, int threads, const std::atomic<bool>* interrupted) {
    const TMemberShape shape{static_cast<int>(e.factors.size()), e.Variables(), e.Times()};
    const TModelFactory factory = members.Factory(e);
    std::atomic<bool> cancel{false};
    TInbox inbox;
    std::vector<std::unique_ptr<IMemberModel>> models;
    for (int t = 0; t < std::max(1, threads); ++t) models.push_back(factory());
    std::vector<std::thread> workers;
    for (auto& m : models) {
        workers.emplace_back([&, &model = *m] {
            TChunkTask t;
            while (inbox.Take(t)) {
                TDone d;
                d.task = t;
                d.complete = RunChunk(model, *members.design, shape, t.from, t.to, &cancel, d.records);
                inbox.Finished(std::move(d));
            }
        });
    }

    struct TSending {
        std::string bytes;
        MPI_Request request;
    };
    std::list<TSending> sending;
    int code = -1;
    TBackoff backoff;
    while (code < 0 || !sending.empty()) {
        bool activity = false;
        if (interrupted && interrupted->load()) cancel.store(true);
        for (;;) {
            int flag = 0;
            MPI_Status st;
            Check(MPI_Iprobe(0, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &st), "MPI_Iprobe");
            if (!flag) break;
            activity = true;
            if (st.MPI_TAG == TagChunk) {
                uint64_t msg[3];
                Check(MPI_Recv(msg, 3, MPI_UINT64_T, 0, TagChunk, MPI_COMM_WORLD, MPI_STATUS_IGNORE), "MPI_Recv");
                inbox.Put({static_cast<std::size_t>(msg[0]), static_cast<std::size_t>(msg[1]),
                           static_cast<std::size_t>(msg[2])});
            } else if (st.MPI_TAG == TagCancel) {
                Check(MPI_Recv(nullptr, 0, MPI_INT, 0, TagCancel, MPI_COMM_WORLD, MPI_STATUS_IGNORE), "MPI_Recv");
                cancel.store(true);
            } else {
                Check(MPI_Recv(&code, 1, MPI_INT, 0, TagDone, MPI_COMM_WORLD, MPI_STATUS_IGNORE), "MPI_Recv");
                cancel.store(true);
            }
        }
        for (TDone& d : inbox.TakeFinished()) {
            TSending& s = sending.emplace_back();
            const uint64_t head[3] = {d.task.index, d.complete ? 1u : 0u, d.records.size()};
            s.bytes.assign(reinterpret_cast<const char*>(head), ResultHead);
            for (const TMemberRecord& r : d.records) EncodeRecord(r, shape, s.bytes);
            Check(MPI_Isend(s.bytes.data(), static_cast<int>(s.bytes.size()), MPI_BYTE, 0, TagResult, MPI_COMM_WORLD,
                            &s.request),
                  "MPI_Isend");
            activity = true;
        }
        for (auto it = sending.begin(); it != sending.end();) {
            int flag = 0;
            Check(MPI_Test(&it->request, &flag, MPI_STATUS_IGNORE), "MPI_Test");
            it = flag ? sending.erase(it) : std::next(it);
        }
        if (activity) backoff.Activity();
        else backoff.Idle();
    }
    inbox.Close();
    for (std::thread& w : workers) w.join();
    return code;
}

}  // namespace orvane::ensemble::mpi
