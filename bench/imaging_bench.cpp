// The two ways a frame is filled on every live-video tick, against a memcpy
// of the same 5,065,984 bytes interleaved in the same run. Targets:
// Bayer conversion cost_vs_memcpy <= 1.5, test pattern cost_vs_memcpy <= 2.
#include "devices/camera/camera_frame.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

// 64-byte aligned, as the camera allocates its buffers.
struct AlignedFree {
  void operator()(std::uint8_t* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<std::uint8_t[], AlignedFree>;

Buffer alignedBuffer(std::size_t size, std::uint32_t seed) {
  Buffer buffer(static_cast<std::uint8_t*>(std::aligned_alloc(64, size)));
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < size; ++i) buffer[i] = static_cast<std::uint8_t>(random());
  return buffer;
}

// Times fill against a memcpy of the frame's bytes, alternating the two.
void versusMemcpy(benchmark::State& state, const std::function<void(std::uint8_t* frame)>& fill) {
  const Buffer source = alignedBuffer(frameBytes, 1);
  const Buffer frame = alignedBuffer(frameBytes, 2);
  double fillSeconds = 0, copySeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    std::memcpy(frame.get(), source.get(), frameBytes);
    benchmark::ClobberMemory();
    const auto t1 = Clock::now();
    fill(frame.get());
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    copySeconds += std::chrono::duration<double>(t1 - t0).count();
    const double fillTime = std::chrono::duration<double>(t2 - t1).count();
    fillSeconds += fillTime;
    state.SetIterationTime(fillTime);
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["memcpy_us"] = copySeconds / runs * 1e6;
  state.counters["cost_vs_memcpy"] = fillSeconds / copySeconds;
}

void BM_BayerConversionVsMemcpy(benchmark::State& state) {
  const Buffer raw = alignedBuffer(rawFrameBytes, 3);
  versusMemcpy(state, [&](std::uint8_t* frame) {
    // As the camera converts into its own buffer, whose spare bytes are zero.
    convertBayerToFrame(raw.get(), rawFrameWidth, rawFrameHeight, 0, frame, PixelPath::best, SpareBytes::allZero);
  });
}
BENCHMARK(BM_BayerConversionVsMemcpy)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_TestPatternVsMemcpy(benchmark::State& state) {
  int phase = 0;
  versusMemcpy(state, [&](std::uint8_t* frame) { drawTestPattern(frame, rawFrameWidth, rawFrameHeight, phase++); });
}
BENCHMARK(BM_TestPatternVsMemcpy)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
