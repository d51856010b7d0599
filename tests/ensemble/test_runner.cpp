// orvane-ensemble as a program: exit codes, messages, and an ensemble
// stopped by a signal (or killed outright) that --resume completes to the
// same files as a run without a break.
#include <gtest/gtest.h>

#include "ensemble/results_read.h"
#include "model/catalogue.h"
#include "process_support.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(Program())) << "build the orvane-ensemble target first";
        // Forty members of a century: long enough to be stopped midway.
        experiment = dir.Write("co2.toml", SiteAndRun(100) +
            "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1.6\nmax = 2.6\n"
            "[[factor]]\nkind = \"driver\"\nsymbol = \"Ca\"\ndistribution = \"normal\"\nmean = 1\nsd = 0.05\n"
            "[design]\nmethod = \"sobol-points\"\nmembers = 40\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n");
    }
    static std::string Program() { return EnsembleProgram(); }

    // Starts the program; with `stopWith`, sends that signal once the
    // journal holds some members.
    TExit Exec(std::vector<std::string> args, int stopWith = 0) {
        args.insert(args.begin(), Program());
        return Spawn(args, dir, {}, {stopWith, dir.File("res/members.journal"), 2000});
    }

    TScratch dir;
    std::string experiment;
};

TEST_F(Runner, UsageAndExperimentErrors) {
    EXPECT_EQ(Exec({}).code, 2);
    const TExit unknown = Exec({experiment, "--fast"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("unknown option --fast"), std::string::npos);
    EXPECT_EQ(Exec({experiment, "--threads", "0"}).code, 2);
    EXPECT_EQ(Exec({experiment, "--members", "ten"}).code, 2);

    const std::string bad = dir.Write("bad.toml", SiteAndRun() + "[design]\nmethod = \"lhs\"\nmembers = 5\n");
    const TExit r = Exec({bad, "--out", dir.File("res")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, bad + ":9: the design \"lhs\" needs at least 1 factor, and the experiment has 0: add [[factor]] tables\n"
                           "    method = \"lhs\"\n");
}

TEST_F(Runner, StoppedOrKilledThenResumedGivesTheSameFiles) {
    const TExit whole = Exec({experiment, "--out", dir.File("whole"), "--threads", "2"});
    ASSERT_EQ(whole.code, 0) << whole.err;
    EXPECT_EQ(whole.out, "40 members: 40 ok, 0 failed. Results in " + dir.File("whole") +
                             ": members.csv, summary.csv, trajectories.nc\n");

    const TExit stopped = Exec({experiment, "--out", dir.File("res")}, SIGTERM);
    ASSERT_EQ(stopped.code, 1) << stopped.err;
    EXPECT_NE(stopped.err.find("members are kept in " + dir.File("res") +
                               "; run the same command with --resume to continue."),
              std::string::npos)
        << stopped.err;
    // Without --resume the folder is not overwritten.
    EXPECT_EQ(Exec({experiment, "--out", dir.File("res")}).code, 1);

    const TExit killed = Exec({experiment, "--out", dir.File("res"), "--resume", "--threads", "1"}, SIGKILL);
    EXPECT_EQ(killed.code, -SIGKILL);
    const TExit resumed = Exec({experiment, "--out", dir.File("res"), "--resume"});
    ASSERT_EQ(resumed.code, 0) << resumed.err;
    for (const char* f : {"members.csv", "summary.csv", "trajectories.nc", "members.journal"}) {
        EXPECT_TRUE(ReadBytes(dir.File(std::string("whole/") + f)) == ReadBytes(dir.File(std::string("res/") + f))) << f;
    }
}

TEST_F(Runner, EnsembleFitAfterTheEnsembleAndLater) {
    const std::string quick = dir.Write("quick.toml", SiteAndRun(2) +
        "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1.6\nmax = 2.6\n"
        "[design]\nmethod = \"random\"\nmembers = 5\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n");
    const std::string obs = dir.Write("obs.csv", "time,NPPt,Cw,Cf\n0,900,11000,220\n1.5,950,,\n9,1000,,\n");
    const std::string res = dir.File("res");
    // A mistake in the observations is told before any member runs.
    const std::string bad = dir.Write("bad.csv", "time,NPPt\n0,lots\n");
    const TExit refused = Exec({quick, "--out", res, "--observations", bad});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("bad.csv:2:"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(res));

    const TExit r = Exec({quick, "--out", res, "--observations", obs});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Cf (Foliage Carbon): observed, but not an output of the ensemble; skipped"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("NPPt: 1 observation outside the ensemble not used"), std::string::npos) << r.out;
    TGlobals g;
    InitialiseGlobals(g);
    const std::string csv = EnsembleFitCsv(FitResultsFolder(ReadObservationFile(obs, TVariableCatalogue(g)), res));
    EXPECT_EQ(ReadBytes(res + "/ensemble-fit.csv"), csv);

    std::filesystem::remove(res + "/ensemble-fit.csv");
    const TExit later = Exec({"fit", res, obs});
    ASSERT_EQ(later.code, 0) << later.err;
    EXPECT_EQ(ReadBytes(res + "/ensemble-fit.csv"), csv);
    EXPECT_EQ(later.out, r.out.substr(r.out.find("\nFit to ")));

    EXPECT_EQ(Exec({"fit", res}).code, 2);
    const TExit noFolder = Exec({"fit", dir.File("nothing"), obs});
    EXPECT_EQ(noFolder.code, 1);
    EXPECT_NE(noFolder.err.find("nothing/trajectories.nc"), std::string::npos) << noFolder.err;
}

}  // namespace
}  // namespace orvane::ensemble
