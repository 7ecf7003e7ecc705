#pragma once
// The test side of the fake controller library: its fake_ximc_* controls,
// reached in the libximc.dll that lies beside the test program.

#include "fake_controls.h"

#include <windows.h>

#include <string>

struct FakeXimc {
  void (*reset)(int count);
  void (*set)(int index, const char* setting);  // see fake_ximc_set
  int (*log)(char* buffer, int size);
  void (*clearLog)();
  int (*deviceId)(int index);
  int (*isMoving)(int index);
  long long (*position)(int index);  // 1/256 steps
  int (*openEnumerations)();
  // Fault-injection controls: a controller failing mid-run, and a watcher
  // told of every logged call (in the calling thread, under the fake's lock).
  void (*fault)(int index, int fault, int moveNumber);
  void (*watch)(void (*watcher)(const char* call));

  bool complete() const { return reset && set && log && clearLog && deviceId && isMoving && position && openEnumerations; }
  std::string calls() const { return fakes::readLog(log); }
};

// The controls of the fake, or a FakeXimc with null entries when the library
// beside the program is not the fake.
inline const FakeXimc& fakeXimc() {
  static const FakeXimc fake = [] {
    FakeXimc f = {};
    HMODULE module = GetModuleHandleA("libximc.dll");
    if (!module) module = LoadLibraryA("libximc.dll");
    auto get = [module](const char* name, auto& target) { fakes::bindControl(module, name, target); };
    if (!module) return f;
    get("fake_ximc_reset", f.reset);
    get("fake_ximc_set", f.set);
    get("fake_ximc_log", f.log);
    get("fake_ximc_clear_log", f.clearLog);
    get("fake_ximc_device_id", f.deviceId);
    get("fake_ximc_is_moving", f.isMoving);
    get("fake_ximc_position", f.position);
    get("fake_ximc_open_enumerations", f.openEnumerations);
    get("fake_ximc_fault", f.fault);
    get("fake_ximc_watch", f.watch);
    return f;
  }();
  return fake;
}
