#include "devices/measurement/reply_number.h"

#include <cstdlib>

float parseReplyNumber(const char* text, bool stopAtVerticalTab) {
  constexpr std::size_t kMaxCollected = 99;
  char collected[kMaxCollected + 1];
  std::size_t length = 0;
  bool digitSeen = false;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '\n' || (stopAtVerticalTab && c == '\v')) break;
    const bool digit = c >= '0' && c <= '9';
    digitSeen = digitSeen || digit;
    const bool keep = digit || c == '+' || c == '-' || c == '.' || (digitSeen && (c == 'E' || c == 'e'));
    if (keep && length < kMaxCollected) collected[length++] = c;
  }
  collected[length] = '\0';

  char* end = nullptr;
  const float value = std::strtof(collected, &end);
  return end == collected ? 0.0f : value;
}

std::size_t replyEnd(unsigned long count, std::size_t capacity) {
  return count < capacity ? static_cast<std::size_t>(count) : capacity;
}
