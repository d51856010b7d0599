// derive_sites: derives the example sites that ship with the workbench.
//
//   derive_sites OUTDIR
//
// Each site is described as an observer would: the vegetation's carbon and
// nitrogen stocks, gross photosynthesis, the net primary production of each
// organ, total soil carbon and nitrogen, humus nitrogen and soil ammonium,
// its climate, and the shape parameters of the model. The steady-state
// calculator turns that into the 20 parameters and 5 soil states that hold
// the site at equilibrium. The program then writes OUTDIR/<site>.par and
// OUTDIR/<site>.drr, a CO2 scenario OUTDIR/temperate-co2.drr, and checks
// each site by reading its files back and running it for 100 years.
//
// Exit status: 0 when every site was derived, written and checked; 1 when a
// derivation or a check failed (the message says which); 2 on a usage error.
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "calc/calculate.h"
#include "io/fileio.h"
#include "model/catalogue.h"
#include "model/equations.h"
#include "model/errors.h"
#include "run/run.h"

namespace {

using namespace orvane;
namespace fs = std::filesystem;

using TValues = std::initializer_list<std::pair<int, double>>;

struct TSite {
    const char* stem;
    const char* title;
    TValues drivers;
    TValues states;       // the 14 observed vegetation and soil stocks
    TValues params;       // site-specific parameters, over CommonParams
    TValues observed;     // Ps, NPPf, NPPw, NPPr, Cst, Nst
};

// Shape parameters shared by both forests, and starting values (any
// positive value does) for the parameters and soil states that the
// calculator derives.
constexpr TValues CommonParams = {
    {pa::aNf, 1}, {pa::Psiw, 1.5}, {pa::Psif, 0.033}, {pa::kappaL, 10}, {pa::Sc, 0.5},
    {pa::aTau, 0.5}, {pa::qu0, 30}, {pa::Unh4max, 0.01}, {pa::knh4, 20},
    {pa::Kcf, 1}, {pa::KCa, 5}, {pa::KCb, 5}, {pa::Kcw, 1}, {pa::Kcr, 1},
    {pa::Knf, 1}, {pa::KNa, 5}, {pa::KNb, 5}, {pa::Knw, 1}, {pa::Knr, 1},
    {pa::aTCF, 30}, {pa::aTCW, 2}, {pa::aTCR, 10}, {pa::aTNF, 15}, {pa::aTNW, 10}, {pa::aTNR, 20},
    {pa::gCFm, 4}, {pa::kGCF, 10}, {pa::aGCF, 1}, {pa::bGCF, 20},
    {pa::gCWm, 0.05}, {pa::kGCW, 10}, {pa::aGCW, 2}, {pa::bGCW, 100},
    {pa::gCRm, 2}, {pa::kGCR, 10}, {pa::aGCR, 1}, {pa::bGCR, 40},
    {pa::gNFm, 0.1}, {pa::kGNF, 10}, {pa::aGNF, 1}, {pa::bGNF, 5},
    {pa::gNWm, 0.0001}, {pa::kGNW, 10}, {pa::aGNW, 2}, {pa::bGNW, 50},
    {pa::gNRm, 0.03}, {pa::kGNR, 10}, {pa::aGNR, 1}, {pa::bGNR, 20},
    {pa::h1, 20}, {pa::h2, 0.6},
    {pa::AlambdaF, 1}, {pa::sigmaF, 1.25}, {pa::AlambdaW, 0.02}, {pa::sigmaW, 1.25},
    {pa::AlambdaR, 0.3}, {pa::sigmaR, 1.25},
    {pa::rm, 10}, {pa::aWR, 0.5}, {pa::rg, 0.25}, {pa::gammar, 0.1}, {pa::Trmax, 45},
    {pa::Tropt, 25},
    {pa::Q10d, 2}, {pa::Ase, 0.01}, {pa::Aei, 0.001}, {pa::Aie, 0.0002}, {pa::Aih, 0.0001},
    {pa::beta, 0.5}, {pa::Ah, 0.0001}, {pa::qI, 20}, {pa::VImax, 0.005}, {pa::kIm, 20},
    {pa::Wdmin, 50}, {pa::Wdopt, 100}, {pa::JdWmax, 0.5}, {pa::phiD, 1},
    {pa::p, 0.05}, {pa::Ep, 0.6}, {pa::etanh4, 50}, {pa::Nnh4mx, 3e-6},
    {pa::rho, 1.3e6}, {pa::z, 0.5},
};

constexpr TValues CommonSoilStart = {
    {st::Cs, 150}, {st::Ce, 1500}, {st::Ci, 8000}, {st::Ch, 8000}, {st::Na, 300}};

// A temperate deciduous forest at 42.5 degrees north: LAI 5, 12.4 kg C m-2
// in vegetation, 14 kg C m-2 in soil, GPP 1450 and NPP 770 gC m-2 yr-1.
const TSite Temperate = {
    "temperate",
    "temperate deciduous forest",
    {{dr::Ca, 370}, {dr::Tamax, 20}, {dr::Tamin, 8}, {dr::I, 16}, {dr::Ppt, 1.1},
     {dr::Dnh4, 0.6}, {dr::Sp, 165}, {dr::Ss, 165}},
    {{st::Cf, 230}, {st::Cw, 11000}, {st::Cr, 1000}, {st::Nf, 10}, {st::Nw, 40}, {st::Nr, 20},
     {st::Clf, 25}, {st::Clw, 550}, {st::Clr, 100}, {st::Nlf, 1.1}, {st::Nlw, 4.5},
     {st::Nlr, 2}, {st::Nh, 550}, {st::Nnh4, 1.2}},
    {{pa::Deltad, 42.5}, {pa::daymid, 172}, {pa::mf, 46}, {pa::Ww, 0.08}, {pa::Wf, 0.25}},
    {{pr::Ps, 1500}, {pr::NPPf, 230}, {pr::NPPw, 280}, {pr::NPPr, 350}, {pr::Cst, 14000},
     {pr::Nst, 850}},
};

// A boreal conifer forest at 61 degrees north: evergreen needles living five
// years, LAI 5, 6.9 kg C m-2 in vegetation, 18 kg C m-2 in an organic-rich
// soil, GPP 800 and NPP 360 gC m-2 yr-1; cold, dry and nitrogen-poor.
const TSite Boreal = {
    "boreal",
    "boreal conifer forest",
    {{dr::Ca, 370}, {dr::Tamax, 13}, {dr::Tamin, 1}, {dr::I, 13}, {dr::Ppt, 0.6},
     {dr::Dnh4, 0.15}, {dr::Sp, 120}, {dr::Ss, 120}},
    {{st::Cf, 550}, {st::Cw, 5200}, {st::Cr, 800}, {st::Nf, 11}, {st::Nw, 13}, {st::Nr, 14},
     {st::Clf, 45}, {st::Clw, 280}, {st::Clr, 70}, {st::Nlf, 0.9}, {st::Nlw, 1.6},
     {st::Nlr, 1.2}, {st::Nh, 500}, {st::Nnh4, 0.4}},
    {{pa::Deltad, 61}, {pa::daymid, 182}, {pa::mf, 110}, {pa::Ww, 0.06}, {pa::Wf, 0.2},
     {pa::kappaL, 8}, {pa::aTau, 0.6}, {pa::qu0, 40}, {pa::h1, 15}, {pa::Q10d, 2.2},
     {pa::Ase, 0.008}, {pa::Aei, 0.0008}, {pa::Aie, 0.00015}, {pa::Aih, 0.00008},
     {pa::Wdmin, 40}, {pa::Wdopt, 90}, {pa::Ep, 0.35}, {pa::rho, 1.1e6}, {pa::z, 0.4},
     {pa::AlambdaF, 0.2}},
    {{pr::Ps, 800}, {pr::NPPf, 110}, {pr::NPPw, 100}, {pr::NPPr, 150}, {pr::Cst, 18000},
     {pr::Nst, 720}},
};

template <class Array>
void Apply(Array& a, TValues values) {
    for (auto [i, v] : values) a[i].value = v;
}

void Enter(TSteadyStateCalc& calc, const TSite& site) {
    for (auto [i, v] : site.observed) calc.ChangeValue(KindProcess, i, v);
}

// The model's own equations agree with the calculator's simplified forms
// only for such a site; otherwise the result is not an exact steady state.
void CheckModelFacts(const TValueSet& s) {
    auto par = [&](int i) { return s.Params[i].value; };
    auto sta = [&](int i) { return s.States[i].value; };
    if (s.Drivers[dr::Sp].value != s.Drivers[dr::Ss].value)
        throw EOrvaneError("the plant and soil season lengths differ");
    if (s.Processes[pr::Csw].value != sta(st::Cw)) throw EOrvaneError("not all wood is sapwood");
    const struct { const char* organ; int C, N, gC, gN, bC, bN; } organs[] = {
        {"foliage", st::Cf, st::Nf, pa::gCFm, pa::gNFm, pa::bGCF, pa::bGNF},
        {"wood", st::Cw, st::Nw, pa::gCWm, pa::gNWm, pa::bGCW, pa::bGNW},
        {"roots", st::Cr, st::Nr, pa::gCRm, pa::gNRm, pa::bGCR, pa::bGNR}};
    for (const auto& o : organs) {
        const double target = (par(o.gC) * par(o.bN)) / (par(o.gN) * par(o.bC));
        if (!(sta(o.C) / sta(o.N) > target))
            throw EOrvaneError(std::string("metabolic respiration of ") + o.organ +
                           " is not on its nitrogen branch");
    }
}

TValueSet Derive(TGlobals& g, const TSite& site) {
    Apply(g.Drivers, site.drivers);
    Apply(g.Params, CommonParams);
    Apply(g.Params, site.params);
    Apply(g.States, CommonSoilStart);
    Apply(g.States, site.states);
    g.CalcFormShowing = true;
    TSteadyStateCalc calc(g);
    calc.TakeFromModel();
    calc.EvaluateStart();
    // One pass is exact unless a starting value moved a branch of the model;
    // a second pass from the derived values settles that.
    for (int pass = 1; pass <= 3; ++pass) {
        Enter(calc, site);
        calc.Recalculate();
        if (calc.DerivativesSteady()) break;
    }
    g.CalcFormShowing = false;
    for (int i = 1; i <= g.ModelDef.numparam; ++i)
        if (!IsValidValue(calc.ShownSet.Params[i].value))
            throw EOrvaneError(std::string("derived parameter ") + std::string(g.Params[i].symbol) +
                           " is negative");
    for (int i = 1; i <= g.ModelDef.numstate; ++i)
        if (!IsValidValue(calc.ShownSet.States[i].value))
            throw EOrvaneError(std::string("derived state ") + std::string(g.States[i].symbol) +
                           " is negative");
    if (!calc.DerivativesSteady()) throw EOrvaneError("the derived site is not at steady state");
    CheckModelFacts(calc.ShownSet);
    return calc.ShownSet;
}

void WriteDrivers(TGlobals& g, const fs::path& path, std::initializer_list<std::pair<double, double>> co2) {
    const int n = g.ModelDef.numdrive;
    OpenDriverFile(g, path.string(), n, g.Drivers, true);
    drivearray row = g.Drivers;
    for (auto [time, ca] : co2) {
        row[dr::Ca].value = ca;
        WriteDriverRow(g, time, n, row);
    }
    CloseDriverFile(g);
}

double LargestDerivative(const processarray& p, int numstate) {
    double largest = 0;
    for (int i = 1; i <= numstate; ++i) largest = std::fmax(largest, std::fabs(p[i].value));
    return largest;
}

// Reads the files back as the workbench would and runs them.
void CheckFiles(const fs::path& par, const fs::path& drr, double years, const fs::path& scratch,
                const char* label) {
    TGlobals g;
    InitialiseGlobals(g);
    double residual = 0;
    if (!ReadParamFile(g, par.string(), g.ModelDef.numparam, g.Params, g.ModelDef.numstate,
                       g.States, residual))
        throw EOrvaneError("cannot read back " + par.string());
    const statearray start = g.States;
    g.DriverFileName = drr.string();
    g.OutputFileName = scratch.string();
    g.StartTime = 0;
    g.StopTime = years;
    g.TimeStep = 1;
    g.OutputStep = years;
    g.PrevDriverTime = g.NextDriverTime = 0;
    OpenDriverFile(g, g.DriverFileName, g.ModelDef.numdrive, g.Drivers, false);
    GetDrivers(g, g.Drivers, 0);
    CloseDriverFile(g);
    statearray states = g.States;
    processarray processes = g.Processes;
    EvaluateModel(g.Drivers, g.Params, states, 0, processes, false);
    const TRunResult run = RunSimulation(g, nullptr);
    fs::remove(scratch);
    if (!run.ok) throw EOrvaneError(std::string(label) + ": the run failed: " + run.message);
    double drift = 0;
    int worst = 1;
    for (int i = 1; i <= g.ModelDef.numstate; ++i) {
        const double d = std::fabs(g.States[i].value - start[i].value) / std::fabs(start[i].value);
        if (d > drift) drift = d, worst = i;
    }
    std::printf("  %s: largest |derivative| at the start %.3g; after %g years the largest "
                "relative change of a state is %.3g (%s)\n",
                label, LargestDerivative(processes, g.ModelDef.numstate), years, drift,
                std::string(g.States[worst].symbol).c_str());
}

void Describe(const TSite& site, const TValueSet& s, const TModelDef& m) {
    auto pro = [&](int i) { return s.Processes[i].value; };
    std::printf("%s (%s)\n", site.stem, site.title);
    std::printf("  GPP %.0f, NPP %.0f, plant respiration %.0f, soil respiration %.0f gC m-2 yr-1; "
                "LAI %.2f; soil C:N %.1f; leaching %.3g gN m-2 yr-1\n",
                pro(pr::Ps), pro(pr::NPPt), pro(pr::Rpt), pro(pr::Rst),
                s.States[st::Cf].value / s.Params[pa::mf].value, pro(pr::Cst) / pro(pr::Nst),
                pro(pr::Qnh4));
    std::printf("  derived:");
    int n = 0;
    for (int i : {pa::AlambdaF, pa::AlambdaW, pa::AlambdaR, pa::Sc, pa::rm, pa::gCFm, pa::gCWm,
                  pa::gCRm, pa::aTCF, pa::aTCR, pa::gNFm, pa::gNWm, pa::gNRm, pa::aTNF, pa::aTNR,
                  pa::Ah, pa::qI, pa::Nnh4mx, pa::Unh4max, pa::VImax})
        std::printf("%s %s %.6g", n++ % 5 ? "," : "\n   ", std::string(s.Params[i].symbol).c_str(),
                    s.Params[i].value);
    for (int i : {st::Cs, st::Ce, st::Ci, st::Ch, st::Na})
        std::printf("%s %s %.6g", n++ % 5 ? "," : "\n   ", std::string(s.States[i].symbol).c_str(),
                    s.States[i].value);
    std::printf("\n  largest |derivative| of the derived site: %.3g\n",
                LargestDerivative(s.Processes, m.numstate));
}

void Run(const fs::path& outdir) {
    const fs::path scratch = fs::temp_directory_path() / "derive_sites_check.out";
    for (const TSite* site : {&Temperate, &Boreal}) {
        TGlobals g;
        InitialiseGlobals(g);
        const TValueSet derived = Derive(g, *site);
        CopySetToModel(g, derived);
        Describe(*site, derived, g.ModelDef);

        const fs::path par = outdir / (std::string(site->stem) + ".par");
        const fs::path drr = outdir / (std::string(site->stem) + ".drr");
        WriteParamFile(g, par.string(), g.ModelDef.numparam, g.Params, g.ModelDef.numstate,
                       g.States, 0);
        const double ca = g.Drivers[dr::Ca].value;
        WriteDrivers(g, drr, {{0, ca}});
        CheckFiles(par, drr, 100, scratch, "constant climate");

        if (site == &Temperate) {
            // CO2 from the site's level to nearly double over 200 years,
            // accelerating; each row after the first is reached by linear
            // interpolation (negative time).
            const fs::path co2 = outdir / "temperate-co2.drr";
            WriteDrivers(g, co2,
                         {{0, ca}, {-25, 385}, {-50, 405}, {-75, 432}, {-100, 468},
                          {-125, 512}, {-150, 562}, {-175, 616}, {-200, 680}});
            CheckFiles(par, co2, 200, scratch, "rising CO2");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: derive_sites OUTDIR\n");
        return 2;
    }
    try {
        const fs::path outdir = argv[1];
        if (!fs::is_directory(outdir)) throw EOrvaneError(outdir.string() + " is not a directory");
        Run(outdir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "derive_sites: %s\n", e.what());
        return 1;
    }
    return 0;
}
