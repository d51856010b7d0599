// Merging shards: a run of the experiment whose members come from the
// shards' journals instead of the model, so that the merged folder gets the
// journal and result files of a single run through the very same writer.
#include <filesystem>

#include "ensemble/ensemble_run.h"
#include "ensemble/journal.h"

namespace orvane::ensemble {

namespace {

// Appends the shards' members first..last-1 to the sink, in order.
TEngineResult CopyShards(const std::vector<std::string>& dirs, const std::vector<TShardInfo>& infos,
                         const TMemberShape& shape, std::size_t first, std::size_t last, IMemberSink& sink,
                         const TEngineOptions& options) {
    TEngineResult result;
    std::vector<std::size_t> order(infos.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[static_cast<std::size_t>(infos[i].shard.index - 1)] = i;
    TEngineStatus status;
    status.total = last - first;
    TMemberRecord r;
    for (std::size_t i : order) {
        const TShardInfo& info = infos[i];
        if (info.range.last <= first || info.range.first >= last) continue;
        const std::string journal = (std::filesystem::path(dirs[i]) / JournalName).string();
        TJournalReader reader(journal);
        if (reader.Header().shape.factors != shape.factors || reader.Header().shape.variables != shape.variables ||
            reader.Header().shape.times != shape.times) {
            throw EExperimentError("the journal of shard " + std::to_string(info.shard.index) + " in \"" + dirs[i] +
                                   "\" has members of another shape than the experiment's");
        }
        for (std::size_t m = info.range.first; m < std::min(info.range.last, last); ++m) {
            if (!reader.Next(r)) {
                throw EExperimentError("the journal of shard " + std::to_string(info.shard.index) + " in \"" + dirs[i] +
                                       "\" ends at member " + std::to_string(m));
            }
            if (m < first) continue;
            sink.Append(r);
            ++result.done;
            if (!r.outcome.Ok()) ++result.failed;
        }
        sink.Flush();
        if (options.progress) {
            status.done = result.done;
            status.failed = result.failed;
            options.progress->Progress(status);
        }
        if (options.cancel && options.cancel->load()) break;
    }
    result.cancelled = result.done < last - first;
    return result;
}

}  // namespace

TEnsembleOutcome MergeShards(const std::vector<std::string>& dirs, const TEnsembleOptions& options,
                             TExperiment* experiment) {
    std::vector<TShardInfo> infos;
    TExperiment local;
    TExperiment& e = experiment ? *experiment : local;
    e = CheckShards(dirs, infos);
    TEnsembleOptions o = options;
    o.shard = {};
    o.resume = true;  // a merge cut short goes on where it stopped
    o.runner = [&](const IDesign&, const TMemberShape& shape, const TModelFactory&, std::size_t first,
                   std::size_t last, IMemberSink& sink, const TEngineOptions& engine) {
        return CopyShards(dirs, infos, shape, first, last, sink, engine);
    };
    return RunEnsemble(e, o);
}

}  // namespace orvane::ensemble
