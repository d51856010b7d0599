// Reading and checking an experiment file. Every mistake is reported with
// the file and line it is on, and the line itself.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <toml.hpp>

#include "calc/calc_fields.h"
#include "calc/calculate.h"
#include "ensemble/design_csv.h"
#include "ensemble/design_methods.h"
#include "ensemble/experiment.h"
#include "ensemble/names.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "run/outputstep.h"
#include "solver/step_integrator.h"

namespace orvane::ensemble {

namespace {

namespace fs = std::filesystem;
using TValue = toml::value;

// Raised whenever a change of the program changes the members' numbers or
// the layout of the journal.
constexpr const char* EnsembleFormat = "orvane-ensemble 1";

uint64_t Fnv1a(uint64_t h, std::string_view bytes) {
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001B3ull;
    }
    return h;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class TReader {
public:
    TReader(std::string path, const TGlobals& catalogue) : path_(std::move(path)), g_(catalogue) {}

    [[noreturn]] void Fail(const TValue& at, const std::string& message) const {
        const toml::source_location loc = at.location();
        std::string text = path_ + ":" + std::to_string(loc.line()) + ": " + message;
        if (!loc.line_str().empty()) text += "\n    " + loc.line_str();
        throw EExperimentError(text);
    }
    [[noreturn]] void FailFile(const std::string& message) const {
        throw EExperimentError(path_ + ": " + message);
    }

    // Every key of `table` must be one of `allowed`.
    void CheckKeys(const TValue& table, const std::string& name,
                   const std::vector<std::string>& allowed) const {
        for (const auto& [key, value] : table.as_table()) {
            if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
            std::string list;
            for (const std::string& k : allowed) list += (list.empty() ? "" : ", ") + k;
            const auto near = ClosestNames(key, allowed);
            Fail(value, "unknown key \"" + key + "\" in " + name +
                            (near.empty() ? "" : " (did you mean \"" + near.front() + "\"?)") +
                            "; the keys are: " + list);
        }
    }

    const TValue* Find(const TValue& table, const char* key) const {
        const auto& t = table.as_table();
        const auto it = t.find(key);
        return it == t.end() ? nullptr : &it->second;
    }

    double Number(const TValue& v, const std::string& what) const {
        if (v.is_integer()) return static_cast<double>(v.as_integer());
        if (v.is_floating()) {
            const double x = v.as_floating();
            if (!std::isfinite(x)) Fail(v, what + " must be a finite number");
            return x;
        }
        Fail(v, what + " must be a number");
    }
    double Number(const TValue& table, const char* key, double fallback) const {
        const TValue* v = Find(table, key);
        return v ? Number(*v, std::string("\"") + key + "\"") : fallback;
    }
    const TValue& Required(const TValue& table, const char* key, const std::string& name) const {
        const TValue* v = Find(table, key);
        if (!v) Fail(table, name + " needs \"" + key + "\"");
        return *v;
    }
    long long WholeNumber(const TValue& v, const std::string& what, long long min) const {
        if (!v.is_integer()) Fail(v, what + " must be a whole number");
        const long long x = v.as_integer();
        if (x < min) Fail(v, what + " must be at least " + std::to_string(min));
        return x;
    }
    std::string Text(const TValue& v, const std::string& what) const {
        if (!v.is_string()) Fail(v, what + " must be a text in quotes");
        return v.as_string().str;
    }
    std::string Path(const TValue& v, const std::string& what) const {
        const fs::path p = Text(v, what);
        const fs::path full = p.is_absolute() ? p : fs::path(path_).parent_path() / p;
        std::error_code ec;
        if (!fs::exists(full, ec)) Fail(v, what + " \"" + full.string() + "\" does not exist");
        if (fs::is_directory(full, ec)) Fail(v, what + " \"" + full.string() + "\" is a folder");
        return full.string();
    }

    const TGlobals& Catalogue() const { return g_; }
    const std::string& FilePath() const { return path_; }

private:
    std::string path_;
    const TGlobals& g_;
};

// ---- Tables ------------------------------------------------------------------

TExperimentSite ReadSiteFiles(const TReader& r, const TValue& site, const std::string& name) {
    TExperimentSite s;
    s.parameterFile = r.Path(r.Required(site, "parameters", name), "the parameter file");
    s.driverFile = r.Path(r.Required(site, "drivers", name), "the driver file");
    return s;
}

// One [site] table, or an array of [[site]] tables of which each names its
// site (by default after its parameter file).
void ReadSites(const TReader& r, const TValue& root, TExperiment& e) {
    const TValue* site = r.Find(root, "site");
    if (site && site->is_table()) {
        r.CheckKeys(*site, "[site]", {"parameters", "drivers"});
        e.sites.push_back(ReadSiteFiles(r, *site, "[site]"));
    } else if (site && site->is_array() && !site->as_array().empty()) {
        e.siteList = true;
        for (const TValue& one : site->as_array()) {
            if (!one.is_table()) r.Fail(one, "each site must be a table: [[site]]");
            r.CheckKeys(one, "[[site]]", {"name", "parameters", "drivers", "steady_state"});
            TExperimentSite s = ReadSiteFiles(r, one, "[[site]]");
            const TValue* nv = r.Find(one, "name");
            s.name = nv ? r.Text(*nv, "\"name\"") : fs::path(s.parameterFile).stem().string();
            if (s.name.empty()) r.Fail(nv ? *nv : one, "a site's name must not be empty");
            for (const TExperimentSite& other : e.sites) {
                if (other.name == s.name) {
                    r.Fail(nv ? *nv : one, "two sites are named \"" + s.name + "\": give each [[site]] a \"name\" of its own");
                }
            }
            e.sites.push_back(std::move(s));
        }
    } else {
        r.FailFile("the experiment needs a [site] table with \"parameters\" and \"drivers\" (or [[site]] tables, one per site)");
    }
    e.parameterFile = e.sites.front().parameterFile;
    e.driverFile = e.sites.front().driverFile;
}

// A site's own entry of the steady-state calculation: a state, parameter or
// process the calculation takes, by symbol or "kind:symbol".
TSiteEntry ReadSiteEntry(const TReader& r, const std::string& key, const TValue& v) {
    const TGlobals& g = r.Catalogue();
    std::string kind;
    std::string symbol = key;
    if (const auto colon = key.find(':'); colon != std::string::npos) {
        kind = key.substr(0, colon);
        symbol = key.substr(colon + 1);
    }
    struct TKind {
        const char* name;
        TFactorKind kind;
        TVarKind var;
        char field;
    };
    const TKind kinds[] = {{"state", TFactorKind::State, KindState, 's'},
                           {"parameter", TFactorKind::Parameter, KindParam, 'p'},
                           {"process", TFactorKind::Process, KindProcess, 'r'}};
    std::vector<const TKind*> found;
    for (const TKind& k : kinds) {
        if ((kind.empty() || kind == k.name) && GetArrayIndex(g, k.var, symbol) != 0) found.push_back(&k);
    }
    if (!kind.empty() && kind != "state" && kind != "parameter" && kind != "process") {
        r.Fail(v, "\"" + kind + "\" is not a kind of steady-state entry: write \"state:\", \"parameter:\" or \"process:\" before the symbol");
    }
    if (found.empty()) {
        std::vector<std::string> all;
        for (const TKind& k : kinds)
            for (const std::string& n : SymbolsOfKind(g, k.var)) all.push_back(n);
        std::string hint;
        for (const auto& n : ClosestNames(symbol, all)) hint += (hint.empty() ? "" : ", ") + n;
        r.Fail(v, "\"" + key + "\" is not a state, parameter or process" + (hint.empty() ? "" : "; the closest names are: " + hint));
    }
    if (found.size() > 1) {
        r.Fail(v, "\"" + symbol + "\" is both a " + found[0]->name + " and a " + found[1]->name + ": write \"" +
                      found[0]->name + ":" + symbol + "\" or \"" + found[1]->name + ":" + symbol + "\" (in quotes)");
    }
    const TKind& k = *found.front();
    const bool entry = k.field == 'r' ? calcfields::IsInputField('r', symbol.c_str())
                                      : !IsDerivedBySteadyState(k.field, symbol);
    if (!entry) {
        r.Fail(v, "\"" + symbol + "\" is derived by the steady-state step, so it cannot be an entry" +
                      (k.field == 'r' ? "; the process entries are: " + ProcessEntries() : std::string()));
    }
    return {k.kind, GetArrayIndex(g, k.var, symbol), symbol, r.Number(v, "\"" + key + "\"")};
}

// [site.steady_state] of each [[site]]: its own calculation time and entries.
void ReadSiteSteadyStates(const TReader& r, const TValue& root, TExperiment& e) {
    for (TExperimentSite& s : e.sites) s.atTime = e.atTime;
    if (!e.siteList) return;
    const auto& list = r.Find(root, "site")->as_array();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TValue* ss = r.Find(list[i], "steady_state");
        if (!ss) continue;
        if (!ss->is_table()) r.Fail(*ss, "a site's \"steady_state\" must be a table: [site.steady_state]");
        if (!e.steadyState) {
            r.Fail(*ss, "site \"" + e.sites[i].name + "\" has steady-state entries, and the experiment no [steady_state] table to use them");
        }
        for (const auto& [key, value] : ss->as_table()) {
            if (key == "at_time") {
                e.sites[i].atTime = r.Number(value, "\"at_time\"");
                if (e.sites[i].atTime < 0) r.Fail(value, "the calculation time must not be negative");
            } else {
                e.sites[i].entries.push_back(ReadSiteEntry(r, key, value));
            }
        }
    }
}

// The integrator of every member: the Runge-Kutta integrator unless the
// file asks for CVODE, whose tolerances it may give.
void ReadIntegrator(const TReader& r, const TValue& run, TExperiment& e) {
    if (const TValue* v = r.Find(run, "integrator")) {
        const std::string name = r.Text(*v, "\"integrator\"");
        if (!ParseIntegratorName(name, e.integrator.kind)) {
            r.Fail(*v, "unknown integrator \"" + name + "\"; the integrators are: rk, cvode");
        }
    }
    for (const char* key : {"rtol", "atol"}) {
        const TValue* v = r.Find(run, key);
        if (!v) continue;
        if (e.integrator.kind != TIntegratorKind::Cvode) {
            r.Fail(*v, std::string("\"") + key + "\" is a tolerance of integrator = \"cvode\"");
        }
        const double x = r.Number(*v, std::string("\"") + key + "\"");
        if (!(x > 0)) r.Fail(*v, std::string("\"") + key + "\" must be greater than 0");
        (key[0] == 'r' ? e.integrator.rtol : e.integrator.atol) = x;
    }
}

void ReadRun(const TReader& r, const TValue& root, TExperiment& e) {
    const TValue* run = r.Find(root, "run");
    if (!run) return;
    if (!run->is_table()) r.Fail(*run, "\"run\" must be a table: [run]");
    r.CheckKeys(*run, "[run]", {"start", "stop", "step", "output_step", "integrator", "rtol", "atol"});
    e.start = r.Number(*run, "start", e.start);
    e.stop = r.Number(*run, "stop", e.stop);
    e.step = r.Number(*run, "step", e.step);
    e.outputStep = r.Number(*run, "output_step", e.outputStep);
    const auto at = [&](const char* key) -> const TValue& {
        const TValue* v = r.Find(*run, key);
        return v ? *v : *run;
    };
    // Driver times are never negative, and the reader cannot tell a request
    // before a first row at 0 from the start of a pass.
    if (e.start < 0) r.Fail(at("start"), "the start time must not be negative");
    if (!(e.stop > e.start)) r.Fail(at("stop"), "the stop time must be greater than the start time");
    if (!(e.step > 0)) r.Fail(at("step"), "the time step must be greater than 0");
    ReadIntegrator(r, *run, e);
    TGlobals times;
    times.StartTime = e.start;
    times.StopTime = e.stop;
    times.TimeStep = e.step;
    try {
        CheckOutputStep(times, e.outputStep);
    } catch (const EStepError& err) {
        r.Fail(at("output_step"), err.Message());
    }
}

void ReadSteadyState(const TReader& r, const TValue& root, TExperiment& e) {
    const TValue* ss = r.Find(root, "steady_state");
    if (!ss) return;
    if (!ss->is_table()) r.Fail(*ss, "\"steady_state\" must be a table: [steady_state]");
    r.CheckKeys(*ss, "[steady_state]", {"at_time", "passes"});
    e.steadyState = true;
    e.atTime = r.Number(*ss, "at_time", e.start);
    if (e.atTime < 0) r.Fail(*r.Find(*ss, "at_time"), "the calculation time must not be negative");
    if (const TValue* p = r.Find(*ss, "passes")) {
        e.passes = static_cast<int>(std::min<long long>(r.WholeNumber(*p, "\"passes\"", 1), 1000));
    }
}

TDistribution ReadDistribution(const TReader& r, const TValue& f, const std::string& name) {
    const TValue& dv = r.Required(f, "distribution", "a factor");
    const std::string d = r.Text(dv, "\"distribution\"");
    const auto num = [&](const char* key) {
        return r.Number(r.Required(f, key, "a " + d + " distribution"), std::string("\"") + key + "\"");
    };
    const auto positive = [&](const char* key, double x) {
        if (!(x > 0)) r.Fail(*r.Find(f, key), std::string("\"") + key + "\" of " + name + " must be greater than 0");
    };
    const auto ordered = [&](const char* lo, double a, const char* hi, double b, bool strict) {
        if (strict ? !(a < b) : !(a <= b)) {
            r.Fail(*r.Find(f, hi), std::string("the bounds of ") + name + " are in the wrong order: \"" + lo +
                                        "\" must be " + (strict ? "less than" : "at most") + " \"" + hi + "\"");
        }
    };
    TDistribution dist;
    if (d == "uniform") {
        dist = {TDistKind::Uniform, num("min"), num("max")};
        ordered("min", dist.a, "max", dist.b, true);
    } else if (d == "normal") {
        dist = {TDistKind::Normal, num("mean"), num("sd")};
        positive("sd", dist.b);
    } else if (d == "lognormal") {
        dist = {TDistKind::LogNormal, num("meanlog"), num("sdlog")};
        positive("sdlog", dist.b);
    } else if (d == "triangular") {
        dist = {TDistKind::Triangular, num("min"), num("mode"), num("max")};
        ordered("min", dist.a, "max", dist.c, true);
        ordered("min", dist.a, "mode", dist.b, false);
        ordered("mode", dist.b, "max", dist.c, false);
    } else if (d == "truncnormal") {
        dist = {TDistKind::TruncNormal, num("mean"), num("sd"), num("min"), num("max")};
        positive("sd", dist.b);
        ordered("min", dist.c, "max", dist.d, true);
    } else if (d == "relative") {
        dist = {TDistKind::Relative, num("percent")};
        if (!(dist.a > 0 && dist.a <= 100)) r.Fail(*r.Find(f, "percent"), "\"percent\" must be greater than 0 and at most 100");
    } else {
        r.Fail(dv, "unknown distribution \"" + d + "\"; the distributions are: uniform, normal, lognormal, triangular, truncnormal, relative");
    }
    return dist;
}

TFactor ReadFactor(const TReader& r, const TValue& f, const TExperiment& e, bool valuesFromFile) {
    if (!f.is_table()) r.Fail(f, "each factor must be a table: [[factor]]");
    TFactor factor;
    factor.line = static_cast<int>(f.location().line());
    const TValue& kv = r.Required(f, "kind", "a factor");
    const std::string kind = r.Text(kv, "\"kind\"");
    const TValue& sv = r.Required(f, "symbol", "a factor");
    factor.symbol = r.Text(sv, "\"symbol\"");

    const TGlobals& g = r.Catalogue();
    TVarKind vk = KindParam;
    if (kind == "state") {
        factor.kind = TFactorKind::State;
        vk = KindState;
    } else if (kind == "parameter") {
        factor.kind = TFactorKind::Parameter;
        vk = KindParam;
    } else if (kind == "driver") {
        factor.kind = TFactorKind::Driver;
        vk = KindDriver;
    } else if (kind == "process") {
        factor.kind = TFactorKind::Process;
        vk = KindProcess;
    } else {
        r.Fail(kv, "unknown kind \"" + kind + "\"; a factor is a state, parameter, driver or process");
    }
    factor.index = GetArrayIndex(g, vk, factor.symbol);
    const std::string name = kind + " " + factor.symbol;
    if (factor.index == 0) {
        const std::vector<std::string> kinds = KindsOfSymbol(g, factor.symbol);
        if (!kinds.empty()) {
            std::string list;
            for (const auto& k : kinds) list += (list.empty() ? "" : " and ") + std::string("a ") + k;
            r.Fail(sv, "\"" + factor.symbol + "\" is not a " + kind + ": it is " + list);
        }
        const auto near = ClosestNames(factor.symbol, SymbolsOfKind(g, vk));
        std::string hint;
        for (const auto& n : near) hint += (hint.empty() ? "" : ", ") + n;
        r.Fail(sv, "unknown " + kind + " symbol \"" + factor.symbol + "\"" +
                       (hint.empty() ? "" : "; the closest names are: " + hint));
    }
    if (factor.kind == TFactorKind::Process) {
        if (!e.steadyState) {
            r.Fail(kv, "a process factor (" + factor.symbol + ") is an observation for the steady-state step: add a [steady_state] table");
        }
        if (!calcfields::IsInputField('r', factor.symbol.c_str())) {
            r.Fail(sv, "process \"" + factor.symbol + "\" is not an entry of the steady-state calculation; the process entries are: " + ProcessEntries());
        }
    }
    if (e.steadyState && (factor.kind == TFactorKind::State || factor.kind == TFactorKind::Parameter) &&
        IsDerivedBySteadyState(factor.kind == TFactorKind::State ? 's' : 'p', factor.symbol)) {
        r.Fail(sv, "\"" + factor.symbol + "\" is derived by the steady-state step, so it cannot be a factor");
    }

    std::vector<std::string> keys = {"kind", "symbol", "distribution"};
    if (factor.kind == TFactorKind::Driver) keys.push_back("apply");
    const TValue* dv = r.Find(f, "distribution");
    const std::string dname = dv && dv->is_string() ? dv->as_string().str : "";
    for (const auto& k : DistributionKeys(dname)) keys.push_back(k);
    r.CheckKeys(f, "[[factor]] (" + name + (dname.empty() ? "" : ", " + dname) + ")", keys);

    if (const TValue* av = r.Find(f, "apply")) {
        const std::string a = r.Text(*av, "\"apply\"");
        if (a == "scale") factor.apply = TDriverApply::Scale;
        else if (a == "offset") factor.apply = TDriverApply::Offset;
        else r.Fail(*av, "\"apply\" must be \"scale\" or \"offset\"");
    }
    if (dv || !valuesFromFile) {
        factor.dist = ReadDistribution(r, f, name);
        factor.hasDistribution = true;
        if (factor.dist.kind == TDistKind::Relative && factor.kind == TFactorKind::Driver &&
            factor.apply == TDriverApply::Offset) {
            r.Fail(*dv, "a relative distribution needs a base value, and an offset's base is 0: give the offset's range instead");
        }
    }
    return factor;
}

void ReadFactors(const TReader& r, const TValue& root, TExperiment& e, bool valuesFromFile) {
    const TValue* list = r.Find(root, "factor");
    if (!list) return;
    if (!list->is_array()) r.Fail(*list, "factors are tables of their own: [[factor]]");
    for (const TValue& f : list->as_array()) {
        TFactor factor = ReadFactor(r, f, e, valuesFromFile);
        for (const TFactor& other : e.factors) {
            if (other.symbol == factor.symbol) {
                r.Fail(r.Required(f, "symbol", "a factor"),
                       "\"" + factor.symbol + "\" is a factor already (line " + std::to_string(other.line) +
                           "): results name factors by symbol");
            }
        }
        e.factors.push_back(std::move(factor));
    }
}

void ReadDesign(const TReader& r, const TValue& root, TExperiment& e, const TExperimentOverrides& o,
                const TValue*& designTable) {
    designTable = r.Find(root, "design");
    if (!designTable || !designTable->is_table()) r.FailFile("the experiment needs a [design] table with \"method\" and \"members\"");
    const TValue& d = *designTable;
    const TValue* mv = r.Find(d, "method");
    if (mv) e.design.method = r.Text(*mv, "\"method\"");
    const TDesignMethod* method = FindDesignMethod(e.design.method);
    if (!method) {
        r.Fail(mv ? *mv : d, "unknown design method \"" + e.design.method + "\"; the methods are: " + DesignMethodNames());
    }
    std::vector<std::string> keys = {"method", "members", "seed"};
    if (method->valuesFromFile) keys.push_back("file");
    for (const auto& k : method->numberKeys) keys.push_back(k);
    for (const auto& k : method->textKeys) keys.push_back(k);
    r.CheckKeys(d, "[design] (method \"" + e.design.method + "\")", keys);
    for (const auto& k : method->numberKeys)
        if (const TValue* v = r.Find(d, k.c_str())) e.design.numbers[k] = r.Number(*v, "\"" + k + "\"");
    for (const auto& k : method->textKeys)
        if (const TValue* v = r.Find(d, k.c_str())) e.design.text[k] = r.Text(*v, "\"" + k + "\"");

    if (const TValue* v = r.Find(d, "seed")) e.design.seed = static_cast<uint64_t>(r.WholeNumber(*v, "\"seed\"", 0));
    if (o.seed >= 0) e.design.seed = static_cast<uint64_t>(o.seed);
    if (const TValue* v = r.Find(d, "members")) {
        e.design.members = static_cast<std::size_t>(r.WholeNumber(*v, "\"members\"", 1));
    } else if (method->needsMembers && o.members < 0) {
        r.Fail(d, "[design] needs \"members\": how many members to run");
    }
    if (o.members >= 0) e.design.members = static_cast<std::size_t>(o.members);
    if (e.design.members > MaxMembers) {
        r.Fail(r.Find(d, "members") ? *r.Find(d, "members") : d, "at most " + std::to_string(MaxMembers) + " members");
    }
    if (method->valuesFromFile) {
        e.design.file = r.Path(r.Required(d, "file", "a \"" + e.design.method + "\" design"), "the design file");
    }
    const int withDist = static_cast<int>(std::count_if(e.factors.begin(), e.factors.end(),
                                                        [](const TFactor& f) { return f.hasDistribution; }));
    const int usable = method->valuesFromFile || !method->distributions ? static_cast<int>(e.factors.size()) : withDist;
    if (usable < method->minFactors) {
        r.Fail(mv ? *mv : d, "the design \"" + e.design.method + "\" needs at least " + std::to_string(method->minFactors) +
                                 " factor" + (method->minFactors == 1 ? "" : "s") + ", and the experiment has " +
                                 std::to_string(usable) + ": add [[factor]] tables");
    }
    if (method->maxFactors > 0 && usable > method->maxFactors) {
        r.Fail(mv ? *mv : d, "the design \"" + e.design.method + "\" takes at most " +
                                 std::to_string(method->maxFactors) + " factors");
    }
    if (method->check) {
        std::string key;
        const std::string problem = method->check(e, key);
        const TValue* at = key.empty() ? nullptr : r.Find(d, key.c_str());
        if (!problem.empty()) r.Fail(at ? *at : d, problem);
    }
}

// An output variable by symbol, or "kind:symbol" where a symbol has two kinds.
TOutputVariable ReadOutputVariable(const TReader& r, const TValue& v) {
    const TGlobals& g = r.Catalogue();
    const std::string text = r.Text(v, "an output variable");
    std::string kind;
    std::string symbol = text;
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        kind = text.substr(0, colon);
        symbol = text.substr(colon + 1);
        if (kind != "driver" && kind != "state" && kind != "process") {
            r.Fail(v, "\"" + kind + "\" is not a kind of output: write \"driver:\", \"state:\" or \"process:\" before the symbol");
        }
    }
    TOutputVariable out;
    out.symbol = symbol;
    std::vector<TRowVariable> found;
    for (const TRowVariable& rv : FindOutputSymbol(g, symbol)) {
        if (kind.empty() || kind == RowPartName(rv.part)) found.push_back(rv);
    }
    if (found.empty()) {
        if (!kind.empty() && !FindOutputSymbol(g, symbol).empty()) {
            r.Fail(v, "\"" + symbol + "\" is not a " + kind);
        }
        std::string hint;
        for (const auto& n : ClosestNames(symbol, OutputSymbols(g))) hint += (hint.empty() ? "" : ", ") + n;
        r.Fail(v, "unknown output variable \"" + symbol + "\"" + (hint.empty() ? "" : "; the closest names are: " + hint));
    }
    if (found.size() > 1) {
        std::string choices;
        for (const auto& rv : found) choices += (choices.empty() ? "" : " or ") + std::string("\"") + RowPartName(rv.part) + ":" + symbol + "\"";
        r.Fail(v, "\"" + symbol + "\" is both a " + RowPartName(found[0].part) + " and a " + RowPartName(found[1].part) +
                      ": write " + choices);
    }
    out.var = found[0];
    DescribeOutput(g, out);
    return out;
}

void ReadOutputs(const TReader& r, const TValue& root, TExperiment& e) {
    const TValue* o = r.Find(root, "outputs");
    if (!o || !o->is_table()) r.FailFile("the experiment needs an [outputs] table with \"variables\"");
    r.CheckKeys(*o, "[outputs]", {"variables", "times"});
    const TValue& vars = r.Required(*o, "variables", "[outputs]");
    if (!vars.is_array() || vars.as_array().empty()) r.Fail(vars, "\"variables\" must be a list of symbols, such as [\"NPPt\", \"Cw\"]");
    for (const TValue& v : vars.as_array()) {
        TOutputVariable out = ReadOutputVariable(r, v);
        for (const auto& other : e.outputs) {
            if (other.symbol == out.symbol) r.Fail(v, "\"" + out.symbol + "\" is an output already: results name outputs by symbol");
        }
        e.outputs.push_back(std::move(out));
    }

    const std::vector<double> rows = RunRowTimes(e.start, e.stop, e.step, e.outputStep);
    e.runRows = static_cast<int>(rows.size());
    e.keepRow.assign(rows.size(), 0);
    const TValue* times = r.Find(*o, "times");
    if (!times || (times->is_string() && times->as_string().str == "all")) {
        e.keepRow.assign(rows.size(), 1);
        e.outputTimes = rows;
        return;
    }
    if (!times->is_array() || times->as_array().empty()) r.Fail(*times, "\"times\" must be \"all\" or a list of output times");
    for (const TValue& tv : times->as_array()) {
        const double t = r.Number(tv, "an output time");
        if (t < rows.front() - 1e-9 * std::max(1.0, std::fabs(t)) ||
            t > rows.back() + 1e-9 * std::max(1.0, std::fabs(t))) {
            r.Fail(tv, "output time " + FormatGeneral(t) + " is outside the run, whose output times go from " +
                           FormatGeneral(rows.front()) + " to " + FormatGeneral(rows.back()));
        }
        // The row whose time is nearest; it must be that time to within rounding.
        const auto it = std::lower_bound(rows.begin(), rows.end(), t);
        std::size_t k = static_cast<std::size_t>(it - rows.begin());
        if (k == rows.size() || (k > 0 && std::fabs(rows[k - 1] - t) < std::fabs(rows[k] - t))) --k;
        if (std::fabs(rows[k] - t) > 1e-9 * std::max(1.0, std::fabs(t))) {
            r.Fail(tv, "output time " + FormatGeneral(t) + " is not a time of the run's output, which is written every " +
                           FormatGeneral(e.outputStep) + " from " + FormatGeneral(rows.front()));
        }
        if (e.keepRow[k]) r.Fail(tv, "output time " + FormatGeneral(t) + " is listed twice");
        e.keepRow[k] = 1;
    }
    for (std::size_t k = 0; k < rows.size(); ++k)
        if (e.keepRow[k]) e.outputTimes.push_back(rows[k]);
}

}  // namespace

std::string ProgramVersion(const TGlobals& catalogue) {
    return std::string(EnsembleFormat) + " (" + catalogue.ModelDef.modelname + " " +
           catalogue.ModelDef.versionnumber + ")";
}

std::vector<double> RunRowTimes(double start, double stop, double step, double outputStep) {
    std::vector<double> rows{start};
    const int k = OutputInterval(outputStep, step);
    int counter = 1;
    for (double t = start; t + step <= stop && t + step != t;) {
        t += step;
        if (counter == k) {
            rows.push_back(t);
            counter = 0;
        }
        ++counter;
    }
    return rows;
}

TExperiment ReadExperiment(const std::string& path, const TExperimentOverrides& overrides) {
    TGlobals catalogue;
    InitialiseGlobals(catalogue);
    TReader r(path, catalogue);
    std::error_code ec;
    if (!fs::exists(path, ec)) throw EExperimentError("the experiment file \"" + path + "\" does not exist");
    TValue root;
    try {
        root = toml::parse(path);
    } catch (const toml::syntax_error& err) {
        throw EExperimentError(path + ": not a valid TOML file:\n" + err.what());
    } catch (const std::exception& err) {
        throw EExperimentError("cannot read the experiment file \"" + path + "\": " + err.what());
    }
    r.CheckKeys(root, "the experiment", {"site", "run", "steady_state", "factor", "design", "outputs"});

    TExperiment e;
    e.path = path;
    e.overrides = overrides;
    ReadSites(r, root, e);
    ReadRun(r, root, e);
    ReadSteadyState(r, root, e);
    ReadSiteSteadyStates(r, root, e);
    // Whether factors need distributions depends on the design's method.
    const TValue* dt = r.Find(root, "design");
    const TDesignMethod* method = nullptr;
    if (dt && dt->is_table()) {
        const TValue* mv = r.Find(*dt, "method");
        method = FindDesignMethod(mv && mv->is_string() ? mv->as_string().str : e.design.method);
    }
    ReadFactors(r, root, e, method && (method->valuesFromFile || !method->distributions));
    const TValue* designTable = nullptr;
    ReadDesign(r, root, e, overrides, designTable);
    ReadOutputs(r, root, e);

    if (!e.design.file.empty()) {
        ReadDesignCsv(e.design.file, e, overrides.members >= 0 || r.Find(*designTable, "members"));
    }

    uint64_t h = Fnv1a(0xCBF29CE484222325ull, ProgramVersion(catalogue));
    std::vector<std::string> files = {path};
    for (const TExperimentSite& s : e.sites) {
        files.push_back(s.parameterFile);
        files.push_back(s.driverFile);
    }
    files.push_back(e.design.file);
    // Each file's length first, so that the same bytes cut differently
    // between files cannot give the same hash; the paths themselves do not
    // count, so that the same files reached another way are the same.
    for (const std::string& file : files) {
        const std::string bytes = file.empty() ? std::string() : FileBytes(file);
        h = Fnv1a(h, std::to_string(bytes.size()) + ":");
        h = Fnv1a(h, bytes);
    }
    h = Fnv1a(h, std::to_string(e.design.members) + "/" + std::to_string(e.design.seed));
    e.hash = h;
    return e;
}

const char* FactorKindName(TFactorKind kind) {
    switch (kind) {
        case TFactorKind::State: return "state";
        case TFactorKind::Parameter: return "parameter";
        case TFactorKind::Driver: return "driver";
        case TFactorKind::Process: return "process";
    }
    return "?";
}

}  // namespace orvane::ensemble
