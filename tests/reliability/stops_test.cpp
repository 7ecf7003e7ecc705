// A stop confirmed at moments spread over each run: the run keeps and saves
// what it measured before, takes nothing more than its design allows after
// the stop, returns the stage where it returns it, and leaves the bias and
// the laser as it leaves them.

#include "run_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reliability {
namespace {

struct StopCase {
  const char* name;
  Run run;
  Call at;  // the operator clicks at this call; the next wait asks and is answered Yes
  bool quick;
};

// Map scan, 3 x 3: stage moves 1 and 2 are Z's before the approach, 3 to 8
// the approach; settling readings 1 to 3 follow the approach moves, 4 comes
// before the raster and 5 to 7 after each row's move; move 20 starts the
// return; the bias goes off at the end.
// Autofocus: grab 1 comes before the pass, 2 at its start, 3 on its samples;
// Z moves 1 to 3 reach the top of the range, then one a sample, then the
// return to the best Z (25) and the final 1 um up and down (26, 27).
// Wide view: moves 1 and 2 go to the first corner, 3 to 12 visit the tiles,
// 13 and 14 return; grab k is tile k.
// I-V: the k-th voltage set is point k - 1's.
// Time evolution: phases 0 and 2 are laser on, 1 and 3 off.
const StopCase cases[] = {
    {"MapScanZBeforeApproach", Run::mapScan, {Source::stage, "command_move", 1}, false},
    {"MapScanZBeforeApproachUp", Run::mapScan, {Source::stage, "command_move", 2}, false},
    {"MapScanApproachFirst", Run::mapScan, {Source::stage, "command_move", 3}, true},
    {"MapScanApproachSecond", Run::mapScan, {Source::stage, "command_move", 5}, false},
    {"MapScanApproachLast", Run::mapScan, {Source::stage, "command_move", 7}, false},
    {"MapScanApproachSettle", Run::mapScan, {Source::meter, "settle", 1}, false},
    {"MapScanBeforeRaster", Run::mapScan, {Source::meter, "settle", 4}, false},
    {"MapScanRowZeroMove", Run::mapScan, {Source::meter, "settle", 5}, false},
    {"MapScanFirstPoint", Run::mapScan, {Source::meter, "point 0 0", 1}, false},
    {"MapScanMidRowZero", Run::mapScan, {Source::meter, "point 1 0", 1}, false},
    {"MapScanEndOfRowZero", Run::mapScan, {Source::meter, "point 2 0", 1}, false},
    {"MapScanRowOneMove", Run::mapScan, {Source::meter, "settle", 6}, false},
    {"MapScanRowOneFirst", Run::mapScan, {Source::meter, "point 0 1", 1}, false},
    {"MapScanMidRowOne", Run::mapScan, {Source::meter, "point 1 1", 1}, true},
    {"MapScanEndOfRowOne", Run::mapScan, {Source::meter, "point 2 1", 1}, false},
    {"MapScanRowTwoMove", Run::mapScan, {Source::meter, "settle", 7}, false},
    {"MapScanRowTwoFirst", Run::mapScan, {Source::meter, "point 0 2", 1}, false},
    {"MapScanMidRowTwo", Run::mapScan, {Source::meter, "point 1 2", 1}, false},
    {"MapScanLastPoint", Run::mapScan, {Source::meter, "point 2 2", 1}, false},
    {"MapScanReturn", Run::mapScan, {Source::stage, "command_move", 20}, false},
    {"MapScanBiasOff", Run::mapScan, {Source::gpib, "ibwrt 7 19 \":SOUR:VOLT 0", 1}, false},

    {"AutofocusBeforePass", Run::autofocus, {Source::camera, "grab F", 1}, false},
    {"AutofocusPassStart", Run::autofocus, {Source::camera, "grab F", 2}, false},
    {"AutofocusWiggleUp", Run::autofocus, {Source::stage, "command_move 13", 1}, false},
    {"AutofocusWiggleDown", Run::autofocus, {Source::stage, "command_move 13", 2}, false},
    {"AutofocusToTheTop", Run::autofocus, {Source::stage, "command_move 13", 3}, true},
    {"AutofocusFirstSample", Run::autofocus, {Source::camera, "grab F", 3}, false},
    {"AutofocusFirstStep", Run::autofocus, {Source::stage, "command_move 13", 4}, false},
    {"AutofocusSampleTwo", Run::autofocus, {Source::camera, "grab F", 5}, false},
    {"AutofocusSampleFour", Run::autofocus, {Source::camera, "grab F", 7}, false},
    {"AutofocusStepSix", Run::autofocus, {Source::stage, "command_move 13", 9}, false},
    {"AutofocusSampleSeven", Run::autofocus, {Source::camera, "grab F", 10}, false},
    {"AutofocusSampleNine", Run::autofocus, {Source::camera, "grab F", 12}, true},
    {"AutofocusSampleEleven", Run::autofocus, {Source::camera, "grab F", 14}, false},
    {"AutofocusStepEleven", Run::autofocus, {Source::stage, "command_move 13", 14}, false},
    {"AutofocusSampleFourteen", Run::autofocus, {Source::camera, "grab F", 17}, false},
    {"AutofocusSampleSeventeen", Run::autofocus, {Source::camera, "grab F", 20}, false},
    {"AutofocusStepSeventeen", Run::autofocus, {Source::stage, "command_move 13", 20}, false},
    {"AutofocusSampleTwenty", Run::autofocus, {Source::camera, "grab F", 23}, false},
    {"AutofocusReturn", Run::autofocus, {Source::stage, "command_move 13", 25}, false},
    {"AutofocusFinalUp", Run::autofocus, {Source::stage, "command_move 13", 26}, false},
    {"AutofocusFinalDown", Run::autofocus, {Source::stage, "command_move 13", 27}, false},

    {"WideViewFirstCornerX", Run::wideView, {Source::stage, "command_move", 1}, false},
    {"WideViewFirstCornerY", Run::wideView, {Source::stage, "command_move", 2}, false},
    {"WideViewTileOneMove", Run::wideView, {Source::stage, "command_move", 3}, false},
    {"WideViewTileOne", Run::wideView, {Source::camera, "grab F", 1}, true},
    {"WideViewTileTwoMove", Run::wideView, {Source::stage, "command_move", 5}, false},
    {"WideViewTileTwo", Run::wideView, {Source::camera, "grab F", 2}, false},
    {"WideViewTileThreeMove", Run::wideView, {Source::stage, "command_move", 6}, false},
    {"WideViewTileThree", Run::wideView, {Source::camera, "grab F", 3}, false},
    {"WideViewTileFourMove", Run::wideView, {Source::stage, "command_move", 7}, false},
    {"WideViewTileFour", Run::wideView, {Source::camera, "grab F", 4}, false},
    {"WideViewTileFiveMove", Run::wideView, {Source::stage, "command_move", 8}, false},
    {"WideViewTileFive", Run::wideView, {Source::camera, "grab F", 5}, true},
    {"WideViewTileSixMove", Run::wideView, {Source::stage, "command_move", 9}, false},
    {"WideViewTileSix", Run::wideView, {Source::camera, "grab F", 6}, false},
    {"WideViewTileSevenMove", Run::wideView, {Source::stage, "command_move", 10}, false},
    {"WideViewTileSeven", Run::wideView, {Source::camera, "grab F", 7}, false},
    {"WideViewTileEightMove", Run::wideView, {Source::stage, "command_move", 11}, false},
    {"WideViewTileEight", Run::wideView, {Source::camera, "grab F", 8}, false},
    {"WideViewTileNineMove", Run::wideView, {Source::stage, "command_move", 12}, false},
    {"WideViewTileNine", Run::wideView, {Source::camera, "grab F", 9}, false},
    {"WideViewReturn", Run::wideView, {Source::stage, "command_move", 13}, false},

    {"IvSweepUp0", Run::ivSweep, {Source::usb, "Source.26(1, ", 1}, false},
    {"IvSweepUp1", Run::ivSweep, {Source::usb, "Source.26(1, ", 2}, false},
    {"IvSweepUp2", Run::ivSweep, {Source::usb, "Source.26(1, ", 3}, true},
    {"IvSweepUp3", Run::ivSweep, {Source::usb, "Source.26(1, ", 4}, false},
    {"IvSweepUp4", Run::ivSweep, {Source::usb, "Source.26(1, ", 5}, false},
    {"IvSweepDown5", Run::ivSweep, {Source::usb, "Source.26(1, ", 6}, false},
    {"IvSweepDown6", Run::ivSweep, {Source::usb, "Source.26(1, ", 7}, false},
    {"IvSweepDown7", Run::ivSweep, {Source::usb, "Source.26(1, ", 8}, false},
    {"IvSweepDown8", Run::ivSweep, {Source::usb, "Source.26(1, ", 9}, false},
    {"IvSweepDown9", Run::ivSweep, {Source::usb, "Source.26(1, ", 10}, true},
    {"IvSweepDown10", Run::ivSweep, {Source::usb, "Source.26(1, ", 11}, false},
    {"IvSweepDown11", Run::ivSweep, {Source::usb, "Source.26(1, ", 12}, false},
    {"IvSweepDown12", Run::ivSweep, {Source::usb, "Source.26(1, ", 13}, false},
    {"IvSweepDown13", Run::ivSweep, {Source::usb, "Source.26(1, ", 14}, false},
    {"IvSweepDown14", Run::ivSweep, {Source::usb, "Source.26(1, ", 15}, false},
    {"IvSweepBack15", Run::ivSweep, {Source::usb, "Source.26(1, ", 16}, false},
    {"IvSweepBack16", Run::ivSweep, {Source::usb, "Source.26(1, ", 17}, false},
    {"IvSweepBack17", Run::ivSweep, {Source::usb, "Source.26(1, ", 18}, false},
    {"IvSweepBack18", Run::ivSweep, {Source::usb, "Source.26(1, ", 19}, false},
    {"IvSweepBack19", Run::ivSweep, {Source::usb, "Source.26(1, ", 20}, false},

    {"TimeEvolutionOn1First", Run::timeEvolution, {Source::meter, "phase 0 sample 1", 1}, false},
    {"TimeEvolutionOn1Second", Run::timeEvolution, {Source::meter, "phase 0 sample 2", 1}, false},
    {"TimeEvolutionOn1Early", Run::timeEvolution, {Source::meter, "phase 0 sample 5", 1}, false},
    {"TimeEvolutionOn1Mid", Run::timeEvolution, {Source::meter, "phase 0 sample 10", 1}, true},
    {"TimeEvolutionOn1Late", Run::timeEvolution, {Source::meter, "phase 0 sample 15", 1}, false},
    {"TimeEvolutionOff1First", Run::timeEvolution, {Source::meter, "phase 1 sample 1", 1}, false},
    {"TimeEvolutionOff1Second", Run::timeEvolution, {Source::meter, "phase 1 sample 2", 1}, false},
    {"TimeEvolutionOff1Early", Run::timeEvolution, {Source::meter, "phase 1 sample 5", 1}, true},
    {"TimeEvolutionOff1Mid", Run::timeEvolution, {Source::meter, "phase 1 sample 10", 1}, false},
    {"TimeEvolutionOff1Late", Run::timeEvolution, {Source::meter, "phase 1 sample 15", 1}, false},
    {"TimeEvolutionOn2First", Run::timeEvolution, {Source::meter, "phase 2 sample 1", 1}, false},
    {"TimeEvolutionOn2Second", Run::timeEvolution, {Source::meter, "phase 2 sample 2", 1}, false},
    {"TimeEvolutionOn2Early", Run::timeEvolution, {Source::meter, "phase 2 sample 5", 1}, false},
    {"TimeEvolutionOn2Mid", Run::timeEvolution, {Source::meter, "phase 2 sample 10", 1}, false},
    {"TimeEvolutionOn2Late", Run::timeEvolution, {Source::meter, "phase 2 sample 15", 1}, false},
    {"TimeEvolutionOff2First", Run::timeEvolution, {Source::meter, "phase 3 sample 1", 1}, false},
    {"TimeEvolutionOff2Second", Run::timeEvolution, {Source::meter, "phase 3 sample 2", 1}, false},
    {"TimeEvolutionOff2Early", Run::timeEvolution, {Source::meter, "phase 3 sample 5", 1}, false},
    {"TimeEvolutionOff2Mid", Run::timeEvolution, {Source::meter, "phase 3 sample 10", 1}, false},
    {"TimeEvolutionOff2Late", Run::timeEvolution, {Source::meter, "phase 3 sample 15", 1}, false},
};

// Readings the run may still take after the stop was confirmed: a map point
// whose move was under way is still measured; a sweep or a time evolution
// reads nothing more.
size_t readingsAllowedAfterStop(Run run) { return run == Run::mapScan ? 1 : 0; }

using Stop = CaseTest<StopCase, stopTally>;

TEST_P(Stop, KeepsWhatWasMeasuredAndLeavesTheDevicesAsDesigned) {
  const StopCase& c = GetParam();
  RunPlan plan;
  plan.run = c.run;
  plan.stopAt = &c.at;
  const RunRecord record = runOnce(plan);
  Tally& tally = stopTally();
  tally.longestStallMs = std::max(tally.longestStallMs, record.longestStallMs);

  ASSERT_TRUE(record.stopAsked) << "the stop question never came";
  EXPECT_TRUE(record.boxes.empty()) << record.boxes[0].title << ": " << record.boxes[0].text;
  expectResponsive(plan, record);
  tally.lostPoints += expectDataSaved(plan, record);
  size_t after = 0;
  for (const Served& s : record.served) after += s.at > record.stopAt ? 1 : 0;
  EXPECT_LE(after, readingsAllowedAfterStop(c.run)) << "readings after the stop";
  expectStageBack(plan, record);

  switch (c.run) {
    case Run::mapScan:
      EXPECT_EQ(lastBiasSent(), 0.0) << "bias off";
      expectLaser(0);  // back in Sample view
      break;
    case Run::autofocus:
      expectLaser(51);  // "Focus" switched it on
      break;
    case Run::wideView: {
      size_t grabs = 0;
      for (const Event& e : record.events) grabs += e.source == Source::camera && e.at > record.stopAt ? 1 : 0;
      EXPECT_LE(grabs, 1u) << "tiles taken after the stop";
      break;
    }
    case Run::ivSweep: {
      // The bias stays at the voltage of the point being set when the stop came.
      const int k = c.at.occurrence - 1;
      EXPECT_NEAR(lastBiasSent(), k < 5 ? 0.1 * k : k < 15 ? 0.5 - 0.1 * (k - 5) : -0.5 + 0.1 * (k - 15), 1e-6);
      EXPECT_EQ(static_cast<int>(record.served.size()), k) << "points read before the stop";
      break;
    }
    case Run::timeEvolution:
      // Stopped in an on phase the laser stays on.
      expectLaser(std::string(c.at.prefix).rfind("phase 0", 0) == 0 || std::string(c.at.prefix).rfind("phase 2", 0) == 0
                      ? 51
                      : 0);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Matrix, Stop, ::testing::ValuesIn(selectedCases(cases)),
                         [](const ::testing::TestParamInfo<StopCase>& info) { return info.param.name; });

class Figures : public ::testing::Environment {
 public:
  void TearDown() override { printFigures(); }
};
const auto* const figures = ::testing::AddGlobalTestEnvironment(new Figures);

}  // namespace
}  // namespace reliability
