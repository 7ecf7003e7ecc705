#include "shell/app.h"

#include "mapping/scan_geometry.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/message_pump.h"
#include "shell/program_state.h"
#include "shell/settings_files.h"
#include "shell/ui_handles.h"

#include <objidl.h>  // GDI+ needs it and WIN32_LEAN_AND_MEAN leaves it out
#include <gdiplus.h>

namespace {

// Start-up steps after the main window exists, up to the message loop.
void startUp() {
  currentEquipment = 4;  // before the file: a missing file selects the USB sourcemeter
  loadConfigFile();
  loadObjectiveFile();
}

int runMessageLoop(HINSTANCE instance) {
  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  MSG msg = {};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (!TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}

void shutDown() {
  saveConfigFile();
  KillTimer(hMainWnd, 1);
}

}  // namespace

int runNerinStation(HINSTANCE instance, int showCommand) {
  beginFineTimer();
  registerWindowClasses(instance);

  Gdiplus::GdiplusStartupInput gdiplusInput;  // version 1, no debug callback
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

  if (!createMainWindow(instance, showCommand)) {
    Gdiplus::GdiplusShutdown(gdiplusToken);
    endFineTimer();
    return 0;
  }
  startUp();
  const int exitCode = runMessageLoop(instance);
  shutDown();
  Gdiplus::GdiplusShutdown(gdiplusToken);
  endFineTimer();
  return exitCode;
}
