#include "runs/mapping/map_buffers.h"

#include <algorithm>
#include <exception>

MapBuffers::MapBuffers() { allocate(100, 100); }

bool MapBuffers::allocate(int mapWidth, int mapHeight) {
  // Release first: the old maps and the new ones need not fit together.
  const auto release = [this] {
    for (auto* map : {&intensity, &red, &green, &blue}) std::vector<float>().swap(*map);
  };
  release();
  width = height = 0;
  if (mapWidth <= 0 || mapHeight <= 0) return false;
  const std::size_t n = static_cast<std::size_t>(mapWidth) * static_cast<std::size_t>(mapHeight);
  try {
    for (auto* map : {&intensity, &red, &green, &blue}) map->assign(n, 0.0f);
  } catch (const std::exception&) {  // bad_alloc, or a size past what a vector can hold
    release();
    return false;
  }
  width = mapWidth;
  height = mapHeight;
  return true;
}

void MapBuffers::storeCurrent(int x, int y, float uA) {
  if (width <= 0 || height <= 0) return;
  intensity[index(std::clamp(x, 0, width - 1), std::clamp(y, 0, height - 1))] = uA;
}

void MapBuffers::storeColour(int x, int y, std::uint32_t packedRgb) {
  if (width <= 0 || height <= 0) return;
  const std::size_t i = index(std::clamp(x, 0, width - 1), std::clamp(y, 0, height - 1));
  red[i] = static_cast<float>(packedRgb & 0xFF);
  green[i] = static_cast<float>((packedRgb >> 8) & 0xFF);
  blue[i] = static_cast<float>((packedRgb >> 16) & 0xFF);
}
