// Differences between two runs' output files, column by column.
#pragma once

#include <string>
#include <vector>

#include "obs/runtable.h"

namespace orvane {

struct TColumnDifference {
    std::string name;
    double maxAbs = 0;        // largest |a - b|
    std::size_t absRow = 0;   // where (row index)
    double maxRel = 0;        // largest |a - b| / max(|a|, |b|)
    std::size_t relRow = 0;
    int exceeding = 0;        // values beyond atol + rtol * max(|a|, |b|)
};

struct TRunComparison {
    // Set when the files cannot be compared value by value.
    std::string shapeMismatch;
    std::vector<TColumnDifference> columns;  // every column, "Time" first
    bool Within() const;                     // same shape and nothing exceeding
};

// A pair of values agrees when |a - b| <= atol + rtol * max(|a|, |b|); two
// NaN agree, and so do equal infinities.
bool ValuesAgree(double a, double b, double rtol, double atol);

TRunComparison CompareRuns(const TRunTable& a, const TRunTable& b, double rtol, double atol);

// What orvane-compare prints: every column with a difference, its largest
// absolute and relative difference and the time of each, then a summary line.
std::string ComparisonReport(const TRunComparison& c, const TRunTable& a, double rtol, double atol);

// The differences `second` minus `first` at the first run's times (the second
// run interpolated linearly between its rows; NaN outside them), for the
// columns of `first` that `second` has by name. Row-major like TRunTable.
TRunTable DifferenceTable(const TRunTable& first, const TRunTable& second);

}  // namespace orvane
