#include "shell/main_window.h"

#include "imaging/camera.h"
#include "imaging/image_files.h"
#include "imaging/live_display.h"
#include "resources/resource_ids.h"
#include "shell/data_paths.h"
#include "shell/reporting.h"
#include "shell/ui_handles.h"
#include "spectroscopy/plot_window.h"

namespace {

void registerClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, const wchar_t* menu) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_NERIN_STATION));
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_NERIN_STATION));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = menu;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

}  // namespace

void registerWindowClasses(HINSTANCE instance) {
  registerClass(instance, L"NerinMain", mainWindowProc, MAKEINTRESOURCEW(IDR_MAIN_MENU));
  registerClass(instance, L"Nerin", plotWindowProc, nullptr);
  registerClass(instance, L"CFI", plotWindowProc, nullptr);
  registerClass(instance, L"IV", plotWindowProc, nullptr);
}

bool createMainWindow(HINSTANCE instance, int showCommand) {
  hInstance = instance;
  hMainWnd = CreateWindowExW(0, L"NerinMain", mainWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 1462, 1108,
                             nullptr, nullptr, instance, nullptr);
  if (!hMainWnd) return false;
  ShowWindow(hMainWnd, showCommand);
  UpdateWindow(hMainWnd);
  return true;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      if (!camera.frameBuffer) SetWindowTextA(window, "error in HeapAlloc");
      camera.configure(CameraSetup::Auto);
      camera.grab(1);
      refreshPositionFields();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_EXIT:
          DestroyWindow(window);
          return 0;
        case IDM_SAVE_WINDOW_IMAGE:
          saveWindowImage(dataPaths, window);
          return 0;
        case IDM_SAVE_CAMERA_IMAGE:
          saveCameraImageCommand();
          return 0;
        case IDC_VIDEO_ON:
          videoControl(1);
          return 0;
        case IDC_VIDEO_OFF:
          videoControl(0);
          return 0;
        default:
          return 0;
      }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      refreshPositionFields();
      return 0;
    }
    case WM_TIMER:
      videoTick(wParam);
      return 0;
    case WM_DESTROY:
      videoControl(0);
      Sleep(100);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
