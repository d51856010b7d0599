// orvane-ensemble: an experiment file's ensemble of the model on every core.
//
//   orvane-ensemble EXPERIMENT.toml [--out DIR] [--threads N] [--resume]
//                   [--members N] [--seed S] [--observations FILE]
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
#include <optional>
#include <string>
#include <string_view>

#include "ensemble/ensemble_run.h"
#include "ensemble/experiment.h"
#include "ensemble/results_read.h"
#include "ensemble/sensitivity_design.h"
#include "model/catalogue.h"
#include "io/numfmt.h"
#include "model/errors.h"
#include "solver/step_integrator.h"

namespace {

using namespace orvane;
using namespace orvane::ensemble;

constexpr const char* Usage =
    "usage: orvane-ensemble EXPERIMENT.toml [--out DIR] [--threads N] [--resume] [--members N] "
    "[--seed S]\n"
    "                       [--observations FILE]\n"
    "       orvane-ensemble fit OUTDIR OBSFILE\n"
    "\n"
    "Runs the ensemble that EXPERIMENT.toml describes and writes members.csv,\n"
    "summary.csv and trajectories.nc into the results folder.\n"
    "\n"
    "  --out DIR     results folder (default: the experiment's name + \"-results\",\n"
    "                in the current folder)\n"
    "  --threads N   worker threads (default: one per core)\n"
    "  --resume      continue the ensemble in DIR after an interruption\n"
    "  --members N   number of members, instead of the file's\n"
    "  --seed S      seed of the design, instead of the file's\n"
    "  --observations FILE  once the ensemble is complete, print how well it\n"
    "                fits the observations of FILE (CSV) and write the table\n"
    "                as ensemble-fit.csv in the results folder\n"
    "\n"
    "fit does the same for the results an ensemble wrote earlier into OUTDIR.\n"
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
                name != "--seed" && name != "--observations") {
                throw TUsageError("unknown option " + name);
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
    if (o.out.empty()) o.out = std::filesystem::path(o.experiment).stem().string() + "-results";
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

int Run(const TOptions& o) {
    TExperiment e;
    try {
        e = ReadExperiment(o.experiment, o.overrides);
    } catch (const std::exception& err) {
        std::fprintf(stderr, "%s\n", err.what());
        return 1;
    }
    // Read before the ensemble, so that a mistake in the file does not wait for it.
    std::optional<TObservations> observations;
    if (!o.observations.empty() && !ReadObservationsOrSay(o.observations, observations)) return 1;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    TEnsembleOptions options;
    options.outDir = o.out;
    options.threads = o.threads;
    options.resume = o.resume;
    options.cancel = &interrupted;
    TConsoleProgress line;
    options.progress = &line;

    const std::string integrator = IntegratorDescription(e.integrator, TGlobals{}.Tolerance);
    if (IsSensitivityMethod(e.design.method)) {
        std::fprintf(stderr, "%s: %s, integrator %s, %s\n", o.experiment.c_str(),
                     SensitivityDesignText(e).c_str(), integrator.c_str(), o.resume ? "resuming" : "starting");
        if (const std::string note = SensitivityNote(e); !note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
    } else {
        std::fprintf(stderr, "%s: %zu members of %d factor%s, design %s, integrator %s, %s\n",
                     o.experiment.c_str(), e.design.members, static_cast<int>(e.factors.size()),
                     e.factors.size() == 1 ? "" : "s", e.design.method.c_str(), integrator.c_str(),
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
    if (out.cancelled) {
        std::fprintf(stderr,
                     "Interrupted: %zu of %zu members are kept in %s; run the same command with --resume "
                     "to continue.\n",
                     out.kept, out.members, o.out.c_str());
        return 1;
    }
    std::string failures;
    for (int k = 1; k < FailKindCount; ++k) {
        const std::size_t n = out.counts.byKind[static_cast<std::size_t>(k)];
        if (n == 0) continue;
        failures += (failures.empty() ? " (" : ", ") + std::string(FailKindName(static_cast<TFailKind>(k))) +
                    " " + std::to_string(n);
    }
    if (!failures.empty()) failures += ")";
    std::printf("%zu members: %zu ok, %zu failed%s. Results in %s: members.csv, summary.csv, trajectories.nc%s\n",
                out.counts.members, out.counts.ok, out.counts.Failed(), failures.c_str(), o.out.c_str(),
                SensitivityFiles(e.design.method));
    if (!out.report.empty()) std::printf("\n%s", out.report.c_str());
    return observations ? ReportEnsembleFit(*observations, o.out) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "fit") return Fit(argc, argv);
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
        std::fprintf(stderr, "orvane-ensemble: %s\n\n%s", e.what(), Usage);
        return 2;
    }
    return Run(options);
}
