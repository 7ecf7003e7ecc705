// A stand-in for the Basler pylon C runtime: the entry points the camera
// uses, by name, with one simulated camera that serves uniform Bayer frames
// of a chosen colour, or failed frames, time-outs and refused calls as a test
// scripts them, and a log of the calls and of every feature written. It can
// also look at the fake stage library loaded beside it: a bright spot in and
// out of focus as the stage's Z moves, or a colour for each X, Y position.
// The fake_pylon_* exports let a test configure it in words and read the log.

#include "../../fake_plumbing.h"
#include "devices/camera/pylon_runtime.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>

namespace {

constexpr PylonResult failure = static_cast<PylonResult>(0xC3000001u);
int deviceTag = 0;  // its address is the device handle
PylonDevice const theDevice = &deviceTag;

struct Feature {
  bool writable = true;
  long long value = 0, minimum = 0, maximum = 0;
};

enum SceneKind { uniformScene, focusSpotScene, stageColourScene };

// A grey disc on black centred at picture pixel (x, yTop), brightest (255)
// with the stage's Z at peak and darker as Z moves away:
// 255 exp(-((z - peak) / width)^2), positions in the stage's 1/256 steps.
struct FocusSpot {
  int x = 0, yTop = 0, radiusPx = 0, zAxis = 2;
  double peak = 0.0, width = 1.0;
};

struct State {
  int cameras = 1, initialised = 0;
  bool created = false, open = false;
  std::deque<char> script;  // per grab: 'F' frame, 'X' failed status, 'T' time-out, 'E' refused, 'S' wrong size
  int red = 200, green1 = 100, green2 = 100, blue = 50;  // within 0 .. 255 when drawn
  SceneKind scene = uniformScene;
  FocusSpot spot;
  int xAxis = 0, yAxis = 1;  // the stage controllers whose position colours the stage-colour scene
  std::map<std::string, Feature> features;
  std::string failing;  // an entry point, or a feature whose writes are refused
  int grabs = 0;
  fakes::ChosenCall framesStop;  // frames stop from this grab on
};

void defaultFeatures(State& s, int regionKind, int sfncMajor) {
  s.features.clear();
  for (const char* name : {"GainAuto", "ExposureAuto", "BalanceWhiteAuto", "Gain", "ExposureTime",
                           "AutoTargetBrightness", "AutoTargetValue"})
    s.features[name] = Feature{};
  s.features["OffsetX"] = {true, 8, 0, 16}, s.features["OffsetY"] = {true, 8, 2, 16};
  s.features["Width"] = {true, 640, 64, 2464}, s.features["Height"] = {true, 480, 64, 2056};
  const std::string p = regionKind == 1 ? "AutoFunctionROI" : regionKind == 2 ? "AutoFunctionAOI" : "";
  if (!p.empty()) {
    for (const char* name : {"Selector", "UseBrightness", "UseWhiteBalance"}) s.features[p + name] = Feature{};
    s.features[p + "OffsetX"] = {true, 4, 0, 8}, s.features[p + "OffsetY"] = {true, 4, 0, 8};
    s.features[p + "Width"] = {true, 100, 16, 2464}, s.features[p + "Height"] = {true, 100, 16, 2056};
  }
  if (sfncMajor > 0) s.features["DeviceSFNCVersionMajor"] = {false, sfncMajor, sfncMajor, sfncMajor};
}

// A whole program started by an end-to-end test, which cannot call
// "reset", finds its camera ready with FAKE_PYLON_CAMERA set.
State& state() {
  static State s = [] {
    State fresh;
    if (!fakes::setting("FAKE_PYLON_CAMERA").empty()) defaultFeatures(fresh, 0, 0);
    return fresh;
  }();
  return s;
}

fakes::CallLog calls("FAKE_PYLON_CALL_LOG");

bool refused(const char* entry) { return state().failing == entry; }

Feature* feature(PylonDevice device, const char* name) {
  if (device != theDevice || !state().open) return nullptr;
  auto found = state().features.find(name);
  return found == state().features.end() ? nullptr : &found->second;
}

// A feature write: logged when it succeeds.
PylonResult write(PylonDevice device, const char* name, const std::string& value) {
  Feature* f = feature(device, name);
  if (!f || !f->writable || state().failing == name) return failure;
  return calls.add("%s=%s", name, value.c_str()), 0;
}

// A write that is also kept as the feature's value.
PylonResult store(PylonDevice device, const char* name, const std::string& text, long long value) {
  const PylonResult result = write(device, name, text);
  if (Feature* f = feature(device, name); result == 0 && f) f->value = value;
  return result;
}

PylonResult readInteger(PylonDevice device, const char* name, long long Feature::*field, std::int64_t* value) {
  const Feature* f = feature(device, name);
  return f ? (*value = f->*field, 0) : failure;
}

// Position in 1/256 steps of a controller of the fake stage library in this
// process; 0 without it. Looked up at every call: the stage may be loaded
// after the camera.
long long stagePosition(int index) {
  long long (*position)(int) = nullptr;
  if (HMODULE stage = GetModuleHandleA("libximc.dll")) fakes::bindControl(stage, "fake_ximc_position", position);
  return position ? position(index) : 0;
}

unsigned char channel(long long value) {
  return static_cast<unsigned char>(value < 0 ? 0 : value > 255 ? 255 : value);
}

void fillBayer(unsigned char* bytes, int width, int height, unsigned char red, unsigned char green1,
               unsigned char green2, unsigned char blue) {
  for (int row = 0; row < height; row += 2) {
    unsigned char* upper = bytes + static_cast<std::size_t>(row) * width;
    unsigned char* lower = upper + width;
    for (int c = 0; c < width; c += 2) upper[c] = red, upper[c + 1] = green1, lower[c] = green2, lower[c + 1] = blue;
  }
}

void drawScene(const State& s, unsigned char* bytes, int width, int height) {
  if (s.scene == stageColourScene) {
    // One whole step of X is one step of red, of Y one of green.
    const unsigned char red = channel(128 + stagePosition(s.xAxis) / 256);
    const unsigned char green = channel(128 + stagePosition(s.yAxis) / 256);
    return fillBayer(bytes, width, height, red, green, green, 60);
  }
  if (s.scene == uniformScene) {
    return fillBayer(bytes, width, height, channel(s.red), channel(s.green1), channel(s.green2), channel(s.blue));
  }
  std::memset(bytes, 0, static_cast<std::size_t>(width) * height);
  const FocusSpot& f = s.spot;
  const double off = (static_cast<double>(stagePosition(f.zAxis)) - f.peak) / f.width;
  const unsigned char grey = channel(static_cast<long long>(255.0 * std::exp(-off * off)));
  for (int dy = -f.radiusPx; dy <= f.radiusPx; ++dy) {
    for (int dx = -f.radiusPx; dx <= f.radiusPx; ++dx) {
      const int x = f.x + dx, y = f.yTop + dy;
      if (dx * dx + dy * dy > f.radiusPx * f.radiusPx || x < 0 || y < 0 || 2 * x >= width || 2 * y >= height) continue;
      unsigned char* cell = bytes + static_cast<std::size_t>(2 * y) * width + 2 * x;
      cell[0] = cell[1] = cell[width] = cell[width + 1] = grey;
    }
  }
}

}  // namespace

// ---- the runtime's entry points ----

FAKE_EXPORT PylonResult PYLON_CALL PylonInitialize() {
  ++state().initialised;
  calls.add("PylonInitialize");
  return refused("PylonInitialize") ? failure : 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonTerminate() {
  --state().initialised;
  return calls.add("PylonTerminate"), 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonEnumerateDevices(std::size_t* count) {
  *count = static_cast<std::size_t>(state().cameras);
  return state().initialised > 0 ? 0 : failure;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonCreateDeviceByIndex(std::size_t index, PylonDevice* device) {
  if (index >= static_cast<std::size_t>(state().cameras) || state().created) return failure;
  state().created = true;
  *device = theDevice;
  return calls.add("create %u", static_cast<unsigned>(index)), 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceOpen(PylonDevice device, int accessMode) {
  if (device != theDevice || !state().created || state().open || refused("PylonDeviceOpen")) return failure;
  state().open = true;
  return calls.add("open %d", accessMode), 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceClose(PylonDevice device) {
  if (device != theDevice || !state().open) return failure;
  state().open = false;
  return calls.add("close"), 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDestroyDevice(PylonDevice device) {
  if (device != theDevice || !state().created || state().open) return failure;
  state().created = false;
  return calls.add("destroy"), 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceGrabSingleFrame(PylonDevice device, std::size_t channel,
                                                              void* buffer, std::size_t size,
                                                              PylonGrabResult* result, bool* ready,
                                                              std::uint32_t timeoutMs) {
  State& s = state();
  if (device != theDevice || !s.open || channel != 0) return failure;
  ++s.grabs;
  char outcome = s.script.empty() ? 'F' : s.script.front();
  if (!s.script.empty()) s.script.pop_front();
  if (s.framesStop.failingFrom("grab")) outcome = 'W';
  calls.add("grab %c %u", outcome, timeoutMs);
  if (outcome == 'W') Sleep(timeoutMs);  // no frame comes: the wait runs its whole time-out
  if (outcome == 'E') return failure;
  *ready = outcome != 'T' && outcome != 'W';
  *result = PylonGrabResult{};
  if (!*ready) return 0;
  const int width = outcome == 'S' ? 1920 : 2464, height = outcome == 'S' ? 1080 : 2056;
  result->status = outcome == 'X' ? pylonFailed : pylonGrabbed;
  result->sizeX = width, result->sizeY = height, result->buffer = buffer;
  result->payloadSize = static_cast<std::uint64_t>(width) * height;
  if (outcome == 'F' && size >= result->payloadSize) drawScene(s, static_cast<unsigned char*>(buffer), width, height);
  return 0;
}

FAKE_EXPORT bool PYLON_CALL PylonDeviceFeatureIsWritable(PylonDevice device, const char* name) {
  return feature(device, name) && feature(device, name)->writable;
}

FAKE_EXPORT bool PYLON_CALL PylonDeviceFeatureIsReadable(PylonDevice device, const char* name) {
  return feature(device, name) != nullptr;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceFeatureFromString(PylonDevice device, const char* name,
                                                                const char* value) {
  return write(device, name, value);
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceSetFloatFeature(PylonDevice device, const char* name,
                                                              double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  // Kept as a whole number: the camera's settings in the tests are whole.
  return store(device, name, text, static_cast<long long>(value));
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceGetFloatFeature(PylonDevice device, const char* name,
                                                              double* value) {
  std::int64_t whole = 0;
  const PylonResult result = readInteger(device, name, &Feature::value, &whole);
  return *value = static_cast<double>(whole), result;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceSetIntegerFeature(PylonDevice device, const char* name,
                                                                std::int64_t value) {
  Feature* f = feature(device, name);
  if (f && (value < f->minimum || (f->maximum && value > f->maximum))) return failure;
  return store(device, name, std::to_string(value), value);
}

#define FAKE_GET_INTEGER(entry, field)                                                        \
  FAKE_EXPORT PylonResult PYLON_CALL entry(PylonDevice device, const char* name, std::int64_t* value) { \
    return readInteger(device, name, &Feature::field, value);                                \
  }
FAKE_GET_INTEGER(PylonDeviceGetIntegerFeature, value)
FAKE_GET_INTEGER(PylonDeviceGetIntegerFeatureMin, minimum)
FAKE_GET_INTEGER(PylonDeviceGetIntegerFeatureMax, maximum)

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceSetBooleanFeature(PylonDevice device, const char* name, bool value) {
  return write(device, name, value ? "true" : "false");
}

// ---- the test's controls ----

// One setting in words (the list is in fake_pylon_control.h).
FAKE_EXPORT void fake_pylon_control(const char* text) {
  State& s = state();
  std::string name, word;
  std::istringstream words = fakes::settingWords(text, name);
  int regionKind = 0, sfncMajor = 0, n = 0;
  if (name == "reset") {
    // What the program holds stays held, so that its release can be checked.
    State fresh;
    fresh.initialised = s.initialised, fresh.created = s.created, fresh.open = s.open;
    words >> fresh.cameras >> regionKind >> sfncMajor;
    defaultFeatures(s = fresh, regionKind, sfncMajor);
    calls.clear();
  }
  if (name == "script" && words >> word) s.script.insert(s.script.end(), word.begin(), word.end());
  if (name == "colour" && words >> s.red >> s.green1 >> s.green2 >> s.blue) s.scene = uniformScene;
  FocusSpot& f = s.spot;
  if (name == "focus-spot" && words >> f.x >> f.yTop >> f.radiusPx >> f.zAxis >> f.peak >> f.width) {
    s.scene = focusSpotScene, f.width = f.width > 0 ? f.width : 1.0;
  }
  if (name == "stage-colours" && words >> s.xAxis >> s.yAxis) s.scene = stageColourScene;
  if (name == "lacks" && words >> word) s.features[word].writable = false;
  if (name == "value" && words >> word) words >> s.features[word].value;
  if (name == "fail") words >> s.failing;
  if (name == "stop-frames" && words >> n) s.framesStop.choose("grab", n);
}

FAKE_LOG_CONTROLS(fake_pylon_, calls)

FAKE_EXPORT int fake_pylon_open() { return (state().created ? 1 : 0) + (state().open ? 1 : 0); }

FAKE_EXPORT int fake_pylon_grabs() { return state().grabs; }
