#include "runs/mapping/wide_view.h"

#include "devices/camera/camera.h"
#include "devices/motion/stage_axis.h"
#include "runs/mapping/wide_view_plan.h"
#include "services/device_faults.h"
#include "services/instrument_safety.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/live_display.h"
#include "views/overlays.h"

#include <windows.h>

namespace {

constexpr int tilesPerSide = 3;
constexpr unsigned tilePumpMs = 1;
constexpr unsigned returnPumpMs = 10;

void drawWideScaleBarOnWindow() {
  HDC dc = GetDC(hMainWnd);
  if (!dc) return;
  drawWideScaleBar(dc);
  ReleaseDC(hMainWnd, dc);
}

}  // namespace

int runWideView() {
  const StagePoint start{stageX.positionUm, stageY.positionUm};
  showInfo("Wide view imaging");
  stopRequested = 0;
  scanRunning = 1;
  wideViewShown = 1;
  scanState.viewScale = tilesPerSide;
  computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);

  const double w = fieldOfViewUm;
  const double h = fieldOfViewHeightUm;
  const StagePoint first = wideViewFirstMove(start, w, h);
  moveAxesTo(stageX, stageY, first.xUm, first.yUm);
  pumpMessages(wideViewSettleMs);

  for (const WideViewTile& tile : wideViewTiles(start, w, h)) {
    moveAxesTo(stageX, stageY, tile.position.xUm, tile.position.yUm);
    // A frame taken where the stage stopped (failed, or stopped by the
    // make-safe round) would sit in another place's cell.
    if (deviceFailed(FaultyDevice::stage) || outputsLatchedOff()) break;
    if (tile.settle) pumpMessages(wideViewSettleMs);
    camera.grab(1);
    showTile(hMainWnd, camera.frameBuffer, tile.column, tile.row, tilesPerSide);
    refreshPositionFields();
    pumpMessages(tilePumpMs);
    if (stopRequested) break;
  }

  drawWideScaleBarOnWindow();
  moveAxesTo(stageX, stageY, start.xUm, start.yUm);
  refreshPositionFields();
  pumpMessages(returnPumpMs);
  scanRunning = 0;
  return 1;
}
