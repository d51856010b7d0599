// Shards of an ensemble: whole groups in contiguous blocks, and a merge that
// gives the files of the single run or says which shard is wrong.
#include <gtest/gtest.h>

#include "ensemble/ensemble_run.h"
#include "ensemble_support.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

TEST(ShardRange, ContiguousWholeGroupsCoveringEveryMember) {
    for (std::size_t group : {1, 7}) {
        const std::size_t members = 13 * group;
        for (int n : {1, 2, 3, 5, 13}) {
            std::size_t next = 0;
            for (int i = 1; i <= n; ++i) {
                const TMemberRange r = ShardRange(members, group, {i, n});
                EXPECT_EQ(r.first, next) << i << "/" << n;
                EXPECT_EQ(r.first % group, 0u);
                EXPECT_EQ(r.last % group, 0u);
                // As even as whole groups allow.
                EXPECT_GE(r.last - r.first, members / group / n * group);
                EXPECT_LE(r.last - r.first, (members / group / n + 1) * group);
                next = r.last;
            }
            EXPECT_EQ(next, members);
        }
        EXPECT_THROW(ShardRange(members, group, {1, 14}), EExperimentError);
    }
}

class Shards : public ::testing::Test {
protected:
    std::string Experiment(int seed = 5, const std::string& design = "method = \"lhs\"\nmembers = 100") {
        std::string text = SiteAndRun(2);
        for (const char* s : {"Q10d", "beta", "kIm"}) {
            text += std::string("[[factor]]\nkind = \"parameter\"\nsymbol = \"") + s +
                    "\"\ndistribution = \"uniform\"\nmin = -3.1\nmax = 3.1\n";
        }
        text += "[design]\n" + design + "\nseed = " + std::to_string(seed) +
                "\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n";
        return dir.Write("e" + std::to_string(seed) + "-" + std::to_string(design.size()) + ".toml", text);
    }

    TEnsembleOptions Options(const TExperiment& e, const std::string& out, TShard shard = {}) {
        TEnsembleOptions o;
        o.outDir = dir.File(out);
        o.threads = 2;
        o.shard = shard;
        o.factory = [&e] { return std::make_unique<TIshigami>(e.Variables(), e.Times(), 2.5); };
        return o;
    }

    // Runs the shards of `n` into folders s1, s2, ... and returns their paths.
    std::vector<std::string> RunShards(const TExperiment& e, int n, const std::string& prefix = "s") {
        std::vector<std::string> dirs;
        for (int i = 1; i <= n; ++i) {
            const TEnsembleOutcome out = RunEnsemble(e, Options(e, prefix + std::to_string(i), {i, n}));
            EXPECT_FALSE(out.cancelled);
            dirs.push_back(dir.File(prefix + std::to_string(i)));
        }
        return dirs;
    }

    std::string MergeError(const std::vector<std::string>& dirs) {
        TEnsembleOptions o;
        o.outDir = dir.File("bad");
        try {
            MergeShards(dirs, o);
        } catch (const EExperimentError& err) {
            return err.what();
        }
        return "merged";
    }

    TScratch dir;
};

TEST_F(Shards, MergedInAnyOrderTheyGiveTheFilesOfTheSingleRun) {
    const TExperiment e = ReadExperiment(Experiment());
    RunEnsemble(e, Options(e, "whole"));
    std::vector<std::string> dirs = RunShards(e, 3);
    EXPECT_FALSE(std::filesystem::exists(dirs[0] + "/members.csv"));  // a shard writes no results
    std::swap(dirs[0], dirs[2]);
    TEnsembleOptions o;
    o.outDir = dir.File("merged");
    const TEnsembleOutcome out = MergeShards(dirs, o);
    EXPECT_EQ(out.counts.members, 100u);
    EXPECT_EQ(out.counts.Failed(), 10u);  // failed members travel as they are
    for (const char* f : {"members.csv", "summary.csv", "trajectories.nc", "members.journal"}) {
        EXPECT_TRUE(ReadBytes(dir.File(std::string("whole/") + f)) == ReadBytes(dir.File(std::string("merged/") + f))) << f;
    }
    // A shard folder is no place for the whole run, nor for another shard.
    EXPECT_THROW(RunEnsemble(e, Options(e, "s1")), EExperimentError);
    TEnsembleOptions other = Options(e, "s2", {1, 3});
    other.resume = true;
    EXPECT_THROW(RunEnsemble(e, other), EExperimentError);
}

TEST_F(Shards, ASobolDesignSplitsBetweenItsBlocksAndMergesToTheSameIndices) {
    // Three factors: Saltelli blocks of five members, 16 of them.
    const TExperiment e = ReadExperiment(Experiment(5, "method = \"sobol\"\nmembers = 16\nbootstrap = 50"));
    RunEnsemble(e, Options(e, "whole"));
    const std::vector<std::string> dirs = RunShards(e, 3);
    for (const std::string& d : dirs) {
        const TShardInfo info = ReadShardInfo(d);
        EXPECT_EQ(info.group, 5u);
        EXPECT_EQ(info.range.first % 5, 0u) << d;
        EXPECT_EQ(info.range.last % 5, 0u) << d;
    }
    TEnsembleOptions o;
    o.outDir = dir.File("merged");
    EXPECT_FALSE(MergeShards(dirs, o).report.empty());
    for (const char* f : {"indices.csv", "convergence.csv", "report.txt", "members.csv", "summary.csv"}) {
        const std::string whole = ReadBytes(dir.File(std::string("whole/") + f));
        EXPECT_FALSE(whole.empty()) << f;
        EXPECT_TRUE(whole == ReadBytes(dir.File(std::string("merged/") + f))) << f;
    }
}

TEST_F(Shards, AMergeNamesTheShardThatIsMissingDoubledForeignOrUnfinished) {
    const TExperiment e = ReadExperiment(Experiment());
    const std::vector<std::string> dirs = RunShards(e, 3);
    EXPECT_EQ(MergeError({dirs[0], dirs[2]}), "shard 2/3 (members 34 to 66) is missing: give every shard folder of the experiment");
    EXPECT_EQ(MergeError({dirs[0], dirs[1], dirs[1], dirs[2]}),
              "shard 2/3 is given twice: \"" + dirs[1] + "\" and \"" + dirs[1] + "\"");
    EXPECT_EQ(MergeError({dirs[0], dir.File("nowhere")}),
              "\"" + dir.File("nowhere") + "\" is not a shard folder: it has no shard.toml");

    // Shard 2 of the same file with another seed belongs to another experiment.
    TExperimentOverrides seed;
    seed.seed = 6;
    const TExperiment other = ReadExperiment(e.path, seed);
    RunEnsemble(other, Options(other, "o2", {2, 3}));
    const std::string foreign = MergeError({dirs[0], dir.File("o2"), dirs[2]});
    EXPECT_EQ(foreign.rfind("the shard folder \"" + dir.File("o2") + "\" belongs to another experiment than \"" + dirs[0] + "\"", 0), 0u)
        << foreign;

    // A shard cut short says so, and --resume finishes it.
    std::atomic<bool> cancel{true};
    TEnsembleOptions cut = Options(e, "c2", {2, 3});
    cut.cancel = &cancel;
    EXPECT_TRUE(RunEnsemble(e, cut).cancelled);
    EXPECT_EQ(MergeError({dirs[0], dir.File("c2"), dirs[2]}),
              "shard 2/3 in \"" + dir.File("c2") + "\" holds 0 of its 33 members: run it again with --resume to finish it");

    // The experiment changed after the shards ran.
    std::ofstream(e.path, std::ios::app) << "# changed\n";
    EXPECT_EQ(MergeError(dirs), "the experiment \"" + e.path + "\" or a file it reads has changed since the shards ran");
}

}  // namespace
}  // namespace orvane::ensemble
