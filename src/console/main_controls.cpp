#include "console/main_controls.h"

#include "devices/camera/camera.h"
#include "devices/measurement/current_reading.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "resources/resource_ids.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "services/edit_field_values.h"
#include "services/message_pump.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/scan_geometry.h"
#include "services/ui_handles.h"
#include "views/live_display.h"

#include <cstdio>
#include <iterator>

namespace {

// Styles of the controls.
constexpr DWORD plain = WS_CHILD | WS_VISIBLE;       // labels, read-outs
constexpr DWORD pushLike = plain | BS_PUSHLIKE;      // push buttons
constexpr DWORD radio = plain | BS_RADIOBUTTON;      // radio buttons the program checks itself
constexpr DWORD bordered = plain | WS_BORDER;        // edit fields, the Z "+"/"-" buttons
constexpr DWORD multiline = bordered | ES_MULTILINE; // the "Information" box

struct Control {
  const wchar_t* windowClass;
  const wchar_t* caption;
  int id;
  int x, y, width, height;
  DWORD style;
  DWORD extendedStyle;
  HWND* handle;  // where the program keeps it, or null
};

const Control mainControls[] = {
    {L"Button", L"Start", IDC_START, 1262, 10, 70, 40, pushLike, 0, &hStartButton},
    {L"Button", L"Wide View", IDC_WIDE_VIEW, 1342, 10, 70, 40, pushLike, 0, nullptr},
    {L"STATIC", L"Video", IDC_LABEL, 1262, 60, 40, 20, plain, 0, nullptr},
    {L"Button", L"On", IDC_VIDEO_ON, 1332, 60, 40, 20, radio, 0, nullptr},
    {L"Button", L"Off", IDC_VIDEO_OFF, 1382, 60, 40, 20, radio, 0, nullptr},
    {L"STATIC", L"Objective lens", IDC_LABEL, 1252, 155, 100, 20, plain, 0, nullptr},
    {L"Button", L"<", IDC_TURRET_BACK, 1362, 155, 20, 15, pushLike, 0, nullptr},
    {L"Button", L">", IDC_TURRET_FORWARD, 1392, 155, 20, 15, pushLike, 0, nullptr},
    {L"Button", L"5", IDC_OBJECTIVE_FIRST, 1252, 175, 30, 20, radio, 0, nullptr},
    {L"Button", L"10", IDC_OBJECTIVE_FIRST + 1, 1284, 175, 35, 20, radio, 0, nullptr},
    {L"Button", L"20", IDC_OBJECTIVE_FIRST + 2, 1321, 175, 35, 20, radio, 0, nullptr},
    {L"Button", L"50", IDC_OBJECTIVE_FIRST + 3, 1358, 175, 35, 20, radio, 0, nullptr},
    {L"Button", L"100", IDC_OBJECTIVE_FIRST + 4, 1395, 175, 43, 20, radio, 0, nullptr},
    {L"STATIC", L"Scan Speed (um/s)", IDC_LABEL, 1262, 200, 125, 20, plain, 0, nullptr},
    {L"EDIT", L"", IDC_SCAN_SPEED, 1397, 200, 40, 20, bordered, 0, &hScanSpeedEdit},
    {L"Button", L"Focus", IDC_FOCUS, 1262, 225, 45, 25, pushLike, 0, nullptr},
    {L"Button", L"Laser", IDC_LASER_VIEW, 1307, 225, 57, 25, radio, 0, nullptr},
    {L"Button", L"Sample", IDC_SAMPLE_VIEW, 1364, 225, 67, 25, radio, 0, nullptr},
    {L"Button", L"Pos.(um)", IDC_READ_POSITIONS, 1262, 260, 65, 20, pushLike, 0, nullptr},
    {L"STATIC", L"Z", IDC_LABEL, 1332, 260, 10, 20, plain, 0, nullptr},
    {L"EDIT", L"", IDC_Z_POSITION, 1344, 260, 65, 20, bordered, 0, &hZEdit},
    {L"BUTTON", L"+", IDC_Z_UP_FINE, 1414, 255, 15, 20, bordered, 0, nullptr},
    {L"BUTTON", L"-", IDC_Z_DOWN_FINE, 1414, 270, 15, 20, bordered, 0, nullptr},
    {L"BUTTON", L"+", IDC_Z_UP, 1429, 250, 15, 25, bordered, 0, nullptr},
    {L"BUTTON", L"-", IDC_Z_DOWN, 1429, 270, 15, 25, bordered, 0, nullptr},
    {L"STATIC", L"X", IDC_LABEL, 1247, 285, 10, 20, plain, 0, nullptr},
    {L"EDIT", L"", IDC_X_POSITION, 1262, 285, 65, 20, bordered, 0, &hXEdit},
    {L"STATIC", L"Y", IDC_LABEL, 1332, 285, 10, 20, plain, 0, nullptr},
    {L"EDIT", L"", IDC_Y_POSITION, 1347, 285, 65, 20, bordered, 0, &hYEdit},
    {L"STATIC", L"Scan Step", IDC_LABEL, 1262, 315, 90, 20, plain, 0, nullptr},
    {L"EDIT", L"", 0, 1352, 315, 40, 20, bordered, WS_EX_CLIENTEDGE, &hScanStepEdit},
    {L"STATIC", L"um", IDC_LABEL, 1399, 315, 25, 20, plain, 0, nullptr},
    {L"STATIC", L"Information", IDC_LABEL, 1262, 338, 75, 20, plain, 0, nullptr},
    {L"EDIT", L"", IDC_LABEL, 1262, 360, 170, 40, multiline, 0, &hInfoEdit},
    {L"STATIC", L"Progress", IDC_LABEL, 1262, 420, 75, 20, plain, 0, nullptr},
    {L"EDIT", L"", IDC_PROGRESS, 1262, 445, 170, 20, bordered, 0, &hProgressEdit},
    {L"STATIC", L"Time/estimated", IDC_LABEL, 1262, 480, 100, 20, plain, 0, nullptr},
    {L"EDIT", L"", IDC_TIME, 1262, 505, 170, 20, bordered, 0, &hTimeEdit},
    {L"STATIC", L"Bias Voltage", IDC_LABEL, 1262, 535, 90, 20, plain, 0, nullptr},
    {L"EDIT", L"", 0, 1352, 535, 40, 20, bordered, WS_EX_CLIENTEDGE, &hBiasEdit},
    {L"STATIC", L"V", IDC_LABEL, 1399, 535, 25, 20, plain, 0, nullptr},
    {L"Button", L"Nerin map", IDM_SHOW_NERIN_VIEW, 1262, 560, 70, 40, plain, 0, nullptr},
    {L"STATIC", L"I_ph (uA)", IDC_LABEL, 1342, 560, 70, 20, plain, 0, nullptr},
    {L"EDIT", L"", 0, 1342, 580, 70, 20, bordered, 0, &hCurrentEdit},
    {L"Button", L"Confocal", IDM_SHOW_CONFOCAL, 1262, 610, 70, 40, plain, 0, nullptr},
    {L"STATIC", L"R", IDC_LABEL, 1342, 610, 20, 20, plain, 0, nullptr},
    {L"STATIC", L"G", IDC_LABEL, 1377, 610, 20, 20, plain, 0, nullptr},
    {L"STATIC", L"B", IDC_LABEL, 1412, 610, 20, 20, plain, 0, nullptr},
    {L"EDIT", L"", 0, 1342, 630, 35, 20, plain, 0, &hRedEdit},
    {L"EDIT", L"", 0, 1377, 630, 35, 20, plain, 0, &hGreenEdit},
    {L"EDIT", L"", 0, 1412, 630, 35, 20, plain, 0, &hBlueEdit},
    {L"STATIC", L"Camera Control", IDC_LABEL, 1262, 665, 100, 20, plain, 0, nullptr},
    {L"Button", L"Auto", IDC_CAMERA_AUTO, 1372, 665, 40, 20, plain, 0, nullptr},
    {L"STATIC", L"Gain", IDC_GAIN_LABEL, 1262, 685, 50, 20, plain, 0, nullptr},
    {L"STATIC", L"Expo.", IDC_EXPOSURE_LABEL, 1322, 685, 50, 20, plain, 0, nullptr},
    {L"EDIT", L"", 0, 1262, 710, 50, 20, bordered, 0, &hGainEdit},
    {L"EDIT", L"", 0, 1322, 710, 55, 20, bordered, 0, &hExposureEdit},
    {L"STATIC", L"f-factor", 0, 1252, 890, 60, 20, plain, 0, nullptr},
    {L"EDIT", L"", 0, 1322, 890, 55, 20, bordered, 0, &hFFactorEdit},
};

const Control lightControls[] = {
    {L"STATIC", L"illum.", IDC_LABEL, 1262, 90, 55, 20, plain, 0, nullptr},
    {L"Button", L"On", illuminationOnButton, 1332, 90, 40, 20, radio, 0, nullptr},
    {L"Button", L"Off", illuminationOffButton, 1382, 90, 40, 20, radio, 0, nullptr},
    {L"STATIC", L"laser", IDC_LABEL, 1262, 110, 40, 20, plain, 0, nullptr},
    {L"EDIT", L"", 0, 1307, 110, 33, 20, bordered, 0, &hLaserEdit},
    {L"STATIC", L"V", IDC_LABEL, 1342, 110, 10, 20, plain, 0, nullptr},
    {L"Button", L"On", laserOnButton, 1362, 110, 40, 20, radio, 0, nullptr},
    {L"Button", L"Off", laserOffButton, 1407, 110, 40, 20, radio, 0, nullptr},
    {L"EDIT", L"", 0, 1307, 130, 33, 20, plain, 0, &hLaserPowerEdit},
    {L"STATIC", L"uW", IDC_LABEL, 1342, 130, 25, 20, plain, 0, nullptr},
};

HWND createControl(HWND parent, const Control& c) {
  return CreateWindowExW(c.extendedStyle, c.windowClass, c.caption, c.style, c.x, c.y, c.width, c.height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), hInstance, nullptr);
}

void setText(HWND field, const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  SetWindowTextA(field, text);
}

void setText(HWND field, int value) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", value);
  SetWindowTextA(field, text);
}

void focusMainWindow() {
  if (hMainWnd) SetFocus(hMainWnd);
}

// ---- What the edit fields do on Enter and Escape ----

void enterScanSpeed(HWND field, const char* text) {
  scanSpeed = intFieldOr(text, scanSpeed, 5, 800);
  setText(field, scanSpeed);
  // A stage busy with a move is left alone: every later move sets its own speed.
  if (devicesFree()) {
    setAxisSpeed(stageX, scanSpeed);
    setAxisSpeed(stageY, scanSpeed);
  }
  showElapsed();
  focusMainWindow();
}

void enterScanStep(HWND field, const char* text) {
  scanState.stepUm = floatFieldOr(text, scanState.stepUm, 0.25, 20.0);
  setText(field, "%g", scanState.stepUm);
  computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
  focusMainWindow();
}

// A typed position: the axis goes there at the fast speed, with live video
// paused meanwhile.
void moveTypedAxis(HWND field, StageAxis& axis, int targetUm) {
  setAxisSpeed(axis, 800);
  pumpMessages(50);
  moveAxisTo(axis, targetUm);
  videoControl(2);
  // The field shows where the axis is now, also when it did not move (the
  // typed text may have been beyond the travel, or equal to the position).
  showPositionField(field);
}

void enterXY(HWND field, const char* text, StageAxis& axis) {
  const std::optional<int> target = guardedIntField(text, -15000, 15000);
  if (!target || !devicesFree()) return;
  DeviceBusyScope busy;
  videoControl(0);
  moveTypedAxis(field, axis, *target);
}

void enterX(HWND field, const char* text) { enterXY(field, text, stageX); }
void enterY(HWND field, const char* text) { enterXY(field, text, stageY); }

void enterZ(HWND field, const char* text) {
  const std::optional<int> target = guardedIntField(text, -15000, 5000);
  if (!target || !devicesFree()) return;
  // Busy from the question on: a jog while it is asked would make the
  // answer refer to another position.
  DeviceBusyScope busy;
  videoControl(0);
  if (zMoveNeedsWarning(*target, stageZ.positionUm)) {
    const int objective = isObjectiveIndex(objectiveSettings.current) ? objectiveSettings.current : 0;
    const std::string question =
        zWarningText(*target, objectiveSettings.workingDistanceMm[objective] * 1000.0);
    if (MessageBoxA(hMainWnd, question.c_str(), "Warning!", MB_YESNO) == IDNO) {
      videoControl(2);
      return;
    }
  }
  moveTypedAxis(field, stageZ, *target);
}

void enterBias(HWND field, const char* text) {
  biasVoltage = static_cast<float>(floatFieldOr(text, biasVoltage, minBiasV, maxBiasV));
  setText(field, "%.1f", biasVoltage);
  // A run that is measuring keeps its bias; the new one applies from the next.
  if (devicesFree()) applyBiasToSourcemeter(biasVoltage);
  focusMainWindow();
}

void enterLaserVoltage(HWND field, const char* text) {
  lightSources.laserLevel = floatFieldOr(text, lightSources.laserLevel, 0.1, 5.0);
  setText(field, "%f", lightSources.laserLevel);
  if (hMainWnd) SendMessageW(hMainWnd, WM_COMMAND, IDC_LASER_LEVEL, 0);
  focusMainWindow();
}

// The camera applies (and writes back) what it takes; while a sequence or a
// run is under way the camera is left to it.
void enterGain(HWND, const char* text) {
  if (devicesFree()) applyGain(text);
  focusMainWindow();
}

void enterExposure(HWND, const char* text) {
  if (devicesFree()) applyExposure(text);
}

void escapeToMainWindow(HWND) { focusMainWindow(); }

struct EditField {
  HWND* handle;
  void (*onEnter)(HWND field, const char* text);
  void (*onEscape)(HWND field);
  WNDPROC standard;  // the edit control's own procedure
};

EditField editFields[] = {
    {&hScanSpeedEdit, enterScanSpeed, nullptr, nullptr},
    {&hZEdit, enterZ, showPositionField, nullptr},
    {&hXEdit, enterX, showPositionField, nullptr},
    {&hYEdit, enterY, showPositionField, nullptr},
    {&hScanStepEdit, enterScanStep, nullptr, nullptr},
    {&hBiasEdit, enterBias, nullptr, nullptr},
    {&hGainEdit, enterGain, nullptr, nullptr},
    {&hExposureEdit, enterExposure, nullptr, nullptr},
    {&hLaserEdit, enterLaserVoltage, escapeToMainWindow, nullptr},
};

EditField* editFieldOf(HWND window) {
  for (EditField& f : editFields) {
    if (*f.handle == window) return &f;
  }
  return nullptr;
}

LRESULT CALLBACK editFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  EditField* field = editFieldOf(window);
  if (!field) return DefWindowProcW(window, message, wParam, lParam);
  const WNDPROC standard = field->standard;
  if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    char text[editFieldTextCapacity] = {};
    GetWindowTextA(window, text, editFieldTextCapacity);
    field->onEnter(window, text);
  } else if (message == WM_KEYDOWN && wParam == VK_ESCAPE && field->onEscape) {
    field->onEscape(window);
  }
  return CallWindowProcW(standard, window, message, wParam, lParam);
}

void createControls(HWND parent, const Control* controls, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const HWND created = createControl(parent, controls[i]);
    if (!controls[i].handle) continue;
    *controls[i].handle = created;
    if (EditField* field = editFieldOf(created)) {
      field->standard = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(created, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editFieldProc)));
    }
  }
}

constexpr DWORD childWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
// The low bits are the class's own; the plot windows give them no meaning.
constexpr DWORD timeWindowStyle = childWindowStyle | 0x0005;

HWND createChildWindow(const wchar_t* windowClass, const wchar_t* title, DWORD style, int x, int y, int width,
                       int height) {
  return CreateWindowExW(WS_EX_TOOLWINDOW, windowClass, title, style, x, y, width, height, hMainWnd, nullptr,
                         hInstance, nullptr);
}

HWND createChildControl(HWND parent, const wchar_t* windowClass, const wchar_t* caption, DWORD style, int x, int y,
                        int width, int height, int id = IDC_LABEL) {
  return CreateWindowExW(0, windowClass, caption, style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hInstance, nullptr);
}

HWND createNumberEdit(HWND parent, const char* format, double value, int x, int y, int width) {
  const HWND edit = createChildControl(parent, L"EDIT", L"", bordered, x, y, width, 20);
  setText(edit, format, value);
  return edit;
}

}  // namespace

void createMainControls(HWND mainWindow) {
  createControls(mainWindow, mainControls, std::size(mainControls));
  setText(hScanStepEdit, "%g", scanState.stepUm);
  setText(hScanSpeedEdit, scanSpeed);
  setText(hGainEdit, camera.gain);
  setText(hExposureEdit, static_cast<int>(camera.exposureUs));
  setText(hBiasEdit, "%f", biasVoltage);
  refreshPositionFields();
  SetFocus(mainWindow);
}

void createLightControls(HWND mainWindow) { createControls(mainWindow, lightControls, std::size(lightControls)); }

void ensureIvWindow(const SpectroscopyRecord& record, SpectroscopyWindows& windows) {
  if (IsWindow(hIvWnd)) return;
  hIvWnd = createChildWindow(L"IV", L"IV Curve", childWindowStyle, 100, 100, 500, 435);
  ShowWindow(hIvWnd, SW_SHOW);
  UpdateWindow(hIvWnd);
  createChildControl(hIvWnd, L"STATIC", L"Voltage Range (+/- V)", plain, 30, 360, 150, 20);
  windows.rangeEdit = windows.firstEdit = createNumberEdit(hIvWnd, "%.2f", record.voltageRange, 190, 360, 50);
  createChildControl(hIvWnd, L"Button", L"Start", plain, 250, 360, 40, 20, IDC_IV_START);
}

void ensureTimeWindow(const SpectroscopyRecord& record, SpectroscopyWindows& windows) {
  if (IsWindow(windows.timeWindow)) return;
  HWND window = createChildWindow(L"IV", record.title, timeWindowStyle, 100, 100, 500, 435);
  windows.timeWindow = window;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  createChildControl(window, L"STATIC", L"Time interval (sec)", plain, 30, 330, 150, 20);
  createChildControl(window, L"STATIC", L"On time", plain, 30, 360, 50, 20);
  windows.onTimeEdit = windows.firstEdit = createNumberEdit(window, "%.1f", record.onTime, 90, 360, 50);
  createChildControl(window, L"STATIC", L"Off time", plain, 150, 360, 50, 20);
  windows.offTimeEdit = createNumberEdit(window, "%.1f", record.offTime, 210, 360, 50);
  createChildControl(window, L"STATIC", L"repeat", plain, 270, 360, 42, 20);
  windows.repeatEdit = createChildControl(window, L"EDIT", L"", bordered, 320, 360, 30, 20);
  setText(windows.repeatEdit, record.repeatCount);
  createChildControl(window, L"Button", L"Start", plain, 360, 360, 40, 20, IDC_TIME_EVOLUTION_START);
}
