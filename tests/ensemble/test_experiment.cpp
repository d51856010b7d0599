// Experiment files: the shipped example reads, and every mistake is named
// with its line.
#include <gtest/gtest.h>

#include "ensemble/experiment.h"
#include "ensemble_support.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

TEST(Experiment, ShippedExampleReads) {
    const TExperiment e = ReadExperiment(ExampleDir + "/temperate-co2-uncertainty.toml");
    EXPECT_TRUE(e.steadyState);
    EXPECT_EQ(e.passes, 3);
    ASSERT_EQ(e.factors.size(), 8u);
    EXPECT_EQ(e.factors[0].symbol, "Ps");
    EXPECT_EQ(e.factors[0].kind, TFactorKind::Process);
    EXPECT_EQ(e.design.method, "lhs");
    EXPECT_EQ(e.design.members, 200u);
    EXPECT_EQ(e.Times(), 201);
    EXPECT_EQ(e.outputTimes.back(), 200);
    EXPECT_EQ(e.outputs[0].units, "gC m-2ground yr-1");
    // The command line's settings win, and change the experiment's identity.
    const TExperiment o = ReadExperiment(ExampleDir + "/temperate-co2-uncertainty.toml", {50, 9});
    EXPECT_EQ(o.design.members, 50u);
    EXPECT_EQ(o.design.seed, 9u);
    EXPECT_NE(o.hash, e.hash);
}

TEST(Experiment, OutputTimesAreRowsOfTheRun) {
    TScratch dir;
    const std::string path = dir.Write("t.toml", SiteAndRun(10) +
        "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\n"
        "[design]\nmethod = \"random\"\nmembers = 4\n"
        "[outputs]\nvariables = [\"Cw\", \"driver:Sp\", \"dCwdt\"]\ntimes = [10, 0, 5]\n");
    const TExperiment e = ReadExperiment(path);
    EXPECT_EQ(e.outputTimes, (std::vector<double>{0, 5, 10}));
    EXPECT_EQ(e.runRows, 11);
    EXPECT_EQ(std::count(e.keepRow.begin(), e.keepRow.end(), 1), 3);
    EXPECT_EQ(e.outputs[1].var.part, TRowPart::Driver);
    EXPECT_EQ(e.outputs[2].var.part, TRowPart::Process);
}

struct TMistake {
    const char* name;
    std::string body;  // after [site] and [run] (run ends at 20)
    int line;          // where the message must point, 0: no line
    std::string says;
};

const std::string Factor = "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\n";
const std::string Design = "[design]\nmethod = \"lhs\"\nmembers = 10\n";
const std::string Outputs = "[outputs]\nvariables = [\"Cw\"]\n";

TEST(Experiment, EveryMistakeSaysWhatAndWhere) {
    // The site and run take lines 1 to 7.
    const std::vector<TMistake> mistakes = {
        {"unknown symbol", "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\n" + Design + Outputs,
         10, "unknown parameter symbol \"Q10\"; the closest names are: Q10d"},
        {"kind the symbol lacks", "[[factor]]\nkind = \"state\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\n" + Design + Outputs,
         10, "\"Q10d\" is not a state: it is a parameter"},
        {"process without steady state", "[[factor]]\nkind = \"process\"\nsymbol = \"Ps\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\n" + Design + Outputs,
         9, "add a [steady_state] table"},
        {"process that is no entry", "[steady_state]\n[[factor]]\nkind = \"process\"\nsymbol = \"NPPt\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\n" + Design + Outputs,
         11, "is not an entry of the steady-state calculation; the process entries are: Ps, NPPf, NPPw, NPPr, Cst, Nst"},
        {"derived parameter", "[steady_state]\n[[factor]]\nkind = \"parameter\"\nsymbol = \"Sc\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\n" + Design + Outputs,
         11, "\"Sc\" is derived by the steady-state step"},
        {"bounds in the wrong order", "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 3\nmax = 1\n" + Design + Outputs,
         13, "the bounds of parameter Q10d are in the wrong order: \"min\" must be less than \"max\""},
        {"triangle's mode outside", "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"triangular\"\nmin = 1\nmode = 4\nmax = 3\n" + Design + Outputs,
         14, "\"mode\" must be at most \"max\""},
        {"negative sd", "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"normal\"\nmean = 2\nsd = -0.5\n" + Design + Outputs,
         13, "\"sd\" of parameter Q10d must be greater than 0"},
        {"missing setting", "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"normal\"\nmean = 2\n" + Design + Outputs,
         8, "a normal distribution needs \"sd\""},
        {"unknown key", Factor + "[design]\nmethod = \"lhs\"\nmembers = 10\nmember = 3\n" + Outputs,
         17, "unknown key \"member\" in [design] (method \"lhs\") (did you mean \"members\"?)"},
        {"setting of another distribution", "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1\nmax = 3\nsd = 1\n" + Design + Outputs,
         14, "unknown key \"sd\""},
        {"unknown method", Factor + "[design]\nmethod = \"latin\"\nmembers = 10\n" + Outputs,
         15, "unknown design method \"latin\"; the methods are: random, lhs, sobol-points, csv"},
        {"design needs factors", Design + Outputs, 9, "the design \"lhs\" needs at least 1 factor, and the experiment has 0"},
        {"output time outside the run", Factor + Design + "[outputs]\nvariables = [\"Cw\"]\ntimes = [0, 25]\n",
         19, "output time 25 is outside the run, whose output times go from 0 to 20"},
        {"output time between rows", Factor + Design + "[outputs]\nvariables = [\"Cw\"]\ntimes = [2.5]\n",
         19, "output time 2.5 is not a time of the run's output"},
        {"symbol of two kinds", Factor + Design + "[outputs]\nvariables = [\"Sp\"]\n",
         18, "\"Sp\" is both a driver and a process: write \"driver:Sp\" or \"process:Sp\""},
        {"unknown output", Factor + Design + "[outputs]\nvariables = [\"NPPT\"]\n",
         18, "unknown output variable \"NPPT\"; the closest names are: NPPt"},
        {"factor twice", Factor + Factor + Design + Outputs, 16, "\"Q10d\" is a factor already (line 8)"},
        {"unknown integrator", "integrator = \"euler\"\n" + Factor + Design + Outputs, 8,
         "unknown integrator \"euler\"; the integrators are: rk, cvode"},
        {"tolerance of no integrator", "rtol = 1e-9\n" + Factor + Design + Outputs, 8,
         "\"rtol\" is a tolerance of integrator = \"cvode\""},
        {"tolerance not above 0", "integrator = \"cvode\"\natol = 0\n" + Factor + Design + Outputs, 9,
         "\"atol\" must be greater than 0"},
    };
    TScratch dir;
    for (const TMistake& m : mistakes) {
        const std::string path = dir.Write("m.toml", SiteAndRun() + m.body);
        try {
            ReadExperiment(path);
            ADD_FAILURE() << m.name << ": no error";
        } catch (const EExperimentError& e) {
            const std::string text = e.Message();
            const std::string where = path + ":" + std::to_string(m.line) + ": ";
            EXPECT_EQ(text.rfind(where, 0), 0u) << m.name << ":\n" << text;
            EXPECT_NE(text.find(m.says), std::string::npos) << m.name << ":\n" << text;
        }
    }
    // An output step that is no multiple of the time step, with the
    // program's own message.
    const std::string path = dir.Write("s.toml", "[site]\nparameters = \"" + ExampleDir + "/temperate.par\"\ndrivers = \"" +
                                                     ExampleDir + "/temperate.drr\"\n[run]\nstop = 20\noutput_step = 1.5\n" + Factor + Design + Outputs);
    try {
        ReadExperiment(path);
        ADD_FAILURE() << "no error";
    } catch (const EExperimentError& e) {
        EXPECT_EQ(e.Message().rfind(path + ":6: Output time step must be a multiple of simulation time step.", 0), 0u) << e.Message();
    }
    // And a file that is not TOML at all names its line through the parser.
    const std::string bad = dir.Write("b.toml", "[site]\nparameters = \"x\n");
    try {
        ReadExperiment(bad);
        ADD_FAILURE() << "no error";
    } catch (const EExperimentError& e) {
        EXPECT_NE(e.Message().find(" 2 | parameters"), std::string::npos) << e.Message();
    }
}

}  // namespace
}  // namespace orvane::ensemble
