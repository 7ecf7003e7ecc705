#include "services/settings_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Config.txt read over the defaults through the program's own stream path,
// shown as the exit would write it back.
std::string readBack(const std::string& text) {
  ConfigValues v;
  std::FILE* f = std::tmpfile();
  std::fputs(text.c_str(), f);
  std::rewind(f);
  readConfig(f, v);
  std::fclose(f);
  return formatConfig(v);
}

const std::string defaults[3] = {
    "step:1, scan_speed:500, laser shift:(0,0), Ammeter:4, GPIB:18, Standa:0, arduino:12\n",
    "Dz:0.000000, 0.000000, 0.000000, -14.000000, 0.000000\n",
    "sample focus: 0.000000, -8.000000, 25.000000, 20.000000, 10.000000"};

TEST(ConfigFile, BadLinesKeepWhatTheyCannotGiveAndTheFileIsWrittenInItsExactFormat) {
  const struct {
    const char* text;
    const char* lines[3];  // as written back; null: the default line
  } rows[] = {
      {"", {}},
      {"garbage\nmore garbage\n\n", {}},
      // A mismatch ends the line's parse: only what came before it is taken.
      {"step:2.5, scan-speed:100, laser shift:(3,4)",
       {"step:2.5, scan_speed:500, laser shift:(0,0), Ammeter:4, GPIB:18, Standa:0, arduino:12\n"}},
      {"step:3, scan_speed:250, laser shift:(17\n",
       {"step:3, scan_speed:250, laser shift:(17,0), Ammeter:4, GPIB:18, Standa:0, arduino:12\n"}},
      // The third line reads with or without the blank after the colon.
      {"garbage\nDz:1, 2, x\nsample focus:1, 2, 3, 4, 5\n",
       {nullptr, "Dz:1.000000, 2.000000, 0.000000, -14.000000, 0.000000\n",
        "sample focus: 1.000000, 2.000000, 3.000000, 4.000000, 5.000000"}},
      // Windows line ends (the file is written in text mode) read the same.
      {"step:4, scan_speed:10\r\nDz:1, 1, 1, 1, 1\r\nsample focus: 2, 2, 2, 2, 2",
       {"step:4, scan_speed:10, laser shift:(0,0), Ammeter:4, GPIB:18, Standa:0, arduino:12\n",
        "Dz:1.000000, 1.000000, 1.000000, 1.000000, 1.000000\n",
        "sample focus: 2.000000, 2.000000, 2.000000, 2.000000, 2.000000"}},
  };
  for (const auto& r : rows) {
    std::string expected;
    for (int i = 0; i < 3; ++i) expected += r.lines[i] ? r.lines[i] : defaults[i];
    EXPECT_EQ(readBack(r.text), expected) << r.text;
  }
}

TEST(ConfigFile, EveryFieldReadsBackEvenAfterALineLongerThan200Characters) {
  ConfigValues v;
  v.stepUm = 0.25;
  v.scanSpeed = 320;
  v.laserSpotX = 612;
  v.laserSpotY = 401;
  v.currentEquipment = 3;
  v.gpibAddress = 22;
  v.standaConfig = 5;
  v.arduinoComPort = 7;
  for (int i = 0; i < 5; ++i) v.dzUm[i] = 1.5 - i, v.sampleFocusUm[i] = 0.25 * i - 3;
  EXPECT_EQ(readBack(formatConfig(v)), formatConfig(v));
  v.dzUm[0] = 4e304;  // "%lf" writes 305 digits
  EXPECT_EQ(readBack(formatConfig(v)), formatConfig(v));
}

TEST(ObjectiveFile, IndexAndChangerTravelsClampedTo189Through195NanAndMismatchKeepTheOld) {
  const struct {
    const char* line;
    const char* written;
  } rows[] = {{"objective:1\n", "objective:1\nstep:190,191,193,194\n"},
              {"objective:7", "objective:7\nstep:190,191,193,194\n"},
              {"objectif:1", "objective:3\nstep:190,191,193,194\n"},
              {"step:200,100,192.5,189\n", "objective:3\nstep:195,189,192.5,189\n"},
              {"step:300,oops", "objective:3\nstep:195,191,193,194\n"},
              {"steps:190", "objective:3\nstep:190,191,193,194\n"},
              {"step:nan,189.25,190,190", "objective:3\nstep:190,189.25,190,190\n"}};
  for (const auto& r : rows) {
    int index = 3;
    double steps[4] = {190, 191, 193, 194};
    parseObjectiveIndexLine(r.line, index);
    parseChangerStepsLine(r.line, steps);
    EXPECT_EQ(formatObjectiveFile(index, steps), r.written) << r.line;
  }
  // Nothing parsed clamps nothing, not even values outside the range.
  double outside[4] = {1, 2, 3, 4};
  EXPECT_LE(parseChangerStepsLine("steps:190", outside), 0);
  EXPECT_EQ(formatObjectiveFile(0, outside), "objective:0\nstep:1,2,3,4\n");
}

}  // namespace
