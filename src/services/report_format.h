#pragma once
// Text of the "Time/estimated" box: elapsed whole minutes and the estimate.

#include <cstdio>
#include <string>

inline int wholeMinutes(unsigned long long elapsedMs) {
  return static_cast<int>(elapsedMs / 1000 / 60);
}

inline std::string elapsedText(unsigned long long elapsedMs, int expectedMinutes) {
  char text[64];
  std::snprintf(text, sizeof text, "%dM/%dM ", wholeMinutes(elapsedMs), expectedMinutes);
  return text;
}
