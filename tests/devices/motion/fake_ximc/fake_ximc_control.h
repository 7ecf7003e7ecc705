#pragma once
// The test side of the fake controller library: its fake_ximc_* controls,
// reached in the libximc.dll that lies beside the test program.

#include "fake_controls.h"

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

  bool complete() const { return fakes::allBound(*this); }
  std::string calls() const { return fakes::readLog(log); }
};

// The controls of the fake, or a FakeXimc with null entries when the library
// beside the program is not the fake.
inline const FakeXimc& fakeXimc() {
  static const FakeXimc fake = fakes::bindControls<FakeXimc>(
      fakes::library("libximc.dll"), "fake_ximc_",
      {"reset", "set", "log", "clear_log", "device_id", "is_moving", "position", "open_enumerations", "fault",
       "watch"});
  return fake;
}
