#include "shell/dialog_fields.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(DialogFields, WholeNumbersReadAsCDoesAndHugeOnesStopAtTheIntRange) {
  const struct {
    const char* text;
    bool reads;
    int value;
  } cases[] = {
      {"12.7", true, 12},  {" -3x", true, -3}, {"10.0", true, 10},           {"", false, 0},
      {"x1", false, 0},    {"-", false, 0},    {"9999999999", true, INT_MAX}, {"-9999999999", true, INT_MIN},
  };
  for (const auto& c : cases) {
    int value = 0;
    EXPECT_EQ(readIntField(c.text, value), c.reads) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(DialogFields, NumbersThatNoSettingCouldTakeDoNotRead) {
  for (const char* text : {"nan", "inf", "-infinity", "1e39", ""}) {
    float value = 2.5f;
    EXPECT_FALSE(readFloatField(text, value)) << text;
    EXPECT_EQ(value, 2.5f) << text;
  }
}

TEST(DialogFields, ACurrentLimitBelowWhatSixDecimalsShowIsNotShownAsZero) {
  EXPECT_EQ(formatFixedKeepingSmall(1e-4), "0.000100");
  EXPECT_EQ(formatFixedKeepingSmall(0.0), "0.000000");
  EXPECT_EQ(formatFixedKeepingSmall(static_cast<float>(1e-7)), "1e-07");
}

// The upper limits and the changer steps are checked through the dialogs
// themselves; here the lower limits.
TEST(DialogFields, LaserSpotAndDefocusAreLimitedFromBelowToo) {
  int spot = 7;
  EXPECT_TRUE(readLaserSpotField("-5", 1028, spot));
  EXPECT_EQ(spot, 0);
  double defocus = 1.0;
  EXPECT_TRUE(readDefocusField("-45", defocus));
  EXPECT_EQ(defocus, -maxDefocusUm);
}

}  // namespace
