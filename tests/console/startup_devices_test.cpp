// The whole program with its devices present: a (fake) stage controller
// library and GPIB driver beside it, the emulated Arduino behind the
// configured COM port, a (fake) sourcemeter driver registered. Start-up must
// connect them without a word to the operator, switch the laser off and the
// lamp on, and apply the confirmed objective without moving anything; the
// normal exit must darken laser and lamp, release the port and every
// controller, and leave the sourcemeters with their output off.

#include "arduino_emulator_client.h"
#include "fake_keithley_control.h"
#include "fake_log_file.h"
#include "program_run.h"
#include "services/data_paths.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kTimeout = 60000;
constexpr char kCloseGate[] = "NerinTestXimcCloseGate";

using arduino_emulator::connectionBytes;

// After the connection: laser off (the board is told even though the
// program starts at 0 V), lamp on; a turret command would follow here.
const std::string startupBytes = connectionBytes + "G 5 0\nD 6 5\n";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(StartupWithDevices, ConfirmingAnyObjectiveMovesNothingAndExitReleasesEveryDevice) {
  arduino_emulator::Client board;
  ASSERT_TRUE(board.connected()) << "run under arduino_emulator.py";
  const std::string config = "step:1, scan_speed:500, laser shift:(0,0), Ammeter:1, GPIB:18, Standa:0, arduino:" +
                             std::to_string(board.comPort()) + "\n";
  FakeLogFile callLog("FAKE_XIMC_CALL_LOG");
  SetEnvironmentVariableA("FAKE_XIMC_DEVICES", "3");
  SetEnvironmentVariableA("FAKE_XIMC_CLOSE_GATE", kCloseGate);
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, kCloseGate);
  ASSERT_NE(gate, nullptr);

  for (int objective = 0; objective < 5; ++objective) {
    SCOPED_TRACE("objective " + std::to_string(objective));
    ResetEvent(gate);
    ASSERT_TRUE(board.reset());
    callLog.clear();
    ASSERT_TRUE(testfiles::writeBytes(dataPaths.configFile, config.c_str()));
    const std::string objectiveFile = "objective:" + std::to_string(objective) + "\nstep:192,192,192,192\n";
    ASSERT_TRUE(testfiles::writeBytes(dataPaths.objectiveFile, objectiveFile.c_str()));

    ui::DialogAnswerer yes(L"Confirmation", {IDYES}, kTimeout);
    ui::ProgramRun program(NERIN_PROGRAM_WITH_DEVICES);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(yes.finish());
    const char* names[5] = {"5X", "10X", "20X", "50X", "100X"};
    EXPECT_EQ(ui::narrow(yes.text()), std::string("Is the current objective lens ") + names[objective] + "?\n");
    ASSERT_NE(program.waitForMainWindow(kTimeout), nullptr);
    // A device that failed would have stopped start-up at its message box.
    EXPECT_TRUE(board.waitForReceived(startupBytes, kTimeout)) << board.lastReceived;
    EXPECT_EQ(ui::waitForWindow(L"Scanner Error", 0), nullptr);
    EXPECT_EQ(ui::waitForWindow(L"Arduino Error", 0), nullptr);
    EXPECT_NE(board.request("USERS"), "OK 0") << "the running program holds the port";

    // Shutdown closes the port before the controllers: held inside the
    // first close_device, the program must have let the port go.
    ASSERT_TRUE(program.close(kTimeout));
    const ULONGLONG start = GetTickCount64();
    while (!contains(callLog.text(), "close_device") && GetTickCount64() - start < kTimeout) Sleep(10);
    EXPECT_EQ(board.request("USERS"), "OK 0") << "the port is still open";
    SetEvent(gate);
    ASSERT_TRUE(program.waitForExit(kTimeout));
    EXPECT_EQ(program.exitCode(), 0u);

    // Laser and lamp dark at exit; no turret, stage or focus command at any time.
    EXPECT_TRUE(board.waitForReceived(startupBytes + "G 5 0\nG 6 0\n", kTimeout)) << board.lastReceived;
    const std::string calls = callLog.text();
    EXPECT_FALSE(contains(calls, "command_move")) << calls;
    for (const char* closed : {"close_device 11\n", "close_device 12\n", "close_device 13\n"})
      EXPECT_TRUE(contains(calls, closed)) << calls;
    EXPECT_EQ(testfiles::readBytes(dataPaths.objectiveFile), objectiveFile) << "confirming rewrites nothing";
    EXPECT_EQ(testfiles::readBytes(dataPaths.configFile).rfind("step:1, scan_speed:500", 0), 0u);
  }

  CloseHandle(gate);
  SetEnvironmentVariableA("FAKE_XIMC_CLOSE_GATE", nullptr);
  _wremove(dataPaths.configFile);
  _wremove(dataPaths.objectiveFile);
}

// Starts the program with this meter saved, waits until start-up is through
// (the lamp goes on) and closes it normally.
void runWithMeter(arduino_emulator::Client& board, int equipment) {
  ASSERT_TRUE(board.reset());
  _wremove(dataPaths.objectiveFile);
  const std::string config = "step:1, scan_speed:500, laser shift:(0,0), Ammeter:" + std::to_string(equipment) +
                             ", GPIB:18, Standa:0, arduino:" + std::to_string(board.comPort()) + "\n";
  ASSERT_TRUE(testfiles::writeBytes(dataPaths.configFile, config.c_str()));
  ui::ProgramRun program(NERIN_PROGRAM_WITH_DEVICES);
  ASSERT_TRUE(program.start());
  EXPECT_TRUE(board.waitForReceived(startupBytes, kTimeout)) << board.lastReceived;
  EXPECT_EQ(ui::waitForWindow(L"GPIB Error", 0), nullptr);
  EXPECT_EQ(ui::waitForWindow(L"USB Error", 0), nullptr);
  ASSERT_TRUE(program.closeAndWait(kTimeout));
  EXPECT_EQ(testfiles::readBytes(dataPaths.configFile).rfind(config.substr(0, config.find(", GPIB")), 0), 0u)
      << "the meter stays selected";
  _wremove(dataPaths.configFile);
}

TEST(StartupWithDevices, TheSavedSourcemeterIsOpenedAtStartAndLeftAtZeroWithItsOutputOff) {
  arduino_emulator::Client board;
  ASSERT_TRUE(board.connected()) << "run under arduino_emulator.py";
  {
    FakeLogFile log("FAKE_GPIB_LOG");
    runWithMeter(board, 3);
    // Output off first thing at exit, then again as the meter closes.
    EXPECT_EQ(log.text(), "ibdev 0 18 0 13 1 0\nibclr 7\nibconfig 7 3 11\nibwrt 7 9 \":OUTP OFF\"\nibconfig 7 3 13\n"
                          "ibwrt 7 9 \":OUTP OFF\"\nibonl 7 0\n");
  }
  ASSERT_TRUE(registerFakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)));
  FakeLogFile log("FAKE_USB_LOG");
  runWithMeter(board, 4);
  unregisterFakeKeithley();
  const std::string calls = log.text();
  EXPECT_EQ(calls.rfind("CreateInstance\nDriver.6(", 0), 0u) << calls;
  // Connected at 0 V with the driver's initial limit; at exit output off
  // (never on again), then again as the session closes.
  EXPECT_NE(calls.find("Source.26(1, 0)\nSource.39(1e-05)\nOutput.12(1)\n"), std::string::npos) << calls;
  const std::string exitCalls = "Output.12(1)\nOutput.12(0)\nOutput.12(0)\nDriver.8\n";
  ASSERT_GE(calls.size(), exitCalls.size()) << calls;
  EXPECT_EQ(calls.substr(calls.size() - exitCalls.size()), exitCalls) << calls;
}

}  // namespace
