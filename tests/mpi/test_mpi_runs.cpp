// orvane-ensemble under mpirun: the same files as one process, failed
// members kept, and a job ended by SIGTERM that --resume completes.
#include <gtest/gtest.h>

#include <unistd.h>

#include "ensemble/process_support.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

class MpiRuns : public ::testing::Test {
protected:
    void SetUp() override {
        // A scale of CO2 far below 1 makes the integrator's step too small:
        // members fail on the way.
        // Sobol' indices of 16 base points: 64 members in blocks of four.
        experiment = Experiment(60, "method = \"sobol\"\nmembers = 16\nbootstrap = 200");
    }
    std::string Experiment(int years, const std::string& design) {
        return dir.Write("co2-" + std::to_string(years) + ".toml", SiteAndRun(years) +
            "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1.6\nmax = 2.6\n"
            "[[factor]]\nkind = \"driver\"\nsymbol = \"Ca\"\ndistribution = \"uniform\"\nmin = 0.3\nmax = 1.5\n"
            "[design]\n" + design + "\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n");
    }
    // mpirun with 3 ranks on however many cores there are, as root where
    // the tests run as root.
    TExit Mpi(int ranks, std::vector<std::string> args, const TStop& stop = {}) {
        std::vector<std::string> cmd = {ORVANE_MPIEXEC, "--oversubscribe", "-np", std::to_string(ranks),
                                        EnsembleProgram()};
        cmd.insert(cmd.end(), args.begin(), args.end());
        std::vector<std::string> env;
        if (::geteuid() == 0) env = {"OMPI_ALLOW_RUN_AS_ROOT=1", "OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1"};
        return Spawn(cmd, dir, env, stop);
    }
    TExit Alone(std::vector<std::string> args) {
        args.insert(args.begin(), EnsembleProgram());
        return Spawn(args, dir);
    }
    void ExpectSameFiles(const std::string& a, const std::string& b, bool sensitivity) {
        std::vector<std::string> files = {"members.csv", "summary.csv", "trajectories.nc", "members.journal"};
        if (sensitivity) files.insert(files.end(), {"indices.csv", "convergence.csv", "report.txt"});
        for (const std::string& f : files) {
            EXPECT_TRUE(ReadBytes(dir.File(a + "/" + f)) == ReadBytes(dir.File(b + "/" + f))) << f;
        }
    }
    TScratch dir;
    std::string experiment;
};

TEST_F(MpiRuns, ThreeRanksWriteTheFilesOfOneProcessFailedMembersIncluded) {
    const TExit alone = Alone({experiment, "--out", dir.File("alone"), "--threads", "2"});
    ASSERT_EQ(alone.code, 0) << alone.err;
    const TExit mpi = Mpi(3, {experiment, "--out", dir.File("mpi")});
    ASSERT_EQ(mpi.code, 0) << mpi.err;
    EXPECT_EQ(mpi.out.substr(0, mpi.out.find(" Results in ")), alone.out.substr(0, alone.out.find(" Results in ")));
    EXPECT_EQ(mpi.out.substr(mpi.out.find("trajectories.nc")), alone.out.substr(alone.out.find("trajectories.nc")));
    EXPECT_NE(mpi.out.find(" failed (step_too_small "), std::string::npos) << mpi.out;
    EXPECT_NE(mpi.err.find("3 ranks, 3 worker threads in all\n"), std::string::npos) << mpi.err;
    ExpectSameFiles("alone", "mpi", true);
}

TEST_F(MpiRuns, EndedBySigtermThenResumed) {
    // Long enough to be stopped midway even on a fast, quiet machine: the
    // signal follows the journal's first batch, several seconds before the end.
    experiment = Experiment(150, "method = \"sobol-points\"\nmembers = 400");
    Alone({experiment, "--out", dir.File("alone")});
    const TExit stopped = Mpi(3, {experiment, "--out", dir.File("mpi"), "--threads", "1"},
                              {SIGTERM, dir.File("mpi/members.journal"), 600});
    EXPECT_NE(stopped.code, 0);
    EXPECT_NE(stopped.err.find("members are kept in " + dir.File("mpi") +
                               "; run the same command with --resume to continue."),
              std::string::npos)
        << stopped.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("mpi/members.csv")));
    const TExit resumed = Mpi(2, {experiment, "--out", dir.File("mpi"), "--resume"});
    ASSERT_EQ(resumed.code, 0) << resumed.err;
    ExpectSameFiles("alone", "mpi", false);
}

TEST_F(MpiRuns, AMistakeIsToldOnceAndEveryRankEnds) {
    const std::string bad = dir.Write("bad.toml", SiteAndRun() + "[design]\nmethod = \"lhs\"\nmembers = 5\n");
    const TExit r = Mpi(3, {bad, "--out", dir.File("bad")});
    EXPECT_NE(r.code, 0);
    const std::string says = "the design \"lhs\" needs at least 1 factor";
    const std::size_t first = r.err.find(says);
    ASSERT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(says, first + 1), std::string::npos) << r.err;
}

}  // namespace
}  // namespace orvane::ensemble
