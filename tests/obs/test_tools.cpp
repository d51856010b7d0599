// The runner's goodness of fit and orvane-compare, run as the built programs
// on the example site.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "io/numfmt.h"
#include "obs/compare.h"
#include "obs/fit.h"
#include "obs/obs_test_util.h"

namespace orvane {
namespace {

using testobs::ReadText;
using testobs::WriteText;

struct TResult {
    int code = -1;
    std::string out, err;
};

class Tools : public ::testing::Test {
protected:
    TResult Exec(const std::string& program, const std::string& args) {
        const std::string o = dir.File("stdout.txt"), e = dir.File("stderr.txt");
        const std::string cmd = std::string(ORVANE_BIN_DIR) + "/" + program + " " + args + " >'" + o +
                                "' 2>'" + e + "' </dev/null";
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(o), ReadText(e)};
    }
    std::string Example(const std::string& name) { return std::string(ORVANE_SOURCE_DIR) + "/examples/" + name; }
    std::string Run(const std::string& out, const std::string& more = "") {
        return Example("temperate.par") + " " + Example("temperate-co2.drr") + " " + out + " --stop 40 " + more;
    }

    testobs::TScratch dir;
    std::string out = dir.File("a.out");
};

TEST_F(Tools, RunnerPrintsAndWritesTheCoresFit) {
    const std::string csv = dir.File("fit.csv");
    TResult r = Exec("orvane-run", Run(out, "--observations " + Example("temperate-observations.csv") +
                                                " --fit-out " + csv));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("variable            n         bias"), std::string::npos) << r.out;
    // The observations after year 40 lie outside this run and are said to be.
    EXPECT_NE(r.out.find("Cf: 11 observations outside the run not used (the run's times are 0 to 40)"),
              std::string::npos) << r.out;

    TGlobals g;
    InitialiseGlobals(g);
    const auto obs = ReadObservationFile(Example("temperate-observations.csv"), TVariableCatalogue(g));
    EXPECT_EQ(ReadText(csv), FitCsv(FitRun(obs, ReadRunTable(out))));

    // A mistake in the observations stops the runner before it runs.
    const std::string bad = dir.File("bad.csv");
    WriteText(bad, "time,Cf\n1,2\n1,3\n");
    std::filesystem::remove(out);
    r = Exec("orvane-run", Run(out, "--observations " + bad));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, bad + ":3:1: time 1 is given twice for 'Cf' (first on line 2)\n");
    EXPECT_FALSE(std::filesystem::exists(out));

    r = Exec("orvane-run", Run(out, "--fit-out " + csv));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--fit-out needs --observations"), std::string::npos);
}

TEST_F(Tools, CompareExitsByTolerance) {
    ASSERT_EQ(Exec("orvane-run", Run(out)).code, 0);
    const std::string b = dir.File("b.out");
    std::string text = ReadText(out);
    // Wood carbon at the last row, a little off.
    const TRunTable t = ReadRunTable(out);
    const std::size_t lastRow = text.rfind("\r\n", text.size() - 3) + 2;
    const std::size_t at = text.find(FormatSci13(t.At(t.Rows() - 1, 10)), lastRow + 10 * 21);
    ASSERT_NE(at, std::string::npos);
    std::string changed = text;
    changed.replace(at, 19, FormatSci13(t.At(t.Rows() - 1, 10) * (1 + 1e-6)));
    WriteText(b, changed);

    TResult r = Exec("orvane-compare", out + " " + out);
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    r = Exec("orvane-compare", out + " " + b);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Wood Carbon"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 columns differ, 1 beyond the tolerance"), std::string::npos) << r.out;
    EXPECT_EQ(Exec("orvane-compare", out + " " + b + " --rtol 2e-6").code, 0);
    EXPECT_EQ(Exec("orvane-compare", out + " " + b + " --rtol 0 --atol=1").code, 0);

    WriteText(b, text.substr(0, lastRow));  // one row fewer
    r = Exec("orvane-compare", out + " " + b);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("the files have 41 and 40 rows"), std::string::npos) << r.out;

    EXPECT_EQ(Exec("orvane-compare", out).code, 2);
    EXPECT_EQ(Exec("orvane-compare", out + " " + b + " --rtol -1").code, 2);
    r = Exec("orvane-compare", out + " " + dir.File("none.out"));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("none.out"), std::string::npos);

    // Two NaN agree; NaN against a number does not.
    EXPECT_TRUE(ValuesAgree(NAN, NAN, 0, 0));
    EXPECT_FALSE(ValuesAgree(NAN, 1, 1, 1));
    EXPECT_TRUE(ValuesAgree(INFINITY, INFINITY, 0, 0));
}

}  // namespace
}  // namespace orvane
