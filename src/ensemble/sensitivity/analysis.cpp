#include "ensemble/sensitivity/analysis.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace orvane::sens {

TOutputView TAnalysisData::View(std::size_t output) const {
    const std::size_t n = members * times.size();
    return TOutputView{outputs[output], members, times.size(),
                       std::span<const double>(values).subspan(output * n, n), ok};
}

namespace {

void AddCollinearity(TSensAnalysis& a, const std::string& name, std::span<const TLocalResult> results) {
    const TSensitivityMatrix m = StackSensitivities(results);
    // Influence of a factor: the length of its column over every row.
    std::vector<double> norm(m.cols, 0.0);
    for (std::size_t c = 0; c < m.cols; ++c) {
        double ss = 0;
        bool any = false;
        for (std::size_t r = 0; r < m.rows; ++r) {
            const double v = m.data[r * m.cols + c];
            if (std::isfinite(v)) ss += v * v, any = true;
        }
        norm[c] = any ? std::sqrt(ss) : NoValue;
    }
    const auto rank = RankFactors(norm);
    std::size_t defined = 0;
    while (defined < rank.size() && !std::isnan(norm[rank[defined]])) ++defined;
    a.collinearity.push_back(
        {name, CollinearitySets(m, std::span(rank).first(defined), CollinearityFactors)});
}

}  // namespace

TSensAnalysis Analyse(const TSensDesign& design, const TAnalysisData& data,
                      const TBootstrapOptions& options) {
    TSensAnalysis a;
    a.method = design.method;
    a.factors = data.factors;
    a.times = data.times;
    std::vector<TLocalResult> locals;
    for (std::size_t v = 0; v < data.outputs.size(); ++v) {
        TOutputAnalysis& o = a.outputs.emplace_back();
        o.output = data.outputs[v];
        const TOutputView view = data.View(v);
        try {
            switch (design.method) {
            case TSensMethod::Local:
                o.local = EstimateLocal(design, view);
                o.groupsUsed = o.local.groupsUsed;
                o.groupsDropped = o.local.groupsDropped;
                locals.push_back(o.local);
                AddCollinearity(a, o.output, std::span(&o.local, 1));
                break;
            case TSensMethod::Morris:
                o.morris = EstimateMorris(design, view, options);
                o.groupsUsed = o.morris.groupsUsed;
                o.groupsDropped = o.morris.groupsDropped;
                break;
            case TSensMethod::Sobol:
                o.sobol = EstimateSobol(design, view, options);
                o.groupsUsed = o.sobol.groupsUsed;
                o.groupsDropped = o.sobol.groupsDropped;
                break;
            }
        } catch (const ESensitivityError& e) {
            o.error = e.Message();
        }
    }
    if (locals.size() > 1) AddCollinearity(a, "all", locals);
    return a;
}

bool TSensAnalysis::AnyAnalysed() const {
    return std::any_of(outputs.begin(), outputs.end(), [](const auto& o) { return o.error.empty(); });
}

std::string TSensAnalysis::Errors() const {
    std::string s;
    for (const auto& o : outputs)
        if (!o.error.empty()) s += (s.empty() ? "" : "\n") + o.error;
    return s;
}

std::vector<TIndexRow> IndexRows(const TSensAnalysis& a) {
    std::vector<TIndexRow> rows;
    const char* method = MethodName(a.method);
    const std::size_t k = a.factors.size();
    for (const TOutputAnalysis& o : a.outputs) {
        if (!o.error.empty()) continue;
        const std::string* out = &o.output;
        for (std::size_t t = 0; t < a.times.size(); ++t)
            for (std::size_t i = 0; i < k; ++i) {
                const std::string* f = &a.factors[i];
                const double time = a.times[t];
                auto put = [&](const char* index, double value, const TIndexValue* iv = nullptr) {
                    rows.push_back({method, out, time, f, index, value, iv ? iv->lower : NoValue,
                                    iv ? iv->upper : NoValue});
                };
                switch (a.method) {
                case TSensMethod::Local: put("S", o.local.S(t, i)); break;
                case TSensMethod::Morris: {
                    const std::size_t j = t * k + i;
                    put("mu", o.morris.mu[j]);
                    put("mu_star", o.morris.muStar[j].value, &o.morris.muStar[j]);
                    put("sigma", o.morris.sigma[j]);
                    break;
                }
                case TSensMethod::Sobol:
                    put("S1", o.sobol.S1(t, i).value, &o.sobol.S1(t, i));
                    put("ST", o.sobol.ST(t, i).value, &o.sobol.ST(t, i));
                    break;
                }
            }
        if (a.method == TSensMethod::Local)
            for (std::size_t i = 0; i < k; ++i) {
                const TLocalSummary& s = o.local.summary[i];
                for (auto [index, value] : {std::pair{"L1", s.l1}, std::pair{"L2", s.l2},
                                            std::pair{"mean", s.mean}, std::pair{"min", s.min},
                                            std::pair{"max", s.max}})
                    rows.push_back({method, out, NoValue, &a.factors[i], index, value, NoValue, NoValue});
            }
    }
    return rows;
}

std::vector<TConvergenceRow> ConvergenceRows(const TSensAnalysis& a) {
    std::vector<TConvergenceRow> rows;
    if (a.method != TSensMethod::Sobol) return rows;
    const std::size_t k = a.factors.size(), times = a.times.size();
    for (const TOutputAnalysis& o : a.outputs) {
        if (!o.error.empty()) continue;
        const TSobolResult& r = o.sobol;
        for (std::size_t l = 0; l < r.basePoints.size(); ++l)
            for (std::size_t t = 0; t < times; ++t) {
                const std::size_t first = (l * times + t) * k;
                for (std::size_t i = 0; i < k; ++i) {
                    rows.push_back({&o.output, a.times[t], r.basePoints[l], &a.factors[i], "S1", r.convS1[first + i]});
                    rows.push_back({&o.output, a.times[t], r.basePoints[l], &a.factors[i], "ST", r.convST[first + i]});
                }
                const double sum = std::accumulate(r.convS1.begin() + static_cast<std::ptrdiff_t>(first),
                                                   r.convS1.begin() + static_cast<std::ptrdiff_t>(first + k), 0.0);
                rows.push_back({&o.output, a.times[t], r.basePoints[l], nullptr, "sum_S1", sum});
            }
    }
    return rows;
}

}  // namespace orvane::sens
