#include "devices/camera/camera_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

struct Bgr {
  int blue, green, red, spare;
  bool operator==(const Bgr&) const = default;
};

Bgr pixelAt(const std::vector<std::uint8_t>& frame, int x, int yTop, int width, int height) {
  const std::size_t o = framePixelOffset(x, yTop, width, height);
  return {frame[o], frame[o + 1], frame[o + 2], frame[o + 3]};
}

// The conversion as the camera documentation describes it, pixel by pixel.
std::vector<std::uint8_t> referenceBayer(const std::vector<std::uint8_t>& raw, int rawWidth, int rawHeight,
                                         int blueOnly, std::uint8_t spare) {
  std::vector<std::uint8_t> out(std::size_t(rawWidth) * rawHeight, spare);
  for (int yTop = 0; yTop < rawHeight / 2; ++yTop) {
    for (int x = 0; x < rawWidth / 2; ++x) {
      const std::size_t i = std::size_t(2 * yTop) * rawWidth + 2 * x;
      std::uint16_t green = static_cast<std::uint16_t>(raw[i + 1] + raw[i + rawWidth]);
      std::uint8_t red = raw[i];
      std::uint8_t g = static_cast<std::uint8_t>(green >> 1);
      if (blueOnly) red = g = 0;
      const std::size_t o = std::size_t(rawHeight - 2 * yTop - 2) * rawWidth + 4 * x;
      out[o] = raw[i + rawWidth + 1];
      out[o + 1] = g;
      out[o + 2] = red;
    }
  }
  return out;
}

TEST(BayerConversion, SmallMosaicAndTestPatternByteForByte) {
  // 4 x 4 mosaic, rows top to bottom: R G R G / G B G B / ...
  const std::vector<std::uint8_t> raw = {
      10, 20, 30, 40,     //
      60, 70, 80, 90,     //
      100, 110, 120, 130, //
      140, 255, 160, 250, //
  };
  std::vector<std::uint8_t> frame(16, 0xEE);
  convertBayerToFrame(raw.data(), 4, 4, 0, frame.data());
  // Memory row 0 is the picture's bottom row (yTop 1).
  const std::vector<std::uint8_t> expected = {
      255, 125, 100, 0xEE,  250, 145, 120, 0xEE,  // yTop 1: (110+140)/2, (130+160)/2
      70, 40, 10, 0xEE,     90, 60, 30, 0xEE,     // yTop 0: (20+60)/2, (40+80)/2
  };
  EXPECT_EQ(frame, expected);

  // The test pattern on a 4 x 4 grid at phase 3. yTop 1 (row 2) first in
  // memory: red (2+3)%127 = 5; yTop 0: red 3. Columns c = 0, 2: green
  // (3 + 3) / 2 = 3, (5 + 7) / 2 = 6.
  std::vector<std::uint8_t> pattern(4 * 4, 0);
  drawTestPattern(pattern.data(), 4, 4, 3);
  EXPECT_EQ(pattern, (std::vector<std::uint8_t>{2, 3, 5, 0, 4, 6, 5, 0, 0, 3, 3, 0, 2, 6, 3, 0}));
}

TEST(BayerConversion, EveryPathMatchesThePixelByPixelDescription) {
  std::mt19937 random(7);
  // The full frame, and a narrow one whose rows end in a part that the wide
  // steps leave to the scalar code.
  for (const auto& [rawWidth, rawHeight] : {std::pair{rawFrameWidth, rawFrameHeight}, std::pair{46, 6}}) {
    std::vector<std::uint8_t> raw(std::size_t(rawWidth) * rawHeight);
    for (auto& b : raw) b = static_cast<std::uint8_t>(random());
    raw[1] = raw[rawWidth] = 255;  // the green sum needs its ninth bit
    for (PixelPath path : {PixelPath::best, PixelPath::avx2, PixelPath::sse2, PixelPath::scalar}) {
      if (!pixelPathAvailable(path)) continue;
      for (int blueOnly : {0, 1}) {
        std::vector<std::uint8_t> frame(raw.size(), 0x5A);
        convertBayerToFrame(raw.data(), rawWidth, rawHeight, blueOnly, frame.data(), path);
        EXPECT_TRUE(frame == referenceBayer(raw, rawWidth, rawHeight, blueOnly, 0x5A))
            << rawWidth << " path " << static_cast<int>(path) << " blueOnly " << blueOnly;
        // The camera's own buffer: spare bytes zero, and zero they stay.
        std::vector<std::uint8_t> cameraFrame(raw.size(), 0);
        convertBayerToFrame(raw.data(), rawWidth, rawHeight, blueOnly, cameraFrame.data(), path,
                            SpareBytes::allZero);
        EXPECT_TRUE(cameraFrame == referenceBayer(raw, rawWidth, rawHeight, blueOnly, 0))
            << rawWidth << " path " << static_cast<int>(path) << " blueOnly " << blueOnly << " spare zero";
      }
    }
  }
  EXPECT_TRUE(pixelPathAvailable(PixelPath::best));
  EXPECT_TRUE(pixelPathAvailable(PixelPath::scalar));
  EXPECT_EQ(framePixelOffset(1231, 0), 5'065'980u) << "the top-right pixel is the last in memory";
}

// The pattern as described: even rows and columns of the 2464 x 2056 grid.
Bgr referencePattern(int row, int c, int k) {
  return {(c + row) % 128, ((c + k) % 128 + (2 * c + k) % 128) / 2, (row + k) % 127, 0};
}

TEST(TestPattern, WholeFrameByteForByteAtSeveralPhasesOnEveryPath) {
  for (PixelPath path : {PixelPath::avx2, PixelPath::sse2, PixelPath::scalar}) {
    if (!pixelPathAvailable(path)) continue;
    for (int k : {0, 1, 127, 128, 1000003}) {
      std::vector<std::uint8_t> frame(frameBytes, 0x33);
      drawTestPattern(frame.data(), rawFrameWidth, rawFrameHeight, k, path);
      // The camera's own frame, whose spare bytes are zero, is only written.
      std::vector<std::uint8_t> cameraFrame(frameBytes, 0);
      drawTestPattern(cameraFrame.data(), rawFrameWidth, rawFrameHeight, k, path, SpareBytes::allZero);
      for (size_t i = 3; i < frameBytes; i += 4) cameraFrame[i] = 0x33;
      EXPECT_TRUE(cameraFrame == frame) << "path " << static_cast<int>(path) << " phase " << k << " spare zero";
      bool same = true;
      for (int row = 0; row < rawFrameHeight && same; row += 2) {
        for (int c = 0; c < rawFrameWidth && same; c += 2) {
          Bgr want = referencePattern(row, c, k);
          want.spare = 0x33;
          same = pixelAt(frame, c / 2, row / 2, frameWidthPx, frameHeightPx) == want;
          EXPECT_TRUE(same) << "path " << static_cast<int>(path) << " phase " << k << " row " << row << " column "
                            << c;
        }
      }
    }
  }
}

}  // namespace
