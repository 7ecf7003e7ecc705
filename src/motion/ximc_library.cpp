#include "motion/ximc_library.h"

#include <windows.h>

namespace {

XimcLibrary library;
bool bound = false;

// Stores the entry point in the function pointer of matching type; false
// when the library lacks it.
template <typename Function>
bool lookUp(HMODULE module, const char* name, Function& target) {
  FARPROC address = GetProcAddress(module, name);
  if (!address) return false;
  target = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
  return true;
}

}  // namespace

const XimcLibrary* bindXimcLibrary() {
  if (bound) return &library;
  HMODULE module = LoadLibraryA("libximc.dll");
  if (!module) return nullptr;
  XimcLibrary found = {};
  const bool complete = lookUp(module, "ximc_version", found.ximc_version) &&
                        lookUp(module, "set_bindy_key", found.set_bindy_key) &&
                        lookUp(module, "enumerate_devices", found.enumerate_devices) &&
                        lookUp(module, "get_device_count", found.get_device_count) &&
                        lookUp(module, "get_device_name", found.get_device_name) &&
                        lookUp(module, "free_enumerate_devices", found.free_enumerate_devices) &&
                        lookUp(module, "open_device", found.open_device) &&
                        lookUp(module, "close_device", found.close_device) &&
                        lookUp(module, "get_engine_settings", found.get_engine_settings) &&
                        lookUp(module, "set_engine_settings", found.set_engine_settings) &&
                        lookUp(module, "get_status", found.get_status) &&
                        lookUp(module, "command_move", found.command_move) &&
                        lookUp(module, "command_stop", found.command_stop);
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
