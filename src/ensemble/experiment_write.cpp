#include "ensemble/experiment_write.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "ensemble/design_methods.h"
#include "ensemble/names.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "io/textfile.h"

namespace orvane::ensemble {

namespace {

namespace fs = std::filesystem;

// The shortest form that reads back as the same double. TOML reads a number
// without a point or an exponent as a 64-bit integer, so a whole number too
// large for one is written with an exponent.
std::string TomlNumber(double v) {
    std::string s = FormatShortest(v);
    if (s.find_first_of(".eE") == std::string::npos && std::fabs(v) >= 9.0e15) {
        char buf[FormatBufferSize];
        const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
        s.assign(buf, res.ptr);
    }
    return s;
}

std::string TomlString(const std::string& text) {
    std::string s = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            s += '\\';
            s += c;
        } else if (u < 0x20 || u == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", u);
            s += buf;
        } else {
            s += c;
        }
    }
    return s + "\"";
}

// A file named relative to the experiment's folder when it lies inside it.
std::string FileName(const std::string& file, const std::string& experiment) {
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(fs::absolute(file, ec), ec);
    const fs::path folder = fs::weakly_canonical(fs::absolute(experiment, ec).parent_path(), ec);
    const fs::path rel = target.lexically_relative(folder);
    if (!rel.empty() && *rel.begin() != "..") return rel.generic_string();
    return target.string();
}

class TTomlText {
public:
    explicit TTomlText(std::vector<TSettingPlace>* places) : places_(places) {}

    void Table(const std::string& header, const std::string& table, int factor = -1) {
        if (!text_.empty()) Line("", table, factor, "");
        table_ = table;
        factor_ = factor;
        Line(header, table, factor, "");
    }
    void Key(const std::string& key, const std::string& value) {
        Line(key + " = " + value, table_, factor_, key);
    }
    void Number(const std::string& key, double v) { Key(key, TomlNumber(v)); }
    void Text(const std::string& key, const std::string& v) { Key(key, TomlString(v)); }

    std::string Take() { return std::move(text_); }

private:
    void Line(const std::string& line, const std::string& table, int factor, const std::string& key) {
        ++lines_;
        text_ += line;
        text_ += "\r\n";
        if (places_ && !line.empty()) places_->push_back({lines_, table, factor, key});
    }

    std::vector<TSettingPlace>* places_;
    std::string text_;
    std::string table_;
    int factor_ = -1;
    int lines_ = 0;
};

// The settings of a distribution, as the reader takes them.
void WriteDistribution(TTomlText& t, const TDistribution& d) {
    t.Text("distribution", DistName(d.kind));
    switch (d.kind) {
        case TDistKind::Uniform:
            t.Number("min", d.a);
            t.Number("max", d.b);
            break;
        case TDistKind::Normal:
            t.Number("mean", d.a);
            t.Number("sd", d.b);
            break;
        case TDistKind::LogNormal:
            t.Number("meanlog", d.a);
            t.Number("sdlog", d.b);
            break;
        case TDistKind::Triangular:
            t.Number("min", d.a);
            t.Number("mode", d.b);
            t.Number("max", d.c);
            break;
        case TDistKind::TruncNormal:
            t.Number("mean", d.a);
            t.Number("sd", d.b);
            t.Number("min", d.c);
            t.Number("max", d.d);
            break;
        case TDistKind::Relative:
            t.Number("percent", d.a);
            break;
    }
}

// Whether every row of the run is an output time.
bool AllRows(const TExperiment& e) {
    if (e.keepRow.empty()) return e.outputTimes.empty();
    for (const char k : e.keepRow)
        if (!k) return false;
    return true;
}

// [[site]] tables, each with its own steady-state entries when it has any.
void WriteSites(TTomlText& t, const TExperiment& e, const std::string& path) {
    TGlobals catalogue;
    InitialiseGlobals(catalogue);
    for (const TExperimentSite& s : e.sites) {
        t.Table("[[site]]", "site");
        t.Text("name", s.name);
        t.Text("parameters", FileName(s.parameterFile, path));
        t.Text("drivers", FileName(s.driverFile, path));
        if (s.entries.empty() && s.atTime == e.atTime) continue;
        t.Table("[site.steady_state]", "site");
        if (s.atTime != e.atTime) t.Number("at_time", s.atTime);
        for (const TSiteEntry& entry : s.entries) {
            // The kind is named where the symbol alone would be ambiguous.
            const auto kinds = KindsOfSymbol(catalogue, entry.symbol);
            const bool ambiguous = std::count_if(kinds.begin(), kinds.end(), [](const std::string& k) {
                                       return k != "driver";
                                   }) > 1;
            const std::string key = ambiguous ? std::string(FactorKindName(entry.kind)) + ":" + entry.symbol : entry.symbol;
            const bool bare = std::all_of(key.begin(), key.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
            });
            t.Number(bare ? key : TomlString(key), entry.value);
        }
    }
}

}  // namespace

std::string ExperimentText(const TExperiment& e, const std::string& path,
                           std::vector<TSettingPlace>* places) {
    TTomlText t(places);
    if (e.siteList) {
        WriteSites(t, e, path);
    } else {
        t.Table("[site]", "site");
        t.Text("parameters", FileName(e.parameterFile, path));
        t.Text("drivers", FileName(e.driverFile, path));
    }

    t.Table("[run]", "run");
    t.Number("start", e.start);
    t.Number("stop", e.stop);
    t.Number("step", e.step);
    t.Number("output_step", e.outputStep);
    if (e.integrator.kind == TIntegratorKind::Cvode) {
        t.Text("integrator", "cvode");
        t.Number("rtol", e.integrator.rtol);
        t.Number("atol", e.integrator.atol);
    }

    if (e.steadyState) {
        t.Table("[steady_state]", "steady_state");
        t.Number("at_time", e.atTime);
        t.Key("passes", std::to_string(e.passes));
    }

    for (std::size_t i = 0; i < e.factors.size(); ++i) {
        const TFactor& f = e.factors[i];
        t.Table("[[factor]]", "factor", static_cast<int>(i));
        t.Text("kind", FactorKindName(f.kind));
        t.Text("symbol", f.symbol);
        if (f.hasDistribution) WriteDistribution(t, f.dist);
        if (f.kind == TFactorKind::Driver) t.Text("apply", f.apply == TDriverApply::Offset ? "offset" : "scale");
    }

    t.Table("[design]", "design");
    t.Text("method", e.design.method);
    // A method that needs a member count gets one even when it is 0, so
    // that the reader's complaint points at it.
    const TDesignMethod* method = FindDesignMethod(e.design.method);
    if (e.design.members > 0 || (method && method->needsMembers)) t.Key("members", std::to_string(e.design.members));
    t.Key("seed", std::to_string(e.design.seed));
    if (!e.design.file.empty()) t.Text("file", FileName(e.design.file, path));
    for (const auto& [key, v] : e.design.numbers) t.Number(key, v);
    for (const auto& [key, v] : e.design.text) t.Text(key, v);

    t.Table("[outputs]", "outputs");
    TGlobals catalogue;
    InitialiseGlobals(catalogue);
    std::string vars = "[";
    for (std::size_t i = 0; i < e.outputs.size(); ++i) {
        const TOutputVariable& o = e.outputs[i];
        if (i > 0) vars += ", ";
        // The part is named only where the symbol alone is ambiguous ("Sp").
        const bool ambiguous = FindOutputSymbol(catalogue, o.symbol).size() > 1;
        vars += TomlString(ambiguous ? std::string(RowPartName(o.var.part)) + ":" + o.symbol : o.symbol);
    }
    t.Key("variables", vars + "]");
    if (AllRows(e)) {
        t.Text("times", "all");
    } else {
        std::string times = "[";
        for (std::size_t i = 0; i < e.outputTimes.size(); ++i)
            times += (i > 0 ? ", " : "") + TomlNumber(e.outputTimes[i]);
        t.Key("times", times + "]");
    }
    return t.Take();
}

void WriteExperiment(const TExperiment& e, const std::string& path) {
    TTextWriter w;
    w.CreateReplacing(path);
    w.Write(ExperimentText(e, path));
    w.Close();
}

TExperimentComplaint SplitComplaint(const std::string& message, const std::string& path) {
    TExperimentComplaint c;
    std::string_view rest = message;
    if (!path.empty() && rest.substr(0, path.size()) == path && rest.size() > path.size() &&
        rest[path.size()] == ':') {
        rest.remove_prefix(path.size() + 1);
        int line = 0;
        const auto res = std::from_chars(rest.data(), rest.data() + rest.size(), line);
        if (res.ec == std::errc() && res.ptr != rest.data() && *res.ptr == ':') {
            c.line = line;
            rest.remove_prefix(static_cast<std::size_t>(res.ptr - rest.data()) + 1);
        }
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    }
    // The reader quotes the line under its message.
    const std::size_t quoted = rest.find("\n    ");
    c.reason = std::string(rest.substr(0, quoted));
    return c;
}

}  // namespace orvane::ensemble
