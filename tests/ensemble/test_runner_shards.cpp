// Shards as a job array runs them: separate processes, the shard taken from
// Slurm's task numbers, and the merge on the command line.
#include <gtest/gtest.h>

#include "process_support.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

class RunnerShards : public ::testing::Test {
protected:
    void SetUp() override {
        experiment = dir.Write("co2.toml", SiteAndRun(20) +
            "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1.6\nmax = 2.6\n"
            "[design]\nmethod = \"lhs\"\nmembers = 30\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n");
    }
    TExit Exec(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
        args.insert(args.begin(), EnsembleProgram());
        return Spawn(args, dir, env);
    }
    // The task of an array started with --array=10-14:2.
    static std::vector<std::string> Task(int id) {
        return {"SLURM_ARRAY_TASK_ID=" + std::to_string(id), "SLURM_ARRAY_TASK_MIN=10", "SLURM_ARRAY_TASK_MAX=14",
                "SLURM_ARRAY_TASK_STEP=2", "SLURM_ARRAY_TASK_COUNT=3"};
    }
    TScratch dir;
    std::string experiment;
};

TEST_F(RunnerShards, ThreeProcessesMergedGiveTheFilesOfTheSingleRun) {
    ASSERT_EQ(Exec({experiment, "--out", dir.File("whole")}).code, 0);
    const TExit first = Exec({experiment, "--shard", "1/3", "--out", dir.File("s1")});
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(first.out, "Shard 1/3 complete: members 0 to 9 of 30 in " + dir.File("s1") +
                             ". When every shard is complete, join them with: orvane-ensemble merge OUTDIR SHARDDIR...\n");
    // The others from the array's task numbers, I alone or both.
    ASSERT_EQ(Exec({experiment, "--shard", "/3", "--out", dir.File("s2")}, Task(12)).code, 0);
    ASSERT_EQ(Exec({experiment, "--out", dir.File("s3"), "--shard"}, Task(14)).code, 0);
    EXPECT_NE(ReadBytes(dir.File("s3/shard.toml")).find("shard = 3\r\nshards = 3\r\n"), std::string::npos);

    const TExit missing = Exec({"merge", dir.File("merged"), dir.File("s1"), dir.File("s3")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "shard 2/3 (members 10 to 19) is missing: give every shard folder of the experiment\n");
    const TExit merged = Exec({"merge", dir.File("merged"), dir.File("s3"), dir.File("s1"), dir.File("s2")});
    ASSERT_EQ(merged.code, 0) << merged.err;
    EXPECT_EQ(merged.out, "30 members: 30 ok, 0 failed. Results in " + dir.File("merged") +
                              ": members.csv, summary.csv, trajectories.nc\n");
    for (const char* f : {"members.csv", "summary.csv", "trajectories.nc", "members.journal"}) {
        EXPECT_TRUE(ReadBytes(dir.File(std::string("whole/") + f)) == ReadBytes(dir.File(std::string("merged/") + f))) << f;
    }
}

TEST_F(RunnerShards, ShardsThatCannotBeTold) {
    EXPECT_EQ(Exec({experiment, "--shard"}).err.rfind(
                  "orvane-ensemble: --shard needs I/N, or a Slurm job array task (SLURM_ARRAY_TASK_ID) to take them from\n", 0),
              0u);
    EXPECT_EQ(Exec({experiment, "--shard", "4/3"}).code, 2);
    EXPECT_EQ(Exec({experiment, "--shard", "a/3"}).code, 2);
    // --array=1,2,7: not an even range.
    const TExit uneven = Exec({experiment, "--shard"}, {"SLURM_ARRAY_TASK_ID=7", "SLURM_ARRAY_TASK_MIN=1",
                                                        "SLURM_ARRAY_TASK_MAX=7", "SLURM_ARRAY_TASK_COUNT=3"});
    EXPECT_EQ(uneven.code, 2);
    EXPECT_NE(uneven.err.find("give --shard I/N"), std::string::npos);
    // Observations are compared with a whole ensemble of one site.
    EXPECT_EQ(Exec({experiment, "--shard", "1/3", "--observations", "obs.csv"}).code, 2);
    const TExit sites = Exec({ExampleDir + "/two-sites-co2.toml", "--observations",
                              ExampleDir + "/temperate-observations.csv", "--out", dir.File("two")});
    EXPECT_EQ(sites.code, 1);
    EXPECT_NE(sites.err.find("compares the ensemble of one site with its observations"), std::string::npos) << sites.err;
    const TExit many = Exec({experiment, "--shard", "1/31", "--out", dir.File("x")});
    EXPECT_EQ(many.code, 1);
    EXPECT_NE(many.err.find("the ensemble has 30 members, too few for 31 shards: use at most 30"), std::string::npos);
}

}  // namespace
}  // namespace orvane::ensemble
