#pragma once
// The map arrays of one scan: the photocurrent and the three confocal colour
// channels, `width` columns of `height` values each. Column-major: the
// `height` values of column x are contiguous, at index x * height + y, row
// y = 0 being the first scanned row (the top of the map).
// Portable: no Win32 here.

#include <cstddef>
#include <cstdint>
#include <vector>

struct MapBuffers {
  const wchar_t* measurementFolder = nullptr;  // the dated folder the export writes into (owned by the data paths)
  std::vector<float> intensity;                // photocurrent, uA
  std::vector<float> red, green, blue;         // confocal colour, 0..255
  int width = 0;                               // points per row
  int height = 0;                              // rows
  float scaleMax = 1.0f;                       // colour-scale range of the last intensity drawing
  float scaleMin = 0.0f;

  // 100 x 100 zeros: what the map windows show before the first scan.
  MapBuffers();

  // Discards the previous maps and makes four zeroed width x height maps.
  // False when the sizes are not positive or the memory is not there; the
  // maps are then 0 x 0 (every reader copes with that) and the caller should
  // not scan.
  bool allocate(int mapWidth, int mapHeight);

  std::size_t index(int x, int y) const {
    return static_cast<std::size_t>(x) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y);
  }
  bool contains(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }

  // The point measurement's stores: x and y are first clamped into the map
  // (nothing is stored in a 0 x 0 map). The colour is packed as the camera
  // sample gives it: red in bits 0-7, green 8-15, blue 16-23.
  void storeCurrent(int x, int y, float uA);
  void storeColour(int x, int y, std::uint32_t packedRgb);
};
