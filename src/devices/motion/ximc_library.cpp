#include "devices/motion/ximc_library.h"

#include "services/vendor_library.h"

#include <windows.h>

namespace {

XimcLibrary library;
bool bound = false;

}  // namespace

const XimcLibrary* bindXimcLibrary() {
  if (bound) return &library;
  // The vendor ships it (with bindy.dll and xiwrapper.dll) to go beside the program.
  HMODULE module = loadVendorLibrary(L"libximc.dll", VendorSearch::programAndSystem);
  if (!module) return nullptr;
  XimcLibrary found = {};
  const bool complete = bindEntryPoint(module, "ximc_version", found.ximc_version) &&
                        bindEntryPoint(module, "set_bindy_key", found.set_bindy_key) &&
                        bindEntryPoint(module, "enumerate_devices", found.enumerate_devices) &&
                        bindEntryPoint(module, "get_device_count", found.get_device_count) &&
                        bindEntryPoint(module, "get_device_name", found.get_device_name) &&
                        bindEntryPoint(module, "free_enumerate_devices", found.free_enumerate_devices) &&
                        bindEntryPoint(module, "open_device", found.open_device) &&
                        bindEntryPoint(module, "close_device", found.close_device) &&
                        bindEntryPoint(module, "get_engine_settings", found.get_engine_settings) &&
                        bindEntryPoint(module, "set_engine_settings", found.set_engine_settings) &&
                        bindEntryPoint(module, "get_status", found.get_status) &&
                        bindEntryPoint(module, "command_move", found.command_move) &&
                        bindEntryPoint(module, "command_stop", found.command_stop);
  if (!complete) {
    // A library of another kind or version: better no stage than a call
    // through a missing entry.
    FreeLibrary(module);
    return nullptr;
  }
  library = found;
  bound = true;
  return &library;
}

const XimcLibrary* ximcLibrary() { return bound ? &library : nullptr; }
