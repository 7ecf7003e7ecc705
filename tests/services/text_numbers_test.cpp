// The fast "%f" against the C library's own.
#include "services/fixed_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

std::string fast(float v) {
  char text[fixedTextMaxChars];
  return std::string(text, writeFixed6(text, v));
}

std::string library(float v) {
  char text[fixedTextMaxChars];
  std::snprintf(text, sizeof text, "%f", static_cast<double>(v));
  return text;
}

TEST(FixedFormat, MatchesPrintfAtTiesEdgesSpecialValuesAndAcrossEveryExponent) {
  // n / 128 with n odd are exact halves of a millionth: printf rounds them to even.
  for (int n = -20001; n <= 20001; n += 2) {
    const float v = static_cast<float>(n) / 128.0f;
    ASSERT_EQ(fast(v), library(v)) << n;
  }
  const float inf = std::numeric_limits<float>::infinity();
  for (float v : {0.0f, -0.0f, -0.25f, 5e-7f, 4.9999e-7f, -4e-7f, 1e-30f, 1e-45f, 0.999999f, 999999.94f,
                  4294967040.0f, 4294967296.0f, -4294967296.0f, 3.4e38f, inf, -inf,
                  std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(fast(v), library(v)) << library(v);
  }
  for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 9973) {
    const auto pattern = static_cast<std::uint32_t>(bits);
    float v;
    std::memcpy(&v, &pattern, sizeof v);
    ASSERT_EQ(fast(v), library(v)) << std::hex << pattern;
  }
}

}  // namespace
