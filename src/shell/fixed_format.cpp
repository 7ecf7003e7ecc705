#include "shell/fixed_format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* writeUnsigned(char* out, std::uint32_t v) {
  char digits[10];
  char* p = digits + sizeof digits;
  while (v >= 100) {
    const std::uint32_t pair = v % 100;
    v /= 100;
    p -= 2;
    std::memcpy(p, digitPairs + 2 * pair, 2);
  }
  if (v >= 10) {
    p -= 2;
    std::memcpy(p, digitPairs + 2 * v, 2);
  } else {
    *--p = static_cast<char>('0' + v);
  }
  const auto n = static_cast<size_t>(digits + sizeof digits - p);
  std::memcpy(out, p, n);
  return out + n;
}

}  // namespace

char* writeFixed6(char* out, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 31) != 0;
  const int exponentField = static_cast<int>((bits >> 23) & 0xFF);
  std::uint64_t mantissa = bits & 0x7FFFFF;

  // 2^32 and above, inf and nan: rare enough for the library to do.
  if (exponentField >= 127 + 32) {
    const int n = std::snprintf(out, fixedTextMaxChars, "%f", static_cast<double>(value));
    return out + (n > 0 ? (n < fixedTextMaxChars ? n : fixedTextMaxChars - 1) : 0);
  }

  // |value| = mantissa * 2^exponent exactly; scaled = |value| * 10^6 rounded
  // half to even. Everything fits 64 bits: mantissa * 10^6 < 2^44, and below
  // 2^32 the integer part times 10^6 stays under 2^52.
  int exponent = -149;
  if (exponentField != 0) {
    mantissa |= 0x800000;
    exponent = exponentField - 150;
  }
  std::uint64_t scaled = 0;
  if (exponent >= 0) {
    scaled = (mantissa << exponent) * 1000000u;
  } else if (exponent > -60) {
    const int k = -exponent;
    const std::uint64_t n = mantissa * 1000000u;
    scaled = n >> k;
    const std::uint64_t rest = n & ((std::uint64_t{1} << k) - 1);
    const std::uint64_t half = std::uint64_t{1} << (k - 1);
    if (rest > half || (rest == half && (scaled & 1))) ++scaled;
  }  // else: below 2^-36, far under half a millionth: rounds to 0

  if (negative) *out++ = '-';
  out = writeUnsigned(out, static_cast<std::uint32_t>(scaled / 1000000));
  *out++ = '.';
  const auto fraction = static_cast<std::uint32_t>(scaled % 1000000);
  std::memcpy(out, digitPairs + 2 * (fraction / 10000), 2);
  std::memcpy(out + 2, digitPairs + 2 * (fraction / 100 % 100), 2);
  std::memcpy(out + 4, digitPairs + 2 * (fraction % 100), 2);
  return out + 6;
}
