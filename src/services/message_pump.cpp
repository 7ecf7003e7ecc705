#include "services/message_pump.h"

#include "resources/resource_ids.h"
#include "services/program_state.h"
#include "services/pump_clock.h"
#include "services/ui_handles.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

int pumpActive = 0;
int pumpNestedCalls = 0;

namespace {

bool fineTimerOn = false;
PumpClickHook clickHook = nullptr;

std::int64_t performanceFrequency() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<std::int64_t>(f.QuadPart);
  }();
  return frequency;
}

std::int64_t performanceNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<std::int64_t>(now.QuadPart);
}

// Whole milliseconds left until the deadline, rounded up so that a wait never
// ends early; 0 once the deadline has passed.
DWORD millisecondsUntil(std::int64_t deadline) {
  const std::int64_t ms = millisecondsForTicks(deadline - performanceNow(), performanceFrequency());
  return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(ms);
}

// Once the program is ending, the run under way stops at this wait as
// after a confirmed stop; once per run, so that what it does on the way out
// (the stage's return, its saving) waits as usual.
bool runMustEnd() {
  if (!programEnding || !scanRunning || stopRequested) return false;
  stopRequested = 1;
  return true;
}

bool asksStop(const MSG& msg) {
  return scanRunning && (msg.message == WM_LBUTTONDOWN || LOWORD(msg.wParam) == IDC_STOP_REQUEST);
}

}  // namespace

PumpClickHook setPumpClickHook(PumpClickHook hook) {
  const PumpClickHook previous = clickHook;
  clickHook = hook;
  return previous;
}

int pumpMessages(unsigned durationMs) {
  const std::int64_t start = performanceNow();
  if (pumpActive) {
    ++pumpNestedCalls;
    return pumpElapsed;
  }
  pumpActive = 1;
  const std::int64_t deadline = deadlineAfter(start, durationMs, performanceFrequency());

  // A quit message taken here (the main window went during a wait) is put
  // back when the wait ends, so the main loop still sees it and the program
  // exits instead of waiting for a window that no longer exists. A run
  // under way ends as after a confirmed stop, so that it saves what it has
  // instead of going on for hours without its window.
  bool quitTaken = false;
  WPARAM quitCode = 0;
  int result = pumpElapsed;

  while (performanceNow() < deadline) {
    MSG msg;
    bool ended = false;
    while (!ended && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quitTaken = true;
        quitCode = msg.wParam;
        if (scanRunning) {
          stopRequested = 1;
          result = pumpStopConfirmed;
          ended = true;
        }
        continue;
      }
      if (asksStop(msg) &&
          MessageBoxA(hMainWnd, "Do you want to stop process, now ?", "Warning", MB_YESNO) == IDYES) {
        stopRequested = 1;
        result = pumpStopConfirmed;
        ended = true;
      } else if (msg.message == WM_LBUTTONDOWN) {
        // The press ends the wait and is not dispatched.
        if (clickHook) clickHook();
        result = pumpClicked;
        ended = true;
      } else {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    if (!ended && runMustEnd()) {
      result = pumpStopConfirmed;
      ended = true;
    }
    if (ended) break;
    // Sleep until a message arrives or the last millisecond begins, instead
    // of spinning on the clock. A timed wait overshoots by up to a timer
    // period, which would stretch the map scan's 5 ms pauses by a tenth and
    // more: the last millisecond passes yielding the processor instead.
    const DWORD waitMs = millisecondsUntil(deadline);
    if (waitMs == 0) break;
    if (waitMs > 1) {
      MsgWaitForMultipleObjectsEx(0, nullptr, waitMs - 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    } else {
      SwitchToThread();
    }
  }

  pumpActive = 0;
  if (quitTaken) PostQuitMessage(static_cast<int>(quitCode));
  return result;
}

void beginFineTimer() {
  if (!fineTimerOn && timeBeginPeriod(1) == TIMERR_NOERROR) fineTimerOn = true;
}

void endFineTimer() {
  if (fineTimerOn) {
    timeEndPeriod(1);
    fineTimerOn = false;
  }
}
