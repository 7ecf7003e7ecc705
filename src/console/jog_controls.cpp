#include "console/jog_controls.h"

#include "devices/motion/stage_axis.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/live_display.h"

namespace {

constexpr COLORREF restingColour = RGB(200, 200, 200);
constexpr COLORREF movingColour = RGB(255, 200, 100);

StageAxis& axisOf(JogAxis axis) {
  switch (axis) {
    case JogAxis::X: return stageX;
    case JogAxis::Y: return stageY;
    default: return stageZ;
  }
}

void drawButton(HDC dc, const int* r, COLORREF fill, const char* label) {
  const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
  const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  SetDCBrushColor(dc, fill);
  Rectangle(dc, r[0], r[1], r[2], r[3]);
  RECT box = {r[0], r[1], r[2], r[3]};
  char text[16];
  lstrcpynA(text, label, sizeof text);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawTextExA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE, nullptr);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
}

// Draws on the window outside WM_PAINT, with a device context of its own.
template <typename Draw>
void drawOnMainWindow(Draw draw) {
  if (!hMainWnd) return;
  const HDC dc = GetDC(hMainWnd);
  if (!dc) return;
  draw(dc);
  ReleaseDC(hMainWnd, dc);
}

}  // namespace

void keyboardJog(int virtualKey) {
  const std::optional<JogMove> move = keyJogMove(virtualKey);
  if (!move || !devicesFree()) return;
  DeviceBusyScope busy;
  const int videoWasOn = videoControl(4);
  if (videoWasOn) videoControl(0);
  moveAxisBy(axisOf(move->axis), move->distanceUm);
  pumpMessages(10);
  videoControl(7);
  refreshPositionFields();
  if (videoWasOn) videoControl(1);
}

void jogPadPress(JogPad& pad, int x, int y) {
  pad.released = 0;
  // Inside another wait the release could never be dispatched (a nested
  // pump returns at once), so the movement would never end.
  if (!devicesFree() || pumpActive) return;
  DeviceBusyScope busy;
  pad.videoWasOn = videoControl(4);
  if (pad.videoWasOn) videoControl(0);
  const std::optional<JogButton> button = jogButtonAt(pad, x, y);
  if (button) {
    drawOnMainWindow([&](HDC dc) { drawButton(dc, pad.buttons[*button], movingColour, "moving"); });
    // The release ends the movement wherever it happens; the capture brings
    // it here even outside the window, and losing the capture ends it too.
    SetCapture(hMainWnd);
    const JogMove move = jogPadMove(pad, *button);
    while (!pad.released && IsWindow(hMainWnd)) {
      moveAxisBy(axisOf(move.axis), move.distanceUm);
      refreshPositionFields();
      pumpMessages(10);
      pumpMessages(10);
      videoControl(7);
    }
    if (GetCapture() == hMainWnd) ReleaseCapture();
  }
  if (pad.videoWasOn) videoControl(1);
  pumpMessages(20);
  refreshPositionFields();
}

void jogPadRelease(JogPad& pad) {
  if (pad.released) return;
  pad.released = 1;
  drawOnMainWindow([&](HDC dc) { paintJogPad(pad, dc); });
}

void paintJogPad(const JogPad& pad, HDC dc) {
  for (int i = 0; i < jogButtonCount; ++i) drawButton(dc, pad.buttons[i], restingColour, jogButtonLabels[i]);
}
