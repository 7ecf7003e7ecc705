#pragma once
// The real main window for Win32 tests that need hMainWnd (message boxes are
// owned by it) and the program's window classes.

#include "console/main_window.h"
#include "services/ui_handles.h"

inline HWND ensureTestMainWindow() {
  if (!hMainWnd || !IsWindow(hMainWnd)) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    registerWindowClasses(instance);
    createMainWindow(instance, SW_SHOWNOACTIVATE);
  }
  return hMainWnd;
}
