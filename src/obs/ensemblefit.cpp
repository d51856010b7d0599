#include "obs/ensemblefit.h"

#include <algorithm>
#include <cmath>

#include "io/numfmt.h"
#include "io/textfile.h"
#include "obs/fit.h"
#include "obs/runtable.h"

namespace orvane {

namespace {

std::vector<double> Sorted(std::span<const double> members) {
    std::vector<double> x(members.begin(), members.end());
    std::sort(x.begin(), x.end());
    return x;
}

double CrpsOfSorted(const std::vector<double>& x, double y) {
    const std::size_t m = x.size();
    if (m == 0) return NAN;
    // The pair sum over sorted values: sum |xi - xj| = 2 sum (2i - m - 1) x(i).
    double toObs = 0, pairs = 0;
    for (std::size_t i = 0; i < m; ++i) {
        toObs += std::fabs(x[i] - y);
        pairs += (2.0 * static_cast<double>(i + 1) - static_cast<double>(m) - 1) * x[i];
    }
    const double dm = static_cast<double>(m);
    return toObs / dm - pairs / (dm * dm);
}

bool InsideSorted(const std::vector<double>& x, double y, double coverage) {
    if (x.empty()) return false;
    const double tail = (1 - coverage) / 2;
    return y >= SortedQuantile(x, tail) && y <= SortedQuantile(x, 1 - tail);
}

}  // namespace

double SortedQuantile(std::span<const double> x, double p) {
    const std::size_t n = x.size();
    if (n == 0) return NAN;
    if (n == 1) return x[0];
    const double h = static_cast<double>(n - 1) * p;
    const auto lo = static_cast<std::size_t>(std::floor(h));
    if (lo + 1 >= n) return x[n - 1];
    return x[lo] + (h - static_cast<double>(lo)) * (x[lo + 1] - x[lo]);
}

double Crps(std::span<const double> members, double y) { return CrpsOfSorted(Sorted(members), y); }

double MemberQuantile(std::span<const double> members, double p) {
    return SortedQuantile(Sorted(members), p);
}

bool InsideBand(std::span<const double> members, double y, double coverage) {
    return InsideSorted(Sorted(members), y, coverage);
}

TEnsembleFitStats EnsembleFitStatistics(const std::vector<std::vector<double>>& members,
                                        const std::vector<double>& obs) {
    TEnsembleFitStats s;
    s.n = static_cast<int>(obs.size());
    if (obs.empty() || members.size() != obs.size()) return s;
    double inside = 0, crps = 0;
    for (std::size_t i = 0; i < obs.size(); ++i) {
        const std::vector<double> x = Sorted(members[i]);
        if (InsideSorted(x, obs[i], 0.9)) inside += 1;
        crps += CrpsOfSorted(x, obs[i]);
    }
    s.insideShare = inside / static_cast<double>(obs.size());
    s.crps = crps / static_cast<double>(obs.size());
    return s;
}

TEnsembleFit FitEnsemble(const TObservations& observations, const IEnsembleTrajectories& ensemble) {
    const std::vector<double>& times = ensemble.Times();
    const std::vector<bool>& ok = ensemble.Succeeded();
    const std::vector<TEnsembleOutput>& outputs = ensemble.Outputs();
    TEnsembleFit fit;
    if (!times.empty()) {
        fit.firstTime = times.front();
        fit.lastTime = times.back();
    }
    fit.members = ok.size();
    fit.failed = static_cast<std::size_t>(std::count(ok.begin(), ok.end(), false));
    for (const TObservedVariable& ov : observations.variables) {
        const auto out = std::find_if(outputs.begin(), outputs.end(), [&ov](const TEnsembleOutput& o) {
            return o.symbol == ov.var.symbol && o.longName == ov.var.name;
        });
        if (out == outputs.end()) {
            fit.missing.push_back(std::string(ov.var.symbol) + " (" + std::string(ov.var.name) + ")");
            continue;
        }
        const auto output = static_cast<std::size_t>(out - outputs.begin());
        TVariableEnsembleFit vf;
        vf.symbol = ov.var.symbol;
        vf.name = ov.var.name;
        std::vector<TTimeBracket> at;
        std::vector<double> obs;
        for (const TObservation& p : ov.points) {
            const auto b = BracketTime(times.size(), [&times](std::size_t i) { return times[i]; }, p.time);
            if (!b) {
                vf.outside.push_back(p.time);
                continue;
            }
            at.push_back(*b);
            obs.push_back(p.value);
        }
        // Each output time read once; a member is used only where every value read is a number.
        std::vector<std::size_t> needed;
        for (const TTimeBracket& b : at) needed.insert(needed.end(), {b.lo, b.hi});
        std::sort(needed.begin(), needed.end());
        needed.erase(std::unique(needed.begin(), needed.end()), needed.end());
        const std::vector<std::vector<double>> read = ensemble.Columns(output, needed);
        const auto column = [&](std::size_t t) -> const std::vector<double>& {
            return read[static_cast<std::size_t>(std::lower_bound(needed.begin(), needed.end(), t) - needed.begin())];
        };
        std::vector<std::size_t> used;
        for (std::size_t m = 0; m < ok.size(); ++m) {
            if (ok[m] && std::all_of(read.begin(), read.end(),
                                     [m](const std::vector<double>& c) { return m < c.size() && std::isfinite(c[m]); })) {
                used.push_back(m);
            }
        }
        vf.members = used.size();
        if (!used.empty() && !obs.empty()) {
            std::vector<std::vector<double>> values(obs.size());
            for (std::size_t i = 0; i < obs.size(); ++i) {
                const std::vector<double>& y0 = column(at[i].lo);
                const std::vector<double>& y1 = column(at[i].hi);
                values[i].reserve(used.size());
                for (std::size_t m : used) values[i].push_back(Interpolate(at[i], y0[m], y1[m]));
            }
            vf.stats = EnsembleFitStatistics(values, obs);
        }
        fit.variables.push_back(std::move(vf));
    }
    return fit;
}

std::string EnsembleFitCsv(const TEnsembleFit& fit) {
    std::string out = "variable,n,members,inside90,crps\r\n";
    for (const TVariableEnsembleFit& v : fit.variables) {
        out += v.symbol + ',' + std::to_string(v.stats.n) + ',' + std::to_string(v.members) + ',' +
               FitCsvNumber(v.stats.insideShare) + ',' + FitCsvNumber(v.stats.crps) + "\r\n";
    }
    return out;
}

void WriteEnsembleFitCsv(const std::string& path, const TEnsembleFit& fit) {
    TTextWriter w;
    w.CreateReplacing(path);
    w.Write(EnsembleFitCsv(fit));
    w.Close();
}

std::string EnsembleFitReport(const TEnsembleFit& fit) {
    std::string out = std::to_string(fit.members) + " members";
    if (fit.failed) out += ", " + std::to_string(fit.failed) + " failed and left out";
    out += ": the share of observations inside their 5-95 % band, and the mean CRPS\n";
    std::size_t w0 = 8;
    for (const TVariableEnsembleFit& v : fit.variables) w0 = std::max(w0, v.symbol.size());
    out += PadRight("variable", w0);
    for (const char* h : {"n", "members", "inside90", "crps"}) out += PadLeft(h, 13);
    out += '\n';
    for (const TVariableEnsembleFit& v : fit.variables) {
        out += PadRight(v.symbol, w0) + PadLeft(std::to_string(v.stats.n), 13) +
               PadLeft(std::to_string(v.members), 13) + PadLeft(FitReportNumber(v.stats.insideShare), 13) +
               PadLeft(FitReportNumber(v.stats.crps), 13) + '\n';
    }
    for (const TVariableEnsembleFit& v : fit.variables) {
        out += OutsideNote(v.symbol, v.outside, "the ensemble", fit.firstTime, fit.lastTime);
        if (v.members == 0) out += v.symbol + ": no member has values to compare\n";
    }
    for (const std::string& m : fit.missing) out += m + ": observed, but not an output of the ensemble; skipped\n";
    return out;
}

}  // namespace orvane
