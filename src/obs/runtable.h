// A whole output file in memory: its column names and units and every row,
// at full precision, for comparing a run with observations or another run.
#pragma once

#include <cstddef>
#include <optional>
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

// Where t falls among increasing times: the value at t is
// Interpolate(bracket, y[lo], y[hi]); hi == lo where t is one of the times.
struct TTimeBracket {
    std::size_t lo = 0, hi = 0;
    double w = 0;  // (t - time[lo]) / (time[hi] - time[lo])
};
// `time(i)` gives time number i of `count`; nothing when t lies outside them.
template <class TimeAt>
std::optional<TTimeBracket> BracketTime(std::size_t count, TimeAt time, double t) {
    if (count == 0 || !(t >= time(0)) || !(t <= time(count - 1))) return std::nullopt;
    // The first time at or after t.
    std::size_t lo = 0, hi = count - 1;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (time(mid) < t) lo = mid + 1;
        else hi = mid;
    }
    const double t1 = time(lo);
    if (t1 == t || lo == 0) return TTimeBracket{lo, lo, 0};
    const double t0 = time(lo - 1);
    return TTimeBracket{lo - 1, lo, (t - t0) / (t1 - t0)};
}
inline double Interpolate(const TTimeBracket& b, double y0, double y1) {
    return b.hi == b.lo ? y0 : y0 + b.w * (y1 - y0);
}

// The value of `column` at time t, linear between the rows around t (rows in
// increasing time). False when t lies outside the rows' times.
bool InterpolateAt(const TRunTable& table, std::size_t column, double t, double& value);

}  // namespace orvane
