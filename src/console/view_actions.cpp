#include "console/view_actions.h"

#include "console/image_click.h"
#include "devices/camera/camera.h"
#include "devices/motion/stage_axis.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/live_display.h"
#include "views/overlays.h"

#include <windows.h>

#include <cstdio>
#include <optional>

namespace {

constexpr COLORREF laserSpotMarker = RGB(255, 0, 0);
constexpr COLORREF moveMarker = RGB(0, 255, 0);
constexpr int markerRadius = 2;

// Marks the clicked point and asks about it, titled with the point (y from
// the bottom) and the blue of the last frame there.
int askAboutPoint(const ImageClick& click, COLORREF marker, const char* question, UINT buttons) {
  drawMarker(hMainWnd, click.x, click.yTop, markerRadius, marker);
  const int blue = camera.frameBuffer ? camera.frameBuffer[framePixelOffset(click)] : 0;
  char title[100];
  std::snprintf(title, sizeof title, "Position: (%d,%d), Blue intensity:%d", click.x, click.y, blue);
  return MessageBoxA(hMainWnd, question, title, buttons);
}

}  // namespace

void setLaserSpotAt(int x, int yTop) {
  const std::optional<ImageClick> click = imageClickAt(x, yTop);
  if (!click || !devicesFree()) return;
  // Live video holds still while the question is open, so the mark stays.
  DeviceBusyScope busy;
  if (askAboutPoint(*click, laserSpotMarker, "Do you want to set the laser beam spot here?", MB_YESNO) == IDYES) {
    // The scan geometry takes the new spot at its next recomputation.
    scanState.laserSpotX = click->x;
    scanState.laserSpotY = click->y;
  }
}

void moveToClickedPoint(int x, int yTop) {
  const std::optional<ImageClick> click = imageClickAt(x, yTop);
  if (!click || !devicesFree()) return;
  DeviceBusyScope busy;
  const int answer = askAboutPoint(*click, moveMarker,
                                   "If you want to move this position, \n to center -> press \"YES\", or\n to "
                                   "laser spot -> press \"NO\".",
                                   MB_YESNOCANCEL);
  if (answer != IDYES && answer != IDNO) return;
  const ClickTarget target = answer == IDYES ? ClickTarget::ImageCentre : ClickTarget::LaserSpot;
  const int viewScale = wideViewShown ? scanState.viewScale : 1;
  const StageOffset offset =
      clickOffsetUm(*click, target, scanState.laserSpotX, scanState.laserSpotY, fieldOfViewUm, viewScale);
  moveAxesBy(stageX, stageY, offset.xUm, offset.yUm, scanSpeed);
  pumpMessages(300);
  camera.grab(1);
  showCamera(camera, hMainWnd);
  refreshPositionFields();
}
