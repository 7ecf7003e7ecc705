#pragma once
// The test side of the fake camera runtime: its fake_pylon_* controls,
// reached in the PylonC_v6_3.dll that lies beside the test program.

#include "fake_controls.h"

struct FakePylon {
  void (*reset)(int cameras, int regionKind, int sfncMajor);
  void (*script)(const char* outcomes);  // per grab: F frame, X failed, T time-out, E refused, S wrong size
  void (*setColour)(int red, int green1, int green2, int blue);
  void (*setWritable)(const char* name, int writable);
  void (*setValue)(const char* name, long long value);
  void (*fail)(const char* entryOrFeature);
  int (*log)(char* buffer, int size);
  void (*clearLog)();
  int (*open)();  // 0 no device, 1 created, 2 created and open
  int (*grabs)();
  // Scenes that follow the fake stage beside the program (positions in
  // 1/256 steps): a spot sharpest at one Z, or a colour per X, Y position.
  void (*focusSpot)(int x, int yTop, int radiusPx, int zAxis, double peakMicrosteps, double widthMicrosteps);
  void (*stageColours)(int xAxis, int yAxis);
  // Fault-injection controls: frames stopping mid-run from a chosen grab on,
  // and a watcher told of every logged call (in the calling thread).
  void (*stopFrames)(int atGrab);
  void (*watch)(void (*watcher)(const char* call));

  bool complete() const { return fakes::allBound(*this); }
  std::string calls() const { return fakes::readLog(log); }
};

enum FakeRegions { noRegions = 0, roiRegions = 1, aoiRegions = 2 };

inline const FakePylon& fakePylon() {
  static const FakePylon fake = fakes::bindControls<FakePylon>(
      fakes::library("PylonC_v6_3.dll"), "fake_pylon_",
      {"reset", "script", "set_colour", "set_writable", "set_value", "fail", "log", "clear_log", "open", "grabs",
       "focus_spot", "stage_colours", "stop_frames", "watch"});
  return fake;
}
