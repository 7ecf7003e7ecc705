#include "services/fixed_format.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

// Digit tables, built at compile time: the whole part of a value below
// 10000 left-aligned in four bytes with its length, and every group of
// three decimals, once after the point (".123") and once before a comma
// ("456,"). A value then costs a few loads and stores; digits built one by
// one, or in a small array read back at an offset, stall the processor at
// nearly every value of a map.
struct DigitTables {
  std::array<std::uint32_t, 10000> whole{};
  std::array<std::uint8_t, 10000> wholeLength{};
  std::array<std::uint32_t, 1000> pointThree{};
  std::array<std::uint32_t, 1000> threeComma{};
};

constexpr std::uint32_t packed(const char (&text)[4]) {
  // Byte order as the characters lie in memory on the (little-endian)
  // machines this runs on.
  return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

constexpr DigitTables makeDigitTables() {
  DigitTables t;
  for (int v = 0; v < 10000; ++v) {
    const int n = v >= 1000 ? 4 : v >= 100 ? 3 : v >= 10 ? 2 : 1;
    char text[4] = {};
    for (int i = n - 1, r = v; i >= 0; --i, r /= 10) text[i] = static_cast<char>('0' + r % 10);
    t.whole[static_cast<size_t>(v)] = packed(text);
    t.wholeLength[static_cast<size_t>(v)] = static_cast<std::uint8_t>(n);
  }
  for (int v = 0; v < 1000; ++v) {
    const char a = static_cast<char>('0' + v / 100), b = static_cast<char>('0' + v / 10 % 10),
               c = static_cast<char>('0' + v % 10);
    t.pointThree[static_cast<size_t>(v)] = packed({'.', a, b, c});
    t.threeComma[static_cast<size_t>(v)] = packed({a, b, c, ','});
  }
  return t;
}

// Constant-initialised where the compiler's evaluation limits allow, else
// filled once at start-up.
const DigitTables digitTables = makeDigitTables();

// |value| * 10^6 rounded half to even. The product is exact in double (24
// bits of mantissa times the 14 odd bits of 10^6), and below 2^32 it stays
// under 2^53, so rounding it in the default rounding mode is exactly the
// rounding printf applies to the decimal expansion.
std::uint64_t millionths(float magnitude) {
  const double scaled = static_cast<double>(magnitude) * 1e6;
#if defined(__x86_64__) || defined(_M_X64)
  return static_cast<std::uint64_t>(_mm_cvtsd_si64(_mm_set_sd(scaled)));
#else
  return static_cast<std::uint64_t>(std::llrint(scaled));
#endif
}

// The whole part from 10000 up: rare enough for digit by digit.
char* writeLargeWhole(char* out, std::uint32_t whole) {
  char digits[10];
  int n = 0;
  for (; whole > 0; whole /= 10) digits[n++] = static_cast<char>('0' + whole % 10);
  while (n > 0) *out++ = digits[--n];
  return out;
}

inline char* writeOne(char* out, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const std::uint32_t magnitudeBits = bits & 0x7FFFFFFF;
  // 2^32 and above, inf and nan: rare enough for the library to do.
  if (magnitudeBits >= 0x4F800000) {
    const int n = std::snprintf(out, fixedTextMaxChars, "%f", static_cast<double>(value));
    out += n > 0 ? (n < fixedTextMaxChars ? n : fixedTextMaxChars - 1) : 0;
    *out = ',';  // as the digit tables leave it
    return out;
  }
  float magnitude;
  std::memcpy(&magnitude, &magnitudeBits, sizeof magnitude);
  const std::uint64_t scaled = millionths(magnitude);
  const auto whole = static_cast<std::uint32_t>(scaled / 1000000);
  const auto fraction = static_cast<std::uint32_t>(scaled - std::uint64_t{whole} * 1000000);

  *out = '-';
  out += bits >> 31;
  if (whole < 10000) {
    std::memcpy(out, &digitTables.whole[whole], 4);
    out += digitTables.wholeLength[whole];
  } else {
    out = writeLargeWhole(out, whole);
  }
  std::memcpy(out, &digitTables.pointThree[fraction / 1000], 4);
  std::memcpy(out + 4, &digitTables.threeComma[fraction % 1000], 4);  // the comma is scratch here
  return out + 7;
}

}  // namespace

char* writeFixed6(char* out, float value) { return writeOne(out, value); }

char* writeFixed6List(char* out, const float* values, int count) {
  for (int i = 0; i < count; ++i) {
    out = writeOne(out, values[i]) + 1;  // past the comma writeOne left
  }
  return out;
}

namespace {

// "%.<digits>g" or "%.<digits - 1>e" with a short exponent: "1.5e-06"
// becomes "1.5e-6".
std::string shortText(const char* format, float value, int digits) {
  char text[48];
  std::snprintf(text, sizeof text, format, digits, static_cast<double>(value));
  std::string shown = text;
  const std::size_t e = shown.find('e');
  if (e == std::string::npos) return shown;
  std::size_t first = e + 1;
  if (shown[first] == '+') shown.erase(first, 1);
  if (shown[first] == '-') ++first;
  while (first + 1 < shown.size() && shown[first] == '0') shown.erase(first, 1);
  return shown;
}

bool readsBackAs(const std::string& text, float value) { return std::strtof(text.c_str(), nullptr) == value; }

}  // namespace

std::string keptDigitsText(float value, std::size_t maxChars) {
  char fixed[400];
  std::snprintf(fixed, sizeof fixed, "%f", static_cast<double>(value));
  if (std::strlen(fixed) <= maxChars && readsBackAs(fixed, value)) return fixed;
  std::string closest;
  for (int digits = 1; digits <= 9; ++digits) {
    for (const std::string& shown : {shortText("%.*g", value, digits), shortText("%.*e", value, digits - 1)}) {
      if (shown.size() > maxChars) continue;
      if (readsBackAs(shown, value)) return shown;
      closest = shown;
    }
  }
  return closest.empty() ? fixed : closest;
}
