#pragma once
// Whole-file reads and writes for tests that check what the program wrote
// byte for byte (text mode turns its line feeds into CR LF).

#include "written_text.h"

#include <cstdio>
#include <string>

namespace testfiles {

inline std::string readBytes(const wchar_t* path) {
  std::FILE* f = _wfopen(path, L"rb");
  if (!f) return "<missing>";
  std::string bytes = readStream(f);
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
