#pragma once
// What a piece of code prints to standard output, caught in a file for the
// length of the call (the program's diagnostics go there). The stream is
// binary meanwhile, so the text is what the code wrote, line feeds and all.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

template <typename Action>
std::string captureStdout(Action action) {
  wchar_t folder[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"out", 0, path);
  std::FILE* file = _wfopen(path, L"w+b");
  if (!file) return "<no capture file>";
  std::fflush(stdout);
  const int original = _dup(_fileno(stdout));
  _dup2(_fileno(file), _fileno(stdout));
  const int mode = _setmode(_fileno(stdout), _O_BINARY);
  action();
  std::fflush(stdout);
  _setmode(_fileno(stdout), mode);
  _dup2(original, _fileno(stdout));
  _close(original);

  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  DeleteFileW(path);
  return text;
}
