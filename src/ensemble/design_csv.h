// Parameter sets from a CSV file: a header of factor symbols ("kind:symbol"
// also accepted), then one row of values per member.
#pragma once

#include <string>

#include "ensemble/experiment.h"

namespace orvane::ensemble {

// Reads the file into e.design.values (members x factors, in the order of
// e.factors). With `membersGiven` the file must hold at least
// e.design.members rows and the first ones are used; otherwise every row is
// a member. Raises EExperimentError naming the file and line.
void ReadDesignCsv(const std::string& path, TExperiment& e, bool membersGiven);

}  // namespace orvane::ensemble
