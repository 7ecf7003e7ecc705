// The Bayer conversion and the test pattern: a small mosaic worked out by
// hand, then every wide pixel path against the plain one on whole frames,
// and the plain pattern against its description.

#include "devices/camera/camera_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr PixelPath widePaths[] = {PixelPath::best, PixelPath::avx2, PixelPath::sse2};

TEST(BayerConversion, SmallMosaicByteForByte) {
  // 4 x 4 mosaic, rows top to bottom: R G R G / G B G B / ...
  const std::vector<std::uint8_t> raw = {
      10, 20, 30, 40,     //
      60, 70, 80, 90,     //
      100, 110, 120, 130, //
      240, 255, 250, 250, //
  };
  std::vector<std::uint8_t> frame(16, 0xEE);
  convertBayerToFrame(raw.data(), 4, 4, 0, frame.data(), PixelPath::scalar);
  // Memory row 0 is the picture's bottom row (yTop 1); its green sums need
  // a ninth bit.
  const std::vector<std::uint8_t> expected = {
      255, 175, 100, 0xEE,  250, 190, 120, 0xEE,  // yTop 1: (110+240)/2, (130+250)/2
      70, 40, 10, 0xEE,     90, 60, 30, 0xEE,     // yTop 0: (20+60)/2, (40+80)/2
  };
  EXPECT_EQ(frame, expected);
}

// On the full frame and on a narrow one whose rows end in a part that the
// wide steps leave to the plain code; spare bytes kept, or zero (the
// camera's own buffer) and zero they stay.
TEST(BayerConversion, EveryWidePathAsThePlainOne) {
  std::mt19937 random(7);
  for (const auto& size : {std::pair{rawFrameWidth, rawFrameHeight}, std::pair{46, 6}}) {
    // (named, not bound: clang before 16 lets no lambda capture a binding)
    const int rawWidth = size.first, rawHeight = size.second;
    std::vector<std::uint8_t> raw(std::size_t(rawWidth) * rawHeight);
    for (auto& b : raw) b = static_cast<std::uint8_t>(random());
    raw[1] = raw[rawWidth] = 255;  // the green sum needs its ninth bit
    for (int blueOnly : {0, 1}) {
      for (SpareBytes spare : {SpareBytes::keep, SpareBytes::allZero}) {
        const auto convert = [&](PixelPath path) {
          std::vector<std::uint8_t> frame(raw.size(), spare == SpareBytes::keep ? 0x5A : 0);
          convertBayerToFrame(raw.data(), rawWidth, rawHeight, blueOnly, frame.data(), path, spare);
          return frame;
        };
        const std::vector<std::uint8_t> plain = convert(PixelPath::scalar);
        for (std::size_t i = 3; i < plain.size(); i += 4) ASSERT_EQ(plain[i], spare == SpareBytes::keep ? 0x5A : 0);
        for (PixelPath path : widePaths) {
          EXPECT_TRUE(!pixelPathAvailable(path) || convert(path) == plain)
              << rawWidth << " path " << static_cast<int>(path) << " blueOnly " << blueOnly;
        }
      }
    }
  }
  EXPECT_TRUE(pixelPathAvailable(PixelPath::best));
  EXPECT_EQ(framePixelOffset(1231, 0), 5'065'980u) << "the top-right pixel is the last in memory";
}

// The pattern as described, at even rows and columns of the 2464 x 2056
// grid: blue (c + row) % 128, green the mean of (c + k) % 128 and
// (2c + k) % 128, red (row + k) % 127, at phase k.
TEST(TestPattern, WholeFrameByteForByteAtSeveralPhasesOnEveryPath) {
  for (int k : {0, 1, 127, 128, 1000003}) {
    SCOPED_TRACE("phase " + std::to_string(k));
    // Spare bytes kept stay 0x33; written zero, they are made 0x33 to compare.
    const auto draw = [k](PixelPath path, SpareBytes spare) {
      std::vector<std::uint8_t> frame(frameBytes, spare == SpareBytes::keep ? 0x33 : 0);
      drawTestPattern(frame.data(), rawFrameWidth, rawFrameHeight, k, path, spare);
      for (std::size_t i = 3; spare == SpareBytes::allZero && i < frameBytes; i += 4) frame[i] += 0x33;
      return frame;
    };
    const std::vector<std::uint8_t> plain = draw(PixelPath::scalar, SpareBytes::keep);
    for (int row = 0; row < rawFrameHeight; row += 2) {
      for (int c = 0; c < rawFrameWidth; c += 2) {
        const std::uint8_t* p = &plain[framePixelOffset(c / 2, row / 2)];
        ASSERT_TRUE(p[0] == (c + row) % 128 && p[1] == ((c + k) % 128 + (2 * c + k) % 128) / 2 &&
                    p[2] == (row + k) % 127 && p[3] == 0x33) << "row " << row << " column " << c;
      }
    }
    for (PixelPath path : {PixelPath::scalar, PixelPath::best, PixelPath::avx2, PixelPath::sse2}) {
      EXPECT_TRUE(!pixelPathAvailable(path) || draw(path, SpareBytes::allZero) == plain) << static_cast<int>(path);
      EXPECT_TRUE(!pixelPathAvailable(path) || draw(path, SpareBytes::keep) == plain) << static_cast<int>(path);
    }
  }
}

}  // namespace
