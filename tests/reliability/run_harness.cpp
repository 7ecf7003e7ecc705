#include "run_harness.h"

#include "arduino_emulator_client.h"
#include "console/app.h"
#include "devices/camera/camera.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "fake_gpib_control.h"
#include "fake_keithley_control.h"
#include "fake_pylon_control.h"
#include "fake_ximc_control.h"
#include "program_run.h"
#include "resources/resource_ids.h"
#include "result_records.h"
#include "results/result_record_files.h"
#include "runs/spectroscopy/spectroscopy_runs.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "scan_test_settings.h"
#include "services/data_paths.h"
#include "services/device_faults.h"
#include "services/instrument_safety.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "test_files.h"
#include "ui_driver.h"
#include "views/live_display.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <mutex>
#include <thread>

namespace reliability {
namespace {

constexpr DWORD runBoundMs = 60000;      // a run that takes longer hangs
constexpr ULONGLONG stallBoundMs = 2500;  // the pump answers within this, bar a device's own time-out
constexpr double umPerMicrostep = 1.25 / 256;
constexpr int mapSide = 3;           // 3 x 3 points of 1 um
constexpr int ivPointsPerBranch = 5;  // 20 points
constexpr int zDevice = 2;
// Autofocus: Z starts 4 um below the sharpest spot, at level 6: one pass of
// at most 30 samples whose peak test fires at about the 21st.
constexpr double focusPeakUm = 4.0;

using arduino_emulator::board;

const FakeKeithley& sourcemeter() { return fakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)); }

long microsteps(double um) { return std::lround(um / umPerMicrostep); }
double stageUm(int device) { return static_cast<double>(fakeXimc().position(device)) * umPerMicrostep; }

void drain() { ui::drainMessages(); }

// ---- the clock: every call of every fake, and the readings served ----

std::mutex recordLock;
std::atomic<long> ticks{0};
RunRecord* recording = nullptr;
RunPlan running;
int triggerCount = 0;
int readsSinceMove = 0;   // map scan: the first reading at a row start settles
double lastVoltage = 0.0;  // I-V: the sourcemeter's output, uA through 1 MOhm
int phase = -1, phaseSample = 0, lastLaser = -1;  // time evolution
double gridX0 = 0.0, gridY0 = 0.0;
// The exit's driver that hangs: the call it hangs in, and what lets it go.
const Call* holdAt = nullptr;
int holdCount = 0;
const HANDLE holdRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
std::atomic<bool> takenOver{false};

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

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
    if (matches(running.stopAt, source, call, triggerCount)) {
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

void stageCall(const char* call) { onCall(Source::stage, call); }
void gpibCall(const char* call) { onCall(Source::gpib, call); }
void usbCall(const char* call) { onCall(Source::usb, call); }
void cameraCall(const char* call) { onCall(Source::camera, call); }

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

int gpibReply(char* buffer, int size) {
  return std::snprintf(buffer, static_cast<size_t>(size), "%.6E\n", static_cast<double>(serveReading()) * 1e-6);
}

void usbReading(wchar_t* text, int size) {
  std::swprintf(text, static_cast<size_t>(size), L"%E", static_cast<double>(serveReading()) * 1e-6);
}

// ---- the operator and the watchmen ----

// Measures how long the message pump leaves a message sent to the main
// window unanswered.
class PumpProbe {
 public:
  explicit PumpProbe(ULONGLONG& longest) : longest_(longest), thread_([this] { work(); }) {}
  ~PumpProbe() {
    done_ = true;
    thread_.join();
  }

 private:
  // Short sends, so that the probe never holds up the end of the run: a
  // message not answered yet stays pending, and its wait keeps growing.
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

Tally* activeTally = nullptr;

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

void click(HWND window, int id) { SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0); }

std::wstring resultFile(const wchar_t* name) { return std::wstring(dataPaths.measurementFolder) + L"\\" + name; }

// The numbers of each line of a text file (CR LF line ends; the map tables
// end every number in a comma), the first `skip` lines left out.
std::vector<std::vector<double>> numbers(const wchar_t* name, int skip) {
  std::vector<std::vector<double>> rows;
  const std::string text = testfiles::readBytes(resultFile(name).c_str());
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    if (skip-- > 0) continue;
    std::vector<double> row;
    const std::string line = text.substr(at, end - at);
    for (size_t p = 0; p < line.size();) {
      row.push_back(std::strtod(line.c_str() + p, nullptr));
      const size_t comma = line.find(',', p);
      if (comma == std::string::npos) break;
      p = comma + 1;
    }
    rows.push_back(row);
  }
  return rows;
}

// Where the autofocus run leaves Z: at the best sample of its
// pass seen before the pass ended, or where the pass started when it ended
// before its first sample. The spot is sharper the closer Z is to its peak.
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

}  // namespace

const char* runName(Run run) {
  switch (run) {
    case Run::mapScan: return "map scan";
    case Run::autofocus: return "autofocus";
    case Run::wideView: return "wide view";
    case Run::ivSweep: return "I-V sweep";
    case Run::timeEvolution: return "time evolution";
  }
  return "?";
}

bool prepareDevices(std::string& why) {
  why.clear();
  if (!board().connected()) why = "run under arduino_emulator.py";
  if (!fakeXimc().complete() || !fakeXimc().fault) why = "libximc.dll beside the program is not the fake";
  if (!fakeGpib().complete() || !fakeGpib().fault) why = "ni4882.dll beside the program is not the fake";
  if (!fakePylon().complete() || !fakePylon().stopFrames) why = "the camera runtime beside the program is not the fake";
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
  ensureTestMainWindow();
  SetWindowPos(hMainWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  videoControl(0);
  drain();
  deviceBusy = scanRunning = stopRequested = wideViewShown = programEnding = 0;
  clearDeviceFaults();

  for (StageAxis* axis : {&stageX, &stageY, &stageZ}) {
    closeStageAxis(*axis);
    *axis = StageAxis();
  }
  fakeXimc().reset(3);
  fakePylon().reset(1, noRegions, 2);
  fakeGpib().reset();
  sourcemeter().reset();
  if (!connectStage(0, 500)) why = "the stage did not connect";
  if (camera.init() != 1) why = "the camera did not connect";
  if (openGpibSourcemeter(18) != 1) why = "the GPIB sourcemeter did not open";
  if (openUsbSourcemeter(0.0f) != 1) why = "the USB sourcemeter did not open";
  lightSources = LightSources{};
  if (!board().reset() || !connectArduino(board().comPort()) ||
      !board().waitForReceived(arduino_emulator::connectionBytes) || !board().clear())
    why = "the board did not connect: " + board().lastReceived;
  fakeGpib().setReplySource(gpibReply);
  sourcemeter().setReadingSource(usbReading);
  fakeXimc().watch(stageCall);
  fakeGpib().watch(gpibCall);
  sourcemeter().watch(usbCall);
  fakePylon().watch(cameraCall);

  scantest::useScanSettings();
  currentLimit = 1e-4f;
  scanState.viewScale = 1;
  scantest::useFreshDataFolder(L"reliability");
  ivFileCounter = timeEvoFileCounter = 0;
  drain();
  return why.empty();
}

void releaseDevices() {
  for (auto* watch : {fakeXimc().watch, fakeGpib().watch, sourcemeter().watch, fakePylon().watch}) watch(nullptr);
  fakeGpib().setReplySource(nullptr);
  sourcemeter().setReadingSource(nullptr);
  closeArduino();
  closeUsbSourcemeter();
  unregisterFakeKeithley();
  scanRunning = deviceBusy = 0;
  drain();
}

RunRecord runOnce(const RunPlan& plan) {
  RunRecord record;
  currentEquipment = plan.run == Run::ivSweep || plan.usbMeter ? 4 : 3;
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
    triggerCount = 0;
    readsSinceMove = 0;
    lastVoltage = 0.0;
    phase = -1;
    phaseSample = 0;
    lastLaser = -1;
    recording = &record;
  }
  if (plan.armFault) plan.armFault();
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
    click(window, start);  // the whole run happens in here
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
  if (std::getenv("NERIN_RELIABILITY_TRACE")) {
    for (const Event& e : record.events) std::printf("%ld %d %s\n", e.at, static_cast<int>(e.source), e.call.c_str());
    std::printf("stop asked at %ld\n", record.stopAt);
  }
  if (plan.run == Run::ivSweep) DestroyWindow(hIvWnd);
  if (plan.run == Run::timeEvolution) DestroyWindow(spectroscopyWindows.timeWindow);
  return record;
}

int expectDataSaved(const RunPlan& plan, const RunRecord& record) {
  int lost = 0;
  const std::vector<Served>& served = record.served;
  // After a stop (or the end of the program) a time evolution drops the
  // sample it read last (the end came in its wait).
  const bool dropsLast = plan.run == Run::timeEvolution && record.stopAt >= 0 && !served.empty();
  switch (plan.run) {
    case Run::mapScan: {
      const auto table = numbers(L"Nerin.txt", 0);
      EXPECT_EQ(table.size(), static_cast<size_t>(mapSide)) << "Nerin.txt";
      EXPECT_NE(testfiles::readBytes(resultFile(L"MapInfo.txt").c_str()), "<missing>");
      float expected[mapSide][mapSide] = {};
      for (const Served& s : served) expected[s.j][s.i] = s.uA;
      for (int j = 0; j < mapSide; ++j) {
        for (int i = 0; i < mapSide; ++i) {
          const double saved = j < static_cast<int>(table.size()) && i < static_cast<int>(table[j].size())
                                   ? table[j][i]
                                   : -1.0;
          const bool match = std::fabs(saved - expected[j][i]) < 1e-4;
          EXPECT_TRUE(match) << "point " << i << "," << j << " saved " << saved << ", measured " << expected[j][i];
          if (!match && expected[j][i] != 0.0f) ++lost;
        }
      }
      break;
    }
    case Run::ivSweep:
    case Run::timeEvolution: {
      const bool iv = plan.run == Run::ivSweep;
      const auto rows = numbers(iv ? L"I-V(0).txt" : L"TimeEvo(0).txt", 1);
      const size_t kept = served.size() - (dropsLast ? 1 : 0);
      // A sweep saves every point; a time evolution saves the readings that
      // failed as 0 after those served.
      if (iv) {
        EXPECT_EQ(rows.size(), static_cast<size_t>(4 * ivPointsPerBranch)) << "I-V(0).txt";
      }
      EXPECT_GE(rows.size(), kept);
      for (size_t k = 0; k < rows.size(); ++k) {
        const double current = rows[k].size() == 2 ? rows[k][1] : -1.0;
        const double measured = k < kept ? served[k].uA : 0.0;
        const bool match = std::fabs(current - measured) < (iv ? 1e-5 : 1e-6);
        EXPECT_TRUE(match) << "reading " << k << " saved " << current << ", measured " << measured;
        if (!match && k < kept) ++lost;
      }
      if (rows.size() < kept) lost += static_cast<int>(kept - rows.size());
      break;
    }
    default:
      EXPECT_TRUE(served.empty()) << runName(plan.run) << " read the meter";
  }
  return lost;
}

void expectRecord(const RunPlan& plan, const char* failedDevice) {
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
    EXPECT_EQ(record["outcome"] == "failed", !failed.empty()) << record["outcome"];
    EXPECT_EQ(record["faults"].contains(failed), !failed.empty()) << record["faults"];
    expectDevices(record, "the run's record");
  }
  expectDevices(nlohmann::json::parse(resultRecordText(recordNow("next run"))), "the next run's record");
}

void expectStageBack(const RunPlan& plan, const RunRecord& record) {
  switch (plan.run) {
    case Run::mapScan:
    case Run::wideView:
      EXPECT_NEAR(stageUm(0), 0.0, 0.01) << "X";
      EXPECT_NEAR(stageUm(1), 0.0, 0.01) << "Y";
      EXPECT_NEAR(stageUm(zDevice), 0.0, 0.01) << "Z";
      break;
    case Run::autofocus:
      EXPECT_EQ(fakeXimc().position(zDevice), bestFocusZ(record)) << "Z at the best sample seen";
      break;
    default:
      break;
  }
}

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

void expectOutputsOffAfter(const RunRecord& record, long at) {
  expectLightsDark();
  bool gpibOff = false, usbOff = false;
  for (const Event& e : record.events) {
    if (e.at <= at) continue;
    gpibOff = gpibOff || e.call == "ibwrt 7 9 \":OUTP OFF\"";
    usbOff = usbOff || e.call == "Output.12(0)";
    const bool drives = startsWith(e.call, "command_move") || e.call.find(":OUTP ON") != std::string::npos ||
                        e.call.find(":SOUR:VOLT ") != std::string::npos || e.call == "Output.12(1)" ||
                        startsWith(e.call, "Source.26");
    EXPECT_FALSE(drives) << e.call << " after the make-safe round";
  }
  EXPECT_TRUE(gpibOff) << "the GPIB sourcemeter's output switched off";
  EXPECT_TRUE(usbOff) << "the USB sourcemeter's output switched off";
}

ExitRecord exitOnce(int equipment, const std::function<void()>& armFault, const Call* hold) {
  ExitRecord result;
  currentEquipment = equipment;
  setLaser(1);  // as a run may leave it
  drain();
  {
    std::lock_guard<std::mutex> lock(recordLock);
    running = RunPlan{};
    recording = &result.calls;
    holdAt = hold;
    holdCount = 0;
  }
  ResetEvent(holdRelease);
  takenOver = false;
  if (armFault) armFault();
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
  result.takenOver = takenOver;
  drain();
  return result;
}

void expectResponsive(const RunPlan& plan, const RunRecord& record) {
  EXPECT_LE(record.longestStallMs, stallBoundMs + plan.stallBoundMs) << "the message pump stalled";
  // About twice what each tiny run takes when all goes well.
  const ULONGLONG usualMs = plan.run == Run::autofocus ? 15000 : 10000;
  EXPECT_LE(record.tookMs, usualMs + plan.stallBoundMs) << "the run took too long";
}

void stageFails(int axis, int kind, int atMove) { fakeXimc().fault(axis, kind, atMove); }
void gpibFails(const char* function, int atCall, unsigned long error) { fakeGpib().fault(function, atCall, error); }
void usbFails(const char* call, int atCall, long result) { sourcemeter().fault(call, atCall, result); }
void cameraStops(int atGrab) { fakePylon().stopFrames(atGrab); }
void boardUnplugged(const char* atCommand, int count) {
  EXPECT_TRUE(board().ok("UNPLUG at=" + arduino_emulator::escape(atCommand) + " count=" + std::to_string(count)));
}

Tally& faultTally() {
  static Tally tally{"device faults"};
  return tally;
}
Tally& stopTally() {
  static Tally tally{"stops"};
  return tally;
}
Tally& endingTally() {
  static Tally tally{"closing and session end"};
  return tally;
}
Tally& exitTally() {
  static Tally tally{"device faults at exit"};
  return tally;
}

void countCaseIn(Tally& tally) { activeTally = &tally; }

void printFigures() {
  for (const Tally* t : {&faultTally(), &stopTally(), &endingTally(), &exitTally()}) {
    if (!t->cases) continue;
    std::printf("FIGURE %s: %d cases tried, %d as designed; %d hangs, %d crashes, %d lost points; "
                "longest pump stall %llu ms\n",
                t->name, t->cases, t->asDesigned, t->hangs, t->crashes, t->lostPoints, t->longestStallMs);
  }
  std::fflush(stdout);
}

bool fullMatrix() {
  const char* which = std::getenv("NERIN_RELIABILITY");
  return which && std::string(which) == "full";
}

}  // namespace reliability
