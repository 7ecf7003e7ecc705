#include "services/vendor_library.h"

#include "services/library_search.h"

#include <string>
#include <vector>

HMODULE loadVendorLibrary(const wchar_t* fileName, VendorSearch search) {
  HMODULE module =
      LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module || search != VendorSearch::alsoPath) return module;

  const DWORD needed = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (needed == 0) return nullptr;
  std::vector<wchar_t> pathValue(needed);
  const DWORD length = GetEnvironmentVariableW(L"PATH", pathValue.data(), needed);
  if (length == 0 || length >= needed) return nullptr;

  for (const std::wstring& folder : absolutePathFolders(std::wstring_view(pathValue.data(), length))) {
    std::wstring fullName = folder;
    if (fullName.back() != L'\\' && fullName.back() != L'/') fullName += L'\\';
    fullName += fileName;
    // DLL_LOAD_DIR: the runtime's own dependencies come from its folder.
    module = LoadLibraryExW(fullName.c_str(), nullptr,
                            LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module) return module;
  }
  return nullptr;
}
