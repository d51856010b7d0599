#include "ensemble/ensemble_run.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "ensemble/design_methods.h"
#include "ensemble/journal.h"
#include "ensemble/sensitivity_design.h"
#include "ensemble/sensitivity_results.h"
#include "ensemble/sites.h"

namespace orvane::ensemble {

namespace {

// Tells the caller's progress how many members an earlier run had finished.
class TResumedProgress final : public IEngineProgress {
public:
    TResumedProgress(IEngineProgress& inner, std::size_t resumed, std::size_t failed)
        : inner_(inner), resumed_(resumed), failed_(failed) {}
    void Progress(const TEngineStatus& status) override {
        TEngineStatus s = status;
        s.resumed = resumed_;
        s.resumedFailed = failed_;
        inner_.Progress(s);
    }

private:
    IEngineProgress& inner_;
    std::size_t resumed_;
    std::size_t failed_;
};

// A shard continues only its own folder, and a whole run never a shard's.
void CheckShardFolder(const TEnsembleOptions& o, const TExperiment& e) {
    if (!HasShardInfo(o.outDir)) return;
    const TShardInfo there = ReadShardInfo(o.outDir);
    if (!o.shard.Any() || there.shard.index != o.shard.index || there.shard.count != o.shard.count ||
        there.hash != e.hash) {
        throw EExperimentError("the folder \"" + o.outDir + "\" holds shard " + std::to_string(there.shard.index) + "/" +
                               std::to_string(there.shard.count) + " of " + there.experiment +
                               ": choose another --out folder");
    }
}

}  // namespace

TEnsembleOutcome RunEnsemble(const TExperiment& e, const TEnsembleOptions& o) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(o.outDir, ec);
    if (ec || !fs::is_directory(o.outDir, ec)) {
        throw EExperimentError("cannot make the results folder \"" + o.outDir + "\": " + ec.message());
    }
    const TEnsembleMembers members = PrepareMembers(e);
    const IDesign& design = *members.design;
    const std::size_t total = design.Members();
    const TMemberRange range = ShardRange(total, design.GroupSize(), o.shard);
    CheckShardFolder(o, e);

    const std::string journal = (fs::path(o.outDir) / JournalName).string();
    const TMemberShape shape{static_cast<int>(e.factors.size()), e.Variables(), e.Times()};
    const TJournalHeader header{e.hash, shape, range.first};
    TJournalHeader found;
    if (fs::exists(journal, ec)) {
        if (!o.resume) {
            throw EExperimentError("the results folder \"" + o.outDir +
                                   "\" holds an ensemble already: --resume continues it, or choose another --out folder");
        }
        if (!ReadJournalHeader(journal, found) || found.hash != header.hash ||
            found.shape.factors != shape.factors || found.shape.variables != shape.variables ||
            found.shape.times != shape.times || found.firstMember != header.firstMember) {
            throw EExperimentError("the results folder \"" + o.outDir +
                                   "\" holds the members of another experiment (or of other settings, files or --members/--seed): "
                                   "choose another --out folder");
        }
    }
    if (o.shard.Any()) WriteShardInfo(o.outDir, MakeShardInfo(e, o.shard, total, design.GroupSize()));

    TModelFactory factory = o.factory ? o.factory : members.Factory(e);
    TEnsembleOutcome out;
    out.members = total;
    out.range = range;
    TJournalWriter writer(journal, header);
    const std::size_t resumed = std::min(range.last, range.first + writer.Members());
    out.resumedFrom = resumed - range.first;
    TEngineOptions engine;
    engine.threads = o.threads;
    engine.chunk = o.chunk;
    engine.cancel = o.cancel;
    std::optional<TResumedProgress> progress;
    if (o.progress) engine.progress = &progress.emplace(*o.progress, out.resumedFrom, writer.Failed());
    const TMemberRunner& run = o.runner ? o.runner : TMemberRunner(RunMembers);
    const TEngineResult r = run(design, shape, factory, resumed, range.last, writer, engine);
    writer.Close();
    out.kept = out.resumedFrom + r.done;
    out.cancelled = range.first + out.kept < range.last;
    // A shard's results are the merge's to write.
    if (out.cancelled || o.shard.Any()) return out;
    out.counts = WriteResults(e, out.members, journal, o.outDir, o.summaryMemory);
    std::vector<const sens::TSensDesign*> sensitivity;
    for (std::size_t s = 0; s < e.sites.size(); ++s)
        if (const auto* d = dynamic_cast<const TSensitivityDesign*>(&members.SiteDesign(s))) sensitivity.push_back(&d->Design());
    if (!sensitivity.empty())
        out.report = WriteSensitivityResults(e, sensitivity, journal, o.outDir, o.threads, o.summaryMemory);
    return out;
}

}  // namespace orvane::ensemble
