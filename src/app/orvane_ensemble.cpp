// orvane-ensemble: an experiment file's ensemble of the model on every core,
// on the ranks of an MPI job, or in shards of a job array.
//
//   orvane-ensemble EXPERIMENT.toml [--out DIR] [--threads N] [--resume]
//                   [--members N] [--seed S] [--observations FILE]
//                   [--shard I/N]
//   mpirun -np N orvane-ensemble EXPERIMENT.toml ...
//   orvane-ensemble merge OUTDIR SHARDDIR...
//   orvane-ensemble fit OUTDIR OBSFILE
//
// Exit status: 0 when the ensemble completed (failed members included),
// 1 when it could not run or was interrupted (what finished is kept and
// --resume continues), 2 on a usage error.
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ensemble/ensemble_run.h"
#include "ensemble/experiment.h"
#include "ensemble/results_read.h"
#include "ensemble/sensitivity_design.h"
#include "ensemble/sites.h"
#include "model/catalogue.h"
#include "io/numfmt.h"
#include "model/errors.h"
#include "solver/step_integrator.h"
#ifdef ORVANE_WITH_MPI
#include "ensemble/mpi/mpi_ensemble.h"
#endif

namespace {

using namespace orvane;
using namespace orvane::ensemble;

constexpr const char* Usage =
    "usage: orvane-ensemble EXPERIMENT.toml [--out DIR] [--threads N] [--resume] [--members N] "
    "[--seed S]\n"
    "                       [--observations FILE] [--shard I/N]\n"
    "       mpirun -np N orvane-ensemble EXPERIMENT.toml [options as above]\n"
    "       orvane-ensemble merge OUTDIR SHARDDIR...\n"
    "       orvane-ensemble fit OUTDIR OBSFILE\n"
    "\n"
    "Runs the ensemble that EXPERIMENT.toml describes and writes members.csv,\n"
    "summary.csv and trajectories.nc into the results folder.\n"
    "\n"
    "  --out DIR     results folder (default: the experiment's name + \"-results\",\n"
    "                in the current folder)\n"
    "  --threads N   worker threads (default: one per core; under mpirun the\n"
    "                cores shared among the ranks on each machine)\n"
    "  --resume      continue the ensemble in DIR after an interruption\n"
    "  --members N   number of members, instead of the file's\n"
    "  --seed S      seed of the design, instead of the file's\n"
    "  --observations FILE  once the ensemble is complete, print how well it\n"
    "                fits the observations of FILE (CSV) and write the table\n"
    "                as ensemble-fit.csv in the results folder\n"
    "  --shard I/N   run only shard I of N (I from 1; without I/N, from a Slurm\n"
    "                job array's task) into a shard folder (default: the\n"
    "                experiment's name + \"-shard-I-of-N\")\n"
    "\n"
    "merge checks that the shard folders hold every shard of one experiment,\n"
    "once each, and writes into OUTDIR the files a single run writes.\n"
    "fit does what --observations does for the results an ensemble wrote\n"
    "earlier into OUTDIR.\n"
    "\n"
    "Exit status: 0 ensemble complete (failed members are counted, not errors),\n"
    "1 could not run or interrupted (finished members are kept), 2 usage error.\n";

class TUsageError : public std::exception {
public:
    explicit TUsageError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Whether an MPI launcher started this process (Open MPI's mpirun, or a
// PMI launcher such as srun): only then is MPI initialised, so that a run
// without mpirun starts as fast as ever.
bool LaunchedByMpiLauncher() {
    for (const char* v : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK"})
        if (std::getenv(v)) return true;
    return false;
}

// Set by Ctrl+C or SIGTERM: the engine hands out no more members. A second
// Ctrl+C ends the program at once.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int sig) {
    interrupted.store(true);
    std::signal(sig, SIG_DFL);
}

struct TOptions {
    std::string experiment;
    std::string out;
    int threads = 0;
    bool resume = false;
    TExperimentOverrides overrides;
    std::string observations;
    TShard shard;
};

long long WholeArgument(const std::string& option, const std::string& text, long long min) {
    std::size_t used = 0;
    long long v = 0;
    try {
        v = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty()) throw TUsageError(option + ": \"" + text + "\" is not a whole number");
    if (v < min) throw TUsageError(option + " must be at least " + std::to_string(min));
    return v;
}

// "I/N", "/N" or nothing: what the job array leaves out comes from its task.
bool LooksLikeShard(std::string_view text) {
    const auto slash = text.find('/');
    if (slash == std::string_view::npos || text.empty()) return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (k != slash && (text[k] < '0' || text[k] > '9')) return false;
    return slash + 1 < text.size();
}

long long FromEnvironment(const char* name, long long fallback) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    return WholeArgument(std::string("$") + name, v, 0);
}

// Slurm numbers an array's tasks as its --array option says (0-99, 1-100,
// 0-30:3, ...); the shard is the task's place in that range, from 1.
TShard ShardFromArguments(const std::string& value) {
    if (!value.empty() && !LooksLikeShard(value)) {
        throw TUsageError("--shard: \"" + value + "\" is not I/N, such as 2/10");
    }
    const auto slash = value.find('/');
    TShard s;
    if (!value.empty() && slash > 0) s.index = static_cast<int>(WholeArgument("--shard", value.substr(0, slash), 1));
    if (!value.empty()) s.count = static_cast<int>(WholeArgument("--shard", value.substr(slash + 1), 1));
    if (s.index == 0) {
        const long long id = FromEnvironment("SLURM_ARRAY_TASK_ID", -1);
        if (id < 0) {
            throw TUsageError("--shard needs I/N, or a Slurm job array task (SLURM_ARRAY_TASK_ID) to take them from");
        }
        const long long min = FromEnvironment("SLURM_ARRAY_TASK_MIN", 0);
        const long long step = std::max(1LL, FromEnvironment("SLURM_ARRAY_TASK_STEP", 1));
        const long long count = FromEnvironment("SLURM_ARRAY_TASK_COUNT", -1);
        const long long max = FromEnvironment("SLURM_ARRAY_TASK_MAX", min + (count - 1) * step);
        if (count < 1 || id < min || (id - min) % step != 0 || (max - min) / step + 1 != count) {
            throw TUsageError("the job array's task numbers are not an even range (SLURM_ARRAY_TASK_ID " +
                              std::to_string(id) + ", _MIN " + std::to_string(min) + ", _MAX " + std::to_string(max) +
                              ", _STEP " + std::to_string(step) + ", _COUNT " + std::to_string(count) +
                              "): give --shard I/N");
        }
        s.index = static_cast<int>((id - min) / step + 1);
        if (s.count == 0) s.count = static_cast<int>(count);
    }
    if (s.index > s.count) {
        throw TUsageError("--shard " + std::to_string(s.index) + "/" + std::to_string(s.count) +
                          ": the shards are numbered from 1 to " + std::to_string(s.count));
    }
    return s;
}

TOptions ParseArguments(int argc, char** argv) {
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::string name = arg;
            std::string value;
            const auto eq = arg.find('=');
            if (eq != std::string::npos) name = arg.substr(0, eq);
            if (name != "--resume" && name != "--out" && name != "--threads" && name != "--members" &&
                name != "--seed" && name != "--observations" && name != "--shard") {
                throw TUsageError("unknown option " + name);
            }
            if (name == "--shard") {
                // I/N may be left out in a job array.
                if (eq != std::string::npos) value = arg.substr(eq + 1);
                else if (i + 1 < argc && LooksLikeShard(argv[i + 1])) value = argv[++i];
                o.shard = ShardFromArguments(value);
                continue;
            }
            if (eq != std::string::npos) {
                if (name == "--resume") throw TUsageError("--resume takes no value");
                value = arg.substr(eq + 1);
            } else if (name != "--resume") {
                if (i + 1 >= argc) throw TUsageError(name + " needs a value");
                value = argv[++i];
            }
            if (name == "--resume") o.resume = true;
            else if (name == "--out") o.out = value;
            else if (name == "--threads") o.threads = static_cast<int>(WholeArgument(name, value, 1));
            else if (name == "--observations") o.observations = value;
            else if (name == "--members") o.overrides.members = WholeArgument(name, value, 1);
            else o.overrides.seed = WholeArgument(name, value, 0);
            if (name == "--out" && value.empty()) throw TUsageError("--out needs a folder");
            if (name == "--observations" && value.empty()) throw TUsageError("--observations needs a file");
        } else {
            if (!o.experiment.empty()) throw TUsageError("one experiment file only");
            o.experiment = arg;
        }
    }
    if (o.experiment.empty()) throw TUsageError("an experiment file is needed");
    if (o.shard.Any() && !o.observations.empty()) {
        throw TUsageError("--observations needs the whole ensemble: once the shards are merged, run "
                          "orvane-ensemble fit OUTDIR OBSFILE");
    }
    if (o.out.empty()) {
        o.out = std::filesystem::path(o.experiment).stem().string() +
                (o.shard.Any() ? "-shard-" + std::to_string(o.shard.index) + "-of-" + std::to_string(o.shard.count)
                               : "-results");
    }
    return o;
}

std::string Duration(double seconds) {
    if (!(seconds >= 0) || seconds > 1e7) return "?";
    const long long s = std::llround(seconds);
    char buf[32];
    if (s >= 3600) std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
    return buf;
}

std::string Rate(double perSecond) {
    if (perSecond >= 100) return std::to_string(std::llround(perSecond));
    return FormatGeneral(perSecond, 3);
}

// A line rewritten in place on a terminal; otherwise a plain line every
// tenth of the way.
class TConsoleProgress : public IEngineProgress {
public:
    TConsoleProgress() : terminal_(isatty(fileno(stderr)) != 0) {}

    void Progress(const TEngineStatus& s) override {
        const std::string text = std::to_string(s.resumed + s.done) + "/" +
                                 std::to_string(s.resumed + s.total) + " members, " +
                                 std::to_string(s.resumedFailed + s.failed) + " failed, " + Rate(s.rate) + " per second, " + Duration(s.remaining) + " left";
        if (terminal_) {
            if (s.seconds - last_ < 0.2 && s.done < s.total) return;
            last_ = s.seconds;
            std::fprintf(stderr, "\r%-78s", text.c_str());
            shown_ = true;
        } else {
            const std::size_t tenth = s.total ? s.done * 10 / s.total : 10;
            if (tenth == lastTenth_) return;
            lastTenth_ = tenth;
            std::fprintf(stderr, "%s\n", text.c_str());
        }
        std::fflush(stderr);
    }

    void Finish() {
        if (shown_) std::fprintf(stderr, "\n");
        shown_ = false;
    }

private:
    bool terminal_;
    double last_ = -1;
    std::size_t lastTenth_ = 0;
    bool shown_ = false;
};

// An observation file read against the model's variables; false when it
// cannot be, with the reason printed.
bool ReadObservationsOrSay(const std::string& path, std::optional<TObservations>& observations) {
    try {
        TGlobals g;
        InitialiseGlobals(g);
        observations = ReadObservationFile(path, TVariableCatalogue(g));
        return true;
    } catch (const std::exception& err) {
        std::fprintf(stderr, "%s\n", err.what());
        return false;
    }
}

// The observations' fit to the ensemble in `dir`, printed and written there.
int ReportEnsembleFit(const TObservations& observations, const std::string& dir) {
    try {
        const TEnsembleFit fit = FitResultsFolder(observations, dir);
        const std::string csv = (std::filesystem::path(dir) / EnsembleFitFileName).string();
        WriteEnsembleFitCsv(csv, fit);
        std::printf("\nFit to %s\n%sWritten to %s\n", observations.path.c_str(), EnsembleFitReport(fit).c_str(),
                    csv.c_str());
        return 0;
    } catch (const std::exception& err) {
        std::fprintf(stderr, "%s\n", err.what());
        return 1;
    }
}

// orvane-ensemble fit OUTDIR OBSFILE
int Fit(int argc, char** argv) {
    if (argc != 4 || argv[2][0] == '-' || argv[3][0] == '-') {
        std::fprintf(stderr, "orvane-ensemble: fit needs the results folder and the observation file\n\n%s", Usage);
        return 2;
    }
    std::optional<TObservations> observations;
    if (!ReadObservationsOrSay(argv[3], observations)) return 1;
    return ReportEnsembleFit(*observations, argv[2]);
}

void InstallInterrupt() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

// "N members: K ok, F failed (math 2, ...). Results in DIR: ...", and the
// sensitivity report.
void PrintCounts(const TEnsembleOutcome& out, const TExperiment& e, const std::string& dir) {
    const TResultCounts& counts = out.counts;
    std::string failures;
    for (int k = 1; k < FailKindCount; ++k) {
        const std::size_t n = counts.byKind[static_cast<std::size_t>(k)];
        if (n == 0) continue;
        failures += (failures.empty() ? " (" : ", ") + std::string(FailKindName(static_cast<TFailKind>(k))) +
                    " " + std::to_string(n);
    }
    if (!failures.empty()) failures += ")";
    std::printf("%zu members: %zu ok, %zu failed%s. Results in %s: members.csv, summary.csv, trajectories.nc%s\n",
                counts.members, counts.ok, counts.Failed(), failures.c_str(), dir.c_str(),
                SensitivityFiles(e.design.method));
    if (!out.report.empty()) std::printf("\n%s", out.report.c_str());
}

// How a run of the experiment ends, as the user reads it; the exit status.
int Report(const TEnsembleOutcome& out, const TExperiment& e, const std::string& dir, const TShard& shard) {
    if (out.cancelled) {
        std::fprintf(stderr,
                     "Interrupted: %zu of %zu members are kept in %s; run the same command with --resume "
                     "to continue.\n",
                     out.kept, out.range.last - out.range.first, dir.c_str());
        return 1;
    }
    if (shard.Any()) {
        std::printf("Shard %d/%d complete: members %zu to %zu of %zu in %s. When every shard is complete, "
                    "join them with: orvane-ensemble merge OUTDIR SHARDDIR...\n",
                    shard.index, shard.count, out.range.first, out.range.last - 1, out.members, dir.c_str());
        return 0;
    }
    PrintCounts(out, e, dir);
    return 0;
}

bool ReadOrSay(const TOptions& o, TExperiment& e) {
    try {
        e = ReadExperiment(o.experiment, o.overrides);
        return true;
    } catch (const std::exception& err) {
        std::fprintf(stderr, "%s\n", err.what());
        return false;
    }
}

// Runs the experiment read from o.experiment; under MPI on rank 0 with the
// other ranks' threads through `runner`.
int RunExperiment(const TOptions& o, const TExperiment& e, const TMemberRunner& runner = {}, int threads = 0) {
    // Read before the ensemble, so that a mistake in the file does not wait for it.
    std::optional<TObservations> observations;
    if (!o.observations.empty()) {
        if (e.siteList) {
            std::fprintf(stderr, "--observations compares the ensemble of one site with its observations, and %s has %zu sites\n",
                         o.experiment.c_str(), e.sites.size());
            return 1;
        }
        if (!ReadObservationsOrSay(o.observations, observations)) return 1;
    }
    TEnsembleOptions options;
    options.outDir = o.out;
    options.threads = threads ? threads : o.threads;
    options.resume = o.resume;
    options.cancel = &interrupted;
    options.runner = runner;
    options.shard = o.shard;
    TConsoleProgress line;
    options.progress = &line;

    const std::string integrator = IntegratorDescription(e.integrator, TGlobals{}.Tolerance);
    // Several sites and a shard are told after the design.
    const std::string sites = e.siteList ? " at each of " + std::to_string(e.sites.size()) + " sites" : "";
    const std::string shard = o.shard.Any() ? ", shard " + std::to_string(o.shard.index) + "/" + std::to_string(o.shard.count) : "";
    if (IsSensitivityMethod(e.design.method)) {
        std::fprintf(stderr, "%s: %s%s, integrator %s%s, %s\n", o.experiment.c_str(), SensitivityDesignText(e).c_str(),
                     sites.c_str(), integrator.c_str(), shard.c_str(), o.resume ? "resuming" : "starting");
        if (const std::string note = SensitivityNote(e); !note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
    } else {
        std::fprintf(stderr, "%s: %zu members%s of %d factor%s, design %s, integrator %s%s, %s\n",
                     o.experiment.c_str(), e.design.members, sites.c_str(), static_cast<int>(e.factors.size()),
                     e.factors.size() == 1 ? "" : "s", e.design.method.c_str(), integrator.c_str(), shard.c_str(),
                     o.resume ? "resuming" : "starting");
    }
    TEnsembleOutcome out;
    try {
        out = RunEnsemble(e, options);
        line.Finish();
    } catch (const std::exception& err) {
        line.Finish();
        std::fprintf(stderr, "%s\n", err.what());
        // A write that failed midway (a full disk) loses nothing that finished.
        std::error_code ec;
        if (dynamic_cast<const EInOutError*>(&err) &&
            std::filesystem::exists(std::filesystem::path(o.out) / JournalName, ec)) {
            std::fprintf(stderr, "The members that finished are kept in %s; once the cause is put right, "
                                 "run the same command with --resume to continue.\n",
                         o.out.c_str());
        }
        return 1;
    }
    const int code = Report(out, e, o.out, o.shard);
    return code == 0 && observations ? ReportEnsembleFit(*observations, o.out) : code;
}

int Run(const TOptions& o) {
    TExperiment e;
    if (!ReadOrSay(o, e)) return 1;
    InstallInterrupt();
    return RunExperiment(o, e);
}

// orvane-ensemble merge OUTDIR SHARDDIR...
int Merge(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "orvane-ensemble: merge needs the results folder and the shard folders\n\n%s", Usage);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "orvane-ensemble: merge takes no options (%s)\n\n%s", argv[i], Usage);
            return 2;
        }
    }
    const std::vector<std::string> dirs(argv + 3, argv + argc);
    InstallInterrupt();
    TEnsembleOptions options;
    options.outDir = argv[2];
    options.cancel = &interrupted;
    TEnsembleOutcome out;
    TExperiment merged;
    try {
        out = MergeShards(dirs, options, &merged);
    } catch (const std::exception& err) {
        std::fprintf(stderr, "%s\n", err.what());
        return 1;
    }
    if (out.cancelled) {
        std::fprintf(stderr, "Interrupted: run the same merge again to finish it.\n");
        return 1;
    }
    PrintCounts(out, merged, options.outDir);
    return 0;
}

// The number of processes an MPI launcher started, when it says so.
long long LaunchedRanks() {
    for (const char* v : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE"})
        if (const char* n = std::getenv(v)) return std::atoll(n);
    return 0;
}

long long LaunchedRank() {
    for (const char* v : {"OMPI_COMM_WORLD_RANK", "PMIX_RANK", "PMI_RANK"})
        if (const char* n = std::getenv(v)) return std::atoll(n);
    return 0;
}

#ifdef ORVANE_WITH_MPI
// Every rank reads the experiment and its sites; rank 0 runs the ensemble
// with the others as its workers.
int RunOnRanks(int& argc, char**& argv, const TOptions& o) {
    using namespace orvane::ensemble::mpi;
    TMpiSession mpi(argc, argv);
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = o.threads > 0 ? o.threads : std::max(1, cores / mpi.LocalSize());
    TRankReady ready;
    ready.threads = threads;
    TExperiment e;
    std::optional<TEnsembleMembers> members;
    std::string error;
    try {
        e = ReadExperiment(o.experiment, o.overrides);
        members.emplace(PrepareMembers(e));
        ready = {true, e.hash, members->design->Members(), threads};
    } catch (const std::exception& err) {
        error = err.what();
    }
    const TVerdict verdict = AgreeToStart(mpi, ready);
    if (!verdict.go) {
        // The same mistake on every rank is told once, by rank 0.
        if (mpi.Rank() == 0) std::fprintf(stderr, "%s\n", error.empty() ? verdict.problem.c_str() : error.c_str());
        else if (!error.empty() && verdict.rankZeroReady) std::fprintf(stderr, "rank %d: %s\n", mpi.Rank(), error.c_str());
        return 1;
    }
    InstallInterrupt();
    if (mpi.Rank() != 0) return Serve(*members, e, threads, &interrupted);
    TCoordinator coordinator(mpi, verdict.threads);
    int workers = 0;
    for (int t : verdict.threads) workers += t;
    std::fprintf(stderr, "%d ranks, %d worker threads in all\n", mpi.Size(), workers);
    const int code = RunExperiment(o, e, coordinator.Runner(), threads);
    coordinator.Release(code);
    return code;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const bool mpi = LaunchedByMpiLauncher();
    if (argc > 1 && (std::string_view(argv[1]) == "merge" || std::string_view(argv[1]) == "fit")) {
        if (LaunchedRanks() > 1) {
            if (LaunchedRank() == 0) {
                std::fprintf(stderr, "orvane-ensemble: %s runs in one process: start it without mpirun\n", argv[1]);
            }
            return 2;
        }
        return std::string_view(argv[1]) == "merge" ? Merge(argc, argv) : Fit(argc, argv);
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
    }
    TOptions options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const TUsageError& e) {
        if (LaunchedRank() == 0) std::fprintf(stderr, "orvane-ensemble: %s\n\n%s", e.what(), Usage);
        return 2;
    }
    if (mpi) {
#ifdef ORVANE_WITH_MPI
        return RunOnRanks(argc, argv, options);
#else
        // Copies that know nothing of each other would run the same members
        // into the same folder.
        if (LaunchedRanks() > 1) {
            if (LaunchedRank() == 0) {
                std::fprintf(stderr, "orvane-ensemble: this build has no MPI: install libopenmpi-dev, build again, "
                                     "and start it with mpirun again (or run it without mpirun)\n");
            }
            return 1;
        }
#endif
    }
    return Run(options);
}
