#pragma once
// The arithmetic of a curve in a plot window: the autoscaled ranges, the
// screen points and the label texts with their places. The window side
// frames the plot area, draws the X=/Y= texts, the segments between
// successive points (the first one of zero length) and the axis labels with
// TextOutA, whole texts with their trailing blanks, which wipe out the rest
// of a longer older label. Portable: no Win32 here.

#include "services/placed_text.h"

#include <cstdint>
#include <vector>

// The plot area in client pixels.
constexpr int plotLeft = 10;
constexpr int plotTop = 10;
constexpr int plotWidth = 400;
constexpr int plotHeight = 300;

struct PlotPoint {
  int x = 0;
  int y = 0;
};

struct CurvePlot {
  float xMin = 0, xMax = 0, yMin = 0, yMax = 0;  // after the widening of an empty range
  PlacedText xValue;                // "X=%.3f" of the last x at (15, 15)
  PlacedText yValue;                // "Y=%.3f" of the last y at (15, 30)
  std::vector<PlotPoint> points;    // screen points of first .. count - 1, y growing upward
  // "%.1f     " of xMin at (10, 313), "%.1f     " of the middle at (210, 313),
  // "%.1f      " of xMax at (400, 313), "%.3f     " of yMin at (413, 300),
  // "%.3f     " of yMax at (413, 10).
  PlacedText axisLabels[5];
};

// Plans drawCurve of xs, ys from first to count - 1: ranges over those
// points, an empty range widened to min + 0.1 (computed in double, stored as
// float); a point at trunc(10 + (x - xMin) * 400 / (xMax - xMin)),
// trunc(310 - (y - yMin) * 300 / (yMax - yMin)) in float, or at the middle
// (+200 / -150) of a range that is still empty. A coordinate that is not a
// number (NaN readings) is drawn at 0. False, with nothing to draw, when
// count <= first or first < 0.
bool planCurve(const float* xs, const float* ys, int first, int count, CurvePlot& plot);

// Pen colour of the next curve as a COLORREF: blue when the toggle is set
// (and clears it), red when it is clear (and sets it). The toggle starts at
// 1, so curves alternate blue, red, blue from program start.
std::uint32_t nextCurveColour(int& plotPenToggle);
