#include "devices/camera/pylon_runtime.h"

#include "services/vendor_library.h"

#include <windows.h>

#include <cwchar>

namespace {

PylonRuntime runtime;
bool bound = false;
bool searched = false;

bool bindAll(HMODULE module, PylonRuntime& r) {
  return bindEntryPoint(module, "PylonInitialize", r.PylonInitialize) &&
         bindEntryPoint(module, "PylonTerminate", r.PylonTerminate) &&
         bindEntryPoint(module, "PylonEnumerateDevices", r.PylonEnumerateDevices) &&
         bindEntryPoint(module, "PylonCreateDeviceByIndex", r.PylonCreateDeviceByIndex) &&
         bindEntryPoint(module, "PylonDeviceOpen", r.PylonDeviceOpen) &&
         bindEntryPoint(module, "PylonDeviceClose", r.PylonDeviceClose) &&
         bindEntryPoint(module, "PylonDestroyDevice", r.PylonDestroyDevice) &&
         bindEntryPoint(module, "PylonDeviceGrabSingleFrame", r.PylonDeviceGrabSingleFrame) &&
         bindEntryPoint(module, "PylonDeviceFeatureIsWritable", r.PylonDeviceFeatureIsWritable) &&
         bindEntryPoint(module, "PylonDeviceFeatureIsReadable", r.PylonDeviceFeatureIsReadable) &&
         bindEntryPoint(module, "PylonDeviceFeatureFromString", r.PylonDeviceFeatureFromString) &&
         bindEntryPoint(module, "PylonDeviceSetFloatFeature", r.PylonDeviceSetFloatFeature) &&
         bindEntryPoint(module, "PylonDeviceGetFloatFeature", r.PylonDeviceGetFloatFeature) &&
         bindEntryPoint(module, "PylonDeviceSetIntegerFeature", r.PylonDeviceSetIntegerFeature) &&
         bindEntryPoint(module, "PylonDeviceGetIntegerFeature", r.PylonDeviceGetIntegerFeature) &&
         bindEntryPoint(module, "PylonDeviceGetIntegerFeatureMin", r.PylonDeviceGetIntegerFeatureMin) &&
         bindEntryPoint(module, "PylonDeviceGetIntegerFeatureMax", r.PylonDeviceGetIntegerFeatureMax) &&
         bindEntryPoint(module, "PylonDeviceSetBooleanFeature", r.PylonDeviceSetBooleanFeature);
}

}  // namespace

const PylonRuntime* bindPylonRuntime() {
  if (bound) return &runtime;
  // Searched once per run: the search costs a tenth of a second, video
  // start-up asks again each time while there is no camera, and a runtime
  // installed meanwhile would only be on the PATH of programs started later.
  if (searched) return nullptr;
  searched = true;
  // The file name carries the runtime's version; the newest installed wins.
  for (int major = 10; major >= 5; --major) {
    for (int minor = 9; minor >= 0; --minor) {
      wchar_t name[32];
      std::swprintf(name, 32, L"PylonC_v%d_%d.dll", major, minor);
      HMODULE module = loadVendorLibrary(name, VendorSearch::alsoPath);
      if (!module) continue;
      PylonRuntime found = {};
      if (!bindAll(module, found)) {
        // Not the interface this program speaks: no camera rather than a
        // call through a missing entry.
        FreeLibrary(module);
        continue;
      }
      runtime = found;
      bound = true;
      return &runtime;
    }
  }
  return nullptr;
}
