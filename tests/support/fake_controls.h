#pragma once
// Shared by the test sides of the fake vendor libraries: binding their
// control exports and reading their call logs.

#include <windows.h>

#include <string>

namespace fakes {

// Looks up a control export of the fake; the target stays null when the
// library is not the fake.
template <typename Function>
void bindControl(HMODULE module, const char* name, Function& target) {
  target = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The whole log of a fake whose log export copies it into a buffer of the
// given size and returns its full length.
inline std::string readLog(int (*log)(char* buffer, int size)) {
  const int length = log(nullptr, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  log(&text[0], length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace fakes
