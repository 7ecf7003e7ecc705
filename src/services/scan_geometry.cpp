#include "services/scan_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {

// Points along one side: trunc(extent / pixelsPerStep + 1), in float as the
// estimate has always been computed. A step that is zero, negative or not a
// number (a hand-edited settings file) would make this infinite; such a step
// gives one point, and a huge count is capped so the int cannot overflow.
int pointsAlong(int extentPx, float pixelsPerStep) {
  if (!(pixelsPerStep > 0.0f) || !std::isfinite(pixelsPerStep)) return 1;
  const float points = static_cast<float>(std::abs(extentPx)) / pixelsPerStep + 1.0f;
  if (!(points < static_cast<float>(maxMapSidePoints))) return maxMapSidePoints;
  return static_cast<int>(points);
}

}  // namespace

int computeScanGeometry(ScanState& s, double fieldOfViewUm, int confocalEnabled) {
  const int k = s.viewScale;
  const int x1 = s.selection[0], y1 = s.selection[1];
  const int x2 = s.selection[2], y2 = s.selection[3];

  s.pixelsPerStep = static_cast<float>(s.stepUm / k * 1232.0 / fieldOfViewUm);
  s.mapWidth = pointsAlong(x1 - x2, s.pixelsPerStep);
  s.mapHeight = pointsAlong(y1 - y2, s.pixelsPerStep);
  std::copy(std::begin(s.selection), std::end(s.selection), std::begin(s.selectionCopy));
  s.totalPoints = s.mapWidth * s.mapHeight;

  const int longest = std::max(s.mapWidth, s.mapHeight);
  s.pointSizePx = s.mapViewSize / longest;
  if (s.mapWidth >= s.mapViewSize) {
    s.mapViewWidth = s.mapWidth;
    s.mapViewHeight = s.mapHeight;
  } else {
    s.mapViewWidth = s.mapViewSize * s.mapWidth / longest;
    s.mapViewHeight = s.mapViewSize * s.mapHeight / longest;
  }

  s.scanLeftPx = std::min(x1, x2);
  s.scanTopPx = std::min(y1, y2);
  s.realLeftPx = (s.scanLeftPx - s.viewCentreX) * k + s.viewCentreX;
  s.realTopPx = (s.scanTopPx - s.viewCentreY) * k + s.viewCentreY;

  s.laserSpotXf = static_cast<float>(s.laserSpotX);
  s.laserSpotYTop = static_cast<float>(imageHeightPx - s.laserSpotY);

  s.startOffsetXUm = static_cast<float>((s.realLeftPx - s.laserSpotXf) * fieldOfViewUm / 1232.0);
  s.startOffsetYUm = static_cast<float>(-((s.realTopPx - s.laserSpotYTop) * fieldOfViewUm / 1232.0));

  long long n = s.totalPoints;
  if (confocalEnabled) n *= 2;
  s.expectedMinutes = static_cast<int>(n / 500 + 2);
  return s.expectedMinutes;
}

ScanState makeInitialScanState() {
  ScanState s;
  computeScanGeometry(s, 89.0, 1);
  return s;
}
