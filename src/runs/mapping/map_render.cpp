#include "runs/mapping/map_render.h"

#include <array>
#include <cstdio>

namespace {

constexpr int levelCount = 1024;

// The colour map as DIB pixels, one per level: the drawing looks levels up
// hundreds of thousands of times per map.
const std::array<std::uint32_t, levelCount>& dibLevels() {
  static const std::array<std::uint32_t, levelCount> table = [] {
    std::array<std::uint32_t, levelCount> t{};
    for (int v = 0; v < levelCount; ++v) t[static_cast<size_t>(v)] = dibPixel(mapColour(v));
    return t;
  }();
  return table;
}

// A confocal value as the byte it is drawn with: the integer part, low 8
// bits; values no int can hold (and NaN) draw as 0.
std::uint32_t colourByte(float value) {
  if (!(value > -2147483648.0f && value < 2147483648.0f)) return 0;
  return static_cast<std::uint32_t>(static_cast<int>(value)) & 0xFF;
}

}  // namespace

std::uint32_t mapColour(int level) {
  const std::uint32_t red = static_cast<std::uint32_t>(level / 4) & 0xFF;
  const std::uint32_t green = level >= 512 ? static_cast<std::uint32_t>((level - 512) / 2) & 0xFF : 0;
  const std::uint32_t blue = level >= 768 ? static_cast<std::uint32_t>(level - 768) & 0xFF : 0;
  return red | green << 8 | blue << 16;
}

int mapLevel(float value, float scaleMin, float scaleMax) {
  const float level = (value - scaleMin) * 1023.0f / (scaleMax - scaleMin);
  if (!(level >= 0.0f)) return 0;
  if (level >= 1023.0f) return 1023;
  return static_cast<int>(level);
}

MapRows findIntensityRange(MapBuffers& map, int lastRow, bool topFirst) {
  MapRows rows;
  if (map.width <= 0 || map.height <= 0) return rows;
  if (lastRow < 0 || lastRow > map.height - 1) lastRow = map.height - 1;
  if (topFirst) {
    rows = {0, lastRow};
  } else {
    rows = {map.height - lastRow - 1, map.height - 1};
  }
  float high = map.intensity[map.index(0, topFirst ? 0 : map.height - 1)];
  float low = high;
  for (int x = 0; x < map.width; ++x) {
    const float* column = &map.intensity[map.index(x, 0)];
    for (int y = rows.first; y <= rows.last; ++y) {
      if (column[y] > high) high = column[y];
      if (column[y] < low) low = column[y];
    }
  }
  if (high - low == 0.0f) high = low + 1.0f;
  map.scaleMax = high;
  map.scaleMin = low;
  return rows;
}

void renderIntensity(MapBuffers& map, int lastRow, bool topFirst, std::vector<std::uint32_t>& pixels) {
  const MapRows rows = findIntensityRange(map, lastRow, topFirst);
  const auto w = static_cast<size_t>(map.width);
  pixels.assign(w * static_cast<size_t>(map.height), 0);
  const auto& levels = dibLevels();
  for (int x = 0; x < map.width; ++x) {
    const float* column = &map.intensity[map.index(x, 0)];
    for (int y = rows.first; y <= rows.last; ++y) {
      pixels[static_cast<size_t>(y) * w + static_cast<size_t>(x)] =
          levels[static_cast<size_t>(mapLevel(column[y], map.scaleMin, map.scaleMax))];
    }
  }
}

void renderConfocal(const MapBuffers& map, int channel, std::vector<std::uint32_t>& pixels) {
  const auto w = static_cast<size_t>(map.width);
  pixels.assign(w * static_cast<size_t>(map.height), 0);
  const std::uint32_t keep = channel == 1 ? 0xFF0000u : channel == 2 ? 0x00FF00u : channel == 3 ? 0x0000FFu : 0xFFFFFFu;
  for (int x = 0; x < map.width; ++x) {
    for (int y = 0; y < map.height; ++y) {
      const size_t i = map.index(x, y);
      const std::uint32_t pixel = colourByte(map.red[i]) << 16 | colourByte(map.green[i]) << 8 | colourByte(map.blue[i]);
      pixels[static_cast<size_t>(y) * w + static_cast<size_t>(x)] = pixel & keep;
    }
  }
}

ColourBar colourBarLayout(int clientRight, int clientBottom) {
  ColourBar bar;
  bar.left = clientRight - 45;
  bar.height = clientBottom - 15;
  bar.levels = static_cast<int>(bar.height * 0.9);
  return bar;
}

int colourBarRowY(const ColourBar& bar, int k) {
  return static_cast<int>((bar.levels - k) + bar.height * 0.1);
}

std::uint32_t colourBarColour(const ColourBar& bar, int k) {
  return bar.levels > 0 ? mapColour(k * 1023 / bar.levels) : 0;
}

ScaleLabels scaleLabels(const MapBuffers& map, int clientRight, int clientBottom, const char* unit) {
  char text[100];
  ScaleLabels labels;
  std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(map.scaleMax), unit);
  labels.top = {clientRight - 55, 0, text};
  std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(map.scaleMin), unit);
  labels.bottom = {clientRight - 55, clientBottom - 15, text};
  return labels;
}
