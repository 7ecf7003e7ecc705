#include "runs/spectroscopy/time_evolution.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A fake meter and clock: each reading takes readMs, each pump pumpMs of
// fake time. stopAfterPumps makes the n-th pump report a confirmed stop.
struct FakeBench {
  std::uint64_t nowMs = 0, phaseStartMs = 0;
  unsigned readMs = 1, pumpMs = 10;
  bool clockStuck = false;
  int pumps = 0, stopAfterPumps = -1, redraws = 0;
  std::vector<int> laser;            // every setLaser call
  std::vector<int> samplesAtSwitch;  // pointIndex at each switch

  TimeEvolutionDevices devices(SpectroscopyRecord& record) {
    return {
        [this] { nowMs += readMs; return 1.0f; },
        [this, &record](int mode) { laser.push_back(mode); samplesAtSwitch.push_back(record.pointIndex); return 0; },
        [this](bool reset) -> std::uint64_t {
          if (reset) phaseStartMs = nowMs;
          return clockStuck ? 0 : nowMs - phaseStartMs;
        },
        [this](unsigned ms) { nowMs += ms; return ++pumps == stopAfterPumps ? 0 : 1; },
        [this](const SpectroscopyRecord& r) { EXPECT_EQ(r.pointIndex % 10, 0); ++redraws; },
    };
  }
};

SpectroscopyRecord record(float on, float off, int repeat) {
  SpectroscopyRecord r;
  r.onTime = on;
  r.offTime = off;
  r.repeatCount = repeat;
  return r;
}

TEST(TimeEvolution, EditsAreClampedToWholeSecondsAndTwoHundredCycles) {
  SpectroscopyRecord r;
  EXPECT_EQ(readPhaseTimeEdit("2.5", r.onTime), "2.000000");
  EXPECT_EQ(r.onTime, 2.0f);
  EXPECT_EQ(readPhaseTimeEdit("-4", r.offTime), "0.000000");
  EXPECT_EQ(readPhaseTimeEdit("", r.offTime), "");
  EXPECT_EQ(readRepeatEdit("500", r.repeatCount), "200");
}

TEST(TimeEvolution, EveryPhaseLastsItsSetTimeWithAFastMeter) {
  // 11 ms per sample is about 90 readings a second, far above the 20 the
  // store and phase sizes assume.
  SpectroscopyRecord r = record(1.0f, 1.0f, 2);
  FakeBench bench;
  ASSERT_EQ(runTimeEvolutionCycles(r, bench.devices(r)), TimeEvolutionEnd::completed);
  EXPECT_EQ(bench.laser, (std::vector<int>{1, 0, 1, 0}));
  EXPECT_EQ(r.pointIndex, 4 * 92);  // sample n of a phase is stamped 1 + 11 (n - 1) ms: the 92nd reaches 1000
  EXPECT_GT(r.pointIndex, timeEvoCapacity(r));
  bench.samplesAtSwitch.push_back(r.pointIndex);
  for (size_t phase = 0; phase < 4; ++phase) {
    const int last = bench.samplesAtSwitch[phase + 1] - 1;
    EXPECT_GE(r.times[static_cast<size_t>(last)], 1.0f * (phase + 1)) << phase;
  }
  EXPECT_NEAR(r.times[static_cast<size_t>(r.pointIndex - 1)], 4.0, 0.01);
  EXPECT_NEAR(r.times[0], 0.001, 1e-6);  // stamped after the reading
  EXPECT_EQ(bench.redraws, 4 * 9);
}

TEST(TimeEvolution, StopLeavesTheLaserAndDropsTheSampleInFlight) {
  SpectroscopyRecord r = record(1.0f, 1.0f, 2);
  FakeBench bench;
  bench.stopAfterPumps = 5;
  EXPECT_EQ(runTimeEvolutionCycles(r, bench.devices(r)), TimeEvolutionEnd::stopped);
  EXPECT_EQ(r.pointIndex, 4);
  EXPECT_EQ(bench.laser, std::vector<int>{1});

  SpectroscopyRecord none = record(1.0f, 1.0f, 0);
  FakeBench idle;
  EXPECT_EQ(runTimeEvolutionCycles(none, idle.devices(none)), TimeEvolutionEnd::completed);
  EXPECT_EQ(none.pointIndex, 0);
  EXPECT_TRUE(idle.laser.empty());
}

TEST(TimeEvolution, AStuckClockEndsEachPhaseAtTheGuard) {
  SpectroscopyRecord r = record(1.0f, 0.0f, 1);
  FakeBench bench;
  bench.clockStuck = true;
  EXPECT_EQ(runTimeEvolutionCycles(r, bench.devices(r)), TimeEvolutionEnd::completed);
  EXPECT_EQ(r.pointIndex, 1000 + 1);  // on: 1000 per second; off (0 s): one sample, t >= 0 at once
}

}  // namespace
