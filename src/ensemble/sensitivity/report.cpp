#include "ensemble/sensitivity/report.h"

#include <algorithm>
#include <cmath>

#include "io/numfmt.h"

namespace orvane::sens {

namespace {

// Four significant digits; "-" where there is no estimate.
std::string Num(double v) {
    if (std::isnan(v)) return "-";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    return FormatGeneral(v, 4);
}

std::string Interval(const TIndexValue& v) {
    if (!v.HasInterval()) return "";
    std::string s(1, '[');
    return s.append(Num(v.lower)).append(", ").append(Num(v.upper)).append("]");
}

struct TTable {
    std::vector<std::vector<std::string>> rows;
    std::string Text() const {
        std::vector<std::size_t> width;
        for (const auto& r : rows)
            for (std::size_t c = 0; c < r.size(); ++c) {
                if (width.size() <= c) width.push_back(0);
                width[c] = std::max(width[c], r[c].size());
            }
        std::string s;
        for (const auto& r : rows) {
            std::string line = "  ";
            for (std::size_t c = 0; c < r.size(); ++c)
                line += (c == 1 ? PadRight(r[c], width[c]) : PadLeft(r[c], width[c])) + "  ";
            while (!line.empty() && line.back() == ' ') line.pop_back();
            s += line + "\n";
        }
        return s;
    }
};

const char* GroupName(TSensMethod m) {
    switch (m) {
    case TSensMethod::Local: return "factors";
    case TSensMethod::Morris: return "trajectories";
    case TSensMethod::Sobol: return "base points";
    }
    return "";
}

std::string Heading(const TSensAnalysis& a, const TSensDesign& d, const TBootstrapOptions& b) {
    const std::string at = a.times.empty() ? "" : " at time " + FormatGeneral(a.times.back());
    const std::string ci = std::to_string(b.resamples) + " bootstrap resamples, " +
                           FormatGeneral(100 * b.confidence) + " % intervals";
    switch (a.method) {
    case TSensMethod::Local:
        return "Local sensitivities" + at + " (" + (d.central ? "central" : "forward") +
               " differences, relative step " + FormatGeneral(d.relativeStep) + ")";
    case TSensMethod::Morris:
        return "Morris elementary effects" + at + " (" + std::to_string(d.groups) + " trajectories, " + ci + ")";
    case TSensMethod::Sobol:
        return "Sobol' indices" + at + " (" + std::to_string(d.groups) + " base points, " + ci + ")";
    }
    return "";
}

void OutputTable(std::string& s, const TSensAnalysis& a, const TOutputAnalysis& o) {
    const std::size_t k = a.factors.size(), t = a.times.size() - 1;
    std::vector<double> score(k);
    TTable table;
    switch (a.method) {
    case TSensMethod::Local:
        table.rows.push_back({"rank", "factor", "S", "L2 over time"});
        for (std::size_t i = 0; i < k; ++i) score[i] = std::fabs(o.local.S(t, i));
        break;
    case TSensMethod::Morris:
        table.rows.push_back({"rank", "factor", "mu_star", "interval", "mu", "sigma"});
        for (std::size_t i = 0; i < k; ++i) score[i] = o.morris.MuStar(t, i).value;
        break;
    case TSensMethod::Sobol:
        table.rows.push_back({"rank", "factor", "ST", "interval", "S1", "interval"});
        for (std::size_t i = 0; i < k; ++i) score[i] = o.sobol.ST(t, i).value;
        break;
    }
    const auto rank = RankFactors(score);
    for (std::size_t r = 0; r < k; ++r) {
        const std::size_t i = rank[r];
        std::vector<std::string> row{std::to_string(r + 1), a.factors[i]};
        switch (a.method) {
        case TSensMethod::Local:
            row.insert(row.end(), {Num(o.local.S(t, i)), Num(o.local.summary[i].l2)});
            break;
        case TSensMethod::Morris: {
            const TIndexValue& m = o.morris.MuStar(t, i);
            row.insert(row.end(), {Num(m.value), Interval(m), Num(o.morris.mu[t * k + i]),
                                   Num(o.morris.sigma[t * k + i])});
            break;
        }
        case TSensMethod::Sobol:
            row.insert(row.end(), {Num(o.sobol.ST(t, i).value), Interval(o.sobol.ST(t, i)),
                                   Num(o.sobol.S1(t, i).value), Interval(o.sobol.S1(t, i))});
            break;
        }
        table.rows.push_back(std::move(row));
    }
    s += table.Text();
    if (a.method == TSensMethod::Sobol) {
        const TIndexValue& sum = o.sobol.sumS1[t];
        s.append("  sum of S1: ").append(Num(sum.value));
        if (sum.HasInterval()) s.append(" ").append(Interval(sum));
        s += "\n";
    }
}

void CollinearityText(std::string& s, const TSensAnalysis& a, const TSensAnalysis::TSets& c) {
    if (c.sets.empty()) return;
    s += "Collinearity of the most influential factors" +
         std::string(c.output == "all" ? " (all outputs together)" : " (" + c.output + ")") + ", above " +
         FormatGeneral(CollinearityLimit) + " not identifiable together:\n";
    TTable table;
    for (const TCollinearity& set : c.sets) {
        std::string names;
        for (std::size_t f : set.factors) names += (names.empty() ? "" : " ") + a.factors[f];
        table.rows.push_back({"", names, Num(set.index),
                              set.index > CollinearityLimit ? "not identifiable" : ""});
    }
    s += table.Text();
}

}  // namespace

std::string RankedReport(const TSensAnalysis& a, const TSensDesign& design,
                         const TBootstrapOptions& bootstrap) {
    std::string s = Heading(a, design, bootstrap) + "\n";
    for (const std::string& note : design.notes) s += note + "\n";
    for (const TOutputAnalysis& o : a.outputs) {
        s += "\n" + o.output + ": ";
        if (!o.error.empty()) {
            s += o.error + "\n";
            continue;
        }
        s += std::to_string(o.groupsUsed) + " " + GroupName(a.method) + " used";
        if (o.groupsDropped > 0)
            s += ", " + std::to_string(o.groupsDropped) + " dropped for failed members";
        s += "\n";
        OutputTable(s, a, o);
    }
    // Identifiability is a question of all outputs together; each output's
    // own sets are in the result files.
    const auto joint = std::find_if(a.collinearity.begin(), a.collinearity.end(),
                                    [](const auto& c) { return c.output == "all"; });
    if (joint != a.collinearity.end() || a.collinearity.size() == 1) {
        s += "\n";
        CollinearityText(s, a, joint != a.collinearity.end() ? *joint : a.collinearity.front());
    }
    return s;
}

}  // namespace orvane::sens
