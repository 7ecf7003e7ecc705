#include "runs/mapping/area_selection.h"

#include "runs/mapping/scan_area.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/overlays.h"

#include <windows.h>

namespace {

constexpr COLORREF startMark = RGB(255, 0, 0);

bool onPicture(int x, int y) { return x <= imageWidthPx && y <= imageHeightPx; }

void drawBand() { drawRubberBand(hMainWnd, dragStart.x, dragStart.y, dragEnd.x, dragEnd.y); }

}  // namespace

void takeScanArea(int x1, int y1, int x2, int y2) {
  int* selection = scanState.selection;
  selection[0] = x1;
  selection[1] = y1;
  selection[2] = x2;
  selection[3] = y2;
  computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
  SetWindowTextA(hTimeEdit, expectedMinutesText(scanState.expectedMinutes).c_str());
  showInfo("New scan area was selected.");
  drawScanArea(hMainWnd, selection[0], selection[1], selection[2], selection[3]);
}

void beginAreaDrag(int x, int y) {
  // A run owns the picture; clicks on it are the pump's stop requests.
  if (scanRunning || areaDragActive || !onPicture(x, y)) return;
  drawMarker(hMainWnd, x, y, 2, startMark);
  dragStart = dragEnd = {x, y};
  areaDragActive = 1;
  drawBand();
}

void dragAreaTo(int x, int y) {
  if (!areaDragActive || !onPicture(x, y)) return;
  drawBand();  // the old band, removed
  dragEnd = {x, y};
  drawBand();
}

void finishAreaDrag() {
  if (!areaDragActive) return;
  if (areaDragCounts(dragStart.x, dragStart.y, dragEnd.x, dragEnd.y)) {
    if (objectiveSettings.current < lowestScanObjective) {
      MessageBoxA(hMainWnd, "Scan area should be selected on 50x or 100x objective", "Warning", MB_OK);
    } else {
      const std::string title = areaQuestionTitle(dragStart.x, dragStart.y, dragEnd.x, dragEnd.y, fieldOfViewUm,
                                                  wideViewShown ? scanState.viewScale : 1);
      if (MessageBoxA(hMainWnd, "Do you want to set it for next scan area", title.c_str(), MB_YESNO) == IDYES) {
        takeScanArea(dragStart.x, dragStart.y, dragEnd.x, dragEnd.y);
      } else {
        drawBand();
      }
    }
  }
  areaDragActive = 0;
}
