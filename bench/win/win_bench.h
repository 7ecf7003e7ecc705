#pragma once
// Shared by the Windows-side measurement programs: the clock, the message
// loop step and the verdict printed beside each target.

#include <windows.h>

inline double nowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / frequency;
}

// Handles whatever the program's windows were sent meanwhile.
inline void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

inline const char* verdict(bool within) { return within ? "ok" : "OVER"; }
