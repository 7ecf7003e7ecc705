// A stand-in for the MindVision camera SDK, MVCAMSDK_X64.dll: the entry
// points the camera uses, by name, with the vendor's calling convention and
// record sizes, and one simulated camera (or none) whose snapshots are the
// picture of fake_mindvision_control.h. Every call is logged with its
// arguments; any entry point can be made to fail from a chosen call of it on,
// for good or a number of times. Like
// the SDK it refuses calls before CameraSdkInit and a second CameraInit of an
// open camera. The fake_mv_* exports let a test configure it in words and read
// the log.

#include "../../fake_plumbing.h"
#include "fake_mindvision_control.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#define MV_CALL __stdcall

namespace {

constexpr int statusFailed = -1, statusTimeOut = -12, statusDeviceIsOpened = -18;

constexpr int devInfoBytes = 260;       // eight char[32], then the instance number
constexpr int friendlyNameOffset = 64;  // the third char[32]
constexpr int capabilityBytes = 344;
constexpr int resolutionRange = 216;    // iHeightMax, iHeightMin, iWidthMax, iWidthMin
constexpr int resolutionBytes = 92;
constexpr int frameHeadBytes = 64;

struct State {
  int cameras = 1, red = 200, sdkInits = 0, openHandle = 0, handlesGiven = 0;
  std::map<unsigned char*, int> allocations;  // aligned buffers and their sizes
  unsigned char* lent = nullptr;              // the raw snapshot the program has not given back
  int snaps = 0;
  fakes::ChosenCall failing;
  int failuresLeft = -1;  // of the chosen entry point once reached; -1: no end
};

State& state() { static State s; return s; }

fakes::CallLog calls("FAKE_MVCAMSDK_CALL_LOG");

bool chosenFailure(const char* entry) {
  State& s = state();
  if (s.failing.name() != entry || !s.failing.failingFrom(entry)) return false;
  return s.failuresLeft < 0 || s.failuresLeft-- > 0;
}

// A chosen failure, or any call before the SDK was initialised.
bool refused(const char* entry) {
  if (chosenFailure(entry)) return true;
  if (state().sdkInits == 0) calls.add("%s before CameraSdkInit", entry);
  return state().sdkInits == 0;
}

int sizeOf(unsigned char* buffer) {
  auto found = state().allocations.find(buffer);
  return found == state().allocations.end() ? -1 : found->second;
}

void drawSnapshot(unsigned char* out, int red) {
  for (int row = 0; row < fakeSnapHeight; ++row) {
    unsigned char* pixel = out + static_cast<std::size_t>(row) * fakeSnapWidth * 4;
    for (int x = 0; x < fakeSnapWidth; ++x, pixel += 4) {
      const COLORREF colour = fakeSnapColour(x, row, red);
      pixel[0] = GetBValue(colour), pixel[1] = GetGValue(colour), pixel[2] = GetRValue(colour), pixel[3] = 0xFF;
    }
  }
}

// A handle as the log shows it: H for the open camera's, so that the program
// is seen to pass the handle it was given.
std::string shown(int handle) { return handle && handle == state().openHandle ? "H" : std::to_string(handle); }

// A call on the open camera: logged, refused when chosen or not that camera.
int onCamera(const char* entry, int handle, const std::string& arguments = "") {
  calls.add("%s %s%s", entry, shown(handle).c_str(), arguments.c_str());
  return refused(entry) || handle != state().openHandle ? statusFailed : 0;
}

}  // namespace

// ---- the SDK's entry points ----

FAKE_EXPORT int MV_CALL CameraSdkInit(int language) {
  calls.add("CameraSdkInit %d", language);
  return chosenFailure("CameraSdkInit") ? statusFailed : (++state().sdkInits, 0);
}

FAKE_EXPORT int MV_CALL CameraEnumerateDevice(void* list, int* count) {
  calls.add("CameraEnumerateDevice %d", *count);
  if (refused("CameraEnumerateDevice")) return statusFailed;
  const int found = state().cameras < *count ? state().cameras : *count;
  for (int i = 0; i < found; ++i) {
    unsigned char* entry = static_cast<unsigned char*>(list) + i * devInfoBytes;
    std::memset(entry, 0, devInfoBytes);
    std::snprintf(reinterpret_cast<char*>(entry + friendlyNameOffset), 32, "camera%d", i);
    std::memcpy(entry + devInfoBytes - 4, &i, sizeof i);  // the instance number
  }
  return *count = found, 0;
}

FAKE_EXPORT int MV_CALL CameraInit(void* device, int paramLoadMode, int team, int* handle) {
  calls.add("CameraInit %s %d %d", static_cast<const char*>(device) + friendlyNameOffset, paramLoadMode, team);
  if (refused("CameraInit")) return statusFailed;
  State& s = state();
  if (s.cameras == 0) return statusFailed;
  if (s.openHandle) return statusDeviceIsOpened;
  return *handle = s.openHandle = 101 + s.handlesGiven++, 0;
}

FAKE_EXPORT int MV_CALL CameraGetCapability(int handle, void* capability) {
  if (onCamera("CameraGetCapability", handle) != 0) return statusFailed;
  const int range[] = {fakeMaxHeight, 8, fakeMaxWidth, 8};
  std::memset(capability, 0, capabilityBytes);
  std::memcpy(static_cast<unsigned char*>(capability) + resolutionRange, range, sizeof range);
  return 0;
}

FAKE_EXPORT unsigned char* MV_CALL CameraAlignMalloc(int size, int align) {
  calls.add("CameraAlignMalloc %d %d", size, align);
  if (refused("CameraAlignMalloc") || size <= 0) return nullptr;
  auto* buffer = static_cast<unsigned char*>(_aligned_malloc(static_cast<std::size_t>(size), align));
  if (buffer) state().allocations[buffer] = size;
  return buffer;
}

FAKE_EXPORT void MV_CALL CameraAlignFree(unsigned char* buffer) {
  const int size = sizeOf(buffer);
  calls.add("CameraAlignFree %d", size);
  if (size < 0) return;  // not one of ours: freeing it would corrupt the heap
  state().allocations.erase(buffer), _aligned_free(buffer);
}

FAKE_EXPORT int MV_CALL CameraDisplayInit(int handle, HWND window) {
  char text[64] = " ";  // the window by its class: the program's main window is NerinMain
  GetClassNameA(window, text + 1, sizeof text - 1);
  return onCamera("CameraDisplayInit", handle, text);
}

FAKE_EXPORT int MV_CALL CameraPlay(int handle) { return onCamera("CameraPlay", handle); }

FAKE_EXPORT int MV_CALL CameraSetResolutionForSnap(int handle, void* resolution) {
  const auto* bytes = static_cast<const unsigned char*>(resolution);
  int index = 0;
  std::memcpy(&index, bytes, sizeof index);
  bool othersZero = true;
  for (int i = 4; i < resolutionBytes; ++i) othersZero = othersZero && bytes[i] == 0;
  char text[40];
  std::snprintf(text, sizeof text, " %d%s", index, othersZero ? "" : " and other fields");
  return onCamera("CameraSetResolutionForSnap", handle, text);
}

FAKE_EXPORT int MV_CALL CameraSnapToBuffer(int handle, void* frameHead, unsigned char** buffer, unsigned timeoutMs) {
  State& s = state();
  ++s.snaps;
  calls.add("CameraSnapToBuffer %s %u", shown(handle).c_str(), timeoutMs);
  if (refused("CameraSnapToBuffer")) return statusTimeOut;
  if (handle != s.openHandle || s.lent) return statusFailed;
  const int sizes[] = {fakeSnapWidth * fakeSnapHeight, fakeSnapWidth, fakeSnapHeight};  // one Bayer byte a pixel
  std::memset(frameHead, 0, frameHeadBytes);
  std::memcpy(static_cast<unsigned char*>(frameHead) + 4, sizes, sizeof sizes);
  *buffer = s.lent = static_cast<unsigned char*>(std::calloc(fakeSnapWidth, fakeSnapHeight));
  return s.lent ? 0 : statusFailed;
}

FAKE_EXPORT int MV_CALL CameraImageProcessEx(int handle, unsigned char* in, unsigned char* out, void* frameHead,
                                             unsigned outFormat, unsigned reserved) {
  State& s = state();
  const int outSize = sizeOf(out);
  calls.add("CameraImageProcessEx %s %s %d 0x%08x %u", shown(handle).c_str(), in && in == s.lent ? "raw" : "other",
            outSize, outFormat, reserved);
  if (refused("CameraImageProcessEx") || handle != s.openHandle || !frameHead || in != s.lent ||
      outSize < fakeSnapWidth * fakeSnapHeight * 4) {
    return statusFailed;
  }
  return drawSnapshot(out, s.red), 0;
}

FAKE_EXPORT int MV_CALL CameraReleaseImageBuffer(int handle, unsigned char* buffer) {
  State& s = state();
  calls.add("CameraReleaseImageBuffer %s %s", shown(handle).c_str(), buffer && buffer == s.lent ? "raw" : "other");
  if (refused("CameraReleaseImageBuffer") || buffer != s.lent || !buffer) return statusFailed;
  std::free(s.lent);
  s.lent = nullptr;
  return 0;
}

FAKE_EXPORT int MV_CALL CameraUnInit(int handle) {
  if (onCamera("CameraUnInit", handle) != 0) return statusFailed;
  state().openHandle = 0;
  return 0;
}

// ---- the test's controls ----

// One setting in words (the list is in fake_mindvision_control.h).
FAKE_EXPORT void fake_mv_control(const char* text) {
  State& s = state();
  std::string name, entry;
  std::istringstream words = fakes::settingWords(text, name);
  int nth = 0, times = 0;
  if (name == "reset") {
    // What the program holds (the SDK initialised, the open camera, its
    // buffers) stays held, so that its release can be checked.
    words >> s.cameras;
    s.red = 200, s.failing.choose("", 0);
    calls.clear();
  }
  if (name == "red") words >> s.red;
  if (name == "fail") {
    words >> entry >> nth >> times;
    s.failing.choose(entry, nth), s.failuresLeft = times > 0 ? times : -1;
  }
}

FAKE_LOG_CONTROLS(fake_mv_, calls)

FAKE_EXPORT int fake_mv_held() { return static_cast<int>(state().allocations.size()) + (state().lent ? 1 : 0); }

FAKE_EXPORT int fake_mv_open_handle() { return state().openHandle; }

FAKE_EXPORT int fake_mv_snaps() { return state().snaps; }

