#pragma once
// What a writer that takes an open FILE* puts into it, read back: the file
// writers of the portable core are tested through a temporary file.

#include <cstdio>
#include <string>

template <typename Writer>
std::string writtenText(Writer write, bool* ok = nullptr) {
  std::FILE* file = std::tmpfile();
  if (!file) return "<no temporary file>";
  const bool written = write(file);
  if (ok) *ok = written;
  std::rewind(file);
  std::string text;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}
