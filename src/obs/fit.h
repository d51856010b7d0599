// Goodness of fit of a run to observations: for each observed variable the
// run's value at each observation's time (linear between output rows) against
// the observed value.
#pragma once

#include <string>
#include <vector>

#include "obs/obsfile.h"
#include "obs/runtable.h"

namespace orvane {

struct TFitStats {
    int n = 0;
    // NaN where a statistic is undefined: everything at n = 0, r2 and nse when
    // the observed (or simulated) values do not vary, wss and m2ll without
    // standard deviations.
    double bias = NAN;  // mean of simulated minus observed
    double rmse = NAN;
    double mae = NAN;
    double r2 = NAN;    // squared correlation of simulated and observed
    double nse = NAN;   // Nash-Sutcliffe efficiency
    double wss = NAN;   // sum of ((sim - obs) / sd)^2
    double m2ll = NAN;  // Gaussian -2 log-likelihood
};

// The statistics of paired values; sd may be empty (no standard deviations)
// or hold one value > 0 per pair.
TFitStats FitStatistics(const std::vector<double>& sim, const std::vector<double>& obs,
                        const std::vector<double>& sd);

struct TVariableFit {
    std::string symbol;
    std::string name;
    TFitStats stats;
    std::vector<double> outside;  // times of observations outside the run, not used
};

struct TRunFit {
    double firstTime = NAN, lastTime = NAN;  // the run's times
    std::vector<TVariableFit> variables;     // in the order of the observations
};

// Raises ETableFileError when the output file lacks a variable's column (or
// holds another model's columns there).
TRunFit FitRun(const TObservations& observations, const TRunTable& run);

// The fit CSV: header "variable,n,bias,rmse,mae,r2,nse,wss,m2ll", one row per
// variable, numbers in the shortest form that reads back to the same double,
// undefined ones empty.
std::string FitCsv(const TRunFit& fit);
void WriteFitCsv(const std::string& path, const TRunFit& fit);

// The same as an aligned table for people (6 significant digits), followed
// by FitNotes.
std::string FitReport(const TRunFit& fit);
// One line for each variable with observations outside the run, saying
// which were not used.
std::string FitNotes(const TRunFit& fit);
// A number of a fit table: in CSV the shortest form that reads back the
// same (empty when undefined), for people 6 digits ("-" when undefined).
std::string FitCsvNumber(double v);
std::string FitReportNumber(double v);
// That line for one variable ("" when nothing is outside): `source` is
// "the run" or "the ensemble", whose times go from first to last.
std::string OutsideNote(const std::string& symbol, const std::vector<double>& outside,
                        const std::string& source, double first, double last);

}  // namespace orvane
