#include "runs/mapping/scan_area.h"
#include "runs/mapping/scan_points.h"
#include "runs/mapping/z_creep.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

TEST(ScanArea, DragsOfMoreThanTenPixelsAskWithTheirSizeAndTheMarkerStaysInThePicture) {
  EXPECT_FALSE(areaDragCounts(100, 100, 110, 90));  // 10 px both ways: a click
  EXPECT_TRUE(areaDragCounts(100, 100, 111, 100));
  EXPECT_TRUE(areaDragCounts(100, 100, 100, 89));
  // 765 x 610 px at 50X (79 um across 1232 px); the mosaic shows 3 um per um.
  EXPECT_EQ(areaQuestionTitle(865, 290, 100, 900, 79.0, 1), "Area: 49.1 um x 39.1 um");
  EXPECT_EQ(areaQuestionTitle(100, 290, 865, 900, 79.0, 3), "Area: 147.2 um x 117.3 um");

  ScanState s;
  s.pixelsPerStep = 15.59f;
  s.scanLeftPx = 100;
  s.scanTopPx = 290;
  const MarkerPixel m = scanPointMarker(s, 3, 2);
  EXPECT_EQ(m.x, 146);  // trunc(46.77 + 100)
  EXPECT_EQ(m.y, 321);  // trunc(31.18 + 290)
  for (auto [x, y, inside] : {std::tuple{0, 0, true}, std::tuple{1231, 1027, true}, std::tuple{1232, 1027, false},
                              std::tuple{-1, 0, false}, std::tuple{0, 1028, false}})
    EXPECT_EQ(markerPixelInside(x, y), inside) << x << "," << y;
  EXPECT_EQ(mappingProgressText(1999, 2000), "Mapping: 99% done");
}

TEST(SpotColour, AveragesTheWindowAroundTheSpotAndIsZeroForAnEmptyOne) {
  std::vector<std::uint8_t> frame(static_cast<size_t>(frameStrideBytes) * imageHeightPx, 0);
  const auto paint = [&](int x, int y, int b, int g, int r) {
    std::uint8_t* p = &frame[static_cast<size_t>(y) * frameStrideBytes + static_cast<size_t>(x) * 4];
    p[0] = static_cast<std::uint8_t>(b);
    p[1] = static_cast<std::uint8_t>(g);
    p[2] = static_cast<std::uint8_t>(r);
  };
  for (int y = 8; y < 12; ++y)
    for (int x = 8; x < 12; ++x) paint(x, y, 30, 20, 10);
  paint(9, 9, 33, 20, 250);   // red sum 150 + 250 = 400 over 16 pixels: 25
  paint(12, 10, 255, 255, 255);  // just outside the window: not counted
  EXPECT_EQ(sampleSpotColour(frame.data(), 10, 10, 2), 25u | 20u << 8 | 30u << 16);

  paint(0, 0, 90, 0, 0);  // at the corner the window shrinks to the 2 x 2 pixels inside
  EXPECT_EQ(sampleSpotColour(frame.data(), 0, 0, 2), 22u << 16);

  for (auto [x, y, a] : {std::tuple{10, 10, 0}, std::tuple{2000, 10, 5}, std::tuple{-50, -50, 5}})
    EXPECT_EQ(sampleSpotColour(frame.data(), x, y, a), 0u);
  EXPECT_EQ(sampleSpotColour(nullptr, 10, 10, 2), 0u);
}

TEST(ZCreep, HoldsSearchesAndFallsBackAsTheFocusFades) {
  ZCreepTracker t;
  startZCreepTracking(t, -40.0, 1.0f);
  EXPECT_EQ(zCreepStep(t, 0.9f).kind, ZCreepAction::none);
  ZCreepAction a = zCreepStep(t, 0.8f);
  EXPECT_EQ(a.kind, ZCreepAction::moveBy);
  EXPECT_DOUBLE_EQ(a.distanceUm, 0.1);

  // Low band: direction reversed on entry and every 20 points, a move every third.
  std::vector<double> moves;
  for (int n = 0; n < 24; ++n) {
    a = zCreepStep(t, 0.65f);
    moves.push_back(a.kind == ZCreepAction::moveBy ? a.distanceUm : 0.0);
  }
  const std::vector<double> expected = {0, 0, -0.1, 0, 0, -0.1, 0, 0, -0.1, 0, 0, -0.1,
                                        0, 0, -0.1, 0, 0, -0.1, 0, 0, 0.1,  0, 0, 0.1};
  EXPECT_EQ(moves, expected);

  a = zCreepStep(t, 0.5f);
  EXPECT_EQ(a.kind, ZCreepAction::moveToReference);
  EXPECT_EQ(t.direction, 1);
  EXPECT_EQ(t.counter, 0);
}

}  // namespace
