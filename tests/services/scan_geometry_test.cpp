#include "services/scan_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <tuple>

namespace {

ScanState withSelection(const int (&area)[4], double stepUm) {
  ScanState s;
  s.stepUm = stepUm;
  std::copy(std::begin(area), std::end(area), s.selection);
  return s;
}

// The numbers worked out by hand from the picture (1232 x 1028 px) and the
// field of view; -1 (or NaN) is not checked. The stage offsets are from the
// laser spot to the first point's corner: X to the right, Y upward.
TEST(ScanGeometry, PointsViewAndStartOffsetsFromTheDraggedArea) {
  const double no = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* name;
    int area[4];
    double stepUm, fieldUm;
    int confocal, scale, spotX, spotY;  // spot Y counted from the bottom
    double pixelsPerStep;
    int width, height, pointSizePx, viewWidth, viewHeight, minutes;
    double offsetXUm, offsetYUm;
  } rows[] = {
      // Dragged up and to the right, 765 x 610 px; 1 um = 1232 / 79 = 15.59 px,
      // 765 / 15.59 + 1 = 50.05, 610 / 15.59 + 1 = 40.1; 2000 / 500 + 2 minutes;
      // corner 100 px right of the spot, 1028 - 290 = 738 px above it.
      {"50X", {100, 900, 865, 290}, 1, 79, 0, 1, 0, 0, 15.594936, 50, 40, 8, 400, 320, 6, 6.41234, 47.3231},
      {"50X confocal doubles the points", {100, 900, 865, 290}, 1, 79, 1, 1, 0, 0, no, -1, -1, -1, -1, -1, 10, no, no},
      // 10 px per um.
      {"spot on the corner", {616, 514, 700, 600}, 1, 123.2, 0, 1, 616, 514, 10, 9, 9, -1, -1, -1, -1, 0, 0},
      {"spot 100 px left of and 50 px below the corner", {616, 514, 700, 600}, 1, 123.2, 0, 1, 516, 464, no, -1, -1,
       -1, -1, -1, -1, 10, 5},
      // Scaled by 3 about (616, 514): the corner is at (316, 214) on the
      // camera; a step is a third of 15.59 px: 100 / 5.198 + 1 = 20.2.
      {"wide view", {516, 414, 616, 514}, 1, 79, 0, 3, 0, 0, 5.1983123, 20, 20, -1, -1, -1, -1, 20.2630, 52.1964},
      // 0.1 um steps are 1.56 px: 1231 / 1.56 + 1 = 790.4; 20 / 1.56 + 1 = 13.8.
      {"wider than the view: one px a point", {0, 0, 1231, 20}, 0.1, 79, 0, 1, 0, 0, no, 790, 13, 0, 790, 13, -1, no,
       no},
      {"taller than the view", {0, 0, 10, 1027}, 0.1, 79, 0, 1, 0, 0, no, 7, 659, -1, -1, 400, -1, no, no},
      {"a small drag", {300, 300, 312, 312}, 1, 79, 0, 1, 0, 0, no, 1, 1, 400, 400, 400, 2, no, no},
      // 247 x 205 px over 89 um: 13.84 px a step; 540 / 500 + 2 minutes;
      // 400 / 18 = 22 px a point, 400 x 15 / 18 = 333.
      {"the default area", {492, 411, 739, 616}, 1, 89, 1, 1, 0, 0, 13.842696, 18, 15, 22, 400, 333, 3, 35.5422,
       44.5722},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    ScanState s = withSelection(r.area, r.stepUm);
    s.viewScale = r.scale;
    s.laserSpotX = r.spotX;
    s.laserSpotY = r.spotY;
    computeScanGeometry(s, r.fieldUm, r.confocal);
    if (!std::isnan(r.pixelsPerStep)) { EXPECT_FLOAT_EQ(s.pixelsPerStep, static_cast<float>(r.pixelsPerStep)); }
    const int actual[] = {s.mapWidth, s.mapHeight, s.pointSizePx, s.mapViewWidth, s.mapViewHeight, s.expectedMinutes};
    const int expected[] = {r.width, r.height, r.pointSizePx, r.viewWidth, r.viewHeight, r.minutes};
    const char* names[] = {"width", "height", "point size", "view width", "view height", "minutes"};
    for (int i = 0; i < 6; ++i) {
      if (expected[i] >= 0) { EXPECT_EQ(actual[i], expected[i]) << names[i]; }
    }
    if (r.width > 0) { EXPECT_EQ(s.totalPoints, r.width * r.height); }
    if (!std::isnan(r.offsetXUm)) { EXPECT_NEAR(s.startOffsetXUm, r.offsetXUm, 1e-3); }
    if (!std::isnan(r.offsetYUm)) { EXPECT_NEAR(s.startOffsetYUm, r.offsetYUm, 1e-3); }
  }
  const ScanState initial = makeInitialScanState();
  EXPECT_EQ(initial.mapWidth * 100 + initial.mapHeight, 1815) << "the default area is computed at construction";
}

TEST(ScanGeometry, TheDragDirectionDoesNotMatter) {
  const int corners[4][4] = {{100, 290, 865, 900}, {865, 290, 100, 900}, {100, 900, 865, 290}, {865, 900, 100, 290}};
  for (int scale : {1, 3}) {
    ScanState usual = withSelection(corners[0], 2.0);
    usual.viewScale = scale;
    usual.laserSpotX = 700;
    usual.laserSpotY = 300;
    computeScanGeometry(usual, 79.0, 1);
    for (const auto& c : corners) {
      SCOPED_TRACE(testing::Message() << "scale " << scale << ", dragged from " << c[0] << "," << c[1]);
      ScanState s = usual;
      std::copy(std::begin(c), std::end(c), s.selection);
      computeScanGeometry(s, 79.0, 1);
      EXPECT_EQ(std::tie(s.mapWidth, s.mapHeight, s.mapViewWidth, s.mapViewHeight, s.pointSizePx, s.realLeftPx,
                         s.realTopPx, s.startOffsetXUm, s.startOffsetYUm, s.expectedMinutes),
                std::tie(usual.mapWidth, usual.mapHeight, usual.mapViewWidth, usual.mapViewHeight, usual.pointSizePx,
                         usual.realLeftPx, usual.realTopPx, usual.startOffsetXUm, usual.startOffsetYUm,
                         usual.expectedMinutes));
    }
  }
}

TEST(ScanGeometry, UnusableStepsNeverOverflow) {
  for (double step : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e-12}) {
    ScanState s = withSelection({0, 0, 1231, 1027}, step);
    computeScanGeometry(s, 79.0, 1);
    EXPECT_TRUE(s.mapWidth >= 1 && s.mapWidth <= maxMapSidePoints && s.totalPoints >= 1 && s.expectedMinutes >= 2)
        << step;
  }
}

}  // namespace
