#include "services/settings_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Reads text through the same stream path the program uses for the file.
ConfigValues readFrom(const std::string& text, ConfigValues start = {}) {
  std::FILE* f = std::tmpfile();
  std::fputs(text.c_str(), f);
  std::rewind(f);
  readConfig(f, start);
  std::fclose(f);
  return start;
}

void expectSame(const ConfigValues& a, const ConfigValues& b) {
  EXPECT_DOUBLE_EQ(a.stepUm, b.stepUm);
  EXPECT_EQ(a.scanSpeed, b.scanSpeed);
  EXPECT_EQ(a.laserSpotX, b.laserSpotX);
  EXPECT_EQ(a.laserSpotY, b.laserSpotY);
  EXPECT_EQ(a.currentEquipment, b.currentEquipment);
  EXPECT_EQ(a.gpibAddress, b.gpibAddress);
  EXPECT_EQ(a.standaConfig, b.standaConfig);
  EXPECT_EQ(a.arduinoComPort, b.arduinoComPort);
  for (int i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(a.dzUm[i], b.dzUm[i]) << i;
    EXPECT_DOUBLE_EQ(a.sampleFocusUm[i], b.sampleFocusUm[i]) << i;
  }
}

TEST(ConfigFile, DefaultsAreWrittenInTheExactLineFormats) {
  EXPECT_EQ(formatConfig(ConfigValues{}),
            "step:1, scan_speed:500, laser shift:(0,0), Ammeter:4, GPIB:18, Standa:0, arduino:12\n"
            "Dz:0.000000, 0.000000, 0.000000, -14.000000, 0.000000\n"
            "sample focus: 0.000000, -8.000000, 25.000000, 20.000000, 10.000000");
}

TEST(ConfigFile, WrittenFileReadsBackToTheSameValuesEvenWithAVeryLongLine) {
  ConfigValues v;
  v.stepUm = 0.25;
  v.scanSpeed = 320;
  v.laserSpotX = 612;
  v.laserSpotY = 401;
  v.currentEquipment = 3;
  v.gpibAddress = 22;
  v.standaConfig = 5;
  v.arduinoComPort = 7;
  const double dz[5] = {1.5, -2.25, 0, -14, 3.125};
  const double focus[5] = {-0.5, -8, 25.75, 20, 10.5};
  for (int i = 0; i < 5; ++i) {
    v.dzUm[i] = dz[i];
    v.sampleFocusUm[i] = focus[i];
  }
  ConfigValues start;
  start.stepUm = 9;  // every field must be overwritten by the file
  start.sampleFocusUm[4] = 99;
  expectSame(readFrom(formatConfig(v), start), v);
  // A line longer than 200 characters ("%lf" writes 4e304 with 305 digits)
  // reads back and keeps the lines after it.
  v.dzUm[0] = 4e304;
  expectSame(readFrom(formatConfig(v), start), v);
}

TEST(ConfigFile, MismatchStopsParsingAndKeepsTheRest) {
  ConfigValues v;
  // "scan-speed" does not match: only the step is taken from line 1.
  EXPECT_EQ(parseConfigLine1("step:2.5, scan-speed:100, laser shift:(3,4)", v), 1);
  EXPECT_DOUBLE_EQ(v.stepUm, 2.5);
  EXPECT_EQ(v.scanSpeed, 500);
  EXPECT_EQ(v.laserSpotX, 0);

  // A line cut short takes the fields up to the cut.
  ConfigValues w;
  EXPECT_EQ(parseConfigLine1("step:3, scan_speed:250, laser shift:(17", w), 3);
  EXPECT_DOUBLE_EQ(w.stepUm, 3.0);
  EXPECT_EQ(w.scanSpeed, 250);
  EXPECT_EQ(w.laserSpotX, 17);
  EXPECT_EQ(w.laserSpotY, 0);
  EXPECT_EQ(w.currentEquipment, 4);

  ConfigValues z;
  EXPECT_EQ(parseConfigLine2("Dz:1, 2, x", z), 2);
  EXPECT_DOUBLE_EQ(z.dzUm[1], 2.0);
  EXPECT_DOUBLE_EQ(z.dzUm[3], -14.0);
}

TEST(ConfigFile, LineThreeReadsWithOrWithoutTheBlankAfterTheColon) {
  ConfigValues a, b;
  EXPECT_EQ(parseConfigLine3("sample focus: 1, 2, 3, 4, 5", a), 5);
  EXPECT_EQ(parseConfigLine3("sample focus:1, 2, 3, 4, 5\n", b), 5);
  EXPECT_DOUBLE_EQ(a.sampleFocusUm[4], 5.0);
  EXPECT_DOUBLE_EQ(b.sampleFocusUm[0], 1.0);
}

TEST(ConfigFile, MissingAndGarbledLinesKeepTheirValues) {
  const ConfigValues onlyFirst = readFrom("step:2, scan_speed:100\n");
  EXPECT_DOUBLE_EQ(onlyFirst.stepUm, 2.0);
  EXPECT_EQ(onlyFirst.scanSpeed, 100);
  EXPECT_DOUBLE_EQ(onlyFirst.dzUm[3], -14.0);
  EXPECT_DOUBLE_EQ(onlyFirst.sampleFocusUm[2], 25.0);

  expectSame(readFrom(""), ConfigValues{});
  expectSame(readFrom("garbage\nmore garbage\n\n"), ConfigValues{});
  // Windows line ends (the file is written in text mode) read the same.
  const ConfigValues crlf = readFrom("step:4, scan_speed:10\r\nDz:1, 1, 1, 1, 1\r\nsample focus: 2, 2, 2, 2, 2");
  EXPECT_DOUBLE_EQ(crlf.dzUm[4], 1.0);
  EXPECT_DOUBLE_EQ(crlf.sampleFocusUm[4], 2.0);
}

TEST(ObjectiveFile, IndexLine) {
  int index = 3;
  EXPECT_EQ(parseObjectiveIndexLine("objective:1\n", index), 1);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(parseObjectiveIndexLine("objective:7", index), 1);
  EXPECT_EQ(index, 7);
  index = 3;
  EXPECT_EQ(parseObjectiveIndexLine("objectif:1", index), 0);
  EXPECT_EQ(index, 3);
}

TEST(ObjectiveFile, ChangerStepsAreClampedTo189Through195) {
  double steps[4] = {192, 192, 192, 192};
  EXPECT_EQ(parseChangerStepsLine("step:200,100,192.5,189\n", steps), 4);
  EXPECT_DOUBLE_EQ(steps[0], 195.0);
  EXPECT_DOUBLE_EQ(steps[1], 189.0);
  EXPECT_DOUBLE_EQ(steps[2], 192.5);
  EXPECT_DOUBLE_EQ(steps[3], 189.0);
}

TEST(ObjectiveFile, PartlyParsedStepsKeepTheOthersAndNothingParsedChangesNothing) {
  double steps[4] = {190, 191, 193, 194};
  EXPECT_EQ(parseChangerStepsLine("step:300,oops", steps), 1);
  EXPECT_DOUBLE_EQ(steps[0], 195.0);
  EXPECT_DOUBLE_EQ(steps[1], 191.0);
  EXPECT_DOUBLE_EQ(steps[3], 194.0);

  double untouched[4] = {1, 2, 3, 4};  // outside the range, but not from the file
  EXPECT_LE(parseChangerStepsLine("steps:190", untouched), 0);
  EXPECT_DOUBLE_EQ(untouched[0], 1.0);

  double withNan[4] = {192, 192, 192, 192};
  parseChangerStepsLine("step:nan,190,190,190", withNan);
  EXPECT_DOUBLE_EQ(withNan[0], 192.0);
  EXPECT_DOUBLE_EQ(withNan[1], 190.0);
}

TEST(ObjectiveFile, WrittenFormatReadsBack) {
  const double steps[4] = {192, 190.5, 195, 189.25};
  const std::string text = formatObjectiveFile(2, steps);
  EXPECT_EQ(text, "objective:2\nstep:192,190.5,195,189.25\n");
  const auto cut = text.find('\n');
  int index = 0;
  double read[4] = {0, 0, 0, 0};
  parseObjectiveIndexLine(text.substr(0, cut + 1).c_str(), index);
  parseChangerStepsLine(text.substr(cut + 1).c_str(), read);
  EXPECT_EQ(index, 2);
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(read[i], steps[i]);
}

}  // namespace
