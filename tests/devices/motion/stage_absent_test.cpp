// The program without a usable controller library: connectStage reports no
// stage and every axis is simulated. Built twice: beside no libximc.dll at
// all, and beside one that lacks an entry point the program needs
// (command_stop).

#include "devices/motion/stage_axis.h"
#include "program_run.h"
#include "services/vendor_library.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StageWithoutLibrary, ConnectFindsNothingAndTheAxesAreSimulated) {
#ifdef STAGE_TEST_INCOMPLETE_LIBRARY
  HMODULE incomplete = LoadLibraryA("libximc.dll");  // really there, without command_stop
  ASSERT_TRUE(incomplete && GetProcAddress(incomplete, "command_move") && !GetProcAddress(incomplete, "command_stop"));
  FreeLibrary(incomplete);
#endif
  EXPECT_FALSE(connectStage(0, 500));
  EXPECT_FALSE(connectStage(5, 500));  // trying again is just as harmless
  // Nothing of a library that was found wanting stays loaded.
  EXPECT_EQ(GetModuleHandleA("libximc.dll"), nullptr);
  EXPECT_EQ(stageX.deviceNumber + stageY.deviceNumber + stageZ.deviceNumber, 0);

  EXPECT_EQ(moveAxisTo(stageX, 12.5), 1);
  moveAxisBy(stageX, -2.5);
  EXPECT_EQ(readAxisPosition(stageX), 10.0);
  EXPECT_FALSE(moveAxesTo(stageX, stageY, 1.0, 2.0, 500));
  EXPECT_EQ(stageX.positionUm + stageY.positionUm, 3.0);
  moveZTo(7.0);
  moveZBy(1.0);
  int running = 7;
  EXPECT_EQ(readAxisPositionAndMotion(stageZ, running), 8.0);
  EXPECT_EQ(running, 7);  // untouched for a simulated axis
  stopAxis(stageZ);
  closeStageAxis(stageZ);
}

#ifndef STAGE_TEST_INCOMPLETE_LIBRARY
// A libximc.dll that lies only in the folder the program was started from is
// never loaded, nor one in a relative PATH folder; one in an absolute PATH
// folder is.
TEST(StageWithoutLibrary, ALibraryInTheStartFolderIsNeverLoaded) {
  const std::wstring planted = ui::windowsPathOf(STAGE_FAKE_DIR);
  ASSERT_TRUE(SetCurrentDirectoryW(planted.c_str()));
  SetEnvironmentVariableA("FAKE_XIMC_DEVICES", "1");  // what the fake would offer if it were loaded
  EXPECT_FALSE(connectStage(0, 500));
  SetEnvironmentVariableW(L"PATH", L".;stage_fake;..\\stage_fake");
  EXPECT_EQ(loadVendorLibrary(L"libximc.dll", VendorSearch::alsoPath), nullptr);
  EXPECT_EQ(GetModuleHandleA("libximc.dll"), nullptr);
  // The default search would have taken it from there.
  HMODULE fromStartFolder = LoadLibraryW(L"libximc.dll");
  EXPECT_NE(fromStartFolder, nullptr);
  FreeLibrary(fromStartFolder);

  SetCurrentDirectoryW(L"C:\\");
  SetEnvironmentVariableW(L"PATH", (L"C:\\no-such-folder;" + planted).c_str());
  HMODULE fromPath = loadVendorLibrary(L"libximc.dll", VendorSearch::alsoPath);
  EXPECT_NE(fromPath, nullptr);
  FreeLibrary(fromPath);
}
#endif

}  // namespace
