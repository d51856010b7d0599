// Observation files: measured values of model variables at given times, as
// CSV with a header row in either of two layouts:
//
//   wide:  time,Cf,Cf_sd,Wood Carbon,...   one row per time
//   long:  variable,time,value[,sd]        one row per observation
//
// Variables are named by catalogue name or symbol. Comma, semicolon or tab
// separate the cells; blank and NA cells are missing; '#' starts a comment
// line. Every mistake raises ETableFileError naming file, line and column.
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "obs/csvtext.h"
#include "obs/variables.h"

namespace orvane {

struct TObservation {
    double time = 0;
    double value = 0;
    double sd = NAN;  // NaN when the file gives none
    int line = 0;     // where it stands in the file
};

struct TObservedVariable {
    TVariableInfo var;
    std::vector<TObservation> points;  // in increasing time

    // True when every point has a standard deviation.
    bool HasSd() const;
};

struct TObservations {
    std::string path;
    std::vector<TObservedVariable> variables;  // in the order the file names them
};

TObservations ReadObservationFile(const std::string& path, const TVariableCatalogue& catalogue);
// The same from text already read; `file` names it in messages.
TObservations ParseObservations(std::string_view text, std::string_view file,
                                const TVariableCatalogue& catalogue);
TObservations ObservationsFromLines(const std::vector<TCsvLine>& lines, std::string_view file,
                                    const TVariableCatalogue& catalogue);

}  // namespace orvane
