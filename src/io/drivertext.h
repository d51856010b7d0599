// Driver-file text checked row by row before it is saved: the reader takes
// numbers as a stream, so a row it cannot take whole would otherwise show
// only as wrong drivers, or a failure, far into a later run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct TDriverRowProblem {
    int line = 0;        // 1-based, the two header lines counted
    std::string reason;  // why the reader cannot take it as one row
};

// Checks every line after the two header lines: a time and `numdrive`
// numbers, each as the reader takes it; times in increasing order of their
// absolute value; and nothing after an all-zero row, which ends the data.
// Blank lines are skipped, as the reader skips them. Lines end in LF or CR LF.
std::vector<TDriverRowProblem> CheckDriverText(std::string_view text, int numdrive);

}  // namespace orvane
