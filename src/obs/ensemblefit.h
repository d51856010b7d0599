// How well an ensemble of runs brackets observations: the continuous ranked
// probability score of the members' empirical distribution, and whether an
// observation lies inside the members' central band.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "obs/obsfile.h"

namespace orvane {

// The p-quantile of sorted values, linear between order statistics (the
// common "type 7" definition). The ensemble's summary uses it too, so that
// its 5 and 95 % columns are the band of the fit. NaN without values.
double SortedQuantile(std::span<const double> sorted, double p);

// CRPS of the empirical distribution of `members` at the observation y:
// mean |x - y| - mean |x - x'| / 2. NaN without members.
double Crps(std::span<const double> members, double y);

// The p-quantile of the members, in any order.
double MemberQuantile(std::span<const double> members, double p);

// True when y lies inside the central band holding `coverage` of the members
// (0.9: between the 5 % and 95 % quantiles, ends included).
bool InsideBand(std::span<const double> members, double y, double coverage = 0.9);

struct TEnsembleFitStats {
    int n = 0;
    double insideShare = NAN;  // share of observations inside the 90 % band
    double crps = NAN;         // mean CRPS over the observations
};

// One entry of `members` per observation: the members' values at its time.
TEnsembleFitStats EnsembleFitStatistics(const std::vector<std::vector<double>>& members,
                                        const std::vector<double>& obs);

// An ensemble's outputs at its output times, wherever they are kept.
struct TEnsembleOutput {
    std::string symbol;
    std::string longName;  // the catalogue's name, which tells a driver from a process of one symbol
};
class IEnsembleTrajectories {
public:
    virtual ~IEnsembleTrajectories() = default;
    virtual const std::vector<double>& Times() const = 0;  // increasing
    virtual const std::vector<TEnsembleOutput>& Outputs() const = 0;
    virtual const std::vector<bool>& Succeeded() const = 0;  // per member
    // For each of `times` (output time numbers, increasing), every member's
    // value of output `output` in member order; what a failed member holds
    // is not used.
    virtual std::vector<std::vector<double>> Columns(std::size_t output, const std::vector<std::size_t>& times) const = 0;
};

struct TVariableEnsembleFit {
    std::string symbol;
    std::string name;
    std::size_t members = 0;      // members used: succeeded, finite wherever read
    TEnsembleFitStats stats;      // n: observations used
    std::vector<double> outside;  // times of observations outside the ensemble's, not used
};

struct TEnsembleFit {
    double firstTime = NAN, lastTime = NAN;  // the ensemble's output times
    std::size_t members = 0;                 // in the ensemble, failed ones included
    std::size_t failed = 0;
    std::vector<TVariableEnsembleFit> variables;  // in the order of the observations
    std::vector<std::string> missing;             // observed, not among the outputs: "SYMBOL (name)"
};

// Each observed variable that is an output of the ensemble against its
// members' values at the observations' times (linear between output times).
TEnsembleFit FitEnsemble(const TObservations& observations, const IEnsembleTrajectories& ensemble);

// The ensemble fit CSV: header "variable,n,members,inside90,crps", numbers in
// the shortest form that reads back to the same double, undefined ones empty.
std::string EnsembleFitCsv(const TEnsembleFit& fit);
void WriteEnsembleFitCsv(const std::string& path, const TEnsembleFit& fit);
// The same as an aligned table for people, with a line on the members and
// notes on what was not used.
std::string EnsembleFitReport(const TEnsembleFit& fit);

}  // namespace orvane
