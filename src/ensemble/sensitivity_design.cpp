#include "ensemble/sensitivity_design.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "ensemble/distribution.h"
#include "ensemble/sensitivity/designs.h"
#include "io/numfmt.h"

namespace orvane::ensemble {

namespace {

double NumberOr(const TExperiment& e, const char* key, double fallback) {
    const auto it = e.design.numbers.find(key);
    return it == e.design.numbers.end() ? fallback : it->second;
}

std::size_t WholeOr(const TExperiment& e, const char* key, std::size_t fallback) {
    return static_cast<std::size_t>(NumberOr(e, key, static_cast<double>(fallback)));
}

bool Central(const TExperiment& e) {
    const auto it = e.design.text.find("differences");
    return it != e.design.text.end() && it->second == "central";
}

std::size_t Factors(const TExperiment& e) { return e.factors.size(); }

// Distributions without bounds give no value at probability 0 or 1; the
// Morris grid then keeps to the centres of its strata.
bool Bounded(TDistKind kind) { return kind != TDistKind::Normal && kind != TDistKind::LogNormal; }

}  // namespace

bool IsSensitivityMethod(const std::string& method) {
    return method == "local" || method == "morris" || method == "sobol";
}

std::string CheckSensitivitySettings(const TExperiment& e, std::string& key) {
    const std::string& m = e.design.method;
    auto whole = [&](const char* k, double min, double max) -> std::string {
        const auto it = e.design.numbers.find(k);
        if (it == e.design.numbers.end()) return {};
        key = k;
        if (it->second != std::floor(it->second) || !(it->second >= min) || !(it->second <= max))
            return std::string(1, '"').append(k).append("\" must be a whole number from ")
                .append(FormatGeneral(min)).append(" to ").append(FormatGeneral(max));
        return {};
    };
    if (m != "sobol" && e.design.members != 0) {
        key = "members";
        return "the \"" + m + "\" design sets its own number of members" +
               (m == "morris" ? ": give \"trajectories\" instead of \"members\"" : ": leave out \"members\"");
    }
    if (m == "local") {
        const double step = NumberOr(e, "step", DefaultLocalStep);
        if (!(step > 0) || !(step < 1)) {
            key = "step";
            return "\"step\" is relative to each factor's base value and must lie between 0 and 1";
        }
        const auto it = e.design.text.find("differences");
        if (it != e.design.text.end() && it->second != "forward" && it->second != "central") {
            key = "differences";
            return "\"differences\" must be \"forward\" or \"central\"";
        }
        return {};
    }
    if (auto msg = whole("bootstrap", 0, MaxBootstrap); !msg.empty()) return msg;
    if (m == "morris") {
        if (auto msg = whole("trajectories", 2, MaxSensitivityMembers); !msg.empty()) return msg;
        if (auto msg = whole("levels", 2, MaxLevels); !msg.empty()) return msg;
    }
    // The design's values and the bootstrap's draws are held in memory.
    key = m == "morris" ? "trajectories" : "members";
    const std::size_t members = SensitivityMembers(e);
    if (members > MaxSensitivityMembers)
        return "the design would run " + std::to_string(members) + " members; a sensitivity design runs at most " +
               std::to_string(MaxSensitivityMembers);
    const std::size_t groups = members / (Factors(e) + (m == "morris" ? 1 : 2));
    if (static_cast<double>(groups) * static_cast<double>(WholeOr(e, "bootstrap", DefaultBootstrap)) > MaxBootstrapDraws) {
        key = "bootstrap";
        return "\"bootstrap\" resamples of " + std::to_string(groups) + (m == "morris" ? " trajectories" : " base points") +
               " would need too much memory: at most " + FormatGeneral(MaxBootstrapDraws) + " draws in all";
    }
    key.clear();
    return {};
}

std::size_t SensitivityMembers(const TExperiment& e) {
    const std::size_t k = Factors(e);
    if (e.design.method == "local") return 1 + k * (Central(e) ? 2 : 1);
    if (e.design.method == "morris") return WholeOr(e, "trajectories", DefaultTrajectories) * (k + 1);
    return std::bit_ceil(std::max<std::size_t>(1, e.design.members)) * (k + 2);
}

std::string SensitivityDesignText(const TExperiment& e) {
    const std::size_t k = Factors(e), members = SensitivityMembers(e);
    const std::string of = " of " + std::to_string(k) + " factor" + (k == 1 ? "" : "s") + ": " +
                           std::to_string(members) + " members";
    if (e.design.method == "local")
        return std::string("local design, ") + (Central(e) ? "central" : "forward") +
               " differences, relative step " + FormatGeneral(NumberOr(e, "step", DefaultLocalStep)) + of;
    if (e.design.method == "morris")
        return "morris design, " + std::to_string(WholeOr(e, "trajectories", DefaultTrajectories)) +
               " trajectories on " + std::to_string(WholeOr(e, "levels", DefaultLevels)) + " levels" + of;
    return "sobol design, " + std::to_string(std::bit_ceil(std::max<std::size_t>(1, e.design.members))) +
           " base points" + of;
}

std::string SensitivityNote(const TExperiment& e) {
    if (e.design.method != "sobol") return {};
    return sens::SaltelliRoundingNote(std::max<std::size_t>(1, e.design.members), Factors(e));
}

const char* SensitivityFiles(const std::string& method) {
    if (method == "sobol") return ", indices.csv, convergence.csv, report.txt";
    if (method == "local") return ", indices.csv, collinearity.csv, report.txt";
    if (method == "morris") return ", indices.csv, report.txt";
    return "";
}

sens::TSensDesign MakeSensitivityDesign(const TExperiment& e, std::span<const double> bases) {
    std::string key;
    if (const std::string problem = CheckSensitivitySettings(e, key); !problem.empty())
        throw EExperimentError(e.path + ": [design] " + problem);
    std::vector<sens::TSensFactor> factors;
    for (std::size_t i = 0; i < e.factors.size(); ++i) {
        const TFactor& f = e.factors[i];
        const TDistribution dist = f.dist;
        const double base = bases[i];
        sens::TQuantile q;
        if (f.hasDistribution) {
            const bool bounded = Bounded(dist.kind);
            q = [dist, base, bounded](double u) {
                if (!bounded && (u <= 0 || u >= 1))
                    return (u <= 0 ? -1 : 1) * std::numeric_limits<double>::infinity();
                return Quantile(dist, u, base);
            };
        }
        factors.push_back({f.symbol, std::move(q), base});
    }
    try {
        const std::string& m = e.design.method;
        if (m == "local") return sens::MakeLocalDesign(factors, NumberOr(e, "step", DefaultLocalStep), Central(e));
        if (m == "morris")
            return sens::MakeMorrisDesign(factors, WholeOr(e, "trajectories", DefaultTrajectories),
                                          WholeOr(e, "levels", DefaultLevels), e.design.seed);
        const auto points = MakeSobolPoints(std::bit_ceil(std::max<std::size_t>(1, e.design.members)),
                                            static_cast<int>(2 * factors.size()), e.design.seed);
        return sens::MakeSaltelliDesign(factors, e.design.members,
                                        [&](std::uint64_t j, std::span<double> u) { points->Point(j, u); });
    } catch (const sens::ESensitivityError& err) {
        throw EExperimentError(e.path + ": " + err.Message());
    }
}

void TSensitivityDesign::Values(std::size_t member, std::span<double> values) const {
    const auto v = d_.MemberValues(member);
    std::copy(v.begin(), v.end(), values.begin());
}

std::unique_ptr<IDesign> MakeSensitivityIDesign(const TExperiment& e, std::span<const double> bases) {
    return std::make_unique<TSensitivityDesign>(MakeSensitivityDesign(e, bases));
}

sens::TBootstrapOptions SensitivityBootstrap(const TExperiment& e, int threads) {
    return {WholeOr(e, "bootstrap", DefaultBootstrap), Confidence, e.design.seed,
            static_cast<unsigned>(std::max(0, threads))};
}

}  // namespace orvane::ensemble
