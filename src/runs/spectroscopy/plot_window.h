#pragma once
// The line plot with autoscaled axes that the I-V sweep and the time
// evolution draw into the "IV" windows while they run.

#include <windows.h>

struct SpectroscopyRecord;

// Pen colour of the next curve: set, blue (and cleared); clear, red (and
// set). Starts set, so curves alternate blue, red, blue from program start.
extern int plotPenToggle;

// Draws points first .. count - 1 of xs, ys as a connected line into the
// 400 x 300 plot area at (10, 10), which it clears and frames first, with
// the last point's "X=%.3f" and "Y=%.3f" and the five axis labels. Nothing
// is drawn when count <= first or the window is gone (closed during a run).
// Returns 1.
int drawCurve(HWND window, const float* xs, const float* ys, int first, int count);

// Clears and frames the plot area: a one-pixel black rectangle around it,
// filled with the device context's brush.
void drawPlotFrame(HDC dc, int x0, int y0, int width, int height);

// A run's text (start, finish) into the record's scratch and drawn at
// (15, 45) in the window, trailing blanks included.
void drawRunText(SpectroscopyRecord& record, HWND window, const char* text);
