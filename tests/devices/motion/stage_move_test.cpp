#include "stage_fixture.h"
#include "ui_driver.h"

#include <atomic>
#include <cmath>
#include <thread>

namespace {

// X, Y, Z are the fake's controllers 0, 1, 2 with ids 11, 12, 13.
class StageMove : public StageWithFake {
 protected:
  void SetUp() override {
    StageWithFake::SetUp();
    ASSERT_TRUE(connectWith(3, 0));
  }
};

TEST_F(StageMove, ATargetEqualToThePositionSendsNothing) {
  EXPECT_EQ(moveAxisTo(stageX, stageX.positionUm), 1);
  EXPECT_TRUE(startAxisMove(stageY, stageY.positionUm));
  EXPECT_TRUE(moveAxesTo(stageX, stageY, stageX.positionUm + 0.005, stageY.positionUm));
  EXPECT_EQ(fake().calls(), "");
}

TEST_F(StageMove, AMoveArrivesAndSendsStepsAndMicrosteps) {
  EXPECT_EQ(moveAxisTo(stageX, 100.0, 700), 1);
  EXPECT_EQ(stageX.positionUm, 100.0);
  EXPECT_EQ(fake().position(0), 80 * 256);
  EXPECT_EQ(moveAxisTo(stageX, 101.0, 700), 1);  // 0.8 step further: 204 microsteps
  const std::string calls = fake().calls();
  EXPECT_TRUE(contains(calls, "set_engine_settings 11 700 0 0x41\ncommand_move 11 80 0\n")) << calls;
  EXPECT_TRUE(contains(calls, "command_move 11 80 204\n")) << calls;
  // The speed is only written when it changes.
  EXPECT_EQ(calls.find("set_engine_settings"), calls.rfind("set_engine_settings")) << calls;

  // A relative move of the focus axis.
  moveZBy(-12.5);
  EXPECT_EQ(stageZ.positionUm, -12.5);
  EXPECT_EQ(fake().position(2), -10 * 256);
}

TEST_F(StageMove, AFractionRoundingToAWholeStepIsSentAsTheNextStep) {
  closeAllAxes();
  fake().reset(1);
  fake().setPosition(0, 40, 0);
  ASSERT_TRUE(connectStage(0, 500));  // zero at 40 steps
  fake().clearLog();
  EXPECT_TRUE(startAxisMove(stageX, -1e-17));
  EXPECT_EQ(fake().calls(), "command_move 11 40 0\n");
}

TEST_F(StageMove, ASpeedOfZeroOrLessMovesAtTheDefaultSpeed) {
  EXPECT_EQ(moveAxisTo(stageX, 10.0, 0), 1);
  EXPECT_EQ(moveAxisTo(stageY, 10.0, -20), 1);
  const std::string calls = fake().calls();
  EXPECT_TRUE(contains(calls, "set_engine_settings 11 700 0")) << calls;
  EXPECT_TRUE(contains(calls, "set_engine_settings 12 700 0")) << calls;
}

TEST_F(StageMove, AMoveFurtherIntoAnActiveLimitIsRefusedAndAMoveAwayAllowed) {
  struct Side {
    const char* name;
    int left, right;      // which switch X stands on
    double into, away;    // targets, um
    long long awaySteps;  // where the move away ends, 1/256 steps
  };
  const Side sides[] = {{"right", 0, 1, 50.0, -5.0, -4 * 256}, {"left", 1, 0, -50.0, 5.0, 4 * 256}};
  for (const Side& side : sides) {
    SCOPED_TRACE(side.name);
    closeAllAxes();
    ASSERT_TRUE(connectWith(3, 0));
    fake().setLimits(0, side.left, 0, side.right, 0);
    readAxisPosition(stageX);
    EXPECT_EQ(stageX.atLeftLimit, side.left);
    EXPECT_EQ(stageX.atRightLimit, side.right);
    EXPECT_EQ(infoText(), "Warning: Scanner is out of range.");
    EXPECT_EQ(moveAxisTo(stageX, side.into), 0);
    EXPECT_FALSE(contains(fake().calls(), "command_move"));
    EXPECT_EQ(moveAxisTo(stageX, side.away), 1);
    EXPECT_EQ(fake().position(0), side.awaySteps);
  }
}

TEST_F(StageMove, RunningOntoALimitSwitchEndsTheWait) {
  fake().setLimits(0, 1, -40, 1, 40);  // switches at -50 um and +50 um
  EXPECT_EQ(moveAxisTo(stageX, 200.0), 3);
  EXPECT_NEAR(stageX.positionUm, 50.0, 1e-9);  // the position last read
  EXPECT_EQ(infoText(), "Warning: Scanner is out of range.");
  EXPECT_EQ(moveAxisTo(stageX, -200.0), 2);
  EXPECT_NEAR(stageX.positionUm, -50.0, 1e-9);
}

TEST_F(StageMove, AStuckAxisGivesUpLongBeforeItsTimeout) {
  fake().setMode(0, fakeStuck);  // reports running, never gets anywhere
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(moveAxisTo(stageX, 10000.0), 0);  // time-out 2 x 11428 + 1000 ms
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_GE(elapsed, 5000u);   // more than 100 polls of 50 ms
  EXPECT_LT(elapsed, 20000u);
  EXPECT_EQ(stageX.positionUm, 0.0);

  // A controller that drops the move reports it stopped at once.
  fake().setMode(1, fakeIgnoresMoves);
  EXPECT_EQ(moveAxisTo(stageY, 100.0), 5);
  EXPECT_EQ(stageY.positionUm, 0.0);
}

TEST_F(StageMove, AClickDuringAWaitEndsItAndStopsZ) {
  EXPECT_TRUE(startAxisMove(stageZ, 5000.0));
  ASSERT_TRUE(fake().isMoving(2));
  std::atomic<bool> posted{false};
  std::thread clicker([&] {
    if (ui::eventually([&] { return fake().isMoving(0) != 0; }, 10000)) {
      posted = PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50)) != 0;
    }
  });
  const ULONGLONG start = GetTickCount64();
  const int outcome = moveAxisTo(stageX, 5000.0);  // about 5.7 s of travel
  const ULONGLONG elapsed = GetTickCount64() - start;
  clicker.join();
  ASSERT_TRUE(posted);
  EXPECT_EQ(outcome, 0);
  EXPECT_LT(elapsed, 4000u);
  EXPECT_EQ(infoText(), "stop requested");
  const std::string calls = fake().calls();
  EXPECT_TRUE(contains(calls, "command_stop 13\n")) << calls;
  EXPECT_FALSE(contains(calls, "command_stop 11")) << calls;
  EXPECT_FALSE(fake().isMoving(2));
  EXPECT_TRUE(fake().isMoving(0));  // X runs on to its target
  stopAxis(stageX);
}

TEST_F(StageMove, AnXYMoveMakesBothAxesArriveTogether) {
  EXPECT_TRUE(moveAxesTo(stageX, stageY, 300.0, -400.0, 500));
  const std::string calls = fake().calls();
  EXPECT_TRUE(contains(calls, "set_engine_settings 11 300 0")) << calls;
  EXPECT_TRUE(contains(calls, "set_engine_settings 12 400 0")) << calls;
  EXPECT_EQ(stageX.positionUm, 300.0);
  EXPECT_EQ(stageY.positionUm, -400.0);
  EXPECT_EQ(fake().position(0), 240 * 256);
  EXPECT_EQ(fake().position(1), -320 * 256);
  EXPECT_LT(std::fabs(fake().plannedFinishMs(0) - fake().plannedFinishMs(1)), 50.0);

  // Relative moves go through the same path.
  moveXYBy(-300.0, 0.0);
  EXPECT_EQ(fake().position(0), 0);
  EXPECT_EQ(fake().position(1), -320 * 256);
}

TEST_F(StageMove, AnXYMoveWithOneDistanceZeroMovesOnlyTheOtherAxisAtFullSpeed) {
  EXPECT_TRUE(moveAxesTo(stageX, stageY, 0.0, 100.0, 700));
  const std::string calls = fake().calls();
  EXPECT_TRUE(contains(calls, "set_engine_settings 11 0 0")) << calls;
  EXPECT_FALSE(contains(calls, "command_move 11")) << calls;
  EXPECT_TRUE(contains(calls, "set_engine_settings 12 700 0")) << calls;
  EXPECT_TRUE(contains(calls, "command_move 12 80 0")) << calls;
  EXPECT_EQ(fake().position(1), 80 * 256);
}

TEST_F(StageMove, XYSpeedIsRaisedToTenAndLoweredToSevenHundred) {
  EXPECT_TRUE(moveAxesTo(stageX, stageY, 0.0, 1.0, 5));
  EXPECT_TRUE(contains(fake().calls(), "set_engine_settings 12 10 0")) << fake().calls();
  fake().clearLog();
  moveAxesBy(stageX, stageY, 0.0, 100.0, 900);
  EXPECT_TRUE(contains(fake().calls(), "set_engine_settings 12 700 0")) << fake().calls();
  EXPECT_EQ(stageY.positionUm, 101.0);
}

TEST_F(StageMove, AnXYMoveThatDoesNotFinishKeepsThePositionsRead) {
  fake().setMode(0, fakeStuck);
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(moveAxesTo(stageX, stageY, 10.0, 10.0, 700));
  // T = 20.2 ms: polls for 8 x 20 + 500 ms, then waits another 2T.
  EXPECT_LT(GetTickCount64() - start, 10000u);
  EXPECT_EQ(stageX.positionUm, 0.0);
  EXPECT_EQ(stageY.positionUm, 10.0);
}

TEST_F(StageMove, AnXYMoveWithOnlyOneControllerStillMovesIt) {
  closeAllAxes();
  ASSERT_TRUE(connectWith(1, 0));
  EXPECT_FALSE(moveAxesTo(stageX, stageY, 100.0, 50.0, 700));
  EXPECT_EQ(fake().position(0), 80 * 256);
  EXPECT_EQ(stageX.positionUm, 100.0);
  EXPECT_EQ(stageY.positionUm, 50.0);
}

}  // namespace
