#pragma once
// The arithmetic of one map scan: where the stage goes for each point, where
// the point is marked on the camera picture, the progress text and the
// colour the camera sees at the laser spot. The window side moves, reads and
// draws; these say where and what. Portable: no Win32 here.

#include "services/scan_geometry.h"

#include <cstdint>
#include <string>

// Absolute stage position, um.
struct StagePoint {
  double xUm = 0.0;
  double yUm = 0.0;
};

// The first map point: the stage position at the start (X0, Y0) plus the
// geometry's offset from the laser spot to the scan corner.
StagePoint scanCorner(const ScanState& s, double x0Um, double y0Um);

// The approach before the first row, each move followed by a settling
// reading: (x0 - 20, y0 - 20), (x0 + 20, y0 + 20), (x0 - 2, y0). The 20 um and
// 2 um moves take up the backlash, so every row is entered from the same side.
constexpr int approachMoveCount = 3;
void approachMoves(StagePoint corner, StagePoint moves[approachMoveCount]);

// Stage position of map point (i, j): (x0 + i * step, y0 - j * step). Row j
// lies j steps below the first row, toward smaller stage Y.
StagePoint scanPointPosition(StagePoint corner, double stepUm, int i, int j);

// Camera pixel where point (i, j) is marked: the truncations of
// i * pixelsPerStep + scanLeftPx and j * pixelsPerStep + scanTopPx, in float.
struct MarkerPixel {
  int x = 0;
  int y = 0;
};
MarkerPixel scanPointMarker(const ScanState& s, int i, int j);

// The marker is the 2 x 2 pixels from (x, y); a pixel is painted only when
// its linear index x + y * imageWidthPx lies inside the picture's
// 0 .. imageWidthPx * imageHeightPx - 1.
bool markerPixelInside(int x, int y);

// "Mapping: %d%% done" for count of total points done (integer percent).
std::string mappingProgressText(long long count, long long total);

// The average colour of the camera window around the laser spot (lx, ly),
// y counted from the bottom: x from max(lx - a, 0) up to but excluding
// min(lx + a, width), likewise y; each channel's mean truncated. Packed as
// a COLORREF: red | green << 8 | blue << 16. An empty window (aperture 0 or
// less, a spot off the picture) or no frame gives 0.
std::uint32_t sampleSpotColour(const std::uint8_t* frame, int lx, int ly, int aperture);
