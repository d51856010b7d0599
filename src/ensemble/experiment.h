// An ensemble experiment as its file describes it (TOML):
//
//   [site]          parameters, drivers (paths relative to the experiment file)
//   [run]           start, stop, step, output_step (defaults 0, 2, 1, 1);
//                   integrator ("rk", the default, or "cvode") with rtol, atol
//   [steady_state]  at_time, passes (optional: re-derive the site per member)
//   [[factor]]      kind, symbol, distribution and its settings, apply
//   [design]        method, members, seed, file
//   [outputs]       variables, times ("all" or a list)
//
// ReadExperiment checks everything it can before any member runs and raises
// EExperimentError with a message that names the file and line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ensemble/distribution.h"
#include "model/errors.h"
#include "model/integrator_choice.h"
#include "run/runloop.h"

namespace orvane::ensemble {

class EExperimentError : public EOrvaneError {
public:
    using EOrvaneError::EOrvaneError;
};

enum class TFactorKind { State, Parameter, Driver, Process };
enum class TDriverApply { Scale, Offset };

const char* FactorKindName(TFactorKind kind);

struct TFactor {
    TFactorKind kind = TFactorKind::Parameter;
    std::string symbol;
    int index = 0;                 // in the catalogue of its kind (1-based)
    bool hasDistribution = false;  // false only for a design that gives values (csv)
    TDistribution dist;
    TDriverApply apply = TDriverApply::Scale;
    int line = 0;                  // of its [[factor]] header, for later messages
};

struct TOutputVariable {
    TRowVariable var;
    std::string symbol;
    std::string units;
    std::string longName;
};

// The design's settings. `settings` keeps every key of [design] that its
// method reads beyond method, members, seed and file, as numbers or text.
struct TDesignSpec {
    std::string method = "lhs";
    std::size_t members = 0;
    uint64_t seed = 1;
    std::string file;  // csv: the parameter sets, resolved against the experiment file
    std::vector<double> values;  // csv: members x factors, read from `file`
    std::map<std::string, std::string> text;
    std::map<std::string, double> numbers;
};

struct TExperiment {
    std::string path;            // the experiment file as given
    std::string parameterFile;   // resolved paths
    std::string driverFile;

    double start = 0;
    double stop = 2;
    double step = 1;
    double outputStep = 1;
    TIntegratorChoice integrator;

    bool steadyState = false;
    double atTime = 0;
    int passes = 1;

    std::vector<TFactor> factors;
    TDesignSpec design;

    std::vector<TOutputVariable> outputs;
    std::vector<double> outputTimes;  // the chosen output times, increasing
    std::vector<char> keepRow;        // per row of the run: kept in the outputs
    int runRows = 0;                  // rows the run writes, the start row included

    // Identifies the experiment and everything it reads: its file, the site's
    // files, the design file and the settings given on the command line.
    uint64_t hash = 0;

    int Variables() const { return static_cast<int>(outputs.size()); }
    int Times() const { return static_cast<int>(outputTimes.size()); }
};

// Settings from the command line that take precedence over the file.
struct TExperimentOverrides {
    long long members = -1;  // -1: as the file says
    long long seed = -1;
};

TExperiment ReadExperiment(const std::string& path, const TExperimentOverrides& overrides = {});

// The times of the rows a run from start to stop writes, as the run
// accumulates them.
std::vector<double> RunRowTimes(double start, double stop, double step, double outputStep);

}  // namespace orvane::ensemble
