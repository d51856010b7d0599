// The engine with an analytic model in place of the site: the same results
// on any number of threads, failed members kept with their message, and an
// interrupted ensemble that resumes to the very same files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ensemble/ensemble_run.h"
#include "ensemble/journal.h"
#include "ensemble_support.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

const char* const ResultFiles[] = {"members.csv", "summary.csv", "trajectories.nc", "members.journal"};

class Engine : public ::testing::Test {
protected:
    // Three factors on [-pi, pi], two outputs at three times.
    TExperiment Experiment(const std::string& method, int members) {
        std::string text = SiteAndRun(2);
        for (const char* s : {"Q10d", "beta", "kIm"}) {
            text += std::string("[[factor]]\nkind = \"parameter\"\nsymbol = \"") + s +
                    "\"\ndistribution = \"uniform\"\nmin = -3.141592653589793\nmax = 3.141592653589793\n";
        }
        text += "[design]\nmethod = \"" + method + "\"\nmembers = " + std::to_string(members) +
                "\nseed = 5\n[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n";
        return ReadExperiment(dir.Write("e.toml", text));
    }

    TEnsembleOutcome Run(const TExperiment& e, const std::string& out, int threads, std::size_t chunk = 0,
                         bool resume = false, const std::atomic<bool>* cancel = nullptr,
                         IEngineProgress* progress = nullptr, double failAbove = 2.5) {
        TEnsembleOptions o;
        o.outDir = dir.File(out);
        o.threads = threads;
        o.chunk = chunk;
        o.resume = resume;
        o.cancel = cancel;
        o.progress = progress;
        o.summaryMemory = summaryMemory;
        o.factory = [&e, failAbove] { return std::make_unique<TIshigami>(e.Variables(), e.Times(), failAbove); };
        return RunEnsemble(e, o);
    }

    void ExpectSameFiles(const std::string& a, const std::string& b) {
        for (const char* f : ResultFiles) {
            const std::string x = ReadBytes(dir.File(a + "/" + f));
            EXPECT_FALSE(x.empty()) << f;
            EXPECT_TRUE(x == ReadBytes(dir.File(b + "/" + f))) << f << " differs between " << a << " and " << b;
        }
    }

    TScratch dir;
    std::size_t summaryMemory = 4096;  // several passes over the journal for the summary
};

TEST_F(Engine, SameFilesOnOneAndTwoThreadsInAnyChunks) {
    for (const char* method : {"random", "lhs", "sobol-points"}) {
        const TExperiment e = Experiment(method, 300);
        const TEnsembleOutcome one = Run(e, std::string(method) + "1", 1);
        EXPECT_EQ(one.counts.members, 300u);
        EXPECT_FALSE(one.cancelled);
        Run(e, std::string(method) + "2", 2, 1);
        Run(e, std::string(method) + "7", 2, 7);
        ExpectSameFiles(std::string(method) + "1", std::string(method) + "2");
        ExpectSameFiles(std::string(method) + "1", std::string(method) + "7");
    }
    // The summary gathered in one pass is the one gathered in many.
    summaryMemory = std::size_t{1} << 26;
    Run(Experiment("sobol-points", 300), "onepass", 2);
    ExpectSameFiles("sobol-points1", "onepass");
}

TEST_F(Engine, FailedMembersAreKeptWithTheirMessage) {
    const TExperiment e = Experiment("lhs", 100);
    const TEnsembleOutcome r = Run(e, "out", 2);
    // x1 > 2.5 fails: the top (pi - 2.5) / 2 pi of the strata.
    EXPECT_EQ(r.counts.Failed(), 10u);
    EXPECT_EQ(r.counts.byKind[static_cast<std::size_t>(TFailKind::Math)], 10u);
    std::ifstream csv(dir.File("out/members.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "member,status,message,Q10d,beta,kIm,NPPt,Cw\r");
    int failed = 0, ok = 0;
    while (std::getline(csv, line)) {
        if (line.find(",failed,x1 too large: ") != std::string::npos) {
            ++failed;
            EXPECT_EQ(line.substr(line.size() - 3), ",,\r");  // no outputs
        } else if (line.find(",ok,,") != std::string::npos) {
            ++ok;
        }
    }
    EXPECT_EQ(failed, 10);
    EXPECT_EQ(ok, 90);
    // The summary counts the members that succeeded.
    const std::string summary = ReadBytes(dir.File("out/summary.csv"));
    EXPECT_NE(summary.find("\r\nNPPt,0,90,"), std::string::npos);
    EXPECT_NE(summary.find("\r\nCw,2,90,"), std::string::npos);
}

// Raises the cancel flag once a number of members has reached the journal.
class TStopAfter final : public IEngineProgress {
public:
    TStopAfter(std::atomic<bool>& flag, std::size_t after) : flag_(flag), after_(after) {}
    void Progress(const TEngineStatus& s) override {
        if (s.resumed + s.done >= after_) flag_.store(true);
    }

private:
    std::atomic<bool>& flag_;
    std::size_t after_;
};

TEST_F(Engine, InterruptedThenResumedGivesTheSameFiles) {
    const TExperiment e = Experiment("sobol-points", 200);
    Run(e, "whole", 2);

    std::atomic<bool> cancel{false};
    TStopAfter stop(cancel, 50);
    const TEnsembleOutcome first = Run(e, "parts", 2, 3, false, &cancel, &stop);
    EXPECT_TRUE(first.cancelled);
    EXPECT_GE(first.kept, 50u);
    EXPECT_LT(first.kept, 200u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("parts/members.csv")));

    // A kill in the middle of a write leaves a torn record: it is dropped.
    std::ofstream(dir.File("parts/members.journal"), std::ios::binary | std::ios::app) << "OVMR\x07garbage";
    cancel = false;
    TStopAfter stop2(cancel, 120);
    const TEnsembleOutcome second = Run(e, "parts", 1, 0, true, &cancel, &stop2);
    EXPECT_EQ(second.resumedFrom, first.kept);
    EXPECT_TRUE(second.cancelled);
    cancel = false;
    const TEnsembleOutcome last = Run(e, "parts", 2, 0, true, &cancel);
    EXPECT_FALSE(last.cancelled);
    EXPECT_EQ(last.counts.members, 200u);
    ExpectSameFiles("whole", "parts");
}

TEST_F(Engine, ResultsFolderOfAnotherEnsembleIsRefused) {
    const TExperiment e = Experiment("lhs", 20);
    Run(e, "out", 1);
    EXPECT_THROW(Run(e, "out", 1), EExperimentError);  // without --resume
    const TExperiment other = Experiment("lhs", 30);
    try {
        Run(other, "out", 1, 0, true);
        FAIL() << "resumed another experiment";
    } catch (const EExperimentError& err) {
        EXPECT_NE(std::string(err.what()).find("holds the members of another experiment"), std::string::npos);
    }
    // Resuming a complete ensemble only writes its files again.
    const TEnsembleOutcome again = Run(e, "out", 1, 0, true);
    EXPECT_EQ(again.resumedFrom, 20u);
    EXPECT_EQ(again.counts.members, 20u);
}

}  // namespace
}  // namespace orvane::ensemble
