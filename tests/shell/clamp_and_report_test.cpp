#include "shell/clamp.h"
#include "shell/report_format.h"

#include <gtest/gtest.h>

TEST(ClampInPlace, LimitsTheValueAndReturnsIt) {
  int i = 5;
  EXPECT_EQ(clampInPlace(i, 10, 700), 10);
  EXPECT_EQ(i, 10);
  i = 900;
  EXPECT_EQ(clampInPlace(i, 10, 700), 700);
  i = 300;
  EXPECT_EQ(clampInPlace(i, 10, 700), 300);

  double d = 200.0;
  EXPECT_DOUBLE_EQ(clampInPlace(d, 189.0, 195.0), 195.0);
  d = 100.0;
  EXPECT_DOUBLE_EQ(clampInPlace(d, 189.0, 195.0), 189.0);
  EXPECT_DOUBLE_EQ(d, 189.0);
}

TEST(ElapsedText, WholeMinutesAndTheEstimate) {
  EXPECT_EQ(elapsedText(0, 12), "0M/12M ");
  EXPECT_EQ(elapsedText(59'999, 6), "0M/6M ");
  EXPECT_EQ(elapsedText(125'000, 6), "2M/6M ");
  // More than 2^32 ms still counts right.
  EXPECT_EQ(elapsedText(5'000'000'000ULL, 1), "83333M/1M ");
}
