#include "views/image_files.h"

#include "devices/camera/camera.h"
#include "results/image_names.h"
#include "results/result_files.h"
#include "results/result_record_files.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "views/gdi_objects.h"
#include "views/overlays.h"

#include <objidl.h>  // GDI+ needs it and WIN32_LEAN_AND_MEAN leaves it out
#include <gdiplus.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

int cameraImageCount = 0;
int viewSnapshotCount = 0;
int windowImageCount = 0;

namespace {

namespace gdip = Gdiplus::DllExports;

constexpr int windowCopyAttempts = 10;
constexpr int snapshotCreateAttempts = 20;  // bitmap or memory-context failures
constexpr int snapshotCopyAttempts = 10;

// The next free "<prefix>(n).jpg" of the measurement folder.
std::wstring countedName(DataPaths& paths, const wchar_t* prefix, int& counter) {
  makeMeasurementFolder(paths, false);
  return nextCountedFileName(paths.measurementFolder, prefix, counter, resultNameTaken);
}

// GDI+ writes by name and would replace a file: the name is first taken
// with a new empty file of our own, which GDI+ then fills. A picture that
// fails leaves no empty file behind.
bool saveNewPicture(HBITMAP bitmap, const std::wstring& name) {
  const HANDLE claimed = createNewFile(name);
  if (claimed == INVALID_HANDLE_VALUE) return false;
  CloseHandle(claimed);
  if (saveBitmapFile(bitmap, name.c_str())) return true;
  DeleteFileW(name.c_str());
  return false;
}

// A picture that was not saved is said so, as plainly as a saved one would
// be missed.
void tellNotSaved(const char* text = "Try save it again, please.") {
  MessageBoxA(hMainWnd, text, "Error in saving image", MB_OK);
}

void statusWithCount(const char* format, int count) {
  std::snprintf(camera.statusText, sizeof camera.statusText, format, count);
  showInfo(camera.statusText);
}

// The save bitmap of a camera image: a bitmap of the frame's size and a
// memory context, both compatible with the window.
struct SaveBitmap {
  Bitmap bitmap{nullptr};
  std::unique_ptr<MemoryDC> memoryDC;

  bool prepare(HWND window, int width, int height) {
    WindowDC windowDC(window);
    bitmap.reset(CreateCompatibleBitmap(windowDC.get(), width, height));
    if (!bitmap.get()) {
      showInfo("CreateCompatibleBitmap failed, error count");
      return false;
    }
    memoryDC = std::make_unique<MemoryDC>(windowDC.get());
    if (!memoryDC->get()) {
      showInfo("CreateCompatibleDC has failed");
      bitmap.reset();
      return false;
    }
    return true;
  }
};

}  // namespace

bool findEncoderClsid(const wchar_t* mimeType, CLSID* clsid) {
  UINT count = 0;
  UINT bytes = 0;
  if (gdip::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (gdip::GdipGetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (encoders[i].MimeType && wcscmp(encoders[i].MimeType, mimeType) == 0) {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

bool saveBitmapFile(HBITMAP bitmap, const wchar_t* fileName) {
  Gdiplus::GpBitmap* image = nullptr;
  if (gdip::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) != Gdiplus::Ok || !image) return false;
  CLSID png;
  const bool saved = findEncoderClsid(L"image/png", &png) &&
                     gdip::GdipSaveImageToFile(image, fileName, &png, nullptr) == Gdiplus::Ok;
  gdip::GdipDisposeImage(image);
  return saved;
}

bool saveCameraImageBitmap(HBITMAP bitmap) {
  const ResultRecord record = recordNow("camera image");
  const std::wstring name = countedName(dataPaths, L"camera", cameraImageCount);
  if (!saveNewPicture(bitmap, name)) return false;
  writeRecordsBeside({name}, record);
  return true;
}

void saveCameraImageCommand() {
  makeMeasurementFolder(dataPaths, false);
  if (wideViewShown) {
    saveWindowImage(dataPaths, hMainWnd);
    return;
  }
  saveCameraImage(camera, hMainWnd, camera.frameBuffer, 1, scanState.selectionCopy);
}

namespace {

// The camera image drawn, saved and, once saved, shown; the result of the
// last GDI step.
int drawAndSaveCameraImage(Camera& source, HWND window, const std::uint8_t* pixels, int drawArea, const int area[4],
                           bool& saved) {
  SaveBitmap save;
  if (!pixels || !save.prepare(window, source.frameWidth, source.frameHeight)) return 0;
  WindowDC windowDC(window);
  const BITMAPINFO header = bottomUpHeader(source.frameWidth, source.frameHeight);
  int result = SetDIBits(windowDC.get(), save.bitmap.get(), 0, source.frameHeight, pixels, &header, DIB_RGB_COLORS);
  if (!result) {
    showInfo("SetDIBits has failed");
    Sleep(500);
    return 0;
  }
  HDC memory = save.memoryDC->get();
  {
    Selection selected(memory, save.bitmap.get());
    drawScaleBar(memory, 1.0);
    if (drawArea) drawScanArea(memory, area);
  }
  saved = saveCameraImageBitmap(save.bitmap.get());
  if (!saved) return 0;
  // The window then shows what was saved: no spot circle until the next tick.
  Selection selected(memory, save.bitmap.get());
  result = BitBlt(windowDC.get(), 0, 0, 1232, source.frameHeight, memory, 0, 0, SRCCOPY);
  if (!result) showInfo("BitBlt to window has failed.");
  return result;
}

}  // namespace

int saveCameraImage(Camera& source, HWND window, const std::uint8_t* pixels, int drawArea, const int area[4]) {
  bool saved = false;
  const int result = drawAndSaveCameraImage(source, window, pixels, drawArea, area, saved);
  if (!saved) tellNotSaved();
  return saved ? result : 0;
}

int saveWindowImage(DataPaths& paths, HWND window) {
  SaveBitmap save;
  save.prepare(window, camera.frameWidth, camera.frameHeight);  // a failure shows as failed copies below
  HDC memory = save.memoryDC ? save.memoryDC->get() : nullptr;
  bool copied = false;
  for (int failures = 0; failures < windowCopyAttempts && !copied; ++failures) {
    WindowDC captureDC(window);
    Selection selected(memory, save.bitmap.get());
    copied = memory && BitBlt(memory, 0, 0, camera.frameWidth, camera.frameHeight, captureDC.get(), 0, 0, SRCCOPY);
    if (!copied) {
      statusWithCount("BitBlt to window has failed, error count: %d", failures);
      Sleep(100);
    }
  }
  bool saved = false;
  if (copied) {
    const ResultRecord record = recordNow("window image");
    makeMeasurementFolder(paths, false);
    const std::wstring name = uniqueFileName(std::wstring(paths.measurementFolder) + L"\\optic", L"jpg");
    saved = saveNewPicture(save.bitmap.get(), name);
    if (saved) writeRecordsBeside({name}, record);
  }
  if (!saved) {
    tellNotSaved();
    return 0;
  }
  // The copy goes back onto the window, as the picture that was saved.
  WindowDC windowDC(window);
  Selection selected(memory, save.bitmap.get());
  const int result = memory && BitBlt(windowDC.get(), 0, 0, 1232, camera.frameHeight, memory, 0, 0, SRCCOPY);
  if (!result) showInfo("BitBlt to window has failed.");
  return result;
}

namespace {

// The view snapshot's file, empty when it was not saved.
std::wstring takeViewSnapshot(DataPaths& paths, HWND window, int frameSize, const char* prefix, const int area[4]) {
  int failures = 0;
  for (;;) {
    WindowDC windowDC(window);
    RECT client = {};
    GetClientRect(window, &client);
    const int width = frameSize ? camera.frameWidth : client.right - client.left;
    const int height = frameSize ? camera.frameHeight : client.bottom - client.top;
    MemoryDC memoryDC(windowDC.get());
    Bitmap bitmap(CreateCompatibleBitmap(windowDC.get(), width, height));
    // The retries are bounded: a display that cannot give a bitmap must not
    // hold the scan start for ever.
    if (!bitmap.get()) {
      showInfo("CreateCompatibleBitmap Failed");
      Sleep(100);
      if (++failures >= snapshotCreateAttempts) return {};
      continue;
    }
    if (!memoryDC.get()) {
      showInfo("CreateCompatibleDC has failed");
      if (++failures >= snapshotCreateAttempts) return {};
      continue;
    }
    {
      Selection selected(memoryDC.get(), bitmap.get());
      if (!BitBlt(memoryDC.get(), 0, 0, width, height, windowDC.get(), 0, 0, SRCCOPY)) {
        statusWithCount("BitBlt to window has failed, error count: %d", failures);
        Sleep(100);
        if (++failures >= snapshotCopyAttempts) return {};
        continue;
      }
      drawScanArea(memoryDC.get(), area);
    }
    const std::wstring name = countedName(paths, widenAscii(prefix).c_str(), viewSnapshotCount);
    return saveNewPicture(bitmap.get(), name) ? name : std::wstring();
  }
}

}  // namespace

int saveViewSnapshot(DataPaths& paths, HWND window, int frameSize, const char* prefix, const int area[4],
                     std::wstring* saved) {
  const std::wstring name = takeViewSnapshot(paths, window, frameSize, prefix, area);
  if (saved) *saved = name;
  if (!name.empty()) return 1;
  tellNotSaved("The picture of the camera view with the scan area could not be saved.");
  return 0;
}

int saveMapWindowImage(DataPaths& paths, HWND window, const char* prefix, std::wstring* savedPath) {
  if (savedPath) savedPath->clear();
  bool saved = false;
  {
    WindowDC windowDC(window);
    RECT client = {};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    MemoryDC memoryDC(windowDC.get());
    Bitmap bitmap(CreateCompatibleBitmap(windowDC.get(), width, height));
    if (!bitmap.get()) {
      showInfo("CreateCompatibleBitmap Failed");
    } else if (!memoryDC.get()) {
      showInfo("CreateCompatibleDC has failed");
    } else {
      bool copied;
      {
        Selection selected(memoryDC.get(), bitmap.get());
        copied = BitBlt(memoryDC.get(), 0, 0, width, height, windowDC.get(), 0, 0, SRCCOPY);
      }
      if (!copied) {
        showInfo("BitBlt to window has failed.");
      } else {
        const std::wstring name = countedName(paths, widenAscii(prefix).c_str(), windowImageCount);
        saved = saveNewPicture(bitmap.get(), name);
        if (saved && savedPath) *savedPath = name;
      }
    }
  }
  // Also when the file could not be written: the map picture would
  // otherwise be missing without a word.
  if (!saved) tellNotSaved();
  return 1;
}
