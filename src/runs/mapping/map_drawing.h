#pragma once
// The maps drawn into their windows: the photocurrent in false colour with
// its colour bar and range labels in "Nerin View", and the confocal colour
// image, or one of its channels, in "Confocal Image". Each map goes into a
// bitmap of one pixel per point and onto the window in one stretch, so a
// window never shows a half-drawn map. The windows keep nothing: what covers
// them stays until the next drawing.

#include "runs/mapping/map_buffers.h"

#include <windows.h>

// GDI failures met while drawing maps in this run; each one is also
// reported on the status line, never in a message box.
extern int mapDrawingFailures;

enum ConfocalChannel { confocalRed = 1, confocalGreen = 2, confocalBlue = 3, confocalAll = 4 };

// Draws one map into the window's client area: the confocal image (all of
// it, in the channel given), or the intensity rows up to lastRow (negative:
// all) with the range of the rows drawn, top-first during a scan, seeded
// from the bottom-left point otherwise; the intensity leaves the colour bar's
// margin free at the right. Returns true.
bool drawMap(MapBuffers& map, HWND window, int lastRow, bool confocal, bool topFirst = false,
             int channel = confocalAll);
// The vertical colour bar at the right edge of the window, low end at the bottom.
void drawColourBar(const MapBuffers& map, HWND window);
// The range of the last intensity drawing beside the colour bar, "%.2f%s".
void drawScaleLabels(const MapBuffers& map, HWND window, const char* unit);
// The intensity map with its bar and labels: what "Nerin View" shows.
void drawIntensityView(MapBuffers& map, HWND window, int lastRow, bool topFirst);

// The "Nerin View" and "Confocal Image" windows, created (hidden) when they
// do not exist, with the map size in force; showing them is the caller's.
void ensureMapWindows();
