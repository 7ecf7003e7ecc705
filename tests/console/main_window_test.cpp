// The main window worked as an operator works it: real key presses and mouse
// buttons (through the system's input queue) into its fields, its jog pad
// and its picture, its menu commands and accelerators. The fake controller
// library, GPIB driver and camera runtime lie beside this program; the
// Arduino is the emulated board behind a COM port.

#include "arduino_emulator_client.h"
#include "console/app.h"
#include "console/main_window.h"
#include "devices/camera/camera.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "fake_gpib_control.h"
#include "fake_pylon_control.h"
#include "fake_ximc_control.h"
#include "main_window_loop.h"
#include "resources/resource_ids.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "services/data_paths.h"
#include "services/instrument_safety.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "test_files.h"
#include "ui_driver.h"
#include "views/jog_pad.h"
#include "views/live_display.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

using namespace mainwindow;
using arduino_emulator::board;

constexpr DWORD kTimeout = 30000;

const FakeXimc& stage() { return fakeXimc(); }

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The operator clicks into the field and replaces its text, then presses a key.
void typeInto(HWND field, const char* text, WORD finalKey = VK_RETURN) {
  drain();
  SetFocus(field);
  SendMessageW(field, EM_SETSEL, 0, -1);
  ui::typeText(text);
  ui::pressKey(finalKey);
  drain();
}

void click(int id) { SendMessageW(GetDlgItem(hMainWnd, id), BM_CLICK, 0, 0); }

// The left button held on a jog pad button (pressed only when `down`).
void jogButton(JogButton button, bool down) {
  const JogPad pad;
  ui::mouseButton(screenPoint(pad.buttons[button][0] + 25, pad.buttons[button][1] + 20), true, down);
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board().connected()) << "run under arduino_emulator.py";
    ASSERT_TRUE(stage().complete() && fakeGpib().complete() && fakePylon().complete())
        << "the stage library, GPIB driver or camera runtime beside the test program is not the fake";
    ensureTestMainWindow();
    fakePylon().reset(1, noRegions, 2);
    ASSERT_EQ(camera.init(), 1);
    camera.gain = 1;
    camera.exposureUs = 100.0;
    fieldOfViewUm = 89.0;
    scanState.sampleView = 1;
    scanState.laserSpotX = scanState.laserSpotY = 0;
    SetForegroundWindow(hMainWnd);
    deviceBusy = scanRunning = programEnding = 0;
    liftOutputLatch();
    scanSpeed = 500;
    currentEquipment = 0;
    objectiveSettings = ObjectiveTable{};
    lightSources = LightSources{};
    for (StageAxis* axis : {&stageX, &stageY, &stageZ}) {
      closeStageAxis(*axis);
      *axis = StageAxis{};
    }
    stage().reset(3);
    ASSERT_TRUE(connectStage(0, 500));
    stage().clearLog();
    ASSERT_TRUE(board().reset());
    ASSERT_TRUE(connectArduino(board().comPort()));
    ASSERT_TRUE(board().waitForReceived(arduino_emulator::connectionBytes)) << board().lastReceived;
    ASSERT_TRUE(board().clear());
    drain();
  }
  void TearDown() override {
    closeArduino();
    closeGpibSourcemeter();
    drain();
  }
  void openGpibMeter() {
    fakeGpib().reset();
    ASSERT_EQ(openGpibSourcemeter(18), 1);
    currentEquipment = 3;
    fakeGpib().reset();
  }
};

// 1 step of the controllers is 1.25 um (80 steps for 100 um); speeds in
// steps per second are limited to the controller's 700.
TEST_F(MainWindow, FieldsTakeTheLimitedNumberOnEnterAndEscapeOrAnEmptyFieldMovesNothing) {
  typeInto(hScanSpeedEdit, "900");
  EXPECT_EQ(textOf(hScanSpeedEdit), "800");
  EXPECT_EQ(scanSpeed, 800);
  EXPECT_EQ(count(stage().calls(), "set_engine_settings 11 700 "), 1) << stage().calls();
  EXPECT_EQ(count(stage().calls(), "set_engine_settings 12 700 "), 1) << stage().calls();
  typeInto(hScanStepEdit, "0.1");
  EXPECT_EQ(textOf(hScanStepEdit), "0.25");
  EXPECT_EQ(scanState.stepUm, 0.25);

  fakePylon().clearLog();
  typeInto(hGainEdit, "40");
  typeInto(hExposureEdit, "50");
  EXPECT_EQ(textOf(hGainEdit) + " " + textOf(hExposureEdit), "36 100");
  EXPECT_NE(fakePylon().calls().find("Gain=36\n"), std::string::npos) << fakePylon().calls();
  // "Auto": the automatic set-up, and the fields show the stored values.
  SetWindowTextA(hGainEdit, "");
  click(IDC_CAMERA_AUTO);
  EXPECT_EQ(textOf(hGainEdit), "36");
  EXPECT_NE(fakePylon().calls().find("GainAuto=Continuous"), std::string::npos) << fakePylon().calls();

  // While the laser is off a typed voltage waits for it to be switched on;
  // while it is on, it goes at once (255 per 5 V).
  typeInto(hLaserEdit, "3");
  typeInto(hLaserEdit, "2");
  click(laserOnButton);
  typeInto(hLaserEdit, "7");
  EXPECT_TRUE(board().waitForReceived("G 5 102\nG 5 255\n")) << board().lastReceived;
  EXPECT_EQ(textOf(hLaserEdit), "5");
  EXPECT_EQ(lightSources.laserLevel, 5.0);

  stage().clearLog();
  typeInto(hXEdit, "1234", VK_ESCAPE);
  EXPECT_EQ(textOf(hXEdit), "0.0");
  typeInto(hXEdit, "", VK_RETURN);
  typeInto(hYEdit, "-40", VK_RETURN);
  EXPECT_EQ(stageY.positionUm, -40.0);
  EXPECT_EQ(textOf(hYEdit), "-40.0");
  EXPECT_EQ(stage().calls(), "command_move 12 -32 0\n");
}

TEST_F(MainWindow, EndOfTheSessionMakesTheInstrumentsSafeForGoodAndKeepsTheSettings) {
  installInstrumentSafety();
  openGpibMeter();
  click(laserOnButton);
  click(illuminationOnButton);
  ASSERT_TRUE(board().waitForReceived("G 5 51\nD 6 5\n")) << board().lastReceived;
  _wremove(dataPaths.configFile);
  SendMessageW(hMainWnd, WM_ENDSESSION, TRUE, 0);
  // The laser before the lamp, then the sourcemeter, then every axis.
  EXPECT_TRUE(board().waitForReceived("G 5 51\nD 6 5\nG 5 0\nG 6 0\n")) << board().lastReceived;
  EXPECT_EQ(fakeGpib().calls(), "ibconfig 7 3 11\nibwrt 7 9 \":OUTP OFF\"\nibconfig 7 3 13\n");
  EXPECT_EQ(stage().calls(), "command_stop 11\ncommand_stop 12\ncommand_stop 13\n");
  EXPECT_NE(testfiles::readBytes(dataPaths.configFile), "<missing>");
  EXPECT_TRUE(IsWindow(hMainWnd)) << "without a run the window waits for Windows to end the program";
  // The buttons show the lights as the board has them now, and nothing the
  // operator does switches an output on or moves anything again.
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, laserOffButton), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, illuminationOffButton), BST_CHECKED);
  ASSERT_TRUE(board().clear());
  for (int id : {laserOnButton, illuminationOnButton, IDC_LASER_VIEW, IDC_Z_UP, IDC_TURRET_FORWARD,
                 IDC_OBJECTIVE_FIRST + 4})
    click(id);
  typeInto(hXEdit, "300");
  typeInto(hBiasEdit, "1");
  ui::pressKey(VK_LEFT);
  drain();
  ASSERT_TRUE(sendLine("marker"));
  // The Laser view dims the lamp; the turret's fine step only zeroes its count.
  EXPECT_TRUE(board().waitForReceived("G 6 0\ny\nmarker\n")) << board().lastReceived;
  EXPECT_EQ(count(stage().calls(), "command_move"), 0) << stage().calls();
  EXPECT_EQ(count(fakeGpib().calls(), ":SOUR:VOLT"), 0) << fakeGpib().calls();
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, laserOffButton), BST_CHECKED);
  EXPECT_EQ(objectiveSettings.current, 3);
}

TEST_F(MainWindow, BiasReachesTheGpibSourcemeterLimitedToItsRange) {
  openGpibMeter();
  const char* cases[][3] = {{"-20", "-10.1", "\":SOUR:VOLT -10.100000\""}, {"12", "10.0", "\":SOUR:VOLT 10.000000\""}};
  for (const auto& [typed, shown, sent] : cases) {
    fakeGpib().reset();
    typeInto(hBiasEdit, typed);
    EXPECT_EQ(textOf(hBiasEdit), shown);
    EXPECT_NE(fakeGpib().calls().find(sent), std::string::npos) << fakeGpib().calls();
    EXPECT_NE(fakeGpib().calls().find(":OUTP ON"), std::string::npos) << fakeGpib().calls();
  }
  EXPECT_FLOAT_EQ(biasVoltage, 10.0f);
}

TEST_F(MainWindow, TypedZAsksAboutTheWorkingDistanceOnlyForARiseOf2000Um) {
  setAxisPosition(stageZ, 3000.0);
  videoControl(1);
  {
    ui::DialogAnswerer no(L"Warning!", {IDNO}, kTimeout);
    typeInto(hZEdit, "6000");
    ASSERT_TRUE(no.finish());
    EXPECT_EQ(ui::narrow(no.text()),
              "Are you sure the distance from objective lens to sample greater than 5000 um.\n"
              "                          - Working Distance: 7000 um\n");
  }
  EXPECT_EQ(stageZ.positionUm, 3000.0);
  EXPECT_EQ(count(stage().calls(), "command_move 13"), 0);
  EXPECT_EQ(videoRunning, 1) << "live video runs again";
  setAxisPosition(stageZ, 3001.0);
  typeInto(hZEdit, "6000");  // would wait for an answer if it asked
  EXPECT_EQ(stageZ.positionUm, 5000.0);
  EXPECT_EQ(textOf(hZEdit), "5000.0");
}

// Left moves X by -100 um (80 steps) at the top speed; Ctrl+Left nothing. +Z held moves Z in
// steps of 10 um (8 steps each) until the button is released, here with the
// pointer off the window.
TEST_F(MainWindow, KeysAndTheHeldJogButtonMoveTheirAxisOnly) {
  ui::pressKey(VK_LEFT, true);
  ui::pressKey(VK_LEFT);
  ASSERT_TRUE(pumpUntil([] { return stageX.positionUm == -100.0; }));
  drain();
  EXPECT_EQ(stage().calls(), "set_engine_settings 11 700 0 0x41\ncommand_move 11 -80 0\n");

  stage().clearLog();
  std::atomic<bool> letGo{false}, forced{false};
  std::thread hand([&] {
    const ULONGLONG deadline = GetTickCount64() + kTimeout;
    while (stage().position(2) < 3 * 8 * 256 && GetTickCount64() < deadline) Sleep(5);
    ui::mouseButton(POINT{1800, 1150}, true, false);
    letGo = true;
    // A release that never ends the movement is ended here, so that the
    // test fails instead of hanging.
    if (!ui::eventually([] { return jogPad.released; }, 10000)) {
      forced = true;
      PostMessageW(hMainWnd, WM_LBUTTONUP, 0, 0);
    }
  });
  jogButton(jogPlusZ, true);
  EXPECT_TRUE(pumpUntil([&] { return letGo && jogPad.released; }));
  hand.join();
  EXPECT_FALSE(forced) << "the release outside the window did not end the movement";
  const double z = stageZ.positionUm;
  const std::string calls = stage().calls();
  const int moves = count(calls, "command_move 13");
  EXPECT_GE(moves, 3) << calls;
  EXPECT_EQ(z, 10.0 * moves) << calls;
  for (int step = 1; step <= 3; ++step)
    EXPECT_EQ(count(calls, "command_move 13 " + std::to_string(8 * step) + " 0\n"), 1) << calls;
  EXPECT_EQ(count(calls, "command_move 11") + count(calls, "command_move 12"), 0) << calls;
  pumpUntil([] { return false; }, 300);
  EXPECT_EQ(count(stage().calls(), "command_move 13"), moves) << "nothing follows the release";
}

TEST_F(MainWindow, AboutOpensFromTheAcceleratorsAndClosesWithOkAndEscape) {
  {
    ui::DialogAnswerer ok(L"About Nerin Station", {IDOK}, kTimeout);
    ui::pressKey(VK_OEM_2, false, true);  // Alt+/
    EXPECT_TRUE(pumpUntil([&] { return ok.answered(); }));
    ASSERT_TRUE(ok.finish());
    EXPECT_NE(ui::narrow(ok.text()).find("Nerin Station, Version 1.0\n"), std::string::npos);
  }
  std::atomic<bool> escaped{false};
  std::thread operatorThread([&] {
    HWND about = ui::waitForWindow(L"About Nerin Station", kTimeout);
    ui::pressKey(VK_ESCAPE);
    escaped = about && ui::waitUntilGone(about, kTimeout);
  });
  ui::pressKey(VK_OEM_2, false, true, true);  // Alt+?
  EXPECT_TRUE(pumpUntil([&] { return escaped.load(); }));
  operatorThread.join();
}

// A right click on the camera picture, answered with the given button.
std::string rightClickAnswered(int x, int yTop, const std::wstring& title, int answer) {
  ui::DialogAnswerer answerer(title, {answer}, kTimeout);
  ui::mouseButton(screenPoint(x, yTop), false, true);
  ui::mouseButton(screenPoint(x, yTop), false, false);
  EXPECT_TRUE(pumpUntil([&] { return answerer.answered(); }));
  EXPECT_TRUE(answerer.finish());
  drain();
  return ui::narrow(answerer.text());
}

TEST_F(MainWindow, RightClickInSampleViewBringsThePointToTheCentreAtTheScanSpeedOrMovesNothing) {
  fakePylon().setColour(200, 100, 100, 77);
  camera.grab(1);
  fieldOfViewUm = 616.0;  // half a micrometre per pixel
  scanSpeed = 400;
  // 250 px right of the centre (616, 514), at its height: 125 um, 100 steps.
  const wchar_t* title = L"Position: (866,514), Blue intensity:77";
  EXPECT_EQ(rightClickAnswered(866, 514, title, IDCANCEL),
            "If you want to move this position, \n to center -> press \"YES\", or\n to laser spot -> press \"NO\".\n");
  EXPECT_EQ(stage().calls(), "");
  rightClickAnswered(866, 514, title, IDYES);
  EXPECT_EQ(stageX.positionUm, 125.0);
  EXPECT_EQ(stageY.positionUm, 0.0);
  // Each axis at its share of the scan speed: Y, with nothing to go, at 0.
  EXPECT_EQ(stage().calls(), "set_engine_settings 11 400 0 0x41\nset_engine_settings 12 0 0 0x41\ncommand_move 11 100 0\n");
}

TEST_F(MainWindow, LaserViewRaisesTheFocusByDzAndKeepsWhatTheCameraReached) {
  lightSources.laserFocusOffsetUm = -14;
  fakePylon().setValue("Gain", 12);
  fakePylon().setValue("ExposureTime", 2500);
  fakePylon().clearLog();
  for (int twice = 0; twice < 2; ++twice) click(IDC_LASER_VIEW);
  EXPECT_EQ(stageZ.positionUm, -14.0);
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, IDC_LASER_VIEW), BST_CHECKED);
  EXPECT_EQ(camera.gain, 12);
  EXPECT_EQ(camera.exposureUs, 2500.0);
  EXPECT_NE(fakePylon().calls().find("GainAuto=Off\nGain=12\nExposureAuto=Off\nExposureTime=2500\n"),
            std::string::npos)
      << fakePylon().calls();
  // Laser on at its 1 V, lamp dimmed; the second click only dims again.
  EXPECT_TRUE(board().waitForReceived("G 5 51\nG 6 0\nG 6 0\n")) << board().lastReceived;
  // In Laser view a right click may set the laser spot (y from the bottom).
  rightClickAnswered(100, 928, L"Position: (100,100), Blue intensity:50", IDYES);
  EXPECT_EQ(scanState.laserSpotX, 100);
  EXPECT_EQ(scanState.laserSpotY, 100);

  ASSERT_TRUE(board().clear());
  fakePylon().clearLog();
  click(IDC_SAMPLE_VIEW);
  EXPECT_EQ(stageZ.positionUm, 0.0);
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, IDC_SAMPLE_VIEW), BST_CHECKED);
  EXPECT_NE(fakePylon().calls().find("GainAuto=Continuous"), std::string::npos) << fakePylon().calls();
  EXPECT_TRUE(board().waitForReceived("G 5 0\nG 6 153\n")) << board().lastReceived;
}

// Title, place, size, style and tool-window bit: visible popups with caption
// and system menu (the system adds sibling clipping to every top-level window).
std::string describeWindow(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return ui::textOf(window) + " " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + " " +
         std::to_string(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) + " " +
         std::to_string(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

TEST_F(MainWindow, SpectroscopyWindowsOpenOnceAndAgainAfterClosingIvOnlyWithTheUsbSourcemeter) {
  currentEquipment = 3;
  {
    ui::DialogAnswerer notice(L"Notice", {IDOK}, kTimeout);
    SendMessageW(hMainWnd, WM_COMMAND, IDM_IV_MEASUREMENT, 0);
    ASSERT_TRUE(notice.finish());
    EXPECT_EQ(ui::narrow(notice.text()), "Please change the current equipment as a sourcemter\n");
  }
  EXPECT_FALSE(IsWindow(hIvWnd));
  currentEquipment = 4;
  // 0x94c80000 = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU.
  for (int opening = 0; opening < 2; ++opening) {
    SendMessageW(hMainWnd, WM_COMMAND, IDM_IV_MEASUREMENT, 0);
    ASSERT_TRUE(IsWindow(hIvWnd));
    EXPECT_EQ(describeWindow(hIvWnd), "IV Curve 100,100 500x435 " + std::to_string(0x94c80000) + " 128");
    EXPECT_EQ(GetWindow(hIvWnd, GW_OWNER), hMainWnd);
    EXPECT_EQ(textOf(spectroscopyWindows.firstEdit), "0.50");
    const HWND first = hIvWnd;
    SendMessageW(hMainWnd, WM_COMMAND, IDM_IV_MEASUREMENT, 0);
    EXPECT_EQ(hIvWnd, first) << "an open window is kept";
    DestroyWindow(hIvWnd);  // closed by the operator
  }
  SendMessageW(hMainWnd, WM_COMMAND, IDM_TIME_EVOLUTION, 0);
  const HWND timeWindow = spectroscopyWindows.timeWindow;
  ASSERT_TRUE(IsWindow(timeWindow));
  EXPECT_EQ(describeWindow(timeWindow), "Time Evolution Measurement X: Time(s) vs. Y: Photocurrent (uA) 100,100 500x435 " +
                                            std::to_string(0x94c80005) + " 128");
  EXPECT_EQ(textOf(spectroscopyWindows.firstEdit) + " " + textOf(spectroscopyWindows.offTimeEdit) + " " +
                textOf(spectroscopyWindows.repeatEdit),
            "5.0 2.0 3");
  SendMessageW(hMainWnd, WM_COMMAND, IDM_TIME_EVOLUTION, 0);
  EXPECT_EQ(spectroscopyWindows.timeWindow, timeWindow);
  DestroyWindow(timeWindow);
}

// While a device sequence waits in the message pump, nothing the operator
// does may send a command to the stage or the board; "Off" is never refused.
TEST_F(MainWindow, NothingMovesOrSwitchesOnWhileADeviceSequenceIsUnderWay) {
  fakePylon().clearLog();
  for (int* guard : {&deviceBusy, &scanRunning}) {
    *guard = 1;
    ui::pressKey(VK_LEFT);
    ui::pressKey(VK_PRIOR);
    typeInto(hXEdit, "300");
    typeInto(hZEdit, "-20");
    for (int id : {IDC_Z_UP, IDC_Z_DOWN_FINE, IDC_READ_POSITIONS, IDC_TURRET_FORWARD, laserOnButton,
                   illuminationOnButton, IDC_OBJECTIVE_FIRST + 1, IDC_LASER_VIEW, IDC_CAMERA_AUTO})
      click(id);
    jogButton(jogMinusX, true);
    jogButton(jogMinusX, false);
    drain();
    *guard = 0;
  }
  EXPECT_EQ(stage().calls(), "");
  EXPECT_EQ(board().received(), "");
  EXPECT_EQ(fakePylon().calls().find("Auto="), std::string::npos) << "no camera set-up";
  EXPECT_EQ(stageX.positionUm, 0.0);
  EXPECT_EQ(scanState.sampleView, 1);
  EXPECT_EQ(objectiveSettings.current, 3);

  click(laserOnButton);
  click(illuminationOnButton);
  for (int* guard : {&deviceBusy, &scanRunning}) {
    *guard = 1;
    click(laserOffButton);
    click(illuminationOffButton);
    *guard = 0;
    click(laserOnButton);
  }
  EXPECT_TRUE(board().waitForReceived("G 5 51\nD 6 5\nG 5 0\nD 6 0\nG 5 51\nG 5 0\nD 6 0\nG 5 51\n"))
      << board().lastReceived;
}

}  // namespace
