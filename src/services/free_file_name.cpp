#include "services/free_file_name.h"

#include <climits>

std::wstring firstFreeNumberedName(const std::function<std::wstring(int number)>& name, int first,
                                   const FileExists& exists, int* used) {
  for (int tries = 0; tries < freeNameSearchLimit && first <= INT_MAX - tries; ++tries) {
    const int number = first + tries;
    std::wstring candidate = name(number);
    if (candidate.empty()) return {};
    if (!exists(candidate)) {
      if (used) *used = number;
      return candidate;
    }
  }
  return {};
}

std::wstring widenAscii(const char* text) {
  std::wstring wide;
  for (; text && *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
  return wide;
}
