#include "services/reporting.h"

#include "services/device_faults.h"
#include "services/program_state.h"
#include "services/report_format.h"
#include "services/ui_handles.h"

#include <cstdio>
#include <cstring>
#include <vector>

void setTextIfChanged(HWND box, const char* text) {
  char shown[256] = {};
  const int length = GetWindowTextA(box, shown, sizeof shown);
  if (length < static_cast<int>(sizeof shown) - 1 && std::strcmp(shown, text) == 0) return;
  SetWindowTextA(box, text);
}

bool showInfo(const char* text) {
  setTextIfChanged(hInfoEdit, text);
  return true;
}

void showProgress(const char* text) { setTextIfChanged(hProgressEdit, text); }

namespace {
FaultReportHook faultReportHook = nullptr;
}  // namespace

void setFaultReportHook(FaultReportHook hook) { faultReportHook = hook; }

void reportDeviceFaults() {
  // Cleared first: what fails while a message is open (live video reads the
  // meter) belongs to no run.
  const std::vector<DeviceFaultMessage> messages = deviceFaultMessages();
  clearDeviceFaults();
  if (faultReportHook) faultReportHook(messages);
  for (const DeviceFaultMessage& message : messages) {
    MessageBoxA(hMainWnd, message.text.c_str(), message.title, MB_OK | MB_ICONWARNING);
  }
}

std::uint64_t stopwatch(bool reset) {
  static std::uint64_t startTick = GetTickCount64();
  if (reset) {
    startTick = GetTickCount64();
    return 0;
  }
  return GetTickCount64() - startTick;
}

void showElapsed() {
  setTextIfChanged(hTimeEdit, elapsedText(stopwatch(false), scanState.expectedMinutes).c_str());
}

namespace {

// What each position field shows now. A field that does not exist yet is not
// remembered, so it is filled once the controls are created.
struct ShownPosition {
  bool valid = false;
  double value = 0.0;
};

struct PositionField {
  HWND* field;
  const double* positionUm;  // given by the stage side; none: the field is left alone
  ShownPosition shown;
};

PositionField positionFields[] = {{&hXEdit, nullptr, {}}, {&hYEdit, nullptr, {}}, {&hZEdit, nullptr, {}}};

void refreshField(PositionField& p, bool always) {
  if (!*p.field || !p.positionUm) return;
  const double positionUm = *p.positionUm;
  if (!always && p.shown.valid && p.shown.value == positionUm) return;
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", positionUm);
  SetWindowTextA(*p.field, text);
  p.shown.valid = true;
  p.shown.value = positionUm;
}

}  // namespace

void showPositionsOf(const double* xUm, const double* yUm, const double* zUm) {
  positionFields[0].positionUm = xUm;
  positionFields[1].positionUm = yUm;
  positionFields[2].positionUm = zUm;
}

bool refreshPositionFields() {
  for (PositionField& p : positionFields) refreshField(p, false);
  if (hMainWnd) SetFocus(hMainWnd);
  return true;
}

void showPositionField(HWND field) {
  for (PositionField& p : positionFields) {
    if (*p.field == field) refreshField(p, true);
  }
}
