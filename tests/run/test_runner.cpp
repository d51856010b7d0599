// The command-line runner, run as the built program: exit codes, messages,
// and the files it leaves.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "io/fileio.h"
#include "run/run_support.h"

namespace orvane {
namespace {

using namespace testrun;

struct TResult {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(Program())) << "build the orvane-run target first";
        LoadTestSite(g);
        par = dir.File("site.par");
        drr = dir.File("site.drr");
        out = dir.File("site.out");
        WriteParamFile(g, par, g.ModelDef.numparam, g.Params, g.ModelDef.numstate, g.States, 0);
        WriteDrivers(g, drr, {{0.0, SiteDrivers(g)}});
    }

    static std::string Program() { return std::string(ORVANE_BIN_DIR) + "/orvane-run"; }

    TResult Exec(const std::string& args) {
        const std::string o = dir.File("stdout.txt");
        const std::string e = dir.File("stderr.txt");
        const std::string cmd = Quote(Program()) + " " + args +
                                " >" + Quote(o) + " 2>" + Quote(e) + " </dev/null";
        const int status = std::system(cmd.c_str());
        TResult r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(o);
        r.err = Slurp(e);
        return r;
    }

    std::string Files() { return Quote(par) + " " + Quote(drr) + " " + Quote(out); }

    TScratchDir dir;
    TGlobals g;
    std::string par, drr, out;
};

TEST_F(Runner, DefaultTimesRunZeroToTwo) {
    const TResult r = Exec(Files());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(RowTimes(ReadOutput(g, out)), (std::vector<double>{0, 1, 2}));
}

TEST_F(Runner, TimeOptionsAreHonoured) {
    const TResult r = Exec(Files() + " --start 1 --stop=7 --step 0.5 --output-step 2");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(RowTimes(ReadOutput(g, out)), (std::vector<double>{1, 3, 5, 7}));
}

TEST_F(Runner, OutputStepIsCorrectedWithTheWorkbenchMessage) {
    TResult r = Exec(Files() + " --output-step 0.5");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err,
              "Output time step is less than simulation time step. Output time step increased to "
              "time step.\n");
    EXPECT_EQ(RowTimes(ReadOutput(g, out)), (std::vector<double>{0, 1, 2}));

    r = Exec(Files() + " --output-step 3");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find(" Output time step decreased to run length."), std::string::npos);
    EXPECT_EQ(RowTimes(ReadOutput(g, out)), (std::vector<double>{0, 2}));
}

TEST_F(Runner, UsageErrorsExitWithTwo) {
    const char* bad[] = {
        "",                                   // no files
        "a b",                                // too few
        "--stop 1",                           // option only
        "--stop",                             // option without value
    };
    for (const char* args : bad) {
        const TResult r = Exec(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.err.find("usage: orvane-run PARAMFILE DRIVERFILE OUTPUTFILE"), std::string::npos);
    }
    struct {
        std::string args;
        std::string says;
    } cases[] = {
        {Files() + " --stop abc", "'abc' is not a valid floating point value"},
        {Files() + " --step 1,5", "'1,5' is not a valid floating point value"},
        {Files() + " --start 3 --stop 3", "stop time must be greater"},
        {Files() + " --start -1 --stop 1", "start time must not be negative"},
        {Files() + " --step 0", "time step must be greater than 0"},
        {Files() + " --output-step -1", "output time step must be greater than 0"},
        {Files() + " --speed 2", "unknown option --speed"},
        {Files() + " --integrator euler", "'euler' is neither rk nor cvode"},
        {Files() + " --rtol 1e-9", "tolerances of --integrator cvode"},
        {Files() + " --integrator cvode --atol 0", "must be greater than 0"},
        {Files() + " --integrator cvode --rtol -1e-9", "must be greater than 0"},
        {Files() + " extra", "too many"},
        {Quote(dir.File("none.par")) + " " + Quote(drr) + " " + Quote(out), "none.par"},
        {Quote(par) + " " + Quote(dir.File("none.drr")) + " " + Quote(out), "none.drr"},
    };
    for (const auto& c : cases) {
        const TResult r = Exec(c.args);
        EXPECT_EQ(r.code, 2) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));  // nothing was run
}

TEST_F(Runner, HelpGoesToStandardOutput) {
    const TResult r = Exec("--help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("usage: orvane-run"), std::string::npos);
}

TEST_F(Runner, ParameterFileOfAnotherModelIsRefused) {
    std::string text = Slurp(par);
    text.replace(0, 13, "Other Model  ");
    std::ofstream(par, std::ios::binary) << text;
    const TResult r = Exec(Files());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "The parameter file selected is not compatible with this model. No parameters "
              "read.\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}

// With either integrator: a model error inside CVODE, too, is reported by
// the model's own message.
TEST_F(Runner, RunErrorKeepsTheRowsWritten) {
    drivearray bad = SiteDrivers(g);
    bad[dr::Ppt].value = -1;  // the model overflows on rain that falls upwards
    WriteDrivers(g, drr, {{0.0, SiteDrivers(g)}, {2.0, bad}});
    for (const char* integrator : {"", " --integrator cvode"}) {
        const TResult r = Exec(Files() + " --stop 5" + integrator);
        EXPECT_EQ(r.code, 1) << integrator;
        EXPECT_EQ(r.err, "Floating point overflow\n") << integrator;
        EXPECT_EQ(RowTimes(ReadOutput(g, out)), (std::vector<double>{0, 1, 2})) << integrator;
    }
}

// The same rows under the same header, and the summary says which
// integrator made them.
TEST_F(Runner, IntegratorIsChosenAndNamed) {
    TResult r = Exec(Files() + " --stop 20");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("; integrator: Runge-Kutta, tolerance 1E-8\n"), std::string::npos) << r.out;
    const std::string rk = Slurp(out);
    const auto rkRows = ReadOutput(g, out);

    r = Exec(Files() + " --stop 20 --integrator cvode");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("; integrator: CVODE BDF, rtol 1E-11, atol 1E-11\n"), std::string::npos)
        << r.out;
    const std::string cvode = Slurp(out);
    const auto header = [](const std::string& text) {
        return text.substr(0, text.find('\n', text.find('\n') + 1));
    };
    EXPECT_EQ(header(cvode), header(rk));
    const auto cvodeRows = ReadOutput(g, out);
    ASSERT_EQ(RowTimes(cvodeRows), RowTimes(rkRows));
    for (std::size_t k = 0; k < rkRows.size(); ++k) {
        for (int i = 1; i <= 19; ++i) {
            EXPECT_NEAR(cvodeRows[k].states[i].value, rkRows[k].states[i].value,
                        1e-8 * std::fabs(rkRows[k].states[i].value))
                << "row " << k << " state " << i;
        }
    }

    r = Exec(Files() + " --integrator=cvode --rtol 1e-9 --atol=1e-6");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("; integrator: CVODE BDF, rtol 1E-9, atol 1E-6\n"), std::string::npos)
        << r.out;
}

TEST_F(Runner, InterruptKeepsEveryRowWritten) {
    // A run of ten million years, interrupted once it is well under way.
    const std::string e = dir.File("stderr.txt");
    const std::string cmd = Quote(Program()) + " " + Files() + " --stop 1e7 2>" + Quote(e) +
                            " & pid=$!; sleep 0.5; kill -INT $pid; wait $pid";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string err = Slurp(e);
    EXPECT_NE(err.find("Run interrupted at time "), std::string::npos) << err;
    const std::string text = Slurp(out);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");  // no row cut short
    const auto rows = ReadOutput(g, out);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows.back().time, static_cast<double>(rows.size() - 1));
}

TEST_F(Runner, OutputFileThatIsAnInputIsRefusedUntouched) {
    const std::string before = Slurp(par);
    std::filesystem::create_symlink(par, dir.File("link.out"));
    for (const std::string& target : {par, dir.File("link.out")}) {
        const TResult r = Exec(Quote(par) + " " + Quote(drr) + " " + Quote(target));
        EXPECT_EQ(r.code, 2) << target;
        EXPECT_NE(r.err.find("is the parameter file"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Slurp(par), before);
}

}  // namespace
}  // namespace orvane
