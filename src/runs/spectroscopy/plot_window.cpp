#include "runs/spectroscopy/plot_window.h"

#include "runs/spectroscopy/curve_plot.h"
#include "runs/spectroscopy/spectroscopy_record.h"
#include "views/gdi_objects.h"

#include <cstdio>

int plotPenToggle = 1;

namespace {

void drawText(HDC dc, const PlacedText& text) {
  TextOutA(dc, text.x, text.y, text.text.c_str(), static_cast<int>(text.text.size()));
}

}  // namespace

void drawPlotFrame(HDC dc, int x0, int y0, int width, int height) {
  Pen black(CreatePen(PS_SOLID, 0, RGB(0, 0, 0)));
  Selection pen(dc, black.get());
  Rectangle(dc, x0 - 1, y0 - 1, x0 + width + 1, y0 + height + 1);
}

int drawCurve(HWND window, const float* xs, const float* ys, int first, int count) {
  CurvePlot plot;
  // GetDC of a window closed during the run fails; GetDC(null) would be the
  // whole screen.
  if (!window || !IsWindow(window) || !planCurve(xs, ys, first, count, plot)) return 1;
  WindowDC dc(window);
  if (!dc.get()) return 1;
  drawPlotFrame(dc.get(), plotLeft, plotTop, plotWidth, plotHeight);
  Selection pen(dc.get(), GetStockObject(DC_PEN));
  SetDCPenColor(dc.get(), nextCurveColour(plotPenToggle));
  drawText(dc.get(), plot.xValue);
  drawText(dc.get(), plot.yValue);
  PlotPoint previous = plot.points.front();
  for (const PlotPoint& point : plot.points) {
    MoveToEx(dc.get(), previous.x, previous.y, nullptr);
    LineTo(dc.get(), point.x, point.y);
    previous = point;
  }
  for (const PlacedText& label : plot.axisLabels) drawText(dc.get(), label);
  return 1;
}

void drawRunText(SpectroscopyRecord& record, HWND window, const char* text) {
  std::snprintf(record.text, sizeof record.text, "%s", text);
  if (!window || !IsWindow(window)) return;
  WindowDC dc(window);
  if (dc.get()) drawText(dc.get(), {15, 45, record.text});
}
