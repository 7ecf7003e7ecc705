// Each device failing at a chosen call in the middle of each run it takes
// part in (also with a stop confirmed after it): the run ends or goes on as
// it should, within its bound and with the message pump answering, every
// reading taken before the failure is in the saved file, the operator is
// told which device failed, and the stage, the bias and the laser are left
// as safe as the failed device allows. And each failing at the exit.

#include "run_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reliability {
namespace {

enum class Fault { stageErrors, stageFrozen, gpib, usb, camera, board };

struct FaultCase {
  const char* name;
  Run run;
  Fault fault;
  const char* at;  // the call the fault comes at (the stage: its axis)
  int atCall;      // the how-manieth of those calls, counted from the run's start
  bool quick;      // also in every test run, not only in the whole matrix
  Call stopAt = {Source::stage, nullptr, 0};  // a confirmed stop after the fault, in the same run
};

constexpr long visaTimeout = static_cast<long>(0xBFFF0015);  // a failing HRESULT
constexpr unsigned long eabo = 6;                              // the transfer timed out and was aborted
constexpr ULONGLONG cameraTimeoutMs = 5000;

const FaultCase cases[] = {
    // Map scan, 3 x 3: X's 5th move goes to point (1, 0), Y's 4th to row 1;
    // read 8 is point (2, 0); grab 13 is point (1, 0)'s colour; "G 5" turns
    // the laser on at the start.
    {"MapScanStageErrors", Run::mapScan, Fault::stageErrors, "X", 5, true},
    {"MapScanStageFrozen", Run::mapScan, Fault::stageFrozen, "Y", 4, false},
    {"MapScanGpib", Run::mapScan, Fault::gpib, "ibrd", 8, true},
    {"MapScanGpibBias", Run::mapScan, Fault::gpib, "ibwrt", 1, false},
    {"MapScanUsb", Run::mapScan, Fault::usb, "Data.4", 8, false},
    {"MapScanUsbBias", Run::mapScan, Fault::usb, "Source.26", 1, false},
    {"MapScanCamera", Run::mapScan, Fault::camera, "", 13, false},
    {"MapScanBoard", Run::mapScan, Fault::board, "G 5", 1, false},
    // Autofocus: Z's moves 1 to 3 bring it to the top of the range, then
    // one a sample; grab 6 is sample 3; "G 6" dims the lamp as "Focus"
    // starts (the board takes no part in the search itself).
    {"AutofocusStageErrors", Run::autofocus, Fault::stageErrors, "Z", 6, false},
    {"AutofocusStageFrozen", Run::autofocus, Fault::stageFrozen, "Z", 5, true},
    {"AutofocusCamera", Run::autofocus, Fault::camera, "", 6, false},
    {"AutofocusCameraFirstFrame", Run::autofocus, Fault::camera, "", 1, false},
    {"AutofocusBoard", Run::autofocus, Fault::board, "G 6", 1, false},
    // Wide view: X's 3rd move goes to the second tile, Y's 3rd to the fourth.
    {"WideViewStageErrors", Run::wideView, Fault::stageErrors, "X", 3, false},
    {"WideViewStageFrozen", Run::wideView, Fault::stageFrozen, "Y", 3, false},
    {"WideViewCamera", Run::wideView, Fault::camera, "", 4, true},
    {"WideViewCameraFirstTile", Run::wideView, Fault::camera, "", 1, false},
    // I-V, 20 points: the 7th reading, or the 12th voltage set.
    {"IvSweepUsbReading", Run::ivSweep, Fault::usb, "Data.4", 7, true},
    {"IvSweepUsbBias", Run::ivSweep, Fault::usb, "Source.26", 12, false},
    // Time evolution, 1 s on and off twice: the second laser command is the
    // first "off"; reading 30 lies in the first off phase.
    {"TimeEvolutionBoard", Run::timeEvolution, Fault::board, "G 5", 2, true},
    {"TimeEvolutionGpib", Run::timeEvolution, Fault::gpib, "ibrd", 30, false},
    {"TimeEvolutionGpibFirstReading", Run::timeEvolution, Fault::gpib, "ibrd", 1, false},
    {"TimeEvolutionUsb", Run::timeEvolution, Fault::usb, "Data.4", 30, false},
    // A fault, then a stop confirmed later in the same run.
    {"MapScanGpibThenStop", Run::mapScan, Fault::gpib, "ibrd", 5, false, {Source::stage, "command_move", 14}},
    {"WideViewCameraThenStop", Run::wideView, Fault::camera, "", 4, false, {Source::stage, "command_move", 9}},
    {"IvSweepUsbThenStop", Run::ivSweep, Fault::usb, "Data.4", 7, true, {Source::usb, "Driver.9", 12}},
    {"TimeEvolutionBoardThenStop", Run::timeEvolution, Fault::board, "G 5", 2, false,
     {Source::meter, "phase 2 sample 5", 1}},
};

const char* titleOf(Fault fault) {
  switch (fault) {
    case Fault::stageErrors:
    case Fault::stageFrozen: return "Scanner Error";
    case Fault::gpib: return "GPIB Error";
    case Fault::usb: return "USB Error";
    case Fault::camera: return "Camera Error";
    case Fault::board: return "Arduino Error";
  }
  return "?";
}

const char* recordNameOf(Fault fault) {
  switch (fault) {
    case Fault::stageErrors:
    case Fault::stageFrozen: return "stage";
    case Fault::gpib:
    case Fault::usb: return "currentMeter";
    case Fault::camera: return "camera";
    case Fault::board: return "arduino";
  }
  return "?";
}

int axisOf(const char* name) { return name[0] == 'X' ? 0 : name[0] == 'Y' ? 1 : 2; }

RunPlan planFor(const FaultCase& c) {
  RunPlan plan;
  plan.run = c.run;
  plan.usbMeter = c.fault == Fault::usb;
  if (c.stopAt.prefix) plan.stopAt = &c.stopAt;
  if (c.fault == Fault::camera) plan.stallBoundMs = cameraTimeoutMs;
  plan.armFault = [&c] {
    switch (c.fault) {
      case Fault::stageErrors: stageFails(axisOf(c.at), 1, c.atCall); break;
      case Fault::stageFrozen: stageFails(axisOf(c.at), 2, c.atCall); break;
      case Fault::gpib: gpibFails(c.at, c.atCall, eabo); break;
      case Fault::usb: usbFails(c.at, c.atCall, visaTimeout); break;
      case Fault::camera: cameraStops(c.atCall); break;
      case Fault::board: boardUnplugged(c.at, c.atCall); break;
    }
  };
  return plan;
}

using DeviceFault = CaseTest<FaultCase, faultTally>;

TEST_P(DeviceFault, RunEndsInTimeKeepsItsDataAndTellsTheOperator) {
  const FaultCase& c = GetParam();
  const RunPlan plan = planFor(c);
  const RunRecord record = runOnce(plan);
  Tally& tally = faultTally();
  tally.longestStallMs = std::max(tally.longestStallMs, record.longestStallMs);

  expectResponsive(plan, record);
  EXPECT_EQ(record.stopAsked, plan.stopAt != nullptr);
  tally.lostPoints += expectDataSaved(plan, record);
  expectRecord(plan, recordNameOf(c.fault));

  // The operator is told, once, of the device that failed, and of no other.
  std::vector<std::string> told;
  for (const Box& box : record.boxes) told.push_back(box.title);
  ASSERT_EQ(told, std::vector<std::string>{titleOf(c.fault)});
  EXPECT_NE(record.boxes[0].text.find('\n'), std::string::npos) << record.boxes[0].text;

  const bool stageFailed = c.fault == Fault::stageErrors || c.fault == Fault::stageFrozen;
  if (!stageFailed) expectStageBack(plan, record);
  const bool meterFailed = c.fault == Fault::gpib || c.fault == Fault::usb;
  if (c.run == Run::mapScan && !meterFailed) {
    EXPECT_EQ(lastBiasSent(), 0.0) << "bias off";
  }
  if (c.fault != Fault::board) expectLaser(c.run == Run::autofocus ? 51 : 0);
}

INSTANTIATE_TEST_SUITE_P(Matrix, DeviceFault, ::testing::ValuesIn(selectedCases(cases)),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// A device failing while the program exits, with the meter chosen: the
// exit ends, and the make-safe round at its start leaves every other device
// harmless. A driver that hangs in the round is left to the watchdog, which
// does the rest.
struct ExitCase {
  const char* name;
  int equipment;
  Fault fault;  // the stage's faults come only with moves: none at exit
  const char* at;
  int atCall;
  bool quick;
};

const ExitCase exitCases[] = {
    {"GpibOutputOffFails", 3, Fault::gpib, "ibwrt", 1, false},
    {"UsbOutputOffFails", 4, Fault::usb, "Output.12", 1, false},
    {"BoardUnplugged", 3, Fault::board, "G 5", 1, false},
    {"GpibHangsInTheMakeSafeRound", 3, Fault::gpib, nullptr, 0, true},
};

using ExitFault = CaseTest<ExitCase, exitTally>;

TEST_P(ExitFault, TheExitEndsAndEveryOtherDeviceIsLeftHarmless) {
  const ExitCase& c = GetParam();
  static const Call hang = {Source::gpib, "ibwrt 7 9 \":OUTP OFF\"", 1};
  const ExitRecord exit = exitOnce(
      c.equipment,
      [&c] {
        if (c.at) planFor({c.name, Run::mapScan, c.fault, c.at, c.atCall, false}).armFault();
      },
      c.at ? nullptr : &hang);
  EXPECT_EQ(exit.takenOver, !c.at) << "the watchdog took the round over";
  std::string stopped;
  bool gpibOff = false, usbOff = false;
  for (const Event& e : exit.calls.events) {
    if (e.call.rfind("command_stop", 0) == 0) stopped += e.call + "\n";
    gpibOff = gpibOff || e.call == "ibwrt 7 9 \":OUTP OFF\"";
    usbOff = usbOff || e.call == "Output.12(0)";
  }
  EXPECT_EQ(stopped, "command_stop 11\ncommand_stop 12\ncommand_stop 13\n");
  EXPECT_TRUE(gpibOff);
  EXPECT_TRUE(usbOff);
  if (c.fault != Fault::board) expectLightsDark();
}

INSTANTIATE_TEST_SUITE_P(Matrix, ExitFault, ::testing::ValuesIn(selectedCases(exitCases)),
                         [](const ::testing::TestParamInfo<ExitCase>& info) { return info.param.name; });

}  // namespace
}  // namespace reliability
