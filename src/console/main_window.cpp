#include "console/main_window.h"

#include "console/configuration_dialog.h"
#include "console/jog_controls.h"
#include "console/main_controls.h"
#include "console/objective_dialogs.h"
#include "console/view_actions.h"
#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "resources/resource_ids.h"
#include "runs/mapping/area_selection.h"
#include "runs/mapping/autofocus.h"
#include "runs/mapping/map_commands.h"
#include "runs/mapping/map_drawing.h"
#include "runs/mapping/map_scan.h"
#include "runs/mapping/wide_view.h"
#include "runs/objective/objective_changer.h"
#include "runs/spectroscopy/spectroscopy_runs.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "services/data_paths.h"
#include "services/device_faults.h"
#include "services/edit_field_values.h"
#include "services/instrument_safety.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/settings_files.h"
#include "services/ui_handles.h"
#include "views/image_files.h"
#include "views/live_display.h"
#include "views/view_mode.h"

#include <windowsx.h>

namespace {

// The main window was closed while something was under way: it goes once
// that has ended.
bool closeWhenIdle = false;

bool operationUnderWay() { return pumpActive || scanRunning || deviceBusy; }

// Closing the window in the middle of a run or a device sequence does not
// pull the window from under it: a run ends at its next wait and saves what
// it has, as after a confirmed stop, and the window goes when control is
// back in the main loop.
void closeMainWindow(HWND window) {
  if (!operationUnderWay()) {
    DestroyWindow(window);
    return;
  }
  closeWhenIdle = true;
  if (scanRunning) {
    stopRequested = 1;
    programEnding = 1;
  }
}

// Windows is logging off or shutting down and may end the process as soon
// as this returns: the instruments are made safe (from now on nothing
// drives an output again) and the settings kept now. A run under way ends
// at its next wait (its rows so far are in the scan journal already) and
// the program exits after it if it is given the time.
void endSession() {
  makeInstrumentsSafe();
  showLightsDarkened();
  programEnding = 1;
  saveConfigFile();
  if (scanRunning) closeMainWindow(hMainWnd);
}

void registerClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, const wchar_t* menu) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_NERIN_STATION));
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_NERIN_STATION));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = menu;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

void focusMainWindow() {
  if (hMainWnd) SetFocus(hMainWnd);
}

// The objective changer's fine step ("<" / ">"): the turret moves and waits.
void adjustTurret(double distance) {
  if (!devicesFree()) return;
  DeviceBusyScope busy;
  adjustObjectiveMotor(distance);
}

// The Z "+" / "-" buttons; all but the fine "-" pause live video meanwhile.
void stepZ(double distanceUm, bool pauseVideo = true) {
  if (!devicesFree()) return;
  if (pauseVideo) videoControl(0);
  DeviceBusyScope busy;
  moveZBy(distanceUm);
  if (pauseVideo) videoControl(1);
  readAxisPosition(stageZ);
  refreshPositionFields();
}

// Sent by the laser-voltage field once it has taken a new voltage.
void applyTypedLaserLevel() {
  char text[11] = {};
  GetWindowTextA(hLaserEdit, text, sizeof text);
  if (const std::optional<double> volts = guardedDoubleField(text, 0.0, 5.0)) takeTypedLaserLevel(*volts);
}

// "Pos.(um)": the controller positions read again and shown, also over
// whatever was typed into the fields.
void readPositions() {
  readAxisPosition(stageX);
  readAxisPosition(stageY);
  readAxisPosition(stageZ);
  for (HWND field : {hXEdit, hYEdit, hZEdit}) showPositionField(field);
  focusMainWindow();
}

// "Focus": autofocus looks at the laser spot, so it runs in the Laser view.
void focusOnLaserSpot() {
  clearDeviceFaults();
  CheckRadioButton(hMainWnd, IDC_LASER_VIEW, IDC_SAMPLE_VIEW, IDC_LASER_VIEW);
  setLaser(1);
  setIlluminationLevel(0);
  setViewMode(0);
  runAutofocus(autofocus);
  reportDeviceFaults();
}

void openIvWindow() {
  if (currentEquipment != 4) {
    MessageBoxA(hMainWnd, "Please change the current equipment as a sourcemter", "Notice", MB_OK);
    return;
  }
  videoControl(0);
  ensureIvWindow(spectroscopy, spectroscopyWindows);
  ShowWindow(hIvWnd, SW_SHOW);
}

// The accelerators and menu items without an action arrive here too and do
// nothing.
void runCommand(HWND window, int id) {
  if (id >= IDC_OBJECTIVE_FIRST && id <= IDC_OBJECTIVE_LAST) {
    if (devicesFree()) selectObjective(id - IDC_OBJECTIVE_FIRST);
    focusMainWindow();
    return;
  }
  switch (id) {
    case IDC_TURRET_FORWARD:
      adjustTurret(+0.25);
      focusMainWindow();
      break;
    case IDC_TURRET_BACK:
      adjustTurret(-0.25);
      focusMainWindow();
      break;
    case IDM_ABOUT:
      runAboutDialog();
      break;
    case IDM_EXIT:
      closeMainWindow(window);
      break;
    case IDM_CONFIGURATION:
      // It reconnects devices: not in the middle of a sequence that uses them.
      if (!devicesFree()) break;
      videoControl(0);
      runConfigurationDialog();
      videoControl(2);
      break;
    case IDM_OBJECTIVE_MOTOR_ADJUST:
      runObjectiveStepDialog();
      break;
    case IDM_SAVE_WINDOW_IMAGE:
      saveWindowImage(dataPaths, window);
      break;
    case IDM_SAVE_CAMERA_IMAGE:
      saveCameraImageCommand();
      break;
    case IDC_START:
      startMapScan();
      break;
    case IDM_SAVE_MAPS:
      saveMapsCommand();
      break;
    case IDM_SHOW_NERIN_VIEW:
      showNerinView();
      break;
    case IDM_SHOW_CONFOCAL:
      showConfocalImage(confocalAll);
      break;
    case IDM_SHOW_CONFOCAL_RED:
    case IDM_SHOW_CONFOCAL_GREEN:
    case IDM_SHOW_CONFOCAL_BLUE:
      showConfocalImage(confocalRed + (id - IDM_SHOW_CONFOCAL_RED));
      break;
    case IDC_VIDEO_ON:
      videoControl(1);
      break;
    case IDC_VIDEO_OFF:
      videoControl(0);
      break;
    // Off is never refused: during a run or a device sequence too (a run
    // may switch the laser on again at its next step, as it would anyway).
    case illuminationOnButton:
      if (devicesFree()) setIllumination(1);
      break;
    case illuminationOffButton:
      setIllumination(0);
      break;
    case laserOnButton:
      if (devicesFree()) setLaser(1);
      break;
    case laserOffButton:
      setLaser(0);
      break;
    case IDC_LASER_LEVEL:
      if (devicesFree()) applyTypedLaserLevel();
      break;
    case IDC_FOCUS:
      if (devicesFree()) focusOnLaserSpot();
      focusMainWindow();
      break;
    case IDC_WIDE_VIEW:
      if (!devicesFree()) break;
      clearDeviceFaults();
      videoControl(0);
      runWideView();
      reportDeviceFaults();
      break;
    case IDC_LASER_VIEW:
      setViewMode(0);
      break;
    case IDC_SAMPLE_VIEW:
      setViewMode(1);
      break;
    case IDC_Z_UP_FINE:
      stepZ(+0.5);
      break;
    case IDC_Z_DOWN_FINE:
      stepZ(-0.5, false);
      break;
    case IDC_Z_UP:
      stepZ(+5.0);
      break;
    case IDC_Z_DOWN:
      stepZ(-5.0);
      break;
    case IDC_READ_POSITIONS:
      if (devicesFree()) readPositions();
      break;
    case IDM_IV_MEASUREMENT:
      openIvWindow();
      break;
    case IDM_TIME_EVOLUTION:
      videoControl(0);
      ensureTimeWindow(spectroscopy, spectroscopyWindows);
      break;
    case IDC_CAMERA_AUTO:
    case IDM_CAMERA_AUTO:
      if (devicesFree()) cameraAutoSetting();
      break;
    default:
      break;
  }
}

void leftButtonDown(LPARAM lParam) {
  idleTicks = 0;
  videoControl(0);
  const int x = GET_X_LPARAM(lParam);
  const int y = GET_Y_LPARAM(lParam);
  const bool onPicture = x <= imageWidthPx && y <= imageHeightPx;
  if (onPicture && !areaDragActive) {
    beginAreaDrag(x, y);
  } else {
    jogPadPress(jogPad, x, y);
  }
}

void leftButtonUp() {
  if (areaDragActive) {
    finishAreaDrag();
    return;
  }
  jogPadRelease(jogPad);
  if (!scanRunning) videoControl(1);
}

void rightButtonDown(LPARAM lParam) {
  if (scanRunning) return;
  const int x = GET_X_LPARAM(lParam);
  const int y = GET_Y_LPARAM(lParam);
  if (scanState.sampleView) {
    moveToClickedPoint(x, y);
  } else {
    setLaserSpotAt(x, y);
  }
}

}  // namespace

void registerWindowClasses(HINSTANCE instance) {
  registerClass(instance, L"NerinMain", mainWindowProc, MAKEINTRESOURCEW(IDR_MAIN_MENU));
  registerClass(instance, L"Nerin", plotWindowProc, nullptr);
  registerClass(instance, L"CFI", plotWindowProc, nullptr);
  registerClass(instance, L"IV", plotWindowProc, nullptr);
}

bool createMainWindow(HINSTANCE instance, int showCommand) {
  hInstance = instance;
  hMainWnd = CreateWindowExW(0, L"NerinMain", mainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 1462, 1108,
                             nullptr, nullptr, instance, nullptr);
  if (!hMainWnd) return false;
  ShowWindow(hMainWnd, showCommand);
  UpdateWindow(hMainWnd);
  return true;
}

void dispatchProgramMessage(HACCEL accelerators, MSG& msg) {
  if (!TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (closeWhenIdle && !operationUnderWay()) {
    closeWhenIdle = false;
    if (IsWindow(hMainWnd)) DestroyWindow(hMainWnd);
  }
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      if (!camera.frameBuffer) SetWindowTextA(window, "error in HeapAlloc");
      camera.configure(CameraSetup::Auto);
      camera.grab(1);
      createMainControls(window);
      createLightControls(window);
      refreshPositionFields();
      return 0;
    case WM_COMMAND:
      runCommand(window, LOWORD(wParam));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(window, &ps);
      paintJogPad(jogPad, dc);
      EndPaint(window, &ps);
      refreshPositionFields();
      return 0;
    }
    case WM_TIMER:
      videoTick(wParam);
      return 0;
    case WM_KEYDOWN:
      idleTicks = 0;
      keyboardJog(static_cast<int>(wParam));
      return 0;
    case WM_KEYUP:
      idleTicks = 0;
      return 0;
    case WM_MOUSEMOVE:
      idleTicks = 0;
      if (wParam & MK_LBUTTON) dragAreaTo(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONDOWN:
      leftButtonDown(lParam);
      return 0;
    case WM_LBUTTONUP:
      leftButtonUp();
      return 0;
    case WM_RBUTTONDOWN:
      rightButtonDown(lParam);
      return 0;
    case WM_CAPTURECHANGED:
      // Whatever took the mouse away also ends a jog-pad press.
      jogPadRelease(jogPad);
      return 0;
    case WM_CLOSE:
      closeMainWindow(window);
      return 0;
    case WM_ENDSESSION:
      if (wParam) endSession();
      return 0;
    case WM_DESTROY:
      videoControl(0);
      Sleep(100);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
