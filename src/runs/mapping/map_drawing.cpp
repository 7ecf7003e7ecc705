#include "runs/mapping/map_drawing.h"

#include "runs/mapping/map_render.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/gdi_objects.h"

#include <cstdint>
#include <vector>

int mapDrawingFailures = 0;

namespace {

constexpr COLORREF unpaintedGrey = RGB(200, 200, 200);

void drawingFailed(const char* text) {
  ++mapDrawingFailures;
  showInfo(text);
}

// A 32-bit picture stored top row first.
BITMAPINFO topDownHeader(int width, int height) {
  BITMAPINFO info = bottomUpHeader(width, height);
  info.bmiHeader.biHeight = -height;
  return info;
}

// The pixels of the last drawing, kept: the scan draws after every row.
std::vector<std::uint32_t>& pixelBuffer() {
  static std::vector<std::uint32_t> pixels;
  return pixels;
}

}  // namespace

bool drawMap(MapBuffers& map, HWND window, int lastRow, bool confocal, bool topFirst, int channel) {
  if (!IsWindow(window) || map.width <= 0 || map.height <= 0) return true;
  RECT client = {};
  GetClientRect(window, &client);
  WindowDC windowDC(window);
  {
    Brush grey(CreateSolidBrush(unpaintedGrey));
    const RECT mapArea = {0, 0, map.width, map.height};
    FillRect(windowDC.get(), &mapArea, grey.get());
  }
  Bitmap bitmap(CreateCompatibleBitmap(windowDC.get(), map.width, map.height));
  if (!bitmap.get()) {
    drawingFailed("CreateCompatibleBitmap Failed");
    return true;
  }
  MemoryDC memoryDC(windowDC.get());
  if (!memoryDC.get()) {
    drawingFailed("SelectObject has failed");
    return true;
  }
  std::vector<std::uint32_t>& pixels = pixelBuffer();
  if (confocal) {
    renderConfocal(map, channel, pixels);
  } else {
    renderIntensity(map, lastRow, topFirst, pixels);
  }
  const BITMAPINFO header = topDownHeader(map.width, map.height);
  SetDIBits(windowDC.get(), bitmap.get(), 0, static_cast<UINT>(map.height), pixels.data(), &header,
            DIB_RGB_COLORS);
  Selection selected(memoryDC.get(), bitmap.get());
  const int width = confocal ? client.right : client.right - colourBarMarginPx;
  // A map larger than the window loses whole rows and columns instead of
  // darkening where they are merged.
  SetStretchBltMode(windowDC.get(), COLORONCOLOR);
  if (!StretchBlt(windowDC.get(), 0, 0, width, client.bottom, memoryDC.get(), 0, 0, map.width, map.height,
                  SRCCOPY)) {
    drawingFailed("BitBlt to window has failed.");
  }
  return true;
}

void drawColourBar(const MapBuffers&, HWND window) {
  if (!IsWindow(window)) return;
  RECT client = {};
  GetClientRect(window, &client);
  const ColourBar bar = colourBarLayout(client.right, client.bottom);
  if (bar.levels <= 0) return;
  // Level k lies on row levels - k + trunc(height * 0.1): one row per level,
  // without gaps, so the bar goes onto the window as one picture.
  const int top = colourBarRowY(bar, bar.levels - 1);
  std::vector<std::uint32_t> pixels(static_cast<size_t>(bar.width) * static_cast<size_t>(bar.levels));
  for (int k = 0; k < bar.levels; ++k) {
    const std::uint32_t colour = dibPixel(colourBarColour(bar, k));
    std::uint32_t* row = &pixels[static_cast<size_t>(colourBarRowY(bar, k) - top) * static_cast<size_t>(bar.width)];
    for (int x = 0; x < bar.width; ++x) row[x] = colour;
  }
  WindowDC windowDC(window);
  const BITMAPINFO header = topDownHeader(bar.width, bar.levels);
  if (!SetDIBitsToDevice(windowDC.get(), bar.left, top, static_cast<DWORD>(bar.width),
                         static_cast<DWORD>(bar.levels), 0, 0, 0, static_cast<UINT>(bar.levels), pixels.data(),
                         &header, DIB_RGB_COLORS)) {
    drawingFailed("BitBlt to window has failed.");
  }
}

void drawScaleLabels(const MapBuffers& map, HWND window, const char* unit) {
  if (!IsWindow(window)) return;
  RECT client = {};
  GetClientRect(window, &client);
  const ScaleLabels labels = scaleLabels(map, client.right, client.bottom, unit);
  WindowDC windowDC(window);
  for (const PlacedText* label : {&labels.top, &labels.bottom}) {
    TextOutA(windowDC.get(), label->x, label->y, label->text.c_str(), static_cast<int>(label->text.size()));
  }
}

void drawIntensityView(MapBuffers& map, HWND window, int lastRow, bool topFirst) {
  drawMap(map, window, lastRow, false, topFirst);
  drawColourBar(map, window);
  drawScaleLabels(map, window, "uA");
}

void ensureMapWindows() {
  // Tool windows owned by the main window: they stay above it and never
  // show on the taskbar.
  constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const auto create = [](const wchar_t* windowClass, const wchar_t* title, int y, int width, int height) {
    return CreateWindowExW(WS_EX_TOOLWINDOW, windowClass, title, style, 1450, y, width, height, hMainWnd, nullptr,
                           hInstance, nullptr);
  };
  const int width = scanState.mapViewWidth + 100;
  const int height = scanState.mapViewHeight + 45;
  if (!IsWindow(hMapWnd)) {
    hMapWnd = create(L"Nerin", L"Nerin View", 100, width, height);
    UpdateWindow(hMapWnd);
  }
  if (!IsWindow(hConfocalWnd)) {
    // Overlaps the lower part of the map window.
    hConfocalWnd = create(L"CFI", L"Confocal Image", scanState.mapViewHeight + 35, width, height);
    UpdateWindow(hConfocalWnd);
  }
}
