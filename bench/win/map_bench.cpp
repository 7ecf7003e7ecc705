// The map scan and the map drawing on the real main window under Wine (or
// Windows), every device simulated (no stage library, the test current
// source, the camera's test pattern):
//  - a 50 x 40 map at 1 um on 50X, without and with the confocal option:
//    the time per point against the pauses the scan must make (5 ms per
//    point, 100 ms per row, and the fixed waits of the start and the end),
//    and against the same scan without its row journal;
//  - a full 949 x 792 map (the wide-view maximum) drawn into its window,
//    against one StretchBlt of a bitmap of the same size onto the same area.
//
//   map_bench [scans] [drawings]     defaults 5 and 200
//
// Each scan is run `scans` times (with and without the journal in turn) and
// the fastest run counts: what other programs take of the machine only adds.
//
// Prints figures and, for each target, "ok" or "OVER"; exit code 1 when a
// target is missed. Not a test: timings depend on the machine.

#include "console/main_window.h"
#include "devices/camera/camera.h"
#include "devices/measurement/current_reading.h"
#include "runs/mapping/map_drawing.h"
#include "runs/mapping/map_render.h"
#include "runs/mapping/map_scan.h"
#include "runs/mapping/scan_journal.h"
#include "runs/mapping/scan_points.h"
#include "services/data_paths.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "views/gdi_objects.h"
#include "views/live_display.h"

#include "win_bench.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// The pauses a scan of this geometry has to make whatever the machine: 5 ms
// after each point, 100 ms after each row move, and the fixed waits of the
// Start command (10 ms before, 10 ms in the switch back to Sample view) and
// of the scan's start (10 ms, and 50 ms once the area is drawn).
double mandatedMs(const ScanState& s) {
  return 5.0 * s.totalPoints + 100.0 * s.mapHeight + 10 + 10 + 10 + 50;
}

// One whole Start command; returns its time in ms.
double timedScan() {
  const double start = nowMs();
  SendMessageW(hMainWnd, WM_COMMAND, 2000, 0);
  const double ms = nowMs() - start;
  videoControl(0);
  pump();
  return ms;
}

struct Median {
  std::vector<double> ms;
  double value() {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
  }
};

template <typename Work>
double medianMs(int runs, Work work) {
  Median m;
  for (int i = 0; i < runs; ++i) {
    const double start = nowMs();
    work();
    m.ms.push_back(nowMs() - start);
  }
  return m.value();
}

}  // namespace

int main(int argc, char** argv) {
  const int scans = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int drawings = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  makeDataFolders();  // the scans save their maps there, as the program's do
  HINSTANCE instance = GetModuleHandleW(nullptr);
  registerWindowClasses(instance);
  if (!createMainWindow(instance, SW_SHOWNOACTIVATE)) return 2;
  pump();
  currentEquipment = 0;  // the test source: no meter
  scanState.laserSpotX = 616;
  scanState.laserSpotY = 514;
  applyFieldOfView(79.0);  // 50X
  scanState.stepUm = 1.0;
  const int area[4] = {100, 290, 865, 900};  // 765 x 610 px: 50 x 40 points
  std::copy(area, area + 4, scanState.selection);

  bool within = true;
  std::printf("Map scan of 50 x 40 points, every device simulated (ms per point)\n");
  beginFineTimer();
  std::printf("  parts (median of 300): pause of 5 ms %.3f, current reading %.3f, camera grab (test pattern) %.3f,"
              " colour at the spot %.3f\n",
              medianMs(300, [] { pumpMessages(5); }), medianMs(300, [] { readCurrent(); }),
              medianMs(300, [] { camera.grab(1); }),
              medianMs(300, [] { sampleSpotColour(camera.frameBuffer, 616, 514, cameraAperture); }));
  for (int confocal : {0, 1}) {
    confocalEnabled = confocal;
    computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
    const double floorMs = mandatedMs(scanState);
    // The scan as it runs, with its rows journaled and flushed to the disk,
    // against the same scan without the journal, turn about.
    double ms = 1e300, withoutJournalMs = 1e300;
    for (int run = 0; run < scans; ++run) {
      scanJournalOn = false;
      withoutJournalMs = std::min(withoutJournalMs, timedScan());
      scanJournalOn = true;
      ms = std::min(ms, timedScan());
    }
    const double points = scanState.totalPoints;
    const double ratio = ms / floorMs;
    const bool ok = ratio <= 1.10;
    const double journalRatio = ms / withoutJournalMs;
    const bool journalOk = journalRatio <= 1.02;
    within = within && ok && journalOk;
    std::printf("  %-14s measured %6.3f   mandated pauses %6.3f   ratio %.3f (target <= 1.10) %s\n",
                confocal ? "with confocal" : "current only", ms / points, floorMs / points, ratio, verdict(ok));
    std::printf("  %-14s without the row journal %6.3f   ratio with / without %.4f (target <= 1.02) %s\n", "",
                withoutJournalMs / points, journalRatio, verdict(journalOk));
  }

  // The largest map: 949 x 792 points, drawn into a window of its size.
  scanState.viewScale = 3;
  std::copy(area, area + 4, scanState.selection);
  scanState.stepUm = 0.25;
  computeScanGeometry(scanState, 79.0, 0);
  DestroyWindow(hMapWnd);
  mapBuffers.allocate(949, 792);
  std::mt19937 random(3);
  std::uniform_real_distribution<float> current(-5.0f, 5.0f);
  for (float& v : mapBuffers.intensity) v = current(random);
  scanState.mapViewWidth = 949;
  scanState.mapViewHeight = 792;
  ensureMapWindows();
  SetWindowPos(hMapWnd, HWND_TOP, 0, 0, 949 + colourBarMarginPx, 792, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  pump();
  RECT client;
  GetClientRect(hMapWnd, &client);

  HDC windowDC = GetDC(hMapWnd);
  HDC memoryDC = CreateCompatibleDC(windowDC);
  HBITMAP bitmap = CreateCompatibleBitmap(windowDC, 949, 792);
  HGDIOBJ previous = SelectObject(memoryDC, bitmap);
  SetStretchBltMode(windowDC, COLORONCOLOR);
  Median draw, stretch, whole;
  for (int i = 0; i < drawings; ++i) {
    double t0 = nowMs();
    StretchBlt(windowDC, 0, 0, client.right - colourBarMarginPx, client.bottom, memoryDC, 0, 0, 949, 792, SRCCOPY);
    GdiFlush();
    double t1 = nowMs();
    drawMap(mapBuffers, hMapWnd, -1, false, true);
    GdiFlush();
    double t2 = nowMs();
    drawIntensityView(mapBuffers, hMapWnd, -1, true);
    GdiFlush();
    double t3 = nowMs();
    stretch.ms.push_back(t1 - t0);
    draw.ms.push_back(t2 - t1);
    whole.ms.push_back(t3 - t2);
    if (i % 20 == 0) pump();
  }
  SelectObject(memoryDC, previous);
  DeleteObject(bitmap);
  DeleteDC(memoryDC);
  ReleaseDC(hMapWnd, windowDC);

  const double drawMs = draw.value();
  const double wholeMs = whole.value();
  const double stretchMs = stretch.value();
  const bool drawOk = wholeMs < 20.0;
  within = within && drawOk;
  std::printf("Drawing a 949 x 792 map into its %ld x %ld window, %d times (median ms)\n", client.right,
              client.bottom, drawings);
  std::printf("  one StretchBlt of a bitmap of that size      %7.3f\n", stretchMs);
  std::printf("  drawMap (range, pixels, bitmap, stretch)     %7.3f   %.2f x the StretchBlt\n", drawMs,
              drawMs / stretchMs);
  std::printf("  with colour bar and labels                   %7.3f   %.2f x the StretchBlt (target < 20 ms) %s\n",
              wholeMs, wholeMs / stretchMs, verdict(drawOk));
  std::printf("  GDI failures reported while drawing: %d\n", mapDrawingFailures);

  DestroyWindow(hMainWnd);
  return within ? 0 : 1;
}
