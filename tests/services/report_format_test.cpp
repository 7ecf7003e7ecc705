#include "services/report_format.h"

#include <gtest/gtest.h>

TEST(ElapsedText, WholeMinutesAndTheEstimate) {
  EXPECT_EQ(elapsedText(0, 12), "0M/12M ");
  EXPECT_EQ(elapsedText(59'999, 6), "0M/6M ");
  EXPECT_EQ(elapsedText(125'000, 6), "2M/6M ");
  // More than 2^32 ms still counts right.
  EXPECT_EQ(elapsedText(5'000'000'000ULL, 1), "83333M/1M ");
}
