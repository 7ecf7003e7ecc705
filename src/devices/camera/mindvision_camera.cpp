#include "devices/camera/mindvision_camera.h"

#include "devices/camera/camera_frame.h"
#include "services/ui_handles.h"
#include "services/vendor_library.h"

#include <climits>
#include <cstring>
#include <string>

MindVisionState mindVision;

namespace {

#define MV_CALL __stdcall

struct MindVisionSdk {
  int(MV_CALL* CameraSdkInit)(int language);
  int(MV_CALL* CameraEnumerateDevice)(void* list, int* count);
  int(MV_CALL* CameraInit)(void* device, int paramLoadMode, int team, int* handle);
  int(MV_CALL* CameraGetCapability)(int handle, void* capability);
  unsigned char*(MV_CALL* CameraAlignMalloc)(int size, int align);
  void(MV_CALL* CameraAlignFree)(unsigned char* buffer);
  int(MV_CALL* CameraDisplayInit)(int handle, HWND window);
  int(MV_CALL* CameraPlay)(int handle);
  int(MV_CALL* CameraSetResolutionForSnap)(int handle, void* resolution);
  int(MV_CALL* CameraSnapToBuffer)(int handle, void* frameHead, unsigned char** buffer, unsigned timeoutMs);
  int(MV_CALL* CameraImageProcessEx)(int handle, unsigned char* in, unsigned char* out, void* frameHead,
                                     unsigned outFormat, unsigned reserved);
  int(MV_CALL* CameraReleaseImageBuffer)(int handle, unsigned char* buffer);
  int(MV_CALL* CameraUnInit)(int handle);
};

MindVisionSdk sdk;
bool bound = false;
bool searched = false;     // once per run, as for the Basler runtime
bool sdkStarted = false;   // CameraSdkInit succeeded; the SDK wants it once per process
bool snapFailureShown = false;  // the box of the present run of failed snapshots is shown
// The message of the present run of failed connections, shown once: start-up
// tries the camera, switching video on tries it again, and so does every
// return to live video after a run, so a missing camera would otherwise be
// announced again and again. A connection that succeeds ends the run.
std::string connectFailureShown;

constexpr int sdkLanguageEnglish = 0;
constexpr int capabilityResolutionRange = 216;  // iHeightMax, iHeightMin, iWidthMax, iWidthMin
constexpr int resolutionRecordBytes = 92;       // tSdkImageResolution, iIndex first
constexpr int frameHeadWidth = 8;               // tSdkFrameHead: uiMediaType, uBytes, iWidth, iHeight
constexpr int frameHeadHeight = 12;
constexpr unsigned processedFormat = 0x02000000;
constexpr int cropLeftBytes = 75 * 4;

int readInt(const unsigned char* record, int offset) {
  int value;
  std::memcpy(&value, record + offset, sizeof value);
  return value;
}

bool bindSdk() {
  if (bound) return true;
  if (searched) return false;
  searched = true;
  HMODULE module = loadVendorLibrary(L"MVCAMSDK_X64.dll", VendorSearch::alsoPath);
  if (!module) return false;
  MindVisionSdk found = {};
  const bool complete = bindEntryPoint(module, "CameraSdkInit", found.CameraSdkInit) &&
                        bindEntryPoint(module, "CameraEnumerateDevice", found.CameraEnumerateDevice) &&
                        bindEntryPoint(module, "CameraInit", found.CameraInit) &&
                        bindEntryPoint(module, "CameraGetCapability", found.CameraGetCapability) &&
                        bindEntryPoint(module, "CameraAlignMalloc", found.CameraAlignMalloc) &&
                        bindEntryPoint(module, "CameraAlignFree", found.CameraAlignFree) &&
                        bindEntryPoint(module, "CameraDisplayInit", found.CameraDisplayInit) &&
                        bindEntryPoint(module, "CameraPlay", found.CameraPlay) &&
                        bindEntryPoint(module, "CameraSetResolutionForSnap", found.CameraSetResolutionForSnap) &&
                        bindEntryPoint(module, "CameraSnapToBuffer", found.CameraSnapToBuffer) &&
                        bindEntryPoint(module, "CameraImageProcessEx", found.CameraImageProcessEx) &&
                        bindEntryPoint(module, "CameraReleaseImageBuffer", found.CameraReleaseImageBuffer) &&
                        bindEntryPoint(module, "CameraUnInit", found.CameraUnInit);
  if (!complete) {
    FreeLibrary(module);
    return false;
  }
  sdk = found;
  bound = true;
  return true;
}

// The SDK bound and initialised; its vendor asks for CameraSdkInit before
// any other call.
bool sdkReady() {
  if (!bindSdk()) return false;
  if (!sdkStarted) sdkStarted = sdk.CameraSdkInit(sdkLanguageEnglish) == 0;
  return sdkStarted;
}

void connectionFailed(HWND window, const char* text) {
  if (connectFailureShown != text) MessageBoxA(window, text, "Error", MB_OK);
  connectFailureShown = text;
}

void freeBuffer(unsigned char*& buffer) {
  if (buffer) sdk.CameraAlignFree(buffer);
  buffer = nullptr;
}

}  // namespace

bool mindVisionConnect(HWND mainWindow) {
  MindVisionState& mv = mindVision;
  // The SDK refuses to open a camera that is open already; a second
  // "Camera Initialize" would otherwise lose a working camera.
  mindVisionRelease();
  snapFailureShown = false;
  // The whole list each time: a count of 0 left by an earlier search would
  // otherwise keep a camera plugged in later from ever being found.
  mv.deviceCount = 10;
  // Without the SDK there is nothing to enumerate: the same answer as no camera.
  if (!sdkReady() || sdk.CameraEnumerateDevice(mv.deviceList, &mv.deviceCount) != 0 || mv.deviceCount <= 0) {
    connectionFailed(mainWindow, "No camera was found");
    return false;
  }
  mv.connected = 1;
  Sleep(100);
  mv.initStatus = sdk.CameraInit(mv.deviceList[0], -1, -1, &mv.handle);
  if (mv.initStatus != 0) {
    connectionFailed(mainWindow, "Fail to initialize camera");
    mv.connected = 0;
    return false;
  }
  Sleep(100);
  sdk.CameraGetCapability(mv.handle, mv.capability);
  const int heightMax = readInt(mv.capability, capabilityResolutionRange);
  const int widthMax = readInt(mv.capability, capabilityResolutionRange + 8);
  // The sizes come from the SDK's record: a product beyond int is no buffer.
  if (heightMax > 0 && widthMax > 0 && widthMax <= INT_MAX / 4 / heightMax) {
    mv.workBuffer = sdk.CameraAlignMalloc(widthMax * heightMax * 4, 16);
  }
  mv.snapWidth = 1920;
  mv.snapHeight = 1200;
  mv.snapBuffer = sdk.CameraAlignMalloc(1920 * 1200 * 4, 16);
  // Without the snapshot buffer no picture can be shown: better the test
  // pattern than a picture that never changes.
  if (!mv.snapBuffer) {
    connectionFailed(mainWindow, "No Image buffer allocated");
    mindVisionRelease();
    return false;
  }
  connectFailureShown.clear();
  if (!mv.workBuffer) MessageBoxA(mainWindow, "No Image buffer allocated", "Error", MB_OK);
  mv.displayStatus = sdk.CameraDisplayInit(mv.handle, mainWindow);
  mv.displayStatus = sdk.CameraPlay(mv.handle);
  return true;
}

void mindVisionGrab(std::uint8_t* frameBuffer) {
  MindVisionState& mv = mindVision;
  if (!bound || !mv.connected || !mv.snapBuffer) return;
  unsigned char resolution[resolutionRecordBytes] = {};
  const int fullSnapshot = 255;
  std::memcpy(resolution, &fullSnapshot, sizeof fullSnapshot);
  sdk.CameraSetResolutionForSnap(mv.handle, resolution);
  if (sdk.CameraSnapToBuffer(mv.handle, mv.frameHead, &mv.rawFrame, 1000) != 0) {
    // Once per run of failures: live video asks again every 100 ms, and the
    // box's own message loop lets other callers in while it is up.
    if (!snapFailureShown) {
      snapFailureShown = true;
      MessageBoxA(hMainWnd, "CameraSnapToBuffer failed!", "Error Code:", MB_OK);
    }
    return;
  }
  snapFailureShown = false;
  // The processed snapshot must fit the buffer it goes into.
  const int width = readInt(mv.frameHead, frameHeadWidth);
  const int height = readInt(mv.frameHead, frameHeadHeight);
  const bool fits = width > 0 && height > 0 && width <= mv.snapWidth && height <= mv.snapHeight;
  if (fits) sdk.CameraImageProcessEx(mv.handle, mv.rawFrame, mv.snapBuffer, mv.frameHead, processedFormat, 0);
  sdk.CameraReleaseImageBuffer(mv.handle, mv.rawFrame);
  mv.rawFrame = nullptr;
  if (!fits) return;
  for (int r = 0; r < frameHeightPx; ++r) {
    std::memcpy(frameBuffer + std::size_t(r) * frameWidthPx * 4,
                mv.snapBuffer + std::size_t(r) * 1920 * 4 + cropLeftBytes, std::size_t(frameWidthPx) * 4);
  }
}

void mindVisionRelease() {
  MindVisionState& mv = mindVision;
  if (!bound) return;
  if (mv.connected) sdk.CameraUnInit(mv.handle);
  mv.connected = 0;
  freeBuffer(mv.workBuffer);
  freeBuffer(mv.snapBuffer);
}
