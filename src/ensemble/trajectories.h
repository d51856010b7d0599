// trajectories.nc: every member's outputs at every chosen time, with the
// factor values and status of each member, in the netCDF classic format
// (64-bit offsets) with CF-style attributes.
//
//   dimensions  member, time
//   time(time)                   the output times (units of the model's time)
//   member(member)               0, 1, ...
//   status(member)               1 ok, 0 failed
//   failure(member)              why it failed (flag_values / flag_meanings)
//   factor_SYMBOL(member)        each factor's value
//   SYMBOL(member, time)         each output (units, long_name; NaN for a failed member)
#pragma once

#include <string>
#include <vector>

#include "ensemble/engine.h"
#include "ensemble/experiment.h"

namespace orvane::ensemble {

// Written beside its place and renamed into it by Finish(); a writer
// destroyed before leaves any earlier file as it was. Raises EInOutError.
class TTrajectoriesWriter {
public:
    TTrajectoriesWriter(const std::string& path, const TExperiment& e, std::size_t members);
    ~TTrajectoriesWriter();
    TTrajectoriesWriter(const TTrajectoriesWriter&) = delete;
    TTrajectoriesWriter& operator=(const TTrajectoriesWriter&) = delete;

    // Members in order, from 0.
    void Member(const TMemberRecord& record);
    void Finish();

private:
    void WriteBlock();
    void Check(int status) const;
    void Text(int var, const char* name, const std::string& value);

    std::string path_;
    std::string tmp_;
    const TExperiment& e_;
    std::size_t members_;
    int ncid_ = -1;
    bool open_ = false;
    int timeVar_ = 0, memberVar_ = 0, statusVar_ = 0, failureVar_ = 0;
    std::vector<int> factorVars_;
    std::vector<int> outputVars_;
    std::vector<TMemberRecord> block_;
    std::size_t blockStart_ = 0;
    std::size_t written_ = 0;
};

}  // namespace orvane::ensemble
