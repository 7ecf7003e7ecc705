#include "runs/mapping/focus.h"

#include "services/scan_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using Frame = std::vector<std::uint8_t>;
Frame blankFrame(std::uint8_t v = 0) {
  Frame f(static_cast<size_t>(frameStrideBytes) * imageHeightPx, v);
  for (size_t i = 3; i < f.size(); i += 4) f[i] = 77;  // the unused byte never counts
  return f;
}
std::uint8_t* pixel(Frame& f, int x, int y) { return &f[static_cast<size_t>(y) * frameStrideBytes + x * 4u]; }

// Sum of 1 / max(1, dx^2 + dy^2) over dx in [x0, x1], dy in [y0, y1].
double weightSum(int x0, int x1, int y0, int y1) {
  double s = 0;
  for (int dy = y0; dy <= y1; ++dy)
    for (int dx = x0; dx <= x1; ++dx) s += 1.0 / std::max(1, dx * dx + dy * dy);
  return s;
}

TEST(FocusFactor, DarkUniformAndOffCentreWindows) {
  AutofocusState state;
  Frame frame = blankFrame();
  EXPECT_EQ(focusFactor(state, frame.data(), 600, 500), 0.0f);
  EXPECT_EQ(focusLevel(0.0f), 0);

  // One blue pixel 2 right of and 1 above the spot: rows count from the bottom.
  pixel(frame, 602, 501)[0] = 200;
  EXPECT_FLOAT_EQ(focusFactor(state, frame.data(), 600, 500), 200.0f / 5 / 40000);
  EXPECT_FLOAT_EQ(state.meanBlue, 200.0f / 5 / 40000);
}

TEST(FocusFactor, WindowPastTheFrameEdgeRepeatsTheEdgePixels) {
  AutofocusState state;
  Frame frame = blankFrame();
  std::memset(pixel(frame, 0, 0), 120, 3);  // bottom-left corner
  // Every window position left of or below the frame reads that pixel.
  EXPECT_NEAR(focusFactor(state, frame.data(), 0, 0), 3 * 120 * weightSum(-100, 0, -100, 0) / 40000, 1e-5);

  frame = blankFrame();
  std::memset(pixel(frame, imageWidthPx - 1, imageHeightPx - 1), 120, 3);  // top-right corner
  EXPECT_NEAR(focusFactor(state, frame.data(), imageWidthPx - 1, imageHeightPx - 1),
              3 * 120 * weightSum(0, 99, 0, 99) / 40000, 1e-5);
}

TEST(FocusLevel, ThresholdsAndSearchTable) {
  const struct {
    float f;
    int level;
  } cases[] = {{0.00009f, 0}, {0.0001f, 1}, {0.0009f, 1}, {0.001f, 2}, {0.05f, 3},
               {0.1f, 4},     {0.2f, 5},    {0.3f, 6},    {5.0f, 6}};
  for (const auto& c : cases) EXPECT_EQ(focusLevel(c.f), c.level) << c.f;
  const float F[] = {1, 3, 2, 6};
  EXPECT_EQ(focusNoise(F, 1), 0.0f);
  EXPECT_EQ(focusNoise(F, 2), 2.0f);
  EXPECT_FLOAT_EQ(focusNoise(F, 4), 7.0f / 3);
}

TEST(FocusSweep, PeakFiresOnTheEleventhSampleAfterTheBest) {
  FocusSweep sweep(6, 100.0);  // R 13, 30 samples, threshold 0.2
  EXPECT_DOUBLE_EQ(sweep.returnZ(), 100.0);  // no sample yet: back to the start
  int firedAt = -1;
  for (int i = 0; i < sweep.samples() && firedAt < 0; ++i) {
    const float f = i < 5 ? 0.3f + 0.1f * i : i == 5 ? 1.0f : 0.3f;
    if (sweep.add(113.0 - i, f)) firedAt = i;
  }
  EXPECT_EQ(firedAt, 16);
  EXPECT_EQ(sweep.bestIndex(), 5);
  EXPECT_DOUBLE_EQ(sweep.returnZ(), 108.0);
  EXPECT_EQ(sweep.sampleText(), "[6-16] Z=97 f=0.300");
  EXPECT_EQ(sweep.bestText(), "z=108, Fmax=1.000");

  FocusSweep faint(6, 0.0);  // the same shape below the threshold is no peak
  for (int i = 0; i < faint.samples(); ++i) EXPECT_FALSE(faint.add(-i, i == 5 ? 0.19f : 0.01f)) << i;
  EXPECT_TRUE(faint.belowFloor(-19.6));
  EXPECT_FALSE(faint.belowFloor(-19.4));
}

TEST(FocusText, EndingIsAppendedAndCutTo99Characters) {
  AutofocusState state;
  std::strcpy(state.text, "[6-3] Z=10 f=0.500");
  endFocusText(state);
  EXPECT_STREQ(state.text, "[6-3] Z=10 f=0.500 No peak found");
  std::memset(state.text, 'a', 95);
  state.text[95] = '\0';
  state.found = 1;
  endFocusText(state);
  EXPECT_EQ(std::strlen(state.text), 99u);
  EXPECT_EQ(std::string(state.text + 95), " Foc");
}

}  // namespace
