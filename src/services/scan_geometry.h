#pragma once
// The scan state and the geometry that turns a rectangle dragged on the
// camera picture into a grid of stage offsets from the laser spot.
// Portable: no Win32 here.

constexpr int imageWidthPx = 1232;   // camera picture width, pixels
constexpr int imageHeightPx = 1028;  // camera picture height, pixels
// The camera frame: 4 bytes per pixel (blue, green, red, unused), rows
// bottom-up without gaps, so a position counted from the bottom lies at
// byte y * frameStrideBytes + x * 4.
constexpr int frameStrideBytes = imageWidthPx * 4;

struct ScanState {
  int laserSpotX = 0;                 // camera px
  int laserSpotY = 0;                 // camera px, counted upward from the bottom edge
  double stepUm = 1.0;                // scan step
  int selection[4] = {imageWidthPx * 2 / 5, imageHeightPx * 2 / 5,
                      imageWidthPx * 3 / 5, imageHeightPx * 3 / 5};  // x1, y1, x2, y2 (y downward)
  int selectionCopy[4] = {imageWidthPx * 2 / 5, imageHeightPx * 2 / 5,
                          imageWidthPx * 3 / 5, imageHeightPx * 3 / 5};
  int mapWidth = 0;                   // points per row
  int mapHeight = 0;                  // rows
  int totalPoints = 0;
  int viewScale = 1;                  // camera px per displayed px: 1 live video, 3 wide view
  int mapViewWidth = 0;               // map drawing area, px
  int mapViewHeight = 0;
  float pixelsPerStep = 0.0f;         // displayed px per scan step
  int viewCentreX = imageWidthPx / 2; // centre about which a wide-view selection is scaled
  int viewCentreY = imageHeightPx / 2;
  int pointSizePx = 1;                // map-window px per map point
  int scanLeftPx = 0;
  int scanTopPx = 0;
  int savedZ = 0;                     // um, Z at the start of the last map scan
  double defocusUm = 0.0;             // "Defocus (Dz) um"
  float startOffsetXUm = 0.0f;        // stage offset from the laser spot to the first point
  float startOffsetYUm = 0.0f;
  int expectedMinutes = 0;
  int sampleView = 1;                 // 1 Sample view, 0 Laser view
  int zCreepCorrection = 0;
  int mapViewSize = 400;              // longest side of a map window, px
  int realLeftPx = 0;                 // scan corner after undoing viewScale
  int realTopPx = 0;
  float laserSpotXf = 0.0f;
  float laserSpotYTop = 0.0f;         // laser spot y counted downward
};

// The largest number of points per side the geometry hands out. It keeps
// mapWidth * mapHeight (and its double for the estimate) inside an int even
// for an absurdly small step read from a settings file.
constexpr int maxMapSidePoints = 46340;

// Recomputes every derived field of s for the given objective field of view
// (um across the picture) and the confocal option; returns expectedMinutes.
int computeScanGeometry(ScanState& s, double fieldOfViewUm, int confocalEnabled);

// The scan state as the program starts: defaults, geometry computed once with
// the default field of view (89 um) and the confocal option on.
ScanState makeInitialScanState();
