#include "devices/camera/camera.h"

#include "devices/camera/basler_camera.h"
#include "devices/camera/camera_frame.h"
#include "devices/camera/mindvision_camera.h"
#include "services/clamp.h"
#include "services/device_faults.h"
#include "services/edit_field_values.h"
#include "services/reporting.h"
#include "services/ui_handles.h"

#include <cmath>
#include <cstdio>

namespace {

// Page-aligned and zeroed: the conversion runs fastest on aligned rows, and
// the spare bytes start (and stay) 0.
std::uint8_t* allocateFrameMemory(std::size_t bytes) {
  return static_cast<std::uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

}  // namespace

Camera camera;

Camera::Camera() { frameBuffer = allocateFrameMemory(frameBytes); }

Camera::~Camera() {
  shutDown();
  if (frameBuffer) VirtualFree(frameBuffer, 0, MEM_RELEASE);
  if (rawFrame) VirtualFree(rawFrame, 0, MEM_RELEASE);
}

void Camera::shutDown() {
  if (cameraKind == 0) {
    baslerShutDown();
  } else {
    mindVisionRelease();
  }
  connected = 0;
}

// Every camera failure ends here: not connected until the next init.
void Camera::fail() {
  connected = 0;
  if (cameraKind == 0) baslerRelease();
  showInfo("No camera detected");
}

void Camera::showTestPattern() {
  if (!frameBuffer) return;
  // The spare bytes of the camera's own frame stay the zeros it was allocated
  // with (a MindVision snapshot brings its own, which nothing reads: zeros
  // written over them change no picture).
  drawTestPattern(frameBuffer, rawFrameWidth, rawFrameHeight, testPatternPhase, PixelPath::best, SpareBytes::allZero);
  ++testPatternPhase;
}

int Camera::init() {
  bool ready = false;
  if (cameraKind == 1) {
    ready = mindVisionConnect(hMainWnd);
  } else {
    if (!rawFrame) rawFrame = allocateFrameMemory(rawFrameBytes);
    ready = rawFrame && baslerConnect(rawFrame, rawFrameBytes);
    // The frame size follows from the fixed raw size, not from the grab.
    if (ready) {
      frameWidth = rawWidth / 2;
      frameHeight = rawHeight / 2;
      framePixels = frameWidth * frameHeight;
    }
  }
  if (!ready) {
    fail();
    return 0;
  }
  connected = 1;
  noteDeviceConnected(FaultyDevice::camera);
  return 1;
}

int Camera::configure(CameraSetup mode) {
  if (cameraKind == 1) return 1;
  if (!connected) {
    fail();
    return 0;
  }
  bool done = false;
  if (mode == CameraSetup::Auto) {
    done = baslerAutoSetup();
  } else {
    done = baslerManualSetup(gain, exposureUs);
    if (done) {
      std::snprintf(statusText, sizeof statusText, "exposure time: %.1f", exposureUs);
      showInfo(statusText);
    }
  }
  if (!done) {
    noteDeviceFault(FaultyDevice::camera, "its set-up was refused");
    fail();
    return 0;
  }
  return 1;
}

void Camera::grab(int /*frames*/) {
  if (!frameBuffer) return;
  if (!connected) {
    fail();
    showTestPattern();
    return;
  }
  if (cameraKind == 1) {
    mindVisionGrab(frameBuffer);
    return;
  }
  switch (baslerGrab(rawFrame, rawFrameBytes)) {
    case BaslerGrab::frame:
      // Nothing but this camera writes the frame buffer, and it never writes
      // the spare bytes, so they are still the zeros it was allocated with.
      convertBayerToFrame(rawFrame, rawWidth, rawHeight, blueOnly, frameBuffer, PixelPath::best,
                          SpareBytes::allZero);
      break;
    case BaslerGrab::noFrame:
      break;  // the last good picture stays
    case BaslerGrab::failed:
      noteDeviceFault(FaultyDevice::camera, "no frame came within the grab's time-out");
      fail();
      showTestPattern();
      break;
  }
}

void Camera::takePresentSettings() {
  if (cameraKind != 0 || !connected) return;
  double presentGain = 0.0, presentExposure = 0.0;
  if (!baslerPresentSettings(presentGain, presentExposure)) return;
  if (!std::isfinite(presentGain) || !std::isfinite(presentExposure)) return;
  gain = static_cast<int>(std::lround(clampInPlace(presentGain, 1.0, 36.0)));
  exposureUs = clampInPlace(presentExposure, 100.0, 500000.0);
}

namespace {

void showNumber(HWND field, int value) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", value);
  SetWindowTextA(field, text);
}

}  // namespace

void applyGain(const char* typed) {
  const std::optional<int> value = guardedIntField(typed, 1, 36);
  int shown = camera.gain;
  showNumber(hGainEdit, value ? *value : clampInPlace(shown, 1, 36));
  if (!value) return;
  camera.gain = *value;
  camera.configure(CameraSetup::Manual);
  camera.grab(1);
  SetFocus(hMainWnd);
}

void applyExposure(const char* typed) {
  const std::optional<int> value = guardedIntField(typed, 100, 500000);
  int shown = static_cast<int>(camera.exposureUs);
  showNumber(hExposureEdit, value ? *value : clampInPlace(shown, 100, 500000));
  if (!value) return;
  camera.exposureUs = *value;
  camera.configure(CameraSetup::Manual);
  camera.grab(1);
}
