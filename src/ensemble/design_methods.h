// The design methods an experiment file may name, and the one place where a
// method becomes a design. A method declares the [design] keys it reads
// beyond method, members, seed and file; ReadExperiment keeps their values
// in TDesignSpec::numbers and ::text for its builder.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ensemble/design.h"
#include "ensemble/experiment.h"

namespace orvane::ensemble {

inline constexpr std::size_t MaxMembers = 1'000'000'000;

struct TDesignMethod {
    const char* name;
    bool valuesFromFile;  // values come from the design file; factors need no distribution
    bool needsMembers;    // "members" is required (a method may size its design itself)
    int minFactors;
    int maxFactors;       // 0: no limit
    std::vector<std::string> numberKeys;
    std::vector<std::string> textKeys;
    // Makes the design; `bases` are the factors' base values (for relative
    // distributions). Its Members() may differ from TDesignSpec::members
    // (which is then the method's own sample size). Raises EExperimentError
    // for settings it cannot use.
    std::unique_ptr<IDesign> (*make)(const TExperiment& e, std::span<const double> bases);
    bool distributions = true;  // factors need a distribution (a local design moves base values)
    // A message, and the [design] key it concerns, when the method's settings
    // cannot be used; empty when they can. Checked as the file is read.
    std::string (*check)(const TExperiment& e, std::string& key) = nullptr;
};

const std::vector<TDesignMethod>& DesignMethods();
const TDesignMethod* FindDesignMethod(const std::string& name);
std::string DesignMethodNames();

// The experiment's design.
std::unique_ptr<IDesign> MakeDesign(const TExperiment& e, std::span<const double> bases);

}  // namespace orvane::ensemble
