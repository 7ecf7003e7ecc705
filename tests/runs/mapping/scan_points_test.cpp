#include "runs/mapping/scan_area.h"
#include "runs/mapping/scan_points.h"
#include "runs/mapping/wide_view_plan.h"
#include "runs/mapping/z_creep.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ScanPoints, PointIJIsIStepsRightAndJStepsBelowTheCorner) {
  ScanState s;
  s.startOffsetXUm = -12.5f;
  s.startOffsetYUm = 8.0f;
  const StagePoint corner = scanCorner(s, 100.0, 200.0);
  EXPECT_DOUBLE_EQ(corner.xUm, 87.5);
  EXPECT_DOUBLE_EQ(corner.yUm, 208.0);
  const StagePoint p = scanPointPosition(corner, 0.5, 3, 2);
  EXPECT_DOUBLE_EQ(p.xUm, 89.0);
  EXPECT_DOUBLE_EQ(p.yUm, 207.0);
}

TEST(ScanArea, DragsOfMoreThanTenPixelsAskWithTheirSizeInMicrometres) {
  EXPECT_FALSE(areaDragCounts(100, 100, 110, 90));  // 10 px both ways: a click
  EXPECT_TRUE(areaDragCounts(100, 100, 111, 100));
  EXPECT_TRUE(areaDragCounts(100, 100, 100, 89));
  // 765 x 610 px at 50X (79 um across 1232 px); the mosaic shows 3 um per um.
  EXPECT_EQ(areaQuestionTitle(865, 290, 100, 900, 79.0, 1), "Area: 49.1 um x 39.1 um");
  EXPECT_EQ(areaQuestionTitle(100, 290, 865, 900, 79.0, 3), "Area: 147.2 um x 117.3 um");
  EXPECT_EQ(expectedMinutesText(10), "10 min. expected");
}

TEST(ScanPoints, MarkerFollowsTheGridAndStaysInsideThePicture) {
  ScanState s;
  s.pixelsPerStep = 15.59f;
  s.scanLeftPx = 100;
  s.scanTopPx = 290;
  const MarkerPixel m = scanPointMarker(s, 3, 2);
  EXPECT_EQ(m.x, 146);  // trunc(46.77 + 100)
  EXPECT_EQ(m.y, 321);  // trunc(31.18 + 290)
  EXPECT_TRUE(markerPixelInside(0, 0));
  EXPECT_TRUE(markerPixelInside(1231, 1027));
  EXPECT_FALSE(markerPixelInside(1232, 1027));
  EXPECT_FALSE(markerPixelInside(-1, 0));
  EXPECT_FALSE(markerPixelInside(0, 1028));
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

TEST(WideView, VisitsNineTilesInASerpentineAroundTheStart) {
  const double w = 79.0, h = 79.0 * 1028.0 / 1232.0;
  const StagePoint first = wideViewFirstMove({10.0, 20.0}, w, h);
  EXPECT_DOUBLE_EQ(first.xUm, 89.0);
  EXPECT_DOUBLE_EQ(first.yUm, 20.0 - h);
  const auto tiles = wideViewTiles({10.0, 20.0}, w, h);
  const int order[9][2] = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {1, 1}, {0, 1}, {0, 2}, {1, 2}, {2, 2}};
  for (size_t n = 0; n < 9; ++n) {
    const WideViewTile& t = tiles[n];
    EXPECT_EQ(t.column, order[n][0]) << n;
    EXPECT_EQ(t.row, order[n][1]) << n;
    EXPECT_DOUBLE_EQ(t.position.xUm, 10.0 + (t.column - 1) * w) << n;
    EXPECT_DOUBLE_EQ(t.position.yUm, 20.0 - (t.row - 1) * h) << n;
    EXPECT_EQ(t.settle, t.row != 1) << n;
  }
}

}  // namespace
