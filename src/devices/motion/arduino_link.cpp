#include "devices/motion/arduino_link.h"

#include "services/device_faults.h"
#include "services/instrument_safety.h"
#include "services/message_pump.h"
#include "services/objective_table.h"
#include "services/reporting.h"
#include "services/ui_handles.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

ArduinoLink arduinoLink;
LightSources lightSources;

namespace {

ArduinoLink& link = arduinoLink;

bool portOpen() { return link.portHandle != nullptr && link.portHandle != INVALID_HANDLE_VALUE; }

template <std::size_t N>
void copyText(char (&destination)[N], std::string_view text) {
  const std::size_t length = std::min(text.size(), N - 1);
  std::memcpy(destination, text.data(), length);
  destination[length] = '\0';
}

bool sendText(const std::string& text) {
  if (text.empty()) return false;
  copyText(link.commandText, text);
  return sendLine(link.commandText);
}

bool sendMotorCommand(MotorCommand command, int axis, int argument = 0) {
  return sendText(motorCommand(command, axis, argument));
}

// A light output's command. Once the outputs are latched off only switching
// off goes out. While a move waits for its replies the command is held (the
// last one per output) and sent right after the move.
void sendLightCommand(const std::string& text, bool switchesOn) {
  if (switchesOn && outputsLatchedOff()) return;
  if (!link.inTransaction) {
    sendText(text);
    return;
  }
  const std::string output = text.substr(0, text.rfind(' ') + 1);  // "G 5 "
  int slot = 0;
  while (slot < link.pendingCount && std::string_view(link.pendingLines[slot]).rfind(output, 0) != 0) ++slot;
  if (slot == static_cast<int>(std::size(link.pendingLines))) return;
  copyText(link.pendingLines[slot], text);
  link.pendingCount = std::max(link.pendingCount, slot + 1);
}

void sendHeldLightCommands() {
  const int count = link.pendingCount;
  link.pendingCount = 0;
  for (int k = 0; k < count; ++k) {
    const std::string_view line = link.pendingLines[k];
    const bool switchesOn = line.substr(line.rfind(' ') + 1) != "0";
    if (!(switchesOn && outputsLatchedOff())) sendLine(link.pendingLines[k]);
  }
}

int steps(int axis, double um) { return stepsFromUm(link.direction[axis], um); }
double um(int axis, double steps) { return umFromSteps(link.direction[axis], steps); }

// A reply as shown to the operator: without the line end the board adds.
std::string shownReply(std::string_view reply) {
  while (!reply.empty() && (reply.back() == '\r' || reply.back() == ' ')) reply.remove_suffix(1);
  return std::string(reply);
}

void tickRadio(int first, int last, int checked) {
  if (hMainWnd) CheckRadioButton(hMainWnd, first, last, checked);
}

void focusMainWindow() {
  if (hMainWnd) SetFocus(hMainWnd);
}

void setText(HWND window, const char* text) {
  if (window) SetWindowTextA(window, text);
}

// The voltage field and the power read-out.
void showLaserLevel(double volts) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", volts);
  setText(hLaserEdit, text);
  const int objective = objectiveSettings.current;
  if (isObjectiveIndex(objective)) {
    std::snprintf(text, sizeof text, "%.0f", volts * objectiveSettings.laserPowerPerVolt[objective]);
    setText(hLaserPowerEdit, text);
  }
}

}  // namespace

bool connectArduino(int port) {
  link.comPort = port;
  char path[32];
  std::snprintf(path, sizeof path, "\\\\.\\COM%d", port);

  // Any handle still open goes first, also one that a failed write left
  // behind: the port is opened without sharing, so a forgotten handle would
  // make every later open of the same port fail.
  closeArduino();

  link.portHandle =
      CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (link.portHandle == INVALID_HANDLE_VALUE) {
    MessageBoxA(nullptr, "Error in  opening serial port", "Warning", MB_OK);
    link.offline = 1;
    return false;
  }
  link.offline = 0;
  noteDeviceConnected(FaultyDevice::arduino);
  link.replies.clear();
  // Whatever the board's laser output was before, the first level set on
  // this link is sent: the program puts the laser in a known state.
  lightSources.laserLevelSent = false;

  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  link.lastCallOk = GetCommState(link.portHandle, &dcb);
  if (!link.lastCallOk) {
    std::printf("GetCommState failed with error %d.\n", static_cast<int>(GetLastError()));
    std::fflush(stdout);
    return false;
  }
  std::printf("\nBaudRate = %d, ByteSize = %d, Parity = %d, StopBits = %d\n",
              static_cast<int>(dcb.BaudRate), dcb.ByteSize, dcb.Parity, dcb.StopBits);

  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  link.lastCallOk = SetCommState(link.portHandle, &dcb);
  if (!link.lastCallOk) {
    std::printf("SetCommState failed with error %d.\n", static_cast<int>(GetLastError()));
    std::fflush(stdout);
    return false;
  }
  link.lastCallOk = GetCommState(link.portHandle, &dcb);
  if (!link.lastCallOk) {
    std::printf("GetCommState failed with error %d.\n", static_cast<int>(GetLastError()));
    std::fflush(stdout);
    return false;
  }

  // A read returns after a 10 ms pause between bytes, at the latest after
  // 10 ms per byte asked for plus 50 ms.
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = 10;
  timeouts.ReadTotalTimeoutMultiplier = 10;
  timeouts.ReadTotalTimeoutConstant = 50;
  timeouts.WriteTotalTimeoutMultiplier = 10;
  timeouts.WriteTotalTimeoutConstant = 50;
  if (!SetCommTimeouts(link.portHandle, &timeouts)) {
    std::printf("Error to Setting Time outs");
    std::fflush(stdout);
    return false;
  }
  if (!GetCommTimeouts(link.portHandle, &timeouts)) std::printf("Error in Get Comm Timeout");
  std::fflush(stdout);

  Sleep(100);  // the board may still be starting up
  sendMotorCommand(MotorCommand::zero, 0);
  for (int axis = 0; axis < motorAxisCount; ++axis) link.positionUm[axis] = queryMotorPosition(axis);
  for (int axis = 0; axis < motorAxisCount; ++axis) setMotorSpeed(axis, link.speedUm[axis]);
  for (int axis = 0; axis < 3; ++axis) setMotorAcceleration(axis, 7000);
  setMotorAcceleration(3, 1000);
  std::memset(link.moving, 0, sizeof link.moving);
  return true;
}

void closeArduino() {
  if (!portOpen()) return;
  CloseHandle(link.portHandle);
  link.portHandle = INVALID_HANDLE_VALUE;
  link.offline = 1;
  link.replies.clear();
}

bool sendLine(const char* text) {
  if (link.offline) return false;
  if (!text) text = "";
  // No reply spans two commands: an unfinished line still kept from an
  // earlier read (noise, or the board restarting as the port opened) would
  // otherwise be glued to the front of this command's reply.
  link.replies.clear();
  copyText(link.ioText, text);
  std::string line = text;
  line += '\n';
  link.bytesWritten = 0;
  link.lastCallOk = WriteFile(link.portHandle, line.data(), static_cast<DWORD>(line.size()),
                              &link.bytesWritten, nullptr);
  // A write that timed out part-way left the board with half a command; the
  // port is as unusable as after a failed write.
  if (!link.lastCallOk || link.bytesWritten != line.size()) {
    const DWORD error = link.lastCallOk ? 0 : GetLastError();
    link.offline = 1;
    // A link that never had a port starts online and goes offline
    // at its first write: no board was lost then.
    if (!portOpen()) return false;
    char detail[80];
    std::snprintf(detail, sizeof detail, "writing \"%s\" to COM%d failed (error %lu)", link.ioText, link.comPort,
                  static_cast<unsigned long>(error));
    noteDeviceFault(FaultyDevice::arduino, detail);
    return false;
  }
  return true;
}

std::string readReplyLine() {
  if (link.offline || !portOpen()) return {};
  char buffer[200] = {};
  link.bytesRead = 0;
  link.lastCallOk = ReadFile(link.portHandle, buffer, static_cast<DWORD>(replyChunkBytes),
                             &link.bytesRead, nullptr);
  const std::size_t count =
      link.lastCallOk ? std::min<std::size_t>(link.bytesRead, replyChunkBytes) : 0;
  return link.replies.take(std::string_view(buffer, count), count == replyChunkBytes);
}

double queryMotorPosition(int axis) {
  if (!isMotorAxis(axis)) return 0.0;
  if (link.offline) return link.positionUm[axis];
  sendMotorCommand(MotorCommand::query, axis);
  if (!portOpen()) return 0.0;
  copyText(link.ioText, readReplyLine());
  int reported = 0;
  if (parseReplySteps(link.ioText, reported)) link.positionUm[axis] = um(axis, reported);
  return link.positionUm[axis];
}

void setMotorSpeed(int axis, int umPerSecond) {
  if (!isMotorAxis(axis)) return;
  const int speed = clampMotorSetting(umPerSecond);
  link.speedUm[axis] = speed;
  sendMotorCommand(MotorCommand::speed, axis, steps(axis, speed));
}

void setMotorAcceleration(int axis, int value) {
  if (!isMotorAxis(axis)) return;
  sendMotorCommand(MotorCommand::acceleration, axis, steps(axis, clampMotorSetting(value)));
}

void zeroMotor(int axis) {
  if (!isMotorAxis(axis)) return;
  link.positionUm[axis] = 0.0;
  sendMotorCommand(MotorCommand::zero, axis);
  link.lowerLimitUm[axis] = -10000;
  link.upperLimitUm[axis] = 10000;
}

bool startMotorMove(int axis, double targetUm) {
  if (!isMotorAxis(axis) || outputsLatchedOff()) return false;
  if (link.offline && std::isfinite(targetUm)) {
    link.positionUm[axis] = targetUm;
    return true;
  }
  // Written so that NaN counts as out of range too.
  if (!(targetUm >= link.lowerLimitUm[axis] && targetUm <= link.upperLimitUm[axis])) {
    showInfo("Error: Out of Motor range");
    pumpMessages(100);
    return false;
  }
  sendMotorCommand(MotorCommand::moveTo, axis, steps(axis, targetUm));
  return true;
}

int waitMotorArrival(int axis, double targetSteps, int timeMs) {
  if (!isMotorAxis(axis)) return 0;
  if (link.offline) return 1;
  if (!portOpen()) return 0;

  const std::uint64_t start = GetTickCount64();
  // 64-bit: eight times a long move's time does not fit an int.
  const std::uint64_t limitMs = 8ull * static_cast<std::uint64_t>(std::max(timeMs, 0));
  const double targetUm = um(axis, std::trunc(targetSteps));
  enum class End { arrived, letter, timedOut } end = End::timedOut;
  MoveReply reply;
  char text[64];

  for (;;) {
    // A failed write has taken the link offline: from now on moves are
    // simulated, so this one counts as done.
    if (link.offline) {
      end = End::arrived;
      break;
    }
    copyText(link.ioText, readReplyLine());
    if (link.ioText[0] == '\0') {
      queryMotorPosition(axis);  // its reply now stands in ioText
      if (std::fabs(link.positionUm[axis] - targetUm) < 0.1) {
        end = End::arrived;
        break;
      }
    }
    reply = classifyMoveReply(link.ioText, axis);
    if (reply.kind == MoveReply::arrived) {
      end = End::letter;
      break;
    }
    if (reply.kind == MoveReply::position) {
      std::snprintf(text, sizeof text, "moving: %d/%d",
                    static_cast<int>(GetTickCount64() - start), timeMs);
      showProgress(text);
      link.positionUm[axis] = um(axis, reply.steps);
      if (std::fabs(reply.steps - targetSteps) < 2.0) {
        end = End::arrived;
        break;
      }
    }
    refreshPositionFields();
    pumpMessages(10);
    if (GetTickCount64() - start >= limitMs) {
      end = End::timedOut;
      break;
    }
  }

  if (end == End::letter && reply.limit) {
    if (reply.limit == 'L') link.upperLimitUm[axis] = link.positionUm[axis];
    if (reply.limit == 'R') link.lowerLimitUm[axis] = link.positionUm[axis];
    const std::string limited = "Limited: " + shownReply(link.ioText);
    showProgress(limited.c_str());
  }
  if (end == End::timedOut) {
    std::snprintf(text, sizeof text, "time passed: %d", timeMs);
    showProgress(text);
    Sleep(10);
    queryMotorPosition(axis);
    if (link.offline || std::fabs(link.positionUm[axis] - targetUm) >= 1.0) queryMotorPosition(axis);
  }
  refreshPositionFields();
  pumpMessages(10);
  return 1;
}

bool moveMotorTo(int axis, double targetUm) {
  if (!isMotorAxis(axis)) return false;
  const double distance = std::fabs(targetUm - link.positionUm[axis]);
  if (distance < 0.1) return true;
  if (!startMotorMove(axis, targetUm)) return false;
  const double timeMs = 100 + distance * 1000 / std::max(link.speedUm[axis], 1);
  link.moving[axis] = 1;
  link.inTransaction = 1;
  const int arrived = waitMotorArrival(axis, steps(axis, targetUm),
                                       static_cast<int>(std::min(timeMs, static_cast<double>(INT_MAX))));
  if (arrived) link.positionUm[axis] = targetUm;
  link.moving[axis] = 0;
  link.inTransaction = 0;
  sendHeldLightCommands();
  return arrived != 0;
}

void moveMotorBy(int axis, double distanceUm) {
  if (!isMotorAxis(axis)) return;
  moveMotorTo(axis, link.positionUm[axis] + distanceUm);
}

void darkenLightsNow() {
  if (link.offline || !portOpen()) return;
  // The laser first: it is the one that can do harm.
  for (const int pin : {lightSources.laserPin, lightSources.illuminationPin}) {
    char line[analogOutputLineMax];
    const int length = writeAnalogOutputLine(line, pin, 0);
    DWORD written = 0;
    WriteFile(link.portHandle, line, static_cast<DWORD>(length), &written, nullptr);
  }
}

void setAnalogOutput(int pin, int level) { sendLightCommand(analogOutputCommand(pin, level), level != 0); }

void setDigitalOutput(int pin, int value) { sendLightCommand(digitalOutputCommand(pin, value), value != 0); }

void showLightsDarkened() {
  LightSources& light = lightSources;
  light.laserPrevious = light.laserOn;
  light.laserOn = 0;
  light.laserLevelShown = 0.0;
  light.illuminationPrevious = light.illuminationState;
  light.illuminationState = 0;
  light.illuminationLevelPrevious = light.illuminationLevelState;
  light.illuminationLevelState = 0;
  tickRadio(laserOnButton, laserOffButton, laserOffButton);
  tickRadio(illuminationOnButton, illuminationOffButton, illuminationOffButton);
  showLaserLevel(0.0);
}

namespace {

// The switch shared by the lamp's on/off output and its brightness level:
// mode 0 and 1 remember the present state as the previous one; mode 2 goes
// back to the previous state and leaves both remembered states alone.
template <typename Apply>
int switchLamp(int mode, int& state, int& previous, Apply apply) {
  const int before = state;
  if (mode == 1 && outputsLatchedOff()) return before;
  int target;
  if (mode == 0 || mode == 1) {
    previous = state;
    state = mode;
    target = mode;
  } else if (mode == 2 && !(previous && outputsLatchedOff())) {
    target = previous;
  } else {
    return before;
  }
  tickRadio(illuminationOnButton, illuminationOffButton, target ? illuminationOnButton : illuminationOffButton);
  apply(target);
  focusMainWindow();
  return before;
}

}  // namespace

int setIllumination(int mode) {
  LightSources& light = lightSources;
  return switchLamp(mode, light.illuminationState, light.illuminationPrevious,
                    [&](int on) { setDigitalOutput(light.illuminationPin, on ? 5 : 0); });
}

int setIlluminationLevel(int mode) {
  LightSources& light = lightSources;
  return switchLamp(mode, light.illuminationLevelState, light.illuminationLevelPrevious, [&](int on) {
    setAnalogOutput(light.illuminationPin, lightLevel(on ? 3.0 : 0.0));
  });
}

int setLaser(int mode) {
  LightSources& light = lightSources;
  if (mode == 2) mode = light.laserPrevious;
  if ((mode != 0 && mode != 1) || (mode == 1 && outputsLatchedOff())) return light.laserOn;
  light.laserPrevious = light.laserOn;
  tickRadio(laserOnButton, laserOffButton, mode ? laserOnButton : laserOffButton);
  setLaserLevel(mode ? light.laserLevel : 0.0);
  light.laserOn = mode;
  focusMainWindow();
  return light.laserPrevious;
}

void setLaserLevel(double volts) {
  LightSources& light = lightSources;
  if (light.laserLevelSent && volts == light.laserLevelShown) return;
  light.laserLevelShown = volts;
  setAnalogOutput(light.laserPin, lightLevel(volts));
  light.laserLevelSent = true;
  showLaserLevel(volts);
}

void takeTypedLaserLevel(double volts) {
  lightSources.laserLevel = volts;
  if (lightSources.laserOn) {
    setLaserLevel(volts);
  } else {
    showLaserLevel(volts);
  }
}
