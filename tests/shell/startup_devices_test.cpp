// The whole program with its devices present: a (fake) stage controller
// library beside it and the emulated Arduino behind the configured COM port.
// Start-up must connect both without a word to the operator, switch the lamp
// on, and the normal exit must dim the lamp and release the port.

#include "arduino_emulator_client.h"
#include "program_run.h"
#include "shell/data_paths.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DWORD kTimeout = 60000;

using arduino_emulator::connectionBytes;

TEST(StartupWithDevices, ConnectsStageAndArduinoSwitchesTheLampAndReleasesThemAtExit) {
  arduino_emulator::Client board;
  ASSERT_TRUE(board.connected()) << "run under arduino_emulator.py";
  ASSERT_TRUE(board.reset());
  _wremove(dataPaths.objectiveFile);
  const std::string config = "step:1, scan_speed:500, laser shift:(0,0), Ammeter:1, GPIB:18, Standa:0, arduino:" +
                             std::to_string(board.comPort()) + "\n";
  ASSERT_TRUE(testfiles::writeBytes(dataPaths.configFile, config.c_str()));
  SetEnvironmentVariableA("FAKE_XIMC_DEVICES", "3");

  ui::ProgramRun program(NERIN_PROGRAM_WITH_DEVICES);
  ASSERT_TRUE(program.start());
  ASSERT_NE(program.waitForMainWindow(kTimeout), nullptr);
  // Laser off sends nothing (it is at 0 V already); the lamp goes on. A
  // device that failed would have stopped start-up at its message box first.
  EXPECT_TRUE(board.waitForReceived(connectionBytes + "D 6 5\n", kTimeout)) << board.lastReceived;
  EXPECT_EQ(ui::waitForWindow(L"Scanner Error", 0), nullptr);
  EXPECT_EQ(ui::waitForWindow(L"Arduino Error", 0), nullptr);

  ASSERT_TRUE(program.closeAndWait(kTimeout));
  EXPECT_EQ(program.exitCode(), 0u);
  EXPECT_TRUE(board.waitForReceived(connectionBytes + "D 6 5\nG 6 0\n", kTimeout)) << board.lastReceived;
  EXPECT_EQ(testfiles::readBytes(dataPaths.configFile).rfind("step:1, scan_speed:500", 0), 0u);
  _wremove(dataPaths.configFile);
}

}  // namespace
