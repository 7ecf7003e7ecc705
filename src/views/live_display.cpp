#include "views/live_display.h"

#include "devices/camera/camera.h"
#include "devices/measurement/current_reading.h"
#include "devices/motion/arduino_link.h"
#include "resources/resource_ids.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/scan_geometry.h"
#include "services/ui_handles.h"
#include "views/gdi_objects.h"
#include "views/image_files.h"
#include "views/overlays.h"

#include <cstdio>
#include <memory>

int videoRunning = 0;
int videoWasRunning = 0;
int displayBusy = 0;

namespace {

constexpr int idleTickLimit = 100000;  // about 2 h 47 min without input at 100 ms
constexpr int displayWidth = 1232;     // the camera area of the main window

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

void showNumber(HWND field, int value) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", value);
  SetWindowTextA(field, text);
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

void cameraAutoSetting() {
  camera.configure(CameraSetup::Auto);
  camera.grab(1);
  pumpMessages(50);
  // What was stored for the manual set-up, not what the camera's automatic
  // control has reached.
  showNumber(hGainEdit, camera.gain);
  showNumber(hExposureEdit, static_cast<int>(camera.exposureUs));
  pumpMessages(50);
  showCamera(camera, hMainWnd);
  SetFocus(hMainWnd);
}
