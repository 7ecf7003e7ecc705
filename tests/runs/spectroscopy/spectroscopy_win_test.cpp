// The I-V and time-evolution windows worked from the menu and their Start
// buttons: the fake sourcemeter driver (registered for the driver's class
// id, a 1 MOhm resistor on its output, so a reading in uA equals the volts
// applied) and the emulated board behind a COM port (arduino_emulator.py runs
// this program); the files they write and the plot's pixels.

#include "arduino_emulator_client.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "devices/motion/arduino_link.h"
#include "fake_keithley_control.h"
#include "program_run.h"
#include "resources/resource_ids.h"
#include "result_records.h"
#include "runs/spectroscopy/plot_window.h"
#include "runs/spectroscopy/spectroscopy_runs.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "services/data_paths.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "test_files.h"
#include "ui_driver.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kTimeout = 30000;

using arduino_emulator::board;

const FakeKeithley& sourcemeter() { return fakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)); }

void drain() { ui::drainMessages(); }

using ui::textOf;

// The operator presses a window's Start; the run happens inside the click.
void pressStart(HWND window, int id) { SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0); }

// The voltages sent to the sourcemeter, in order: one per configuration.
std::vector<double> sourceVoltages(const std::string& calls) {
  std::vector<double> volts;
  for (size_t at = calls.find("Source.26(1, "); at != std::string::npos; at = calls.find("Source.26(1, ", at + 1))
    volts.push_back(std::atof(calls.c_str() + at + 13));
  return volts;
}

// An I-V file's text whose lines hold the pairs.
std::string ivText(const std::vector<std::pair<double, double>>& points) {
  std::string text = "V(V), I(uA)\r\n";
  for (const auto& [v, i] : points) {
    char line[64];
    std::snprintf(line, sizeof line, "%f,%f\r\n", v, i);
    text += line;
  }
  return text;
}

std::wstring folder;  // this test's measurement folder

std::wstring resultFile(const wchar_t* name) { return folder + L"\\" + name; }

class Spectroscopy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board().connected()) << "run under arduino_emulator.py";
    ASSERT_TRUE(registerFakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)));
    ASSERT_TRUE(sourcemeter().complete()) << "the fake sourcemeter driver did not load";
    ensureTestMainWindow();
    currentEquipment = 4;
    currentLimit = 0.0001f;
    ASSERT_EQ(openUsbSourcemeter(0.0f), 1);
    sourcemeter().reset();
    sourcemeter().setResistance(1e6);
    lightSources = LightSources{};
    ASSERT_TRUE(board().reset());
    ASSERT_TRUE(connectArduino(board().comPort()));
    ASSERT_TRUE(board().waitForReceived(arduino_emulator::connectionBytes)) << board().lastReceived;
    ASSERT_TRUE(board().clear());

    // Results go into a folder of this test's own, as if it had been made
    // for this run of the program.
    const std::wstring stamp = L"sp" + std::to_wstring(GetTickCount64() % 1000000000);
    wcsncpy(dataPaths.folderStamp, stamp.c_str(), 15);
    dataPaths.measurementFolderMade = 1;
    folder = std::wstring(dataPaths.dataFolder) + L"\\" + dataPaths.folderStamp;
    ivFileCounter = timeEvoFileCounter = 0;
    drain();
  }
  void TearDown() override {
    closeArduino();
    closeUsbSourcemeter();
    unregisterFakeKeithley();
    scanRunning = deviceBusy = 0;
    drain();
  }
};

// Posts a left click into the I-V window once the Information line shows
// this point, so that the stop question comes in the next point's wait (an
// ANSI procedure: the text arrives as the program set it).
WNDPROC infoProcedure = nullptr;
const char* clickAtPoint = nullptr;

LRESULT CALLBACK clickingInfoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT && clickAtPoint && std::string(reinterpret_cast<const char*>(lParam)) == clickAtPoint) {
    PostMessageW(hIvWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 200));
  }
  return CallWindowProcA(infoProcedure, window, message, wParam, lParam);
}

TEST_F(Spectroscopy, IvSweepsFromTheMenuAreSavedUnderNewNumbersAndAStoppedOneLeavesZeros) {
  SendMessageW(hMainWnd, WM_COMMAND, IDM_IV_MEASUREMENT, 0);
  ASSERT_TRUE(IsWindow(hIvWnd));
  // The time-evolution window opened later does not lend the sweep its
  // "On time" as the range.
  SendMessageW(hMainWnd, WM_COMMAND, IDM_TIME_EVOLUTION, 0);
  const std::string onTime = textOf(spectroscopyWindows.onTimeEdit);
  SetWindowTextA(spectroscopyWindows.rangeEdit, "1");
  pressStart(hIvWnd, IDC_IV_START);
  EXPECT_EQ(textOf(spectroscopyWindows.rangeEdit), "1.00");
  EXPECT_EQ(textOf(spectroscopyWindows.onTimeEdit), onTime);
  DestroyWindow(spectroscopyWindows.timeWindow);
  EXPECT_EQ(textOf(hInfoEdit), "V=-0.020000,I=-0.020000");

  // 4 x 50 whole configurations, 0 .. 0.98, 1 .. -0.98, -1 .. -0.02 V, each
  // point's reading beside its voltage; the bias stays at the last one.
  const std::vector<double> volts = sourceVoltages(sourcemeter().calls());
  ASSERT_EQ(volts.size(), 200u);
  std::vector<std::pair<double, double>> points;
  for (int k = 0; k < 200; ++k) {
    const double v = k < 50 ? 0.02 * k : k < 150 ? 1.0 - 0.02 * (k - 50) : -1.0 + 0.02 * (k - 150);
    EXPECT_NEAR(volts[static_cast<size_t>(k)], v, 1e-6) << k;
    points.push_back({v, v});
  }
  EXPECT_EQ(testfiles::readBytes(resultFile(L"I-V(0).txt").c_str()), ivText(points));

  // A later run of the program in the same minute: its counter starts at 0
  // again, but the files there stay. Stopped after point 5 (0.1 V) was shown.
  ivFileCounter = 0;
  const std::string before = testfiles::readBytes(resultFile(L"I-V(0).txt").c_str());
  sourcemeter().reset();
  sourcemeter().setResistance(1e6);
  infoProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hInfoEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(clickingInfoProc)));
  clickAtPoint = "V=0.100000,I=0.100000";
  {
    ui::DialogAnswerer stop(L"Warning", {IDYES}, kTimeout);
    pressStart(hIvWnd, IDC_IV_START);
    ASSERT_TRUE(stop.finish());
  }
  clickAtPoint = nullptr;
  SetWindowLongPtrA(hInfoEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(infoProcedure));
  EXPECT_EQ(sourceVoltages(sourcemeter().calls()).size(), 7u) << "point 6 was set, then the stop came";
  EXPECT_EQ(testfiles::readBytes(resultFile(L"I-V(0).txt").c_str()), before);
  // Points 0 .. 5 measured, point 6 set but not read, the rest untouched.
  points.assign(200, {0.0, 0.0});
  for (int k = 0; k < 7; ++k) points[static_cast<size_t>(k)] = {0.02 * k, k < 6 ? 0.02 * k : 0.0};
  EXPECT_EQ(testfiles::readBytes(resultFile(L"I-V(1).txt").c_str()), ivText(points));

  const auto records = testfiles::recordsBesideResults(folder);
  EXPECT_EQ(records.size(), 2u);
  for (const auto& [name, r] : records) {
    EXPECT_EQ(r["result"], "I-V curve");
    EXPECT_EQ(r["outcome"], name == "I-V(1).txt" ? "stopped by the operator" : "completed") << name;
    EXPECT_EQ(r["settings"]["ivRangeV"], 1.0);
    EXPECT_EQ(r["settings"]["ivStepV"], 0.02);
    EXPECT_EQ(r["settings"]["currentEquipment"], "USB Sourcemeter");
    EXPECT_EQ(r["settings"]["currentLimitA"], 0.0001);
    EXPECT_EQ(r["devices"]["currentMeter"], "connected");
    EXPECT_EQ(r["devices"]["arduino"], "connected");
  }
  DestroyWindow(hIvWnd);
}

TEST_F(Spectroscopy, TimeEvolutionPhasesLastTheirSetTimeWithTheFastTestMeter) {
  currentEquipment = 0;  // the test values: answered at once
  SendMessageW(hMainWnd, WM_COMMAND, IDM_TIME_EVOLUTION, 0);
  const HWND window = spectroscopyWindows.timeWindow;
  ASSERT_TRUE(IsWindow(window));
  SetWindowTextA(spectroscopyWindows.onTimeEdit, "1");
  SetWindowTextA(spectroscopyWindows.offTimeEdit, "1.7");
  SetWindowTextA(spectroscopyWindows.repeatEdit, "1");
  // Starts that reach the window during the run are not runs of their own.
  PostMessageW(window, WM_COMMAND, IDC_TIME_EVOLUTION_START, 0);
  PostMessageW(window, WM_COMMAND, IDC_IV_START, 0);
  pressStart(window, IDC_TIME_EVOLUTION_START);
  EXPECT_EQ(textOf(spectroscopyWindows.onTimeEdit), "1.000000");
  EXPECT_EQ(textOf(spectroscopyWindows.offTimeEdit), "1.000000");
  EXPECT_EQ(textOf(spectroscopyWindows.repeatEdit), "1");
  EXPECT_EQ(board().received(), "G 5 51\nG 5 0\n") << "on, then off at the laser pin";

  // Far more samples than the 20 a second the store was first sized for,
  // stamped from near 0 to about 2 s: each phase lasted its second.
  const std::string text = testfiles::readBytes(resultFile(L"TimeEvo(0).txt").c_str());
  EXPECT_EQ(text.rfind("Time(sec), I(uA)\r\n", 0), 0u);
  std::vector<double> times;
  for (size_t at = text.find('\n'); at + 1 < text.size(); at = text.find('\n', at + 1))
    times.push_back(std::atof(text.c_str() + at + 1));
  ASSERT_GT(times.size(), 40u);
  EXPECT_LT(times.front(), 0.2);
  EXPECT_GE(times.back(), 2.0);
  EXPECT_LT(times.back(), 3.0);
  EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
  EXPECT_EQ(testfiles::readBytes(resultFile(L"TimeEvo(1).txt").c_str()), "<missing>");
  EXPECT_EQ(testfiles::readBytes(resultFile(L"I-V(0).txt").c_str()), "<missing>");

  // No cycle: only the header, and the laser is never switched.
  ASSERT_TRUE(board().clear());
  SetWindowTextA(spectroscopyWindows.repeatEdit, "0");
  pressStart(window, IDC_TIME_EVOLUTION_START);
  EXPECT_EQ(testfiles::readBytes(resultFile(L"TimeEvo(1).txt").c_str()), "Time(sec), I(uA)\r\n");
  EXPECT_EQ(board().received(), "");

  const auto records = testfiles::recordsBesideResults(folder);
  EXPECT_EQ(records.size(), 2u);
  for (const auto& [name, r] : records) {
    EXPECT_EQ(r["result"], "time evolution");
    EXPECT_EQ(r["outcome"], "completed");
    EXPECT_EQ(r["settings"]["onTimeS"], 1.0);
    EXPECT_EQ(r["settings"]["offTimeS"], 1.0);
    EXPECT_EQ(r["settings"]["repeat"], name == "TimeEvo(0).txt" ? 1 : 0) << name;
    EXPECT_EQ(r["settings"]["currentEquipment"], "Arduino");
    EXPECT_EQ(r["devices"]["currentMeter"], "simulated");
  }
  DestroyWindow(window);
}

// Whether the colour is on the pixel or one of its eight neighbours (line
// drawing may round a pixel either way).
bool colourNear(HWND window, int x, int y, COLORREF colour) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (ui::pixelOf(window, x + dx, y + dy) == colour) return true;
  return false;
}

TEST_F(Spectroscopy, CurvesAlternateBlueAndRedInABlackFrameAndARightClickClearsThem) {
  SendMessageW(hMainWnd, WM_COMMAND, IDM_IV_MEASUREMENT, 0);
  ASSERT_TRUE(IsWindow(hIvWnd));
  drain();
  const COLORREF blue = RGB(0, 0, 255), red = RGB(255, 0, 0), black = RGB(0, 0, 0);
  const COLORREF background = GetSysColor(COLOR_WINDOW);
  // Rising from (10, 310) to (410, 10), through (110, 235); falling from
  // (10, 10) to (410, 310), through (110, 85).
  const float xs[] = {0.0f, 1.0f}, rising[] = {0.0f, 1.0f}, falling[] = {1.0f, 0.0f};
  plotPenToggle = 1;
  const struct {
    const float* ys;
    COLORREF colour;
    int y;
  } curves[] = {{rising, blue, 235}, {falling, red, 85}, {rising, blue, 235}};
  for (const auto& curve : curves) {
    EXPECT_EQ(drawCurve(hIvWnd, xs, curve.ys, 0, 2), 1);
    EXPECT_TRUE(colourNear(hIvWnd, 110, curve.y, curve.colour)) << curve.y;
    EXPECT_FALSE(colourNear(hIvWnd, 110, curve.y == 85 ? 235 : 85, blue)) << "the frame cleared the last curve";
    EXPECT_FALSE(colourNear(hIvWnd, 110, curve.y == 85 ? 235 : 85, red));
  }
  EXPECT_EQ(ui::pixelOf(hIvWnd, 9, 160), black);
  EXPECT_EQ(ui::pixelOf(hIvWnd, 410, 160), black);

  SendMessageW(hIvWnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(200, 200));
  drain();
  EXPECT_TRUE(colourNear(hIvWnd, 110, 235, background));
  EXPECT_FALSE(colourNear(hIvWnd, 110, 235, blue));
  EXPECT_EQ(ui::pixelOf(hIvWnd, 9, 160), background);
  DestroyWindow(hIvWnd);
}

}  // namespace
