#include "io/drivertable.h"

#include <algorithm>
#include <filesystem>

#include "io/driversteps.h"
#include "model/errors.h"

namespace orvane {

TDriverTable TDriverTable::Read(const std::string& path, int numdrive) {
    TDriverTable t;
    t.numdrive_ = std::clamp(numdrive, 0, MaxDrivers);
    t.path_ = path;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        throw EInOutError("Cannot read driver file \"" + path + "\": the file does not exist.");
    }
    TTextReader r;
    r.Open(path, 2);  // past the two header lines
    for (;;) {
        TDriverRow row;
        try {
            if (!ReadDriverRecord(r, t.numdrive_, row.time, row.v.data())) break;
        } catch (const EInputError& e) {
            throw EInputError(e.Message() + " in data row " + std::to_string(t.rows_.size() + 1) +
                              " of driver file \"" + path + "\"");
        }
        t.rows_.push_back(row);
    }
    return t;
}

void TDriverTable::ScaleColumn(int driver, double factor) {
    for (TDriverRow& r : rows_) r.v[static_cast<std::size_t>(driver)] *= factor;
}

void TDriverTable::OffsetColumn(int driver, double offset) {
    for (TDriverRow& r : rows_) r.v[static_cast<std::size_t>(driver)] += offset;
}

void TDriverCursor::Get(drivearray& target, double t) {
    const TDriverTable& table = *table_;
    const int numdrive = table.NumDrive();
    StepDrivers({prevTime_, nextTime_, prev_, next_}, target, t, numdrive,
                [&](double& time, drivearray& row) {
                    if (row_ >= table.Rows().size()) return false;
                    const TDriverRow& r = table.Rows()[row_++];
                    time = r.time;
                    for (int i = 1; i <= numdrive; ++i) row[i].value = r.v[static_cast<std::size_t>(i)];
                    return true;
                });
}

}  // namespace orvane
