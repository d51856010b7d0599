// The model at fixed drivers and parameters, evaluated for the state
// derivatives alone: what an integrator needs at every stage.
#pragma once

#include "model/equations.h"
#include "model/equations_values.h"
#include "model/stypes.h"

namespace orvane {

// The drivers and parameters are copied in when it is made, and nothing is
// read from the arrays afterwards: to evaluate at other drivers or
// parameters, make another one. That is what makes it safe to keep the terms
// of the drivers and parameters alone from one evaluation to the next: the
// first evaluation that computes them all without a fault keeps them, later
// ones read them back. Derivatives and errors are those of EvaluateModel to
// the bit; no process is delivered anywhere.
//
// One object serves one integration on one thread.
class TBoundModel {
public:
    // Of `states` only the HoldConstant flags are read.
    TBoundModel(const drivearray& drivers, const paramarray& params, const statearray& states,
                const TEvalContext& context = {});

    // dydx[1..19] from y[1..19]. An entry that is negative or not a number
    // counts as 1e-05, as EvaluateModel's guard makes it, while y itself is
    // left alone. Raises what EvaluateModel raises, and then writes nothing.
    void Derivatives(const TStateVector& y, TStateVector& dydx) const;

    // Whether later evaluations read the terms back.
    bool TermsKept() const { return cached_; }

    // Whether `other` evaluates the same model: the same drivers, parameters,
    // held states and context, to the bit.
    bool SameModelAs(const TBoundModel& other) const;

private:
    model::TDriverValues<double> D_;
    model::TParamValues<double> P_;
    model::THoldMask hold_;
    bool stopOnLowInsolubleCN_;
    mutable model::TTermValues<double> terms_;
    mutable bool cached_ = false;
};

}  // namespace orvane
