#pragma once
// Shared by the Win32 imaging tests: the real main window with stand-ins for
// the fields the camera writes, GDI+ for the picture files, and ways to read
// back what reached the screen or a file.

#include "services/ui_handles.h"
#include "ui_driver.h"
#include "win_test_main_window.h"

#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <string>

using ui::textOf;

// The main window, shown at the top left of the virtual screen with its
// fields, GDI+ started (once per test program).
inline void prepareMainWindow() {
  static const bool gdiplusStarted = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  EXPECT_TRUE(gdiplusStarted);
  ensureTestMainWindow();
  // Stand-ins for the fields of the main window that do not exist yet.
  for (HWND* field : {&hInfoEdit, &hCurrentEdit, &hTimeEdit, &hGainEdit, &hExposureEdit}) {
    if (!*field || !IsWindow(*field))
      *field = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 100, 20, hMainWnd, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  }
  SetWindowPos(hMainWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// What the main window's client area shows at (x, y).
inline COLORREF screenPixel(int x, int y) { return ui::pixelOf(hMainWnd, x, y); }

// Live GDI objects of this process. Wine does not count them for
// GetGuiResources; there every live object answers GetObjectType for its
// handle index alone.
inline int gdiObjectCount() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted) return static_cast<int>(counted);
  int live = 0;
  for (ULONG_PTR index = 1; index < 0x10000; ++index) live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
  return live;
}

// A picture file decoded by GDI+.
class Picture {
 public:
  explicit Picture(const std::wstring& path) {
    Gdiplus::DllExports::GdipCreateBitmapFromFile(path.c_str(), &bitmap_);
  }
  ~Picture() {
    if (bitmap_) Gdiplus::DllExports::GdipDisposeImage(bitmap_);
  }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  bool loaded() const { return bitmap_ != nullptr; }
  COLORREF at(int x, int y) const {
    Gdiplus::ARGB argb = 0;
    Gdiplus::DllExports::GdipBitmapGetPixel(bitmap_, x, y, &argb);
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
  }
  unsigned width() const {
    UINT w = 0;
    Gdiplus::DllExports::GdipGetImageWidth(bitmap_, &w);
    return w;
  }

 private:
  Gdiplus::GpBitmap* bitmap_ = nullptr;
};

// Red pixels of the laser-spot circle in the square around (x, y).
template <typename PixelSource>
int redAround(const PixelSource& pixelAt, int x, int y, int reach) {
  int red = 0;
  for (int dy = -reach; dy <= reach; ++dy) {
    for (int dx = -reach; dx <= reach; ++dx) red += pixelAt(x + dx, y + dy) == RGB(255, 0, 0);
  }
  return red;
}
