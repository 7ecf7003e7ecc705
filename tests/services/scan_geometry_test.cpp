#include "services/scan_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

ScanState withSelection(int x1, int y1, int x2, int y2, double stepUm = 1.0) {
  ScanState s;
  s.stepUm = stepUm;
  s.selection[0] = x1;
  s.selection[1] = y1;
  s.selection[2] = x2;
  s.selection[3] = y2;
  return s;
}

TEST(ScanGeometry, FiftyXExampleGivesFiftyByFortyPoints) {
  ScanState s = withSelection(100, 900, 865, 290);  // dragged up and to the right: 765 x 610 px
  EXPECT_EQ(computeScanGeometry(s, 79.0, 0), 6);
  EXPECT_FLOAT_EQ(s.pixelsPerStep, 15.594936f);  // 1 um at 1232 px per 79 um
  EXPECT_EQ(s.mapWidth, 50);                     // 765 / 15.59 + 1 = 50.05
  EXPECT_EQ(s.mapHeight, 40);
  EXPECT_EQ(s.totalPoints, 2000);
  EXPECT_EQ(s.pointSizePx, 8);
  EXPECT_EQ(s.mapViewWidth, 400);
  EXPECT_EQ(s.mapViewHeight, 320);
  EXPECT_EQ(s.scanLeftPx, 100);
  EXPECT_EQ(s.scanTopPx, 290);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s.selectionCopy[i], s.selection[i]);

  // The confocal option doubles the points before the division by 500.
  EXPECT_EQ(computeScanGeometry(s, 79.0, 1), 10);
}

TEST(ScanGeometry, StartOffsetIsFromTheLaserSpotWithStageYUpward) {
  ScanState s = withSelection(616, 514, 700, 600);
  s.laserSpotX = 616;
  s.laserSpotY = 514;  // counted from the bottom: 1028 - 514 = 514 from the top
  computeScanGeometry(s, 123.2, 0);  // 0.1 um per pixel
  EXPECT_FLOAT_EQ(s.laserSpotYTop, 514.0f);
  EXPECT_NEAR(s.startOffsetXUm, 0.0, 1e-6);
  EXPECT_NEAR(s.startOffsetYUm, 0.0, 1e-6);

  s.laserSpotX = 516;  // spot 100 px left of the corner, 50 px below it
  s.laserSpotY = 1028 - 564;
  computeScanGeometry(s, 123.2, 0);
  EXPECT_NEAR(s.startOffsetXUm, 10.0, 1e-4);
  EXPECT_NEAR(s.startOffsetYUm, 5.0, 1e-4);  // corner above the spot: stage Y positive
}

TEST(ScanGeometry, WideViewScalesAboutTheViewCentre) {
  ScanState s = withSelection(516, 414, 616, 514);
  s.viewScale = 3;
  computeScanGeometry(s, 79.0, 0);
  EXPECT_EQ(s.realLeftPx, 316);  // 100 px left of the centre (616, 514) on the screen, 300 px on the camera
  EXPECT_EQ(s.realTopPx, 214);
  EXPECT_FLOAT_EQ(s.pixelsPerStep, 5.1983123f);  // a third of 1232 / 79
  EXPECT_EQ(s.mapWidth, 20);                     // 100 / 5.198 + 1 = 20.2
  EXPECT_NEAR(s.startOffsetXUm, 20.2630, 1e-3);  // 316 px right of the spot at (0, 0): 316 x 79 / 1232
  EXPECT_NEAR(s.startOffsetYUm, 52.1964, 1e-3);  // 1028 - 214 = 814 px above it
}

TEST(ScanGeometry, TheDragDirectionDoesNotMatter) {
  const int corners[4][4] = {{100, 290, 865, 900},   // top left to bottom right
                             {865, 290, 100, 900},   // right to left
                             {100, 900, 865, 290},   // bottom to top
                             {865, 900, 100, 290}};  // both
  for (int scale : {1, 3}) {
    ScanState usual = withSelection(100, 290, 865, 900, 2.0);
    usual.viewScale = scale;
    usual.laserSpotX = 700;
    usual.laserSpotY = 300;
    computeScanGeometry(usual, 79.0, 1);
    for (const auto& c : corners) {
      SCOPED_TRACE(testing::Message() << "scale " << scale << ", dragged from " << c[0] << "," << c[1]);
      ScanState s = usual;
      std::copy(std::begin(c), std::end(c), s.selection);
      computeScanGeometry(s, 79.0, 1);
      EXPECT_EQ(s.mapWidth, usual.mapWidth);
      EXPECT_EQ(s.mapHeight, usual.mapHeight);
      EXPECT_EQ(s.mapViewWidth, usual.mapViewWidth);
      EXPECT_EQ(s.mapViewHeight, usual.mapViewHeight);
      EXPECT_EQ(s.pointSizePx, usual.pointSizePx);
      EXPECT_EQ(s.realLeftPx, usual.realLeftPx);
      EXPECT_EQ(s.realTopPx, usual.realTopPx);
      EXPECT_EQ(s.startOffsetXUm, usual.startOffsetXUm);
      EXPECT_EQ(s.startOffsetYUm, usual.startOffsetYUm);
      EXPECT_EQ(s.expectedMinutes, usual.expectedMinutes);
    }
  }
}

TEST(ScanGeometry, OnlyTheWidthDecidesWhetherTheMapViewIsScaled) {
  ScanState wide = withSelection(0, 0, 1231, 20, 0.1);  // 50X: about 1.6 px per step
  computeScanGeometry(wide, 79.0, 0);
  ASSERT_GE(wide.mapWidth, 400);
  EXPECT_EQ(wide.mapViewWidth, wide.mapWidth);
  EXPECT_EQ(wide.mapViewHeight, wide.mapHeight);
  EXPECT_EQ(wide.pointSizePx, 0);

  ScanState tall = withSelection(0, 0, 10, 1027, 0.1);
  computeScanGeometry(tall, 79.0, 0);
  ASSERT_GE(tall.mapHeight, 400);
  EXPECT_EQ(tall.mapViewHeight, 400);
}

TEST(ScanGeometry, SmallDragGivesOnePoint) {
  ScanState s = withSelection(300, 300, 312, 312);
  computeScanGeometry(s, 79.0, 0);
  EXPECT_EQ(s.mapWidth, 1);
  EXPECT_EQ(s.mapHeight, 1);
  EXPECT_EQ(s.mapViewWidth, 400);
  EXPECT_EQ(s.expectedMinutes, 2);
}

TEST(ScanGeometry, UnusableStepsNeverOverflow) {
  for (double step : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e-12}) {
    ScanState s = withSelection(0, 0, 1231, 1027, step);
    computeScanGeometry(s, 79.0, 1);
    EXPECT_GE(s.mapWidth, 1) << step;
    EXPECT_LE(s.mapWidth, maxMapSidePoints) << step;
    EXPECT_GE(s.totalPoints, 1) << step;
    EXPECT_GE(s.expectedMinutes, 2) << step;
  }
}

TEST(ScanGeometry, ConstructionComputesTheDefaultGeometry) {
  // The default area (492, 411)-(739, 616) is 247 x 205 px; 1 um steps with
  // the 89 um placeholder field of view are 13.84 px; the spot is at (0, 0).
  const ScanState s = makeInitialScanState();
  EXPECT_FLOAT_EQ(s.pixelsPerStep, 13.842696f);
  EXPECT_EQ(s.mapWidth, 18);           // 247 / 13.84 + 1 = 18.8
  EXPECT_EQ(s.mapHeight, 15);          // 205 / 13.84 + 1 = 15.8
  EXPECT_EQ(s.totalPoints, 270);
  EXPECT_EQ(s.expectedMinutes, 3);     // confocal on: 540 / 500 + 2
  EXPECT_EQ(s.pointSizePx, 22);        // 400 / 18
  EXPECT_EQ(s.mapViewWidth, 400);
  EXPECT_EQ(s.mapViewHeight, 333);     // 400 x 15 / 18
  EXPECT_NEAR(s.startOffsetXUm, 35.5422, 1e-3);  // 492 x 89 / 1232
  EXPECT_NEAR(s.startOffsetYUm, 44.5722, 1e-3);  // (1028 - 411) x 89 / 1232
}

}  // namespace
