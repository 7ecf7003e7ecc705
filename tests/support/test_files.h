#pragma once
// Whole-file reads and writes for tests that check what the program wrote
// byte for byte (text mode turns its line feeds into CR LF).

#include <cstdio>
#include <string>

namespace testfiles {

inline std::string readBytes(const wchar_t* path) {
  std::FILE* f = _wfopen(path, L"rb");
  if (!f) return "<missing>";
  std::string bytes;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

inline bool writeBytes(const wchar_t* path, const char* text) {
  std::FILE* f = _wfopen(path, L"wb");
  if (!f) return false;
  std::fputs(text, f);
  std::fclose(f);
  return true;
}

}  // namespace testfiles
