#include "devices/camera/basler_camera.h"

#include "devices/camera/camera_frame.h"
#include "devices/camera/pylon_runtime.h"
#include "services/reporting.h"

#include <windows.h>

#include <cstdio>

namespace {

// Every frame wait is bounded: a camera that stops delivering must not
// freeze the program.
constexpr std::uint32_t frameTimeoutMs = 5000;
constexpr int grabAttempts = 10;

const PylonRuntime* pylon = nullptr;
bool runtimeInitialised = false;
PylonDevice device = nullptr;
bool deviceOpen = false;

bool ok(PylonResult result) { return result == 0; }

bool open() {
  if (deviceOpen) return true;
  deviceOpen = ok(pylon->PylonDeviceOpen(device, pylonAccessControl | pylonAccessStream));
  return deviceOpen;
}

bool close() {
  if (!deviceOpen) return true;
  deviceOpen = false;
  return ok(pylon->PylonDeviceClose(device));
}

bool writable(const char* name) { return pylon->PylonDeviceFeatureIsWritable(device, name); }

bool setString(const char* name, const char* value) {
  return ok(pylon->PylonDeviceFeatureFromString(device, name, value));
}

bool setBool(const char* name, bool value) { return ok(pylon->PylonDeviceSetBooleanFeature(device, name, value)); }

bool toMinimum(const char* name) {
  std::int64_t value = 0;
  return ok(pylon->PylonDeviceGetIntegerFeatureMin(device, name, &value)) &&
         ok(pylon->PylonDeviceSetIntegerFeature(device, name, value));
}

bool toMaximum(const char* name) {
  std::int64_t value = 0;
  return ok(pylon->PylonDeviceGetIntegerFeatureMax(device, name, &value)) &&
         ok(pylon->PylonDeviceSetIntegerFeature(device, name, value));
}

// An area: its offsets to their minimum first, so that the width and the
// height can then reach their maximum.
bool wholeArea(const char* offsetX, const char* offsetY, const char* width, const char* height) {
  return toMinimum(offsetX) && toMinimum(offsetY) && toMaximum(width) && toMaximum(height);
}

bool wholeSensor() { return wholeArea("OffsetX", "OffsetY", "Width", "Height"); }

bool wholeRoi() {
  return wholeArea("AutoFunctionROIOffsetX", "AutoFunctionROIOffsetY", "AutoFunctionROIWidth",
                   "AutoFunctionROIHeight");
}

bool wholeAoi() {
  return wholeArea("AutoFunctionAOIOffsetX", "AutoFunctionAOIOffsetY", "AutoFunctionAOIWidth",
                   "AutoFunctionAOIHeight");
}

// Cameras of the standard feature naming 2.0 and later report its version;
// older ones do not, and name their brightness target differently.
bool sfnc2OrLater() {
  std::int64_t major = 0;
  if (!pylon->PylonDeviceFeatureIsReadable(device, "DeviceSFNCVersionMajor")) return false;
  if (!ok(pylon->PylonDeviceGetIntegerFeature(device, "DeviceSFNCVersionMajor", &major))) return false;
  return major >= 2;
}

// Gain or exposure under continuous automatic control, measured over the
// whole picture.
bool continuousAuto(const char* autoFeature, const char* unsupported, bool isGain) {
  if (!writable(autoFeature)) {
    std::printf("%s\n", unsupported);
    return true;
  }
  if (!wholeSensor()) return false;
  if (writable("AutoFunctionROISelector")) {
    if (!(setString("AutoFunctionROISelector", "ROI1") && setBool("AutoFunctionROIUseBrightness", true) &&
          setString("AutoFunctionROISelector", "ROI2") && setBool("AutoFunctionROIUseBrightness", false) &&
          setString("AutoFunctionROISelector", "ROI1") && wholeRoi())) {
      return false;
    }
  } else if (writable("AutoFunctionAOISelector")) {
    if (!(setString("AutoFunctionAOISelector", "AOI1") && wholeAoi())) return false;
  }
  const bool targetSet = sfnc2OrLater() ? ok(pylon->PylonDeviceSetFloatFeature(device, "AutoTargetBrightness", 0.3))
                                        : ok(pylon->PylonDeviceSetIntegerFeature(device, "AutoTargetValue", 80));
  if (!targetSet) return false;
  if (isGain) {
    std::printf("Trying 'GainAuto = Continuous'.\n");
    double gain = 0.0;
    std::int64_t rawGain = 0;
    if (pylon->PylonDeviceFeatureIsReadable(device, "Gain")) {
      if (!ok(pylon->PylonDeviceGetFloatFeature(device, "Gain", &gain))) return false;
    } else if (pylon->PylonDeviceFeatureIsReadable(device, "GainRaw")) {
      if (!ok(pylon->PylonDeviceGetIntegerFeature(device, "GainRaw", &rawGain))) return false;
      gain = static_cast<double>(rawGain);
    }
    std::printf("Initial Gain = %g\n", gain);
  }
  return setString(autoFeature, "Continuous");
}

// One white balance over the whole picture; it is not waited for.
bool whiteBalanceOnce() {
  if (!writable("BalanceWhiteAuto")) {
    std::printf("The camera does not support Balance White Auto.\n");
    return true;
  }
  if (!wholeSensor()) return false;
  if (writable("AutoFunctionROISelector")) {
    if (!(setString("AutoFunctionROISelector", "ROI1") && setBool("AutoFunctionROIUseWhiteBalance", false) &&
          setString("AutoFunctionROISelector", "ROI2") && setBool("AutoFunctionROIUseWhiteBalance", true) &&
          wholeRoi())) {
      return false;
    }
  } else if (writable("AutoFunctionAOISelector")) {
    if (!(setString("AutoFunctionAOISelector", "AOI1") && wholeAoi())) return false;
  }
  std::printf("Trying 'BalanceWhiteAuto = Once'.\nInitial balance ratio: \n");
  return setString("BalanceWhiteAuto", "Once");
}

}  // namespace

bool baslerConnect(std::uint8_t* rawBuffer, std::size_t rawBytes) {
  baslerRelease();
  if (!pylon) pylon = bindPylonRuntime();
  if (!pylon) return false;
  if (!runtimeInitialised) {
    if (!ok(pylon->PylonInitialize())) return false;
    runtimeInitialised = true;
  }
  std::size_t count = 0;
  if (!ok(pylon->PylonEnumerateDevices(&count)) || count == 0) return false;
  if (!ok(pylon->PylonCreateDeviceByIndex(0, &device)) || !device) {
    device = nullptr;
    return false;
  }
  PylonGrabResult result = {};
  bool ready = false;
  if (!open() || !ok(pylon->PylonDeviceGrabSingleFrame(device, 0, rawBuffer, rawBytes, &result, &ready,
                                                        frameTimeoutMs)) ||
      !ready) {
    baslerRelease();
    return false;
  }
  return true;
}

bool baslerAutoSetup() {
  if (!device) return false;
  showInfo("Camera Opening");
  if (!open()) return false;
  showInfo("Camera Auto Gain Control");
  if (!continuousAuto("GainAuto", "The camera does not support Gain Auto.", true)) return false;
  showInfo("Camera Auto Exposure ");
  Sleep(100);
  if (!continuousAuto("ExposureAuto", "The camera does not support Exposure Auto.", false)) return false;
  Sleep(300);
  showInfo("Auto WhiteBalance");
  if (!whiteBalanceOnce()) return false;
  std::fflush(stdout);
  return true;
}

bool baslerManualSetup(int gain, double exposureUs) {
  if (!device) return false;
  if (!close() || !open()) return false;
  return setString("GainAuto", "Off") && ok(pylon->PylonDeviceSetFloatFeature(device, "Gain", gain)) &&
         setString("ExposureAuto", "Off") &&
         ok(pylon->PylonDeviceSetFloatFeature(device, "ExposureTime", exposureUs)) &&
         setString("BalanceWhiteAuto", "Off");
}

bool baslerPresentSettings(double& gain, double& exposureUs) {
  return device && ok(pylon->PylonDeviceGetFloatFeature(device, "Gain", &gain)) &&
         ok(pylon->PylonDeviceGetFloatFeature(device, "ExposureTime", &exposureUs));
}

BaslerGrab baslerGrab(std::uint8_t* rawBuffer, std::size_t rawBytes) {
  if (!device || !open()) return BaslerGrab::failed;
  for (int attempt = 0; attempt < grabAttempts; ++attempt) {
    PylonGrabResult result = {};
    bool ready = false;
    if (!ok(pylon->PylonDeviceGrabSingleFrame(device, 0, rawBuffer, rawBytes, &result, &ready, frameTimeoutMs)) ||
        !ready) {
      return BaslerGrab::failed;
    }
    // Only a whole frame of the size the conversion reads counts; anything
    // else would show stale bytes of the buffer.
    if (result.status == pylonGrabbed && result.sizeX == rawFrameWidth && result.sizeY == rawFrameHeight &&
        result.payloadSize >= rawFrameBytes) {
      return BaslerGrab::frame;
    }
  }
  return BaslerGrab::noFrame;
}

void baslerRelease() {
  if (!device) return;
  close();
  pylon->PylonDestroyDevice(device);
  device = nullptr;
}

void baslerShutDown() {
  baslerRelease();
  if (runtimeInitialised) pylon->PylonTerminate();
  runtimeInitialised = false;
}
