#include "runs/mapping/map_commands.h"

#include "results/result_files.h"
#include "results/result_record_files.h"
#include "runs/mapping/map_drawing.h"
#include "runs/mapping/map_files.h"
#include "runs/mapping/map_scan.h"
#include "services/data_paths.h"
#include "services/program_state.h"
#include "services/ui_handles.h"

#include <windows.h>

namespace {

// Shown, and whatever showing it erases erased, before the map goes on it.
void showMapWindow(HWND window) {
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
}

}  // namespace

void showNerinView() {
  ensureMapWindows();
  showMapWindow(hMapWnd);
  drawIntensityView(mapBuffers, hMapWnd, -1, false);
  SetFocus(hMainWnd);
}

void showConfocalImage(int channel) {
  if (channel == confocalAll && !confocalEnabled) {
    SetFocus(hMainWnd);
    return;
  }
  ensureMapWindows();
  showMapWindow(hConfocalWnd);
  drawMap(mapBuffers, hConfocalWnd, -1, true, false, channel);
  SetFocus(hMainWnd);
}

void saveMapsCommand() {
  if (!devicesFree()) return;
  if (!mapScanned()) {
    MessageBoxA(hMainWnd, "No map has been scanned yet, so there is nothing to save.", "Notice", MB_OK);
    return;
  }
  makeMeasurementFolder(dataPaths, false);
  writeRecordsBeside(saveMaps(mapBuffers, confocalEnabled != 0), mapScanRecord());
}
