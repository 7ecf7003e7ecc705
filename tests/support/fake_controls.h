#pragma once
// Shared by the test sides of the fake vendor libraries: binding their
// control exports and reading their call logs.

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace fakes {

// Looks up a control export of the fake; the target stays null when the
// library is not the fake.
template <typename Function>
void bindControl(HMODULE module, const char* name, Function& target) {
  target = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The controls of a fake: `Controls` holds nothing but function pointers,
// one for each export prefix + name, in that order. All stay null when the
// module is not the fake.
template <typename Controls, std::size_t N>
Controls bindControls(HMODULE module, const char* prefix, const char* const (&names)[N]) {
  static_assert(sizeof(Controls) == N * sizeof(void*), "one name for each control");
  void* bound[N] = {};
  for (std::size_t i = 0; module && i < N; ++i) {
    bound[i] = reinterpret_cast<void*>(GetProcAddress(module, (std::string(prefix) + names[i]).c_str()));
  }
  Controls controls;
  std::memcpy(static_cast<void*>(&controls), bound, sizeof bound);
  return controls;
}

// The library beside the program, loaded if it is not yet.
inline HMODULE library(const char* name) {
  const HMODULE loaded = GetModuleHandleA(name);
  return loaded ? loaded : LoadLibraryA(name);
}

// True when every control was found.
template <typename Controls>
bool allBound(const Controls& controls) {
  void* bound[sizeof(Controls) / sizeof(void*)];
  std::memcpy(bound, static_cast<const void*>(&controls), sizeof bound);
  return std::find(std::begin(bound), std::end(bound), nullptr) == std::end(bound);
}

// The whole log of a fake whose log export copies it into a buffer of the
// given size and returns its full length.
inline std::string readLog(int (*log)(char* buffer, int size)) {
  const int length = log(nullptr, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  log(text.data(), length + 1);
  return text.substr(0, static_cast<size_t>(length));
}

}  // namespace fakes
