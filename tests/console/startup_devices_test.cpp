// The whole program with its devices present: a (fake) stage controller
// library and GPIB driver beside it, the emulated Arduino behind the
// configured COM port, a (fake) sourcemeter driver registered. Start-up must
// connect them without a word to the operator, switch the laser off and the
// lamp on, open the saved meter and apply the confirmed objective without
// moving anything; the normal exit must darken laser and lamp, release the
// port before the controllers, and leave the sourcemeters with their output off.

#include "arduino_emulator_client.h"
#include "fake_keithley_control.h"
#include "fake_log_file.h"
#include "program_run.h"
#include "services/data_paths.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DWORD kTimeout = 60000;
constexpr char kCloseGate[] = "NerinTestXimcCloseGate";

// After the connection: laser off (the board is told even though the
// program starts at 0 V), lamp on; a turret command would follow here.
const std::string startupBytes = arduino_emulator::connectionBytes + "G 5 0\nD 6 5\n";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(StartupWithDevices, ConfirmingAnObjectiveMovesNothingTheMeterOpensAndExitReleasesEveryDevice) {
  arduino_emulator::Client board;
  ASSERT_TRUE(board.connected()) << "run under arduino_emulator.py";
  FakeLogFile stageLog("FAKE_XIMC_CALL_LOG"), gpibLog("FAKE_GPIB_LOG"), usbLog("FAKE_USB_LOG");
  SetEnvironmentVariableA("FAKE_XIMC_DEVICES", "3");
  SetEnvironmentVariableA("FAKE_XIMC_CLOSE_GATE", kCloseGate);
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, kCloseGate);
  ASSERT_NE(gate, nullptr);
  ASSERT_TRUE(registerFakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)));

  const struct {
    int objective;
    const char* name;
    int equipment;  // 1: NI-DAQ, nothing to open; 3: GPIB sourcemeter; 4: USB sourcemeter
  } runs[] = {{0, "5X", 1}, {2, "20X", 3}, {4, "100X", 4}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    ResetEvent(gate);
    ASSERT_TRUE(board.reset());
    stageLog.clear();
    gpibLog.clear();
    usbLog.clear();
    const std::string config = "step:1, scan_speed:500, laser shift:(0,0), Ammeter:" + std::to_string(run.equipment) +
                               ", GPIB:18, Standa:0, arduino:" + std::to_string(board.comPort()) + "\n";
    ASSERT_TRUE(testfiles::writeBytes(dataPaths.configFile, config.c_str()));
    const std::string objectiveFile = "objective:" + std::to_string(run.objective) + "\nstep:192,192,192,192\n";
    ASSERT_TRUE(testfiles::writeBytes(dataPaths.objectiveFile, objectiveFile.c_str()));

    ui::DialogAnswerer yes(L"Confirmation", {IDYES}, kTimeout);
    ui::ProgramRun program(NERIN_PROGRAM_WITH_DEVICES);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(yes.finish());
    EXPECT_EQ(ui::narrow(yes.text()), std::string("Is the current objective lens ") + run.name + "?\n");
    ASSERT_NE(program.waitForMainWindow(kTimeout), nullptr);
    // A device that failed would have stopped start-up at its message box.
    EXPECT_TRUE(board.waitForReceived(startupBytes, kTimeout)) << board.lastReceived;
    for (const wchar_t* title : {L"Scanner Error", L"Arduino Error", L"GPIB Error", L"USB Error"})
      EXPECT_EQ(ui::waitForWindow(title, 0), nullptr) << ui::narrow(title);
    EXPECT_NE(board.request("USERS"), "OK 0") << "the running program holds the port";

    // Held inside the first close_device, the program must have let the port go.
    ASSERT_TRUE(program.close(kTimeout));
    EXPECT_TRUE(ui::eventually([&] { return contains(stageLog.text(), "close_device"); }, kTimeout));
    EXPECT_EQ(board.request("USERS"), "OK 0") << "the port is still open";
    SetEvent(gate);
    ASSERT_TRUE(program.waitForExit(kTimeout));
    EXPECT_EQ(program.exitCode(), 0u);

    // Laser and lamp dark at exit; no turret, stage or focus command at any time.
    EXPECT_TRUE(board.waitForReceived(startupBytes + "G 5 0\nG 6 0\n", kTimeout)) << board.lastReceived;
    const std::string calls = stageLog.text();
    EXPECT_FALSE(contains(calls, "command_move")) << calls;
    for (const char* closed : {"close_device 11\n", "close_device 12\n", "close_device 13\n"})
      EXPECT_TRUE(contains(calls, closed)) << calls;
    EXPECT_EQ(testfiles::readBytes(dataPaths.objectiveFile), objectiveFile) << "confirming rewrites nothing";
    EXPECT_EQ(testfiles::readBytes(dataPaths.configFile).rfind(config.substr(0, config.find(", GPIB")), 0), 0u)
        << "the meter stays selected";
    // The sourcemeters: opened at start, read while the window shows the
    // current, output off first thing at exit, then again as they close.
    const std::string gpib = gpibLog.text(), gpibExit = "ibconfig 7 3 11\nibwrt 7 9 \":OUTP OFF\"\nibconfig 7 3 13\n"
                                                        "ibwrt 7 9 \":OUTP OFF\"\nibonl 7 0\n";
    if (run.equipment == 3) {
      EXPECT_EQ(gpib.rfind("ibdev 0 18 0 13 1 0\nibclr 7\n", 0), 0u) << gpib;
      EXPECT_EQ(gpib.find(gpibExit), gpib.size() - gpibExit.size()) << gpib;
      EXPECT_FALSE(contains(gpib, ":OUTP ON") || contains(gpib, ":SOUR")) << gpib;
    }
    if (run.equipment != 4) continue;
    const std::string usb = usbLog.text(), usbExit = "Output.12(0)\nOutput.12(0)\nDriver.8\n";
    EXPECT_EQ(usb.rfind("CreateInstance\nDriver.6(", 0), 0u) << usb;
    // Connected at 0 V with the driver's initial limit, never on again.
    EXPECT_TRUE(contains(usb, "Source.26(1, 0)\nSource.39(1e-05)\nOutput.12(1)\n")) << usb;
    EXPECT_EQ(usb.find("Output.12(1)"), usb.rfind("Output.12(1)")) << usb;
    EXPECT_EQ(usb.find(usbExit), usb.size() - usbExit.size()) << usb;
  }
  unregisterFakeKeithley();
  CloseHandle(gate);
  SetEnvironmentVariableA("FAKE_XIMC_CLOSE_GATE", nullptr);
  _wremove(dataPaths.configFile);
  _wremove(dataPaths.objectiveFile);
}

}  // namespace
