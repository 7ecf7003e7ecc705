#pragma once
// The devices the runs' Wine programs drive, connected afresh for each
// scenario or case: the fake controller library, GPIB driver and camera
// runtime beside the program, the fake sourcemeter driver registered for its
// class, the emulated board (arduino_emulator.py runs the program); the main
// window shown, the scan settings of the tests and a fresh data folder. And
// the steps of the runs' scenarios (mapping, spectroscopy and objective
// .scenario), which also set up the reliability matrix's runs: an operator's
// actions on the main window and what the devices, files and windows show.

#include "arduino_emulator_client.h"
#include "devices/camera/camera.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_math.h"
#include "fake_gpib_control.h"
#include "fake_keithley_control.h"
#include "fake_pylon_control.h"
#include "main_window_loop.h"
#include "program_run.h"
#include "results/result_record_files.h"
#include "result_records.h"
#include "runs/mapping/autofocus.h"
#include "runs/mapping/map_scan.h"
#include "runs/mapping/scan_journal.h"
#include "runs/objective/objective_changer.h"
#include "runs/spectroscopy/plot_window.h"
#include "runs/spectroscopy/spectroscopy_runs.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "scenario.h"
#include "services/data_paths.h"
#include "services/settings_files.h"
#include "stage_fixture.h"
#include "test_files.h"
#include "views/jog_pad.h"
#include "views/live_display.h"


namespace runsfixture {

using namespace mainwindow;
using arduino_emulator::board;
using scenario::act;
using scenario::Args;
using scenario::num;
using scenario::str;

constexpr double umPerMicrostep = 1.25 / 256;  // the stage: 1.25 um a step, 256 microsteps
inline double stageUm(int axis) { return static_cast<double>(fakeXimc().position(axis)) * umPerMicrostep; }
inline const FakeKeithley& sourcemeter() { return fakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)); }

// Stage, camera, GPIB sourcemeter (address 18, the meter in use) and board
// connected and at rest, the light sources off: empty, or what failed.
inline std::string connectDevices(const wchar_t* dataFolder) {
  if (!board().connected()) return "run under arduino_emulator.py";
  if (!fakeXimc().complete() || !fakeGpib().complete() || !fakePylon().complete())
    return "the fakes beside the program are not all there";
  std::string why;
  ensureTestMainWindow();
  SetWindowPos(hMainWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(hMainWnd);
  videoControl(0);  // its ticks would read the meter
  ui::drainMessages();
  deviceBusy = scanRunning = stopRequested = wideViewShown = 0;
  closeAllAxes();
  fakeXimc().reset(3);
  fakePylon().reset(1, noRegions, 2);
  fakeGpib().reset();
  if (!connectStage(0, 500)) why = "the stage did not connect";
  if (camera.init() != 1) why = "the camera did not connect";
  if (openGpibSourcemeter(18) != 1) why = "the GPIB sourcemeter did not open";
  currentEquipment = 3;
  gpibAddress = 18;
  lightSources = LightSources{};
  closeArduino();
  arduinoLink = ArduinoLink{};
  if (!board().reset() || !connectArduino(board().comPort()) ||
      !board().waitForReceived(arduino_emulator::connectionBytes) || !board().clear())
    why = "the board did not connect: " + board().lastReceived;
  // 0.5 V bias, confocal without Z creep correction, the 50X objective over a
  // 79 um field, 1 um steps, the laser spot at (616, 514), Sample view.
  biasVoltage = 0.5f;
  confocalEnabled = 1;
  zCreepCorrection = 0;
  objectiveSettings = ObjectiveTable{};
  applyFieldOfView(79.0);
  scanState.stepUm = 1.0;
  scanState.laserSpotX = 616;
  scanState.laserSpotY = 514;
  scanState.sampleView = 1;
  // A data folder of the run's own in the temporary folder, no measurement folder yet.
  static int made = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::swprintf(dataPaths.dataFolder, std::size(dataPaths.dataFolder), L"%ls%ls_%lu_%d_%llu", temp, dataFolder,
                GetCurrentProcessId(), ++made, GetTickCount64());
  CreateDirectoryW(dataPaths.dataFolder, nullptr);
  dataPaths.measurementFolderMade = 0;
  ivFileCounter = timeEvoFileCounter = 0;
  ui::drainMessages();
  return why;
}

// The numbers of each line of a text file (CR LF line ends; the map tables
// end every number in a comma), the first `skip` lines left out.
inline std::vector<std::vector<double>> numbersOf(const std::wstring& path, int skip) {
  std::vector<std::vector<double>> rows;
  std::istringstream lines(testfiles::readBytes(path.c_str()));
  for (std::string line; std::getline(lines, line) && line.ends_with('\r');) {
    if (skip-- > 0) continue;
    std::replace(line.begin(), line.end(), ',', ' ');
    std::istringstream numbers(line);
    rows.emplace_back(std::istream_iterator<double>(numbers), std::istream_iterator<double>());
  }
  return rows;
}

inline void releaseDevices() {
  fakeGpib().setReplySource(nullptr);
  videoControl(0);
  closeArduino();
  closeUsbSourcemeter();
  unregisterFakeKeithley();
  scanRunning = deviceBusy = 0;
  ui::drainMessages();
}


inline int whole(const Args& a, std::size_t i) { return std::stoi(a.at(i)); }
inline std::string fixed(double v, const char* format = "%.2f") {
  char text[32];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

// The scan's grid on the stage (point (0, 0)), for the meter and the camera
// to answer by position; what the operator does at point i + j w.
inline double gridX0 = 0.0, gridY0 = 0.0;
inline std::vector<std::function<void(int)>> atPoint;

// The map point (i, j) the stage stands on (the grid's step is 1 um); false
// between points and off the grid.
inline bool gridPoint(int& i, int& j) {
  const double fi = stageUm(0) - gridX0, fj = gridY0 - stageUm(1);
  i = static_cast<int>(std::lround(fi)), j = static_cast<int>(std::lround(fj));
  return std::fabs(fi - i) < 0.05 && std::fabs(fj - j) < 0.05 && i >= 0 && j >= 0 && i < scanState.mapWidth &&
         j < scanState.mapHeight;
}

// The sourcemeter's answer to ":READ?" (0.25 + i + 10 j uA at point (i, j),
// 99 between points: a settling reading, never stored) and the colour the
// camera will see next (10 + i, 20 + j, 30 + i + j).
inline int readingAtStagePosition(char* buffer, int size) {
  int i = 0, j = 0;
  float uA = 99.0f;
  if (gridPoint(i, j)) {
    uA = 0.25f + static_cast<float>(i) + 10.0f * static_cast<float>(j);
    fakePylon().setColour(10 + i, 20 + j, 20 + j, 30 + i + j);
    for (const auto& action : atPoint) action(i + j * scanState.mapWidth);
  }
  return std::snprintf(buffer, static_cast<size_t>(size), "%.6E\n", static_cast<double>(uA) * 1e-6);
}

// Posts a left click into the I-V window once "Information" shows this text,
// so that the stop question comes in the next point's wait.
inline std::string clickAtInfo;
// Every text the "Information" box is given, one a line.
inline std::string statusLines;
inline WNDPROC infoEditProcedure = nullptr;
inline LRESULT CALLBACK recordingInfoEdit(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT && lParam) statusLines += std::string(reinterpret_cast<const char*>(lParam)) + "\n";
  if (message == WM_SETTEXT && lParam && !clickAtInfo.empty() && clickAtInfo == reinterpret_cast<const char*>(lParam))
    PostMessageW(hIvWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 200));
  return CallWindowProcA(infoEditProcedure, window, message, wParam, lParam);
}

// Every message box of the last action, "title: text", answered with `answer` (Yes, or OK when it has no Yes).
inline std::string told;
inline int answer = IDYES;
template <typename F> inline std::string answering(F f) {
  told.clear();
  ui::BoxAnswerer boxes([](const std::string& title, const std::string& text) {
    told += title + ": " + text;
    return answer;
  });
  f(boxes);
  drain();
  return std::string();
}

// The folder a run wrote in, as its readings were taken: after a failed
// save the next one makes a new folder, named by the minute it is made in.
inline std::wstring runFolder;

// "D/x/y" lies in the data folder, "R/x" in the last run's folder, anything
// else in the measurement folder.
inline std::wstring pathOf(const std::string& name) {
  std::wstring path(name.begin(), name.end());
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  if (name.starts_with("D/")) return dataPaths.dataFolder + path.substr(1);
  if (name.starts_with("R/")) return runFolder + path.substr(1);
  return std::wstring(dataPaths.measurementFolder) + L"\\" + path;
}
inline std::string names(const std::wstring& pattern) {
  std::vector<std::wstring> found = testfiles::namesMatching(pattern);
  std::sort(found.begin(), found.end());
  std::string text;
  for (const std::wstring& n : found) text += (text.empty() ? "" : " ") + ui::narrow(n);
  return text.empty() ? "<none>" : text;
}
inline std::vector<HANDLE> held;
inline ULONGLONG tookMs = 0;

inline HWND windowOf(const std::string& name) {
  return name == "map" ? hMapWnd : name == "confocal" ? hConfocalWnd : name == "iv" ? hIvWnd
       : name == "time" ? spectroscopyWindows.timeWindow : hMainWnd;
}
inline const std::map<std::string, std::tuple<const char*, int, bool>> commands = {  // its window, id, a button
    {"start", {"main", IDC_START, true}},         {"focus", {"main", IDC_FOCUS, true}},
    {"wide", {"main", IDC_WIDE_VIEW, true}},      {"iv-start", {"iv", IDC_IV_START, true}},
    {"time-start", {"time", IDC_TIME_EVOLUTION_START, true}}, {"save-maps", {"main", IDM_SAVE_MAPS, false}},
    {"nerin-view", {"main", IDM_SHOW_NERIN_VIEW, false}}, {"confocal", {"main", IDM_SHOW_CONFOCAL, false}},
    {"confocal-green", {"main", IDM_SHOW_CONFOCAL_GREEN, false}}, {"iv", {"main", IDM_IV_MEASUREMENT, false}},
    {"time", {"main", IDM_TIME_EVOLUTION, false}}};
inline void command(const std::string& name) {
  const auto [window, id, button] = commands.at(name);
  if (button) SendMessageW(GetDlgItem(windowOf(window), id), BM_CLICK, 0, 0);
  else SendMessageW(hMainWnd, WM_COMMAND, id, 0);
}
inline const std::map<std::string, int*> ints = {
    {"confocal", &confocalEnabled}, {"objective", &objectiveSettings.current}, {"sample-view", &scanState.sampleView},
    {"width", &scanState.mapWidth}, {"height", &scanState.mapHeight}, {"video", &videoRunning},
    {"wide-shown", &wideViewShown}, {"view-scale", &scanState.viewScale}, {"folder-made", &dataPaths.measurementFolderMade},
    {"focus-level", &autofocus.level}, {"focus-found", &autofocus.found}, {"busy", &deviceBusy}, {"scanning", &scanRunning},
    {"previous", &objectiveSettings.previous}, {"equipment", &currentEquipment}, {"pen", &plotPenToggle},
    {"jog", &jogPad.jogStepUm}, {"focus-offset", &lightSources.laserFocusOffsetUm}, {"minutes", &scanState.expectedMinutes},
    {"iv-counter", &ivFileCounter}, {"iv-points", &spectroscopy.pointsPerBranch}};
// X, Y and Z: where the program knows the stage to be; the turret's place and travel.
inline const std::map<std::string, double*> reals = {
    {"X", &stageX.positionUm}, {"Y", &stageY.positionUm}, {"Z", &stageZ.positionUm}, {"fov", &fieldOfViewUm},
    {"fov-height", &fieldOfViewHeightUm}, {"scale-bar", &camera.scaleBarFieldUm}, {"turret", &arduinoLink.positionUm[3]},
    {"turret-lower", &arduinoLink.lowerLimitUm[3]}, {"turret-upper", &arduinoLink.upperLimitUm[3]}};

inline const scenario::Steps steps = {
    {"==", [](const Args&) {
       const std::string why = runsfixture::connectDevices(L"runs");
       EXPECT_EQ(why, "");
       if (!infoEditProcedure)
         infoEditProcedure = reinterpret_cast<WNDPROC>(
             SetWindowLongPtrA(hInfoEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordingInfoEdit)));
       fakeGpib().setReplySource(readingAtStagePosition);
       atPoint.clear();
       autofocus = AutofocusState{};
       clickAtInfo.clear();
       _wremove(dataPaths.objectiveFile);
       fakeXimc().clearLog();
       statusLines.clear();
       told.clear();
       answer = IDYES;
       return std::string();
     }},
    {"set", act([](const Args& a) {
       if (a[1] == "changer-step") objectiveSettings.changerSteps[whole(a, 2)] = num(a, 3);
       else if (a[1] == "fov") fieldOfViewUm = num(a, 2), fieldOfViewHeightUm = num(a, 2) * 1028 / 1232;
       else if (a[1] == "point") mapBuffers.intensity.at(whole(a, 2)) = static_cast<float>(num(a, 3));
       else if (reals.count(a[1])) *reals.at(a[1]) = num(a, 2);
       else *ints.at(a[1]) = whole(a, 2);
     })},
    {"get", [](const Args& a) { return ints.count(a[1]) ? str(*ints.at(a[1])) : str(*reals.at(a[1])); }},
    {"answer", act([](const Args& a) { answer = a[1] == "no" ? IDNO : a[1] == "ok" ? IDOK : IDYES; })},
    {"told", [](const Args&) {
       std::string text = told;
       const std::string data = ui::narrow(dataPaths.dataFolder);
       for (size_t at; (at = text.find(data)) != std::string::npos;) text.replace(at, data.size(), "D");
       return text;
     }},
    // drag x1 y1 x2 y2: the operator drags on the picture and answers the question the release asks
    {"drag", [](const Args& a) {
       return answering([&a](const ui::BoxAnswerer& boxes) {
         drain();
         ui::mouseButton(screenPoint(whole(a, 1), whole(a, 2)), true, true);
         drain();
         ui::mouseButton(screenPoint(whole(a, 3), whole(a, 4)), true, false);
         EXPECT_TRUE(pumpUntil([&] { return boxes.answered() > 0; }, 60000));
       });
     }},
    {"press", [](const Args& a) {
       const ULONGLONG start = GetTickCount64();
       answering([&a](const ui::BoxAnswerer&) { command(a[1]); });
       tookMs = GetTickCount64() - start;
       return std::string();
     }},
    {"right-click", [](const Args& a) {
       return answering([&a](const ui::BoxAnswerer&) {
         SendMessageW(windowOf(a[1]), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(whole(a, 2), whole(a, 3)));
       });
     }},
    // at-point k click|save|mkdir names...: what the operator does at the reading of point k
    {"at-point", act([](const Args& a) {
       atPoint.push_back([a](int k) {
         runFolder = dataPaths.measurementFolder;
         if (k != whole(a, 1)) return;
         if (a[2] == "click") PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
         if (a[2] == "save") PostMessageW(hMainWnd, WM_COMMAND, IDM_SAVE_MAPS, 0);
         for (std::size_t i = 3; i < a.size(); ++i) CreateDirectoryW(pathOf(a[i]).c_str(), nullptr);
       });
     })},
    // area w h [dx]: w x h points of 1 um with the corner at the laser spot (or dx um right of it), as
    // dragged; area alone: the corners of the area in pixels
    {"area", [](const Args& a) {
       int* corners = scanState.selection;
       if (a.size() == 1) return str(corners[0]) + " " + str(corners[1]) + " " + str(corners[2]) + " " + str(corners[3]);
       const int x = 616 + 16 * (a.size() > 3 ? whole(a, 3) : 0);
       const int pixels[4] = {x, 514, x + 16 * (whole(a, 1) - 1), 514 + 16 * (whole(a, 2) - 1)};
       std::copy(pixels, pixels + 4, corners);
       computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
       return str(scanState.mapWidth) + " " + str(scanState.mapHeight);
     }},
    // start-at x y: the stage moved there, the scan's grid from there, the stage's log cleared
    {"start-at", act([](const Args& a) {
       EXPECT_TRUE(moveAxesTo(stageX, stageY, num(a, 1), num(a, 2)));
       gridX0 = num(a, 1) + scanState.startOffsetXUm;
       gridY0 = num(a, 2) + scanState.startOffsetYUm;
       fakeXimc().clearLog();
     })},
    {"z", act([](const Args& a) { moveZTo(num(a, 1)); })},
    {"stage", [](const Args& a) { return fixed(stageUm(a[1] == "X" ? 0 : a[1] == "Y" ? 1 : 2), "%.3f"); }},
    // text field [typed]: what the field shows (after typing the text): the main window's, and the I-V and
    // time-evolution windows' edits
    {"text", [](const Args& a) {
       const SpectroscopyWindows& w = spectroscopyWindows;
       const std::map<std::string, HWND> edits = {{"info", hInfoEdit}, {"time", hTimeEdit}, {"progress", hProgressEdit},
                                                  {"start", hStartButton}, {"step", hScanStepEdit}, {"speed", hScanSpeedEdit},
                                                  {"range", w.rangeEdit}, {"on", w.onTimeEdit}, {"off", w.offTimeEdit}, {"repeat", w.repeatEdit}};
       if (a.size() > 2) SetWindowTextA(edits.at(a[1]), a[2].c_str());
       return textOf(edits.at(a[1]));
     }},
    {"status", [](const Args&) { return statusLines; }},
    {"checked", [](const Args& a) {
       const int id = a[1] == "sample" ? IDC_SAMPLE_VIEW : a[1] == "laser" ? IDC_LASER_VIEW : whole(a, 1);
       return str(IsDlgButtonChecked(hMainWnd, id) == BST_CHECKED);
     }},
    // pixel window x y (from the client's right and bottom when negative) as red green blue
    {"pixel", [](const Args& a) {
       RECT client;
       GetClientRect(windowOf(a[1]), &client);
       const int x = whole(a, 2), y = whole(a, 3);
       const COLORREF c = ui::pixelOf(windowOf(a[1]), x < 0 ? client.right + x : x, y < 0 ? client.bottom + y : y);
       return str(GetRValue(c)) + " " + str(GetGValue(c)) + " " + str(GetBValue(c));
     }},
    {"place", [](const Args& a) {
       RECT r;
       GetWindowRect(windowOf(a[1]), &r);
       return str(r.left) + "," + str(r.top) + " " + str(r.right - r.left) + "x" + str(r.bottom - r.top);
     }},
    // reads of the meter (R) and the bias commands (+ on, 0 off) in order, up to the bias off
    {"meter", [](const Args&) {
       std::string commands;
       std::istringstream calls(fakeGpib().calls());
       for (std::string call; std::getline(calls, call);) {
         if (call.find("\":READ?\"") != std::string::npos) commands += "R";
         if (call.find(":SOUR:VOLT 0.500000") != std::string::npos) commands += "+";
         if (call.find(":SOUR:VOLT 0.000000") != std::string::npos) return commands + "0";
       }
       return commands;
     }},
    {"stage-calls", [](const Args&) { return fakeXimc().calls(); }},
    // where the X-Y moves took the stage: each sets the X speed, then starts the axes with a distance to go
    {"xy-stops", [](const Args&) {
       std::vector<std::pair<double, double>> stops;
       std::istringstream lines(fakeXimc().calls());
       for (std::string line; std::getline(lines, line);) {
         int id = 0, w = 0, micro = 0;
         if (line.rfind("set_engine_settings 11 ", 0) == 0) stops.push_back(stops.empty() ? std::pair(0.0, 0.0) : stops.back());
         if (std::sscanf(line.c_str(), "command_move %d %d %d", &id, &w, &micro) == 3 && !stops.empty()) {
           if (id == 11) stops.back().first = stepsToUm(w, micro, stageX.zeroSteps, stageX.stepsPerUnit);
           if (id == 12) stops.back().second = stepsToUm(w, micro, stageY.zeroSteps, stageY.stepsPerUnit);
         }
       }
       std::string text;
       for (const auto& [x, y] : stops) text += (text.empty() ? "" : " ") + fixed(x) + "," + fixed(y);
       return text;
     }},
    {"camera-colour", act([](const Args& a) { fakePylon().setColour(whole(a, 1), whole(a, 2), whole(a, 2), whole(a, 3)); })},
    {"stage-colours", act([](const Args&) { fakePylon().control("stage-colours", 0, 1); })},
    {"field", act([](const Args& a) { applyFieldOfView(num(a, 1)); })},
    // a spot of 20 px radius at the laser spot, brightest at Z um and at about 58 % 7 um away; the focus level there
    {"focus-spot", [](const Args& a) {
       fakePylon().control("focus-spot", 616, 1028 - 514, 20, 2, num(a, 1) / umPerMicrostep, 9.5 / umPerMicrostep);
       moveZTo(num(a, 2));
       camera.grab(1);
       AutofocusState probe;
       return str(focusLevel(probe));
     }},
    // the last focus pass was paced: its last sample came no sooner than 300 ms a sample after the first
    {"paced", [](const Args&) {
       int level = -1, last = -1;
       std::sscanf(textOf(hInfoEdit).c_str(), "[%d-%d] Z=", &level, &last);
       return str(last > 0 && tookMs >= static_cast<ULONGLONG>(last) * 300u);
     }},
    {"file", [](const Args& a) { return testfiles::readBytes(pathOf(a[1]).c_str()); }},
    {"names", [](const Args& a) { return names(pathOf(a[1])); }},
    {"mkdir", act([](const Args& a) { for (std::size_t i = 1; i < a.size(); ++i) CreateDirectoryW(pathOf(a[i]).c_str(), nullptr); })},
    {"write", act([](const Args& a) { EXPECT_TRUE(testfiles::writeBytes(pathOf(a[1]).c_str(), scenario::rest(a, 2).c_str())); })},
    // how many records lie beside the results, and whether they are all alike
    {"records", [](const Args&) {
       const auto records = testfiles::recordsBesideResults(dataPaths.measurementFolder);
       bool alike = true;
       for (const auto& [name, r] : records) alike = alike && r == records.begin()->second;
       return str(records.size()) + (alike ? " alike" : " differ");
     }},
    // record file|next [/json/pointer]: the record beside a result, or the one a run started now would have; or a
    // value of it
    {"record", [](const Args& a) {
       const nlohmann::json r = a[1] == "next" ? nlohmann::json::parse(resultRecordText(recordNow("next run")))
                                               : testfiles::recordBeside(pathOf(a[1]));
       if (r.is_discarded()) return std::string("<no record>");
       return (a.size() > 2 ? r.value(nlohmann::json::json_pointer(a[2]), nlohmann::json()) : r).dump();
     }},
    // hold file delete|read: opened, the other opens given that share
    {"hold", act([](const Args& a) {
       held.push_back(CreateFileW(pathOf(a[1]).c_str(), GENERIC_READ, a[2] == "delete" ? FILE_SHARE_DELETE : FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
     })},
    {"release", act([](const Args&) {
       for (HANDLE h : held) CloseHandle(h);
       held.clear();
     })},
    // ---- spectroscopy ----
    {"usb-meter", act([](const Args&) {
       currentEquipment = 4;
       currentLimit = 0.0001f;
       EXPECT_TRUE(registerFakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)) && sourcemeter().complete());
       EXPECT_EQ(openUsbSourcemeter(0.0f), 1);
       sourcemeter().reset();
       sourcemeter().control("resistance", 1e6);
     })},
    // Starts that reach the time-evolution window during its run
    {"post-starts", act([](const Args&) {
       PostMessageW(spectroscopyWindows.timeWindow, WM_COMMAND, IDC_TIME_EVOLUTION_START, 0);
       PostMessageW(spectroscopyWindows.timeWindow, WM_COMMAND, IDC_IV_START, 0);
     })},
    {"close", act([](const Args& a) { DestroyWindow(windowOf(a[1])); })},
    {"click-at-info", act([](const Args& a) { clickAtInfo = scenario::arg(a, 1); })},
    // volts [last]: the voltages the sourcemeter in use was set to, in order, or the last of them
    {"volts", [](const Args& a) {
       const bool usb = currentEquipment == 4;
       const std::string calls = usb ? sourcemeter().calls() : fakeGpib().calls(), set = usb ? "Source.26(1, " : ":SOUR:VOLT ";
       std::string volts, last = "none";
       for (size_t at = calls.find(set); at != std::string::npos; at = calls.find(set, at + 1)) {
         last = fixed(std::atof(calls.c_str() + at + set.size()), "%.5g");
         volts += (volts.empty() ? "" : " ") + last;
       }
       return a.size() > 1 ? last : volts;
     }},
    // values file count|first|last|sorted|k: how many lines of values (after the header); the
    // first column's first or last value, whether it rises; line k's "v i"
    {"values", [](const Args& a) {
       const auto rows = numbersOf(pathOf(a[1]), 1);
       if (a[2] == "count") return str(rows.size());
       if (a[2] == "sorted") return str(std::is_sorted(rows.begin(), rows.end()));
       if (rows.empty()) return std::string("none");
       const bool first = a[2] == "first", last = a[2] == "last";
       const auto& row = first ? rows.front() : last ? rows.back() : rows.at(std::stoul(a[2]));
       return fixed(row[0], "%g") + (first || last ? "" : " " + fixed(row.at(1), "%g"));
     }},
    {"board-clear", act([](const Args&) { board().clear(); })},
    // curve rising|falling: drawn from (0, 0) to (1, 1), or from (0, 1) to (1, 0), into the I-V window
    {"curve", [](const Args& a) {
       const float xs[] = {0.0f, 1.0f}, rising[] = {0.0f, 1.0f}, falling[] = {1.0f, 0.0f};
       return str(drawCurve(hIvWnd, xs, a[1] == "rising" ? rising : falling, 0, 2));
     }},
    // near window x y r g b: whether the colour is on the pixel or one of its eight neighbours
    {"near", [](const Args& a) {
       const COLORREF colour = a[4] == "window" ? GetSysColor(COLOR_WINDOW) : RGB(whole(a, 4), whole(a, 5), whole(a, 6));
       for (int dy = -1; dy <= 1; ++dy)
         for (int dx = -1; dx <= 1; ++dx)
           if (ui::pixelOf(windowOf(a[1]), whole(a, 2) + dx, whole(a, 3) + dy) == colour) return std::string("1");
       return std::string("0");
     }},
    // ---- the objective change ----
    {"simulated-stage", act([](const Args& a) {
       closeAllAxes();
       stageX.positionUm = num(a, 1), stageY.positionUm = num(a, 2), stageZ.positionUm = num(a, 3);
     })},
    {"select", [](const Args& a) { return str(selectObjective(whole(a, 1))); }},
    {"adjust", act([](const Args& a) { adjustObjectiveMotor(num(a, 1)); })},
    // the board's command lines, without the position queries of an arrival wait
    {"board", [](const Args&) {
       std::string commands;
       std::istringstream lines(board().received());
       for (std::string line; std::getline(lines, line);)
         if (line != "q") commands += (commands.empty() ? "" : ",") + line;
       return commands;
     }},
    {"offsets", [](const Args&) { return fixed(scanState.startOffsetXUm, "%.4f") + " " + fixed(scanState.startOffsetYUm, "%.4f"); }},
    // config text: Config.txt written and read as at start-up, then removed
    {"config", act([](const Args& a) {
       EXPECT_TRUE(testfiles::writeBytes(dataPaths.configFile, scenario::rest(a, 1).c_str()));
       scanState = makeInitialScanState();
       loadConfigFile();
       _wremove(dataPaths.configFile);
     })},
    // everything sent to the board before a marker
    {"sent-before-marker", [](const Args&) {
       sendLine("marker");
       std::string bytes;
       ui::eventually([&] { return (bytes = board().received()).ends_with("marker\n"); }, 10000);
       return bytes.substr(0, bytes.size() - std::min<std::size_t>(bytes.size(), 7));
     }},
    {"objective-file", [](const Args&) { return testfiles::readBytes(dataPaths.objectiveFile); }},
    {"recover", [](const Args&) { return answering([](const ui::BoxAnswerer&) { recoverScanJournals(); }); }},
};

}  // namespace runsfixture
