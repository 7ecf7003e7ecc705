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

TEST(DialogFields, LaserSpotAndDefocusAreLimitedNotRejected) {
  int spot = 7;
  EXPECT_TRUE(readLaserSpotField("2000", 1232, spot));
  EXPECT_EQ(spot, 1232);
  EXPECT_TRUE(readLaserSpotField("-5", 1028, spot));
  EXPECT_EQ(spot, 0);
  EXPECT_FALSE(readLaserSpotField("abc", 1028, spot));
  EXPECT_EQ(spot, 0);

  double defocus = 1.0;
  EXPECT_TRUE(readDefocusField("45", defocus));
  EXPECT_EQ(formatTenths(defocus), "30.0");
  EXPECT_TRUE(readDefocusField("-45", defocus));
  EXPECT_EQ(defocus, -30.0);
  EXPECT_TRUE(readDefocusField("12.34", defocus));
  EXPECT_EQ(formatTenths(defocus), "12.3");
}

TEST(DialogFields, ChangerStepsAreLimitedAndKeepTheTypedSinglePrecisionValue) {
  const struct {
    const char* text;
    bool reads;
    const char* shown;
  } cases[] = {
      {"200", true, "195"}, {"100", true, "189"}, {"192.3", true, "192.3"}, {"", false, "190.5"}, {"step", false, "190.5"},
  };
  for (const auto& c : cases) {
    double step = 190.5;
    EXPECT_EQ(readChangerStepField(c.text, step), c.reads) << c.text;
    EXPECT_EQ(formatShortest(step), c.shown) << c.text;
  }
  double step = 0;
  readChangerStepField("192.3", step);
  EXPECT_EQ(step, static_cast<double>(192.3f)) << "stored in single precision";
}

}  // namespace
