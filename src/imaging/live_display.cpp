#include "imaging/live_display.h"

#include "imaging/camera.h"
#include "imaging/gdi_objects.h"
#include "imaging/image_files.h"
#include "imaging/scale_bar.h"
#include "shell/scan_geometry.h"
#include "measurement/current_reading.h"
#include "motion/arduino_link.h"
#include "resources/resource_ids.h"
#include "shell/message_pump.h"
#include "shell/program_state.h"
#include "shell/reporting.h"
#include "shell/ui_handles.h"

#include <cstdio>
#include <cstring>
#include <memory>

int videoRunning = 0;
int videoWasRunning = 0;
int displayBusy = 0;

namespace {

constexpr int idleTickLimit = 100000;  // about 2 h 47 min without input at 100 ms
constexpr int displayWidth = 1232;     // the camera area of the main window

constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF green = RGB(0, 255, 0);
constexpr COLORREF blue = RGB(0, 0, 255);
constexpr COLORREF black = RGB(0, 0, 0);
constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF yellow = RGB(255, 255, 0);

// A live picture replaces the wide-view mosaic, and with it the mosaic's
// scale for clicks and scan areas.
void leaveWideView() {
  wideViewShown = 0;
  scanState.viewScale = 1;
  computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
}

void startVideo() {
  // Switching video on tries a camera that is not connected once more; a
  // video already on has had its try (a camera that stopped delivering holds
  // every try for its whole time-out).
  if (!camera.connected && !videoRunning) camera.init();
  videoWasRunning = videoRunning;
  CheckRadioButton(hMainWnd, IDC_VIDEO_ON, IDC_VIDEO_OFF, IDC_VIDEO_ON);
  leaveWideView();
  SetTimer(hMainWnd, videoTimerId, videoTimerPeriodMs, nullptr);
  videoRunning = 1;
}

void stopVideo() {
  videoWasRunning = videoRunning;
  KillTimer(hMainWnd, videoTimerId);
  CheckRadioButton(hMainWnd, IDC_VIDEO_ON, IDC_VIDEO_OFF, IDC_VIDEO_OFF);
  videoRunning = 0;
}

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

int videoControl(int command) {
  switch (command) {
    case 0:
      stopVideo();
      break;
    case 1:
      startVideo();
      break;
    case 2:
      if (videoWasRunning) {
        startVideo();
      } else {
        stopVideo();
      }
      break;
    case 3:
      return videoWasRunning != 0;
    case 4:
      return videoRunning != 0;
    case 7:
      camera.grab(1);
      showCamera(camera, hMainWnd);
      break;
    default:
      break;
  }
  SetFocus(hMainWnd);
  return 0;
}

void videoTick(UINT_PTR timerId) {
  if (deviceBusy) return;
  const int idle = idleTicks++;
  if (idle >= idleTickLimit) {
    // Hours without input: nobody is watching, so the laser goes off too.
    videoControl(0);
    setLaser(0);
  }
  if (scanRunning || wideViewShown == 1 || timerId != videoTimerId) return;
  deviceBusy = 1;
  camera.grab(1);
  showFrame(hMainWnd, camera.frameBuffer, 0, scanState.laserSpotX, imageHeightPx - scanState.laserSpotY,
            cameraAperture);
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", readCurrent());
  SetWindowTextA(hCurrentEdit, text);
  std::snprintf(text, sizeof text, "Sleep:%d", idleTicks);
  SetWindowTextA(hTimeEdit, text);
  deviceBusy = 0;
}

int showFrame(HWND window, const std::uint8_t* pixels, int saveImage, int spotX, int spotY, int radius) {
  if (displayBusy) return 0;
  if (!pixels) return 0;
  displayBusy = 1;
  int result = 0;
  {
    WindowDC windowDC(window);
    const int width = camera.frameWidth;
    const int height = camera.frameHeight;
    Bitmap bitmap(CreateCompatibleBitmap(windowDC.get(), width, height));
    if (!bitmap.get()) {
      showInfo("CreateCompatibleBitmap failed, error count");
    } else {
      const BITMAPINFO header = bottomUpHeader(width, height);
      MemoryDC memoryDC(windowDC.get());
      if (!memoryDC.get()) {
        showInfo("CreateCompatibleDC has failed");
      } else if (!(result = SetDIBits(windowDC.get(), bitmap.get(), 0, height, pixels, &header, DIB_RGB_COLORS))) {
        showInfo("SetDIBits has failed");
      } else {
        Selection selected(memoryDC.get(), bitmap.get());
        drawScaleBar(memoryDC.get(), 1.0);
        drawSpot(memoryDC.get(), spotX, spotY, radius);
        result = BitBlt(windowDC.get(), 0, 0, displayWidth, height, memoryDC.get(), (width - displayWidth) / 2, 0,
                        SRCCOPY);
        if (!result) showInfo("BitBlt to window has failed.");
        if (result && window == hMainWnd && wideViewShown) leaveWideView();
        // GDI+ must not be handed a bitmap that is selected into a DC.
        selected.restore();
        if (saveImage) saveCameraImageBitmap(bitmap.get());
      }
    }
  }
  displayBusy = 0;
  return result;
}

int showCamera(Camera& source, HWND window) { return showFrame(window, source.frameBuffer, 0, 0, 0, 0); }

int showTile(HWND window, const std::uint8_t* pixels, int column, int row, int tilesPerSide) {
  if (!pixels || tilesPerSide <= 0) return 1;
  constexpr int w = imageWidthPx;
  constexpr int h = imageHeightPx;
  WindowDC windowDC(window);
  const BITMAPINFO header = bottomUpHeader(w, h);
  // Each failed attempt gives back what it created and starts again, until
  // one of the limits is reached; then the tile is left out.
  std::unique_ptr<Bitmap> bitmap;
  std::unique_ptr<MemoryDC> memoryDC;
  for (int errors = 0;;) {
    memoryDC.reset();
    bitmap = std::make_unique<Bitmap>(CreateCompatibleBitmap(windowDC.get(), w, h));
    if (!bitmap->get()) {
      showInfo("CreateCompatibleBitmap Failed");
      Sleep(100);
      if (++errors >= 10) return 1;
      continue;
    }
    memoryDC = std::make_unique<MemoryDC>(windowDC.get());
    if (!memoryDC->get()) {
      showInfo("CreateCompatibleDC has failed");
      if (++errors >= 5) return 1;
      continue;
    }
    if (!SetDIBits(windowDC.get(), bitmap->get(), 0, h, pixels, &header, DIB_RGB_COLORS)) {
      std::snprintf(camera.statusText, sizeof camera.statusText, "SetDIBits has failed, error count: %d", errors);
      showInfo(camera.statusText);
      Sleep(100);
      if (++errors >= 5) return 1;
      continue;
    }
    break;
  }
  Selection selected(memoryDC->get(), bitmap->get());
  SetStretchBltMode(windowDC.get(), HALFTONE);
  const int n = tilesPerSide;
  const int x = (column * w) / n;
  const int y = h - ((n - row) * h) / n;
  for (int errors = 0; errors < 10; ++errors) {
    if (StretchBlt(windowDC.get(), x, y, w / n + 1, h / n + 1, memoryDC->get(), 0, 0, w, h, SRCCOPY)) break;
    std::snprintf(camera.statusText, sizeof camera.statusText, "BitBlt to window has failed, error count: %d",
                  errors);
    showInfo(camera.statusText);
    pumpMessages(100);
  }
  return 1;
}

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
