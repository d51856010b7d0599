#include "ensemble/results_read.h"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "io/numfmt.h"
#include "io/textfile.h"
#include "model/errors.h"
#include "obs/csvtext.h"

namespace orvane::ensemble {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The records of a CSV file as the result writers write them: a quoted
// field may hold line ends (a member's message), so records are split
// outside quotes only. The header comes first.
std::vector<TCsvLine> ReadRecords(const std::string& path) {
    TTextReader r;
    r.Open(path);
    std::string text;
    while (!r.Eof()) {
        text += r.ReadLine();
        text += '\n';
    }
    std::vector<TCsvLine> records;
    int line = 1;
    std::size_t start = 0;
    int startLine = 1;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') quoted = !quoted;
        if (c != '\n') continue;
        if (!quoted) {
            const std::string_view rec(text.data() + start, i - start);
            if (!rec.empty()) records.push_back(SplitCsvLine(rec, ',', startLine, path));
            start = i + 1;
            startLine = line + 1;
        }
        ++line;
    }
    if (records.empty()) RaiseAt(path, 1, 1, "the file is empty: it needs its header");
    return records;
}

// Columns found by name in a header.
class TColumns {
public:
    TColumns(const std::string& path, const TCsvLine& header) : path_(path), header_(header) {}

    int Find(const std::string& name) const {
        for (std::size_t c = 0; c < header_.cells.size(); ++c)
            if (header_.cells[c].text == name) return static_cast<int>(c);
        return -1;
    }
    int Required(const std::string& name) const {
        const int c = Find(name);
        if (c < 0) RaiseAt(path_, header_.line, 1, "the header has no column \"" + name + "\"");
        return c;
    }

    const std::string& Text(const TCsvLine& row, int c) const {
        if (static_cast<std::size_t>(c) >= row.cells.size()) {
            RaiseAt(path_, row.line, 1,
                    "the row has " + std::to_string(row.cells.size()) + " fields and the header " +
                        std::to_string(header_.cells.size()));
        }
        return row.cells[static_cast<std::size_t>(c)].text;
    }
    // A number; an empty field is NaN.
    double Number(const TCsvLine& row, int c) const {
        const std::string& t = Text(row, c);
        if (t.empty()) return NaN;
        double v = 0;
        if (!ParseFileNumber(t, v)) {
            RaiseAt(path_, row.line, row.cells[static_cast<std::size_t>(c)].column,
                    "\"" + t + "\" is not a number");
        }
        return v;
    }
    std::size_t Count(const TCsvLine& row, int c) const {
        const double v = Number(row, c);
        if (!(v >= 0) || v != std::floor(v)) {
            RaiseAt(path_, row.line, row.cells[static_cast<std::size_t>(c)].column,
                    "\"" + Text(row, c) + "\" is not a count");
        }
        return static_cast<std::size_t>(v);
    }

private:
    const std::string& path_;
    const TCsvLine& header_;
};

// netCDF calls, each failure raised with the file's name.
class TNcFile {
public:
    explicit TNcFile(const std::string& path) : path_(path) { Check(nc_open(path.c_str(), NC_NOWRITE, &id_)); }
    ~TNcFile() { nc_close(id_); }
    TNcFile(const TNcFile&) = delete;
    TNcFile& operator=(const TNcFile&) = delete;

    void Check(int status) const {
        if (status != NC_NOERR) throw EInOutError("Cannot read file \"" + path_ + "\": " + nc_strerror(status));
    }
    std::size_t Dimension(const char* name) const {
        int dim = 0;
        std::size_t n = 0;
        Check(nc_inq_dimid(id_, name, &dim));
        Check(nc_inq_dimlen(id_, dim, &n));
        return n;
    }
    int Variable(const std::string& name) const {
        int var = 0;
        Check(nc_inq_varid(id_, name.c_str(), &var));
        return var;
    }
    std::string Attribute(int var, const char* name) const {
        std::size_t len = 0;
        if (nc_inq_attlen(id_, var, name, &len) != NC_NOERR) return {};
        std::string s(len, '\0');
        Check(nc_get_att_text(id_, var, name, s.data()));
        return s;
    }
    int Id() const { return id_; }
    // These readers know one site's layout (member, time); the files of
    // several sites have a site dimension before it.
    void RequireOneSite(const std::string& advice) const {
        int dim = 0;
        if (nc_inq_dimid(id_, "site", &dim) == NC_NOERR) {
            throw EInOutError("File \"" + path_ + "\" holds the members of several sites: " + advice);
        }
    }

    // The outputs: the variables over member and time, in the file's order.
    std::vector<int> Outputs() const {
        int member = 0, time = 0, vars = 0;
        Check(nc_inq_dimid(id_, "member", &member));
        Check(nc_inq_dimid(id_, "time", &time));
        Check(nc_inq_nvars(id_, &vars));
        std::vector<int> out;
        for (int v = 0; v < vars; ++v) {
            int dims = 0;
            Check(nc_inq_varndims(id_, v, &dims));
            if (dims != 2) continue;
            int ids[2] = {};
            Check(nc_inq_vardimid(id_, v, ids));
            if (ids[0] == member && ids[1] == time) out.push_back(v);
        }
        return out;
    }
    std::string Name(int var) const {
        char name[NC_MAX_NAME + 1] = {};
        Check(nc_inq_varname(id_, var, name));
        return name;
    }

private:
    std::string path_;
    int id_ = -1;
};

}  // namespace

std::size_t TMembersFile::Failed() const {
    return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [](const TMemberRow& r) { return !r.ok; }));
}

TMembersFile ReadMembersFile(const std::string& path, const std::vector<std::string>& outputs) {
    const std::vector<TCsvLine> records = ReadRecords(path);
    const TCsvLine& header = records.front();
    const TColumns cols(path, header);
    const int member = cols.Required("member");
    const int status = cols.Required("status");
    const int message = cols.Required("message");
    const int first = std::max({member, status, message}) + 1;
    const int count = static_cast<int>(header.cells.size());
    const int nout = static_cast<int>(outputs.size());
    if (count - first < nout) {
        RaiseAt(path, header.line, 1, "the header has fewer columns than the " + std::to_string(nout) + " outputs");
    }
    TMembersFile f;
    for (int c = first; c < count; ++c) {
        const std::string& name = header.cells[static_cast<std::size_t>(c)].text;
        const int k = c - (count - nout);
        if (k < 0) {
            f.factors.push_back(name);
        } else if (name != outputs[static_cast<std::size_t>(k)]) {
            RaiseAt(path, header.line, header.cells[static_cast<std::size_t>(c)].column,
                    "column \"" + name + "\" should be the output \"" + outputs[static_cast<std::size_t>(k)] + "\"");
        } else {
            f.outputs.push_back(name);
        }
    }
    for (std::size_t i = 1; i < records.size(); ++i) {
        const TCsvLine& row = records[i];
        TMemberRow m;
        m.member = cols.Count(row, member);
        const std::string& s = cols.Text(row, status);
        if (s != "ok" && s != "failed") RaiseAt(path, row.line, 1, "status \"" + s + "\" is neither ok nor failed");
        m.ok = s == "ok";
        m.message = cols.Text(row, message);
        for (int c = first; c < count; ++c) {
            (c < count - nout ? m.factors : m.outputs).push_back(cols.Number(row, c));
        }
        f.rows.push_back(std::move(m));
    }
    return f;
}

std::vector<TSummaryRow> ReadSummaryFile(const std::string& path) {
    const std::vector<TCsvLine> records = ReadRecords(path);
    const TColumns cols(path, records.front());
    const int variable = cols.Required("variable");
    const int time = cols.Required("time");
    const int n = cols.Required("n");
    const char* names[] = {"mean", "sd", "min", "q05", "q25", "q50", "q75", "q95", "max"};
    int stat[9];
    for (int k = 0; k < 9; ++k) stat[k] = cols.Required(names[k]);
    std::vector<TSummaryRow> rows;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const TCsvLine& row = records[i];
        TSummaryRow s;
        s.variable = cols.Text(row, variable);
        s.time = cols.Number(row, time);
        s.n = cols.Count(row, n);
        double* out[] = {&s.mean, &s.sd, &s.min, &s.q05, &s.q25, &s.q50, &s.q75, &s.q95, &s.max};
        for (int k = 0; k < 9; ++k) *out[k] = cols.Number(row, stat[k]);
        rows.push_back(std::move(s));
    }
    return rows;
}

std::vector<std::string> SummaryVariables(const std::vector<TSummaryRow>& rows) {
    std::vector<std::string> out;
    for (const TSummaryRow& r : rows)
        if (std::find(out.begin(), out.end(), r.variable) == out.end()) out.push_back(r.variable);
    return out;
}

std::vector<TIndexRow> ReadIndicesFile(const std::string& path) {
    const std::vector<TCsvLine> records = ReadRecords(path);
    const TColumns cols(path, records.front());
    const int method = cols.Required("method");
    const int output = cols.Required("output");
    const int time = cols.Required("time");
    const int factor = cols.Required("factor");
    const int index = cols.Required("index");
    const int value = cols.Required("value");
    const int lower = cols.Required("lower");
    const int upper = cols.Required("upper");
    std::vector<TIndexRow> rows;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const TCsvLine& row = records[i];
        rows.push_back({cols.Text(row, method), cols.Text(row, output), cols.Number(row, time),
                        cols.Text(row, factor), cols.Text(row, index), cols.Number(row, value),
                        cols.Number(row, lower), cols.Number(row, upper)});
    }
    return rows;
}

TTrajectoriesInfo ReadTrajectoriesInfo(const std::string& path) {
    const TNcFile nc(path);
    nc.RequireOneSite("they cannot be shown here");
    TTrajectoriesInfo info;
    info.design = nc.Attribute(NC_GLOBAL, "design");
    info.experiment = nc.Attribute(NC_GLOBAL, "experiment");
    info.members = nc.Dimension("member");
    info.times.resize(nc.Dimension("time"));
    const int time = nc.Variable("time");
    if (!info.times.empty()) nc.Check(nc_get_var_double(nc.Id(), time, info.times.data()));
    info.timeUnits = nc.Attribute(time, "units");
    for (int v : nc.Outputs()) info.variables.push_back({nc.Name(v), nc.Attribute(v, "units"), nc.Attribute(v, "long_name")});
    return info;
}

namespace {

class TNcTrajectories final : public IEnsembleTrajectories {
public:
    explicit TNcTrajectories(const std::string& path) : path_(path), nc_(path) {
        nc_.RequireOneSite("compare observations with the results of one site");
        const std::size_t members = nc_.Dimension("member");
        times_.resize(nc_.Dimension("time"));
        if (!times_.empty()) nc_.Check(nc_get_var_double(nc_.Id(), nc_.Variable("time"), times_.data()));
        std::vector<signed char> status(members);
        if (members > 0) nc_.Check(nc_get_var_schar(nc_.Id(), nc_.Variable("status"), status.data()));
        for (signed char s : status) ok_.push_back(s == 1);
        vars_ = nc_.Outputs();
        for (int v : vars_) outputs_.push_back({nc_.Name(v), nc_.Attribute(v, "long_name")});
    }

    const std::vector<double>& Times() const override { return times_; }
    const std::vector<TEnsembleOutput>& Outputs() const override { return outputs_; }
    const std::vector<bool>& Succeeded() const override { return ok_; }

    std::vector<std::vector<double>> Columns(std::size_t output, const std::vector<std::size_t>& times) const override {
        const std::size_t members = ok_.size();
        std::vector<std::vector<double>> out(times.size(), std::vector<double>(members));
        if (times.empty() || members == 0) return out;
        if (times.back() >= times_.size()) {
            throw EInOutError("File \"" + path_ + "\" has no output time number " + std::to_string(times.back() + 1));
        }
        // The file keeps each member's times together: reading blocks of
        // whole members reads every value once and in order, where columns
        // one by one would each touch the whole variable.
        const std::size_t first = times.front();
        const std::size_t span = times.back() - first + 1;
        const std::size_t block = std::max<std::size_t>(1, (std::size_t{1} << 20) / span);
        std::vector<double> buf;
        for (std::size_t m0 = 0; m0 < members; m0 += block) {
            const std::size_t b = std::min(block, members - m0);
            buf.resize(b * span);
            const std::size_t start[2] = {m0, first};
            const std::size_t count[2] = {b, span};
            nc_.Check(nc_get_vara_double(nc_.Id(), vars_.at(output), start, count, buf.data()));
            for (std::size_t j = 0; j < b; ++j)
                for (std::size_t k = 0; k < times.size(); ++k) out[k][m0 + j] = buf[j * span + times[k] - first];
        }
        return out;
    }

    std::size_t Output(const std::string& symbol) const {
        for (std::size_t k = 0; k < outputs_.size(); ++k)
            if (outputs_[k].symbol == symbol) return k;
        nc_.Check(NC_ENOTVAR);
        return 0;
    }

private:
    std::string path_;
    TNcFile nc_;
    std::vector<double> times_;
    std::vector<bool> ok_;
    std::vector<TEnsembleOutput> outputs_;
    std::vector<int> vars_;
};

}  // namespace

std::vector<double> ReadTrajectorySlice(const std::string& path, const std::string& variable,
                                        std::size_t time) {
    const TNcTrajectories nc(path);
    const std::vector<double> values = nc.Columns(nc.Output(variable), {time}).front();
    std::vector<double> ok;
    for (std::size_t m = 0; m < values.size(); ++m)
        if (nc.Succeeded()[m] && std::isfinite(values[m])) ok.push_back(values[m]);
    return ok;
}

std::unique_ptr<IEnsembleTrajectories> OpenTrajectories(const std::string& path) {
    return std::make_unique<TNcTrajectories>(path);
}

TEnsembleFit FitResultsFolder(const TObservations& observations, const std::string& dir) {
    return FitEnsemble(observations, TNcTrajectories((std::filesystem::path(dir) / TrajectoriesFileName).string()));
}

}  // namespace orvane::ensemble
