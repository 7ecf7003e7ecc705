#include "console/configuration_dialog.h"

#include "console/dialog_fields.h"
#include "devices/camera/camera.h"
#include "devices/measurement/current_reading.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "resources/resource_ids.h"
#include "services/edit_number.h"
#include "services/fixed_format.h"
#include "services/program_state.h"
#include "services/scan_geometry.h"
#include "services/ui_handles.h"

#include <iterator>
#include <string>

namespace {

constexpr int fieldChars = dialogFieldChars;  // every edit is read with at most 10 characters,
constexpr int defocusChars = 30;  // the defocus with at most 30

std::string fieldText(HWND dialog, int id, int maxChars = fieldChars) {
  char text[defocusChars + 1] = {};
  GetDlgItemTextA(dialog, id, text, maxChars + 1);
  return text;
}

void showField(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

void check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

bool isChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void tell(const char* text, const char* title) { MessageBoxA(hMainWnd, text, title, MB_OK); }

void select(HWND dialog, int list, int index) { SendDlgItemMessageA(dialog, list, CB_SETCURSEL, index, 0); }

template <size_t N>
void fillList(HWND dialog, int list, const char* const (&names)[N], int selected) {
  for (const char* name : names) SendDlgItemMessageA(dialog, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  select(dialog, list, selected);
}

// The entry chosen in a list; the setting as it is when nothing is chosen
// (a value from Config.txt outside the list selects no entry).
int chosen(HWND dialog, int list, int setting) {
  const LRESULT index = SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? setting : static_cast<int>(index);
}

void showPositions(HWND dialog) {
  showField(dialog, IDC_POSITION_X, formatTenths(stageX.positionUm));
  showField(dialog, IDC_POSITION_Y, formatTenths(stageY.positionUm));
}

void showSettings(HWND dialog) {
  fillList(dialog, IDC_EQUIPMENT_LIST, equipmentNames, currentEquipment);
  showField(dialog, IDC_GPIB_ADDRESS, formatInt(gpibAddress));
  showField(dialog, IDC_COM_PORT, formatInt(arduinoComPort));
  check(dialog, IDC_ARDUINO_CONNECTED, !arduinoLink.offline);
  fillList(dialog, IDC_AXIS_ORDER_LIST, axisOrderNames, standaConfig);
  check(dialog, IDC_STAGE_CONNECTED, stageX.deviceNumber != 0);
  check(dialog, IDC_CAMERA_CONNECTED, camera.connected == 1);
  check(dialog, IDC_CONFOCAL_IMAGE, confocalEnabled == 1);
  check(dialog, IDC_Z_CREEP, zCreepCorrection == 1);
  showField(dialog, IDC_BIAS_VOLTAGE, formatFixed(biasVoltage));
  showField(dialog, IDC_CURRENT_LIMIT, keptDigitsText(currentLimit, fieldChars));
  showField(dialog, IDC_CAMERA_APERTURE, formatInt(cameraAperture));
  showField(dialog, IDC_DEFOCUS, formatTenths(scanState.defocusUm));
  showPositions(dialog);
  showField(dialog, IDC_STEP_MOTION, "10.0");
  showField(dialog, IDC_LASER_SPOT_X, formatInt(scanState.laserSpotX));
  showField(dialog, IDC_LASER_SPOT_Y, formatInt(scanState.laserSpotY));
}

void connectArduinoAtTypedPort(HWND dialog) {
  const std::string port = fieldText(dialog, IDC_COM_PORT);
  int number = 0;
  if (port.empty()) {
    tell("Insert integer number, please", "Port number");
  } else if (readEditInt(port.c_str(), number)) {
    closeArduino();
    arduinoComPort = number;
    connectArduino(arduinoComPort);
    if (arduinoLink.offline) {
      tell("Error: not connected", "Warning: Serial Communication");
    } else {
      tell("serial port connected", "Serial Communication");
    }
  }
  check(dialog, IDC_ARDUINO_CONNECTED, !arduinoLink.offline);
}

// Stage moves and the stage reconnect wait through the message pump, which
// goes on dispatching this dialog's buttons: one stage sequence at a time.
void reconnectStage(HWND dialog) {
  if (!devicesFree()) return;
  DeviceBusyScope busy;
  standaConfig = chosen(dialog, IDC_AXIS_ORDER_LIST, standaConfig);
  closeStageAxis(stageX);
  closeStageAxis(stageY);
  closeStageAxis(stageZ);
  if (connectStage(standaConfig, scanSpeed)) {
    tell("Standa scanner Initialized", "Scanner");
  } else {
    tell("No devices found", "Scanner Error");
  }
  check(dialog, IDC_STAGE_CONNECTED, stageX.deviceNumber != 0);
}

void connectCamera(HWND dialog) {
  camera.init();
  camera.configure(CameraSetup::Auto);  // also after a failed init: it reports "No camera detected"
  check(dialog, IDC_CAMERA_CONNECTED, camera.connected == 1);
}

// Moves X or Y by the whole micrometres of the step field.
void stepStage(HWND dialog, StageAxis& axis, int direction) {
  int step = 0;
  if (!readEditInt(fieldText(dialog, IDC_STEP_MOTION).c_str(), step) || !devicesFree()) return;
  {
    DeviceBusyScope busy;
    moveAxisBy(axis, direction * static_cast<double>(step));
  }
  showPositions(dialog);
}

void moveToTypedPosition(HWND dialog) {
  int x = 0;
  int y = 0;
  if (!readEditInt(fieldText(dialog, IDC_POSITION_X).c_str(), x) ||
      !readEditInt(fieldText(dialog, IDC_POSITION_Y).c_str(), y) || !devicesFree()) {
    return;
  }
  DeviceBusyScope busy;
  moveAxesTo(stageX, stageY, x, y);
}

// How each current meter is opened and what the operator is told; "Arduino"
// (the test source) has nothing to open.
struct MeterConnection {
  int (*open)();
  const char* connected;
  const char* connectedTitle;
  const char* failed;
  const char* failedTitle;
};

const MeterConnection meterConnections[] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, "This equipment is not supported yet", "NI-DAQ Error"},
    {[] { return openGpibMultimeter(gpibAddress); }, "MultiMeter device connected", "GPIB Communication",
     "No MultiMeter devices found at GPIB", "GPIB Error"},
    {[] { return openGpibSourcemeter(gpibAddress); }, "SourceMeter device connected", "GPIB Communication",
     "No GPIB connected", "GPIB Error"},
    {[] { return openUsbSourcemeter(biasVoltage); }, "SourceMeter device connected", "USB Communication",
     "No SourceMeter devices found via USB", "USB Error"},
};

// Opens the meter now selected. One that cannot be connected is reported and
// the previous meter stays selected, in the program and in the list.
void connectEquipment(HWND dialog, int previous) {
  int address = 0;
  if (readEditInt(fieldText(dialog, IDC_GPIB_ADDRESS).c_str(), address)) gpibAddress = address;
  if (currentEquipment < 0 || currentEquipment >= static_cast<int>(std::size(meterConnections))) return;
  const MeterConnection& meter = meterConnections[currentEquipment];
  if (!meter.failed) return;

  // A GPIB open that fails leaves its failed descriptor behind; the meter
  // that stays selected goes on with the one it was opened with.
  const int previousGpibDevice = gpibDevice;
  if (meter.open && meter.open()) {
    tell(meter.connected, meter.connectedTitle);
    return;
  }
  tell(meter.failed, meter.failedTitle);
  gpibDevice = previousGpibDevice;
  currentEquipment = previous;
  select(dialog, IDC_EQUIPMENT_LIST, previous);
}

// "Set": every field that reads is taken; a meter newly chosen is connected.
void applySettings(HWND dialog) {
  const int previous = currentEquipment;
  currentEquipment = chosen(dialog, IDC_EQUIPMENT_LIST, currentEquipment);

  const bool spotX = readLaserSpotField(fieldText(dialog, IDC_LASER_SPOT_X).c_str(), imageWidthPx,
                                        scanState.laserSpotX);
  const bool spotY = readLaserSpotField(fieldText(dialog, IDC_LASER_SPOT_Y).c_str(), imageHeightPx,
                                        scanState.laserSpotY);
  if (spotX || spotY) computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);

  float value = 0.0f;
  if (readBiasField(fieldText(dialog, IDC_BIAS_VOLTAGE).c_str(), value)) {
    biasVoltage = value;
    SetWindowTextA(hBiasEdit, formatFixed(biasVoltage).c_str());
    // With the limit in force before this press: the new one is read next.
    applyBiasToSourcemeter(biasVoltage);
  }
  if (readFiniteFloat(fieldText(dialog, IDC_CURRENT_LIMIT).c_str(), value)) currentLimit = value;
  readEditInt(fieldText(dialog, IDC_CAMERA_APERTURE).c_str(), cameraAperture);

  if (currentEquipment == previous) {
    readDefocusField(fieldText(dialog, IDC_DEFOCUS, defocusChars).c_str(), scanState.defocusUm);
    showField(dialog, IDC_DEFOCUS, formatTenths(scanState.defocusUm));
  } else {
    connectEquipment(dialog, previous);
  }
}

void onCommand(HWND dialog, int id) {
  switch (id) {
    case IDC_ARDUINO_INIT:
    case IDC_ARDUINO_CONNECTED:
      connectArduinoAtTypedPort(dialog);
      break;
    case IDC_STAGE_INIT:
    case IDC_STAGE_CONNECTED:
      reconnectStage(dialog);
      break;
    case IDC_CAMERA_INIT:
    case IDC_CAMERA_CONNECTED:
      connectCamera(dialog);
      break;
    case IDC_CONFOCAL_IMAGE:
      confocalEnabled = isChecked(dialog, IDC_CONFOCAL_IMAGE) ? 1 : 0;
      break;
    case IDC_Z_CREEP:
      zCreepCorrection = isChecked(dialog, IDC_Z_CREEP) ? 1 : 0;
      scanState.zCreepCorrection = zCreepCorrection;  // the scan state carries the same option
      break;
    case IDC_STEP_MINUS_X:
      stepStage(dialog, stageX, -1);
      break;
    case IDC_STEP_PLUS_X:
      stepStage(dialog, stageX, +1);
      break;
    case IDC_STEP_MINUS_Y:
      stepStage(dialog, stageY, -1);
      break;
    case IDC_STEP_PLUS_Y:
      stepStage(dialog, stageY, +1);
      break;
    case IDC_GO:
      moveToTypedPosition(dialog);
      break;
    case IDC_EQUIPMENT_INIT: {
      const int previous = currentEquipment;
      currentEquipment = chosen(dialog, IDC_EQUIPMENT_LIST, currentEquipment);
      connectEquipment(dialog, previous);
      break;
    }
    case IDOK:
      applySettings(dialog);
      break;
    case IDCANCEL:  // "Done", also Esc and the close box
      standaConfig = chosen(dialog, IDC_AXIS_ORDER_LIST, standaConfig);
      EndDialog(dialog, 0);
      break;
  }
}

}  // namespace

INT_PTR CALLBACK configurationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      showSettings(dialog);
      return TRUE;  // the focus goes to the first control
    case WM_COMMAND:
      onCommand(dialog, LOWORD(wParam));
      return FALSE;
    default:
      return FALSE;
  }
}

void runConfigurationDialog() { runModalDialog(IDD_CONFIGURATION, configurationDialogProc); }
