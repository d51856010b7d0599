#include "ensemble/trajectories.h"


#include <fcntl.h>
#include <netcdf.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "model/catalogue.h"
#include "model/errors.h"
#include "solver/step_integrator.h"

namespace orvane::ensemble {

namespace {

constexpr std::size_t BlockMembers = 256;

std::string FactorLongName(const TGlobals& g, const TFactor& f) {
    switch (f.kind) {
        case TFactorKind::State: return std::string(g.States[f.index].name);
        case TFactorKind::Parameter: return std::string(g.Params[f.index].name);
        case TFactorKind::Process: return std::string(g.Processes[f.index].name);
        case TFactorKind::Driver:
            return std::string(g.Drivers[f.index].name) +
                   (f.apply == TDriverApply::Scale ? " (scale factor)" : " (offset)");
    }
    return f.symbol;
}

std::string FactorUnits(const TGlobals& g, const TFactor& f) {
    switch (f.kind) {
        case TFactorKind::State: return std::string(g.States[f.index].units);
        case TFactorKind::Parameter: return std::string(g.Params[f.index].units);
        case TFactorKind::Process: return std::string(g.Processes[f.index].units);
        case TFactorKind::Driver:
            return f.apply == TDriverApply::Scale ? "1" : std::string(g.Drivers[f.index].units);
    }
    return "";
}

}  // namespace

void TTrajectoriesWriter::Check(int status) const {
    if (status != NC_NOERR) {
        throw EInOutError("Cannot write file \"" + path_ + "\": " + nc_strerror(status));
    }
}

void TTrajectoriesWriter::Text(int var, const char* name, const std::string& value) {
    Check(nc_put_att_text(ncid_, var, name, value.size(), value.c_str()));
}

TTrajectoriesWriter::TTrajectoriesWriter(const std::string& path, const TExperiment& e,
                                         std::size_t members)
    : path_(path), tmp_(path + ".tmp" + std::to_string(::getpid())), e_(e), members_(members) {
    TGlobals g;
    InitialiseGlobals(g);
    // The classic 64-bit-offset format: its bytes depend on the data alone,
    // and every netCDF reader takes it.
    std::filesystem::remove(tmp_);
    Check(nc_create(tmp_.c_str(), NC_CLOBBER | NC_64BIT_OFFSET, &ncid_));
    open_ = true;
    int old = 0;
    Check(nc_set_fill(ncid_, NC_NOFILL, &old));  // every value is written

    int dimMember = 0;
    int dimTime = 0;
    Check(nc_def_dim(ncid_, "member", members, &dimMember));
    Check(nc_def_dim(ncid_, "time", static_cast<std::size_t>(e.Times()), &dimTime));
    const int both[2] = {dimMember, dimTime};

    Text(NC_GLOBAL, "Conventions", "CF-1.8");
    Text(NC_GLOBAL, "title", "Ensemble of the " + g.ModelDef.modelname + " model");
    Text(NC_GLOBAL, "source", g.ModelDef.modelname + " " + g.ModelDef.versionnumber + ", orvane-ensemble");
    Text(NC_GLOBAL, "experiment", std::filesystem::path(e.path).filename().string());
    Text(NC_GLOBAL, "design", e.design.method);
    Text(NC_GLOBAL, "seed", std::to_string(e.design.seed));
    Text(NC_GLOBAL, "integrator", IntegratorDescription(e.integrator, g.Tolerance));

    Check(nc_def_var(ncid_, "time", NC_DOUBLE, 1, &dimTime, &timeVar_));
    Text(timeVar_, "units", g.ModelDef.timeunit);
    Text(timeVar_, "long_name", "time");
    Text(timeVar_, "axis", "T");
    Check(nc_def_var(ncid_, "member", NC_INT, 1, &dimMember, &memberVar_));
    Text(memberVar_, "long_name", "ensemble member");
    Check(nc_def_var(ncid_, "status", NC_BYTE, 1, &dimMember, &statusVar_));
    Text(statusVar_, "long_name", "member status");
    const signed char statusFlags[2] = {0, 1};
    Check(nc_put_att_schar(ncid_, statusVar_, "flag_values", NC_BYTE, 2, statusFlags));
    Text(statusVar_, "flag_meanings", "failed ok");
    Check(nc_def_var(ncid_, "failure", NC_BYTE, 1, &dimMember, &failureVar_));
    Text(failureVar_, "long_name", "why the member failed");
    signed char kinds[FailKindCount];
    std::string meanings;
    for (int k = 0; k < FailKindCount; ++k) {
        kinds[k] = static_cast<signed char>(k);
        if (k) meanings += ' ';
        meanings += FailKindName(static_cast<TFailKind>(k));
    }
    Check(nc_put_att_schar(ncid_, failureVar_, "flag_values", NC_BYTE, FailKindCount, kinds));
    Text(failureVar_, "flag_meanings", meanings);

    const double fill = std::numeric_limits<double>::quiet_NaN();
    for (const TFactor& f : e.factors) {
        int var = 0;
        Check(nc_def_var(ncid_, std::string("factor_").append(f.symbol).c_str(), NC_DOUBLE, 1, &dimMember, &var));
        Text(var, "long_name", FactorLongName(g, f));
        Text(var, "units", FactorUnits(g, f));
        Text(var, "factor_kind", FactorKindName(f.kind));
        if (f.hasDistribution) Text(var, "distribution", DistName(f.dist.kind));
        factorVars_.push_back(var);
    }
    for (const TOutputVariable& o : e.outputs) {
        int var = 0;
        Check(nc_def_var(ncid_, o.symbol.c_str(), NC_DOUBLE, 2, both, &var));
        Text(var, "units", o.units);
        Text(var, "long_name", o.longName);
        Check(nc_put_att_double(ncid_, var, "_FillValue", NC_DOUBLE, 1, &fill));
        outputVars_.push_back(var);
    }
    Check(nc_enddef(ncid_));
    Check(nc_put_var_double(ncid_, timeVar_, e.outputTimes.data()));
}

TTrajectoriesWriter::~TTrajectoriesWriter() {
    if (open_) nc_close(ncid_);
    std::error_code ec;
    if (!tmp_.empty()) std::filesystem::remove(tmp_, ec);
}

void TTrajectoriesWriter::Member(const TMemberRecord& r) {
    if (block_.empty()) blockStart_ = r.member;
    block_.push_back(r);
    if (block_.size() == BlockMembers) WriteBlock();
}

void TTrajectoriesWriter::WriteBlock() {
    if (block_.empty()) return;
    const std::size_t b = block_.size();
    const std::size_t t = static_cast<std::size_t>(e_.Times());
    const std::size_t start1[1] = {blockStart_};
    const std::size_t count1[1] = {b};
    std::vector<int> members(b);
    std::vector<signed char> status(b);
    std::vector<signed char> failure(b);
    for (std::size_t i = 0; i < b; ++i) {
        members[i] = static_cast<int>(block_[i].member);
        status[i] = block_[i].outcome.Ok() ? 1 : 0;
        failure[i] = static_cast<signed char>(block_[i].outcome.kind);
    }
    Check(nc_put_vara_int(ncid_, memberVar_, start1, count1, members.data()));
    Check(nc_put_vara_schar(ncid_, statusVar_, start1, count1, status.data()));
    Check(nc_put_vara_schar(ncid_, failureVar_, start1, count1, failure.data()));
    std::vector<double> column(b);
    for (std::size_t j = 0; j < factorVars_.size(); ++j) {
        for (std::size_t i = 0; i < b; ++i) column[i] = block_[i].factors[j];
        Check(nc_put_vara_double(ncid_, factorVars_[j], start1, count1, column.data()));
    }
    const std::size_t start2[2] = {blockStart_, 0};
    const std::size_t count2[2] = {b, t};
    std::vector<double> values(b * t);
    const double fill = std::numeric_limits<double>::quiet_NaN();
    for (std::size_t v = 0; v < outputVars_.size(); ++v) {
        for (std::size_t i = 0; i < b; ++i) {
            const std::vector<double>& out = block_[i].outputs;
            for (std::size_t k = 0; k < t; ++k) values[i * t + k] = out.empty() ? fill : out[v * t + k];
        }
        Check(nc_put_vara_double(ncid_, outputVars_[v], start2, count2, values.data()));
    }
    written_ += b;
    block_.clear();
}

void TTrajectoriesWriter::Finish() {
    WriteBlock();
    if (written_ != members_) {
        throw EInOutError("Cannot write file \"" + path_ + "\": " + std::to_string(written_) + " of " +
                          std::to_string(members_) + " members written");
    }
    open_ = false;
    Check(nc_close(ncid_));
    // On the disk before it takes the place of an earlier file.
    if (const int fd = ::open(tmp_.c_str(), O_RDONLY); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    std::error_code ec;
    std::filesystem::rename(tmp_, path_, ec);
    if (ec) throw EInOutError("Cannot replace file \"" + path_ + "\": " + ec.message());
    tmp_.clear();
}

}  // namespace orvane::ensemble
