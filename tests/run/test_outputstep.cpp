// The output-step check with its corrections, and the small arithmetic of
// the run (output interval, progress position).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/errors.h"
#include "run/outputstep.h"
#include "run/run.h"

namespace orvane {
namespace {

TGlobals& Times(TGlobals& g, double start, double stop, double step, double outputStep) {
    g.StartTime = start;
    g.StopTime = stop;
    g.TimeStep = step;
    g.OutputStep = outputStep;
    return g;
}

TEST(CheckOutputStep, RaisesTheKindOfEachFault) {
    TGlobals g;
    Times(g, 0, 5, 1, 1);
    EXPECT_THROW(CheckOutputStep(g, 0.5), EOutputStepTooSmall);
    EXPECT_THROW(CheckOutputStep(g, 6), EOutputStepTooLarge);
    EXPECT_THROW(CheckOutputStep(g, 1.5), EOutputStepNotMultiple);
    EXPECT_THROW(CheckOutputStep(g, 2.0015), EOutputStepNotMultiple);
    EXPECT_NO_THROW(CheckOutputStep(g, 2.0005));  // within 0.001 of a multiple
    EXPECT_NO_THROW(CheckOutputStep(g, 5));       // the whole run length
    // Too small is tested before too large.
    Times(g, 0, 0.5, 1, 1);
    EXPECT_THROW(CheckOutputStep(g, 0.7), EOutputStepTooSmall);
}

TEST(CorrectOutputStep, SetsTheValueAndComposesTheMessage) {
    TGlobals g;
    Times(g, 0, 2, 1, 0.5);
    EXPECT_EQ(CorrectOutputStep(g),
              "Output time step is less than simulation time step. Output time step increased "
              "to time step.");
    EXPECT_EQ(g.OutputStep, 1);

    Times(g, 0, 2, 1, 3);
    EXPECT_EQ(CorrectOutputStep(g),
              "Output time step is greater than run length. Output time step decreased to run "
              "length.");
    EXPECT_EQ(g.OutputStep, 2);

    Times(g, 0, 2, 1, 1.5);
    EXPECT_EQ(CorrectOutputStep(g),
              "Output time step must be a multiple of simulation time step. Output time step "
              "changed to current time step.");
    EXPECT_EQ(g.OutputStep, 1);

    Times(g, 0, 5, 1, 2.0005);
    EXPECT_EQ(CorrectOutputStep(g), "");
    EXPECT_EQ(g.OutputStep, 2.0005);
}

TEST(CorrectOutputStep, ATimeStepRaisedAboveTheOutputStepPullsItUp) {
    TGlobals g;
    Times(g, 0, 10, 2, 1);
    const std::string msg = CorrectOutputStep(g);
    EXPECT_EQ(g.OutputStep, 2);
    EXPECT_TRUE(msg.ends_with(" Output time step increased to time step.")) << msg;
}

TEST(CorrectOutputStep, ACorrectedValueIsNotCheckedAgain) {
    // Run length 1.5 with time step 1: lowered to 1.5, which is no multiple.
    TGlobals g;
    Times(g, 0, 1.5, 1, 3);
    CorrectOutputStep(g);
    EXPECT_EQ(g.OutputStep, 1.5);
}

TEST(CorrectOutputStep, NotANumberIsReplacedByTheTimeStep) {
    TGlobals g;
    Times(g, 0, 10, 1, std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(CorrectOutputStep(g).empty());
    EXPECT_EQ(g.OutputStep, 1);
}

TEST(OutputInterval, RoundsHalfToEvenAndNeverDropsBelowOne) {
    EXPECT_EQ(OutputInterval(1, 1), 1);
    EXPECT_EQ(OutputInterval(2, 1), 2);
    EXPECT_EQ(OutputInterval(2.0005, 1), 2);
    EXPECT_EQ(OutputInterval(2.5, 1), 2);
    EXPECT_EQ(OutputInterval(3.5, 1), 4);
    EXPECT_EQ(OutputInterval(0.75, 0.5), 2);
    EXPECT_EQ(OutputInterval(0.2, 1), 1);
    EXPECT_EQ(OutputInterval(std::numeric_limits<double>::quiet_NaN(), 1), 1);
}

TEST(RunProgressPercent, RoundsBothTimesThenDividesInIntegers) {
    EXPECT_EQ(RunProgressPercent(0, 0, 10), 0);
    EXPECT_EQ(RunProgressPercent(3, 0, 10), 30);
    EXPECT_EQ(RunProgressPercent(2, 0, 3), 66);      // truncating division
    EXPECT_EQ(RunProgressPercent(2.5, 0, 10), 20);   // 2.5 rounds to 2
    EXPECT_EQ(RunProgressPercent(3.5, 0, 10), 40);   // 3.5 rounds to 4
    EXPECT_EQ(RunProgressPercent(1990, 1990, 2090), 0);
    EXPECT_EQ(RunProgressPercent(2040, 1990, 2090), 50);
    EXPECT_EQ(RunProgressPercent(9.6, 0, 10), 100);
}

TEST(RunProgressPercent, ShortOrHugeRunsStayWithinTheBar) {
    // A run length that rounds to 0 must not divide by it.
    EXPECT_EQ(RunProgressPercent(0.2, 0, 0.4), 50);
    EXPECT_EQ(RunProgressPercent(0.0, 0, 0.4), 0);
    EXPECT_EQ(RunProgressPercent(5e17, 0, 1e18), 50);
    EXPECT_EQ(RunProgressPercent(-1, 0, 10), 0);
}

}  // namespace
}  // namespace orvane
