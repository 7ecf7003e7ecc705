// Every long run of the program (map scan, autofocus, wide view, I-V sweep,
// time evolution) driven through the real main window, tiny and against
// every fake at once: the stage, the GPIB and USB sourcemeters, the camera
// runtime and the emulated board. Each run is set up by rows of the runs'
// scenario steps (runs_fixture.h) given in run_matrix.cases. Around each run
// the harness plays the operator (it answers every message box and records
// it), watches that the message pump stays alive, and ends the program when
// a run does not return in time. The fakes report every call to one clock,
// so that a case can stop the run, or make a device fail, at a chosen call;
// the meter readings it serves are recorded, so that every point measured
// can be looked for in the files.
//
// Three matrices: a stop confirmed at moments spread over each run (also the
// main window closed and the session ended); each device failing at a
// chosen call of each run it takes part in (also with a stop after it); each
// device failing at the exit. Every test run takes the cases marked quick;
// NERIN_RELIABILITY=full (scripts/reliability.sh) takes them all, and the
// figures are printed at the end, also when a hang or a crash ends the
// program early.

#include "console/app.h"
#include "runs_fixture.h"
#include "services/device_faults.h"
#include "services/instrument_safety.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

namespace {

using namespace runsfixture;

enum class Run { mapScan, autofocus, wideView, ivSweep, timeEvolution };
// Each run: its name in the cases and in the messages, the command that
// starts it, its result file.
struct RunKind {
  const char *key, *name, *start, *file;
};
const RunKind runs[] = {{"map-scan", "map scan", "start", "Nerin.txt"},
                        {"autofocus", "autofocus", "focus", nullptr},
                        {"wide-view", "wide view", "wide", nullptr},
                        {"iv-sweep", "I-V sweep", "iv-start", "I-V(0).txt"},
                        {"time-evolution", "time evolution", "time-start", "TimeEvo(0).txt"}};

// Where a call on the clock came from: "stage", "gpib", "usb", "camera" or
// "meter". The meter's own "calls" are the readings the harness serves:
// "point i j", "settle" (map scan), "reading" (I-V), "phase p sample s"
// (time evolution; p counts the on and off phases from 0).
struct Call {  // the n-th call from the source that begins with the text (none when n is 0)
  std::string source;
  std::string prefix;
  int occurrence = 0;
};
// One reading the meter delivered, and where it belongs in the run's file:
// the map point (i, j), or the index of the sample or I-V point.
struct Served {
  int i = 0, j = 0;
  float uA = 0.0f;
  long at = 0;  // on the clock
};
struct Event {
  long at;
  std::string source;
  std::string call;
};

struct RunRecord {
  bool stopAsked = false;  // the stop question came (and was answered Yes)
  long stopAt = -1;        // the answer, or the window handling the close or the session's end
  ULONGLONG tookMs = 0, longestStallMs = 0;  // the longest the message pump did not answer
  std::vector<std::pair<std::string, std::string>> boxes;  // every message box but the stop question: title, text
  std::vector<Served> served;
  std::vector<Event> events;
};

enum class Fault { none, stageErrors, stageFrozen, gpib, usb, camera, board };
const char* const faults[] = {"none", "stage-errors", "stage-frozen", "gpib", "usb", "camera", "board"};
// The title of the operator's message.
const char* const faultTitles[] = {"", "Scanner Error", "Scanner Error", "GPIB Error", "USB Error", "Camera Error", "Arduino Error"};

// One case of run_matrix.cases: a run ended at a call (by a confirmed stop,
// closing the main window or the session's end), or with a device failing
// at a call (the stage: at a move of its axis), or both, the fault first.
// How the run is ended at the chosen call: the operator clicks and answers
// the stop question with Yes (stop, and a fault's later stop), closes the
// main window (close), or the session ends (session-end).
struct Case {
  std::string kind, name;  // the row's kind: stop, close, session-end, fault, exit
  Run run = Run::mapScan;
  Call at;  // at this call the operator clicks (the next wait asks, answered Yes), or the window closes
  Fault fault = Fault::none;
  std::string faultAt;  // "-": no call to fail at (the camera's frames); at the exit, the driver hangs
  int faultAtCall = 0;  // the how-manieth of those calls, counted from the run's start
  int equipment = 3;    // the meter chosen (the exit's cases)
  bool endsProgram() const { return kind == "close" || kind == "session-end"; }
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
  for (const Tally& t : tallies)
    if (t.cases)
      std::printf("FIGURE %s: %d cases tried, %d as designed; %d hangs, %d crashes, %d lost points; "
                  "longest pump stall %llu ms\n",
                  t.name, t.cases, t.asDesigned, t.hangs, t.crashes, t.lostPoints, t.longestStallMs);
  std::fflush(stdout);
}

constexpr DWORD runBoundMs = 60000;       // a run that takes longer hangs
constexpr ULONGLONG stallBoundMs = 2500;  // the pump answers within this, bar a device's own time-out
constexpr ULONGLONG cameraTimeoutMs = 5000;
void armFault(Fault fault, const std::string& at, int atCall) {
  const int axis = at[0] == 'X' ? 0 : at[0] == 'Y' ? 1 : 2;
  switch (fault) {
    case Fault::none: break;
    case Fault::stageErrors: fakeXimc().control("fault", axis, 1, atCall); break;
    case Fault::stageFrozen: fakeXimc().control("fault", axis, 2, atCall); break;
    case Fault::gpib: fakeGpib().control("fault", at, atCall, 6); break;  // EABO: the transfer timed out
    case Fault::usb: sourcemeter().control("fault", at, atCall, long(0xBFFF0015)); break;  // a VISA time-out
    case Fault::camera: fakePylon().control("stop-frames", atCall); break;
    case Fault::board: EXPECT_TRUE(board().ok("UNPLUG at=" + arduino_emulator::escape(at) + " count=" + std::to_string(atCall)));
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
// The exit's driver that hangs: the call it hangs in, and what lets it go.
const Call* holdAt = nullptr;
int holdCount = 0;
const HANDLE holdRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
std::atomic<bool> takenOver{false};

// Starts recording the case's calls on the clock (or stops, with no record),
// a driver to hang at this call.
void recordInto(RunRecord* record, const Case& plan = Case{}, const Call* hold = nullptr) {
  std::lock_guard<std::mutex> lock(recordLock);
  running = plan;
  triggerCount = readsSinceMove = phaseSample = holdCount = 0;
  lastVoltage = 0.0;
  phase = lastLaser = -1;
  recording = record;
  holdAt = hold;
}

bool matches(const Call* chosen, const std::string& source, const std::string& call, int& count) {
  return chosen && chosen->occurrence && chosen->source == source && call.starts_with(chosen->prefix) &&
         ++count == chosen->occurrence;
}

// Closes the main window, or ends the session, when the run's wait takes the
// message posted to this window at the chosen call: the moment it is handled
// is on the clock.
LRESULT CALLBACK operatorProc(HWND, UINT message, WPARAM sessionEnd, LPARAM) {
  if (message != WM_APP) return 0;
  {
    std::lock_guard<std::mutex> hold(recordLock);
    if (recording) recording->stopAt = ++ticks;
  }
  SendMessageW(hMainWnd, sessionEnd ? WM_ENDSESSION : WM_CLOSE, sessionEnd, 0);
  return 0;
}
HWND operatorWindow() {
  static const HWND window = [] {
    const HWND w = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(operatorProc));
    return w;
  }();
  return window;
}

void onCall(const std::string& source, std::string call) {
  bool hang = false;
  {
    std::lock_guard<std::mutex> hold(recordLock);
    const long at = ++ticks;
    if (!recording) return;
    if (source == "stage" && call.starts_with("command_move")) readsSinceMove = 0;
    if (source == "usb" && call.starts_with("Source.26(1, ")) lastVoltage = std::atof(call.c_str() + 13);
    recording->events.push_back({at, source, call});
    if (matches(&running.at, source, call, triggerCount)) {
      if (!running.endsProgram())  // the operator clicks, as anywhere in the window during a run
        PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
      else
        PostMessageW(operatorWindow(), WM_APP, running.kind == "session-end", 0);
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
  if (running.run == Run::mapScan) {
    const bool onGrid = gridPoint(s.i, s.j), rowSettle = s.i == 0 && readsSinceMove == 0;
    ++readsSinceMove;
    if (onGrid && !rowSettle) {
      uA = 0.25f + static_cast<float>(s.i) + 10.0f * static_cast<float>(s.j);
      call = "point " + std::to_string(s.i) + " " + std::to_string(s.j);
    }
  } else if (running.run == Run::ivSweep) {
    uA = static_cast<float>(lastVoltage);
    call = "reading";
  } else if (running.run == Run::timeEvolution) {
    if (lightSources.laserOn != lastLaser) lastLaser = lightSources.laserOn, ++phase, phaseSample = 0;
    uA = 0.001f * static_cast<float>(recording ? recording->served.size() + 1 : 0);
    call = "phase " + std::to_string(phase) + " sample " + std::to_string(++phaseSample);
  } else {
    uA = 0.0f;
    call = "unexpected reading";
  }
  onCall("meter", call);
  if (call != "settle" && recording) {
    std::lock_guard<std::mutex> hold(recordLock);
    s.uA = uA;
    s.at = ticks;
    if (running.run != Run::mapScan) s.i = static_cast<int>(recording->served.size());
    recording->served.push_back(s);
  }
  return uA;
}

// ---- the watchmen ----

// Measures how long the message pump leaves a message sent to the main
// window unanswered: short sends, so that the probe never holds up the end
// of the run; a message not answered yet stays pending, and its wait grows.
struct PumpProbe {
  ULONGLONG& longest;
  std::atomic<bool> done{false};
  std::thread thread{[this] {
    ULONGLONG pendingSince = 0;
    for (bool pending = false; !done;) {
      if (!pending) pendingSince = GetTickCount64();
      DWORD_PTR ignored = 0;
      pending = SendMessageTimeoutW(hMainWnd, WM_NULL, 0, 0, SMTO_NORMAL, 100, &ignored) == 0;
      longest = std::max(longest, GetTickCount64() - pendingSince);
      if (!pending) Sleep(5);
    }
  }};
  ~PumpProbe() { done = true, thread.join(); }
};

// A case that ends the program (a hang, a crash) counts, and the figures are
// printed before it goes.
[[noreturn]] void endCounted(const char* what, const char* how, int Tally::*count, UINT exitCode) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::printf("%s: %s in %s\n", what, how, test ? test->name() : "?");
  if (activeTally) ++(activeTally->*count), ++activeTally->cases;
  printFigures();
  TerminateProcess(GetCurrentProcess(), exitCode);
  for (;;) Sleep(INFINITE);
}
void crashed(const char* how, UINT exitCode) { endCounted("CRASH", how, &Tally::crashes, exitCode); }

// Ends the program when the run has not returned within its bound: a hang.
struct Watchdog {
  const char* what;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread thread{[this] {
    if (WaitForSingleObject(done, runBoundMs) == WAIT_OBJECT_0) return;
    endCounted("HANG", (std::string("the ") + what + " did not return within " + std::to_string(runBoundMs) + " ms").c_str(), &Tally::hangs, 3);
  }};
  ~Watchdog() { SetEvent(done), thread.join(), CloseHandle(done); }
};

// ---- the devices and one run ----

// The cases file's text, and its rows of one kind ("stop", "close",
// "session-end", "fault", "exit", "setup").
std::vector<std::string> rowsOf(const std::string& kind) {
  static const std::string text = testfiles::readBytes(ui::windowsPathOf(RUN_MATRIX_CASES).c_str());
  std::vector<std::string> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.starts_with(kind + " ")) rows.push_back(line.substr(kind.size() + 1));
  return rows;
}

// The level of one of the board's analog pins, 5 the laser and 6 the lamp
// ("OK pos=... analog=5:51,6:0 digital=..."; a pin never set: 0).
int analogPin(int pin) {
  const std::string state = board().state();
  std::istringstream pins(state.substr(state.find(" analog=") + 8));
  for (int p = 0, level = 0; pins >> p && pins.ignore() && pins >> level; pins.ignore())
    if (p == pin) return level;
  return 0;
}

// The runs' steps, and these for what a case leaves behind: the level of
// one of the board's pins, how many
// readings were served, and the calls after the end (all the exit's calls)
// that contain a text: one a line, or how many.
const RunRecord* finished = nullptr;
std::vector<std::string> callsAfterTheEnd(const std::string& text) {
  std::vector<std::string> calls;
  for (const Event& e : finished->events)
    if (e.at > finished->stopAt && e.call.find(text) != std::string::npos) calls.push_back(e.call);
  return calls;
}
const scenario::Steps matrixSteps = [] {
  scenario::Steps all = steps;
  all["pin"] = [](const Args& a) { return str(analogPin(whole(a, 1))); };
  all["served"] = [](const Args&) { return str(static_cast<double>(finished->served.size())); };
  all["after"] = [](const Args& a) {
    std::string lines;
    for (const std::string& call : callsAfterTheEnd(scenario::arg(a, 1))) lines += call + "\n";
    return lines;
  };
  all["count-after"] = [](const Args& a) { return str(static_cast<double>(callsAfterTheEnd(scenario::arg(a, 1)).size())); };
  return all;
}();

// Runs the rows "KIND NAME STEP ARGS... [= EXPECTED]" whose NAME is this
// one or, ending in *, the start of it.
void runRows(const std::string& kind, const std::string& name) {
  for (const std::string& row : rowsOf(kind)) {
    const std::string key = row.substr(0, row.find(' '));
    if (key.ends_with('*') ? name.starts_with(key.substr(0, key.size() - 1)) : name == key)
      scenario::run("run_matrix.cases " + name, row.substr(key.size()), matrixSteps);
  }
}

// The devices, freshly connected and at rest, and the data folder of a new
// case; empty, or what is not there.
std::string prepareDevices() {
  if (!fakeXimc().complete() || !fakeGpib().complete() || !fakePylon().complete()) return "the fakes beside the program cannot fail";
  if (!registerFakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)) || !sourcemeter().complete())
    return "the fake sourcemeter driver did not load";
  // The program's make-safe steps, for the session's end and the exit; a
  // watchdog that takes over reports here instead of ending the program.
  // Crashes end the program as counted cases.
  static const bool installed = [] {
    installInstrumentSafety();
    startSafetyWatchdog([] { takenOver = true, SetEvent(holdRelease); });
    SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* info) -> LONG {
      const UINT code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 1;
      char how[32];
      std::snprintf(how, sizeof how, "exception 0x%08X", code);
      crashed(how, code);
      return EXCEPTION_EXECUTE_HANDLER;
    });
    std::set_terminate([] { crashed("std::terminate", 3); });
    std::signal(SIGABRT, [](int) { crashed("abort", 3); });
    return true;
  }();
  (void)installed;
  liftOutputLatch();
  programEnding = 0;
  clearDeviceFaults();
  std::string why = connectDevices(L"reliability");
  sourcemeter().reset();
  if (openUsbSourcemeter(0.0f) != 1) why = "the USB sourcemeter did not open";
  fakeGpib().setReplySource([](char* buffer, int size) {
    return std::snprintf(buffer, static_cast<size_t>(size), "%.6E\n", static_cast<double>(serveReading()) * 1e-6);
  });
  sourcemeter().setReadingSource([](wchar_t* text, int size) {
    std::swprintf(text, static_cast<size_t>(size), L"%E", static_cast<double>(serveReading()) * 1e-6);
  });
  fakeXimc().watch([](const char* call) { onCall("stage", call); });
  fakeGpib().watch([](const char* call) { onCall("gpib", call); });
  sourcemeter().watch([](const char* call) { onCall("usb", call); });
  fakePylon().watch([](const char* call) { onCall("camera", call); });
  currentLimit = 1e-4f;
  scanState.viewScale = 1;
  drain();
  return why;
}

// Runs one tiny run as planned and returns what happened. A run that does
// not return within its bound ends the program with "HANG".
RunRecord runOnce(const Case& plan) {
  RunRecord record;
  const RunKind& kind = runs[static_cast<int>(plan.run)];
  currentEquipment = plan.run == Run::ivSweep || plan.fault == Fault::usb ? 4 : 3;
  runRows("setup", kind.key);
  drain();
  recordInto(&record, plan);
  armFault(plan.fault, plan.faultAt, plan.faultAtCall);
  const ULONGLONG began = GetTickCount64();
  {
    // The operator answers Yes to the stop question, OK to anything else,
    // and every box is recorded.
    ui::BoxAnswerer answering([&record](const std::string& title, const std::string& text) {
      std::lock_guard<std::mutex> hold(recordLock);
      if (text != "Do you want to stop process, now ?\n") return record.boxes.push_back({title, text}), IDOK;
      record.stopAsked = true;
      record.stopAt = ++ticks;
      return IDYES;
    });
    PumpProbe probe{record.longestStallMs};
    Watchdog watchdog{kind.name};
    command(kind.start);  // the whole run happens in here
  }
  record.tookMs = GetTickCount64() - began;
  recordInto(nullptr, plan);
  if (plan.endsProgram()) {
    // Back in the main loop the closed window goes (prepareDevices makes
    // the next case a new one).
    MSG idle = {};
    idle.hwnd = hMainWnd;
    dispatchProgramMessage(nullptr, idle);
    EXPECT_FALSE(IsWindow(hMainWnd)) << "the main window stays";
  }
  // A click the run did not take any more is not the next case's.
  for (MSG stray; PeekMessageW(&stray, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE);) {
  }
  drain();
  if (plan.run == Run::ivSweep) DestroyWindow(hIvWnd);
  if (plan.run == Run::timeEvolution) DestroyWindow(spectroscopyWindows.timeWindow);
  return record;
}

// ---- what every case expects ----

// Every reading served is in the run's file where it belongs and nothing
// else is; returns the readings not found (lost points). A run without a
// file reads no meter (the case's rows). The map's table
// holds row j's point i in line j, column i; the I-V and time-evolution
// files reading k in line k + 1 (after the header), its second column.
int expectDataSaved(const Case& plan, const RunRecord& record) {
  const bool map = plan.run == Run::mapScan, iv = plan.run == Run::ivSweep;
  const char* file = runs[static_cast<int>(plan.run)].file;
  if (!file) return 0;
  std::vector<Served> served = record.served;
  // After a stop (or the end of the program) a time evolution drops the
  // sample it read last (the end came in its wait).
  if (plan.run == Run::timeEvolution && record.stopAt >= 0 && !served.empty()) served.pop_back();
  const auto rows = numbersOf(pathOf(file), map ? 0 : 1);
  // A map and a sweep save every point, those not measured as 0; a time
  // evolution saves the readings that failed as 0 after those served.
  const int side = 3;  // the map: 3 x 3 points; the I-V sweep 4 x 5
  const size_t cells = map ? side * side : iv ? 20 : std::max(rows.size(), served.size());
  EXPECT_EQ(rows.size(), map ? side : iv ? cells : rows.size()) << "lines saved";
  std::vector<double> expected(cells, 0.0);
  for (size_t k = 0; k < served.size(); ++k) expected[map ? served[k].i + side * served[k].j : k] = served[k].uA;
  int lost = 0;
  for (size_t k = 0; k < cells; ++k) {
    const size_t line = map ? k / side : k, column = map ? k % side : 1;
    const bool there = line < rows.size() && column < rows[line].size() && (map || rows[line].size() == 2);
    const double saved = there ? rows[line][column] : -1.0;
    const bool match = std::fabs(saved - expected[k]) < (map ? 1e-4 : iv ? 1e-5 : 1e-6);
    EXPECT_TRUE(match) << "reading " << k << " saved " << saved << ", measured " << expected[k];
    lost += !match && expected[k] != 0.0;
  }
  return lost;
}

// The rows that expect more of this case.
void expectRows(const Case& plan, const RunRecord& record) {
  finished = &record;
  runRows("expect " + plan.kind, plan.name);
}

// ---- the cases ----

// The cases of one kind this program run takes: those marked quick, or all
// (NERIN_RELIABILITY=full). A row: NAME RUN quick|- DEVICE FAULT-AT N
// [SOURCE AT PREFIX...]; at the exit RUN is the meter chosen.
std::vector<Case> casesOf(const std::vector<std::string>& kinds) {
  const char* which = std::getenv("NERIN_RELIABILITY");
  const bool full = which && std::string(which) == "full";
  std::vector<Case> cases;
  for (const std::string& kind : kinds)
    for (const std::string& row : rowsOf(kind)) {
      std::istringstream words(row);
      std::string run, quick, fault, source, prefix;
      Case c;
      c.kind = kind;
      if (!(words >> c.name >> run >> quick >> fault >> c.faultAt >> c.faultAtCall)) continue;
      if (kind == "exit") c.equipment = std::stoi(run);
      else c.run = static_cast<Run>(std::find_if(runs, std::end(runs), [&](const RunKind& k) { return run == k.key; }) - runs);
      const auto named = std::find(std::begin(faults), std::end(faults), fault);
      EXPECT_NE(named, std::end(faults)) << fault;
      c.fault = static_cast<Fault>(named - std::begin(faults));
      c.faultAt = scenario::unescape(c.faultAt);
      if (words >> source >> c.at.occurrence && std::getline(words >> std::ws, prefix))
        c.at.source = source, c.at.prefix = scenario::unescape(prefix);
      if (quick == "quick" || full) cases.push_back(c);
    }
  return cases;
}

// Each case with fresh devices, counted in its tally.
template <int tally>
struct CaseTest : ::testing::TestWithParam<Case> {
  void SetUp() override {
    activeTally = &tallies[tally];
    const std::string why = prepareDevices();
    ASSERT_EQ(why, "");
  }
  void TearDown() override {
    ++tallies[tally].cases;
    tallies[tally].asDesigned += !HasFailure();
    for (auto* watch : {fakeXimc().watch, fakeGpib().watch, sourcemeter().watch, fakePylon().watch}) watch(nullptr);
    sourcemeter().setReadingSource(nullptr);
    releaseDevices();
  }
};
std::string nameOf(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

// Every run keeps its data and ends in time with the pump answering.
// Without a fault nobody is told anything; with a fault the operator is
// told, once, which device failed and no other. What the run leaves behind
// (its record, readings after the end, the stage, the bias, the laser, what
// the make-safe round switched off) is the case's expect rows.
void runCase(const Case& plan) {
  Tally& tally = *activeTally;
  const RunRecord record = runOnce(plan);

  // The pump answered throughout, and the run ended in about twice the time
  // the tiny run takes when all goes well.
  tally.longestStallMs = std::max(tally.longestStallMs, record.longestStallMs);
  const ULONGLONG cameraMs = plan.fault == Fault::camera ? cameraTimeoutMs : 0;
  EXPECT_LE(record.longestStallMs, stallBoundMs + cameraMs) << "the message pump stalled";
  EXPECT_LE(record.tookMs, (plan.run == Run::autofocus ? 15000 : 10000) + cameraMs) << "the run took too long";
  tally.lostPoints += expectDataSaved(plan, record);
  if (!plan.endsProgram()) {
    ASSERT_EQ(record.stopAsked, plan.at.occurrence > 0) << "the stop question";
  } else {
    ASSERT_GE(record.stopAt, 0) << "the window never handled it";
    EXPECT_FALSE(record.stopAsked);
  }
  if (plan.fault != Fault::none) {
    std::vector<std::string> told;
    for (const auto& [title, text] : record.boxes) told.push_back(title);
    ASSERT_EQ(told, std::vector<std::string>{faultTitles[static_cast<int>(plan.fault)]});
    EXPECT_NE(record.boxes[0].second.find('\n'), std::string::npos) << record.boxes[0].second;
    return expectRows(plan, record);
  }
  EXPECT_TRUE(record.boxes.empty()) << record.boxes[0].first << ": " << record.boxes[0].second;
  expectRows(plan, record);
}

struct Stop : CaseTest<1> {};
TEST_P(Stop, KeepsWhatWasMeasuredAndLeavesTheDevicesAsDesigned) { runCase(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Matrix, Stop, ::testing::ValuesIn(casesOf({"stop"})), nameOf);

struct Ended : CaseTest<2> {};
TEST_P(Ended, TheRunEndsAtItsNextWaitSavesAndTheWindowGoes) { runCase(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Matrix, Ended, ::testing::ValuesIn(casesOf({"close", "session-end"})), nameOf);

struct DeviceFault : CaseTest<0> {};
TEST_P(DeviceFault, RunEndsInTimeKeepsItsDataAndTellsTheOperator) { runCase(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Matrix, DeviceFault, ::testing::ValuesIn(casesOf({"fault"})), nameOf);

// A device failing while the program exits, with the meter chosen: the exit
// ends, and the make-safe round at its start leaves every other device
// harmless (the case's expect rows). A driver that hangs in the round (held from the chosen call on)
// is left to the watchdog, which does the rest, and then let go.
struct ExitFault : CaseTest<3> {};
TEST_P(ExitFault, TheExitEndsAndEveryOtherDeviceIsLeftHarmless) {
  const Case& c = GetParam();
  const bool hangs = c.faultAt == "-";
  static const Call hang = {"gpib", "ibwrt 7 9 \":OUTP OFF\"", 1};
  RunRecord calls;
  currentEquipment = c.equipment;
  setLaser(1);  // as a run may leave it
  drain();
  recordInto(&calls, Case{}, hangs ? &hang : nullptr);
  ResetEvent(holdRelease);
  takenOver = false;
  if (!hangs) armFault(c.fault, c.faultAt, c.faultAtCall);
  {
    Watchdog watchdog{"exit"};
    shutDownDevices();
  }
  recordInto(nullptr);
  SetEvent(holdRelease);
  drain();

  EXPECT_EQ(takenOver.load(), hangs) << "the watchdog took the round over";
  expectRows(c, calls);
}
INSTANTIATE_TEST_SUITE_P(Matrix, ExitFault, ::testing::ValuesIn(casesOf({"exit"})), nameOf);

struct Figures : ::testing::Environment {
  void TearDown() override { printFigures(); }
};
const auto* const figures = ::testing::AddGlobalTestEnvironment(new Figures);

}  // namespace
