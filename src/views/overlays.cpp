#include "views/overlays.h"

#include "devices/camera/camera.h"
#include "services/program_state.h"
#include "services/scan_geometry.h"
#include "views/gdi_objects.h"
#include "views/scale_bar.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF green = RGB(0, 255, 0);
constexpr COLORREF blue = RGB(0, 0, 255);
constexpr COLORREF black = RGB(0, 0, 0);
constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF yellow = RGB(255, 255, 0);

void hollowEllipse(HDC dc, int x, int y, int radius, COLORREF colour) {
  if (!dc || radius <= 0) return;  // radius 0: no circle at all
  Pen pen(CreatePen(PS_SOLID, 1, colour));
  Selection penSelected(dc, pen.get());
  Selection brushSelected(dc, GetStockObject(NULL_BRUSH));
  Ellipse(dc, x - radius, y - radius, x + radius, y + radius);
}

// Text with a one-pixel outline: the outline colour at the four shifts,
// then the text itself on top.
void outlinedText(HDC dc, int x, int y, const char* text, const LabelOffset outline[4], COLORREF outlineColour,
                  COLORREF textColour) {
  const int length = static_cast<int>(std::strlen(text));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, outlineColour);
  for (int i = 0; i < 4; ++i) TextOutA(dc, x + outline[i].dx, y + outline[i].dy, text, length);
  SetTextColor(dc, textColour);
  TextOutA(dc, x, y, text, length);
}

}  // namespace

void drawScaleBar(HDC dc, double scale) {
  const LiveScaleBar bar = liveScaleBar(camera.scaleBarFieldUm, scale, camera.frameWidth, camera.frameHeight);
  {
    Pen pen(CreatePen(PS_SOLID, 1, blue));
    camera.scaleBarPen = pen.get();
    Selection selected(dc, pen.get());
    Rectangle(dc, bar.left, bar.top, bar.right, bar.bottom);
  }
  camera.scaleBarPen = nullptr;
  std::snprintf(camera.statusText, sizeof camera.statusText, "%d um", bar.lengthUm);
  outlinedText(dc, bar.labelX, bar.labelY, camera.statusText, liveLabelOutline, black, white);
}

void drawWideScaleBar(HDC dc) {
  const WideScaleBar bar = wideScaleBar(imageWidthPx, imageHeightPx, fieldOfViewUm, wideViewShown != 0);
  Pen pen(CreatePen(PS_SOLID, 1, black));
  Brush brush(CreateSolidBrush(yellow));
  {
    Selection penSelected(dc, pen.get());
    Selection brushSelected(dc, brush.get());
    Rectangle(dc, bar.left, bar.top, bar.right, bar.bottom);
  }
  char label[32];
  std::snprintf(label, sizeof label, "%d um", bar.labelUm);
  outlinedText(dc, bar.labelX, bar.labelY, label, wideLabelOutline, black, yellow);
}

void drawSpot(HDC dc, int x, int y, int radius) { hollowEllipse(dc, x, y, radius, red); }

void drawSpot(HWND window, int x, int y, int radius) {
  WindowDC dc(window);
  hollowEllipse(dc.get(), x, y, radius, red);
}

void drawMarker(HWND window, int x, int y, int radius, COLORREF colour) {
  WindowDC dc(window);
  hollowEllipse(dc.get(), x, y, radius, colour);
}

void drawRubberBand(HWND window, int x1, int y1, int x2, int y2) {
  WindowDC dc(window);
  if (!dc.get()) return;
  const int previousMode = SetROP2(dc.get(), R2_NOT);
  {
    Selection brushSelected(dc.get(), GetStockObject(NULL_BRUSH));
    Rectangle(dc.get(), x1, y1, x2, y2);
  }
  SetROP2(dc.get(), previousMode);
}

void drawScanArea(HDC dc, int x1, int y1, int x2, int y2) {
  if (!dc) return;
  Pen pen(CreatePen(PS_SOLID, 0, green));
  Selection penSelected(dc, pen.get());
  Selection brushSelected(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, x1, y1, x2, y2);
}

void drawScanArea(HWND window, int x1, int y1, int x2, int y2) {
  WindowDC dc(window);
  drawScanArea(dc.get(), x1, y1, x2, y2);
}

void drawScanArea(HDC dc, const int corners[4]) { drawScanArea(dc, corners[0], corners[1], corners[2], corners[3]); }
