// Reading a results folder back: the files that an ensemble or a
// sensitivity analysis wrote (by the runner or the workbench), for charts.
// Columns are found by their names in the header, so a file with columns
// added later still reads. Every mistake names the file and line; a file
// that cannot be read raises EInOutError, one that is not as written
// ETableFileError.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "obs/ensemblefit.h"

namespace orvane::ensemble {

// members.csv
struct TMemberRow {
    std::size_t member = 0;
    bool ok = false;
    std::string message;
    std::vector<double> factors;  // in the file's order of factor columns
    std::vector<double> outputs;  // at the last output time; NaN for a failed member
};
struct TMembersFile {
    std::vector<std::string> factors;
    std::vector<std::string> outputs;
    std::vector<TMemberRow> rows;
    std::size_t Failed() const;
};
// The header does not tell factors from outputs (a symbol may be both), so
// the caller names the outputs, which trajectories.nc or summary.csv give:
// they must be the last columns.
TMembersFile ReadMembersFile(const std::string& path, const std::vector<std::string>& outputs);

// summary.csv: undefined statistics (sd of one member) are NaN.
struct TSummaryRow {
    std::string variable;
    double time = 0;
    std::size_t n = 0;
    double mean = 0, sd = 0, min = 0, q05 = 0, q25 = 0, q50 = 0, q75 = 0, q95 = 0, max = 0;
};
std::vector<TSummaryRow> ReadSummaryFile(const std::string& path);
// The variables of a summary, in the order of first appearance.
std::vector<std::string> SummaryVariables(const std::vector<TSummaryRow>& rows);

// indices.csv: `time` is NaN for an index over time; lower and upper are
// NaN where there is no interval.
struct TIndexRow {
    std::string method;
    std::string output;
    double time = 0;
    std::string factor;
    std::string index;
    double value = 0, lower = 0, upper = 0;
};
std::vector<TIndexRow> ReadIndicesFile(const std::string& path);

// trajectories.nc
struct TTrajectoryVariable {
    std::string symbol;
    std::string units;
    std::string longName;
};
struct TTrajectoriesInfo {
    std::string design;      // the design's method
    std::string experiment;  // the experiment file's name (without its folder)
    std::size_t members = 0;
    std::vector<double> times;
    std::string timeUnits;
    std::vector<TTrajectoryVariable> variables;  // the outputs, in the file's order
};
TTrajectoriesInfo ReadTrajectoriesInfo(const std::string& path);
// The values of one output at output time number `time` of every member
// that succeeded.
std::vector<double> ReadTrajectorySlice(const std::string& path, const std::string& variable,
                                        std::size_t time);
// The file held open for reading many slices, as the ensemble fit does:
// its outputs are the variables over member and time.
std::unique_ptr<IEnsembleTrajectories> OpenTrajectories(const std::string& path);

// The fit of observations to the ensemble whose results are in folder `dir`.
TEnsembleFit FitResultsFolder(const TObservations& observations, const std::string& dir);

// The result files of a folder.
inline constexpr const char* MembersFileName = "members.csv";
inline constexpr const char* SummaryFileName = "summary.csv";
inline constexpr const char* TrajectoriesFileName = "trajectories.nc";
inline constexpr const char* IndicesFileName = "indices.csv";
inline constexpr const char* EnsembleFitFileName = "ensemble-fit.csv";

}  // namespace orvane::ensemble
