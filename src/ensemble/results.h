// The result files of an ensemble, made from its members journal:
//
//   members.csv   member,status,message, one column per factor (its symbol),
//                 one per output (its value at the last output time)
//   summary.csv   variable,time,n,mean,sd,min,q05,q25,q50,q75,q95,max per
//                 output and output time, over the members that succeeded
//   trajectories.nc   every member's outputs at every output time
//
// Numbers in the CSV files are the shortest text that reads back as the
// same double. Each file is written beside its place and renamed into it.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "ensemble/engine.h"
#include "ensemble/experiment.h"

namespace orvane::ensemble {

struct TResultCounts {
    std::size_t members = 0;
    std::size_t ok = 0;
    std::array<std::size_t, FailKindCount> byKind{};  // failed members per kind
    std::size_t Failed() const { return members - ok; }
};

// Reads the journal (which must hold the design's members 0..members-1) and
// writes the three files into `dir`. The summary's quantiles are exact: the
// journal is read again as often as `memoryBudget` bytes of gathered values
// require. Raises EInOutError.
TResultCounts WriteResults(const TExperiment& e, std::size_t members, const std::string& journal,
                           const std::string& dir, std::size_t memoryBudget = std::size_t{512} << 20);

// A CSV field: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);

}  // namespace orvane::ensemble
