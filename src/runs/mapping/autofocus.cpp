#include "runs/mapping/autofocus.h"

#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "services/device_faults.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/live_display.h"
#include "views/overlays.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

AutofocusState autofocus;

namespace {

constexpr int endMarkerRadius = 5;
constexpr COLORREF endMarkerColour = RGB(255, 0, 0);

// A wait ends the pass when the operator confirmed the stop question in it,
// or in any wait since (a move's arrival wait answers only clicks, so a stop
// confirmed there shows only in the flag).
bool stopAfter(int pumpResult) { return pumpResult == pumpStopConfirmed || stopRequested; }

// A Z axis that does not move as told, or a camera that shows the test
// pattern instead of the spot, leaves nothing to search: the pass ends, and
// so does the run.
bool focusDevicesFailed() { return deviceFailed(FaultyDevice::stage) || deviceFailed(FaultyDevice::camera); }

void showCameraFrame() {
  camera.grab(1);
  showCamera(camera, hMainWnd);
}

// A pass from its start Z on: the move to the top of the range and the sweep
// downward, one sample per 300 ms at most. Returns when the pass is to end;
// `found` is set on a peak.
void sweepZ(AutofocusState& state, FocusSweep& sweep) {
  if (stopAfter(pumpMessages(100))) return;
  moveZBy(sweep.search().rangeUm);
  if (stopRequested || focusDevicesFailed() || stopAfter(pumpMessages(100))) return;
  refreshPositionFields();
  stopwatch(true);
  if (stopRequested) return;

  const int spotX = scanState.laserSpotX;
  const int spotYTop = imageHeightPx - scanState.laserSpotY;
  for (int i = 0; i < sweep.samples(); ++i) {
    const double z = readAxisPosition(stageZ);
    if (sweep.belowFloor(z) || focusDevicesFailed()) return;
    refreshPositionFields();
    showCameraFrame();
    if (focusDevicesFailed()) return;
    drawSpot(hMainWnd, spotX, spotYTop, cameraAperture);
    if (sweep.add(z, focusFactor(state))) {
      state.found = 1;
      return;
    }
    std::snprintf(state.text, sizeof state.text, "%s", sweep.sampleText().c_str());
    showInfo(state.text);
    refreshPositionFields();
    moveZBy(sweep.stepUm());
    showProgress(sweep.bestText().c_str());
    // The stage and this pace set the sweep's speed, never the computation.
    while (!focusSampleDue(stopwatch(false), i)) {
      if (stopAfter(pumpMessages(10))) {
        stopAxis(stageZ);
        return;
      }
    }
  }
}

}  // namespace

float focusFactor(AutofocusState& state) {
  const float f = focusFactor(state, camera.frameBuffer, scanState.laserSpotX, scanState.laserSpotY);
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(f));
  SetWindowTextA(hFFactorEdit, text);
  return f;
}

int focusLevel(AutofocusState& state) { return focusLevel(focusFactor(state)); }

int focusPass(AutofocusState& state) {
  const int startLevel = state.level;
  // A run keeps the guard between its passes; a pass on its own holds it
  // only while it runs.
  const int wasRunning = scanRunning;
  scanRunning = 1;
  setIllumination(0);
  videoControl(0);
  showInfo("Focusing has started");
  showCameraFrame();

  moveZBy(+1.0);
  moveZBy(-1.0);
  FocusSweep sweep(startLevel, stageZ.positionUm);
  refreshPositionFields();
  pumpMessages(10);

  sweepZ(state, sweep);

  stopAxis(stageZ);
  // Best Z seen; where the pass started when it ended before its first
  // sample. A Z axis that failed is not sent anywhere more: each move would
  // only wait out its time-out.
  if (!deviceFailed(FaultyDevice::stage)) moveZTo(sweep.returnZ());
  endFocusText(state);
  showInfo(state.text);

  scanRunning = wasRunning;
  showCameraFrame();
  drawMarker(hMainWnd, scanState.laserSpotX, imageHeightPx - scanState.laserSpotY, endMarkerRadius,
             endMarkerColour);
  refreshPositionFields();

  state.level = focusLevel(state);
  if (state.level <= startLevel) state.found = 0;
  return state.found;
}

int runAutofocus(AutofocusState& state) {
  stopRequested = 0;
  // Held for the whole run, so that its own waits between the passes cannot
  // start a second run, a wide view or a scan.
  scanRunning = 1;
  videoControl(0);
  pumpMessages(100);
  camera.configure(CameraSetup::Manual);
  showCameraFrame();

  state.level = focusLevel(state);
  do {
    focusPass(state);
    if (stopRequested) {
      std::snprintf(state.text, sizeof state.text, "Focusing aborted");
      showProgress(state.text);
      refreshPositionFields();
      scanRunning = 0;
      return 0;
    }
  } while (state.found && state.level < 6 && !focusDevicesFailed());

  const bool failed = focusDevicesFailed();
  if (!failed) {
    moveZBy(+1.0);
    pumpMessages(50);
    moveZBy(-1.0);
  }
  showProgress(failed || (!state.found && state.level != 6) ? "Focusing incompleted!" : "Focusing Completed!");
  refreshPositionFields();
  scanRunning = 0;
  return 1;
}
