// A stand-in for the Standa controller library: the same entry points by
// name, up to three simulated controllers that travel at their set speed in
// real time, limit switches at chosen positions, and a log of the calls.
// The fake_ximc_* exports let a test configure it in words and read what was
// asked.

#include "../../fake_plumbing.h"
#include "devices/motion/ximc_types.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#define XIMC_CALL __stdcall

namespace {

constexpr int maxDevices = 3;
constexpr int firstDeviceId = 11;  // unlike 1, 2, 3, so an axis number passed as an id shows
constexpr ximc_enumeration_t enumerationHandle = 0x5EED0000;

enum Mode { modeNormal, modeStuck, modeIgnoresMoves };
// A controller that fails in the middle of a run ("fault" in fake_ximc_control.h).
enum Fault { faultNone = 0, faultErrors = 1, faultFrozen = 2 };
constexpr ximc_result_t resultError = -1;

struct Device {
  std::string name;
  bool nullName = false, open = false, moving = false;
  long long position = 0, moveFrom = 0, moveTo = 0;  // 1/256 steps
  double moveStartMs = 0.0, microPerMs = 0.0;
  ximc_engine_settings_t engine = {};
  int mode = modeNormal;
  bool leftOn = false, rightOn = false;  // limit switches, at these 1/256 steps
  long long leftAt = 0, rightAt = 0;
  int fault = faultNone;       // begins at the chosen command_move
  fakes::ChosenCall faultAt;
  bool failing = false;        // every call fails with result_error
};

// An access violation inside a chosen call (fake_crash.h): every entry
// point takes this guard first.
fakes::CrashPoint crash("FAKE_XIMC_CRASH");
using Guard = fakes::CrashGuard<crash>;

Device devices[maxDevices];
int deviceCount = 0, openEnumerations = 0;
bool failEnumeration = false;
// A whole program started by an end-to-end test appends its calls to the
// file FAKE_XIMC_CALL_LOG names.
fakes::CallLog calls("FAKE_XIMC_CALL_LOG");

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// An end-to-end test can hold the program inside close_device, that is in
// the middle of its shutdown, until it sets the named event
// FAKE_XIMC_CLOSE_GATE names (at most 30 s).
void waitAtCloseGate() {
  const std::string name = fakes::setting("FAKE_XIMC_CLOSE_GATE");
  if (HANDLE gate = name.empty() ? nullptr : OpenEventA(SYNCHRONIZE, FALSE, name.c_str())) {
    WaitForSingleObject(gate, 30000);
    CloseHandle(gate);
  }
}

// The open device of this id; one that has failed with errors only when asked.
Device* deviceOf(ximc_device_t id, bool evenFailing = false) {
  const int index = id - firstDeviceId;
  if (index < 0 || index >= deviceCount || !devices[index].open) return nullptr;
  return evenFailing || !devices[index].failing ? &devices[index] : nullptr;
}

void resetDevice(Device& d, int index) {
  d = Device();
  d.name = "xi-com:\\\\.\\COM" + std::to_string(21 + index);
  d.engine.NomSpeed = 1000;
  d.engine.EngineFlags = 0x01 | ximcEngineAccelOn | 0x40;
}

// Brings the position up to the present moment. A limit switch stops the
// motor on its way into it.
void advance(Device& d) {
  if (!d.moving || d.mode == modeStuck) return;
  long long end = d.moveTo;
  if (d.rightOn && end > d.moveFrom) end = std::min(end, std::max(d.moveFrom, d.rightAt));
  if (d.leftOn && end < d.moveFrom) end = std::max(end, std::min(d.moveFrom, d.leftAt));
  const long long length = std::llabs(end - d.moveFrom);
  const double travelled = (nowMs() - d.moveStartMs) * d.microPerMs;
  const long long done = travelled >= static_cast<double>(length) ? length : static_cast<long long>(travelled);
  d.position = d.moveFrom + (end < d.moveFrom ? -done : done);
  if (done == length) d.moving = false;
}

}  // namespace

// ---- the library's entry points ----

FAKE_EXPORT void XIMC_CALL ximc_version(char* version) {
  Guard guard;
  calls.add("ximc_version");
  std::strcpy(version, "2.13.6-fake");
}

FAKE_EXPORT ximc_result_t XIMC_CALL set_bindy_key(const char* keyFile) {
  Guard guard;
  calls.add("set_bindy_key %s", keyFile ? keyFile : "(null)");
  return ximcResultOk;
}

// The whole program, started by an end-to-end test, cannot reach the test
// controls; it finds its controllers in the environment instead
// (FAKE_XIMC_DEVICES=n), once, unless a test has already set them up.
bool configured = false;

void startOver(int count) {
  configured = true;
  deviceCount = std::clamp(count, 0, maxDevices);
  for (int i = 0; i < maxDevices; ++i) resetDevice(devices[i], i);
  openEnumerations = 0, failEnumeration = false;
}

void configureFromEnvironment() {
  const std::string value = fakes::setting("FAKE_XIMC_DEVICES");
  if (!configured && !value.empty()) startOver(std::atoi(value.c_str()));
  configured = true;
}

FAKE_EXPORT ximc_enumeration_t XIMC_CALL enumerate_devices(int flags, const char* hints) {
  Guard guard;
  configureFromEnvironment();
  calls.add("enumerate_devices %d %s", flags, hints ? hints : "(null)");
  return failEnumeration ? 0 : (++openEnumerations, enumerationHandle);
}

FAKE_EXPORT int XIMC_CALL get_device_count(ximc_enumeration_t enumeration) {
  Guard guard;
  calls.add("get_device_count");
  return enumeration == enumerationHandle ? deviceCount : -1;
}

FAKE_EXPORT char* XIMC_CALL get_device_name(ximc_enumeration_t enumeration, int index) {
  Guard guard;
  calls.add("get_device_name %d", index);
  const bool none = enumeration != enumerationHandle || index < 0 || index >= deviceCount || devices[index].nullName;
  return none ? nullptr : &devices[index].name[0];
}

FAKE_EXPORT ximc_result_t XIMC_CALL free_enumerate_devices(ximc_enumeration_t enumeration) {
  Guard guard;
  calls.add("free_enumerate_devices");
  if (enumeration != enumerationHandle || openEnumerations <= 0) return -1;
  return --openEnumerations, ximcResultOk;
}

FAKE_EXPORT ximc_device_t XIMC_CALL open_device(const char* name) {
  Guard guard;
  calls.add("open_device %s", name ? name : "(null)");
  for (int i = 0; name && i < deviceCount; ++i) {
    Device& d = devices[i];
    if (!d.nullName && d.name == name && !d.open) return d.open = true, firstDeviceId + i;
  }
  return ximcDeviceUndefined;
}

FAKE_EXPORT ximc_result_t XIMC_CALL close_device(ximc_device_t* id) {
  Guard guard;
  if (!id) return -1;
  calls.add("close_device %d", *id);
  waitAtCloseGate();
  Device* d = deviceOf(*id, true);
  if (!d) return -1;
  advance(*d), d->open = d->moving = false;
  return *id = ximcDeviceUndefined, ximcResultOk;
}

FAKE_EXPORT ximc_result_t XIMC_CALL get_engine_settings(ximc_device_t id, ximc_engine_settings_t* s) {
  Guard guard;
  calls.add("get_engine_settings %d", id);
  Device* d = deviceOf(id);
  if (!d || !s) return -1;
  return *s = d->engine, ximcResultOk;
}

FAKE_EXPORT ximc_result_t XIMC_CALL set_engine_settings(ximc_device_t id, const ximc_engine_settings_t* s) {
  Guard guard;
  if (!s) return -1;
  calls.add("set_engine_settings %d %u %u 0x%x", id, s->NomSpeed, s->uNomSpeed, s->EngineFlags);
  Device* d = deviceOf(id);
  if (!d) return -1;
  return d->engine = *s, ximcResultOk;
}

FAKE_EXPORT ximc_result_t XIMC_CALL get_status(ximc_device_t id, ximc_status_t* status) {
  Guard guard;
  Device* d = deviceOf(id);
  if (!d || !status) return -1;
  advance(*d);
  *status = ximc_status_t{};
  const long long whole = static_cast<long long>(std::floor(d->position / 256.0));
  status->CurPosition = static_cast<int>(whole), status->uCurPosition = static_cast<int>(d->position - whole * 256);
  status->MvCmdSts = d->moving ? ximcMvcmdRunning | 0x1 : 0x1;
  status->GPIOFlags = (d->rightOn && d->position >= d->rightAt ? ximcStateRightEdge : 0) |
                      (d->leftOn && d->position <= d->leftAt ? ximcStateLeftEdge : 0);
  return ximcResultOk;
}

FAKE_EXPORT ximc_result_t XIMC_CALL command_move(ximc_device_t id, int position, int uPosition) {
  Guard guard;
  calls.add("command_move %d %d %d", id, position, uPosition);
  Device* d = deviceOf(id, true);
  if (d && d->faultAt.failingFrom("command_move") && d->fault != faultNone) {
    advance(*d);
    if (d->fault == faultErrors) d->failing = true;
    if (d->fault == faultFrozen) d->mode = modeStuck;
    d->fault = faultNone;
  }
  if (!d || d->failing) return resultError;
  if (uPosition < 0 || uPosition > 255) return -3;  // result_value_error, as the controller does
  advance(*d);
  if (d->mode == modeIgnoresMoves) return ximcResultOk;
  d->moveFrom = d->position, d->moveTo = static_cast<long long>(position) * 256 + uPosition;
  d->moveStartMs = nowMs(), d->microPerMs = (d->engine.NomSpeed * 256.0 + d->engine.uNomSpeed) / 1000.0;
  d->moving = d->moveTo != d->moveFrom;
  return ximcResultOk;
}

#ifndef FAKE_XIMC_WITHOUT_STOP
FAKE_EXPORT ximc_result_t XIMC_CALL command_stop(ximc_device_t id) {
  Guard guard;
  calls.add("command_stop %d", id);
  Device* d = deviceOf(id);
  if (!d) return -1;
  return advance(*d), d->moving = false, ximcResultOk;
}
#endif

// ---- test controls ----

// One setting in words (the list is in fake_ximc_control.h).
FAKE_EXPORT void fake_ximc_control(const char* text) {
  Guard guard;
  std::string name, left, right;
  std::istringstream words = fakes::settingWords(text, name);
  int index = -1, n = 0;
  long long steps = 0, micro = 0;
  if (name == "reset" && words >> n) startOver(n), calls.clear();
  if (name == "enumeration-fails") failEnumeration = true;
  if (!(words >> index) || index < 0 || index >= maxDevices) return;
  Device& d = devices[index];
  if (name == "name") d.name = fakes::rest(words);
  if (name == "no-name") d.nullName = true;
  if (name == "position" && words >> steps >> micro) d.position = steps * 256 + micro;
  if (name == "stuck") d.mode = modeStuck;
  if (name == "ignores-moves") d.mode = modeIgnoresMoves;
  if (name == "limits" && words >> left >> right) {
    d.leftOn = left != "-", d.leftAt = std::atoll(left.c_str()) * 256;
    d.rightOn = right != "-", d.rightAt = std::atoll(right.c_str()) * 256;
  }
  if (name == "fault" && words >> d.fault >> n) d.faultAt.choose("command_move", n);
}

// The calls so far, one a line (get_status is not logged).
FAKE_LOG_CONTROLS(fake_ximc_, calls)

FAKE_EXPORT int fake_ximc_device_id(int index) { return firstDeviceId + index; }

// The controller at this index, brought up to the present moment.
static const Device& now(int index) {
  static const Device none;
  if (index < 0 || index >= maxDevices) return none;
  return advance(devices[index]), devices[index];
}

FAKE_EXPORT int fake_ximc_is_moving(int index) { Guard guard; return now(index).moving ? 1 : 0; }

// Position in 1/256 steps.
FAKE_EXPORT long long fake_ximc_position(int index) { Guard guard; return now(index).position; }

FAKE_EXPORT int fake_ximc_open_enumerations() { Guard guard; return openEnumerations; }
