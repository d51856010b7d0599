// Whole runs on the test site: rows written, states reached, failures,
// cancelling and files closed.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "model/errors.h"
#include "run/run.h"
#include "run/run_support.h"

namespace orvane {
namespace {

using namespace testrun;

class Run : public ::testing::Test {
protected:
    void SetUp() override {
        LoadTestSite(g);
        g.DriverFileName = dir.File("site.drr");
        g.OutputFileName = dir.File("site.out");
        WriteDrivers(g, g.DriverFileName, {{0.0, SiteDrivers(g)}});
    }

    TRunResult RunTimes(double start, double stop, double step, double outputStep,
                        IRunProgress* progress = nullptr) {
        g.StartTime = start;
        g.StopTime = stop;
        g.TimeStep = step;
        g.OutputStep = outputStep;
        return RunSimulation(g, progress);
    }

    void ExpectFilesClosed() {
        EXPECT_FALSE(g.DriverReader.IsOpen());
        EXPECT_FALSE(g.OutputWriter.IsOpen());
        EXPECT_TRUE(g.OutputCurrent);
    }

    // States and processes in memory are those of the given row.
    void ExpectMemoryHoldsRow(const TOutputRow& row) {
        for (int i = 1; i <= g.ModelDef.numstate; ++i) {
            EXPECT_TRUE(SameTo13Digits(g.States[i].value, row.states[i].value)) << "state " << i;
        }
        for (int p = 1; p <= g.ModelDef.numprocess; ++p) {
            EXPECT_TRUE(SameTo13Digits(g.Processes[p].value, row.processes[p].value))
                << "process " << p;
        }
    }

    TScratchDir dir;
    TGlobals g;
};

TEST_F(Run, TwoYearsWithYearlyOutputWriteThreeRows) {
    const TRunResult r = RunTimes(0, 2, 1, 1);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.rowsWritten, 3);
    EXPECT_EQ(g.CurrentTime, 2);
    ExpectFilesClosed();

    std::ifstream in(g.OutputFileName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 5);  // two header lines, three rows
    EXPECT_EQ(s.rfind("                Time ", 0), 0u);

    const auto rows = ReadOutput(g, g.OutputFileName);
    ASSERT_EQ(RowTimes(rows), (std::vector<double>{0, 1, 2}));
    ExpectMemoryHoldsRow(rows.back());
    // The start row holds the initial states of the site.
    statearray initial = g.States;
    fixture::SetSiteStates(initial);
    EXPECT_TRUE(SameTo13Digits(rows[0].states[st::Cw].value, initial[st::Cw].value));
}

TEST_F(Run, OnlyWholeStepsAreTaken) {
    const TRunResult r = RunTimes(0, 5, 2, 2);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(g.CurrentTime, 4);
    EXPECT_EQ(RowTimes(ReadOutput(g, g.OutputFileName)), (std::vector<double>{0, 2, 4}));
}

TEST_F(Run, OutputStepOfTwoStepsWritesEverySecondStep) {
    ASSERT_TRUE(RunTimes(0, 2, 1, 2).ok);
    EXPECT_EQ(RowTimes(ReadOutput(g, g.OutputFileName)), (std::vector<double>{0, 2}));
    ASSERT_TRUE(RunTimes(10, 15.5, 0.5, 1).ok);
    EXPECT_EQ(RowTimes(ReadOutput(g, g.OutputFileName)),
              (std::vector<double>{10, 11, 12, 13, 14, 15}));
}

TEST_F(Run, RowsHoldTheDriversOfTheStepJustEnded) {
    drivearray later = SiteDrivers(g);
    later[dr::Ca].value = 420;
    WriteDrivers(g, g.DriverFileName, {{0.0, SiteDrivers(g)}, {1.0, later}});
    ASSERT_TRUE(RunTimes(0, 3, 1, 1).ok);
    const auto rows = ReadOutput(g, g.OutputFileName);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].drivers[dr::Ca].value, 350);
    EXPECT_EQ(rows[1].drivers[dr::Ca].value, 350);  // integrated 0..1 with the row of 0
    EXPECT_EQ(rows[2].drivers[dr::Ca].value, 420);
    EXPECT_EQ(rows[3].drivers[dr::Ca].value, 420);  // the last row stays in force
}

TEST_F(Run, ASecondRunContinuesFromWhereTheFirstEnded) {
    ASSERT_TRUE(RunTimes(0, 2, 1, 1).ok);
    const auto first = ReadOutput(g, g.OutputFileName);
    ASSERT_TRUE(RunTimes(0, 2, 1, 1).ok);
    const auto second = ReadOutput(g, g.OutputFileName);
    for (int i = 1; i <= g.ModelDef.numstate; ++i) {
        EXPECT_TRUE(SameTo13Digits(second[0].states[i].value, first.back().states[i].value))
            << "state " << i;
    }
    EXPECT_NE(second.back().states[st::Cs].value, first.back().states[st::Cs].value);
}

TEST_F(Run, AStateHeldConstantKeepsItsValue) {
    g.States[st::Cf].HoldConstant = true;
    g.States[st::Cf].value = 180;  // away from the site's balance, so it would move
    const statearray before = g.States;
    ASSERT_TRUE(RunTimes(0, 10, 1, 1).ok);
    EXPECT_EQ(g.States[st::Cf].value, 180);
    EXPECT_NE(g.States[st::Clf].value, before[st::Clf].value);
    for (const auto& row : ReadOutput(g, g.OutputFileName)) {
        EXPECT_EQ(row.states[st::Cf].value, 180);
        EXPECT_EQ(row.processes[st::Cf].value, 0);  // dCfdt
    }
}

// The model faults on drivers from a row at time 2: the third step fails.
class FailingRun : public Run {
protected:
    void SetUp() override {
        Run::SetUp();
        drivearray bad = SiteDrivers(g);
        bad[dr::Ppt].value = -1;  // rain that falls upwards
        WriteDrivers(g, g.DriverFileName, {{0.0, SiteDrivers(g)}, {2.0, bad}});
    }
};

TEST_F(FailingRun, KeepsTheRowsAndStatesOfTheCompletedSteps) {
    const TRunResult r = RunTimes(0, 5, 1, 1);
    ASSERT_FALSE(r.ok);
    EXPECT_FALSE(r.cancelled);
    EXPECT_FALSE(r.message.empty());
    EXPECT_TRUE(r.error);
    EXPECT_THROW(std::rethrow_exception(r.error), EMathError);
    ExpectFilesClosed();
    EXPECT_EQ(g.CurrentTime, 2);
    const auto rows = ReadOutput(g, g.OutputFileName);
    ASSERT_EQ(RowTimes(rows), (std::vector<double>{0, 1, 2}));
    ExpectMemoryHoldsRow(rows.back());
}

class TRecordedMessages : public IMessageSink {
public:
    void ShowMessage(TMsgKind kind, const std::string& text) override {
        shown.push_back({kind, text});
    }
    std::vector<std::pair<TMsgKind, std::string>> shown;
};

TEST_F(Run, MissingDriverFileFailsWithoutTouchingTheOutputFile) {
    TRecordedMessages messages;
    g.Messages = &messages;
    {
        std::ofstream old(g.OutputFileName);
        old << "an earlier run\n";
    }
    g.DriverFileName = dir.File("nowhere.drr");
    const TRunResult r = RunTimes(0, 2, 1, 1);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("nowhere.drr"), std::string::npos) << r.message;
    EXPECT_THROW(std::rethrow_exception(r.error), EInOutError);
    ExpectFilesClosed();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].first, TMsgKind::Error);
    EXPECT_EQ(messages.shown[0].second, "Cannot read driver file. File does not exist.");
    std::ifstream in(g.OutputFileName);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "an earlier run");
}

TEST_F(Run, OutputFileThatCannotBeCreatedFailsAndClosesTheDriverFile) {
    g.OutputFileName = dir.File("no/such/dir/site.out");
    const TRunResult r = RunTimes(0, 2, 1, 1);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    ExpectFilesClosed();
}

TEST_F(Run, TimeStepThatCannotAdvanceIsRefusedInsteadOfLoopingForEver) {
    for (double step : {0.0, -1.0, std::nan("")}) {
        const TRunResult r = RunTimes(0, 2, step, 1);
        EXPECT_FALSE(r.ok) << step;
        EXPECT_FALSE(r.message.empty());
    }
    // Far too small to change a time of 1e6.
    const TRunResult r = RunTimes(1e6, 1e6 + 1, 1e-12, 1e-12);
    EXPECT_FALSE(r.ok);
    ExpectFilesClosed();
}

class TCancelAt : public IRunProgress {
public:
    explicit TCancelAt(int call) : call_(call) {}
    void Progress(int percent) override {
        percents.push_back(percent);
        if (static_cast<int>(percents.size()) == call_) throw EUserCancel(MsgUserCancel);
    }
    std::vector<int> percents;

private:
    int call_;
};

TEST_F(Run, ProgressReportsTheShareDoneBeforeEachStep) {
    TCancelAt never(-1);
    ASSERT_TRUE(RunTimes(0, 4, 1, 1, &never).ok);
    EXPECT_EQ(never.percents, (std::vector<int>{0, 25, 50, 75}));
}

TEST_F(Run, CancelEndsQuietlyWithTheFilesClosedAndRowsKept) {
    TCancelAt third(3);
    const TRunResult r = RunTimes(0, 10, 1, 1, &third);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.message.empty());
    ExpectFilesClosed();
    // The third step was complete and written when the cancel came.
    EXPECT_EQ(g.CurrentTime, 3);
    const auto rows = ReadOutput(g, g.OutputFileName);
    ASSERT_EQ(RowTimes(rows), (std::vector<double>{0, 1, 2, 3}));
    ExpectMemoryHoldsRow(rows.back());
}

}  // namespace
}  // namespace orvane
