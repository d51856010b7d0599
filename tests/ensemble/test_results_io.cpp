// Experiment files written back as the reader takes them, and result
// folders read back as the ensemble wrote them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "ensemble/base_run.h"
#include "ensemble/ensemble_run.h"
#include "ensemble/experiment_write.h"
#include "ensemble/results_read.h"
#include "ensemble/summary.h"
#include "ensemble_support.h"
#include "obs/csvtext.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

std::string Canonical(const std::string& p) { return std::filesystem::weakly_canonical(p).string(); }

// Every setting the file holds (the hash names the file's bytes, so it differs).
void ExpectSameExperiment(const TExperiment& a, const TExperiment& b) {
    EXPECT_EQ(Canonical(a.parameterFile), Canonical(b.parameterFile));
    EXPECT_EQ(Canonical(a.driverFile), Canonical(b.driverFile));
    EXPECT_EQ(a.start, b.start);
    EXPECT_EQ(a.stop, b.stop);
    EXPECT_EQ(a.step, b.step);
    EXPECT_EQ(a.outputStep, b.outputStep);
    EXPECT_EQ(a.integrator.kind, b.integrator.kind);
    EXPECT_EQ(a.integrator.rtol, b.integrator.rtol);
    EXPECT_EQ(a.integrator.atol, b.integrator.atol);
    EXPECT_EQ(a.steadyState, b.steadyState);
    EXPECT_EQ(a.atTime, b.atTime);
    EXPECT_EQ(a.passes, b.passes);
    ASSERT_EQ(a.factors.size(), b.factors.size());
    for (std::size_t i = 0; i < a.factors.size(); ++i) {
        const TFactor& x = a.factors[i];
        const TFactor& y = b.factors[i];
        EXPECT_EQ(x.kind, y.kind) << i;
        EXPECT_EQ(x.symbol, y.symbol) << i;
        EXPECT_EQ(x.index, y.index) << i;
        EXPECT_EQ(x.hasDistribution, y.hasDistribution) << i;
        EXPECT_EQ(x.dist.kind, y.dist.kind) << i;
        EXPECT_EQ(x.dist.a, y.dist.a) << i;
        EXPECT_EQ(x.dist.b, y.dist.b) << i;
        EXPECT_EQ(x.dist.c, y.dist.c) << i;
        EXPECT_EQ(x.dist.d, y.dist.d) << i;
        EXPECT_EQ(x.apply, y.apply) << i;
    }
    EXPECT_EQ(a.design.method, b.design.method);
    EXPECT_EQ(a.design.members, b.design.members);
    EXPECT_EQ(a.design.seed, b.design.seed);
    EXPECT_EQ(a.design.file.empty(), b.design.file.empty());
    if (!a.design.file.empty()) {
        EXPECT_EQ(Canonical(a.design.file), Canonical(b.design.file));
    }
    EXPECT_EQ(a.design.values, b.design.values);
    EXPECT_EQ(a.design.numbers, b.design.numbers);
    EXPECT_EQ(a.design.text, b.design.text);
    ASSERT_EQ(a.outputs.size(), b.outputs.size());
    for (std::size_t i = 0; i < a.outputs.size(); ++i) {
        EXPECT_EQ(a.outputs[i].symbol, b.outputs[i].symbol);
        EXPECT_EQ(a.outputs[i].var.part, b.outputs[i].var.part);
        EXPECT_EQ(a.outputs[i].var.index, b.outputs[i].var.index);
    }
    EXPECT_EQ(a.outputTimes, b.outputTimes);
    EXPECT_EQ(a.keepRow, b.keepRow);
}

TEST(ExperimentWrite, ReadsBackAsTheSameExperiment) {
    TScratch dir;
    // The shipped example, written into another folder (absolute site paths).
    const TExperiment shipped = ReadExperiment(ExampleDir + "/temperate-co2-uncertainty.toml");
    const std::string copy = dir.File("copy.toml");
    WriteExperiment(shipped, copy);
    ExpectSameExperiment(shipped, ReadExperiment(copy));

    // Numbers that text easily spoils, a driver offset, an ambiguous output,
    // listed output times, a design from a file beside the experiment.
    dir.Write("sets.csv", "Q10d,Sp\n1.5,0.1\n2,-0.2\n2.5,0\n");
    const std::string path = dir.Write("odd.toml",
        "[site]\nparameters = \"" + ExampleDir + "/temperate.par\"\ndrivers = \"" + ExampleDir +
        "/temperate-co2.drr\"\n[run]\nstop = 10\nstep = 0.5\noutput_step = 0.5\n"
        "integrator = \"cvode\"\nrtol = 1e-9\n"
        "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\n"
        "min = 0.1\nmax = 12345678901234567890.0\n"
        "[[factor]]\nkind = \"driver\"\nsymbol = \"Sp\"\ndistribution = \"normal\"\nmean = -1e-300\n"
        "sd = 0.30000000000000004\napply = \"offset\"\n"
        "[design]\nmethod = \"csv\"\nfile = \"sets.csv\"\nseed = 18446744073709551\n"
        "[outputs]\nvariables = [\"process:Sp\", \"Cw\"]\ntimes = [0, 2.5, 10]\n");
    const TExperiment odd = ReadExperiment(path);
    EXPECT_EQ(odd.outputTimes.size(), 3u);
    EXPECT_EQ(odd.integrator.kind, TIntegratorKind::Cvode);
    const std::string again = dir.File("again.toml");
    WriteExperiment(odd, again);
    const std::string written = ReadBytes(again);
    EXPECT_NE(written.find("file = \"sets.csv\""), std::string::npos) << written;
    EXPECT_NE(written.find("\"process:Sp\", \"Cw\""), std::string::npos) << written;
    ExpectSameExperiment(odd, ReadExperiment(again));
}

TEST(ExperimentWrite, TheSameFilesNamedAnotherWayAreTheSameExperiment) {
    TScratch dir;
    const std::string path = dir.File("copy.toml");
    WriteExperiment(ReadExperiment(ExampleDir + "/temperate-co2-uncertainty.toml"), path);
    const std::string relative = std::filesystem::relative(path).string();
    ASSERT_NE(relative.size(), path.size());
    EXPECT_EQ(ReadExperiment(relative).hash, ReadExperiment(path).hash);
}

TEST(ExperimentWrite, AComplaintPointsBackAtItsSetting) {
    TScratch dir;
    TExperiment e = ReadExperiment(ExampleDir + "/temperate-co2-uncertainty.toml");
    e.factors[5].dist.c = 1.0;  // Q10d triangular: max below min
    const std::string path = dir.File("bad.toml");
    std::vector<TSettingPlace> places;
    dir.Write("bad.toml", ExperimentText(e, path, &places));
    try {
        ReadExperiment(path);
        FAIL() << "reversed bounds were read";
    } catch (const EExperimentError& err) {
        const TExperimentComplaint c = SplitComplaint(err.what(), path);
        EXPECT_EQ(c.reason, "the bounds of parameter Q10d are in the wrong order: \"min\" must be less than \"max\"");
        const auto at = std::find_if(places.begin(), places.end(), [&](const TSettingPlace& p) { return p.line == c.line; });
        ASSERT_NE(at, places.end());
        EXPECT_EQ(at->table, "factor");
        EXPECT_EQ(at->factor, 5);
        EXPECT_EQ(at->key, "max");
    }
    EXPECT_EQ(SplitComplaint("no line here", path).line, 0);
    EXPECT_EQ(SplitComplaint(path + ": needs a [site]", path).reason, "needs a [site]");
}

TEST(ResultsRead, FilesOfAnEnsembleAgreeWithEachOther) {
    TScratch dir;
    std::string text = SiteAndRun(2);
    for (const char* s : {"Q10d", "beta", "kIm"}) {
        text += std::string("[[factor]]\nkind = \"parameter\"\nsymbol = \"") + s +
                "\"\ndistribution = \"uniform\"\nmin = -3.14\nmax = 3.14\n";
    }
    text += "[design]\nmethod = \"lhs\"\nmembers = 40\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n";
    const TExperiment e = ReadExperiment(dir.Write("e.toml", text));
    TEnsembleOptions o;
    o.outDir = dir.File("out");
    o.factory = [&e] { return std::make_unique<TIshigami>(e.Variables(), e.Times(), 2.0); };
    const TEnsembleOutcome run = RunEnsemble(e, o);
    ASSERT_GT(run.counts.Failed(), 0u);

    const TTrajectoriesInfo info = ReadTrajectoriesInfo(dir.File("out/trajectories.nc"));
    EXPECT_EQ(info.members, 40u);
    EXPECT_EQ(info.design, "lhs");
    EXPECT_EQ(info.experiment, "e.toml");
    EXPECT_EQ(info.times, (std::vector<double>{0, 1, 2}));
    ASSERT_EQ(info.variables.size(), 2u);
    EXPECT_EQ(info.variables[1].symbol, "Cw");
    EXPECT_EQ(info.variables[1].units, "gC m-2ground");

    const TMembersFile members = ReadMembersFile(dir.File("out/members.csv"), {"NPPt", "Cw"});
    EXPECT_EQ(members.factors, (std::vector<std::string>{"Q10d", "beta", "kIm"}));
    ASSERT_EQ(members.rows.size(), 40u);
    EXPECT_EQ(members.Failed(), run.counts.Failed());
    std::vector<double> last;
    for (const TMemberRow& m : members.rows) {
        if (m.ok) last.push_back(m.outputs[1]);
        else EXPECT_EQ(m.message.rfind("x1 too large", 0), 0u) << m.message;
    }
    std::vector<double> slice = ReadTrajectorySlice(dir.File("out/trajectories.nc"), "Cw", 2);
    EXPECT_EQ(slice, last);  // bit for bit, through text and through netCDF

    const std::vector<TSummaryRow> summary = ReadSummaryFile(dir.File("out/summary.csv"));
    EXPECT_EQ(SummaryVariables(summary), (std::vector<std::string>{"NPPt", "Cw"}));
    ASSERT_EQ(summary.size(), 6u);
    const TSliceStats s = SliceStats(slice);
    EXPECT_EQ(summary[5].time, 2);
    EXPECT_EQ(summary[5].n, s.n);
    EXPECT_EQ(summary[5].q05, s.q05);
    EXPECT_EQ(summary[5].q95, s.q95);
    EXPECT_THROW(ReadTrajectorySlice(dir.File("out/trajectories.nc"), "Cw", 3), EInOutError);
}

TEST(ResultsRead, QuotedMessagesEmptyFieldsAndMistakes) {
    TScratch dir;
    const std::string m = dir.Write("members.csv",
        "member,status,message,Ps,Ps\r\n0,ok,,1500,3.5\r\n1,failed,\"no steady state, \"\"again\"\"\r\nline two\",1400,\r\n");
    const TMembersFile f = ReadMembersFile(m, {"Ps"});
    ASSERT_EQ(f.rows.size(), 2u);
    EXPECT_EQ(f.rows[1].message, "no steady state, \"again\"\nline two");
    EXPECT_EQ(f.rows[1].factors, std::vector<double>{1400});
    EXPECT_TRUE(std::isnan(f.rows[1].outputs[0]));
    EXPECT_THROW(ReadMembersFile(m, {"Cw"}), ETableFileError);

    const std::string i = dir.Write("indices.csv",
        "method,output,time,factor,index,value,lower,upper\r\nsobol,Cw,10,Ps,S1,0.25,0.1,0.4\r\n"
        "local,Cw,,Ps,L1,3,,\r\n");
    const std::vector<TIndexRow> rows = ReadIndicesFile(i);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].upper, 0.4);
    EXPECT_TRUE(std::isnan(rows[1].time));
    EXPECT_TRUE(std::isnan(rows[1].lower));

    try {
        ReadSummaryFile(dir.Write("summary.csv", "variable,time,n,mean\r\n"));
        FAIL();
    } catch (const ETableFileError& err) {
        EXPECT_EQ(std::string(err.what()), dir.File("summary.csv") + ":1:1: the header has no column \"sd\"");
    }
    EXPECT_THROW(ReadIndicesFile(dir.Write("bad.csv", "method,output,time,factor,index,value,lower,upper\r\n"
                                                      "sobol,Cw,x,Ps,S1,1,,\r\n")),
                 ETableFileError);
}

TEST(BaseRun, EqualsAMemberWithTheSitesOwnValues) {
    TScratch dir;
    const TExperiment e = ReadExperiment(dir.Write("e.toml", SiteAndRun(20) +
        "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"relative\"\npercent = 10\n"
        "[design]\nmethod = \"random\"\nmembers = 2\n[outputs]\nvariables = [\"Cw\", \"NPPt\"]\ntimes = [0, 20]\n"));
    const auto site = LoadSite(e);
    const std::vector<double> base = RunBaseSite(e, *site);
    TSiteMember member(e, *site);
    std::vector<double> out(4);
    ASSERT_TRUE(member.Run(site->factorBase, out).Ok());
    EXPECT_EQ(base, out);
}

}  // namespace
}  // namespace orvane::ensemble
