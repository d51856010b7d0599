// The sensitivity methods from experiment file to result files: their
// settings and mistakes, the engine with an analytic model, and the site
// itself on one and two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>

#include "ensemble/ensemble_run.h"
#include "ensemble/experiment.h"
#include "ensemble/sensitivity_design.h"
#include "ensemble_support.h"

namespace orvane::ensemble {
namespace {

using namespace testing;

const std::string Factors =
    "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = -3.141592653589793\nmax = 3.141592653589793\n"
    "[[factor]]\nkind = \"parameter\"\nsymbol = \"beta\"\ndistribution = \"uniform\"\nmin = -3.141592653589793\nmax = 3.141592653589793\n"
    "[[factor]]\nkind = \"parameter\"\nsymbol = \"kIm\"\ndistribution = \"uniform\"\nmin = -3.141592653589793\nmax = 3.141592653589793\n";
const std::string Outputs = "[outputs]\nvariables = [\"NPPt\", \"Cw\"]\n";

// Rows of a CSV file, split at commas (no quoted fields in these files).
std::vector<std::vector<std::string>> ReadCsv(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> row;
        std::stringstream s(line);
        std::string cell;
        while (std::getline(s, cell, ',')) row.push_back(cell);
        if (!line.empty() && line.back() == ',') row.push_back("");
        rows.push_back(row);
    }
    return rows;
}

TEST(SensExperiment, SettingsAndTheirMistakes) {
    TScratch dir;
    auto read = [&](const std::string& design) {
        return ReadExperiment(dir.Write("e.toml", SiteAndRun(2) + Factors + design + Outputs));
    };
    const TExperiment sobol = read("[design]\nmethod = \"sobol\"\nmembers = 100\nbootstrap = 200\n");
    EXPECT_EQ(SensitivityMembers(sobol), 128u * 5);
    EXPECT_EQ(SensitivityBootstrap(sobol, 2).resamples, 200u);
    EXPECT_EQ(SensitivityNote(sobol),
              "Sobol' design: members = 100 is not a power of two; rounded up to 128 base points (640 model "
              "runs with 3 factors)");
    EXPECT_EQ(SensitivityMembers(read("[design]\nmethod = \"morris\"\ntrajectories = 7\nlevels = 6\n")), 7u * 4);
    EXPECT_EQ(SensitivityMembers(read("[design]\nmethod = \"morris\"\n")), 20u * 4);
    EXPECT_EQ(SensitivityMembers(read("[design]\nmethod = \"local\"\ndifferences = \"central\"\n")), 7u);
    // A local design needs no distributions: it moves the base values.
    const TExperiment local = ReadExperiment(dir.Write(
        "l.toml", SiteAndRun(2) + "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\n[design]\nmethod = \"local\"\n" + Outputs));
    EXPECT_EQ(SensitivityMembers(local), 2u);

    // The site and run take lines 1 to 7, the factors 8 to 25, [design] 26.
    const std::vector<std::pair<std::string, std::string>> mistakes = {
        {"[design]\nmethod = \"morris\"\ntrajectories = 1\n", ":28: \"trajectories\" must be a whole number from 2 to 16777216"},
        {"[design]\nmethod = \"morris\"\nlevels = 2.5\n", ":28: \"levels\" must be a whole number from 2 to 1000"},
        {"[design]\nmethod = \"morris\"\nmembers = 40\n", ":28: the \"morris\" design sets its own number of members: give \"trajectories\" instead of \"members\""},
        {"[design]\nmethod = \"local\"\nstep = 0\n", ":28: \"step\" is relative to each factor's base value and must lie between 0 and 1"},
        {"[design]\nmethod = \"local\"\ndifferences = \"backward\"\n", ":28: \"differences\" must be \"forward\" or \"central\""},
        {"[design]\nmethod = \"sobol\"\nmembers = 8\nbootstrap = -1\n", ":29: \"bootstrap\" must be a whole number from 0 to 100000"},
        {"[design]\nmethod = \"sobol\"\nmembers = 8\nlevels = 4\n", ":29: unknown key \"levels\""},
        {"[design]\nmethod = \"sobol\"\n", ":26: [design] needs \"members\""},
        {"[design]\nmethod = \"sobol\"\nmembers = 5000000\n", ":28: the design would run 41943040 members; a sensitivity design runs at most 16777216"},
        {"[design]\nmethod = \"sobol\"\nmembers = 1000000\nbootstrap = 1000\n", ":29: \"bootstrap\" resamples of 1048576 base points would need too much memory"},
    };
    for (const auto& [design, says] : mistakes) {
        SCOPED_TRACE(design);
        try {
            read(design);
            ADD_FAILURE() << "accepted";
        } catch (const EExperimentError& err) {
            EXPECT_NE(std::string(err.what()).find(says), std::string::npos) << err.what();
        }
    }
}

class SensEngine : public ::testing::Test {
protected:
    TEnsembleOutcome Run(const TExperiment& e, const std::string& out, int threads, bool resume = false,
                         const std::atomic<bool>* cancel = nullptr, double failAbove = 1e300,
                         IEngineProgress* progress = nullptr) {
        TEnsembleOptions o;
        o.outDir = dir.File(out);
        o.threads = threads;
        o.resume = resume;
        o.cancel = cancel;
        o.progress = progress;
        o.chunk = 4;
        o.factory = [&e, failAbove] { return std::make_unique<TIshigami>(e.Variables(), e.Times(), failAbove); };
        return RunEnsemble(e, o);
    }
    TScratch dir;
};

TEST_F(SensEngine, SobolResultFilesAndDroppedBasePoints) {
    const TExperiment e = ReadExperiment(
        dir.Write("e.toml", SiteAndRun(2) + Factors + "[design]\nmethod = \"sobol\"\nmembers = 64\nbootstrap = 100\n" + Outputs));
    const TEnsembleOutcome r = Run(e, "out", 2, false, nullptr, 3.0);
    EXPECT_EQ(r.counts.members, 64u * 5);
    EXPECT_GT(r.counts.Failed(), 0u);

    const auto indices = ReadCsv(dir.File("out/indices.csv"));
    ASSERT_EQ(indices.size(), 1 + 2u * 3 * 3 * 2);  // outputs x times x factors x {S1, ST}
    EXPECT_EQ(indices[0], (std::vector<std::string>{"method", "output", "time", "factor", "index", "value", "lower", "upper"}));
    EXPECT_EQ(indices[1][0], "sobol");
    EXPECT_EQ(indices[1][1], "NPPt");
    EXPECT_EQ(indices[1][3], "Q10d");
    EXPECT_EQ(indices[1][4], "S1");
    EXPECT_FALSE(indices[1][6].empty());

    const auto conv = ReadCsv(dir.File("out/convergence.csv"));
    EXPECT_EQ(conv[0], (std::vector<std::string>{"output", "time", "base_points", "factor", "index", "value"}));
    EXPECT_EQ(conv.size(), 1 + 2u * 4 * 3 * 7);  // outputs x sizes x times x (2 per factor + sum)
    EXPECT_EQ(conv[1][2], "8");

    // Each failed member takes its base point with it, the same for both outputs.
    std::size_t failedGroups = 0;
    const auto members = ReadCsv(dir.File("out/members.csv"));
    for (std::size_t g = 0; g < 64; ++g) {
        bool failed = false;
        for (std::size_t m = g * 5; m < g * 5 + 5; ++m) failed = failed || members[1 + m][1] == "failed";
        failedGroups += failed;
    }
    EXPECT_NE(r.report.find("NPPt: " + std::to_string(64 - failedGroups) + " base points used, " +
                            std::to_string(failedGroups) + " dropped for failed members"),
              std::string::npos)
        << r.report;
    EXPECT_EQ(ReadBytes(dir.File("out/report.txt")).find("Sobol' indices at time 2"), 0u);
}

TEST_F(SensEngine, InterruptedAnalysisResumesToTheSameFiles) {
    const TExperiment e = ReadExperiment(
        dir.Write("e.toml", SiteAndRun(2) + Factors + "[design]\nmethod = \"morris\"\ntrajectories = 30\n" + Outputs));
    Run(e, "whole", 1);
    // Stops once the first members have reached the journal.
    struct TStop final : IEngineProgress {
        std::atomic<bool> cancel{false};
        void Progress(const TEngineStatus&) override { cancel = true; }
    } stop;
    const TEnsembleOutcome part = Run(e, "parts", 2, false, &stop.cancel, 1e300, &stop);
    EXPECT_TRUE(part.cancelled);
    EXPECT_GT(part.kept, 0u);
    EXPECT_TRUE(part.report.empty());
    Run(e, "parts", 2, true);
    for (const char* f : {"indices.csv", "report.txt", "members.csv"})
        EXPECT_TRUE(ReadBytes(dir.File(std::string("whole/") + f)) == ReadBytes(dir.File(std::string("parts/") + f))) << f;
}

// The real site: the minimum root C:N (qu0) only matters where the roots'
// own C:N falls below it, which this site's never does.
TEST(SensSite, SameIndicesOnOneAndTwoThreadsAndNoneForAnInertFactor) {
    TScratch dir;
    const std::string path = dir.Write(
        "site.toml", SiteAndRun(10) +
                         "[[factor]]\nkind = \"parameter\"\nsymbol = \"Q10d\"\ndistribution = \"uniform\"\nmin = 1.6\nmax = 2.6\n"
                         "[[factor]]\nkind = \"parameter\"\nsymbol = \"qu0\"\ndistribution = \"uniform\"\nmin = 20\nmax = 40\n"
                         "[[factor]]\nkind = \"parameter\"\nsymbol = \"kIm\"\ndistribution = \"relative\"\npercent = 25\n"
                         "[design]\nmethod = \"sobol\"\nmembers = 16\nbootstrap = 200\n"
                         "[outputs]\nvariables = [\"NPPt\", \"Ch\", \"Nnh4\"]\ntimes = [5, 10]\n");
    const TExperiment e = ReadExperiment(path);
    for (int threads : {1, 2}) {
        TEnsembleOptions o;
        o.outDir = dir.File(std::string("t").append(std::to_string(threads)));
        o.threads = threads;
        RunEnsemble(e, o);
    }
    const std::string one = ReadBytes(dir.File("t1/indices.csv"));
    EXPECT_TRUE(one == ReadBytes(dir.File("t2/indices.csv")));
    std::size_t checked = 0;
    for (const auto& row : ReadCsv(dir.File("t1/indices.csv"))) {
        if (row[3] != "qu0" || row[4] != "ST") continue;
        ++checked;
        EXPECT_LE(std::stod(row[6]), 0.0) << row[1] << " at " << row[2];
        EXPECT_GE(std::stod(row[7]), 0.0) << row[1] << " at " << row[2];
    }
    EXPECT_EQ(checked, 3u * 2);
}

}  // namespace
}  // namespace orvane::ensemble
