#include "ensemble/sensitivity/designs.h"

#include <bit>
#include <cmath>
#include <exception>
#include <numeric>
#include <random>

#include "ensemble/sensitivity/sens_random.h"

namespace orvane::sens {

const char* MethodName(TSensMethod method) {
    switch (method) {
    case TSensMethod::Local: return "local";
    case TSensMethod::Morris: return "morris";
    case TSensMethod::Sobol: return "sobol";
    }
    return "";
}

namespace {

void CheckFactors(std::span<const TSensFactor> factors, const char* design) {
    if (factors.empty())
        throw ESensitivityError(std::string("The ") + design + " design needs at least one factor");
}

double Quantile(const TSensFactor& f, double u) {
    const double v = f.quantile(u);
    if (!std::isfinite(v))
        throw ESensitivityError("Factor " + f.symbol + ": its distribution gives no finite value at " +
                                std::to_string(u));
    return v;
}

bool HasFiniteBounds(const TSensFactor& f) {
    try {
        return std::isfinite(f.quantile(0.0)) && std::isfinite(f.quantile(1.0));
    } catch (const std::exception&) {
        return false;  // a quantile function may refuse the end of an unbounded range
    }
}

}  // namespace

std::string SaltelliRoundingNote(std::size_t baseSamples, std::size_t factors) {
    const std::size_t base = std::bit_ceil(baseSamples);
    if (base == baseSamples) return {};
    return "Sobol' design: members = " + std::to_string(baseSamples) + " is not a power of two; rounded up to " +
           std::to_string(base) + " base points (" + std::to_string(base * (factors + 2)) +
           " model runs with " + std::to_string(factors) + " factors)";
}

TSensDesign MakeSaltelliDesign(std::span<const TSensFactor> factors, std::size_t baseSamples,
                               const TPointGenerator& points) {
    CheckFactors(factors, "Sobol'");
    if (baseSamples == 0) throw ESensitivityError("The Sobol' design needs members of at least 1");
    constexpr std::size_t maxBase = std::size_t{1} << 40;
    if (baseSamples > maxBase)
        throw ESensitivityError("The Sobol' design allows members of at most " +
                                std::to_string(maxBase));
    const std::size_t k = factors.size();
    TSensDesign d;
    d.method = TSensMethod::Sobol;
    d.factors = k;
    d.groups = std::bit_ceil(baseSamples);
    d.groupSize = k + 2;
    d.members = d.groups * d.groupSize;
    if (const std::string note = SaltelliRoundingNote(baseSamples, k); !note.empty()) d.notes.push_back(note);
    d.values.resize(d.members * k);
    std::vector<double> point(2 * k), a(k), b(k);
    for (std::size_t j = 0; j < d.groups; ++j) {
        points(j, point);
        for (std::size_t i = 0; i < k; ++i) {
            a[i] = Quantile(factors[i], point[i]);
            b[i] = Quantile(factors[i], point[k + i]);
        }
        double* row = &d.values[j * d.groupSize * k];
        std::copy(a.begin(), a.end(), row);
        std::copy(b.begin(), b.end(), row + k);
        for (std::size_t i = 0; i < k; ++i) {
            double* ab = row + (2 + i) * k;
            std::copy(a.begin(), a.end(), ab);
            ab[i] = b[i];
        }
    }
    return d;
}

TSensDesign MakeMorrisDesign(std::span<const TSensFactor> factors, std::size_t trajectories,
                             std::size_t levels, std::uint64_t seed) {
    CheckFactors(factors, "Morris");
    if (trajectories < 2) throw ESensitivityError("The Morris design needs trajectories of at least 2");
    if (levels < 2) throw ESensitivityError("The Morris design needs levels of at least 2");
    const std::size_t k = factors.size();
    TSensDesign d;
    d.method = TSensMethod::Morris;
    d.factors = k;
    d.groups = trajectories;
    d.groupSize = k + 1;
    d.members = d.groups * d.groupSize;
    d.values.resize(d.members * k);
    d.moved.resize(d.groups * k);
    d.step.resize(d.groups * k);

    // Unit value of each level, per factor, and the unit length of a move.
    const std::size_t jump = levels / 2;
    std::vector<std::vector<double>> levelValue(k);
    std::vector<double> unitJump(k);
    for (std::size_t i = 0; i < k; ++i) {
        const bool bounded = HasFiniteBounds(factors[i]);
        const double p = static_cast<double>(levels);
        levelValue[i].resize(levels);
        for (std::size_t l = 0; l < levels; ++l) {
            const double u = bounded ? static_cast<double>(l) / (p - 1) : (static_cast<double>(l) + 0.5) / p;
            levelValue[i][l] = Quantile(factors[i], u);
        }
        unitJump[i] = static_cast<double>(jump) / (bounded ? p - 1 : p);
    }

    std::mt19937_64 gen(MorrisSeed(seed));
    std::vector<std::size_t> level(k);
    std::vector<std::uint32_t> order(k);
    for (std::size_t g = 0; g < d.groups; ++g) {
        for (std::size_t i = 0; i < k; ++i) level[i] = static_cast<std::size_t>(Below(gen, levels));
        std::iota(order.begin(), order.end(), 0u);
        Shuffle(gen, order.data(), k);
        const std::size_t first = g * d.groupSize;
        for (std::size_t s = 0; s <= k; ++s) {
            if (s > 0) {
                const std::uint32_t i = order[s - 1];
                const bool up = level[i] + jump <= levels - 1;
                level[i] = up ? level[i] + jump : level[i] - jump;
                d.moved[g * k + s - 1] = i;
                d.step[g * k + s - 1] = up ? unitJump[i] : -unitJump[i];
            }
            double* row = &d.values[(first + s) * k];
            for (std::size_t i = 0; i < k; ++i) row[i] = levelValue[i][level[i]];
        }
    }
    return d;
}

TSensDesign MakeLocalDesign(std::span<const TSensFactor> factors, double relativeStep, bool central) {
    CheckFactors(factors, "local");
    if (!(relativeStep > 0) || !std::isfinite(relativeStep))
        throw ESensitivityError("The local design needs a step greater than 0");
    const std::size_t k = factors.size();
    TSensDesign d;
    d.method = TSensMethod::Local;
    d.factors = k;
    d.groups = k;
    d.groupSize = central ? 2 : 1;
    d.members = 1 + k * d.groupSize;
    d.relativeStep = relativeStep;
    d.central = central;
    for (const auto& f : factors)
        if (f.base == 0 || !std::isfinite(f.base))
            throw ESensitivityError("Factor " + f.symbol +
                                    ": a relative step cannot move a base value of " +
                                    (f.base == 0 ? std::string("0") : std::string("infinity")));
    d.values.resize(d.members * k);
    for (std::size_t m = 0; m < d.members; ++m)
        for (std::size_t i = 0; i < k; ++i) d.values[m * k + i] = factors[i].base;
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t m = 1 + i * d.groupSize;
        d.values[m * k + i] = factors[i].base * (1 + relativeStep);
        if (central) d.values[(m + 1) * k + i] = factors[i].base * (1 - relativeStep);
    }
    return d;
}

std::vector<std::uint8_t> UsableGroups(const TSensDesign& design, const TOutputView& output) {
    auto memberUsable = [&](std::size_t m) {
        if (!output.ok[m]) return false;
        for (std::size_t t = 0; t < output.times; ++t)
            if (!std::isfinite(output.At(m, t))) return false;
        return true;
    };
    const bool baseUsable = design.method != TSensMethod::Local || memberUsable(0);
    std::vector<std::uint8_t> usable(design.groups, 0);
    for (std::size_t g = 0; g < design.groups; ++g) {
        bool all = baseUsable;
        const std::size_t first = GroupFirstMember(design, g);
        for (std::size_t m = first; all && m < first + design.groupSize; ++m) all = memberUsable(m);
        usable[g] = all ? 1 : 0;
    }
    return usable;
}

}  // namespace orvane::sens
