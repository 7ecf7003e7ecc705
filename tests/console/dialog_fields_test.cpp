#include "console/dialog_fields.h"
#include "services/edit_field_values.h"
#include "services/fixed_format.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(DialogFields, InfinitiesDoNotRead) {
  for (const char* text : {"inf", "-infinity", "1e39"}) {
    float value = 2.5f;
    EXPECT_FALSE(readFiniteFloat(text, value)) << text;
    EXPECT_EQ(value, 2.5f) << text;
  }
}

TEST(DialogFields, ACurrentLimitKeepsEveryDigitWithinTheField) {
  const std::pair<float, const char*> shown[] = {
      {1e-4f, "0.000100"}, {0.0f, "0.000000"}, {1.5e-6f, "1.5e-6"}, {1.23456e-4f, "1.23456e-4"},
      {-1.23456e-7f, "-1.2346e-7"},  // seven digits would not fit the 10 characters read back
  };
  for (const auto& [limit, text] : shown) EXPECT_EQ(keptDigitsText(limit, dialogFieldChars), text) << limit;
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
  float bias = 0.0f;
  EXPECT_TRUE(readBiasField("-50", bias));
  EXPECT_EQ(bias, static_cast<float>(minBiasV));
}

}  // namespace
