// The members of an experiment over all its sites. Every site runs the same
// design (its values drawn with the site's own base values where a
// distribution is relative); the ensemble's member m is design member
// m % D of site m / D, so that groups of the design never span two sites.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "ensemble/design.h"
#include "ensemble/engine.h"
#include "ensemble/experiment.h"
#include "ensemble/site.h"

namespace orvane::ensemble {

struct TEnsembleMembers {
    std::vector<std::unique_ptr<TSite>> sites;
    std::unique_ptr<IDesign> design;  // over all sites
    std::size_t siteMembers = 0;      // D: the design's members at one site
    // Site s's own design (its relative distributions around its values).
    const IDesign& SiteDesign(std::size_t s) const;
    // One model per worker, for every site.
    TModelFactory Factory(const TExperiment& e) const;
};

// Reads every site and makes the design. Raises EExperimentError.
TEnsembleMembers PrepareMembers(const TExperiment& e);

}  // namespace orvane::ensemble
