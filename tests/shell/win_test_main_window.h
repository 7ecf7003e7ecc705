#pragma once
// The real main window for Win32 tests that need hMainWnd (message boxes are
// owned by it) and the program's window classes.

#include "services/ui_handles.h"
#include "shell/main_window.h"

inline HWND ensureTestMainWindow() {
  if (!hMainWnd || !IsWindow(hMainWnd)) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    registerWindowClasses(instance);
    createMainWindow(instance, SW_SHOWNOACTIVATE);
  }
  return hMainWnd;
}
