// A stand-in for the Basler pylon C runtime: the entry points the camera
// uses, by name, with one simulated camera that serves uniform Bayer frames
// of a chosen colour, or failed frames, time-outs and refused calls as a test
// scripts them, and a log of the calls and of every feature written.
// The fake_pylon_* exports let a test configure it and read the log.

#include "fake_library.h"
#include "imaging/pylon_runtime.h"

#include <windows.h>

#include <cstdio>
#include <deque>
#include <map>
#include <string>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

constexpr PylonResult failure = static_cast<PylonResult>(0xC3000001u);
int deviceTag = 0;  // its address is the device handle
PylonDevice const theDevice = &deviceTag;

struct Feature {
  bool writable = true;
  bool readable = true;
  long long value = 0;
  long long minimum = 0;
  long long maximum = 0;
};

struct State {
  int cameras = 1;
  int initialised = 0;
  bool created = false;
  bool open = false;
  std::deque<char> script;  // per grab: 'F' frame, 'X' failed status, 'T' time-out, 'E' refused, 'S' wrong size
  unsigned char red = 200, green1 = 100, green2 = 100, blue = 50;
  std::map<std::string, Feature> features;
  std::string failing;  // an entry point, or a feature whose writes are refused
  unsigned lastTimeoutMs = 0;
  int grabs = 0;
};

State& state() {
  static State s;
  return s;
}

fakes::CallLog calls("FAKE_PYLON_CALL_LOG");

void defaultFeatures(State& s, int regionKind, int sfncMajor) {
  s.features.clear();
  for (const char* name : {"GainAuto", "ExposureAuto", "BalanceWhiteAuto", "Gain", "ExposureTime",
                           "AutoTargetBrightness", "AutoTargetValue"}) {
    s.features[name] = Feature{};
  }
  s.features["OffsetX"] = {true, true, 8, 0, 16};
  s.features["OffsetY"] = {true, true, 8, 2, 16};
  s.features["Width"] = {true, true, 640, 64, 2464};
  s.features["Height"] = {true, true, 480, 64, 2056};
  const char* prefix = regionKind == 1 ? "AutoFunctionROI" : regionKind == 2 ? "AutoFunctionAOI" : nullptr;
  if (prefix) {
    const std::string p = prefix;
    s.features[p + "Selector"] = Feature{};
    s.features[p + "OffsetX"] = {true, true, 4, 0, 8};
    s.features[p + "OffsetY"] = {true, true, 4, 0, 8};
    s.features[p + "Width"] = {true, true, 100, 16, 2464};
    s.features[p + "Height"] = {true, true, 100, 16, 2056};
    s.features[p + "UseBrightness"] = Feature{};
    s.features[p + "UseWhiteBalance"] = Feature{};
  }
  if (sfncMajor > 0) s.features["DeviceSFNCVersionMajor"] = {false, true, sfncMajor, sfncMajor, sfncMajor};
}

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
  calls.add("%s=%s", name, value.c_str());
  return 0;
}

PylonResult readInteger(PylonDevice device, const char* name, long long Feature::*field, std::int64_t* value) {
  const Feature* f = feature(device, name);
  if (!f || !f->readable) return failure;
  *value = f->*field;
  return 0;
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
  calls.add("PylonTerminate");
  return 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonEnumerateDevices(std::size_t* count) {
  *count = static_cast<std::size_t>(state().cameras);
  return state().initialised > 0 ? 0 : failure;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonCreateDeviceByIndex(std::size_t index, PylonDevice* device) {
  if (index >= static_cast<std::size_t>(state().cameras) || state().created) return failure;
  state().created = true;
  *device = theDevice;
  calls.add("create %u", static_cast<unsigned>(index));
  return 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceOpen(PylonDevice device, int accessMode) {
  if (device != theDevice || !state().created || state().open || refused("PylonDeviceOpen")) return failure;
  state().open = true;
  calls.add("open %d", accessMode);
  return 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceClose(PylonDevice device) {
  if (device != theDevice || !state().open) return failure;
  state().open = false;
  calls.add("close");
  return 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDestroyDevice(PylonDevice device) {
  if (device != theDevice || !state().created || state().open) return failure;
  state().created = false;
  calls.add("destroy");
  return 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceGrabSingleFrame(PylonDevice device, std::size_t channel,
                                                              void* buffer, std::size_t size,
                                                              PylonGrabResult* result, bool* ready,
                                                              std::uint32_t timeoutMs) {
  State& s = state();
  if (device != theDevice || !s.open || channel != 0) return failure;
  ++s.grabs;
  s.lastTimeoutMs = timeoutMs;
  char outcome = 'F';
  if (!s.script.empty()) {
    outcome = s.script.front();
    s.script.pop_front();
  }
  calls.add("grab %c %u", outcome, timeoutMs);
  if (outcome == 'E') return failure;
  *ready = outcome != 'T';
  *result = PylonGrabResult{};
  if (outcome == 'T') return 0;
  const int width = outcome == 'S' ? 1920 : 2464;
  const int height = outcome == 'S' ? 1080 : 2056;
  result->status = outcome == 'X' ? pylonFailed : pylonGrabbed;
  result->sizeX = width;
  result->sizeY = height;
  result->payloadSize = static_cast<std::uint64_t>(width) * height;
  result->buffer = buffer;
  if (outcome == 'F' && size >= result->payloadSize) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (int row = 0; row < height; row += 2) {
      unsigned char* upper = bytes + static_cast<std::size_t>(row) * width;
      unsigned char* lower = upper + width;
      for (int c = 0; c < width; c += 2) {
        upper[c] = s.red;
        upper[c + 1] = s.green1;
        lower[c] = s.green2;
        lower[c + 1] = s.blue;
      }
    }
  }
  return 0;
}

FAKE_EXPORT bool PYLON_CALL PylonDeviceFeatureIsWritable(PylonDevice device, const char* name) {
  const Feature* f = feature(device, name);
  return f && f->writable;
}

FAKE_EXPORT bool PYLON_CALL PylonDeviceFeatureIsReadable(PylonDevice device, const char* name) {
  const Feature* f = feature(device, name);
  return f && f->readable;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceFeatureFromString(PylonDevice device, const char* name,
                                                                const char* value) {
  return write(device, name, value);
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceSetFloatFeature(PylonDevice device, const char* name,
                                                              double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  const PylonResult result = write(device, name, text);
  // Kept as a whole number: the camera's settings in the tests are whole.
  if (Feature* f = feature(device, name); result == 0 && f) f->value = static_cast<long long>(value);
  return result;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceGetFloatFeature(PylonDevice device, const char* name,
                                                              double* value) {
  const Feature* f = feature(device, name);
  if (!f || !f->readable) return failure;
  *value = static_cast<double>(f->value);
  return 0;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceSetIntegerFeature(PylonDevice device, const char* name,
                                                                std::int64_t value) {
  Feature* f = feature(device, name);
  if (f && (value < f->minimum || (f->maximum && value > f->maximum))) return failure;
  const PylonResult result = write(device, name, std::to_string(value));
  if (result == 0 && f) f->value = value;
  return result;
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceGetIntegerFeature(PylonDevice device, const char* name,
                                                                std::int64_t* value) {
  return readInteger(device, name, &Feature::value, value);
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceGetIntegerFeatureMin(PylonDevice device, const char* name,
                                                                   std::int64_t* value) {
  return readInteger(device, name, &Feature::minimum, value);
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceGetIntegerFeatureMax(PylonDevice device, const char* name,
                                                                   std::int64_t* value) {
  return readInteger(device, name, &Feature::maximum, value);
}

FAKE_EXPORT PylonResult PYLON_CALL PylonDeviceSetBooleanFeature(PylonDevice device, const char* name,
                                                                bool value) {
  return write(device, name, value ? "true" : "false");
}

// ---- the test's controls ----

// A fresh runtime with `cameras` cameras: nothing initialised or open, no
// script, the default colour, region selectors of one kind (0 none, 1 ROI,
// 2 AOI) and the given SFNC major version (0: not reported).
FAKE_EXPORT void fake_pylon_reset(int cameras, int regionKind, int sfncMajor) {
  State& s = state();
  const int initialised = s.initialised;
  const bool created = s.created;
  const bool open = s.open;
  s = State{};
  // What the program holds stays held, so that its release can be checked.
  s.initialised = initialised;
  s.created = created;
  s.open = open;
  s.cameras = cameras;
  defaultFeatures(s, regionKind, sfncMajor);
  calls.clear();
}

FAKE_EXPORT void fake_pylon_script(const char* outcomes) {
  for (; *outcomes; ++outcomes) state().script.push_back(*outcomes);
}

FAKE_EXPORT void fake_pylon_set_colour(int red, int green1, int green2, int blue) {
  State& s = state();
  s.red = static_cast<unsigned char>(red);
  s.green1 = static_cast<unsigned char>(green1);
  s.green2 = static_cast<unsigned char>(green2);
  s.blue = static_cast<unsigned char>(blue);
}

FAKE_EXPORT void fake_pylon_set_writable(const char* name, int writable) {
  state().features[name].writable = writable != 0;
}

// What the camera's automatic controls have reached, for example.
FAKE_EXPORT void fake_pylon_set_value(const char* name, long long value) { state().features[name].value = value; }

FAKE_EXPORT void fake_pylon_fail(const char* entryOrFeature) {
  state().failing = entryOrFeature ? entryOrFeature : "";
}

FAKE_EXPORT int fake_pylon_log(char* buffer, int size) { return calls.copy(buffer, size); }

FAKE_EXPORT void fake_pylon_clear_log() { calls.clear(); }

FAKE_EXPORT int fake_pylon_open() {
  return (state().created ? 1 : 0) + (state().open ? 1 : 0);
}

FAKE_EXPORT int fake_pylon_grabs() {
  return state().grabs;
}
