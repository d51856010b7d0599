#include "ensemble/engine.h"

#include <algorithm>
#include <thread>

#include "ensemble/pool.h"

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

TEngineResult RunMembers(const IDesign& design, const TMemberShape& shape,
                         const TModelFactory& factory, std::size_t first, std::size_t last,
                         IMemberSink& sink, const TEngineOptions& options) {
    if (last <= first) return {};
    const std::size_t n = last - first;
    int threads = options.threads > 0 ? options.threads
                                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::size_t chunk = ChunkSize(n, static_cast<std::size_t>(threads), design.GroupSize(), options.chunk);
    const std::size_t chunks = (n + chunk - 1) / chunk;
    threads = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), chunks));

    std::vector<std::unique_ptr<IMemberModel>> models;
    for (int t = 0; t < threads; ++t) models.push_back(factory());

    TMemberPool pool(design, shape, first, last, chunk, static_cast<std::size_t>(threads), sink, options);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&pool, &model = *models[static_cast<std::size_t>(t)]] { pool.Work(model); });
    }
    for (std::thread& w : workers) w.join();
    if (pool.Error()) std::rethrow_exception(pool.Error());
    return pool.Result();
}

}  // namespace orvane::ensemble
