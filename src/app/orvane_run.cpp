// orvane-run: one run of the model without any window.
//
//   orvane-run PARAMFILE DRIVERFILE OUTPUTFILE [--start S] [--stop T]
//              [--step H] [--output-step K]
//              [--observations FILE [--fit-out FILE]]
//              [--integrator rk|cvode [--rtol R] [--atol A]]
//
// Exit status: 0 when the run reached its stop time, 1 when it failed or was
// interrupted (the rows written so far are kept) or when the observations
// cannot be read or fitted, 2 on a usage error. It
// never asks a question: an existing output file is replaced.
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/cli_options.h"
#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "model/errors.h"
#include "obs/fit.h"
#include "run/filecheck.h"
#include "run/outputstep.h"
#include "run/run.h"
#include "solver/step_integrator.h"

namespace {

using namespace orvane;

constexpr const char* Usage =
    "usage: orvane-run PARAMFILE DRIVERFILE OUTPUTFILE [--start S] [--stop T] [--step H] "
    "[--output-step K]\n"
    "                  [--observations FILE [--fit-out FILE]]\n"
    "                  [--integrator rk|cvode [--rtol R] [--atol A]]\n"
    "\n"
    "Runs the model from the initial states and parameters of PARAMFILE with the\n"
    "drivers of DRIVERFILE and writes every output step to OUTPUTFILE (replaced).\n"
    "\n"
    "  --start S        start time (default 0); not negative\n"
    "  --stop T         stop time (default 2); must be greater than the start time\n"
    "  --step H         simulation time step (default 1); greater than 0\n"
    "  --output-step K  output time step (default 1); a whole multiple of the time\n"
    "                   step, corrected with a message when it is not\n"
    "  --observations FILE  after the run, print the goodness of fit to the\n"
    "                   observations of FILE (CSV)\n"
    "  --fit-out FILE   also write the goodness of fit to FILE as CSV\n"
    "  --integrator rk|cvode  the adaptive Runge-Kutta integrator (default), or\n"
    "                   CVODE's BDF method, much faster on long runs\n"
    "  --rtol R         CVODE's relative tolerance (default 1E-11)\n"
    "  --atol A         CVODE's absolute tolerance (default 1E-11)\n"
    "\n"
    "Exit status: 0 run complete, 1 run failed or interrupted (rows written so far\n"
    "are kept) or observations unreadable, 2 usage error.\n";

using cli::TUsageError;

// Set by Ctrl+C; the run checks it once per step, so that it can close its
// files and keep the rows already written instead of dying with them unsaved.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

class TConsoleProgress : public IRunProgress {
public:
    TConsoleProgress() : showing_(isatty(fileno(stderr)) != 0) {}
    ~TConsoleProgress() override { Finish(); }

    void Progress(int percent) override {
        if (interrupted) throw EUserCancel(MsgUserCancel);
        if (showing_ && percent != last_) {
            std::fprintf(stderr, "\r%3d%%", percent);
            std::fflush(stderr);
            last_ = percent;
        }
    }

    void Finish() {
        if (showing_ && last_ >= 0) std::fprintf(stderr, "\r    \r");
        last_ = -1;
    }

private:
    bool showing_;
    int last_ = -1;
};

struct TOptions {
    std::string paramFile;
    std::string driverFile;
    std::string outputFile;
    double start = 0;
    double stop = 2;
    double step = 1;
    double outputStep = 1;
    std::string observationFile;
    std::string fitFile;
    TIntegratorChoice integrator;
    bool tolerancesGiven = false;
};

double NumberArgument(std::string_view option, const std::string& text) {
    try {
        return StrToFloat(text);
    } catch (const EConvertError& e) {
        throw TUsageError(std::string(option) + ": " + e.what());
    }
}

void RequireFile(const char* what, const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        throw TUsageError(std::string(what) + " \"" + path + "\" does not exist");
    }
    if (std::filesystem::is_directory(path, ec)) {
        throw TUsageError(std::string(what) + " \"" + path + "\" is a directory");
    }
}

TOptions ParseArguments(int argc, char** argv) {
    TOptions o;
    std::string files[3];
    int nfiles = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (cli::IsOption(arg)) {
            std::string name, value;
            cli::OptionValue(argc, argv, i, name, value);
            if (name == "--observations" || name == "--fit-out") {
                (name == "--fit-out" ? o.fitFile : o.observationFile) = value;
                continue;
            }
            if (name == "--integrator") {
                if (!ParseIntegratorName(value, o.integrator.kind)) {
                    throw TUsageError("--integrator: '" + value + "' is neither rk nor cvode");
                }
                continue;
            }
            double* target = nullptr;
            if (name == "--rtol" || name == "--atol") {
                target = name == "--rtol" ? &o.integrator.rtol : &o.integrator.atol;
                o.tolerancesGiven = true;
            } else if (name == "--start") target = &o.start;
            else if (name == "--stop") target = &o.stop;
            else if (name == "--step") target = &o.step;
            else if (name == "--output-step") target = &o.outputStep;
            else throw TUsageError("unknown option " + name);
            *target = NumberArgument(name, value);
        } else {
            if (nfiles == 3) throw TUsageError("too many file names");
            files[nfiles++] = arg;
        }
    }
    if (nfiles < 3) throw TUsageError("a parameter file, a driver file and an output file are needed");
    o.paramFile = files[0];
    o.driverFile = files[1];
    o.outputFile = files[2];
    if (!std::isfinite(o.start) || !std::isfinite(o.stop)) {
        throw TUsageError("the start and stop times must be finite numbers");
    }
    // Driver-file times are never negative (the sign marks interpolation), and
    // the reader's start of a pass cannot be told apart from a request before
    // a first row at time 0: a run from a negative time would take wrong drivers.
    if (o.start < 0) throw TUsageError("the start time must not be negative");
    if (!(o.stop > o.start)) throw TUsageError("the stop time must be greater than the start time");
    if (!(o.step > 0) || !std::isfinite(o.step)) throw TUsageError("the time step must be greater than 0");
    if (!(o.outputStep > 0) || !std::isfinite(o.outputStep)) {
        throw TUsageError("the output time step must be greater than 0");
    }
    if (o.tolerancesGiven && o.integrator.kind != TIntegratorKind::Cvode) {
        throw TUsageError("--rtol and --atol are tolerances of --integrator cvode");
    }
    for (const double tol : {o.integrator.rtol, o.integrator.atol}) {
        if (!(tol > 0) || !std::isfinite(tol)) {
            throw TUsageError("the tolerances --rtol and --atol must be greater than 0");
        }
    }
    RequireFile("parameter file", o.paramFile);
    RequireFile("driver file", o.driverFile);
    // Refused before anything is read or written: the run would replace the input.
    if (const std::string clash = OutputFileClash(o.outputFile, o.paramFile, o.driverFile);
        !clash.empty()) {
        throw TUsageError(clash);
    }
    if (!o.fitFile.empty() && o.observationFile.empty()) throw TUsageError("--fit-out needs --observations");
    if (!o.observationFile.empty()) RequireFile("observation file", o.observationFile);
    return o;
}

// The goodness of fit of the finished run; 1 when it cannot be worked out or written.
int ReportFit(const TObservations& observations, const TOptions& o) {
    try {
        const TRunFit fit = FitRun(observations, ReadRunTable(o.outputFile));
        std::fputs(FitReport(fit).c_str(), stdout);
        if (!o.fitFile.empty()) WriteFitCsv(o.fitFile, fit);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

int Run(const TOptions& o) {
    TGlobals g;
    InitialiseGlobals(g);
    g.StartTime = o.start;
    g.StopTime = o.stop;
    g.TimeStep = o.step;
    g.OutputStep = o.outputStep;
    g.CalcTime = o.start;
    g.ParamFileName = o.paramFile;
    g.DriverFileName = o.driverFile;
    g.OutputFileName = o.outputFile;
    g.Integrator = o.integrator;

    double residual = 0;
    try {
        // A refused file has had its message printed by the reader.
        if (!ReadParamFile(g, g.ParamFileName, g.ModelDef.numparam, g.Params, g.ModelDef.numstate,
                           g.States, residual)) {
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    // Read before the run, so that a mistake in the file does not wait for it.
    std::optional<TObservations> observations;
    if (!o.observationFile.empty()) {
        try {
            observations = ReadObservationFile(o.observationFile, TVariableCatalogue(g));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }

    const std::string correction = CorrectOutputStep(g);
    if (!correction.empty()) std::fprintf(stderr, "%s\n", correction.c_str());

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    TConsoleProgress progress;
    const TRunResult result = RunSimulation(g, &progress);
    progress.Finish();

    const std::string reached = FormatGeneral(g.CurrentTime);
    if (result.cancelled) {
        std::fprintf(stderr, "Run interrupted at time %s; %d rows kept in %s\n", reached.c_str(),
                     result.rowsWritten, g.OutputFileName.c_str());
        return 1;
    }
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", result.message.c_str());
        return 1;
    }
    std::printf("Run complete at time %s: %d rows written to %s; integrator: %s\n",
                reached.c_str(), result.rowsWritten, g.OutputFileName.c_str(),
                IntegratorDescription(g.Integrator, g.Tolerance).c_str());
    return observations ? ReportFit(*observations, o) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (cli::WantsHelp(argc, argv)) {
        std::fputs(Usage, stdout);
        return 0;
    }
    TOptions options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const TUsageError& e) {
        std::fprintf(stderr, "orvane-run: %s\n\n%s", e.what(), Usage);
        return 2;
    }
    return Run(options);
}
