#include "shell/reporting.h"

#include "motion/stage_axis.h"
#include "shell/program_state.h"
#include "shell/report_format.h"
#include "shell/ui_handles.h"

#include <cstdio>

bool showInfo(const char* text) {
  SetWindowTextA(hInfoEdit, text);
  return true;
}

void showProgress(const char* text) { SetWindowTextA(hProgressEdit, text); }

std::uint64_t stopwatch(bool reset) {
  static std::uint64_t startTick = GetTickCount64();
  if (reset) {
    startTick = GetTickCount64();
    return 0;
  }
  return GetTickCount64() - startTick;
}

void showElapsed() {
  SetWindowTextA(hTimeEdit, elapsedText(stopwatch(false), scanState.expectedMinutes).c_str());
}

namespace {

// What each position field shows now. A field that does not exist yet is not
// remembered, so it is filled once the controls are created.
struct ShownPosition {
  bool valid = false;
  double value = 0.0;
};

void refreshField(HWND field, const StageAxis& axis, ShownPosition& shown) {
  if (!field) return;
  if (shown.valid && shown.value == axis.positionUm) return;
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", axis.positionUm);
  SetWindowTextA(field, text);
  shown.valid = true;
  shown.value = axis.positionUm;
}

}  // namespace

bool refreshPositionFields() {
  static ShownPosition shownX, shownY, shownZ;
  refreshField(hXEdit, stageX, shownX);
  refreshField(hYEdit, stageY, shownY);
  refreshField(hZEdit, stageZ, shownZ);
  if (hMainWnd) SetFocus(hMainWnd);
  return true;
}
