// The base run of an experiment: its site as the files give it, without
// any factor applied, run in memory to the experiment's outputs, so that
// charts can show where the ensemble spreads from.
#pragma once

#include <vector>

#include "ensemble/experiment.h"
#include "ensemble/site.h"

namespace orvane::ensemble {

// The outputs [variable x time] (outputs[v * times + t]). Errors of the run
// pass on.
std::vector<double> RunBaseSite(const TExperiment& e, const TSite& site);

}  // namespace orvane::ensemble
