// One f-factor on a full frame against merely reading the 200 x 200 x 3
// bytes it weighs. Target: cost_vs_read <= 2.
#include "runs/mapping/focus.h"
#include "services/scan_geometry.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The baseline: every byte the f-factor weighs, read and summed once.
unsigned readWindow(const std::uint8_t* frame, int cx, int cy) {
  unsigned blue = 0, green = 0, red = 0;
  for (int y = cy - 100; y < cy + 100; ++y) {
    const std::uint8_t* p = frame + static_cast<size_t>(y) * frameStrideBytes + static_cast<size_t>(cx - 100) * 4;
    for (int x = 0; x < 200; ++x, p += 4) {
      blue += p[0];
      green += p[1];
      red += p[2];
    }
  }
  return blue + green + red;
}

void BM_FocusFactorVsRead(benchmark::State& state) {
  std::vector<std::uint8_t> frame(static_cast<size_t>(frameStrideBytes) * imageHeightPx);
  std::mt19937 random(3);
  for (auto& b : frame) b = static_cast<std::uint8_t>(random());
  AutofocusState focus;
  const int cx = imageWidthPx / 2, cy = imageHeightPx / 2;
  constexpr int callsPerRound = 16;

  double focusSeconds = 0, readSeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int i = 0; i < callsPerRound; ++i) benchmark::DoNotOptimize(readWindow(frame.data(), cx, cy));
    const auto t1 = Clock::now();
    for (int i = 0; i < callsPerRound; ++i) benchmark::DoNotOptimize(focusFactor(focus, frame.data(), cx, cy));
    const auto t2 = Clock::now();
    readSeconds += std::chrono::duration<double>(t1 - t0).count();
    const double focusTime = std::chrono::duration<double>(t2 - t1).count();
    focusSeconds += focusTime;
    state.SetIterationTime(focusTime / callsPerRound);
  }
  const double calls = static_cast<double>(state.iterations()) * callsPerRound;
  state.counters["read_ns"] = readSeconds / calls * 1e9;
  state.counters["focus_ns"] = focusSeconds / calls * 1e9;
  state.counters["cost_vs_read"] = focusSeconds / readSeconds;
}
BENCHMARK(BM_FocusFactorVsRead)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
