#include "runs/mapping/map_render.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

constexpr std::uint32_t rgb(int r, int g, int b) { return r | g << 8 | b << 16; }

// A map filled column by column with the values given row by row.
MapBuffers mapOf(int width, int height, std::initializer_list<float> rowMajor) {
  MapBuffers map;
  map.allocate(width, height);
  int k = 0;
  for (float v : rowMajor) {
    map.intensity[map.index(k % width, k / width)] = v;
    ++k;
  }
  return map;
}

TEST(MapColour, RunsFromBlackThroughRedAndYellowToWhite) {
  const struct {
    int level;
    std::uint32_t colour;
  } cases[] = {{0, rgb(0, 0, 0)},       {256, rgb(64, 0, 0)},       {512, rgb(128, 0, 0)},
               {513, rgb(128, 0, 0)},   {768, rgb(192, 128, 0)},    {1023, rgb(255, 255, 255)}};
  for (const auto& c : cases) EXPECT_EQ(mapColour(c.level), c.colour) << c.level;
  EXPECT_EQ(mapLevel(2.0f, 1.0f, 3.0f), 511);
  EXPECT_EQ(mapLevel(3.0f, 1.0f, 3.0f), 1023);
  EXPECT_EQ(mapLevel(std::nanf(""), 1.0f, 3.0f), 0);
}

TEST(MapRendering, DrawingAfterARowUsesOnlyTheRowsScannedSoFar) {
  MapBuffers map = mapOf(2, 3, {1, 3,  //
                                2, 2,  //
                                100, -50});
  std::vector<std::uint32_t> pixels;
  renderIntensity(map, 0, true, pixels);
  EXPECT_EQ(map.scaleMin, 1.0f);
  EXPECT_EQ(map.scaleMax, 3.0f);
  EXPECT_EQ(pixels[0], dibPixel(mapColour(0)));
  EXPECT_EQ(pixels[1], dibPixel(mapColour(1023)));
  for (int i = 2; i < 6; ++i) EXPECT_EQ(pixels[static_cast<size_t>(i)], 0u) << "rows not yet scanned stay black";

  renderIntensity(map, 1, true, pixels);
  EXPECT_EQ(pixels[2], dibPixel(mapColour(511)));
  EXPECT_EQ(pixels[4], 0u);
}

TEST(MapRendering, EqualValuesDrawBlackWithLabelsOfTheValueAndOneMore) {
  for (int size : {1, 4}) {
    MapBuffers map;
    map.allocate(size, size);
    std::fill(map.intensity.begin(), map.intensity.end(), 2.5f);
    std::vector<std::uint32_t> pixels;
    renderIntensity(map, -1, true, pixels);
    EXPECT_EQ(pixels, std::vector<std::uint32_t>(static_cast<size_t>(size * size), 0u));
    const ScaleLabels labels = scaleLabels(map, 460, 320, "uA");
    EXPECT_EQ(labels.top.text, "3.50uA");
    EXPECT_EQ(labels.bottom.text, "2.50uA");
  }
}

TEST(MapBuffers, StoresClampIntoTheMapAndAllocationReplacesEverything) {
  MapBuffers map;
  EXPECT_EQ(map.width, 100);
  ASSERT_TRUE(map.allocate(3, 2));
  map.storeCurrent(5, -1, 7.0f);
  map.storeColour(1, 9, rgb(10, 20, 30));
  EXPECT_EQ(map.intensity[map.index(2, 0)], 7.0f);
  EXPECT_EQ(map.green[map.index(1, 1)], 20.0f);
  EXPECT_EQ(map.blue[map.index(1, 1)], 30.0f);

  ASSERT_TRUE(map.allocate(3, 2));
  EXPECT_EQ(map.intensity[map.index(2, 0)], 0.0f);
  EXPECT_FALSE(map.allocate(0, 5));
  EXPECT_FALSE(map.allocate(INT_MAX, INT_MAX));  // more than a vector can hold
  EXPECT_EQ(map.width, 0);
  map.storeCurrent(0, 0, 1.0f);  // nothing to store into, and no crash
}

}  // namespace
