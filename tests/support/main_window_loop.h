#pragma once
// The program's own message loop step, for tests that drive the real main
// window with input from the system's queue: what they sent is handled, with
// everything it set off, before they look.

#include "console/main_window.h"
#include "resources/resource_ids.h"
#include "services/ui_handles.h"
#include "ui_driver.h"

#include <windows.h>

#include <string>

namespace mainwindow {

inline HACCEL accelerators() {
  static const HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  return table;
}

// Runs the loop step until nothing is left to do.
inline void drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) dispatchProgramMessage(accelerators(), msg);
}

// The loop step until the condition holds; false after timeoutMs.
template <typename Condition>
bool pumpUntil(Condition condition, DWORD timeoutMs = 30000) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    drain();
    if (condition()) return true;
    if (GetTickCount64() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

using ui::textOf;

// A point of the main window's client area on the screen, for real mouse input.
inline POINT screenPoint(int x, int y) {
  POINT p{x, y};
  ClientToScreen(hMainWnd, &p);
  return p;
}

}  // namespace mainwindow
