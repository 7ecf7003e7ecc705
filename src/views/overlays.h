#pragma once
// The marks drawn on the camera picture, on the screen and in the saved
// pictures alike: the scale bars, the laser-spot circle, click markers, the
// scan-area rectangle and the rubber band of an area being dragged.

#include <windows.h>

void drawScaleBar(HDC dc, double scale);
void drawWideScaleBar(HDC dc);
void drawSpot(HDC dc, int x, int y, int radius);
void drawSpot(HWND window, int x, int y, int radius);
void drawMarker(HWND window, int x, int y, int radius, COLORREF colour);
// Inverts the rectangle's outline: the same call twice restores the picture.
void drawRubberBand(HWND window, int x1, int y1, int x2, int y2);
void drawScanArea(HDC dc, int x1, int y1, int x2, int y2);
void drawScanArea(HWND window, int x1, int y1, int x2, int y2);
void drawScanArea(HDC dc, const int corners[4]);
