#pragma once
// The one way the program loads an instrument vendor's library (stage
// controller, GPIB driver, camera runtime): by file name, never from the
// folder the program happens to be started in, so that a DLL planted there
// cannot end up driving lasers and motors. A library that is not found is
// not an error: its device is simulated.

#include <windows.h>

enum class VendorSearch {
  programAndSystem,  // beside the program, then System32
  alsoPath,          // and then each absolute folder of PATH, for runtimes that their installers put there
};

// Loads the library; null when it is not found in the allowed places. The
// library's own dependencies come from the folder it was found in (and the
// program's and system folders), never from the current directory.
HMODULE loadVendorLibrary(const wchar_t* fileName, VendorSearch search);

// Looks up an entry point by name and stores it in the function pointer of
// matching type; false when the library lacks it.
template <typename Function>
bool bindEntryPoint(HMODULE module, const char* name, Function& target) {
  FARPROC address = GetProcAddress(module, name);
  if (!address) return false;
  target = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
  return true;
}
