#include "shell/dialog_fields.h"

#include <gtest/gtest.h>

namespace {

TEST(DialogFields, InfinitiesDoNotRead) {
  for (const char* text : {"inf", "-infinity", "1e39"}) {
    float value = 2.5f;
    EXPECT_FALSE(readFiniteFloat(text, value)) << text;
    EXPECT_EQ(value, 2.5f) << text;
  }
}

TEST(DialogFields, ACurrentLimitBelowWhatSixDecimalsShowIsNotShownAsZero) {
  EXPECT_EQ(formatFixedKeepingSmall(1e-4), "0.000100");
  EXPECT_EQ(formatFixedKeepingSmall(0.0), "0.000000");
  EXPECT_EQ(formatFixedKeepingSmall(static_cast<float>(1e-7)), "1e-07");
  // Six digits would take 11 characters, and the 10 the field reads back
  // ("1.23456e-0") would make the limit 1.23456 A.
  EXPECT_EQ(formatFixedKeepingSmall(static_cast<float>(1.23456e-7)), "1.2346e-07");
  EXPECT_EQ(formatFixedKeepingSmall(static_cast<float>(-1.23456e-7)), "-1.235e-07");
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
