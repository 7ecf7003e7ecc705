#include "runs/mapping/scan_area.h"

#include "services/scan_geometry.h"

#include <cstdio>
#include <cstdlib>

bool areaDragCounts(int x1, int y1, int x2, int y2) {
  const long long dx = std::llabs(static_cast<long long>(x2) - x1);
  const long long dy = std::llabs(static_cast<long long>(y2) - y1);
  return (dx > dy ? dx : dy) > areaDragThresholdPx;
}

std::string areaQuestionTitle(int x1, int y1, int x2, int y2, double fieldOfViewUm, int viewScale) {
  const double umPerPixel = fieldOfViewUm / imageWidthPx;
  const double width = static_cast<double>(std::llabs(static_cast<long long>(x2) - x1)) * umPerPixel * viewScale;
  const double height = static_cast<double>(std::llabs(static_cast<long long>(y2) - y1)) * umPerPixel * viewScale;
  char text[100];
  std::snprintf(text, sizeof text, "Area: %.1f um x %.1f um", width, height);
  return text;
}

std::string expectedMinutesText(int minutes) {
  char text[40];
  std::snprintf(text, sizeof text, "%d min. expected", minutes);
  return text;
}
