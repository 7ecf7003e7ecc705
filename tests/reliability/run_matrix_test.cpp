// Every long run of the program (map scan, autofocus, wide view, I-V sweep,
// time evolution) driven through the real main window, tiny and against
// every fake at once: the stage, the GPIB and USB sourcemeters, the camera
// runtime and the emulated board. Around each run the harness plays the
// operator (it answers every message box and records it), watches that the
// message pump stays alive, and ends the program when a run does not return
// in time. The fakes report every call to one clock, so that a case can stop
// the run, or make a device fail, at a chosen call; the meter readings it
// serves are recorded, so that every point measured can be looked for in the
// files.
//
// Three matrices: a stop confirmed at moments spread over each run (also the
// main window closed and the session ended); each device failing at a
// chosen call of each run it takes part in (also with a stop after it); each
// device failing at the exit. Every test run takes the cases marked quick;
// NERIN_RELIABILITY=full (scripts/reliability.sh) takes them all, and the
// figures are printed at the end, also when a hang or a crash ends the
// program early.

#include "console/app.h"
#include "devices/motion/stage_axis.h"
#include "program_run.h"
#include "resources/resource_ids.h"
#include "result_records.h"
#include "runs_fixture.h"
#include "scenario.h"
#include "results/result_record_files.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "services/data_paths.h"
#include "services/device_faults.h"
#include "services/instrument_safety.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

enum class Run { mapScan, autofocus, wideView, ivSweep, timeEvolution };
const char* const runNames[] = {"map scan", "autofocus", "wide view", "I-V sweep", "time evolution"};
const char* runName(Run run) { return runNames[static_cast<int>(run)]; }

// Where a call on the clock came from. The meter's own "calls" are the
// readings the harness serves: "point i j", "settle" (map scan), "reading"
// (I-V), "phase p sample s" (time evolution; p counts the on and off phases
// from 0).
enum class Source { stage, gpib, usb, camera, meter };

// The n-th call from the source that begins with the text.
struct Call {
  Source source;
  const char* prefix;
  int occurrence;
};

struct Box {
  std::string title, text;
  long at;  // on the clock
};

// One reading the meter delivered, and where it belongs in the run's file:
// the map point (i, j), or the index of the sample or I-V point.
struct Served {
  int i = 0, j = 0;
  float uA = 0.0f;
  long at = 0;
};

struct Event {
  long at;
  Source source;
  std::string call;  // a grab ends in " z=<Z in 1/256 steps>"
};

// How the run is ended at the chosen call: the operator clicks and answers
// the stop question with Yes, closes the main window, or the session ends.
enum class Ending { stop, closeWindow, sessionEnd };

struct RunRecord {
  bool stopAsked = false;  // the stop question came (and was answered Yes)
  long stopAt = -1;        // the answer, or the window handling the close or the session's end
  bool windowGone = false;
  ULONGLONG tookMs = 0, longestStallMs = 0;  // the longest the message pump did not answer
  std::vector<Box> boxes;                    // every message box but the stop question
  std::vector<Served> served;
  std::vector<Event> events;
};

enum class Fault { none, stageErrors, stageFrozen, gpib, usb, camera, board };
// The title of the operator's message, and the device's name in the records.
const char* const faultTitles[] = {"", "Scanner Error", "Scanner Error", "GPIB Error", "USB Error", "Camera Error", "Arduino Error"};
const char* const faultDevices[] = {nullptr, "stage", "stage", "currentMeter", "currentMeter", "camera", "arduino"};

// One run: ended at a call (by a confirmed stop, closing the main window or
// the session's end), or with a device failing at a call (the stage: at a
// move of its axis), or both, the fault first.
struct Case {
  const char* name;
  Run run;
  Call at;  // at this call the operator clicks (the next wait asks, answered Yes), or the window closes
  bool quick;  // also in every test run, not only in the whole matrix
  Ending ending = Ending::stop;
  Fault fault = Fault::none;
  const char* faultAt = "";
  int faultAtCall = 0;  // the how-manieth of those calls, counted from the run's start
  int equipment = 3;    // the meter chosen (the exit's cases)
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// The figures of the whole program run.
struct Tally {
  const char* name;
  int cases = 0, asDesigned = 0;
  int hangs = 0, crashes = 0;  // either ends the program
  int lostPoints = 0;
  ULONGLONG longestStallMs = 0;
};
Tally tallies[] = {{"device faults"}, {"stops"}, {"closing and session end"}, {"device faults at exit"}};
Tally* activeTally = nullptr;

void printFigures() {
  for (const Tally& t : tallies) {
    if (!t.cases) continue;
    std::printf("FIGURE %s: %d cases tried, %d as designed; %d hangs, %d crashes, %d lost points; "
                "longest pump stall %llu ms\n",
                t.name, t.cases, t.asDesigned, t.hangs, t.crashes, t.lostPoints, t.longestStallMs);
  }
  std::fflush(stdout);
}

constexpr DWORD runBoundMs = 60000;      // a run that takes longer hangs
constexpr ULONGLONG stallBoundMs = 2500;  // the pump answers within this, bar a device's own time-out
constexpr int mapSide = 3;            // 3 x 3 points of 1 um
constexpr int ivPointsPerBranch = 5;  // 20 points
constexpr int zDevice = 2;
// Autofocus: Z starts 4 um below the sharpest spot, at level 6: one pass of
// at most 30 samples whose peak test fires at about the 21st.
constexpr double focusPeakUm = 4.0;

using arduino_emulator::board;
using runsfixture::sourcemeter;
using runsfixture::stageUm;
using runsfixture::umPerMicrostep;

long microsteps(double um) { return std::lround(um / umPerMicrostep); }
bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
void drain() { ui::drainMessages(); }

constexpr long visaTimeout = static_cast<long>(0xBFFF0015);  // a failing HRESULT
constexpr unsigned long eabo = 6;                              // the transfer timed out and was aborted
constexpr ULONGLONG cameraTimeoutMs = 5000;

void armFault(Fault fault, const char* at, int atCall) {
  const int axis = at[0] == 'X' ? 0 : at[0] == 'Y' ? 1 : 2;
  switch (fault) {
    case Fault::none: break;
    case Fault::stageErrors: fakeXimc().fault(axis, 1, atCall); break;
    case Fault::stageFrozen: fakeXimc().fault(axis, 2, atCall); break;
    case Fault::gpib: fakeGpib().fault(at, atCall, eabo); break;
    case Fault::usb: sourcemeter().fault(at, atCall, visaTimeout); break;
    case Fault::camera: fakePylon().stopFrames(atCall); break;
    case Fault::board:
      EXPECT_TRUE(board().ok("UNPLUG at=" + arduino_emulator::escape(at) + " count=" + std::to_string(atCall)));
      break;
  }
}

// ---- the clock: every call of every fake, and the readings served ----

std::mutex recordLock;
std::atomic<long> ticks{0};
RunRecord* recording = nullptr;
Case running{};  // the case under way
int triggerCount = 0;
int readsSinceMove = 0;    // map scan: the first reading at a row start settles
double lastVoltage = 0.0;  // I-V: the sourcemeter's output, uA through 1 MOhm
int phase = -1, phaseSample = 0, lastLaser = -1;  // time evolution
double gridX0 = 0.0, gridY0 = 0.0;
// The exit's driver that hangs: the call it hangs in, and what lets it go.
const Call* holdAt = nullptr;
int holdCount = 0;
const HANDLE holdRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
std::atomic<bool> takenOver{false};

bool matches(const Call* chosen, Source source, const std::string& call, int& count) {
  return chosen && chosen->source == source && startsWith(call, chosen->prefix) && ++count == chosen->occurrence;
}

// Closes the main window, or ends the session, when the run's wait takes the
// message posted to it at the chosen call: the moment it is handled is on
// the clock.
LRESULT CALLBACK operatorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP) return DefWindowProcW(window, message, wParam, lParam);
  {
    std::lock_guard<std::mutex> hold(recordLock);
    if (recording) recording->stopAt = ++ticks;
  }
  if (static_cast<Ending>(wParam) == Ending::sessionEnd) {
    SendMessageW(hMainWnd, WM_ENDSESSION, TRUE, 0);
  } else {
    SendMessageW(hMainWnd, WM_CLOSE, 0, 0);
  }
  return 0;
}

HWND operatorWindow() {
  static const HWND window = [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = operatorProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ReliabilityOperator";
    RegisterClassW(&wc);
    return CreateWindowW(L"ReliabilityOperator", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }();
  return window;
}

void onCall(Source source, std::string call) {
  bool hang = false;
  {
    std::lock_guard<std::mutex> hold(recordLock);
    const long at = ++ticks;
    if (!recording) return;
    if (source == Source::stage && startsWith(call, "command_move")) readsSinceMove = 0;
    if (source == Source::usb && startsWith(call, "Source.26(1, ")) lastVoltage = std::atof(call.c_str() + 13);
    if (source == Source::camera) call += " z=" + std::to_string(fakeXimc().position(zDevice));
    recording->events.push_back({at, source, call});
    if (matches(running.at.prefix ? &running.at : nullptr, source, call, triggerCount)) {
      if (running.ending == Ending::stop) {
        // The operator clicks, as anywhere in the window during a run.
        PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
      } else {
        PostMessageW(operatorWindow(), WM_APP, static_cast<WPARAM>(running.ending), 0);
      }
    }
    hang = matches(holdAt, source, call, holdCount);
  }
  // The driver does not come back (holding its own lock, as the fakes call
  // here under theirs).
  if (hang) WaitForSingleObject(holdRelease, 30000);
}

// The reading the meter delivers now, recorded with where it belongs.
float serveReading() {
  Served s;
  std::string call = "settle";
  float uA = 99.0f;  // never stored
  switch (running.run) {
    case Run::mapScan: {
      const double fi = stageUm(0) - gridX0, fj = gridY0 - stageUm(1);
      s.i = static_cast<int>(std::lround(fi));
      s.j = static_cast<int>(std::lround(fj));
      const bool onGrid = std::fabs(fi - s.i) < 0.05 && std::fabs(fj - s.j) < 0.05 && s.i >= 0 && s.j >= 0 &&
                          s.i < mapSide && s.j < mapSide;
      const bool rowSettle = s.i == 0 && readsSinceMove == 0;
      ++readsSinceMove;
      if (onGrid && !rowSettle) {
        uA = 0.25f + static_cast<float>(s.i) + 10.0f * static_cast<float>(s.j);
        call = "point " + std::to_string(s.i) + " " + std::to_string(s.j);
      }
      break;
    }
    case Run::ivSweep:
      uA = static_cast<float>(lastVoltage);
      call = "reading";
      break;
    case Run::timeEvolution:
      if (lightSources.laserOn != lastLaser) {
        lastLaser = lightSources.laserOn;
        ++phase;
        phaseSample = 0;
      }
      uA = 0.001f * static_cast<float>(recording ? recording->served.size() + 1 : 0);
      call = "phase " + std::to_string(phase) + " sample " + std::to_string(++phaseSample);
      break;
    default:
      uA = 0.0f;
      call = "unexpected reading";
  }
  onCall(Source::meter, call);
  if (call != "settle" && recording) {
    std::lock_guard<std::mutex> hold(recordLock);
    s.uA = uA;
    s.at = ticks;
    if (running.run == Run::ivSweep || running.run == Run::timeEvolution) s.i = static_cast<int>(recording->served.size());
    recording->served.push_back(s);
  }
  return uA;
}

// ---- the operator and the watchmen ----

// Measures how long the message pump leaves a message sent to the main
// window unanswered: short sends, so that the probe never holds up the end
// of the run; a message not answered yet stays pending, and its wait grows.
class PumpProbe {
 public:
  explicit PumpProbe(ULONGLONG& longest) : longest_(longest), thread_([this] { work(); }) {}
  ~PumpProbe() {
    done_ = true;
    thread_.join();
  }

 private:
  void work() {
    ULONGLONG pendingSince = 0;
    bool pending = false;
    while (!done_) {
      const ULONGLONG sent = GetTickCount64();
      if (!pending) pendingSince = sent;
      DWORD_PTR ignored = 0;
      pending = SendMessageTimeoutW(hMainWnd, WM_NULL, 0, 0, SMTO_NORMAL, 100, &ignored) == 0;
      longest_ = std::max(longest_, GetTickCount64() - pendingSince);
      if (!pending) Sleep(5);
    }
  }

  ULONGLONG& longest_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

const char* caseName() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return test ? test->name() : "?";
}

// A case that ends the program (a hang, a crash) counts, and the figures are
// printed before it goes.
[[noreturn]] void endCounted(int Tally::*what, UINT exitCode) {
  if (activeTally) {
    ++(activeTally->*what);
    ++activeTally->cases;
  }
  printFigures();
  TerminateProcess(GetCurrentProcess(), exitCode);
  for (;;) Sleep(INFINITE);
}

void crashed(const char* how, UINT exitCode) {
  std::printf("CRASH: %s in %s\n", how, caseName());
  endCounted(&Tally::crashes, exitCode);
}

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* info) {
  const UINT code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 1;
  char how[48];
  std::snprintf(how, sizeof how, "exception 0x%08X", code);
  crashed(how, code);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Ends the program when the run has not returned within its bound: a hang.
class Watchdog {
 public:
  explicit Watchdog(const char* what)
      : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this, what] {
          if (WaitForSingleObject(done_, runBoundMs) == WAIT_OBJECT_0) return;
          std::printf("HANG: the %s did not return within %lu ms in %s\n", what, runBoundMs, caseName());
          endCounted(&Tally::hangs, 3);
        }) {}
  ~Watchdog() {
    SetEvent(done_);
    thread_.join();
    CloseHandle(done_);
  }

 private:
  HANDLE done_;
  std::thread thread_;
};

std::wstring resultFile(const wchar_t* name) { return std::wstring(dataPaths.measurementFolder) + L"\\" + name; }

// Where the autofocus run leaves Z: at the best sample of its pass seen
// before the pass ended, or where the pass started when it ended before its
// first sample. The spot is sharper the closer Z is to its peak.
long bestFocusZ(const RunRecord& record) {
  const long peak = microsteps(focusPeakUm);
  long lastTarget = 0, best = 0;
  bool sweeping = false, sampled = false;
  for (const Event& e : record.events) {
    long whole = 0, micro = 0, id = 0;
    if (e.source == Source::stage && std::sscanf(e.call.c_str(), "command_move %ld %ld %ld", &id, &whole, &micro) == 3 &&
        id == fakeXimc().deviceId(zDevice)) {
      const long target = whole * 256 + micro, step = target - lastTarget;
      lastTarget = target;
      if (!sweeping && step >= microsteps(5.0)) {
        sweeping = true;  // up to the top of the range
      } else if (sweeping && !(step < 0 && step > -microsteps(2.0))) {
        break;  // not a step of the sweep: the pass is over
      }
    }
    if (sweeping && e.source == Source::camera && startsWith(e.call, "grab F")) {
      const long z = std::atol(e.call.c_str() + e.call.rfind("z=") + 2);
      if (!sampled || std::labs(z - peak) < std::labs(best - peak)) best = z;
      sampled = true;
    }
  }
  return best;
}

// ---- the devices and one run ----

// The devices, freshly connected and at rest, and the data folder of a new
// case; false with the reason when something is not there.
bool prepareDevices(std::string& why) {
  why.clear();
  if (!fakeXimc().fault || !fakeGpib().fault || !fakePylon().stopFrames) why = "the fakes beside the program cannot fail";
  if (!registerFakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)) || !sourcemeter().complete() ||
      !sourcemeter().fault)
    why = "the fake sourcemeter driver did not load";
  if (!why.empty()) return false;

  // The program's make-safe steps, for the session's end and the exit; a
  // watchdog that takes over reports here instead of ending the program.
  // Crashes end the program as counted cases.
  static const bool installed = [] {
    installInstrumentSafety();
    startSafetyWatchdog([] {
      takenOver = true;
      SetEvent(holdRelease);
    });
    SetUnhandledExceptionFilter(onUnhandledException);
    std::set_terminate([] { crashed("std::terminate", 3); });
    std::signal(SIGABRT, [](int) { crashed("abort", 3); });
    return true;
  }();
  (void)installed;
  liftOutputLatch();
  programEnding = 0;
  clearDeviceFaults();
  why = runsfixture::connectDevices(L"reliability");
  sourcemeter().reset();
  if (openUsbSourcemeter(0.0f) != 1) why = "the USB sourcemeter did not open";
  fakeGpib().setReplySource([](char* buffer, int size) {
    return std::snprintf(buffer, static_cast<size_t>(size), "%.6E\n", static_cast<double>(serveReading()) * 1e-6);
  });
  sourcemeter().setReadingSource([](wchar_t* text, int size) {
    std::swprintf(text, static_cast<size_t>(size), L"%E", static_cast<double>(serveReading()) * 1e-6);
  });
  fakeXimc().watch([](const char* call) { onCall(Source::stage, call); });
  fakeGpib().watch([](const char* call) { onCall(Source::gpib, call); });
  sourcemeter().watch([](const char* call) { onCall(Source::usb, call); });
  fakePylon().watch([](const char* call) { onCall(Source::camera, call); });
  currentLimit = 1e-4f;
  scanState.viewScale = 1;
  drain();
  return why.empty();
}

void releaseDevices() {
  for (auto* watch : {fakeXimc().watch, fakeGpib().watch, sourcemeter().watch, fakePylon().watch}) watch(nullptr);
  sourcemeter().setReadingSource(nullptr);
  runsfixture::releaseDevices();
}

// Runs one tiny run as planned and returns what happened. A run that does
// not return within its bound ends the program with "HANG".
RunRecord runOnce(const Case& plan) {
  RunRecord record;
  currentEquipment = plan.run == Run::ivSweep || plan.fault == Fault::usb ? 4 : 3;
  HWND window = hMainWnd;
  int start = IDC_START;
  switch (plan.run) {
    case Run::mapScan: {
      // 3 x 3 points of 1 um, the corner 2 um right of the laser spot: the
      // stage's start is on no point.
      const int pixels[4] = {648, 514, 648 + 16 * (mapSide - 1), 514 + 16 * (mapSide - 1)};
      std::copy(pixels, pixels + 4, scanState.selection);
      computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
      gridX0 = scanState.startOffsetXUm;
      gridY0 = scanState.startOffsetYUm;
      break;
    }
    case Run::autofocus:
      fakePylon().focusSpot(616, 1028 - 514, 20, zDevice, static_cast<double>(microsteps(focusPeakUm)),
                            static_cast<double>(microsteps(9.5)));
      start = IDC_FOCUS;
      break;
    case Run::wideView:
      fakePylon().stageColours(0, 1);
      start = IDC_WIDE_VIEW;
      break;
    case Run::ivSweep:
      SendMessageW(hMainWnd, WM_COMMAND, IDM_IV_MEASUREMENT, 0);
      SetWindowTextA(spectroscopyWindows.rangeEdit, "0.5");
      spectroscopy.pointsPerBranch = ivPointsPerBranch;
      window = hIvWnd;
      start = IDC_IV_START;
      break;
    case Run::timeEvolution:
      SendMessageW(hMainWnd, WM_COMMAND, IDM_TIME_EVOLUTION, 0);
      SetWindowTextA(spectroscopyWindows.onTimeEdit, "1");
      SetWindowTextA(spectroscopyWindows.offTimeEdit, "1");
      SetWindowTextA(spectroscopyWindows.repeatEdit, "2");
      window = spectroscopyWindows.timeWindow;
      start = IDC_TIME_EVOLUTION_START;
      break;
  }
  drain();
  {
    std::lock_guard<std::mutex> hold(recordLock);
    running = plan;
    triggerCount = readsSinceMove = phaseSample = 0;
    lastVoltage = 0.0;
    phase = lastLaser = -1;
    recording = &record;
  }
  armFault(plan.fault, plan.faultAt, plan.faultAtCall);
  const ULONGLONG began = GetTickCount64();
  {
    // The operator answers Yes to the stop question, OK to anything else,
    // and every box is recorded.
    ui::BoxAnswerer answering([&record](const std::string& title, const std::string& text) {
      std::lock_guard<std::mutex> hold(recordLock);
      if (text == "Do you want to stop process, now ?\n") {
        record.stopAsked = true;
        record.stopAt = ++ticks;
        return IDYES;
      }
      record.boxes.push_back({title, text, ++ticks});
      return IDOK;
    });
    PumpProbe probe(record.longestStallMs);
    Watchdog watchdog(runName(plan.run));
    SendMessageW(GetDlgItem(window, start), BM_CLICK, 0, 0);  // the whole run happens in here
  }
  record.tookMs = GetTickCount64() - began;
  {
    std::lock_guard<std::mutex> hold(recordLock);
    recording = nullptr;
  }
  if (plan.ending != Ending::stop) {
    // Back in the main loop the closed window goes (prepareDevices makes
    // the next case a new one).
    MSG idle = {};
    idle.hwnd = hMainWnd;
    dispatchProgramMessage(nullptr, idle);
    record.windowGone = !IsWindow(hMainWnd);
  }
  // A click the run did not take any more is not the next case's.
  MSG stray;
  while (PeekMessageW(&stray, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE)) {
  }
  drain();
  if (plan.run == Run::ivSweep) DestroyWindow(hIvWnd);
  if (plan.run == Run::timeEvolution) DestroyWindow(spectroscopyWindows.timeWindow);
  return record;
}

// ---- what every case expects ----

// Every reading served is in the run's file where it belongs and nothing
// else is; returns the readings not found (lost points). The map's table
// holds row j's point i in line j, column i; the I-V and time-evolution
// files reading k in line k + 1 (after the header), its second column.
int expectDataSaved(const Case& plan, const RunRecord& record) {
  const bool map = plan.run == Run::mapScan, iv = plan.run == Run::ivSweep;
  if (!map && !iv && plan.run != Run::timeEvolution) {
    EXPECT_TRUE(record.served.empty()) << runName(plan.run) << " read the meter";
    return 0;
  }
  std::vector<Served> served = record.served;
  // After a stop (or the end of the program) a time evolution drops the
  // sample it read last (the end came in its wait).
  if (plan.run == Run::timeEvolution && record.stopAt >= 0 && !served.empty()) served.pop_back();
  const auto rows = runsfixture::numbersOf(resultFile(map ? L"Nerin.txt" : iv ? L"I-V(0).txt" : L"TimeEvo(0).txt"), map ? 0 : 1);
  // A map and a sweep save every point, those not measured as 0; a time
  // evolution saves the readings that failed as 0 after those served.
  const size_t cells = map ? mapSide * mapSide : iv ? 4 * ivPointsPerBranch : std::max(rows.size(), served.size());
  if (map) EXPECT_NE(testfiles::readBytes(resultFile(L"MapInfo.txt").c_str()), "<missing>");
  EXPECT_EQ(rows.size(), map ? mapSide : iv ? cells : rows.size()) << "lines saved";
  std::vector<double> expected(cells, 0.0);
  for (size_t k = 0; k < served.size(); ++k) expected[map ? served[k].i + mapSide * served[k].j : k] = served[k].uA;
  int lost = 0;
  for (size_t k = 0; k < cells; ++k) {
    const size_t line = map ? k / mapSide : k, column = map ? k % mapSide : 1;
    const double saved = line < rows.size() && column < rows[line].size() && (map || rows[line].size() == 2)
                             ? rows[line][column]
                             : -1.0;
    const bool match = std::fabs(saved - expected[k]) < (map ? 1e-4 : iv ? 1e-5 : 1e-6);
    EXPECT_TRUE(match) << "reading " << k << " saved " << saved << ", measured " << expected[k];
    if (!match && expected[k] != 0.0) ++lost;
  }
  return lost;
}

// The record beside the run's file (map scan, I-V, time evolution) and the
// record a run started next would have: with a failed device ("stage",
// "arduino", "currentMeter", "camera") the run failed, names that device and
// no other, and the device is still failed at the next start; without,
// nothing failed.
void expectRecord(const Case& plan, const RunRecord& run, const char* failedDevice) {
  const wchar_t* file = plan.run == Run::mapScan ? L"Nerin.txt"
                        : plan.run == Run::ivSweep ? L"I-V(0).txt"
                        : plan.run == Run::timeEvolution ? L"TimeEvo(0).txt"
                                                         : nullptr;
  const std::string failed = failedDevice ? failedDevice : "";
  const auto expectDevices = [&](const nlohmann::json& record, const char* which) {
    for (const auto& [device, state] : record["devices"].items()) {
      const bool named = !failed.empty() && device.rfind(failed, 0) == 0 && state != "simulated";
      EXPECT_EQ(state == "failed", named) << which << ": " << device << " " << state;
    }
  };
  if (file) {
    const nlohmann::json record = testfiles::recordBeside(resultFile(file));
    if (record.is_discarded()) return;
    // Every run of these matrices failed or was stopped; a map scan stopped
    // on its way back, with every point measured, is complete.
    const long lastRead = run.served.empty() ? ticks.load() : run.served.back().at;
    const bool complete = plan.run == Run::mapScan && run.served.size() == mapSide * mapSide &&
                          std::any_of(run.events.begin(), run.events.end(), [&](const Event& e) {
                            return startsWith(e.call, "command_move") && e.at > lastRead && e.at < run.stopAt;
                          });
    EXPECT_EQ(record["outcome"], !failed.empty() ? "failed" : complete ? "completed" : "stopped by the operator");
    EXPECT_EQ(record["faults"].contains(failed), !failed.empty()) << record["faults"];
    expectDevices(record, "the run's record");
  }
  expectDevices(nlohmann::json::parse(resultRecordText(recordNow("next run"))), "the next run's record");
}

// The stage where the run leaves it: the map scan and the wide view where
// they started, the autofocus at the best sample seen.
void expectStageBack(const Case& plan, const RunRecord& record) {
  if (plan.run == Run::mapScan || plan.run == Run::wideView) {
    EXPECT_NEAR(stageUm(0), 0.0, 0.01) << "X";
    EXPECT_NEAR(stageUm(1), 0.0, 0.01) << "Y";
    EXPECT_NEAR(stageUm(zDevice), 0.0, 0.01) << "Z";
  } else if (plan.run == Run::autofocus) {
    EXPECT_EQ(fakeXimc().position(zDevice), bestFocusZ(record)) << "Z at the best sample seen";
  }
}

// The last bias the program sent to the meter in use (NaN: none).
double lastBiasSent() {
  const bool usb = currentEquipment == 4;
  const std::string log = usb ? sourcemeter().calls() : fakeGpib().calls();
  const char* prefix = usb ? "Source.26(1, " : ":SOUR:VOLT ";
  const size_t at = log.rfind(prefix);
  return at == std::string::npos ? std::nan("") : std::atof(log.c_str() + at + std::strlen(prefix));
}

void expectLaser(int level) {
  // "OK pos=... analog=5:51,6:0 digital=...": the level of pin 5, 0 when never set.
  const std::string state = board().state() + " ";
  const size_t analog = state.find(" analog=");
  const std::string pins = analog == std::string::npos ? "" : "," + state.substr(analog + 8, state.find(' ', analog + 1) - analog - 8);
  const size_t pin = pins.find(",5:");
  const std::string laser = pin == std::string::npos ? "0" : pins.substr(pin + 3, pins.find(',', pin + 1) - pin - 3);
  EXPECT_EQ(laser, std::to_string(level)) << "the laser pin of the board: " << state;
}

void expectLightsDark() {
  EXPECT_NE(board().state().find(" analog=5:0,6:0"), std::string::npos) << "laser and lamp dark: " << board().state();
}

// Whether the call came after the clock showed `at`.
bool calledAfter(const RunRecord& record, long at, const char* call) {
  return std::any_of(record.events.begin(), record.events.end(),
                     [&](const Event& e) { return e.at > at && e.call == call; });
}

// The make-safe round ran after the clock showed `at` and nothing drove an
// output after it: laser and lamp dark on the board, both sourcemeters'
// outputs off and neither switched on again, no stage move.
void expectOutputsOffAfter(const RunRecord& record, long at) {
  expectLightsDark();
  for (const Event& e : record.events) {
    const bool drives = startsWith(e.call, "command_move") || e.call.find(":OUTP ON") != std::string::npos ||
                        e.call.find(":SOUR:VOLT ") != std::string::npos || e.call == "Output.12(1)" ||
                        startsWith(e.call, "Source.26");
    EXPECT_FALSE(e.at > at && drives) << e.call << " after the make-safe round";
  }
  EXPECT_TRUE(calledAfter(record, at, "ibwrt 7 9 \":OUTP OFF\"")) << "the GPIB sourcemeter's output switched off";
  EXPECT_TRUE(calledAfter(record, at, "Output.12(0)")) << "the USB sourcemeter's output switched off";
}

// The pump answered throughout, and the run ended in about twice the time
// the tiny run takes when all goes well.
void expectResponsive(const Case& plan, const RunRecord& record, Tally& tally) {
  tally.longestStallMs = std::max(tally.longestStallMs, record.longestStallMs);
  const ULONGLONG cameraMs = plan.fault == Fault::camera ? cameraTimeoutMs : 0;
  EXPECT_LE(record.longestStallMs, stallBoundMs + cameraMs) << "the message pump stalled";
  EXPECT_LE(record.tookMs, (plan.run == Run::autofocus ? 15000 : 10000) + cameraMs) << "the run took too long";
}

// ---- the cases ----


bool fullMatrix() {
  const char* which = std::getenv("NERIN_RELIABILITY");
  return which && std::string(which) == "full";
}

// Each case with fresh devices, counted in its tally.
template <int tally>
class CaseTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    activeTally = &tallies[tally];
    std::string why;
    ASSERT_TRUE(prepareDevices(why)) << why;
  }
  void TearDown() override {
    ++tallies[tally].cases;
    if (!this->HasFailure()) ++tallies[tally].asDesigned;
    releaseDevices();
  }
};

std::string nameOf(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

// Text that lives as long as the program, for the generated cases' names and calls.
const char* kept(std::string text) {
  static std::deque<std::string> texts;
  return texts.emplace_back(std::move(text)).c_str();
}

// The cases of one kind of run_matrix.cases ("stop", "close", "session-end",
// "fault", "exit") this program run takes: those marked quick, or all.
std::vector<Case> casesOf(const std::string& kind) {
  static const std::string text = testfiles::readBytes(ui::windowsPathOf(RUN_MATRIX_CASES).c_str());
  const auto index = [](const std::vector<std::string>& names, const std::string& name) {
    const auto at = std::find(names.begin(), names.end(), name);
    EXPECT_NE(at, names.end()) << name;
    return static_cast<int>(at - names.begin());
  };
  const std::vector<std::string> runs = {"map-scan", "autofocus", "wide-view", "iv-sweep", "time-evolution"},
                                 sources = {"stage", "gpib", "usb", "camera", "meter"},
                                 faults = {"none", "stage-errors", "stage-frozen", "gpib", "usb", "camera", "board"};
  std::vector<Case> cases;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string k, name, run, quick, fault, faultAt, source, prefix;
    Case c{};
    if (!(words >> k >> name >> run >> quick >> fault >> faultAt >> c.faultAtCall) || k != kind) continue;
    c.name = kept(name);
    c.quick = quick == "quick";
    if (k == "exit") c.equipment = std::stoi(run);
    else c.run = static_cast<Run>(index(runs, run));
    c.ending = k == "close" ? Ending::closeWindow : k == "session-end" ? Ending::sessionEnd : Ending::stop;
    c.fault = static_cast<Fault>(index(faults, fault));
    // "-": no call to fail at (the camera's frames); at the exit, the driver hangs
    c.faultAt = faultAt != "-" ? kept(scenario::unescape(faultAt)) : k == "exit" ? nullptr : "";
    if (words >> source >> c.at.occurrence && std::getline(words >> std::ws, prefix))
      c.at = {static_cast<Source>(index(sources, source)), kept(scenario::unescape(prefix)), c.at.occurrence};
    if (c.quick || fullMatrix()) cases.push_back(c);
  }
  return cases;
}

// ---- what each case expects ----

// Readings the run may still take after the stop was confirmed: a map point
// whose move was under way is still measured; a sweep or a time evolution
// reads nothing more. Once the session has ended, the make-safe round has
// stopped that move too.
size_t readingsAllowedAfterStop(Run run, Ending ending) {
  return run == Run::mapScan && ending != Ending::sessionEnd ? 1 : 0;
}

size_t grabsAfter(const RunRecord& record) {
  size_t grabs = 0;
  for (const Event& e : record.events) grabs += e.source == Source::camera && e.at > record.stopAt ? 1 : 0;
  return grabs;
}

// The stage, the bias and the laser as a confirmed stop leaves them.
void expectLeftAsAfterAStop(const Case& plan, const RunRecord& record) {
  const Call& at = plan.at;
  expectStageBack(plan, record);
  switch (plan.run) {
    case Run::mapScan:
      EXPECT_EQ(lastBiasSent(), 0.0) << "bias off";
      expectLaser(0);  // back in Sample view
      break;
    case Run::autofocus:
      expectLaser(51);  // "Focus" switched it on
      // Stopped within the pass, before its return to the best Z.
      if (plan.ending == Ending::stop && (at.source == Source::camera || at.occurrence < 25))
        EXPECT_EQ(ui::textOf(hProgressEdit), "Focusing aborted");
      break;
    case Run::wideView:
      EXPECT_LE(grabsAfter(record), 1u) << "tiles taken after the stop";
      break;
    case Run::ivSweep: {
      // The bias stays at the voltage of the point being set when the stop
      // came: 0 .. 0.4, 0.5 .. -0.4, -0.5 .. -0.1 V.
      const int k = at.occurrence - 1;
      EXPECT_NEAR(lastBiasSent(), k < 5 ? 0.1 * k : k < 15 ? 0.5 - 0.1 * (k - 5) : -0.5 + 0.1 * (k - 15), 1e-6);
      EXPECT_EQ(static_cast<int>(record.served.size()), k) << "points read before the stop";
      break;
    }
    case Run::timeEvolution:
      // Stopped in an on phase the laser stays on.
      expectLaser(startsWith(at.prefix, "phase 0") || startsWith(at.prefix, "phase 2") ? 51 : 0);
      break;
  }
}

// Every run keeps its data, ends in time with the pump answering and leaves
// its record. Without a fault: nobody is told anything, nothing is read
// more than allowed after the end, and the devices are left as a stop leaves
// them; after the session's end nothing is switched on or moved again. With
// a fault: the operator is told, once, which device failed and no other, and
// the stage, the bias and the laser are left as safe as the failed device
// allows.
void runCase(const Case& plan) {
  Tally& tally = *activeTally;
  const RunRecord record = runOnce(plan);

  expectResponsive(plan, record, tally);
  tally.lostPoints += expectDataSaved(plan, record);
  expectRecord(plan, record, faultDevices[static_cast<int>(plan.fault)]);
  if (plan.ending == Ending::stop) {
    ASSERT_EQ(record.stopAsked, plan.at.prefix != nullptr) << "the stop question";
  } else {
    ASSERT_GE(record.stopAt, 0) << "the window never handled it";
    EXPECT_FALSE(record.stopAsked);
    EXPECT_TRUE(record.windowGone);
  }
  if (plan.fault != Fault::none) {
    std::vector<std::string> told;
    for (const Box& box : record.boxes) told.push_back(box.title);
    ASSERT_EQ(told, std::vector<std::string>{faultTitles[static_cast<int>(plan.fault)]});
    EXPECT_NE(record.boxes[0].text.find('\n'), std::string::npos) << record.boxes[0].text;
    const bool stageFailed = plan.fault == Fault::stageErrors || plan.fault == Fault::stageFrozen;
    if (!stageFailed) expectStageBack(plan, record);
    const bool meterFailed = plan.fault == Fault::gpib || plan.fault == Fault::usb;
    if (plan.run == Run::mapScan && !meterFailed) EXPECT_EQ(lastBiasSent(), 0.0) << "bias off";
    if (plan.fault != Fault::board) expectLaser(plan.run == Run::autofocus ? 51 : 0);
    return;
  }
  EXPECT_TRUE(record.boxes.empty()) << record.boxes[0].title << ": " << record.boxes[0].text;
  size_t after = 0;
  for (const Served& s : record.served) after += s.at > record.stopAt ? 1 : 0;
  EXPECT_LE(after, readingsAllowedAfterStop(plan.run, plan.ending)) << "readings after the end";
  if (plan.ending != Ending::sessionEnd) {
    expectLeftAsAfterAStop(plan, record);
  } else {
    expectOutputsOffAfter(record, record.stopAt);
    // Not where the make-safe round stopped the stage.
    if (plan.run == Run::wideView) EXPECT_EQ(grabsAfter(record), 0u) << "tiles taken after the end";
  }
}

using Stop = CaseTest<1>;
TEST_P(Stop, KeepsWhatWasMeasuredAndLeavesTheDevicesAsDesigned) { runCase(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Matrix, Stop, ::testing::ValuesIn(casesOf("stop")), nameOf);

using Ended = CaseTest<2>;
TEST_P(Ended, TheRunEndsAtItsNextWaitSavesAndTheWindowGoes) { runCase(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Matrix, Ended, ::testing::ValuesIn([] {
                           std::vector<Case> cases = casesOf("close"), ends = casesOf("session-end");
                           cases.insert(cases.end(), ends.begin(), ends.end());
                           return cases;
                         }()),
                         nameOf);

using DeviceFault = CaseTest<0>;
TEST_P(DeviceFault, RunEndsInTimeKeepsItsDataAndTellsTheOperator) { runCase(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Matrix, DeviceFault, ::testing::ValuesIn(casesOf("fault")), nameOf);

// A device failing while the program exits, with the meter chosen: the exit
// ends, and the make-safe round at its start leaves every other device
// harmless. A driver that hangs in the round (held from the chosen call on)
// is left to the watchdog, which does the rest, and then let go.
using ExitFault = CaseTest<3>;

TEST_P(ExitFault, TheExitEndsAndEveryOtherDeviceIsLeftHarmless) {
  const Case& c = GetParam();
  static const Call hang = {Source::gpib, "ibwrt 7 9 \":OUTP OFF\"", 1};
  RunRecord calls;
  currentEquipment = c.equipment;
  setLaser(1);  // as a run may leave it
  drain();
  {
    std::lock_guard<std::mutex> lock(recordLock);
    running = Case{};
    recording = &calls;
    holdAt = c.faultAt ? nullptr : &hang;
    holdCount = 0;
  }
  ResetEvent(holdRelease);
  takenOver = false;
  if (c.faultAt) armFault(c.fault, c.faultAt, c.faultAtCall);
  {
    Watchdog watchdog("exit");
    shutDownDevices();
  }
  {
    std::lock_guard<std::mutex> lock(recordLock);
    recording = nullptr;
    holdAt = nullptr;
  }
  SetEvent(holdRelease);
  drain();

  EXPECT_EQ(takenOver.load(), !c.faultAt) << "the watchdog took the round over";
  std::string stopped;
  for (const Event& e : calls.events) {
    if (startsWith(e.call, "command_stop")) stopped += e.call + "\n";
  }
  EXPECT_EQ(stopped, "command_stop 11\ncommand_stop 12\ncommand_stop 13\n");
  EXPECT_TRUE(calledAfter(calls, 0, "ibwrt 7 9 \":OUTP OFF\"")) << "the GPIB sourcemeter's output switched off";
  EXPECT_TRUE(calledAfter(calls, 0, "Output.12(0)")) << "the USB sourcemeter's output switched off";
  if (c.fault != Fault::board) expectLightsDark();
}

INSTANTIATE_TEST_SUITE_P(Matrix, ExitFault, ::testing::ValuesIn(casesOf("exit")), nameOf);

class Figures : public ::testing::Environment {
 public:
  void TearDown() override { printFigures(); }
};
const auto* const figures = ::testing::AddGlobalTestEnvironment(new Figures);

}  // namespace
