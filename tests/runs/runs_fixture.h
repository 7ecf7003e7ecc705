#pragma once
// The devices the runs' Wine programs drive, connected afresh for each
// scenario or case: the fake controller library, GPIB driver and camera
// runtime beside the program, the fake sourcemeter driver registered for its
// class, the emulated board (arduino_emulator.py runs the program); the main
// window shown, the scan settings of the tests and a fresh data folder.

#include "arduino_emulator_client.h"
#include "devices/camera/camera.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "devices/motion/arduino_link.h"
#include "fake_gpib_control.h"
#include "fake_keithley_control.h"
#include "fake_pylon_control.h"
#include "fake_ximc_control.h"
#include "runs/spectroscopy/spectroscopy_runs.h"
#include "scan_test_settings.h"
#include "services/program_state.h"
#include "stage_fixture.h"
#include "test_files.h"
#include "ui_driver.h"
#include "views/live_display.h"
#include "win_test_main_window.h"

#include <string>
#include <vector>

namespace runsfixture {

using arduino_emulator::board;

constexpr double umPerMicrostep = 1.25 / 256;  // the stage: 1.25 um a step, 256 microsteps
inline double stageUm(int axis) { return static_cast<double>(fakeXimc().position(axis)) * umPerMicrostep; }
inline const FakeKeithley& sourcemeter() { return fakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)); }

// Stage, camera, GPIB sourcemeter (address 18, the meter in use) and board
// connected and at rest, the light sources off: empty, or what failed.
inline std::string connectDevices(const wchar_t* dataFolder) {
  if (!board().connected()) return "run under arduino_emulator.py";
  if (!fakeXimc().complete() || !fakeGpib().complete() || !fakePylon().complete())
    return "the fakes beside the program are not all there";
  std::string why;
  ensureTestMainWindow();
  SetWindowPos(hMainWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(hMainWnd);
  videoControl(0);  // its ticks would read the meter
  ui::drainMessages();
  deviceBusy = scanRunning = stopRequested = wideViewShown = 0;
  closeAllAxes();
  fakeXimc().reset(3);
  fakePylon().reset(1, noRegions, 2);
  fakeGpib().reset();
  if (!connectStage(0, 500)) why = "the stage did not connect";
  if (camera.init() != 1) why = "the camera did not connect";
  if (openGpibSourcemeter(18) != 1) why = "the GPIB sourcemeter did not open";
  currentEquipment = 3;
  gpibAddress = 18;
  lightSources = LightSources{};
  closeArduino();
  arduinoLink = ArduinoLink{};
  if (!board().reset() || !connectArduino(board().comPort()) ||
      !board().waitForReceived(arduino_emulator::connectionBytes) || !board().clear())
    why = "the board did not connect: " + board().lastReceived;
  scantest::useScanSettings();
  scantest::useFreshDataFolder(dataFolder);
  ivFileCounter = timeEvoFileCounter = 0;
  ui::drainMessages();
  return why;
}

// The numbers of each line of a text file (CR LF line ends; the map tables
// end every number in a comma), the first `skip` lines left out.
inline std::vector<std::vector<double>> numbersOf(const std::wstring& path, int skip) {
  std::vector<std::vector<double>> rows;
  const std::string text = testfiles::readBytes(path.c_str());
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    if (skip-- > 0) continue;
    std::vector<double> row;
    const std::string line = text.substr(at, end - at);
    for (size_t p = 0; p < line.size();) {
      row.push_back(std::strtod(line.c_str() + p, nullptr));
      const size_t comma = line.find(',', p);
      if (comma == std::string::npos) break;
      p = comma + 1;
    }
    rows.push_back(row);
  }
  return rows;
}

inline void releaseDevices() {
  fakeGpib().setReplySource(nullptr);
  videoControl(0);
  closeArduino();
  closeUsbSourcemeter();
  unregisterFakeKeithley();
  scanRunning = deviceBusy = 0;
  ui::drainMessages();
}

}  // namespace runsfixture
