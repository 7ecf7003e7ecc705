#pragma once
// The test side of the fake MindVision SDK: its fake_mv_* controls, reached
// in the MVCAMSDK_X64.dll that lies beside the test program, and the picture
// it serves.

#include "fake_controls.h"

// The processed snapshot the fake serves: 1920 x 1200 pixels of blue, green,
// red, spare in memory order, row by row. Blue tells the column, green the
// row, so a crop or a flip shows; red is chosen by the test.
constexpr int fakeSnapWidth = 1920;
constexpr int fakeSnapHeight = 1200;
inline COLORREF fakeSnapColour(int x, int row, int red) { return RGB(red, row % 241, x % 251); }

// The camera's largest picture, from which the program sizes its work buffer.
constexpr int fakeMaxWidth = 2048;
constexpr int fakeMaxHeight = 1536;

struct FakeMindVision {
  void (*reset)(int cameras);  // 0: the SDK finds no camera
  void (*setRed)(int red);
  // From the nth next call of the entry point on, `times` calls of it fail
  // (0: every one, until another is chosen); null or n < 1: none.
  void (*fail)(const char* entry, int nth, int times);
  int (*log)(char* buffer, int size);
  void (*clearLog)();
  int (*held)();     // buffers the program holds: allocated and not freed, snapshots not given back
  int (*openHandle)();  // the handle of the open camera, 0 when none is open
  int (*snaps)();    // snapshots asked for

  bool complete() const { return fakes::allBound(*this); }
  std::string calls() const { return fakes::readLog(log); }
};

inline const FakeMindVision& fakeMindVision() {
  static const FakeMindVision fake = fakes::bindControls<FakeMindVision>(
      fakes::library("MVCAMSDK_X64.dll"), "fake_mv_",
      {"reset", "set_red", "fail", "log", "clear_log", "held", "open_handle", "snaps"});
  return fake;
}
