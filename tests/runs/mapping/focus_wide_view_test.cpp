// "Focus" and "Wide View" pressed on the real main window, against the fake
// controller library and the fake camera runtime beside this program. The
// camera fake looks at the stage fake: for autofocus it shows a bright spot
// that is sharpest at one Z, for the wide view a colour per X, Y position.

#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "devices/motion/stage_math.h"
#include "fake_pylon_control.h"
#include "fake_ximc_control.h"
#include "imaging_fixture.h"
#include "resources/resource_ids.h"
#include "runs/mapping/autofocus.h"
#include "services/program_state.h"
#include "services/ui_handles.h"
#include "stage_fixture.h"
#include "ui_driver.h"
#include "views/live_display.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kTimeout = 60000;
constexpr int zController = 2;  // the fake's controllers 0, 1, 2 are X, Y, Z

const FakeXimc& stage() { return fakeXimc(); }

void click(int id) { SendMessageW(GetDlgItem(hMainWnd, id), BM_CLICK, 0, 0); }

double microsteps(double um) { return umToSteps(um, stageZ.stepsPerUnit) * stageMicrostepsPerStep; }

class MainWindowRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(stage().complete()) << "libximc.dll beside the test program is not the fake";
    ASSERT_TRUE(fakePylon().complete()) << "the camera runtime beside the test program is not the fake";
    ensureTestMainWindow();
    SetWindowPos(hMainWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    fakePylon().reset(1, noRegions, 2);
    ASSERT_EQ(camera.init(), 1);
    videoControl(0);
    deviceBusy = scanRunning = stopRequested = 0;
    scanState.sampleView = 0;
    scanState.laserSpotX = 616;
    scanState.laserSpotY = 514;
    lightSources = LightSources{};
    autofocus = AutofocusState{};
    closeAllAxes();
    stage().reset(3);
    ASSERT_TRUE(connectStage(0, 500));
  }
  void TearDown() override { wideViewShown = 0; }
};
using Autofocus = MainWindowRun;
using WideView = MainWindowRun;

// ---- autofocus ----

// A spot of 20 px radius, brightest at -37 um and at about 58 % of that
// 7 um away: Z = -30 starts at level 5 (25 um range, 40 samples of 1.25 um
// from -5 um down), whose sweep passes the peak at its 26th sample.
constexpr double peakZ = -37.0;
void sharpestAtPeakZ() {
  fakePylon().focusSpot(616, 1028 - 514, 20, zController, microsteps(peakZ), microsteps(9.5));
  moveZTo(-30.0);
  camera.grab(1);
  AutofocusState probe;
  ASSERT_EQ(focusLevel(probe), 5);
}

// "Focus" with the stop question answered Yes as soon as the fake's Z
// satisfies the condition.
template <typename Condition>
void focusStoppedWhen(Condition zCondition) {
  std::atomic<bool> done{false};
  std::thread hand([&] {
    const ULONGLONG deadline = GetTickCount64() + kTimeout;
    while (!done && !zCondition(static_cast<double>(stage().position(zController))) && GetTickCount64() < deadline)
      Sleep(1);
    if (!done) PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
  });
  ui::DialogAnswerer yes(L"Warning", {IDYES}, kTimeout);
  click(IDC_FOCUS);
  done = true;
  hand.join();
  ASSERT_TRUE(yes.finish());
  EXPECT_EQ(ui::narrow(yes.text()), "Do you want to stop process, now ?\n");
  EXPECT_EQ(textOf(hProgressEdit), "Focusing aborted");
  EXPECT_EQ(scanRunning, 0);
}

TEST_F(Autofocus, FocusEndsAtTheSharpestZPacedBy300MsASample) {
  sharpestAtPeakZ();
  const ULONGLONG start = GetTickCount64();
  click(IDC_FOCUS);
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

  char shown[32];
  AutofocusState again;
  std::snprintf(shown, sizeof shown, "%.3f",
                focusFactor(again, camera.frameBuffer, scanState.laserSpotX, scanState.laserSpotY));
  EXPECT_EQ(textOf(hFFactorEdit), shown);
}

TEST_F(Autofocus, AConfirmedStopEndsThePassAtOnceAtTheBestZSeen) {
  // The samples lie at -5 - 1.25 i um; -37.5 is the closest to the peak.
  const struct {
    const char* when;
    bool rising;
    double zUm;
    double endZ;
    double tolerance;
  } cases[] = {
      {"on the way up to the top of the range: back to where the pass started", true, -25.0, -30.0, 0.01},
      {"short of the peak: the last sample, not the peak the sweep would find", false, -33.0, -32.5, 1.3},
      {"past the peak, before the peak test fires", false, -40.5, -37.5, 0.01},
  };
  for (const auto& c : cases) {
    sharpestAtPeakZ();
    const double at = microsteps(c.zUm);
    const bool rising = c.rising;
    focusStoppedWhen([at, rising](double z) { return rising ? z > at : z < at; });
    EXPECT_NEAR(stageZ.positionUm, c.endZ, c.tolerance) << c.when;
    EXPECT_NEAR(readAxisPosition(stageZ), stageZ.positionUm, 0.01) << c.when;
  }
}

TEST_F(Autofocus, AFlatPictureEndsIncompletedAtTheBestZ) {
  fakePylon().setColour(100, 100, 100, 100);  // level 5 all the way
  moveZTo(-30.0);
  click(IDC_FOCUS);
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
  std::istringstream lines(stage().calls());
  for (std::string line; std::getline(lines, line);) {
    int id = 0, whole = 0, micro = 0;
    if (line.rfind("set_engine_settings 11 ", 0) == 0) stops.push_back(stops.empty() ? Point{} : stops.back());
    if (std::sscanf(line.c_str(), "command_move %d %d %d", &id, &whole, &micro) == 3 && !stops.empty()) {
      if (id == 11) stops.back().x = stepsToUm(whole, micro, stageX.zeroSteps, stageX.stepsPerUnit);
      if (id == 12) stops.back().y = stepsToUm(whole, micro, stageY.zeroSteps, stageY.stepsPerUnit);
    }
  }
  ASSERT_EQ(stops.size(), expected.size()) << stage().calls();
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
  applyFieldOfView(w50);
  moveAxesTo(stageX, stageY, start.x, start.y);
  fakePylon().stageColours(0, 1);
  stage().clearLog();
}

TEST_F(WideView, VisitsNinePositionsInASerpentineIntoTheirCellsAndReturns) {
  prepareWideView();
  click(IDC_WIDE_VIEW);

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
    EXPECT_EQ(screenPixel(centre.x, centre.y), pictureAt(p)) << column << "," << row;
  }
  EXPECT_EQ(screenPixel(1150, 930), RGB(255, 255, 0)) << "the wide scale bar";
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

TEST_F(WideView, AStopDuringTheFirstTileLeavesTheOtherCellsAndStillReturns) {
  prepareWideView();
  fakePylon().setColour(10, 20, 20, 30);
  camera.grab(1);
  showCamera(camera, hMainWnd);
  fakePylon().stageColours(0, 1);

  // The click waits in the queue for the run's first wait.
  PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
  ui::DialogAnswerer yes(L"Warning", {IDYES}, kTimeout);
  click(IDC_WIDE_VIEW);
  ASSERT_TRUE(yes.finish());

  const Point first{start.x - w50, start.y + h50};
  expectXYStops({{start.x + w50, start.y - h50}, first, start});
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      const POINT centre = cellCentre(column, row);
      const COLORREF before = RGB(10, 20, 30);
      EXPECT_EQ(screenPixel(centre.x, centre.y), row + column == 0 ? pictureAt(first) : before) << column << "," << row;
    }
  }
  EXPECT_EQ(screenPixel(1150, 930), RGB(255, 255, 0)) << "the wide scale bar";
  EXPECT_EQ(scanRunning, 0);
}

}  // namespace
