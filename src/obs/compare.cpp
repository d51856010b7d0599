#include "obs/compare.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "io/numfmt.h"

namespace orvane {

bool ValuesAgree(double a, double b, double rtol, double atol) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (a == b) return true;  // also equal infinities
    return std::fabs(a - b) <= atol + rtol * std::max(std::fabs(a), std::fabs(b));
}

bool TRunComparison::Within() const {
    if (!shapeMismatch.empty()) return false;
    return std::all_of(columns.begin(), columns.end(),
                       [](const TColumnDifference& c) { return c.exceeding == 0; });
}

TRunComparison CompareRuns(const TRunTable& a, const TRunTable& b, double rtol, double atol) {
    TRunComparison c;
    if (a.names != b.names) {
        if (a.Columns() != b.Columns()) {
            c.shapeMismatch = "the files have " + std::to_string(a.Columns()) + " and " +
                              std::to_string(b.Columns()) + " columns";
        } else {
            for (std::size_t j = 0; j < a.Columns(); ++j) {
                if (a.names[j] != b.names[j]) {
                    c.shapeMismatch = "column " + std::to_string(j + 1) + " is '" + a.names[j] +
                                      "' in one file and '" + b.names[j] + "' in the other";
                    break;
                }
            }
        }
        return c;
    }
    if (a.Rows() != b.Rows()) {
        c.shapeMismatch = "the files have " + std::to_string(a.Rows()) + " and " +
                          std::to_string(b.Rows()) + " rows";
        return c;
    }
    const double inf = std::numeric_limits<double>::infinity();
    for (std::size_t j = 0; j < a.Columns(); ++j) {
        TColumnDifference d;
        d.name = a.names[j];
        for (std::size_t r = 0; r < a.Rows(); ++r) {
            const double x = a.At(r, j), y = b.At(r, j);
            if (ValuesAgree(x, y, 0, 0)) continue;
            const bool finite = std::isfinite(x) && std::isfinite(y);
            const double diff = finite ? std::fabs(x - y) : inf;
            const double rel = finite ? diff / std::max(std::fabs(x), std::fabs(y)) : inf;
            if (diff > d.maxAbs) { d.maxAbs = diff; d.absRow = r; }
            if (rel > d.maxRel) { d.maxRel = rel; d.relRow = r; }
            if (!ValuesAgree(x, y, rtol, atol)) ++d.exceeding;
        }
        c.columns.push_back(std::move(d));
    }
    return c;
}

std::string ComparisonReport(const TRunComparison& c, const TRunTable& a, double rtol, double atol) {
    if (!c.shapeMismatch.empty()) return "The files differ in shape: " + c.shapeMismatch + ".\n";
    std::size_t w0 = 8;
    for (const auto& d : c.columns) w0 = std::max(w0, d.name.size());
    auto g = [](double v) { return FormatGeneral(v, 6); };
    std::string out;
    int differing = 0, exceeding = 0;
    for (const auto& d : c.columns) {
        if (d.maxAbs == 0) continue;
        if (differing++ == 0) {
            out += PadRight("variable", w0) + PadLeft("max abs diff", 14) + PadLeft("at time", 14) +
                   PadLeft("max rel diff", 14) + PadLeft("at time", 14) + "  beyond tolerance\n";
        }
        if (d.exceeding) ++exceeding;
        out += PadRight(d.name, w0) + PadLeft(g(d.maxAbs), 14) + PadLeft(g(a.Time(d.absRow)), 14) +
               PadLeft(g(d.maxRel), 14) + PadLeft(g(a.Time(d.relRow)), 14) +
               (d.exceeding ? "  " + std::to_string(d.exceeding) + " values" : std::string()) + '\n';
    }
    out += std::to_string(c.columns.size()) + " columns, " + std::to_string(a.Rows()) + " rows: " +
           std::to_string(differing) + " columns differ, " + std::to_string(exceeding) +
           " beyond the tolerance (atol " + FormatShortest(atol) + ", rtol " + FormatShortest(rtol) +
           ").\n";
    return out;
}

TRunTable DifferenceTable(const TRunTable& first, const TRunTable& second) {
    TRunTable d;
    d.path = first.path;
    std::vector<std::pair<std::size_t, std::size_t>> pairs;  // column in first, in second
    for (std::size_t j = 1; j < first.Columns(); ++j) {
        const auto it = std::find(second.names.begin() + 1, second.names.end(), first.names[j]);
        if (it != second.names.end()) pairs.emplace_back(j, static_cast<std::size_t>(it - second.names.begin()));
    }
    d.names.push_back(first.names.empty() ? "Time" : first.names[0]);
    d.units.push_back(first.units.empty() ? "" : first.units[0]);
    for (const auto& [j, k] : pairs) {
        d.names.push_back(first.names[j]);
        d.units.push_back(j < first.units.size() ? first.units[j] : "");
    }
    for (std::size_t r = 0; r < first.Rows(); ++r) {
        const double t = first.Time(r);
        d.values.push_back(t);
        for (const auto& [j, k] : pairs) {
            double y = 0;
            d.values.push_back(InterpolateAt(second, k, t, y) ? y - first.At(r, j) : NAN);
        }
        d.lines.push_back(r < first.lines.size() ? first.lines[r] : 0);
    }
    return d;
}

}  // namespace orvane
