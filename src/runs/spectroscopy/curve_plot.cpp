#include "runs/spectroscopy/curve_plot.h"

#include <cstdio>

namespace {

// Truncation toward zero that cannot overflow: NaN is 0, the rest is held
// far outside any window.
int screenCoordinate(float v) {
  if (!(v == v)) return 0;
  if (v > 1e9f) return 1000000000;
  if (v < -1e9f) return -1000000000;
  return static_cast<int>(v);
}

void widen(float low, float& high) {
  if (high == low) high = static_cast<float>(static_cast<double>(low) + 0.1);
}

PlacedText label(int x, int y, const char* format, float value) {
  char text[100];
  std::snprintf(text, sizeof text, format, static_cast<double>(value));
  return {x, y, text};
}

}  // namespace

bool planCurve(const float* xs, const float* ys, int first, int count, CurvePlot& plot) {
  if (!xs || !ys || first < 0 || count <= first) return false;
  plot.xMin = plot.xMax = xs[first];
  plot.yMin = plot.yMax = ys[first];
  plot.xValue = label(plotLeft + 5, plotTop + 5, "X=%.3f", xs[count - 1]);
  plot.yValue = label(plotLeft + 5, plotTop + 20, "Y=%.3f", ys[count - 1]);
  for (int i = first; i < count; ++i) {
    if (xs[i] > plot.xMax) plot.xMax = xs[i];
    if (xs[i] < plot.xMin) plot.xMin = xs[i];
    if (ys[i] > plot.yMax) plot.yMax = ys[i];
    if (ys[i] < plot.yMin) plot.yMin = ys[i];
  }
  widen(plot.xMin, plot.xMax);
  widen(plot.yMin, plot.yMax);

  const float xSpan = plot.xMax - plot.xMin;
  const float ySpan = plot.yMax - plot.yMin;
  plot.points.clear();
  plot.points.reserve(static_cast<size_t>(count - first));
  for (int i = first; i < count; ++i) {
    const float px = xSpan != 0.0f ? (xs[i] - plot.xMin) * plotWidth / xSpan : static_cast<float>(plotWidth / 2);
    const float py = ySpan != 0.0f ? (ys[i] - plot.yMin) * plotHeight / ySpan : static_cast<float>(plotHeight / 2);
    plot.points.push_back({screenCoordinate(plotLeft + px), screenCoordinate((plotTop + plotHeight) - py)});
  }

  const int below = plotTop + plotHeight + 3;
  plot.axisLabels[0] = label(plotLeft, below, "%.1f     ", plot.xMin);
  plot.axisLabels[1] = label(plotLeft + plotWidth / 2, below, "%.1f     ", (plot.xMax + plot.xMin) / 2);
  // The right-hand labels sit where they always have: xMax at x = 400 (not
  // 410) and yMin at y = 300 (not 310), tucked against the frame's corner.
  plot.axisLabels[2] = label(plotWidth, below, "%.1f      ", plot.xMax);
  plot.axisLabels[3] = label(plotLeft + plotWidth + 3, plotHeight, "%.3f     ", plot.yMin);
  plot.axisLabels[4] = label(plotLeft + plotWidth + 3, plotTop, "%.3f     ", plot.yMax);
  return true;
}

std::uint32_t nextCurveColour(int& plotPenToggle) {
  if (plotPenToggle) {
    plotPenToggle = 0;
    return 0xFF0000;  // blue
  }
  plotPenToggle = 1;
  return 0x0000FF;  // red
}
