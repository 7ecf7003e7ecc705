#pragma once
// What every fuzz target needs besides the code under test: the input as
// text, and the properties that must hold for every input. A property that
// fails is a finding: the target aborts, and libFuzzer keeps the input.

// Each target is a program of one file: its helpers need no namespace, and
// the standard headers the targets use come from here.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

// The fuzz input as a zero-terminated text (a zero byte inside ends it for
// the C functions, as it would in the program).
inline std::string textOf(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}
