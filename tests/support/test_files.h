#pragma once
// Whole-file reads and writes for tests that check what the program wrote
// byte for byte (text mode turns its line feeds into CR LF).

#include "written_text.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

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

// The names of the files, or of the folders, that match the pattern (a path
// whose last part may hold wildcards).
inline std::vector<std::wstring> namesMatching(const std::wstring& pattern, bool folders = false) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder == folders && name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

}  // namespace testfiles
