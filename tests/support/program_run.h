#pragma once
// Where a test program under Wine finds what the build names by its Unix
// path: Wine maps the Unix root to drive Z:.

#include <string>

namespace ui {

// Z:\... for a Unix path.
inline std::wstring windowsPathOf(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return path;
}

}  // namespace ui
