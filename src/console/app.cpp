#include "console/app.h"

#include "console/main_window.h"
#include "console/objective_dialogs.h"
#include "console/remote/remote_control.h"
#include "devices/camera/camera.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "resources/resource_ids.h"
#include "runs/mapping/scan_journal.h"
#include "runs/objective/objective_changer.h"
#include "services/data_paths.h"
#include "services/instrument_safety.h"
#include "services/message_pump.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/scan_geometry.h"
#include "services/settings_files.h"
#include "services/ui_handles.h"
#include "views/live_display.h"

#include <objidl.h>  // GDI+ needs it and WIN32_LEAN_AND_MEAN leaves it out
#include <gdiplus.h>

#include <cstdio>

namespace {

// The mark, for as long as the program runs, that it runs in this user
// session: a second program would turn the running scan's live journals
// into tables and talk to the same instruments.
class InstanceMark {
 public:
  InstanceMark() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\Nerin Station")) {
    alone_ = !mutex_ || GetLastError() != ERROR_ALREADY_EXISTS;
  }
  ~InstanceMark() {
    if (mutex_) CloseHandle(mutex_);
  }
  InstanceMark(const InstanceMark&) = delete;
  InstanceMark& operator=(const InstanceMark&) = delete;
  bool alone() const { return alone_; }

 private:
  HANDLE mutex_;
  bool alone_ = true;
};

// The second start: no owner for the box (it would disable the running
// program's window), then the running program comes to the front.
void showRunningProgram() {
  MessageBoxW(nullptr, L"Nerin Station is already running.", L"Notice", MB_OK | MB_SETFOREGROUND);
  const HWND running = FindWindowW(L"NerinMain", mainWindowTitle);
  if (!running) return;
  if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
  SetForegroundWindow(running);
}

// The saved current meter (0 and 1 have none to open). One that does not
// answer is reported, and the test source stands in for it.
void startCurrentMeter() {
  const char* failure = nullptr;
  const char* title = "GPIB Error";
  switch (currentEquipment) {
    case 2:
      if (!openGpibMultimeter(gpibAddress)) failure = "No MultiMeter devices found at GPIB";
      break;
    case 3:
      if (!openGpibSourcemeter(gpibAddress)) failure = "No SourceMeter devices found at GPIB";
      break;
    case 4:
      if (!openUsbSourcemeter(0.0f)) {
        failure = "No SourceMeter devices via USB";
        title = "USB Error";
      }
      break;
  }
  if (failure) {
    MessageBoxA(hMainWnd, failure, title, MB_OK);
    currentEquipment = 0;
  }
}

// The sourcemeters are left with their output off.
void closeCurrentMeter() {
  if (currentEquipment == 3) closeGpibSourcemeter();
  if (currentEquipment == 4) closeUsbSourcemeter();
}

// Each device starts on its own; a failure is reported and start-up goes on
// with that device simulated.
void startDevices() {
  if (!connectStage(standaConfig, scanSpeed)) {
    MessageBoxA(hMainWnd, "No devices found", "Scanner Error", MB_OK);
  }
  if (!connectArduino(arduinoComPort)) {
    // Name the port that was actually tried.
    char text[64];
    std::snprintf(text, sizeof text, "No Arduino devices found at com%d", arduinoComPort);
    MessageBoxA(hMainWnd, text, "Arduino Error", MB_OK);
  }
  startCurrentMeter();
  if (camera.init() == 1) camera.configure(CameraSetup::Auto);
}

// Start-up steps after the main window exists, up to the message loop.
void startUp() {
  warnIfDataFolderIsNotOnDesktop();
  recoverScanJournals();
  currentEquipment = 4;  // before the file: a missing file selects the USB sourcemeter
  loadConfigFile();
  loadObjectiveFile();
  startDevices();
  setLaser(0);
  videoControl(1);
  setIllumination(1);
  selectObjective(objectiveSettings.current);
}

int runMessageLoop(HINSTANCE instance) {
  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  MSG msg = {};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    dispatchProgramMessage(accelerators, msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

void shutDownDevices() {
  saveConfigFile();
  // The instruments harmless before anything is closed, each step bounded
  // and watched: a device that hangs while it closes can no longer leave an
  // output on. The round also switches off a sourcemeter that was replaced
  // by another meter in the Configuration dialog, which the closing below
  // leaves alone.
  makeInstrumentsSafe();
  showLightsDarkened();
  videoControl(0);
  KillTimer(hMainWnd, videoTimerId);
  camera.shutDown();
  closeArduino();
  closeStageAxis(stageX);
  closeStageAxis(stageY);
  closeStageAxis(stageZ);
  closeCurrentMeter();
}

void installInstrumentSafety() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // In order of harm: the laser, the bias on the sample, the motors. The
  // bounds leave each step its own time-outs (the port's writes, 1 s on the
  // GPIB bus) with room to spare.
  addSafeStep(darkenLightsNow, 1000);
  addSafeStep(switchGpibSourcemeterOffNow, 3500);
  addSafeStep(switchUsbSourcemeterOffNow, 3000);
  addSafeStep(
      [] {
        for (StageAxis* axis : {&stageX, &stageY, &stageZ}) stopAxis(*axis);
      },
      1500);
  installCrashSafety();
}

int runNerinStation(HINSTANCE instance, int showCommand) {
  // Before anything touches the data folder, a journal or a device.
  const InstanceMark mark;
  if (!mark.alone()) {
    showRunningProgram();
    return 0;
  }
  makeDataFolders();
  installInstrumentSafety();
  beginFineTimer();
  registerWindowClasses(instance);

  Gdiplus::GdiplusStartupInput gdiplusInput;  // version 1, no debug callback
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

  if (!createMainWindow(instance, showCommand)) {
    Gdiplus::GdiplusShutdown(gdiplusToken);
    endFineTimer();
    return 0;
  }
  startUp();
  startRemoteControl();
  const int exitCode = runMessageLoop(instance);
  // Before the make-safe round: no request can come in while it runs.
  stopRemoteControl();
  shutDownDevices();
  Gdiplus::GdiplusShutdown(gdiplusToken);
  endFineTimer();
  return exitCode;
}
