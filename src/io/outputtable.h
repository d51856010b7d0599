// An output file as one table in memory: every value of every row as the
// file holds it, read in one pass over the whole file (on several threads
// when it is large). The output display shows it; comparisons and exports
// work on the same numbers.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct TGlobals;

struct TOutputTable {
    std::vector<std::string> names;  // "Time", then every driver, state and process name
    std::vector<std::string> units;  // the time unit, then their units
    std::vector<double> values;      // row after row, Columns() values each

    std::size_t Columns() const { return names.size(); }
    std::size_t Rows() const { return names.empty() ? 0 : values.size() / names.size(); }
    double Value(std::size_t row, std::size_t col) const { return values[row * names.size() + col]; }
    const double* Row(std::size_t row) const { return values.data() + row * names.size(); }
};

// The columns of this model's output files (from the catalogue), no rows.
TOutputTable OutputTableColumns(const TGlobals& g);

// Why reading stopped before the end of the file, if it did.
struct TOutputReadProblem {
    enum class TKind {
        None,
        BadNumber,  // a field that is not a number; the rows before it are kept
        CutOffRow,  // the last row ends, without a line end, short of fields
        ShortRow,   // rows as lines: a line with fewer values than a row has
        LongRow,    // rows as lines: a line with more
    };
    TKind kind = TKind::None;
    std::size_t line = 0;    // where: the bad field's line, or the line the cut row ends on
    std::size_t field = 0;   // the bad field's place in its row (from 1), or the cut row's values
    std::size_t fields = 0;  // values in a whole row
    std::size_t column = 0;  // character in its line (from 1): the bad or extra value, or past the short line
    std::string text;        // the bad field as it stands (its first 64 characters)
    bool textCut = false;    // the bad field is longer than that

    explicit operator bool() const { return kind != TKind::None; }
    // What the user is told, as the row reader's error says it: the message,
    // then where in the file (`path`) on a second line.
    std::string Message(const std::string& path) const;
};

struct TOutputReadOptions {
    double minTime = -HUGE_VAL;  // rows with an earlier time are left out
    // Each line that is not blank is one row with exactly a row's values,
    // for tools that hold a file to its columns (a short row is a problem
    // then, not a row that takes the next line's values).
    bool rowsAreLines = false;
    std::vector<int>* rowLines = nullptr;  // rows as lines: receives each row's line
    int threads = 0;             // at most this many threads; 0: as many as help
    std::size_t minChunkBytes = std::size_t{4} << 20;  // smallest share of one thread
};

// Reads the data rows of the output file at `path` (past its two header
// lines) into table.values, table.Columns() values a row. The values are
// those the output file reader gives, row for row: numbers are a stream of
// tokens, a row short of fields takes the next line's, and values missing at
// the end of the file read as 0, except in a cut-off last row, which is left
// out. Raises EInOutError if the file cannot be read at all.
TOutputReadProblem ReadOutputTable(const std::string& path, TOutputTable& table,
                                   const TOutputReadOptions& options = {});
// The same, from the file's bytes.
TOutputReadProblem ParseOutputTable(std::string_view bytes, TOutputTable& table,
                                    const TOutputReadOptions& options = {});

// How a CSV file writes the table's values; each form reads back as the
// very same numbers.
enum class TCsvValues {
    AsOutputFile,  // as the output file writes them (or, when that form would
                   // not read back as the same number, the shortest that does)
    Shortest,      // the shortest form; NaN, no value, as an empty cell
};

// The table as comma-separated values: a names row, a units row, then every
// row; written through a temporary file. Raises EInOutError on failure.
void WriteOutputTableCsv(const std::string& path, const TOutputTable& table,
                         TCsvValues form = TCsvValues::AsOutputFile);

}  // namespace orvane
