#include "devices/motion/stage_axis.h"

#include "devices/motion/stage_math.h"
#include "devices/motion/ximc_library.h"
#include "services/device_faults.h"
#include "services/instrument_safety.h"
#include "services/message_pump.h"
#include "services/reporting.h"

#include <windows.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

StageAxis stageX;
StageAxis stageY;
StageAxis stageZ;

namespace {

// Probe the USB controllers and look for network controllers too. The
// address list is left empty: the library then searches the local network
// itself, and the program never sends probes to fixed addresses that may
// belong to some other computer wherever it happens to run.
constexpr int enumerateFlags = ximcEnumerateProbe | ximcEnumerateNetwork;
constexpr char networkHint[] = "addr=";

constexpr char outOfRangeText[] = "Warning: Scanner is out of range.";

constexpr unsigned arrivalPollMs = 50;
constexpr unsigned xyPollMs = 1;
constexpr unsigned connectSettleMs = 10;
constexpr unsigned zeroSettleMs = 100;
// Both axes of a finished X-Y move land within a microstep of their targets.
constexpr double xyArrivalToleranceUm = 1.0;

// A left click during any wait halts the focus axis: the operator's way to
// stop a focus move at once.
const bool clickStopsFocus = (setPumpClickHook([] { stopAxis(stageZ); }), true);

// The position fields show the axes' last known positions.
const bool positionsShown = (showPositionsOf(&stageX.positionUm, &stageY.positionUm, &stageZ.positionUm), true);

// What the last arrival wait ended with; kept for diagnostics only.
std::string lastArrivalText;

// The library when the axis is connected, null for a simulated axis.
const XimcLibrary* controllerOf(const StageAxis& axis) {
  return axis.deviceNumber != 0 ? ximcLibrary() : nullptr;
}

long long msSince(ULONGLONG start) { return static_cast<long long>(GetTickCount64() - start); }

const char* axisName(const StageAxis& axis) {
  if (&axis == &stageX) return "X";
  if (&axis == &stageY) return "Y";
  return "Z";
}

// A controller that refused a call or did not move as told: the runs that
// move the stage end on it, and the operator is told.
void noteStageFault(const char* format, ...) {
  char detail[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(detail, sizeof detail, format, args);
  va_end(args);
  noteDeviceFault(FaultyDevice::stage, detail);
}

// Copies an enumerated name into the axis' buffer. A missing, empty or
// oversized name leaves the axis unconnected: opening a truncated name
// would reach some other device, or none.
bool takeDeviceName(const char* name, StageAxis& axis) {
  axis.deviceName[0] = '\0';
  if (!name) return false;
  const size_t length = strnlen(name, sizeof axis.deviceName);
  if (length == 0 || length >= sizeof axis.deviceName) return false;
  std::memcpy(axis.deviceName, name, length + 1);
  return true;
}

// Reads the status twice (the first answer can still describe the moment
// before the last command) and derives limits and position from the second.
// A controller that does not answer leaves the position and the limits as
// last known (a status it did not fill in describes nothing): false.
bool readConnectedPosition(const XimcLibrary& lib, StageAxis& axis) {
  lib.get_status(axis.deviceId, &axis.status);
  ximc_status_t status = {};
  const ximc_result_t result = lib.get_status(axis.deviceId, &status);
  if (result != ximcResultOk) {
    noteStageFault("get_status on axis %s returned %d", axisName(axis), static_cast<int>(result));
    return false;
  }
  axis.status = status;
  axis.atRightLimit = (axis.status.GPIOFlags & ximcStateRightEdge) ? 1 : 0;
  axis.atLeftLimit = (axis.status.GPIOFlags & ximcStateLeftEdge) ? 1 : 0;
  const double um = stepsToUm(axis.status.CurPosition, axis.status.uCurPosition, axis.zeroSteps,
                              axis.stepsPerUnit);
  if (axis.atRightLimit || axis.atLeftLimit) showInfo(outOfRangeText);
  axis.positionUm = um;
  return true;
}

void openAxis(const XimcLibrary& lib, StageAxis& axis, int number, int speed) {
  axis.deviceId = lib.open_device(axis.deviceName);
  axis.deviceNumber = number;
  axis.atRightLimit = 0;
  axis.atLeftLimit = 0;
  lib.get_engine_settings(axis.deviceId, &axis.engineSettings);
  axis.engineSettings.NomSpeed = static_cast<unsigned>(speed);
  // Moves start and stop without acceleration ramps.
  axis.engineSettings.EngineFlags &= ~ximcEngineAccelOn;
  lib.set_engine_settings(axis.deviceId, &axis.engineSettings);
  pumpMessages(connectSettleMs);
  setAxisPosition(axis, 0.0);
}

int clampSpeed(int speed) {
  if (speed < 0) return 0;
  return speed > stageMaxSpeed ? stageMaxSpeed : speed;
}

}  // namespace

bool connectStage(int axisOrder, int speed) {
  // An axis still open from an earlier connection is closed first, so that
  // its handle is not lost when the axis is opened again.
  closeStageAxis(stageX);
  closeStageAxis(stageY);
  closeStageAxis(stageZ);

  const XimcLibrary* lib = bindXimcLibrary();
  if (!lib) return false;

  char version[32] = {};
  lib->ximc_version(version);
  lib->set_bindy_key("keyfile.sqlite");
  const ximc_enumeration_t devices = lib->enumerate_devices(enumerateFlags, networkHint);
  if (!devices) return false;  // the enumeration itself failed: there is nothing to free
  const int count = lib->get_device_count(devices);
  if (count <= 0) {
    lib->free_enumerate_devices(devices);
    return false;
  }

  const AxisAssignment assigned = assignAxes(axisOrder, count);
  StageAxis* axes[3] = {&stageX, &stageY, &stageZ};
  const int enumIndex[3] = {assigned.x, assigned.y, assigned.z};
  // The speed is written to the controller as it is, within the bound of
  // every speed the program sends.
  const int nominalSpeed = clampSpeed(speed);
  bool any = false;
  for (int i = 0; i < 3; ++i) {
    StageAxis& axis = *axes[i];
    if (enumIndex[i] < 0) continue;
    if (!takeDeviceName(lib->get_device_name(devices, enumIndex[i]), axis)) continue;
    openAxis(*lib, axis, i + 1, nominalSpeed);
    any = true;
  }
  lib->free_enumerate_devices(devices);
  if (any) noteDeviceConnected(FaultyDevice::stage);
  return any;
}

void closeStageAxis(StageAxis& axis) {
  const XimcLibrary* lib = controllerOf(axis);
  if (!lib) return;
  lib->close_device(&axis.deviceId);
  axis.deviceNumber = 0;
  axis.deviceId = 0;
}

double readAxisPosition(StageAxis& axis) {
  const XimcLibrary* lib = controllerOf(axis);
  if (lib) readConnectedPosition(*lib, axis);
  return axis.positionUm;
}

namespace {

// The position and whether the motor runs; false when the controller did not
// answer (a move cannot be waited for then).
bool pollAxis(StageAxis& axis, double& um, int& running) {
  const XimcLibrary* lib = controllerOf(axis);
  um = axis.positionUm;
  if (!lib) return true;
  if (!readConnectedPosition(*lib, axis)) return false;
  um = axis.positionUm;
  running = (axis.status.MvCmdSts & ximcMvcmdRunning) ? 1 : 0;
  return true;
}

}  // namespace

double readAxisPositionAndMotion(StageAxis& axis, int& running) {
  double um = 0.0;
  if (!pollAxis(axis, um, running)) running = 0;
  return um;
}

void setAxisPosition(StageAxis& axis, double um) {
  const XimcLibrary* lib = controllerOf(axis);
  if (!lib) return;
  lib->get_status(axis.deviceId, &axis.status);
  pumpMessages(zeroSettleMs);
  if (lib->get_status(axis.deviceId, &axis.status) != ximcResultOk) return;
  axis.zeroSteps = zeroStepsFor(axis.status.CurPosition, um, axis.stepsPerUnit);
  axis.positionUm = um;
}

void setAxisSpeed(StageAxis& axis, int speed) {
  const XimcLibrary* lib = controllerOf(axis);
  if (!lib) return;
  const unsigned v = static_cast<unsigned>(clampSpeed(speed));
  if (v == axis.engineSettings.NomSpeed) return;
  axis.engineSettings.NomSpeed = v;
  lib->set_engine_settings(axis.deviceId, &axis.engineSettings);
}

void setAxisSpeedExact(StageAxis& axis, int stepsPerSecond, int microstepsPerSecond) {
  const XimcLibrary* lib = controllerOf(axis);
  if (!lib) return;
  int micro = microstepsPerSecond;
  if (micro < 0) micro = 0;
  if (micro >= stageMicrostepsPerStep) micro = stageMicrostepsPerStep - 1;
  axis.engineSettings.NomSpeed = static_cast<unsigned>(clampSpeed(stepsPerSecond));
  axis.engineSettings.uNomSpeed = static_cast<unsigned>(micro);
  lib->set_engine_settings(axis.deviceId, &axis.engineSettings);
}

bool startAxisMove(StageAxis& axis, double targetUm) {
  // Once the program is ending nothing moves again.
  if (outputsLatchedOff()) return false;
  const XimcLibrary* lib = controllerOf(axis);
  if (!lib) {
    axis.positionUm = targetUm;
    return false;
  }
  if (axis.positionUm == targetUm) return true;
  // Never further into a limit switch that is already active.
  if (axis.atRightLimit && targetUm > axis.positionUm) return false;
  if (axis.atLeftLimit && axis.positionUm > targetUm) return false;
  int whole = 0;
  int micro = 0;
  if (!moveTargetFor(targetUm, axis.zeroSteps, axis.stepsPerUnit, whole, micro)) return false;
  const ximc_result_t result = lib->command_move(axis.deviceId, whole, micro);
  if (result != ximcResultOk) {
    noteStageFault("command_move on axis %s returned %d", axisName(axis), static_cast<int>(result));
    return false;
  }
  return true;
}

int waitAxisArrival(StageAxis& axis, double targetUm, int timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  float prev = 1000000.0f;
  int polls = 0;
  int outcome = arrivalNotMoving;
  bool clicked = false;
  bool answered = true;
  while (msSince(start) < timeoutMs) {
    int running = 0;
    double um = 0.0;
    answered = pollAxis(axis, um, running);
    if (!answered) break;
    const float last = static_cast<float>(um);
    refreshPositionFields();
    const int decided =
        arrivalCheck(last, prev, targetUm, axis.atLeftLimit, axis.atRightLimit, polls);
    if (decided != arrivalGoOn) {
      outcome = decided;
      break;
    }
    // The operator's click, or the make-safe round (which stopped the
    // axes), ends the wait short of the target as it should.
    if (pumpMessages(arrivalPollMs) == pumpClicked || outputsLatchedOff()) {
      showInfo("stop requested");
      clicked = true;
      break;
    }
    ++polls;
    prev = last;
    if (!running) {
      outcome = arrivalMotorStopped;
      break;
    }
  }
  if (outcome == arrivalArrived) axis.positionUm = targetUm;
  lastArrivalText = arrivalOutcomeText(outcome, polls, timeoutMs);
  // A limit switch and the operator's click end a move short as they should;
  // anything else short of the target is the controller's failure.
  const bool failed = outcome == arrivalMotorStopped || (outcome == arrivalNotMoving && !clicked);
  if (failed && answered && controllerOf(axis)) {
    noteStageFault("axis %s stopped at %.1f um short of %.1f um (%s)", axisName(axis), axis.positionUm, targetUm,
                   lastArrivalText.c_str());
  }
  if (axis.atRightLimit || axis.atLeftLimit) showInfo(outOfRangeText);
  refreshPositionFields();
  return outcome;
}

int moveAxisTo(StageAxis& axis, double targetUm, int speed) {
  if (!controllerOf(axis)) {
    axis.positionUm = targetUm;
    return 1;
  }
  // A speed of 0 or less would make the time estimate divide by zero and
  // leave the motor standing: it means the default speed.
  speed = effectiveMoveSpeed(speed);
  const int timeoutMs = singleMoveTimeoutMs(targetUm - axis.positionUm, axis.stepsPerUnit, speed);
  if (axis.positionUm == targetUm) return 1;
  setAxisSpeed(axis, speed);
  if (!startAxisMove(axis, targetUm)) return 0;
  return waitAxisArrival(axis, targetUm, timeoutMs);
}

void moveAxisBy(StageAxis& axis, double distanceUm) {
  if (controllerOf(axis)) {
    moveAxisTo(axis, axis.positionUm + distanceUm, defaultStageSpeed);
  } else {
    axis.positionUm += distanceUm;
  }
}

void moveZBy(double distanceUm) { moveAxisBy(stageZ, distanceUm); }

void moveZTo(double targetUm) { moveAxisTo(stageZ, targetUm); }

bool moveAxesTo(StageAxis& a, StageAxis& b, double targetA, double targetB, int speed) {
  // Nothing would start: no arrival to wait for.
  if (outputsLatchedOff()) return false;
  const bool aConnected = controllerOf(a) != nullptr;
  const bool bConnected = controllerOf(b) != nullptr;
  if (!aConnected || !bConnected) {
    // With only one of the two controllers present, that one still has to
    // go to its target: recording the target without moving would leave the
    // program's position and the stage's apart.
    if (aConnected) {
      moveAxisTo(a, targetA, clampXYSpeed(speed));
    } else {
      a.positionUm = targetA;
    }
    if (bConnected) {
      moveAxisTo(b, targetB, clampXYSpeed(speed));
    } else {
      b.positionUm = targetB;
    }
    return false;
  }
  if (!std::isfinite(targetA) || !std::isfinite(targetB)) return false;

  const double dA = std::fabs(targetA - a.positionUm);
  const double dB = std::fabs(targetB - b.positionUm);
  const XYMovePlan plan = planXYMove(dA, dB, speed);
  if (dA < 0.01 && dB < 0.01) return true;

  // Speeds in proportion to the distances: both axes travel for T and the
  // spot moves in a straight line.
  setAxisSpeedExact(a, plan.a.steps, plan.a.micro);
  setAxisSpeedExact(b, plan.b.steps, plan.b.micro);
  if (plan.a.steps != 0 || plan.a.micro != 0) startAxisMove(a, targetA);
  if (plan.b.steps != 0 || plan.b.micro != 0) startAxisMove(b, targetB);

  const ULONGLONG start = GetTickCount64();
  const long long limitMs = xyMoveLimitMs(plan.totalMs);
  double prevSum = -10.0;
  int runningA = 1;
  int runningB = 1;
  bool ended = false;
  do {
    double pA = 0.0, pB = 0.0;
    // A controller that does not answer: the positions stay as last known.
    if (!pollAxis(a, pA, runningA) || !pollAxis(b, pB, runningB)) return false;
    refreshPositionFields();
    const double sum = std::fabs(pA - targetA) + std::fabs(pB - targetB);
    if (!runningA && !runningB) {
      // Both motors stopped away from the targets, and no limit switch
      // explains it: the positions read are where the stage is.
      const bool atLimit = a.atLeftLimit || a.atRightLimit || b.atLeftLimit || b.atRightLimit;
      if (sum >= xyArrivalToleranceUm && !atLimit) {
        noteStageFault("X, Y stopped at (%.1f, %.1f) um short of (%.1f, %.1f) um", pA, pB, targetA, targetB);
        return false;
      }
      ended = true;  // finished
      break;
    }
    if (sum == prevSum && sum < 0.1) {
      ended = true;  // settled
      break;
    }
    prevSum = sum;
    if (pumpMessages(xyPollMs) == pumpClicked) {
      ended = true;  // stopped by a click; X and Y run on to their targets
      break;
    }
    // The make-safe round stopped both where they are: no target reached,
    // and no fault of theirs.
    if (outputsLatchedOff()) {
      readAxisPosition(a);
      readAxisPosition(b);
      return false;
    }
  } while (msSince(start) < limitMs);

  if (ended) {
    a.positionUm = targetA;
    b.positionUm = targetB;
    return true;
  }
  readAxisPosition(a);
  readAxisPosition(b);
  refreshPositionFields();
  noteStageFault("X, Y did not reach (%.1f, %.1f) um within %lld ms", targetA, targetB, limitMs);
  const double graceMs = std::trunc(2.0 * plan.totalMs);
  pumpMessages(graceMs < 4.0e9 ? static_cast<unsigned>(graceMs) : 4000000000u);
  return false;
}

void moveXYBy(double dx, double dy) {
  moveAxesTo(stageX, stageY, stageX.positionUm + dx, stageY.positionUm + dy, defaultStageSpeed);
}

void moveAxesBy(StageAxis& a, StageAxis& b, double da, double db, int speed) {
  moveAxesTo(a, b, a.positionUm + da, b.positionUm + db, speed);
}

void stopAxis(StageAxis& axis) {
  const XimcLibrary* lib = controllerOf(axis);
  if (!lib) return;
  lib->command_stop(axis.deviceId);
}
