// The base site of an experiment and the model member that runs it.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "calc/calc_fields.h"
#include "calc/calculate.h"
#include "ensemble/engine.h"
#include "ensemble/experiment.h"
#include "io/drivertable.h"
#include "model/globals.h"

namespace orvane::ensemble {

// Read once before the workers start, then only read: the parameter file's
// states and parameters, the driver table, and each factor's base value
// (for relative distributions: the state or parameter of the file, the
// process of the opening evaluation at the calculation time, 1 for a
// driver's scale).
struct TSite {
    TGlobals base;
    TDriverTable drivers;
    std::vector<double> factorBase;
};

// Raises EExperimentError when the site's files cannot be used.
std::unique_ptr<TSite> LoadSite(const TExperiment& e);

// One member of the experiment on the site: the factor values applied (or
// entered into the steady-state calculation and derived), then the run in
// memory. Owns its own copy of the model's values; reads the site and the
// experiment only.
class TSiteMember final : public IMemberModel {
public:
    TSiteMember(const TExperiment& e, const TSite& site);
    TMemberOutcome Run(std::span<const double> factors, std::span<double> outputs) override;

private:
    // The steady-state step; an empty outcome when it gave a steady state.
    TMemberOutcome DeriveSteadyState(std::span<const double> factors, const TDriverTable& drivers);

    const TExperiment& e_;
    const TSite& site_;
    TGlobals g_;
    TSteadyStateCalc calc_{g_};
    TDriverTable ownDrivers_;  // the site's drivers changed by driver factors
    bool driverFactors_ = false;
    std::vector<calcfields::TBoundField> fields_;
    std::vector<TRowVariable> vars_;
};

}  // namespace orvane::ensemble
