// A whole output file in memory: its column names and units and every row,
// at full precision, for comparing a run with observations or another run.
#pragma once

#include <string>
#include <vector>

#include "io/outputtable.h"

namespace orvane {

// names: header line 1 ("Time", then every variable); units: header line 2.
struct TRunTable : TOutputTable {
    std::string path;
    std::vector<int> lines;  // the file line of each row

    double At(std::size_t row, std::size_t column) const { return Value(row, column); }
    double Time(std::size_t row) const { return Value(row, 0); }
};

// Reads an output file: two header lines of 21-character columns, then rows
// of numbers separated by blanks. A row with another number of values than
// the header has columns, or a value that is not a number, raises
// ETableFileError naming the line and column; an unreadable file EInOutError.
TRunTable ReadRunTable(const std::string& path);

// The value of `column` at time t, linear between the rows around t (rows in
// increasing time). False when t lies outside the rows' times.
bool InterpolateAt(const TRunTable& table, std::size_t column, double t, double& value);

}  // namespace orvane
