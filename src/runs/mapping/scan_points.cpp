#include "runs/mapping/scan_points.h"

#include <algorithm>
#include <cstdio>

StagePoint scanCorner(const ScanState& s, double x0Um, double y0Um) {
  return {x0Um + s.startOffsetXUm, y0Um + s.startOffsetYUm};
}

void approachMoves(StagePoint corner, StagePoint moves[approachMoveCount]) {
  moves[0] = {corner.xUm - 20, corner.yUm - 20};
  moves[1] = {corner.xUm + 20, corner.yUm + 20};
  moves[2] = {corner.xUm - 2, corner.yUm};
}

StagePoint scanPointPosition(StagePoint corner, double stepUm, int i, int j) {
  return {corner.xUm + i * stepUm, corner.yUm - j * stepUm};
}

MarkerPixel scanPointMarker(const ScanState& s, int i, int j) {
  return {static_cast<int>(static_cast<float>(i) * s.pixelsPerStep + static_cast<float>(s.scanLeftPx)),
          static_cast<int>(static_cast<float>(j) * s.pixelsPerStep + static_cast<float>(s.scanTopPx))};
}

bool markerPixelInside(int x, int y) {
  const long long index = x + static_cast<long long>(y) * imageWidthPx;
  return index >= 0 && index < static_cast<long long>(imageWidthPx) * imageHeightPx;
}

std::string mappingProgressText(long long count, long long total) {
  char text[64];
  std::snprintf(text, sizeof text, "Mapping: %d%% done", total > 0 ? static_cast<int>(count * 100 / total) : 0);
  return text;
}

std::uint32_t sampleSpotColour(const std::uint8_t* frame, int lx, int ly, int aperture) {
  if (!frame || aperture <= 0) return 0;
  const long long x0 = std::max(static_cast<long long>(lx) - aperture, 0LL);
  const long long x1 = std::min(static_cast<long long>(lx) + aperture, static_cast<long long>(imageWidthPx));
  const long long y0 = std::max(static_cast<long long>(ly) - aperture, 0LL);
  const long long y1 = std::min(static_cast<long long>(ly) + aperture, static_cast<long long>(imageHeightPx));
  if (x0 >= x1 || y0 >= y1) return 0;
  unsigned long long sum[3] = {0, 0, 0};  // blue, green, red
  for (long long y = y0; y < y1; ++y) {
    const std::uint8_t* pixel = frame + y * frameStrideBytes + x0 * 4;
    for (long long x = x0; x < x1; ++x, pixel += 4) {
      sum[0] += pixel[0];
      sum[1] += pixel[1];
      sum[2] += pixel[2];
    }
  }
  const unsigned long long count = static_cast<unsigned long long>((x1 - x0) * (y1 - y0));
  const auto mean = [&](int c) { return static_cast<std::uint32_t>(sum[c] / count); };
  return mean(2) | mean(1) << 8 | mean(0) << 16;
}
