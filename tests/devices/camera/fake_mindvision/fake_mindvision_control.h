#pragma once
// The test side of the fake MindVision SDK: its fake_mv_* controls, reached
// in the MVCAMSDK_X64.dll that lies beside the test program, and the picture
// it serves.

#include "../../fake_plumbing.h"

// The processed snapshot the fake serves: 1920 x 1200 pixels of blue, green,
// red, spare in memory order, row by row. Blue tells the column, green the
// row, so a crop or a flip shows; red is chosen by the test.
constexpr int fakeSnapWidth = 1920;
constexpr int fakeSnapHeight = 1200;
inline COLORREF fakeSnapColour(int x, int row, int red) { return RGB(red, row % 241, x % 251); }

// The camera's largest picture, from which the program sizes its work buffer.
constexpr int fakeMaxWidth = 2048;
constexpr int fakeMaxHeight = 1536;

// The settings, in words (fakeMindVision().control("red", 90)):
//   reset <cameras>     a fresh SDK with 0 or 1 cameras, red 200, no failure
//   red <red>           the snapshot's red
//   fail <entry> <n> <times>   from the nth next call of the entry point on,
//        that many calls of it fail (0: every one, until another is chosen);
//        "fail" alone: none
struct FakeMindVision {
  void (*controlWords)(const char* words);
  template <typename... Values>
  void control(const Values&... values) const { controlWords(fakes::words(values...).c_str()); }
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
      {"control", "log", "clear_log", "held", "open_handle", "snaps"});
  return fake;
}
