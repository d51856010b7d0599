// A driver file read and parsed once, for analyses that run the model many
// times: the rows live in memory, shared read-only, and each run steps
// through them with its own cursor exactly as the shared reader steps
// through the file (GetDrivers).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "io/textfile.h"
#include "model/stypes.h"

namespace orvane {

// Reads one data row as the driver reader does: a time and `numdrive`
// numbers from the token stream (a number at the end of the file reads as
// 0), then the rest of the line is skipped. False at the end of the file or
// at an all-zero row (which ends the data: nothing after it is read); then
// `time` and `values` are unchanged. `values` is 1-based. A field that is
// not a number raises EInputError and leaves both unchanged.
bool ReadDriverRecord(TTextReader& reader, int numdrive, double& time, double* values);

struct TDriverRow {
    double time = 0;                        // negative: interpolate towards this row
    std::array<double, MaxDrivers + 1> v{}; // values 1..numdrive
};

class TDriverTable {
public:
    TDriverTable() = default;
    // Reads the data rows of a driver file (past its two header lines).
    // Raises EInOutError when the file cannot be read, and EInputError for a
    // field that is not a number, naming the file and the data row.
    static TDriverTable Read(const std::string& path, int numdrive);

    int NumDrive() const { return numdrive_; }
    const std::vector<TDriverRow>& Rows() const { return rows_; }
    std::vector<TDriverRow>& Rows() { return rows_; }
    const std::string& Path() const { return path_; }

    // A column changed in every row: x * scale or x + offset (driver 1-based).
    void ScaleColumn(int driver, double factor);
    void OffsetColumn(int driver, double offset);

private:
    int numdrive_ = 0;
    std::string path_;
    std::vector<TDriverRow> rows_;
};

// One pass over a table. The first request takes the first row, even before
// its time; |time| is compared; a negative time interpolates towards that
// row; after the last row it stays in force for ever. The table must outlive
// the cursor and not change while it is used.
class TDriverCursor {
public:
    // `buffers` gives the row buffers' contents before the first row is read
    // (names and units, and the values an empty table leaves in force), as the
    // program's PrevDrivers / NextDrivers hold them.
    TDriverCursor(const TDriverTable& table, const drivearray& buffers)
        : table_(&table), prev_(buffers), next_(buffers) {}

    // Starts a new pass: the next request reads from the first row again.
    void Restart() {
        prevTime_ = nextTime_ = 0;
        row_ = 0;
    }
    // Makes `target` hold the drivers in force at time t; times must not
    // decrease within one pass.
    void Get(drivearray& target, double t);

private:
    const TDriverTable* table_;
    std::size_t row_ = 0;  // the next row to read
    double prevTime_ = 0;
    double nextTime_ = 0;
    drivearray prev_;
    drivearray next_;
};

}  // namespace orvane
