#pragma once
// The test side of the fake controller library: its fake_ximc_* controls,
// reached in the libximc.dll that lies beside the test program.

#include "../../fake_plumbing.h"

// The settings, in words (fakeXimc().control("limits", 0, "-", 40)):
//   reset <count>       closes everything and starts over with count
//                       controllers (0..3) at 0 steps
//   enumeration-fails   enumerate_devices fails
// and for the controller at an enumeration index:
//   name <index> <text> / no-name <index>   what get_device_name answers
//                       (null for none)
//   position <index> <steps> <micro>        where it stands
//   stuck <index>       a move runs but the position never changes
//   ignores-moves <index>   it takes move commands and does nothing
//   limits <index> <left> <right>   limit switches at these whole steps
//                       ("-": none)
//   fault <index> <kind> <n>   it fails in the middle of a run, from its nth
//        next command_move on: kind 1 errors, as a controller whose cable was
//        pulled (that call and every later one but close_device returns
//        result_error); 2 frozen (the position no longer changes while the
//        controller reports the move running). A reset repairs it.
struct FakeXimc {
  void (*controlWords)(const char* words);
  template <typename... Values>
  void control(const Values&... values) const { controlWords(fakes::words(values...).c_str()); }
  void reset(int count) const { control("reset", count); }
  int (*log)(char* buffer, int size);
  void (*clearLog)();
  int (*deviceId)(int index);
  int (*isMoving)(int index);
  long long (*position)(int index);  // 1/256 steps
  int (*openEnumerations)();
  // A watcher told of every logged call (in the calling thread, under the
  // fake's lock).
  void (*watch)(void (*watcher)(const char* call));

  bool complete() const { return fakes::allBound(*this); }
  std::string calls() const { return fakes::readLog(log); }
};

// The controls of the fake, or a FakeXimc with null entries when the library
// beside the program is not the fake.
inline const FakeXimc& fakeXimc() {
  static const FakeXimc fake = fakes::bindControls<FakeXimc>(
      fakes::library("libximc.dll"), "fake_ximc_",
      {"control", "log", "clear_log", "device_id", "is_moving", "position", "open_enumerations", "watch"});
  return fake;
}
