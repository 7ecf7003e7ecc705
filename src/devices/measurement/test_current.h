#pragma once
// The test source that stands in for a meter when none is selected: integers
// 0..32767 like the C library's rand (the same sequence as Microsoft's), so
// the values read as 0 .. 0.00032767 uA. Portable; no allocation.

#include <cstdint>

struct TestCurrentSource {
  std::uint32_t state = 1;  // rand's unseeded start

  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

// r (0..32767) as microamperes: r x 1e-8, in double, rounded to float.
inline float testCurrentUa(int r) { return static_cast<float>(r * 1e-8); }
