// The program without a usable controller library: connectStage reports no
// stage and every axis is simulated. Built twice: beside no libximc.dll at
// all, and beside one that lacks an entry point the program needs.

#include "motion/stage_axis.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(StageWithoutLibrary, ConnectFindsNothingAndTheAxesAreSimulated) {
  EXPECT_FALSE(connectStage(0, 500));
  EXPECT_FALSE(connectStage(5, 500));  // trying again is just as harmless
  // Nothing of a library that was found wanting stays loaded.
  EXPECT_EQ(GetModuleHandleA("libximc.dll"), nullptr);
  EXPECT_EQ(stageX.deviceNumber + stageY.deviceNumber + stageZ.deviceNumber, 0);

  EXPECT_EQ(moveAxisTo(stageX, 12.5), 1);
  EXPECT_EQ(readAxisPosition(stageX), 12.5);
  moveAxisBy(stageX, -2.5);
  EXPECT_EQ(stageX.positionUm, 10.0);
  EXPECT_FALSE(moveAxesTo(stageX, stageY, 1.0, 2.0, 500));
  EXPECT_EQ(stageX.positionUm, 1.0);
  EXPECT_EQ(stageY.positionUm, 2.0);
  moveZTo(7.0);
  moveZBy(1.0);
  int running = 7;
  EXPECT_EQ(readAxisPositionAndMotion(stageZ, running), 8.0);
  EXPECT_EQ(running, 7);  // untouched for a simulated axis
  stopAxis(stageZ);
  closeStageAxis(stageZ);
}

#ifdef STAGE_TEST_INCOMPLETE_LIBRARY
TEST(StageWithoutLibrary, TheIncompleteLibraryIsReallyThere) {
  HMODULE module = LoadLibraryA("libximc.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "command_move"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "command_stop"), nullptr);
  FreeLibrary(module);
}
#endif

}  // namespace
