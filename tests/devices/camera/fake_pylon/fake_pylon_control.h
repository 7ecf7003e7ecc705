#pragma once
// The test side of the fake camera runtime: its fake_pylon_* controls,
// reached in the PylonC_v6_3.dll that lies beside the test program.

#include "fake_controls.h"

#include <windows.h>

#include <string>

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

  bool complete() const {
    return reset && script && setColour && setWritable && setValue && fail && log && clearLog && open && grabs &&
           focusSpot && stageColours;
  }
  std::string calls() const { return fakes::readLog(log); }
};

enum FakeRegions { noRegions = 0, roiRegions = 1, aoiRegions = 2 };

inline const FakePylon& fakePylon() {
  static const FakePylon fake = [] {
    FakePylon f = {};
    HMODULE module = GetModuleHandleA("PylonC_v6_3.dll");
    if (!module) module = LoadLibraryA("PylonC_v6_3.dll");
    if (!module) return f;
    fakes::bindControl(module, "fake_pylon_reset", f.reset);
    fakes::bindControl(module, "fake_pylon_script", f.script);
    fakes::bindControl(module, "fake_pylon_set_colour", f.setColour);
    fakes::bindControl(module, "fake_pylon_set_writable", f.setWritable);
    fakes::bindControl(module, "fake_pylon_set_value", f.setValue);
    fakes::bindControl(module, "fake_pylon_fail", f.fail);
    fakes::bindControl(module, "fake_pylon_log", f.log);
    fakes::bindControl(module, "fake_pylon_clear_log", f.clearLog);
    fakes::bindControl(module, "fake_pylon_open", f.open);
    fakes::bindControl(module, "fake_pylon_grabs", f.grabs);
    fakes::bindControl(module, "fake_pylon_focus_spot", f.focusSpot);
    fakes::bindControl(module, "fake_pylon_stage_colours", f.stageColours);
    fakes::bindControl(module, "fake_pylon_stop_frames", f.stopFrames);
    fakes::bindControl(module, "fake_pylon_watch", f.watch);
    return f;
  }();
  return fake;
}
