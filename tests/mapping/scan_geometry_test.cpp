#include "mapping/scan_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
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
  EXPECT_FLOAT_EQ(s.pixelsPerStep, static_cast<float>(1232.0 / 79.0));
  EXPECT_EQ(s.mapWidth, 50);
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
  EXPECT_EQ(s.realLeftPx, (516 - 616) * 3 + 616);
  EXPECT_EQ(s.realTopPx, (414 - 514) * 3 + 514);
  EXPECT_FLOAT_EQ(s.pixelsPerStep, static_cast<float>(1.0 / 3 * 1232.0 / 79.0));
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
  const ScanState s = makeInitialScanState();
  EXPECT_EQ(s.selection[0], 492);
  EXPECT_EQ(s.selection[3], 616);
  EXPECT_GT(s.mapWidth, 0);
  EXPECT_GT(s.expectedMinutes, 0);
  EXPECT_FLOAT_EQ(s.pixelsPerStep, static_cast<float>(1232.0 / 89.0));
  EXPECT_EQ(s.mapWidth, static_cast<int>(247.0f / s.pixelsPerStep + 1.0f));
}

}  // namespace
