// The long runs of the main window driven as an operator drives them, against
// the fake controller library, the fake GPIB driver and the fake camera
// runtime beside this program. Map scans: an area dragged with the mouse on
// the camera picture, the area question answered, "Start" pressed; the fake
// stage moves in real time, the meter reads a current and the camera shows a
// colour that depend on where the stage stands, so every value in the files
// says at which position it was measured. "Focus": the camera shows a bright
// spot that is sharpest at one Z. "Wide View": a colour per X, Y position.
#include "console/main_window.h"
#include "devices/camera/camera.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "devices/motion/stage_math.h"
#include "fake_gpib_control.h"
#include "fake_pylon_control.h"
#include "fake_ximc_control.h"
#include "main_window_loop.h"
#include "resources/resource_ids.h"
#include "result_records.h"
#include "runs/mapping/autofocus.h"
#include "runs/mapping/map_scan.h"
#include "scan_test_settings.h"
#include "services/data_paths.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "stage_fixture.h"
#include "test_files.h"
#include "ui_driver.h"
#include "views/live_display.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace mainwindow;

constexpr DWORD kTimeout = 60000;
constexpr int zController = 2;  // the fake's controllers 0, 1, 2 are X, Y, Z
constexpr double umPerMicrostep = 1.25 / 256;  // the stage: 1.25 um a step, 256 microsteps

// Where the scan's grid lies on the stage, for the meter and the camera to
// answer by position.
struct Grid {
  double x0 = 0.0, y0 = 0.0;  // point (0, 0)
  int width = 0;
};
Grid grid;
// What the operator does at the reading of a map point (its index i + j *
// width): for example click into the main window, to stop.
std::function<void(int)> atPoint;

// What the meter reads (uA) and the camera sees (red, green, blue) at point (i, j).
float currentAt(int i, int j) { return 0.25f + static_cast<float>(i) + 10.0f * static_cast<float>(j); }
float valueAt(int table, int i, int j) {
  const float values[] = {currentAt(i, j), 10.0f + i, 20.0f + j, 30.0f + i + j};
  return values[table];
}

double stageUm(int axis) { return static_cast<double>(fakeXimc().position(axis)) * umPerMicrostep; }
double microsteps(double um) { return um / umPerMicrostep; }
void pressStart(int id) { SendMessageW(GetDlgItem(hMainWnd, id), BM_CLICK, 0, 0); }

// The map point the stage stands on; false between points (the approach).
bool gridPoint(int& i, int& j) {
  const double fi = stageUm(0) - grid.x0;  // the step is 1 um
  const double fj = grid.y0 - stageUm(1);
  i = static_cast<int>(std::lround(fi));
  j = static_cast<int>(std::lround(fj));
  return std::fabs(fi - i) < 0.05 && std::fabs(fj - j) < 0.05 && i >= 0 && j >= 0 && i < grid.width;
}

// The sourcemeter's answer to ":READ?", and the colour the camera will see
// next, both those of the point under the laser spot.
int readingAtStagePosition(char* buffer, int size) {
  float uA = 99.0f;  // off the grid: a settling reading, never stored
  int i = 0, j = 0;
  if (gridPoint(i, j)) {
    uA = currentAt(i, j);
    fakePylon().setColour(10 + i, 20 + j, 20 + j, 30 + i + j);
    if (atPoint) atPoint(i + j * grid.width);
  }
  return std::snprintf(buffer, static_cast<size_t>(size), "%.6E\n", static_cast<double>(uA) * 1e-6);
}

// The operator drags from one picture point to another and answers the
// question the release asks.
std::string dragAnswered(POINT from, POINT to, const wchar_t* title, int answer) {
  ui::DialogAnswerer answerer(title, {answer}, kTimeout);
  drain();
  ui::mouseButton(screenPoint(from.x, from.y), true, true);
  drain();
  ui::mouseButton(screenPoint(to.x, to.y), true, false);
  EXPECT_TRUE(pumpUntil([&] { return answerer.answered(); }));
  EXPECT_TRUE(answerer.finish());
  drain();
  return ui::narrow(answerer.text());
}

// Every text the "Information" box is given, one a line: the scan's own
// lines are followed by what the camera set-up reports afterwards.
std::string statusLines;
WNDPROC infoEditProcedure = nullptr;

LRESULT CALLBACK recordingInfoEdit(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT && lParam) statusLines += std::string(reinterpret_cast<const char*>(lParam)) + "\n";
  return CallWindowProcA(infoEditProcedure, window, message, wParam, lParam);
}

bool shown(const char* line) { return statusLines.find(std::string(line) + "\n") != std::string::npos; }

using ui::pixelOf;

std::wstring folderFile(const wchar_t* name) { return std::wstring(dataPaths.measurementFolder) + L"\\" + name; }

// The one file of the measurement folder matching the pattern ("optics(*).jpg").
std::wstring onlyFile(const wchar_t* pattern) {
  const std::vector<std::wstring> names = testfiles::namesMatching(folderFile(pattern));
  return names.empty() ? L"<none>" : names.size() > 1 ? L"<more than one>" : names[0];
}

bool isPng(const std::wstring& name) {
  return testfiles::readBytes(folderFile(name.c_str()).c_str()).rfind("\x89PNG\r\n\x1a\n", 0) == 0;
}

// A table file as rows of numbers; each line ends in a comma and CR LF.
std::vector<std::vector<double>> table(const wchar_t* name) {
  std::vector<std::vector<double>> rows;
  const std::string text = testfiles::readBytes(folderFile(name).c_str());
  size_t at = 0;
  for (size_t end; (end = text.find(",\r\n", at)) != std::string::npos; at = end + 3) {
    std::vector<double> row;
    const std::string line = text.substr(at, end - at + 1);
    for (size_t p = 0, comma; (comma = line.find(',', p)) != std::string::npos; p = comma + 1)
      row.push_back(std::strtod(line.c_str() + p, nullptr));
    rows.push_back(row);
  }
  EXPECT_EQ(at, text.size()) << ui::narrow(name) << " does not end in a complete row";
  return rows;
}

// Expects the tables (the current's; with the confocal option also the
// colours') to hold the value of every point up to (but not including)
// `measured` in scanning order, and 0 after it.
void expectTables(int width, int height, int measured, bool confocal) {
  const wchar_t* names[] = {L"Nerin.txt", L"ConfocalR.txt", L"ConfocalG.txt", L"ConfocalB.txt"};
  for (int t = 0; t < (confocal ? 4 : 1); ++t) {
    const auto rows = table(names[t]);
    ASSERT_EQ(rows.size(), static_cast<size_t>(height)) << ui::narrow(names[t]);
    for (int j = 0; j < height; ++j) {
      ASSERT_EQ(rows[j].size(), static_cast<size_t>(width)) << ui::narrow(names[t]);
      for (int i = 0; i < width; ++i) {
        const double expected = i + j * width < measured ? valueAt(t, i, j) : 0.0;
        EXPECT_NEAR(rows[j][i], expected, 1e-4) << ui::narrow(names[t]) << " " << i << "," << j;
      }
    }
  }
}

// Reads of the meter (R) and the bias commands (+ on, 0 off) in the order
// sent, up to the bias off (live video reads on afterwards).
std::string meterCommands() {
  std::string commands;
  const std::string calls = fakeGpib().calls();
  size_t at = 0;
  for (size_t end; (end = calls.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string call = calls.substr(at, end - at);
    if (call.find("\":READ?\"") != std::string::npos) commands += "R";
    if (call.find(":SOUR:VOLT 0.500000") != std::string::npos) commands += "+";
    if (call.find(":SOUR:VOLT 0.000000") != std::string::npos) return commands + "0";
  }
  return commands;
}

// The one record beside every file of the scan: how it ended, the settings
// SetUp gave the scan and its grid.
nlohmann::json scanRecord(const char* outcome, int width, int height, size_t files) {
  const auto records = testfiles::recordsBesideResults(dataPaths.measurementFolder);
  EXPECT_EQ(records.size(), files);
  if (records.empty()) return {};
  const nlohmann::json& r = records.begin()->second;
  for (const auto& [name, other] : records) EXPECT_EQ(other, r) << name;
  EXPECT_EQ(r["result"], "map scan");
  EXPECT_EQ(r.value("outcome", ""), outcome);
  const nlohmann::json& s = r["settings"];
  EXPECT_EQ(s["currentEquipment"], "GPIB Sourcemeter");
  EXPECT_EQ(s["gpibAddress"], 18);
  EXPECT_EQ(s["biasVoltageV"], 0.5);
  EXPECT_EQ(s["scanStepUm"], 1.0);
  EXPECT_EQ(s["objective"], "50X");
  EXPECT_EQ(s["fieldOfViewUm"], 79.0);
  EXPECT_EQ(s["laserSpotPx"], nlohmann::json({{"x", 616}, {"y", 514}}));
  EXPECT_EQ(s["confocalImage"], confocalEnabled == 1);
  EXPECT_EQ(r["devices"], nlohmann::json({{"stageX", "connected"}, {"stageY", "connected"}, {"stageZ", "connected"},
                                          {"arduino", "simulated"}, {"currentMeter", "connected"},
                                          {"camera", "connected"}}));
  EXPECT_EQ(r["scan"]["widthPoints"], width);
  EXPECT_EQ(r["scan"]["heightPoints"], height);
  return r;
}

class Mapping : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fakeXimc().complete()) << "libximc.dll beside the test program is not the fake";
    ASSERT_TRUE(fakeGpib().complete()) << "ni4882.dll beside the test program is not the fake";
    ASSERT_TRUE(fakePylon().complete()) << "the camera runtime beside the test program is not the fake";
    ensureTestMainWindow();
    if (!infoEditProcedure) {
      infoEditProcedure = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(hInfoEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordingInfoEdit)));
    }
    statusLines.clear();
    SetWindowPos(hMainWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(hMainWnd);
    videoControl(0);  // its ticks would read the meter
    fakePylon().reset(1, noRegions, 2);
    ASSERT_EQ(camera.init(), 1);
    closeAllAxes();
    fakeXimc().reset(3);
    ASSERT_TRUE(connectStage(0, 500));
    fakeGpib().reset();
    ASSERT_EQ(openGpibSourcemeter(18), 1);
    fakeGpib().setReplySource(readingAtStagePosition);
    currentEquipment = 3;
    gpibAddress = 18;
    deviceBusy = scanRunning = stopRequested = 0;
    atPoint = nullptr;
    lightSources = LightSources{};
    autofocus = AutofocusState{};
    scantest::useScanSettings();
    scantest::useFreshDataFolder(L"map_scan");
    drain();
    fakeXimc().clearLog();
  }

  void TearDown() override {
    fakeGpib().setReplySource(nullptr);
    videoControl(0);
    wideViewShown = 0;
    drain();
  }

  // An area of width x height points of 1 um with its corner at the laser
  // spot, as the operator would have dragged it; the stage at (x, y).
  void scanAreaOf(int width, int height, double x, double y) {
    const int pixels[4] = {616, 514, 616 + 16 * (width - 1), 514 + 16 * (height - 1)};
    std::copy(pixels, pixels + 4, scanState.selection);
    computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
    ASSERT_EQ(scanState.mapWidth, width);
    ASSERT_EQ(scanState.mapHeight, height);
    startAt(x, y);
  }

  void startAt(double x, double y) {
    ASSERT_TRUE(moveAxesTo(stageX, stageY, x, y));
    grid = {x + scanState.startOffsetXUm, y + scanState.startOffsetYUm, scanState.mapWidth};
    fakeXimc().clearLog();
  }
};

TEST_F(Mapping, DraggedAreaIsScannedPointByPointIntoTablesAndPicturesAndTheStageReturns) {
  // 50 x 40 pixels at 1232 / 79 pixels per um: 4 x 3 points.
  EXPECT_EQ(dragAnswered({600, 500}, {650, 540}, L"Area: 3.2 um x 2.6 um", IDYES),
            "Do you want to set it for next scan area\n");
  EXPECT_EQ(textOf(hInfoEdit), "New scan area was selected.");
  EXPECT_EQ(textOf(hTimeEdit), "2 min. expected");
  EXPECT_EQ(scanState.mapWidth, 4);
  EXPECT_EQ(scanState.mapHeight, 3);
  EXPECT_EQ(videoRunning, 0) << "the frozen picture keeps the area";
  EXPECT_EQ(pixelOf(hMainWnd, 625, 500), RGB(0, 255, 0));
  EXPECT_EQ(pixelOf(hMainWnd, 649, 520), RGB(0, 255, 0));

  moveZTo(40.0);
  lightSources.laserFocusOffsetUm = -14;  // the laser focus, half of it, during the scan
  startAt(100.0, -50.0);
  pressStart(IDC_START);  // the whole scan runs in here
  drain();

  EXPECT_TRUE(shown("Moving to starting point") && shown("scanning ...") && shown("Mapping finished"))
      << statusLines;
  EXPECT_EQ(textOf(hProgressEdit), "Mapping: 100% done");
  EXPECT_EQ(textOf(hStartButton), "Start");
  expectTables(4, 3, 12, true);
  EXPECT_EQ(testfiles::readBytes(folderFile(L"MapInfo.txt").c_str()),
            "Map width:4, height:3, step:1.0 um, bias voltage:0.500000\r\n");
  for (const wchar_t* picture : {L"optics(*).jpg", L"Nerin(*).jpg", L"CONFOCAL(*).jpg"}) {
    const std::wstring name = onlyFile(picture);
    EXPECT_TRUE(isPng(name)) << ui::narrow(name);
  }
  const nlohmann::json record = scanRecord("completed", 4, 3, 8);
  EXPECT_NEAR(record["stageAtStartUm"]["x"].get<double>(), 100.0, 0.01);
  EXPECT_NEAR(record["stageAtStartUm"]["y"].get<double>(), -50.0, 0.01);
  EXPECT_NEAR(record["stageAtStartUm"]["z"].get<double>(), 40.0, 0.01);
  // Back where it started, bias applied for the readings only.
  EXPECT_NEAR(stageUm(0), 100.0, 0.01);
  EXPECT_NEAR(stageUm(1), -50.0, 0.01);
  EXPECT_NEAR(stageUm(2), 40.0, 0.01);
  EXPECT_EQ(meterCommands(), "+" + std::string(3 + 1 + 3 + 12, 'R') + "0");
  EXPECT_EQ(scanState.sampleView, 1);
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, IDC_SAMPLE_VIEW), BST_CHECKED);
  EXPECT_EQ(videoRunning, 1);
  EXPECT_EQ(scanRunning + deviceBusy, 0);

  // The windows where the scan put them; the maps as drawn.
  const auto place = [](HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    char text[64];
    std::snprintf(text, sizeof text, "%ld,%ld %ldx%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return std::string(text);
  };
  EXPECT_EQ(place(hMapWnd), "1450,100 460x300");
  EXPECT_EQ(place(hConfocalWnd), "1450,450 400x300");
  SendMessageW(hMainWnd, WM_COMMAND, IDM_SHOW_NERIN_VIEW, 0);
  RECT client;
  GetClientRect(hMapWnd, &client);
  EXPECT_EQ(pixelOf(hMapWnd, 2, 2), RGB(0, 0, 0)) << "the lowest current, top left";
  EXPECT_EQ(pixelOf(hMapWnd, client.right - 62, client.bottom - 2), RGB(255, 255, 255)) << "the highest";
  SendMessageW(hMainWnd, WM_COMMAND, IDM_SHOW_CONFOCAL, 0);
  EXPECT_EQ(pixelOf(hConfocalWnd, 2, 2), RGB(10, 20, 30));
  SendMessageW(hMainWnd, WM_COMMAND, IDM_SHOW_CONFOCAL_GREEN, 0);
  EXPECT_EQ(pixelOf(hConfocalWnd, 2, 2), RGB(0, 20, 0));
}

TEST_F(Mapping, NoToTheStopQuestionLetsTheScanFinish) {
  confocalEnabled = 0;
  scanAreaOf(3, 2, 10.0, 20.0);
  // The operator clicks at point 1 and answers No; Save Maps during the run
  // is refused as every other command: no table beside the scan's own.
  atPoint = [](int k) {
    if (k == 1) PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
    if (k == 2) PostMessageW(hMainWnd, WM_COMMAND, IDM_SAVE_MAPS, 0);
  };
  ui::DialogAnswerer no(L"Warning", {IDNO}, kTimeout);
  pressStart(IDC_START);
  ASSERT_TRUE(no.finish());
  expectTables(3, 2, 6, false);
  EXPECT_EQ(onlyFile(L"Confocal*.txt"), L"<none>");
  EXPECT_EQ(onlyFile(L"CONFOCAL(*).jpg"), L"<none>");
  scanRecord("completed", 3, 2, 4);
}

TEST_F(Mapping, BelowFiftyXNeitherAnAreaIsTakenNorAScanStarted) {
  objectiveSettings.current = 2;  // 20X
  const int before[4] = {scanState.selection[0], scanState.selection[1], scanState.selection[2],
                         scanState.selection[3]};
  EXPECT_EQ(dragAnswered({600, 500}, {700, 600}, L"Warning", IDOK),
            "Scan area should be selected on 50x or 100x objective\n");
  EXPECT_TRUE(std::equal(before, before + 4, scanState.selection));
  {
    ui::DialogAnswerer ok(L"Warning", {IDOK}, kTimeout);
    pressStart(IDC_START);
    ASSERT_TRUE(ok.finish());
    EXPECT_EQ(ui::narrow(ok.text()), "Scan should be done on 50x or 100x objective\n");
  }
  EXPECT_EQ(fakeXimc().calls(), "");
  EXPECT_EQ(meterCommands(), "");
  EXPECT_EQ(textOf(hStartButton), "Start");
  EXPECT_EQ(dataPaths.measurementFolderMade, 0);
}

// Presses OK on every box the command brings; what they said ("title:
// text" each).
std::string answered(int id, UINT message = WM_COMMAND) {
  std::string told;
  {
    ui::BoxAnswerer boxes([&told](const std::string& title, const std::string& text) {
      told += title + ": " + text;
      return IDOK;
    });
    if (message == WM_COMMAND) {
      SendMessageW(hMainWnd, message, id, 0);
    } else {
      SendMessageW(GetDlgItem(hMainWnd, id), message, 0, 0);
    }
  }
  return told;
}

TEST_F(Mapping, SavesNeverReplaceATableAndAFailedOneMakesTheNextSaveUseANewFolder) {
  confocalEnabled = 0;
  // A grid too large for the memory is refused, and leaves no map to save
  // (past what a vector holds: refused at once, where a merely huge one may
  // take the system seconds to refuse).
  scanState.mapWidth = scanState.mapHeight = INT_MAX;
  EXPECT_EQ(answered(IDC_START, BM_CLICK),
            "Warning: A map of 2147483647 x 2147483647 points does not fit into memory.\n");
  EXPECT_EQ(answered(IDM_SAVE_MAPS), "Notice: No map has been scanned yet, so there is nothing to save.\n");
  EXPECT_EQ(dataPaths.measurementFolderMade, 0) << "nothing written";

  scanAreaOf(2, 1, 0.0, 0.0);
  pressStart(IDC_START);
  mapBuffers.intensity[1] = -0.25f;
  for (int save = 0; save < 2; ++save) SendMessageW(hMainWnd, WM_COMMAND, IDM_SAVE_MAPS, 0);
  EXPECT_EQ(testfiles::readBytes(folderFile(L"Nerin.txt").c_str()), "0.250000,1.250000,\r\n");
  for (const wchar_t* name : {L"Nerin(0).txt", L"Nerin(1).txt"}) {
    EXPECT_EQ(testfiles::readBytes(folderFile(name).c_str()), "0.250000,-0.250000,\r\n") << ui::narrow(name);
  }
  EXPECT_EQ(testfiles::recordsBesideResults(dataPaths.measurementFolder).size(), 6u);
  // A folder where the next table would go: it cannot be written.
  ASSERT_TRUE(CreateDirectoryW(folderFile(L"Nerin(2).txt").c_str(), nullptr));
  EXPECT_EQ(answered(IDM_SAVE_MAPS), "Image save Process: File saving error. New folder will be made.\n");
  EXPECT_EQ(dataPaths.measurementFolderMade, 0);
}

TEST_F(Mapping, TheTablesWrittenLoseTheirJournalsAndOneNotWrittenKeepsIt) {
  scanAreaOf(2, 1, 0.0, 0.0);
  // Folders where MapInfo and the green table would go: they cannot be written.
  atPoint = [](int) {
    for (const wchar_t* name : {L"MapInfo.txt", L"ConfocalG.txt"}) CreateDirectoryW(folderFile(name).c_str(), nullptr);
  };
  EXPECT_EQ(answered(IDC_START, BM_CLICK), "Image save Process: File saving error. New folder will be made.\n");
  EXPECT_EQ(testfiles::namesMatching(folderFile(L"*.journal")), std::vector<std::wstring>{L"ConfocalG.journal"});
}

// ---- autofocus ----

// A spot of 20 px radius, brightest at -37 um and at about 58 % of that
// 7 um away: Z = -30 starts at level 5 (25 um range, 40 samples of 1.25 um
// from -5 um down), whose sweep passes the peak at its 26th sample.
constexpr double peakZ = -37.0;
void sharpestAtPeakZ() {
  scanState.sampleView = 0;
  fakePylon().focusSpot(616, 1028 - 514, 20, zController, microsteps(peakZ), microsteps(9.5));
  moveZTo(-30.0);
  camera.grab(1);
  AutofocusState probe;
  ASSERT_EQ(focusLevel(probe), 5);
}

TEST_F(Mapping, FocusEndsAtTheSharpestZPacedBy300MsASample) {
  sharpestAtPeakZ();
  const ULONGLONG start = GetTickCount64();
  pressStart(IDC_FOCUS);
  const ULONGLONG tookMs = GetTickCount64() - start;

  EXPECT_EQ(textOf(hProgressEdit), "Focusing Completed!");
  EXPECT_NEAR(stageZ.positionUm, peakZ, 1.25);
  EXPECT_EQ(autofocus.level, 6);
  EXPECT_EQ(autofocus.found, 1);
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, IDC_LASER_VIEW), BST_CHECKED);
  EXPECT_EQ(scanRunning, 0);
  // The last progress line of the one pass, then its ending.
  int level = -1, last = -1;
  const std::string info = textOf(hInfoEdit);
  ASSERT_EQ(std::sscanf(info.c_str(), "[%d-%d] Z=", &level, &last), 2) << info;
  EXPECT_EQ(level, 5);
  EXPECT_EQ(info.substr(info.size() - 19), " Focusing completed");
  // The pass was paced: sample i came no sooner than i x 300 ms after the first.
  EXPECT_GE(tookMs, static_cast<ULONGLONG>(last) * 300u);
}

TEST_F(Mapping, FocusOnAFlatPictureEndsIncompletedAtTheBestZ) {
  scanState.sampleView = 0;
  fakePylon().setColour(100, 100, 100, 100);  // level 5 all the way
  moveZTo(-30.0);
  pressStart(IDC_FOCUS);
  EXPECT_EQ(textOf(hProgressEdit), "Focusing incompleted!");
  const std::string info = textOf(hInfoEdit);
  EXPECT_EQ(info.substr(0, 6), "[5-39]") << info;
  EXPECT_EQ(info.substr(info.size() - 14), " No peak found");
  EXPECT_EQ(autofocus.found, 0);
  // All samples alike: the first, at the top of the range, is the best.
  EXPECT_NEAR(stageZ.positionUm, -5.0, 0.01);
}

// ---- wide view ----

struct Point {
  double x, y;
};

// Where the X-Y moves since the log was cleared took the stage: each move
// sets the X speed first, then starts the axes that have a distance to go.
void expectXYStops(const std::vector<Point>& expected) {
  std::vector<Point> stops;
  std::istringstream lines(fakeXimc().calls());
  for (std::string line; std::getline(lines, line);) {
    int id = 0, whole = 0, micro = 0;
    if (line.rfind("set_engine_settings 11 ", 0) == 0) stops.push_back(stops.empty() ? Point{} : stops.back());
    if (std::sscanf(line.c_str(), "command_move %d %d %d", &id, &whole, &micro) == 3 && !stops.empty()) {
      if (id == 11) stops.back().x = stepsToUm(whole, micro, stageX.zeroSteps, stageX.stepsPerUnit);
      if (id == 12) stops.back().y = stepsToUm(whole, micro, stageY.zeroSteps, stageY.stepsPerUnit);
    }
  }
  ASSERT_EQ(stops.size(), expected.size()) << fakeXimc().calls();
  for (size_t i = 0; i < stops.size(); ++i) {
    EXPECT_NEAR(stops[i].x, expected[i].x, 0.01) << i;
    EXPECT_NEAR(stops[i].y, expected[i].y, 0.01) << i;
  }
}

// What the fake camera shows at a stage position: red and green count its
// whole steps from 128.
COLORREF pictureAt(Point p) {
  const auto steps = [](double um) { return static_cast<int>(std::trunc(umToSteps(um, 1))); };
  return RGB(128 + steps(p.x), 128 + steps(p.y), 60);
}

// The centre of mosaic cell (column, row).
POINT cellCentre(int column, int row) { return {column * 1232 / 3 + 205, row * 1028 / 3 + 171}; }

constexpr double w50 = 79.0;                   // 50X field of view
constexpr double h50 = 79.0 * 1028 / 1232;     // about 65.9 um
constexpr Point start{20.0, -10.0};  // every tile within the fake's colour range

void prepareWideView() {
  scanState.sampleView = 0;
  applyFieldOfView(w50);
  moveAxesTo(stageX, stageY, start.x, start.y);
  fakePylon().stageColours(0, 1);
  fakeXimc().clearLog();
}

TEST_F(Mapping, WideViewVisitsNinePositionsInASerpentineIntoTheirCellsAndReturns) {
  prepareWideView();
  pressStart(IDC_WIDE_VIEW);

  const Point tiles[9] = {{start.x - w50, start.y + h50}, {start.x, start.y + h50}, {start.x + w50, start.y + h50},
                          {start.x + w50, start.y},       {start.x, start.y},       {start.x - w50, start.y},
                          {start.x - w50, start.y - h50}, {start.x, start.y - h50}, {start.x + w50, start.y - h50}};
  std::vector<Point> expected = {{start.x + w50, start.y - h50}};  // the far corner first
  expected.insert(expected.end(), std::begin(tiles), std::end(tiles));
  expected.push_back(start);
  expectXYStops(expected);
  // Stage +X to the right, +Y upward.
  for (const Point& p : tiles) {
    const int column = p.x < start.x ? 0 : p.x > start.x ? 2 : 1;
    const int row = p.y > start.y ? 0 : p.y < start.y ? 2 : 1;
    const POINT centre = cellCentre(column, row);
    EXPECT_EQ(pixelOf(hMainWnd, centre.x, centre.y), pictureAt(p)) << column << "," << row;
  }
  EXPECT_EQ(pixelOf(hMainWnd, 1150, 930), RGB(255, 255, 0)) << "the wide scale bar";
  EXPECT_EQ(wideViewShown, 1);
  EXPECT_EQ(scanState.viewScale, 3);
  EXPECT_EQ(videoRunning, 0);

  // A right click on the mosaic (Sample view) moves three times as far:
  // 250 px right of the centre are 3 x 250 x 79 / 1232 um.
  scanState.sampleView = 1;
  {
    ui::DialogAnswerer toCentre(L"Position: (866,514), Blue intensity:60", {IDYES}, kTimeout);
    SendMessageW(hMainWnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(866, 514));
    ASSERT_TRUE(toCentre.finish());
  }
  EXPECT_NEAR(stageX.positionUm, start.x + 3 * 250 * w50 / 1232, 0.01);

  // The picture taken there replaced the mosaic: the next click moves as on
  // live video.
  {
    ui::DialogAnswerer toCentre(L"Position: (866,514), Blue intensity:60", {IDYES}, kTimeout);
    SendMessageW(hMainWnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(866, 514));
    ASSERT_TRUE(toCentre.finish());
  }
  EXPECT_NEAR(stageX.positionUm, start.x + 4 * 250 * w50 / 1232, 0.01);
}

}  // namespace
