#pragma once
// The test side of the fake camera runtime: its fake_pylon_* controls,
// reached in the PylonC_v6_3.dll that lies beside the test program.

#include "../../fake_plumbing.h"

// The settings, in words (fakePylon().control("colour", 200, 100, 100, 50)):
//   reset <cameras> <regions> <naming>  a fresh runtime: nothing initialised or
//        open, no script, the default colour, region selectors of one kind
//        (0 none, 1 ROI, 2 AOI), the SFNC major version (0: not reported)
//   script <outcomes>   per grab: F frame, X failed, T time-out, E refused,
//                       S wrong size
//   colour <red> <green1> <green2> <blue>   uniform frames of this colour
//   focus-spot <x> <yTop> <radiusPx> <zAxis> <peak> <width>   a grey disc at
//        picture pixel (x, yTop), brightest (255) with the fake stage's Z at
//        peak, 255 exp(-((z - peak) / width)^2), positions in 1/256 steps
//   stage-colours <xAxis> <yAxis>   uniform frames whose red is 128 plus the
//        whole steps of the fake stage's controller xAxis and green 128 plus
//        those of yAxis (within 0 .. 255), blue 60: every position its picture
//   lacks <feature>     the feature is not writable
//   value <feature> <n> what the camera's automatic controls have reached
//   fail <entry or feature>   that entry point or feature write is refused
//   stop-frames <n>     from the nth next grab on, every grab waits its whole
//        time-out and ends without a frame ("grab W"); a reset repairs it
struct FakePylon {
  void (*controlWords)(const char* words);
  template <typename... Values>
  void control(const Values&... values) const { controlWords(fakes::words(values...).c_str()); }
  void reset(int cameras, int regions, int naming) const { control("reset", cameras, regions, naming); }
  void setColour(int red, int green1, int green2, int blue) const { control("colour", red, green1, green2, blue); }
  int (*log)(char* buffer, int size);
  void (*clearLog)();
  int (*open)();  // 0 no device, 1 created, 2 created and open
  int (*grabs)();
  // A watcher told of every logged call (in the calling thread).
  void (*watch)(void (*watcher)(const char* call));

  bool complete() const { return fakes::allBound(*this); }
  std::string calls() const { return fakes::readLog(log); }
};

enum FakeRegions { noRegions = 0, roiRegions = 1, aoiRegions = 2 };

inline const FakePylon& fakePylon() {
  static const FakePylon fake = fakes::bindControls<FakePylon>(
      fakes::library("PylonC_v6_3.dll"), "fake_pylon_",
      {"control", "log", "clear_log", "open", "grabs", "watch"});
  return fake;
}
