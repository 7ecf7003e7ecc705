#include "runs/mapping/focus.h"

#include "services/scan_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

constexpr int half = 100;           // the window reaches 100 px left/below and 99 right/above
constexpr int side = 2 * half;      // 200
constexpr float windowPixels = side * side;

// 1 / max(1, dx^2 + dy^2) for the window, row by row (dy), tabulated once:
// the f-factor is computed for every sample of a focus sweep and, with the
// Z creep correction, at every map point.
using WeightTable = std::array<float, side * side>;
const WeightTable& weights() {
  static const WeightTable table = [] {
    WeightTable t{};
    for (int dy = -half; dy < half; ++dy) {
      for (int dx = -half; dx < half; ++dx) {
        const int d2 = dx * dx + dy * dy;
        t[static_cast<size_t>((dy + half) * side + dx + half)] = 1.0f / static_cast<float>(std::max(1, d2));
      }
    }
    return t;
  }();
  return table;
}

struct ChannelSums {
  float blue = 0.0f;
  float green = 0.0f;
  float red = 0.0f;
};

// Adds count pixels, each weighted by w[j], starting at pixel and moving
// pixelStep bytes per column: 4 along a row, 0 for the columns beyond the
// left or right edge of the frame, which repeat the edge pixel.
void addPixels(ChannelSums& s, const std::uint8_t* pixel, int pixelStep, const float* w, int count) {
  for (int j = 0; j < count; ++j, pixel += pixelStep) {
    s.blue += static_cast<float>(pixel[0]) * w[j];
    s.green += static_cast<float>(pixel[1]) * w[j];
    s.red += static_cast<float>(pixel[2]) * w[j];
  }
}

// A run of pixels along a row. Four pixels at a time where the processor
// allows, each channel in its own four lanes, with two sets of sums so the
// additions do not wait on each other: the f-factor then costs little more
// than reading the window.
void addRun(ChannelSums& s, const std::uint8_t* pixel, const float* w, int count) {
  int j = 0;
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i low = _mm_set1_epi32(0xFF);
  __m128 blue[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
  __m128 green[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
  __m128 red[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
  for (; j + 8 <= count; j += 8) {
    for (int k = 0; k < 2; ++k) {
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel + 4 * (j + 4 * k)));
      const __m128 weight = _mm_loadu_ps(w + j + 4 * k);
      blue[k] = _mm_add_ps(blue[k], _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(p, low)), weight));
      green[k] = _mm_add_ps(green[k], _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(p, 8), low)), weight));
      red[k] = _mm_add_ps(red[k], _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(p, 16), low)), weight));
    }
  }
  alignas(16) float lane[4];
  const auto total = [&lane](__m128 a, __m128 b) {
    _mm_store_ps(lane, _mm_add_ps(a, b));
    return (lane[0] + lane[1]) + (lane[2] + lane[3]);
  };
  s.blue += total(blue[0], blue[1]);
  s.green += total(green[0], green[1]);
  s.red += total(red[0], red[1]);
#endif
  addPixels(s, pixel + 4 * j, 4, w + j, count - j);
}

}  // namespace

float focusFactor(AutofocusState& state, const std::uint8_t* frame, int laserSpotX, int laserSpotY) {
  state.spotBlue = state.spotGreen = state.spotRed = {laserSpotX, laserSpotY};
  state.meanBlue = state.meanGreen = state.meanRed = 0.0f;
  state.sampleCount = 0;
  if (!frame) return 0.0f;

  const long long cx = laserSpotX, cy = laserSpotY;
  // Window columns j = 0 .. 199 are x = cx - 100 + j. Those left of the frame
  // read column 0, those right of it the last column, the rest in place.
  const int inFrom = static_cast<int>(std::clamp<long long>(half - cx, 0, side));
  const int inTo = static_cast<int>(std::clamp<long long>(imageWidthPx + half - cx, inFrom, side));

  ChannelSums sums;
  const WeightTable& w = weights();
  for (int k = 0; k < side; ++k) {
    const long long y = std::clamp<long long>(cy - half + k, 0, imageHeightPx - 1);
    const std::uint8_t* row = frame + y * frameStrideBytes;
    const float* wRow = w.data() + k * side;
    addPixels(sums, row, 0, wRow, inFrom);
    if (inTo > inFrom) addRun(sums, row + (cx - half + inFrom) * 4, wRow + inFrom, inTo - inFrom);
    addPixels(sums, row + (imageWidthPx - 1) * 4, 0, wRow + inTo, side - inTo);
  }

  state.meanBlue = sums.blue / windowPixels;
  state.meanGreen = sums.green / windowPixels;
  state.meanRed = sums.red / windowPixels;
  state.sampleCount = side * side;
  return state.meanBlue + state.meanGreen + state.meanRed;
}

int focusLevel(float f) {
  if (f < 0.0001f) return 0;
  if (f < 0.001f) return 1;
  if (f < 0.05f) return 2;
  if (f < 0.1f) return 3;
  if (f < 0.2f) return 4;
  if (f < 0.3f) return 5;
  return 6;
}

float focusNoise(const float* F, int i) {
  if (i < 2) return 0.0f;
  float sum = 0.0f;
  for (int k = 1; k < i; ++k) sum += std::fabs(F[k] - F[k - 1]);
  return sum / static_cast<float>(i - 1);
}

FocusSearch focusSearch(int level) {
  static constexpr FocusSearch table[] = {
      {2000.0f, 1000, 0.0025f}, {1000.0f, 200, 0.005f}, {300.0f, 150, 0.01f}, {100.0f, 100, 0.025f},
      {50.0f, 60, 0.05f},       {25.0f, 40, 0.1f},      {13.0f, 30, 0.2f},
  };
  return table[std::clamp(level, 0, 6)];
}

FocusSweep::FocusSweep(int level, double startZ)
    : level_(level), search_(focusSearch(level)), startZ_(startZ) {
  f_.reserve(static_cast<size_t>(search_.samples));
  z_.reserve(static_cast<size_t>(search_.samples));
}

double FocusSweep::stepUm() const { return -2.0f * search_.rangeUm / static_cast<float>(search_.samples); }

bool FocusSweep::belowFloor(double z) const { return z - startZ_ < -1.5 * search_.rangeUm; }

bool FocusSweep::add(double z, float f) {
  if (count() >= search_.samples) return false;
  const int i = count();
  f_.push_back(f);
  z_.push_back(z);
  if (i == 0) {
    fMax_ = fMin_ = f;
    best_ = 0;
  }
  if (f > fMax_) {
    fMax_ = f;
    best_ = i;
  }
  if (f < fMin_) fMin_ = f;
  if (i < 2) return false;
  const float noise = focusNoise(f_.data(), i);
  return fMax_ > search_.threshold && fMax_ > fMin_ + 2 * noise && f < fMax_ - 2 * noise && i > best_ + 10;
}

double FocusSweep::returnZ() const { return best_ >= 0 ? z_[static_cast<size_t>(best_)] : startZ_; }

std::string FocusSweep::sampleText() const {
  if (f_.empty()) return {};
  char text[100];
  std::snprintf(text, sizeof text, "[%d-%d] Z=%.0f f=%.3f", level_, count() - 1, z_.back(),
                static_cast<double>(f_.back()));
  return text;
}

std::string FocusSweep::bestText() const {
  if (best_ < 0) return {};
  char text[100];
  std::snprintf(text, sizeof text, "z=%.0f, Fmax=%.3f", z_[static_cast<size_t>(best_)], static_cast<double>(fMax_));
  return text;
}

void endFocusText(AutofocusState& state) {
  char ended[sizeof state.text];
  std::snprintf(ended, sizeof ended, state.found ? "%s Focusing completed" : "%s No peak found", state.text);
  std::memcpy(state.text, ended, sizeof state.text);
}
