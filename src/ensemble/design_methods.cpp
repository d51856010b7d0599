#include "ensemble/design_methods.h"

#include <iterator>

#include "ensemble/sensitivity_design.h"

namespace orvane::ensemble {

namespace {

using TCubeMaker = std::unique_ptr<IUnitCubeDesign> (*)(std::size_t, int, uint64_t);

std::unique_ptr<IDesign> ThroughQuantiles(const TExperiment& e, std::span<const double> bases,
                                          TCubeMaker cube) {
    std::vector<TDistribution> dists;
    for (const TFactor& f : e.factors) dists.push_back(f.dist);
    return std::make_unique<TQuantileDesign>(
        cube(e.design.members, static_cast<int>(dists.size()), e.design.seed), std::move(dists),
        std::vector<double>(bases.begin(), bases.end()));
}

std::unique_ptr<IDesign> MakeRandom(const TExperiment& e, std::span<const double> bases) {
    return ThroughQuantiles(e, bases, MakeRandomDesign);
}
std::unique_ptr<IDesign> MakeLhs(const TExperiment& e, std::span<const double> bases) {
    return ThroughQuantiles(e, bases, MakeLatinHypercube);
}
std::unique_ptr<IDesign> MakeSobol(const TExperiment& e, std::span<const double> bases) {
    return ThroughQuantiles(e, bases, MakeSobolPoints);
}
std::unique_ptr<IDesign> MakeCsv(const TExperiment& e, std::span<const double>) {
    return std::make_unique<TTableDesign>(static_cast<int>(e.factors.size()), e.design.values);
}

}  // namespace

const std::vector<TDesignMethod>& DesignMethods() {
    static const std::vector<TDesignMethod> methods = {
        {"random", false, true, 1, 0, {}, {}, MakeRandom},
        {"lhs", false, true, 1, 0, {}, {}, MakeLhs},
        {"sobol-points", false, true, 1, SobolMaxDimension(), {}, {}, MakeSobol},
        {"csv", true, false, 1, 0, {}, {}, MakeCsv},
        {"local", false, false, 1, 0, {std::begin(LocalKeys), std::end(LocalKeys)},
         {std::begin(LocalTextKeys), std::end(LocalTextKeys)}, MakeSensitivityIDesign, false,
         CheckSensitivitySettings},
        {"morris", false, false, 1, 0, {std::begin(MorrisKeys), std::end(MorrisKeys)}, {},
         MakeSensitivityIDesign, true, CheckSensitivitySettings},
        {"sobol", false, true, 1, SobolMaxDimension() / 2, {std::begin(SobolKeys), std::end(SobolKeys)}, {},
         MakeSensitivityIDesign, true, CheckSensitivitySettings},
    };
    return methods;
}

const TDesignMethod* FindDesignMethod(const std::string& name) {
    for (const TDesignMethod& m : DesignMethods())
        if (name == m.name) return &m;
    return nullptr;
}

std::string DesignMethodNames() {
    std::string list;
    for (const TDesignMethod& m : DesignMethods()) list += (list.empty() ? "" : ", ") + std::string(m.name);
    return list;
}

std::unique_ptr<IDesign> MakeDesign(const TExperiment& e, std::span<const double> bases) {
    const TDesignMethod* m = FindDesignMethod(e.design.method);
    if (!m) throw EExperimentError("unknown design method \"" + e.design.method + "\"");
    return m->make(e, bases);
}

}  // namespace orvane::ensemble
