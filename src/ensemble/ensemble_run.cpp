#include "ensemble/ensemble_run.h"

#include <filesystem>
#include <optional>

#include "ensemble/design_methods.h"
#include "ensemble/journal.h"
#include "ensemble/sensitivity_design.h"
#include "ensemble/sensitivity_results.h"
#include "ensemble/site.h"

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

}  // namespace

TEnsembleOutcome RunEnsemble(const TExperiment& e, const TEnsembleOptions& o) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(o.outDir, ec);
    if (ec || !fs::is_directory(o.outDir, ec)) {
        throw EExperimentError("cannot make the results folder \"" + o.outDir + "\": " + ec.message());
    }
    const std::string journal = (fs::path(o.outDir) / JournalName).string();
    const TMemberShape shape{static_cast<int>(e.factors.size()), e.Variables(), e.Times()};
    const TJournalHeader header{e.hash, shape, 0};
    TJournalHeader found;
    if (fs::exists(journal, ec)) {
        if (!o.resume) {
            throw EExperimentError("the results folder \"" + o.outDir +
                                   "\" holds an ensemble already: --resume continues it, or choose another --out folder");
        }
        if (!ReadJournalHeader(journal, found) || found.hash != header.hash ||
            found.shape.factors != shape.factors || found.shape.variables != shape.variables ||
            found.shape.times != shape.times) {
            throw EExperimentError("the results folder \"" + o.outDir +
                                   "\" holds the members of another experiment (or of other settings, files or --members/--seed): "
                                   "choose another --out folder");
        }
    }

    const std::unique_ptr<TSite> site = LoadSite(e);
    const std::unique_ptr<IDesign> design = MakeDesign(e, site->factorBase);
    TModelFactory factory = o.factory;
    if (!factory) factory = [&] { return std::make_unique<TSiteMember>(e, *site); };

    TEnsembleOutcome out;
    out.members = design->Members();
    TJournalWriter writer(journal, header);
    out.resumedFrom = writer.Members();
    TEngineOptions engine;
    engine.threads = o.threads;
    engine.chunk = o.chunk;
    engine.cancel = o.cancel;
    std::optional<TResumedProgress> progress;
    if (o.progress) engine.progress = &progress.emplace(*o.progress, out.resumedFrom, writer.Failed());
    const TEngineResult r =
        RunMembers(*design, shape, factory, out.resumedFrom, out.members, writer, engine);
    writer.Close();
    out.kept = out.resumedFrom + r.done;
    out.cancelled = out.kept < out.members;
    if (out.cancelled) return out;
    out.counts = WriteResults(e, out.members, journal, o.outDir, o.summaryMemory);
    if (const auto* s = dynamic_cast<const TSensitivityDesign*>(design.get()))
        out.report = WriteSensitivityResults(e, s->Design(), journal, o.outDir, o.threads, o.summaryMemory);
    return out;
}

}  // namespace orvane::ensemble
