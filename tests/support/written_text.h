#pragma once
// Reading back what was written: a whole stream from where it stands, and
// what a writer that takes an open FILE* puts into a temporary file (the
// file writers of the portable core are tested that way).

#include <cstdio>
#include <string>

namespace testfiles {

inline std::string readStream(std::FILE* f) {
  std::string bytes;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  return bytes;
}

}  // namespace testfiles

template <typename Writer>
std::string writtenText(Writer write, bool* ok = nullptr) {
  std::FILE* file = std::tmpfile();
  if (!file) return "<no temporary file>";
  const bool written = write(file);
  if (ok) *ok = written;
  std::rewind(file);
  std::string text = testfiles::readStream(file);
  std::fclose(file);
  return text;
}
