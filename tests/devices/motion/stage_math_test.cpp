#include "devices/motion/stage_math.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

TEST(StageMath, PositionCountsStepsFromTheZeroAndAddsMicrosteps) {
  EXPECT_DOUBLE_EQ(stepsToUm(1234, 0, 1234, 1), 0.0);
  EXPECT_DOUBLE_EQ(stepsToUm(1234 + 800, 0, 1234, 1), 1000.0);  // 1.25 um per step
  EXPECT_DOUBLE_EQ(stepsToUm(1234, 128, 1234, 1), 0.625);
  EXPECT_DOUBLE_EQ(stepsToUm(-11, 64, -10, 1), -0.9375);       // -1 step + 1/4 step
  // The whole steps are subtracted as integers, so readings at the ends of
  // the controller's range neither overflow nor lose precision.
  EXPECT_DOUBLE_EQ(stepsToUm(INT_MAX, 0, INT_MIN, 1), (2.0 * INT_MAX + 1.0) * 1.25);
}

TEST(StageMath, ZeroStepsMakesTheReadingTheDeclaredPosition) {
  EXPECT_EQ(zeroStepsFor(1234, 0.0, 1), 1234);
  EXPECT_EQ(zeroStepsFor(1000, 100.0, 1), 920);   // 100 um = 80 steps
  EXPECT_EQ(zeroStepsFor(1000, 1.0, 1), 1000);    // 0.8 step truncates to 0
  EXPECT_EQ(zeroStepsFor(1000, -1.0, 1), 1000);   // toward zero, not down
  EXPECT_EQ(zeroStepsFor(0, 1e300, 1), INT_MIN);  // saturates, no undefined conversion
  const int zero = zeroStepsFor(500, 50.0, 1);
  EXPECT_DOUBLE_EQ(stepsToUm(500, 0, zero, 1), 50.0);
}

TEST(StageMath, TargetsSplitIntoWholeStepsAndMicrosteps) {
  int whole = 0;
  int micro = 0;
  ASSERT_TRUE(moveTargetFor(1000.0, 0, 1, whole, micro));
  EXPECT_EQ(whole, 800);
  EXPECT_EQ(micro, 0);
  ASSERT_TRUE(moveTargetFor(1.0, 100, 1, whole, micro));  // 0.8 step above a zero of 100
  EXPECT_EQ(whole, 100);
  EXPECT_EQ(micro, 204);  // trunc(0.8 * 256)
  ASSERT_TRUE(moveTargetFor(-0.625, 0, 1, whole, micro));  // -0.5 step = -1 step + 128
  EXPECT_EQ(whole, -1);
  EXPECT_EQ(micro, 128);
}

TEST(StageMath, AFractionThatRoundsToAWholeStepCarriesIntoTheNextStep) {
  // Just below a whole step the fraction rounds to exactly 1.0: 256
  // microsteps, which the controller does not accept.
  const StepTarget t = splitSteps(-8e-18);
  EXPECT_EQ(t.whole, 0);
  EXPECT_EQ(t.micro, 0);
  int whole = 0;
  int micro = 0;
  ASSERT_TRUE(moveTargetFor(-1e-17, 40, 1, whole, micro));
  EXPECT_EQ(whole, 40);
  EXPECT_EQ(micro, 0);
  for (double s : {-1e-300, -3.5, 2.999999, -0.0001, 12345.678}) {
    const StepTarget split = splitSteps(s);
    EXPECT_GE(split.micro, 0) << s;
    EXPECT_LT(split.micro, 256) << s;
  }
}

TEST(StageMath, TargetsOutsideTheControllerRangeAreRefused) {
  int whole = 7;
  int micro = 7;
  EXPECT_FALSE(moveTargetFor(std::numeric_limits<double>::quiet_NaN(), 0, 1, whole, micro));
  EXPECT_FALSE(moveTargetFor(std::numeric_limits<double>::infinity(), 0, 1, whole, micro));
  EXPECT_FALSE(moveTargetFor(1e300, 0, 1, whole, micro));
  EXPECT_FALSE(moveTargetFor(10.0, INT_MAX, 1, whole, micro));  // the zero pushes it over
  EXPECT_EQ(whole, 7);
  EXPECT_EQ(micro, 7);
}

TEST(StageMath, SingleMoveTimeoutIsTwiceTheEstimatePlusOneSecond) {
  EXPECT_EQ(singleMoveTimeoutMs(10000.0, 1, 500), 33000);
  EXPECT_EQ(singleMoveTimeoutMs(-10000.0, 1, 500), 33000);
  EXPECT_EQ(singleMoveTimeoutMs(0.0, 1, 500), 1000);
  EXPECT_EQ(singleMoveTimeoutMs(1.0, 1, 700), 2 * 1 + 1000);  // trunc(0.8 * 1000 / 700) = 1
  // No speed, or a negative one, is the default speed rather than a division by zero.
  EXPECT_EQ(singleMoveTimeoutMs(10000.0, 1, 0), singleMoveTimeoutMs(10000.0, 1, 700));
  EXPECT_EQ(singleMoveTimeoutMs(10000.0, 1, -5), singleMoveTimeoutMs(10000.0, 1, 700));
  EXPECT_EQ(effectiveMoveSpeed(0), 700);
  EXPECT_EQ(effectiveMoveSpeed(250), 250);
  EXPECT_EQ(singleMoveTimeoutMs(1e12, 1, 1), INT_MAX);
  EXPECT_EQ(singleMoveTimeoutMs(std::numeric_limits<double>::quiet_NaN(), 1, 500), INT_MAX);
}

TEST(StageMath, XYMoveSplitsTheSpeedSoBothAxesArriveTogether) {
  const XYMovePlan p = planXYMove(300.0, 400.0, 500);
  EXPECT_EQ(p.speed, 500);
  EXPECT_DOUBLE_EQ(p.totalMs, 1000.0);
  EXPECT_EQ(p.a.steps, 300);
  EXPECT_EQ(p.a.micro, 0);
  EXPECT_EQ(p.b.steps, 400);
  EXPECT_EQ(p.b.micro, 0);
  EXPECT_EQ(xyMoveLimitMs(p.totalMs), 8500);

  const XYMovePlan q = planXYMove(1.0, 2.0, 100);  // T = sqrt(5) * 10 ms
  EXPECT_EQ(q.a.steps, 44);
  EXPECT_EQ(q.b.steps, 89);
  // The two speeds keep the ratio of the distances (within a microstep).
  EXPECT_NEAR((q.b.steps + q.b.micro / 256.0) / (q.a.steps + q.a.micro / 256.0), 2.0, 0.001);
}

TEST(StageMath, XYMoveClampsTheSpeedAndNeverDividesByZero) {
  EXPECT_EQ(planXYMove(0.0, 1.0, 5).b.steps, 10);
  EXPECT_EQ(planXYMove(0.0, 100.0, 900).b.steps, 700);
  EXPECT_EQ(planXYMove(0.0, 100.0, -3).speed, 10);
  const XYMovePlan none = planXYMove(0.0, 0.0, 700);
  EXPECT_EQ(none.a.steps + none.b.steps, 0);
  EXPECT_EQ(none.totalMs, 0.0);
  EXPECT_EQ(planXYMove(std::nan(""), 1.0, 700).b.steps, 0);
}

TEST(StageMath, AxisOrderOutOfRangeAndExtraControllers) {
  const AxisAssignment high = assignAxes(9, 3);  // 5 or more: Z, Y, X
  EXPECT_EQ(high.z, 0);
  EXPECT_EQ(high.y, 1);
  EXPECT_EQ(high.x, 2);
  const AxisAssignment negative = assignAxes(-1, 2);  // taken as 0
  EXPECT_EQ(negative.x, 0);
  EXPECT_EQ(negative.y, 1);
  const AxisAssignment more = assignAxes(1, 7);  // only the first three are used
  EXPECT_EQ(more.x, 0);
  EXPECT_EQ(more.z, 1);
  EXPECT_EQ(more.y, 2);
  EXPECT_EQ(assignAxes(0, 0).x, -1);
}

TEST(StageMath, ArrivalCheckDecisionsAndTheirPrecedence) {
  // Within 0.1 um: arrived, even at a limit.
  EXPECT_EQ(arrivalCheck(100.05f, 90.0f, 100.0, 1, 1, 0), arrivalArrived);
  // A limit only ends the wait when the target lies beyond it.
  EXPECT_EQ(arrivalCheck(50.0f, 40.0f, 10.0, 1, 0, 0), arrivalLeftLimit);
  EXPECT_EQ(arrivalCheck(50.0f, 40.0f, 90.0, 1, 0, 0), arrivalGoOn);
  EXPECT_EQ(arrivalCheck(50.0f, 40.0f, 90.0, 0, 1, 0), arrivalRightLimit);
  EXPECT_EQ(arrivalCheck(50.0f, 40.0f, 10.0, 0, 1, 0), arrivalGoOn);
  // Stuck: unchanged, still over 1 um away, and only after more than 100 polls.
  EXPECT_EQ(arrivalCheck(50.0f, 50.0f, 90.0, 0, 0, 100), arrivalGoOn);
  EXPECT_EQ(arrivalCheck(50.0f, 50.0f, 90.0, 0, 0, 101), arrivalNotMoving);
  EXPECT_EQ(arrivalCheck(50.0f, 49.0f, 90.0, 0, 0, 500), arrivalGoOn);   // still moving
  EXPECT_EQ(arrivalCheck(89.5f, 89.5f, 90.0, 0, 0, 500), arrivalGoOn);   // creeping the last um
  // The first poll compares against 1 000 000, so it never counts as stuck.
  EXPECT_EQ(arrivalCheck(1000000.0f, 1000000.0f, 0.0, 0, 0, 0), arrivalGoOn);
}

}  // namespace
