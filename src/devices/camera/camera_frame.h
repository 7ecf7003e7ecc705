#pragma once
// The camera picture in memory and the two ways it is filled: from a raw
// Bayer frame of the camera, or with the drifting test pattern shown when no
// camera works. Portable, so both are checked byte for byte natively.
//
// A frame is rawWidth/2 x rawHeight/2 pixels of 4 bytes (blue, green, red,
// spare), rows stored bottom-up as in a bottom-up 32-bit DIB: memory row 0 is
// the bottom row of the picture. The spare byte is never written.

#include <cstddef>
#include <cstdint>

constexpr int rawFrameWidth = 2464;   // camera sensor, Bayer bytes per row
constexpr int rawFrameHeight = 2056;  // camera sensor rows
constexpr int frameWidthPx = rawFrameWidth / 2;    // 1232
constexpr int frameHeightPx = rawFrameHeight / 2;  // 1028
constexpr std::size_t rawFrameBytes = std::size_t{rawFrameWidth} * rawFrameHeight;  // 5,065,984
constexpr std::size_t frameBytes = std::size_t{frameWidthPx} * frameHeightPx * 4;    // the same number

// Byte offset of the pixel at column x, row yTop counted from the top.
constexpr std::size_t framePixelOffset(int x, int yTop, int width = frameWidthPx, int height = frameHeightPx) {
  return (std::size_t(height - 1 - yTop) * std::size_t(width) + std::size_t(x)) * 4;
}

// The instruction sets the conversion can use; the fastest one the processor
// has is taken unless a test asks for another.
enum class PixelPath { best, avx2, sse2, scalar };
bool pixelPathAvailable(PixelPath path);

// What the conversion may assume of the frame's spare bytes. A frame whose
// spare bytes are all zero (the camera's own buffer: allocated zeroed, and
// nothing writes them) need not be read back to leave them unchanged, which
// saves a third of the memory traffic of every live-video frame.
enum class SpareBytes { keep, allZero };

// One output pixel per 2 x 2 cell of the mosaic (red at even row and even
// column, green at the two mixed places, blue at odd row and odd column):
// red = raw[i], green = (raw[i + 1] + raw[i + rawWidth]) >> 1,
// blue = raw[i + rawWidth + 1]. With blueOnly non-zero red and green are 0.
// rawWidth and rawHeight must be even; one pass, no allocation.
// Buffers aligned to 64 bytes convert fastest.
void convertBayerToFrame(const std::uint8_t* raw, int rawWidth, int rawHeight, int blueOnly,
                         std::uint8_t* frame, PixelPath path = PixelPath::best,
                         SpareBytes spare = SpareBytes::keep);

// The test pattern of phase k over a rawWidth x rawHeight grid sampled at
// even rows and columns (row, c): blue = (c + row) mod 128,
// green = ((c + k) mod 128 + (2c + k) mod 128) / 2, red = (row + k) mod 127,
// so the picture drifts as k grows. k must not be negative. With spare
// bytes known to be zero the frame is only written, never read.
void drawTestPattern(std::uint8_t* frame, int rawWidth, int rawHeight, int phase,
                     PixelPath path = PixelPath::best, SpareBytes spare = SpareBytes::keep);
