// A member of the site: the same numbers as a plain run of its values, the
// steady-state step as the window's Monte Carlo mode takes it, and result
// files that read as they should, byte for byte the same every time.
#include <gtest/gtest.h>

#include <netcdf.h>

#include <bit>
#include <cmath>

#include "calc/calc_fields.h"
#include "ensemble/ensemble_run.h"
#include "ensemble/site.h"
#include "ensemble_support.h"
#include "io/fileio.h"
#include "model/catalogue.h"
#include "run/runloop.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

const std::string Outputs = "[outputs]\nvariables = [\"NPPt\", \"Cw\", \"Ca\", \"dNnh4dt\"]\ntimes = [0, 7, 30]\n";

std::string Factor(const char* kind, const char* symbol, double min, double max, const char* extra = "") {
    return std::string("[[factor]]\nkind = \"") + kind + "\"\nsymbol = \"" + symbol +
           "\"\ndistribution = \"uniform\"\nmin = " + std::to_string(min) + "\nmax = " + std::to_string(max) + "\n" + extra;
}

// The run of given values done by hand: the site's files read afresh, the
// values set, the drivers scaled, and the run into memory.
std::vector<double> PlainRun(const TExperiment& e, const TGlobals& start, double co2Scale) {
    TGlobals g;
    InitialiseGlobals(g);
    g.States = start.States;
    g.Params = start.Params;
    g.StopTime = e.stop;
    TDriverTable table = TDriverTable::Read(e.driverFile, g.ModelDef.numdrive);
    table.ScaleColumn(dr::Ca, co2Scale);
    TDriverCursor cursor(table, g.NextDrivers);
    cursor.Restart();
    TTableDriverSource source(cursor);
    std::vector<TRowVariable> vars;
    for (const auto& o : e.outputs) vars.push_back(o.var);
    std::vector<double> out(vars.size() * 3);
    TMemorySink sink(vars.data(), static_cast<int>(vars.size()), e.keepRow.data(), e.runRows, out.data(), 3);
    RunSteps(g, source, sink, nullptr);
    return out;
}

void ExpectBitEqual(const std::vector<double>& a, const std::vector<double>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(std::bit_cast<uint64_t>(a[i]), std::bit_cast<uint64_t>(b[i])) << "output " << i;
}

TEST(Member, EqualsAPlainRunOfItsValues) {
    TScratch dir;
    const TExperiment e = ReadExperiment(dir.Write("e.toml", SiteAndRun(30) +
        Factor("state", "Cw", 9000, 12000) + Factor("parameter", "Q10d", 1.5, 2.5) +
        Factor("driver", "Ca", 0.9, 1.1) + "[design]\nmethod = \"random\"\nmembers = 2\n" + Outputs));
    const auto site = LoadSite(e);
    TSiteMember member(e, *site);
    std::vector<double> out(12);
    for (const std::vector<double>& values : {std::vector<double>{10500, 2.2, 1.07}, {9100, 1.6, 0.93}}) {
        ASSERT_TRUE(member.Run(values, out).Ok());
        TGlobals start;
        InitialiseGlobals(start);
        double residual = 0;
        ASSERT_TRUE(ReadParamFile(start, e.parameterFile, start.ModelDef.numparam, start.Params,
                                  start.ModelDef.numstate, start.States, residual));
        start.States[st::Cw].value = values[0];
        start.Params[pa::Q10d].value = values[1];
        ExpectBitEqual(out, PlainRun(e, start, values[2]));
        EXPECT_EQ(out[6], 370 * values[2]);  // CO2 at the start, scaled
    }
}

TEST(Member, SteadyStateStepAsTheWindowTakesIt) {
    TScratch dir;
    const TExperiment e = ReadExperiment(dir.Write("e.toml", SiteAndRun(30) + "[steady_state]\npasses = 2\n" +
        Factor("process", "Ps", 1000, 2000) + Factor("parameter", "Q10d", 1.5, 2.5) +
        "[design]\nmethod = \"random\"\nmembers = 2\n" + Outputs));
    const auto site = LoadSite(e);
    EXPECT_NEAR(site->factorBase[0], 1500, 1e-9);  // the opening evaluation's photosynthesis
    TSiteMember member(e, *site);
    std::vector<double> out(12);

    // Derived by hand: the calculator opened on the site, the two entries,
    // two calculations; then the run from what it shows.
    TGlobals g;
    InitialiseGlobals(g);
    g.States = site->base.States;
    g.Params = site->base.Params;
    g.CalcFormShowing = true;
    TSteadyStateCalc calc(g);
    TDriverCursor cursor(site->drivers, g.NextDrivers);
    calc.OpenFromTable(cursor);
    calc.EvaluateStart();
    calc.ChangeValue(KindProcess, pr::Ps, 1600);
    calc.ChangeValue(KindParam, pa::Q10d, 2.1);
    calc.Recalculate();
    calc.Recalculate();
    ASSERT_TRUE(calc.DerivativesSteady());
    TGlobals start;
    start.States = calc.ShownSet.States;
    start.Params = calc.ShownSet.Params;
    ASSERT_TRUE(member.Run(std::vector<double>{1600, 2.1}, out).Ok());
    ExpectBitEqual(out, PlainRun(e, start, 1.0));
    EXPECT_NEAR(out[9], 0, 1e-8);  // at steady state at the start

    // Photosynthesis below production: the solver's own message.
    const TMemberOutcome low = member.Run(std::vector<double>{500, 2.1}, out);
    EXPECT_EQ(low.kind, TFailKind::SteadyState);
    EXPECT_EQ(low.message, std::string(MsgCalcFailed) + MsgCalcNewValue + MsgPlantRespNegative);
    // And the next member is not disturbed by the failure before it.
    std::vector<double> again(12);
    ASSERT_TRUE(member.Run(std::vector<double>{1600, 2.1}, again).Ok());
    ExpectBitEqual(again, PlainRun(e, start, 1.0));
}

TEST(Member, InvalidShownValueIsNoSteadyState) {
    TScratch dir;
    // Values from a design file; a negative entry shows as invalid.
    dir.Write("sets.csv", "parameter:aGCF\r\n-1\r\n1\r\n");
    const TExperiment e = ReadExperiment(dir.Write("e.toml", SiteAndRun(5) + "[steady_state]\n" +
        "[[factor]]\nkind = \"parameter\"\nsymbol = \"aGCF\"\n" +
        "[design]\nmethod = \"csv\"\nfile = \"sets.csv\"\n[outputs]\nvariables = [\"Cw\"]\n"));
    ASSERT_EQ(e.design.values, (std::vector<double>{-1, 1}));
    const auto site = LoadSite(e);
    TSiteMember member(e, *site);
    std::vector<double> out(6);
    const TMemberOutcome r = member.Run(std::vector<double>{-1}, out);
    EXPECT_EQ(r.kind, TFailKind::SteadyState);
    EXPECT_EQ(r.message, MsgInvalidSteadyState);
    EXPECT_TRUE(member.Run(std::vector<double>{1}, out).Ok());

    // A design file's mistakes name its line.
    dir.Write("bad.csv", "aGCF\r\n1\r\nx\r\n");
    std::string text = ReadBytes(dir.File("e.toml"));
    text.replace(text.find("sets.csv"), 8, "bad.csv");
    try {
        ReadExperiment(dir.Write("b.toml", text));
        ADD_FAILURE() << "no error";
    } catch (const EExperimentError& err) {
        EXPECT_EQ(err.Message(), dir.File("bad.csv") + ":3: \"x\" (factor aGCF) is not a finite number");
    }
}

std::string NcText(int nc, int var, const char* name) {
    std::size_t len = 0;
    if (nc_inq_attlen(nc, var, name, &len) != NC_NOERR) return "";
    std::string s(len, '\0');
    nc_get_att_text(nc, var, name, s.data());
    return s;
}

TEST(Member, ResultFilesReadBackAndRepeatByteForByte) {
    TScratch dir;
    const std::string path = dir.Write("e.toml", SiteAndRun(30) + "[steady_state]\n" +
        Factor("process", "Ps", 700, 2000) + Factor("driver", "Dnh4", -0.1, 0.1, "apply = \"offset\"\n") +
        "[design]\nmethod = \"lhs\"\nmembers = 24\nseed = 3\n" + Outputs);
    const TExperiment e = ReadExperiment(path);
    TEnsembleOptions o;
    o.outDir = dir.File("a");
    const TEnsembleOutcome a = RunEnsemble(e, o);
    o.outDir = dir.File("b");
    o.threads = 1;
    RunEnsemble(e, o);
    for (const char* f : {"members.csv", "summary.csv", "trajectories.nc"})
        EXPECT_TRUE(ReadBytes(dir.File(std::string("a/") + f)) == ReadBytes(dir.File(std::string("b/") + f))) << f;
    ASSERT_GT(a.counts.Failed(), 0u);  // low photosynthesis cannot feed the production
    ASSERT_GT(a.counts.ok, 0u);

    int nc = 0;
    ASSERT_EQ(nc_open(dir.File("a/trajectories.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
    int format = 0;
    nc_inq_format(nc, &format);
    EXPECT_EQ(format, NC_FORMAT_64BIT_OFFSET);
    int dim = 0;
    std::size_t n = 0;
    nc_inq_dimid(nc, "member", &dim);
    nc_inq_dimlen(nc, dim, &n);
    EXPECT_EQ(n, 24u);
    nc_inq_dimid(nc, "time", &dim);
    nc_inq_dimlen(nc, dim, &n);
    EXPECT_EQ(n, 3u);
    int var = 0;
    ASSERT_EQ(nc_inq_varid(nc, "time", &var), NC_NOERR);
    double times[3];
    nc_get_var_double(nc, var, times);
    EXPECT_EQ(times[2], 30);
    ASSERT_EQ(nc_inq_varid(nc, "Cw", &var), NC_NOERR);
    EXPECT_EQ(NcText(nc, var, "units"), "gC m-2ground");
    EXPECT_EQ(NcText(nc, var, "long_name"), "Wood Carbon");
    std::vector<double> cw(24 * 3);
    nc_get_var_double(nc, var, cw.data());
    ASSERT_EQ(nc_inq_varid(nc, "factor_Dnh4", &var), NC_NOERR);
    EXPECT_EQ(NcText(nc, var, "long_name"), "NH4 Deposition (offset)");
    int statusVar = 0;
    ASSERT_EQ(nc_inq_varid(nc, "status", &statusVar), NC_NOERR);
    signed char status[24];
    nc_get_var_schar(nc, statusVar, status);
    std::size_t ok = 0;
    for (int i = 0; i < 24; ++i) {
        ok += status[i] == 1;
        // A failed member's trajectory is missing, a good one's is there.
        EXPECT_EQ(std::isnan(cw[static_cast<std::size_t>(i) * 3]), status[i] == 0) << i;
    }
    EXPECT_EQ(ok, a.counts.ok);
    EXPECT_EQ(NcText(nc, NC_GLOBAL, "Conventions"), "CF-1.8");
    EXPECT_EQ(NcText(nc, NC_GLOBAL, "integrator"), "Runge-Kutta, tolerance 1E-8");
    nc_close(nc);
}

// Members integrated by CVODE follow those of the Runge-Kutta integrator,
// and the results say which one made them.
TEST(Member, CvodeMembersFollowTheRungeKuttaOnes) {
    TScratch dir;
    const std::string body = Factor("parameter", "Q10d", 1.5, 2.5) + Factor("driver", "Ca", 0.9, 1.1) +
                             "[design]\nmethod = \"random\"\nmembers = 3\n" + Outputs;
    const TExperiment rk = ReadExperiment(dir.Write("rk.toml", SiteAndRun(30) + body));
    const TExperiment cv = ReadExperiment(
        dir.Write("cv.toml", SiteAndRun(30) + "integrator = \"cvode\"\nrtol = 1e-10\n" + body));
    EXPECT_EQ(cv.integrator.kind, TIntegratorKind::Cvode);
    EXPECT_EQ(cv.integrator.rtol, 1e-10);
    EXPECT_EQ(cv.integrator.atol, TIntegratorChoice{}.atol);
    const auto site = LoadSite(rk);
    TSiteMember rkMember(rk, *site);
    TSiteMember cvMember(cv, *site);
    std::vector<double> a(12), b(12);
    for (const std::vector<double>& values : {std::vector<double>{2.2, 1.07}, {1.6, 0.93}}) {
        ASSERT_TRUE(rkMember.Run(values, a).Ok());
        ASSERT_TRUE(cvMember.Run(values, b).Ok());
        for (std::size_t i = 0; i < a.size(); ++i)
            EXPECT_NEAR(b[i], a[i], 1e-8 * std::max(1.0, std::fabs(a[i]))) << "output " << i;
    }
    TEnsembleOptions o;
    o.outDir = dir.File("out");
    ASSERT_EQ(RunEnsemble(cv, o).counts.ok, 3u);
    int nc = 0;
    ASSERT_EQ(nc_open(dir.File("out/trajectories.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
    EXPECT_EQ(NcText(nc, NC_GLOBAL, "integrator"), "CVODE BDF, rtol 1E-10, atol 1E-11");
    nc_close(nc);
}

}  // namespace
}  // namespace orvane::ensemble
