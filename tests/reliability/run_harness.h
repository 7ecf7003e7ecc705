#pragma once
// Drives each long run of the program (map scan, autofocus, wide view, I-V
// sweep, time evolution) through the real main window, tiny and against
// every fake at once: the stage, the GPIB and USB sourcemeters, the camera
// runtime and the emulated board. Around each run it plays the operator (it
// answers every message box and records it), watches that the message pump
// stays alive, and ends the program when a run does not return in time.
// The fakes report every call to one clock, so that a case can stop the run,
// or make a device fail, at a chosen call; the meter readings it serves are
// recorded, so that every point measured can be looked for in the files.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <type_traits>
#include <string>
#include <vector>

namespace reliability {

enum class Run { mapScan, autofocus, wideView, ivSweep, timeEvolution };
const char* runName(Run run);

// Where a call reported to the clock came from. The meter's own "calls" are
// the readings the harness serves: "point i j", "settle" (map scan),
// "reading" (I-V), "phase p sample s" (time evolution; p counts the on and
// off phases from 0).
enum class Source { stage, gpib, usb, camera, meter };

// The n-th call from the source that begins with the text.
struct Call {
  Source source;
  const char* prefix;
  int occurrence;
};

struct Box {
  std::string title;
  std::string text;
  long at;  // on the clock
};

// One reading the meter delivered, and where it belongs in the run's file:
// the map point (i, j), or the index of the sample or I-V point.
struct Served {
  int i = 0;
  int j = 0;
  float uA = 0.0f;
  long at = 0;  // on the clock
};

struct Event {
  long at;  // on the clock
  Source source;
  std::string call;
};

// How the run is ended at the chosen call: the operator clicks and answers
// the stop question with Yes, closes the main window, or the session ends
// (Windows logs off).
enum class Ending { stop, closeWindow, sessionEnd };

// What happened in one run.
struct RunRecord {
  bool stopAsked = false;       // the stop question came (and was answered Yes)
  long stopAt = -1;             // on the clock: the answer, or the window handling the close or the session's end
  bool windowGone = false;      // the main window went once the run was over
  ULONGLONG tookMs = 0;
  ULONGLONG longestStallMs = 0;  // the longest the message pump did not answer
  std::vector<Box> boxes;        // every message box but the stop question
  std::vector<Served> served;
  std::vector<Event> events;  // every call on the clock, in order; a grab ends in " z=<Z in 1/256 steps>"
};

// How the run was asked to go.
struct RunPlan {
  Run run = Run::mapScan;
  bool usbMeter = false;  // the map scan and the time evolution read the USB sourcemeter instead of GPIB
  const Call* stopAt = nullptr;
  Ending ending = Ending::stop;
  std::function<void()> armFault;  // called just before the run starts
  ULONGLONG stallBoundMs = 0;      // more than the usual bound (the camera's time-out)
};

// The devices, freshly connected and at rest, and the data folder of a new
// case; false with the reason when something is not there.
bool prepareDevices(std::string& why);
void releaseDevices();
// Runs one tiny run as planned and returns what happened. A run that does
// not return within its bound ends the program with "HANG".
RunRecord runOnce(const RunPlan& plan);
// The program's exit after its message loop (lights off, devices closed,
// the make-safe round), with the meter chosen and the fault armed; a device
// call held from the chosen one on (a driver that hangs) is let go once the
// watchdog has taken the round over. Everything the devices were asked is on
// the record, and whether the watchdog took over.
struct ExitRecord {
  RunRecord calls;
  bool takenOver = false;
};
ExitRecord exitOnce(int equipment, const std::function<void()>& armFault, const Call* holdAt);

// Checks shared by the fault and the stop cases, as gtest expectations.
// Every reading served is in the run's file where it belongs and nothing
// else is; returns the readings not found (lost points).
int expectDataSaved(const RunPlan& plan, const RunRecord& record);
// The record beside the run's file (map scan, I-V, time evolution) and the
// record a run started next would have: with a failed device ("stage",
// "arduino", "currentMeter", "camera") the run failed, names that device
// and no other, and the device is still failed at the next start; without,
// nothing failed.
void expectRecord(const RunPlan& plan, const char* failedDevice);
// The stage where the run leaves it, bias and laser as the run leaves them.
void expectStageBack(const RunPlan& plan, const RunRecord& record);
// The last bias the program sent to the meter in use (NaN: none).
double lastBiasSent();
void expectLaser(int level);
// Laser and lamp at level 0 on the board.
void expectLightsDark();
// The make-safe round ran after the clock showed `at` and nothing drove an
// output after it: laser and lamp dark on the board, both sourcemeters'
// outputs off and neither switched on again, no stage move.
void expectOutputsOffAfter(const RunRecord& record, long at);
// The pump answered throughout, and the run ended in about the time it
// takes when all goes well.
void expectResponsive(const RunPlan& plan, const RunRecord& record);

// The fakes' own fault controls, for the cases to arm.
void stageFails(int axis, int kind, int atMove);  // kind 1 errors, 2 frozen
void gpibFails(const char* function, int atCall, unsigned long error);
void usbFails(const char* call, int atCall, long result);
void cameraStops(int atGrab);
void boardUnplugged(const char* atCommand, int count);

// The figures of the whole program run, printed at its end, and also when a
// hang or a crash ends it early.
struct Tally {
  const char* name;
  int cases = 0;
  int asDesigned = 0;
  int hangs = 0;    // runs over their bound; such a run ends the program
  int crashes = 0;  // the program ended by an exception, terminate or abort
  int lostPoints = 0;
  ULONGLONG longestStallMs = 0;
};
Tally& faultTally();
Tally& stopTally();
Tally& endingTally();
Tally& exitTally();
void printFigures();
// The tally of the case under way, for a hang or a crash to be counted in.
void countCaseIn(Tally& tally);

// True for the whole matrix (NERIN_RELIABILITY=full), false for the
// representative cases every test run takes.
bool fullMatrix();

// The cases of a table this program run takes: those marked quick, or all.
template <class Cases>
auto selectedCases(const Cases& cases) {
  std::vector<std::decay_t<decltype(*std::begin(cases))>> chosen;
  for (const auto& c : cases) {
    if (c.quick || fullMatrix()) chosen.push_back(c);
  }
  return chosen;
}

// Each case with fresh devices, counted in its tally.
template <class Case, Tally& (*tallyOf)()>
class CaseTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    countCaseIn(tallyOf());
    std::string why;
    ASSERT_TRUE(prepareDevices(why)) << why;
  }
  void TearDown() override {
    Tally& tally = tallyOf();
    ++tally.cases;
    if (!this->HasFailure()) ++tally.asDesigned;
    releaseDevices();
  }
};

}  // namespace reliability
