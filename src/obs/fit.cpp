#include "obs/fit.h"

#include <numbers>

#include "io/numfmt.h"
#include "io/textfile.h"

namespace orvane {

namespace {

std::string CutName(std::string_view name) {
    // The output file's header holds names cut to their field.
    std::string s(name.substr(0, 20));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    return s;
}

}  // namespace

TFitStats FitStatistics(const std::vector<double>& sim, const std::vector<double>& obs,
                        const std::vector<double>& sd) {
    TFitStats f;
    const std::size_t n = sim.size();
    f.n = static_cast<int>(n);
    if (n == 0) return f;
    double sumD = 0, sumD2 = 0, sumAbs = 0, sumS = 0, sumO = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = sim[i] - obs[i];
        sumD += d;
        sumD2 += d * d;
        sumAbs += std::fabs(d);
        sumS += sim[i];
        sumO += obs[i];
    }
    const double dn = static_cast<double>(n);
    f.bias = sumD / dn;
    f.rmse = std::sqrt(sumD2 / dn);
    f.mae = sumAbs / dn;
    // Deviations from the means in a second pass: one pass loses digits
    // when the values are large and vary little.
    const double ms = sumS / dn, mo = sumO / dn;
    double sxy = 0, sxx = 0, syy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = sim[i] - ms, b = obs[i] - mo;
        sxy += a * b;
        sxx += a * a;
        syy += b * b;
    }
    if (sxx > 0 && syy > 0) f.r2 = (sxy * sxy) / (sxx * syy);
    if (syy > 0) f.nse = 1 - sumD2 / syy;
    if (sd.size() == n) {
        double wss = 0, logs = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double z = (sim[i] - obs[i]) / sd[i];
            wss += z * z;
            logs += std::log(sd[i]);
        }
        f.wss = wss;
        f.m2ll = wss + dn * std::log(2 * std::numbers::pi) + 2 * logs;
    }
    return f;
}

TRunFit FitRun(const TObservations& observations, const TRunTable& run) {
    TRunFit fit;
    if (run.Rows() > 0) {
        fit.firstTime = run.Time(0);
        fit.lastTime = run.Time(run.Rows() - 1);
    }
    for (const auto& ov : observations.variables) {
        const auto column = static_cast<std::size_t>(ov.var.column);
        if (column >= run.Columns() || run.names[column] != CutName(ov.var.name)) {
            throw ETableFileError(run.path + ": the output file has no column for '" +
                                  std::string(ov.var.name) + "' (" + std::string(ov.var.symbol) +
                                  ") where the model writes it");
        }
        TVariableFit vf;
        vf.symbol = ov.var.symbol;
        vf.name = ov.var.name;
        std::vector<double> sim, obs, sd;
        const bool withSd = ov.HasSd();
        for (const auto& p : ov.points) {
            double y = 0;
            if (!InterpolateAt(run, column, p.time, y)) {
                vf.outside.push_back(p.time);
                continue;
            }
            sim.push_back(y);
            obs.push_back(p.value);
            if (withSd) sd.push_back(p.sd);
        }
        vf.stats = FitStatistics(sim, obs, sd);
        fit.variables.push_back(std::move(vf));
    }
    return fit;
}

std::string FitCsvNumber(double v) { return std::isnan(v) ? std::string() : FormatShortest(v); }
std::string FitReportNumber(double v) { return std::isnan(v) ? std::string("-") : FormatGeneral(v, 6); }

std::string FitCsv(const TRunFit& fit) {
    std::string out = "variable,n,bias,rmse,mae,r2,nse,wss,m2ll\r\n";
    for (const auto& v : fit.variables) {
        const TFitStats& s = v.stats;
        out += v.symbol + ',' + std::to_string(s.n);
        for (double x : {s.bias, s.rmse, s.mae, s.r2, s.nse, s.wss, s.m2ll}) out += ',' + FitCsvNumber(x);
        out += "\r\n";
    }
    return out;
}

void WriteFitCsv(const std::string& path, const TRunFit& fit) {
    TTextWriter w;
    w.CreateReplacing(path);
    try {
        w.Write(FitCsv(fit));
        w.Close();
    } catch (...) {
        w.CloseQuietly();
        throw;
    }
}

std::string FitReport(const TRunFit& fit) {
    std::size_t w0 = 8;
    for (const auto& v : fit.variables) w0 = std::max(w0, v.symbol.size());
    std::string out = PadRight("variable", w0);
    for (const char* h : {"n", "bias", "rmse", "mae", "r2", "nse", "wss", "m2ll"}) out += PadLeft(h, 13);
    out += '\n';
    for (const auto& v : fit.variables) {
        const TFitStats& s = v.stats;
        out += PadRight(v.symbol, w0) + PadLeft(std::to_string(s.n), 13);
        for (double x : {s.bias, s.rmse, s.mae, s.r2, s.nse, s.wss, s.m2ll}) out += PadLeft(FitReportNumber(x), 13);
        out += '\n';
    }
    return out + FitNotes(fit);
}

std::string FitNotes(const TRunFit& fit) {
    std::string out;
    for (const auto& v : fit.variables) out += OutsideNote(v.symbol, v.outside, "the run", fit.firstTime, fit.lastTime);
    return out;
}

std::string OutsideNote(const std::string& symbol, const std::vector<double>& outside,
                        const std::string& source, double first, double last) {
    if (outside.empty()) return {};
    const std::string span = std::isnan(first)
                                 ? source + " has no rows"
                                 : source + "'s times are " + FormatGeneral(first) + " to " + FormatGeneral(last);
    std::string out = symbol + ": " + std::to_string(outside.size()) + " observation" +
                      (outside.size() == 1 ? "" : "s") + " outside " + source + " not used (" + span + "), at";
    for (std::size_t i = 0; i < outside.size(); ++i) out += (i ? ", " : " ") + FormatGeneral(outside[i]);
    return out + '\n';
}

}  // namespace orvane
