// A stop confirmed at moments spread over each run: the run keeps and saves
// what it measured before, takes nothing more than its design allows after
// the stop, returns the stage where it returns it, and leaves the bias and
// the laser as it leaves them. Closing the main window ends a run the same
// way; the end of the session too, and then nothing is switched on or moved
// again.

#include "run_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <iterator>
#include <string>
#include <utility>
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
const StopCase fixedCases[] = {
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
};

// Text that lives as long as the program, for the generated cases' names and calls.
const char* kept(std::string text) {
  static std::deque<std::string> texts;
  return texts.emplace_back(std::move(text)).c_str();
}

// The fixed cases, then the wide view's corner, every tile's move and grab
// and the return, every I-V point (Up0 .. Up4, Down5 .. Down14,
// Back15 .. Back19) and five samples of each time-evolution phase (On1,
// Off1, On2, Off2: First, Second, Early, Mid, Late are samples 1, 2, 5, 10
// and 15).
std::vector<StopCase> allCases() {
  std::vector<StopCase> cases(std::begin(fixedCases), std::end(fixedCases));
  cases.push_back({"WideViewFirstCornerX", Run::wideView, {Source::stage, "command_move", 1}, false});
  cases.push_back({"WideViewFirstCornerY", Run::wideView, {Source::stage, "command_move", 2}, false});
  const char* tiles[] = {"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine"};
  for (int t = 1; t <= 9; ++t) {
    const std::string tile = std::string("WideViewTile") + tiles[t - 1];
    cases.push_back({kept(tile + "Move"), Run::wideView, {Source::stage, "command_move", t == 1 ? 3 : t + 3}, false});
    cases.push_back({kept(tile), Run::wideView, {Source::camera, "grab F", t}, t == 1 || t == 5});
  }
  cases.push_back({"WideViewReturn", Run::wideView, {Source::stage, "command_move", 13}, false});
  for (int k = 0; k < 20; ++k) {
    const char* branch = k < 5 ? "Up" : k < 15 ? "Down" : "Back";
    cases.push_back({kept("IvSweep" + std::string(branch) + std::to_string(k)), Run::ivSweep,
                     {Source::usb, "Source.26(1, ", k + 1}, k == 2 || k == 9});
  }
  const char* phases[] = {"On1", "Off1", "On2", "Off2"};
  const std::pair<const char*, int> samples[] = {{"First", 1}, {"Second", 2}, {"Early", 5}, {"Mid", 10}, {"Late", 15}};
  for (int p = 0; p < 4; ++p) {
    for (const auto& [when, sample] : samples) {
      cases.push_back({kept(std::string("TimeEvolution") + phases[p] + when), Run::timeEvolution,
                       {Source::meter, kept("phase " + std::to_string(p) + " sample " + std::to_string(sample)), 1},
                       (p == 0 && sample == 10) || (p == 1 && sample == 5)});
    }
  }
  return cases;
}

// Readings the run may still take after the stop was confirmed: a map point
// whose move was under way is still measured; a sweep or a time evolution
// reads nothing more. Once the session has ended, the make-safe round has
// stopped that move too.
size_t readingsAllowedAfterStop(Run run, Ending ending) {
  return run == Run::mapScan && ending != Ending::sessionEnd ? 1 : 0;
}

// What every ended run keeps: its data, and the pump answering; none reads
// more than it may after the end.
void expectEndedInTime(const RunPlan& plan, const RunRecord& record, Tally& tally) {
  tally.longestStallMs = std::max(tally.longestStallMs, record.longestStallMs);
  EXPECT_TRUE(record.boxes.empty()) << record.boxes[0].title << ": " << record.boxes[0].text;
  expectResponsive(plan, record);
  tally.lostPoints += expectDataSaved(plan, record);
  size_t after = 0;
  for (const Served& s : record.served) after += s.at > record.stopAt ? 1 : 0;
  EXPECT_LE(after, readingsAllowedAfterStop(plan.run, plan.ending)) << "readings after the end";
}

size_t grabsAfter(const RunRecord& record) {
  size_t grabs = 0;
  for (const Event& e : record.events) grabs += e.source == Source::camera && e.at > record.stopAt ? 1 : 0;
  return grabs;
}

// The stage, the bias and the laser as a confirmed stop leaves them.
void expectLeftAsAfterAStop(const RunPlan& plan, const RunRecord& record) {
  const Call& at = *plan.stopAt;
  expectStageBack(plan, record);
  switch (plan.run) {
    case Run::mapScan:
      EXPECT_EQ(lastBiasSent(), 0.0) << "bias off";
      expectLaser(0);  // back in Sample view
      break;
    case Run::autofocus:
      expectLaser(51);  // "Focus" switched it on
      break;
    case Run::wideView:
      EXPECT_LE(grabsAfter(record), 1u) << "tiles taken after the stop";
      break;
    case Run::ivSweep: {
      // The bias stays at the voltage of the point being set when the stop came.
      const int k = at.occurrence - 1;
      EXPECT_NEAR(lastBiasSent(), k < 5 ? 0.1 * k : k < 15 ? 0.5 - 0.1 * (k - 5) : -0.5 + 0.1 * (k - 15), 1e-6);
      EXPECT_EQ(static_cast<int>(record.served.size()), k) << "points read before the stop";
      break;
    }
    case Run::timeEvolution:
      // Stopped in an on phase the laser stays on.
      expectLaser(std::string(at.prefix).rfind("phase 0", 0) == 0 || std::string(at.prefix).rfind("phase 2", 0) == 0
                      ? 51
                      : 0);
      break;
  }
}

using Stop = CaseTest<StopCase, stopTally>;

TEST_P(Stop, KeepsWhatWasMeasuredAndLeavesTheDevicesAsDesigned) {
  const StopCase& c = GetParam();
  RunPlan plan;
  plan.run = c.run;
  plan.stopAt = &c.at;
  const RunRecord record = runOnce(plan);
  ASSERT_TRUE(record.stopAsked) << "the stop question never came";
  expectEndedInTime(plan, record, stopTally());
  expectLeftAsAfterAStop(plan, record);
  expectRecord(plan, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Matrix, Stop, ::testing::ValuesIn(selectedCases(allCases())),
                         [](const ::testing::TestParamInfo<StopCase>& info) { return info.param.name; });

// Closing the main window, or the end of the session, at one moment of each
// run (the map scan also while its stage moves).
struct EndingCase {
  const char* name;
  Run run;
  Call at;
  Ending ending;
  bool quick;
};

std::vector<EndingCase> endingCases() {
  const struct {
    const char* name;
    Run run;
    Call at;
  } moments[] = {
      {"MapScanMidRowOne", Run::mapScan, {Source::meter, "point 1 1", 1}},
      {"MapScanRowTwoMove", Run::mapScan, {Source::stage, "command_move", 15}},
      {"AutofocusSampleFour", Run::autofocus, {Source::camera, "grab F", 7}},
      {"WideViewTileThreeMove", Run::wideView, {Source::stage, "command_move", 6}},
      {"IvSweepDown9", Run::ivSweep, {Source::usb, "Source.26(1, ", 10}},
      {"TimeEvolutionOn1Mid", Run::timeEvolution, {Source::meter, "phase 0 sample 10", 1}},
  };
  const std::string quick[] = {"SessionEndMapScanMidRowOne", "CloseIvSweepDown9", "SessionEndTimeEvolutionOn1Mid"};
  std::vector<EndingCase> cases;
  for (const auto& m : moments) {
    for (const Ending ending : {Ending::closeWindow, Ending::sessionEnd}) {
      const std::string name = (ending == Ending::closeWindow ? "Close" : "SessionEnd") + std::string(m.name);
      cases.push_back({kept(name), m.run, m.at, ending, std::find(std::begin(quick), std::end(quick), name) != std::end(quick)});
    }
  }
  return cases;
}

using Ended = CaseTest<EndingCase, endingTally>;

// The run ends at its next wait and saves as after a confirmed stop; the
// main window goes once it is over. After the session's end nothing is
// switched on or moved again.
TEST_P(Ended, TheRunEndsAtItsNextWaitSavesAndTheWindowGoes) {
  const EndingCase& c = GetParam();
  RunPlan plan;
  plan.run = c.run;
  plan.stopAt = &c.at;
  plan.ending = c.ending;
  const RunRecord record = runOnce(plan);
  ASSERT_GE(record.stopAt, 0) << "the window never handled it";
  EXPECT_FALSE(record.stopAsked);
  expectEndedInTime(plan, record, endingTally());
  expectRecord(plan, nullptr);
  EXPECT_TRUE(record.windowGone);
  if (c.ending == Ending::sessionEnd) {
    expectOutputsOffAfter(record, record.stopAt);
    // Not where the make-safe round stopped the stage.
    if (c.run == Run::wideView) EXPECT_EQ(grabsAfter(record), 0u) << "tiles taken after the end";
  } else {
    expectLeftAsAfterAStop(plan, record);
  }
}

INSTANTIATE_TEST_SUITE_P(Matrix, Ended, ::testing::ValuesIn(selectedCases(endingCases())),
                         [](const ::testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

class Figures : public ::testing::Environment {
 public:
  void TearDown() override { printFigures(); }
};
const auto* const figures = ::testing::AddGlobalTestEnvironment(new Figures);

}  // namespace
}  // namespace reliability
