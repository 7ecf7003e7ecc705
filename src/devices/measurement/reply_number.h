#pragma once
// Turning an instrument's text reply into a number. Portable.

#include <cstddef>
#include <string>

// The first number of a reply such as "NDCA+001.2345E-6" or
// "-2.50000E-06,+1.000000E+00,+9.91E+37": digits, signs and points are
// collected (and an exponent marker 'E' or 'e' once a digit was seen), every
// other character is skipped, and the walk ends at the terminating zero, at a
// line feed, or at a vertical tab when stopAtVerticalTab is set. Separators
// being skipped, a second value runs into the first ("1E-07+3.0E+00") and the
// conversion stops at its sign. At most 99 characters are collected. 0.0 when
// nothing converts.
float parseReplyNumber(const char* text, bool stopAtVerticalTab);

// Where a reply of `count` bytes ends in a buffer of capacity + 1 bytes: the
// count, at most capacity. After a failed call the driver's count can hold
// anything (a system error code when the driver is missing), so the
// terminating zero must never be placed from it unchecked.
std::size_t replyEnd(unsigned long count, std::size_t capacity);

// The USB sourcemeter's driver hands its reading over as UTF-16. Every ASCII
// unit is kept and every other one becomes '?', which the number parse
// skips. A conversion through the system's code page could turn a
// non-ASCII character into bytes that look like digits, signs or an
// exponent marker (the trail byte of a double-byte code page), so it is not
// used. Unit is whatever 16-bit character type the caller holds.
template <typename Unit>
std::string replyTextFromUtf16(const Unit* units, std::size_t count) {
  std::string text(count, '?');
  for (std::size_t i = 0; i < count; ++i) {
    const auto unit = static_cast<unsigned long>(units[i]);
    if (unit < 0x80) text[i] = static_cast<char>(unit);
  }
  return text;
}
