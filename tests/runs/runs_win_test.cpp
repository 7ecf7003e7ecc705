// The runs of the main window driven as an operator drives them, as the
// scenarios of mapping.scenario, spectroscopy.scenario and objective.scenario
// (their steps are runs_fixture.h's), against the fake controller library,
// the fake GPIB driver and the fake camera runtime beside this program, the
// fake sourcemeter driver registered for its class (a 1 MOhm resistor on its
// output, so a reading in uA equals the volts applied) and the emulated board
// (arduino_emulator.py runs this program). Map scans: an area dragged on the
// camera picture, "Start" pressed; the fake stage moves in real time, and the
// meter's current and the camera's colour depend on where the stage stands,
// so every value in the files says where it was measured. "Focus": a bright
// spot sharpest at one Z. "Wide View": a colour per X, Y position. Start-up's
// recovery of unfinished scans. The I-V and time-evolution windows and their
// files. The objective change and its turret travels.
#include "runs_fixture.h"

namespace {

void runScenarios(const char* path) {
  scenario::runFile(path, runsfixture::steps);
  runsfixture::releaseDevices();
}

TEST(Runs, MapScans) { runScenarios(MAPPING_SCENARIO); }
TEST(Runs, Spectroscopy) { runScenarios(SPECTROSCOPY_SCENARIO); }
TEST(Runs, ObjectiveChanges) { runScenarios(OBJECTIVE_SCENARIO); }

}  // namespace
