#include "ensemble/site.h"

#include <cmath>

#include "ensemble/names.h"
#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "model/errors.h"
#include "run/runloop.h"

namespace orvane::ensemble {

namespace {

// Keeps the message a file routine would have shown.
class TMessageKeeper : public IMessageSink {
public:
    void ShowMessage(TMsgKind, const std::string& text) override { last = text; }
    std::string last;
};

std::string FactorWhere(const TExperiment& e, const TFactor& f) {
    return e.path + ":" + std::to_string(f.line) + ": factor " + f.symbol + ": ";
}

// "the site " or "site NAME " in messages.
std::string SiteName(const TExperiment& e, const TExperimentSite& site) {
    return e.siteList ? "site \"" + site.name + "\" " : "the site ";
}

// Copies the run's settings and the mode of a Monte Carlo driver of the
// steady-state window (not batch mode; the window showing while it calculates).
void SetRunValues(const TExperiment& e, const TExperimentSite& site, TGlobals& g) {
    g.StartTime = e.start;
    g.StopTime = e.stop;
    g.TimeStep = e.step;
    g.OutputStep = e.outputStep;
    g.Integrator = e.integrator;
    g.CalcTime = e.steadyState ? site.atTime : e.start;
    g.ModelBatch = false;
    g.MonteCarlo = true;
}

TMemberOutcome Failure(TFailKind kind, const std::string& message) { return {kind, message}; }

// The kind of an error of the run.
TMemberOutcome RunFailure() {
    try {
        throw;
    } catch (const EStepTooSmall& e) {
        return Failure(TFailKind::StepTooSmall, e.Message());
    } catch (const ETooManySteps& e) {
        return Failure(TFailKind::TooManySteps, e.Message());
    } catch (const EMathError& e) {
        return Failure(TFailKind::Math, e.Message());
    } catch (const ERunTimeError& e) {
        return Failure(TFailKind::Run, e.Message());
    } catch (const std::exception& e) {
        return Failure(TFailKind::Other, e.what());
    }
}

}  // namespace

std::unique_ptr<TSite> LoadSite(const TExperiment& e, std::size_t which) {
    auto site = std::make_unique<TSite>();
    const TExperimentSite& spec = e.sites.at(which);
    site->spec = &spec;
    TGlobals& g = site->base;
    InitialiseGlobals(g);
    TMessageKeeper messages;
    g.Messages = &messages;
    double residual = 0;
    try {
        if (!ReadParamFile(g, spec.parameterFile, g.ModelDef.numparam, g.Params, g.ModelDef.numstate,
                           g.States, residual)) {
            throw EExperimentError("parameter file \"" + spec.parameterFile + "\": " + messages.last);
        }
        site->drivers = TDriverTable::Read(spec.driverFile, g.ModelDef.numdrive);
    } catch (const EExperimentError&) {
        throw;
    } catch (const std::exception& err) {
        throw EExperimentError(err.what());
    }
    g.Messages = nullptr;
    if (site->drivers.Rows().empty()) {
        throw EExperimentError("driver file \"" + spec.driverFile + "\" has no data rows");
    }
    SetRunValues(e, spec, g);

    // The opening evaluation gives the base of process factors.
    processarray opening = g.Processes;
    bool evaluated = false;
    for (const TFactor& f : e.factors) {
        double base = 0;
        switch (f.kind) {
            case TFactorKind::State: base = g.States[f.index].value; break;
            case TFactorKind::Parameter: base = g.Params[f.index].value; break;
            case TFactorKind::Driver: base = f.apply == TDriverApply::Scale ? 1.0 : 0.0; break;
            case TFactorKind::Process:
                if (!evaluated) {
                    g.CalcFormShowing = true;
                    TSteadyStateCalc calc(g);
                    TDriverCursor cursor(site->drivers, g.NextDrivers);
                    calc.OpenFromTable(cursor);
                    try {
                        calc.EvaluateStart();
                    } catch (const std::exception& err) {
                        throw EExperimentError(SiteName(e, spec) + "cannot be evaluated at the calculation time " +
                                               FormatGeneral(spec.atTime) + ": " + err.what());
                    }
                    g.CalcFormShowing = false;
                    opening = calc.ShownSet.Processes;
                    evaluated = true;
                }
                base = opening[f.index].value;
                break;
        }
        // The site's own observation is the base of a factor around it.
        for (const TSiteEntry& entry : spec.entries)
            if (entry.kind == f.kind && entry.index == f.index) base = entry.value;
        if (f.hasDistribution && f.dist.kind == TDistKind::Relative && base == 0) {
            throw EExperimentError(FactorWhere(e, f) + (e.siteList ? "at site \"" + spec.name + "\" " : "") +
                                   "its base value is 0, and a relative distribution around 0 gives only 0");
        }
        site->factorBase.push_back(base);
    }
    return site;
}

TSiteMember::TSiteMember(const TExperiment& e, const TSite& site) : e_(e), site_(site) {
    InitialiseGlobals(g_);
    SetRunValues(e, *site.spec, g_);
    for (const TFactor& f : e.factors) driverFactors_ = driverFactors_ || f.kind == TFactorKind::Driver;
    if (driverFactors_) ownDrivers_ = site.drivers;
    fields_ = calcfields::BindFields(g_);
    for (const TOutputVariable& o : e.outputs) vars_.push_back(o.var);
}

TMemberOutcome TSiteMember::Run(std::span<const double> factors, std::span<double> outputs) {
    const TGlobals& base = site_.base;
    g_.States = base.States;
    g_.Params = base.Params;
    g_.Drivers = base.Drivers;
    g_.Processes = base.Processes;

    const TDriverTable* drivers = &site_.drivers;
    if (driverFactors_) {
        ownDrivers_.Rows() = site_.drivers.Rows();
        for (std::size_t j = 0; j < e_.factors.size(); ++j) {
            const TFactor& f = e_.factors[j];
            if (f.kind != TFactorKind::Driver) continue;
            if (f.apply == TDriverApply::Scale) ownDrivers_.ScaleColumn(f.index, factors[j]);
            else ownDrivers_.OffsetColumn(f.index, factors[j]);
        }
        drivers = &ownDrivers_;
    }

    if (e_.steadyState) {
        TMemberOutcome derived = DeriveSteadyState(factors, *drivers);
        if (!derived.Ok()) return derived;
    } else {
        for (std::size_t j = 0; j < e_.factors.size(); ++j) {
            const TFactor& f = e_.factors[j];
            if (f.kind == TFactorKind::State) g_.States[f.index].value = factors[j];
            if (f.kind == TFactorKind::Parameter) g_.Params[f.index].value = factors[j];
        }
    }

    TDriverCursor cursor(*drivers, base.NextDrivers);
    cursor.Restart();
    TTableDriverSource source(cursor);
    TMemorySink sink(vars_.data(), static_cast<int>(vars_.size()), e_.keepRow.data(), e_.runRows,
                     outputs.data(), e_.Times());
    try {
        RunSteps(g_, source, sink, nullptr);
    } catch (...) {
        return RunFailure();
    }
    for (std::size_t v = 0; v < e_.outputs.size(); ++v) {
        for (int t = 0; t < e_.Times(); ++t) {
            if (!std::isfinite(outputs[v * static_cast<std::size_t>(e_.Times()) + static_cast<std::size_t>(t)])) {
                return Failure(TFailKind::NonFinite, e_.outputs[v].symbol + " is not a finite number at time " +
                                                         FormatGeneral(e_.outputTimes[static_cast<std::size_t>(t)]));
            }
        }
    }
    return {};
}

TMemberOutcome TSiteMember::DeriveSteadyState(std::span<const double> factors,
                                              const TDriverTable& drivers) {
    // As the window opens in the Monte Carlo mode: the drivers at the
    // calculation time, the opening evaluation, every factor stored as an
    // entry, then the calculations in a row.
    g_.CalcFormShowing = true;
    TDriverCursor cursor(drivers, site_.base.NextDrivers);
    calc_.OpenFromTable(cursor);
    TMemberOutcome outcome;
    try {
        calc_.EvaluateStart();
        for (const TSiteEntry& entry : site_.spec->entries) calc_.ChangeValue(CatalogueKind(entry.kind), entry.index, entry.value);
        for (std::size_t j = 0; j < e_.factors.size(); ++j) {
            const TFactor& f = e_.factors[j];
            if (f.kind != TFactorKind::Driver) calc_.ChangeValue(CatalogueKind(f.kind), f.index, factors[j]);
        }
    } catch (...) {
        outcome = RunFailure();
    }
    for (int pass = 0; pass < e_.passes && outcome.Ok(); ++pass) {
        try {
            calc_.Recalculate();
        } catch (const std::exception& err) {
            outcome = Failure(TFailKind::SteadyState, MsgCalcFailed + std::string(err.what()));
        }
    }
    g_.CalcFormShowing = false;
    if (!outcome.Ok()) return outcome;
    if (calcfields::CountInvalidShown(calc_, fields_) > 0 || !calc_.DerivativesSteady()) {
        return Failure(TFailKind::SteadyState, MsgInvalidSteadyState);
    }
    // The run starts from the shown values, at full precision.
    g_.States = calc_.ShownSet.States;
    g_.Params = calc_.ShownSet.Params;
    return {};
}

}  // namespace orvane::ensemble
