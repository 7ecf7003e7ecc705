// Objective changes against the emulated board (arduino_emulator.py runs this
// program with the board behind a COM port); the stage is simulated.

#include "runs/objective/objective_changer.h"

#include "arduino_emulator_client.h"
#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "services/data_paths.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/settings_files.h"
#include "services/ui_handles.h"
#include "test_files.h"
#include "ui_driver.h"
#include "views/jog_pad.h"
#include "views/live_display.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

using arduino_emulator::board;

void createTestWindow() {
  if (hMainWnd) return;
  hMainWnd = CreateWindowW(L"STATIC", L"Objective test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  for (int id = 9; id <= 13; ++id) {
    CreateWindowW(L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 20 * (id - 9), 50, 20,
                  hMainWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                  nullptr);
  }
  for (HWND* edit : {&hInfoEdit, &hScanStepEdit, &hScanSpeedEdit}) {
    *edit = CreateWindowW(L"EDIT", L"", WS_CHILD | WS_VISIBLE, 60, 0, 200, 20, hMainWnd, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  }
}

using ui::textOf;

std::string infoText() { return textOf(hInfoEdit); }

using testfiles::readBytes;

// The command lines the board received, without the position queries the
// arrival wait sends whenever the board is quiet for a moment.
std::vector<std::string> commandsReceived() {
  std::vector<std::string> commands;
  std::istringstream lines(board().received());
  std::string line;
  while (std::getline(lines, line)) {
    if (line != "q") commands.push_back(line);
  }
  return commands;
}

using Commands = std::vector<std::string>;

class ObjectiveChange : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board().connected()) << "run under arduino_emulator.py";
    createTestWindow();
    closeArduino();
    arduinoLink = ArduinoLink{};
    lightSources = LightSources{};
    objectiveSettings = ObjectiveTable{};
    deviceBusy = 0;
    stageX = StageAxis{};
    stageY = StageAxis{};
    stageZ = StageAxis{};
    stageX.positionUm = 100;
    stageY.positionUm = 200;
    stageZ.positionUm = 50;
    _wremove(dataPaths.objectiveFile);
    ASSERT_TRUE(board().reset());
    ASSERT_TRUE(connectArduino(board().comPort()));
    // The connection's own commands end with the turret's acceleration.
    for (int i = 0; i < 500 && board().received().find("u6400\n") == std::string::npos; ++i) Sleep(10);
    ASSERT_TRUE(board().clear());
  }
  void TearDown() override {
    closeArduino();
    _wremove(dataPaths.objectiveFile);
  }
};

TEST_F(ObjectiveChange, FiftyToTenXShiftsStageAndFocusTurnsTheTurretAndRewritesObjectiveTxt) {
  EXPECT_EQ(selectObjective(1), 0);

  EXPECT_EQ(commandsReceived(), (Commands{"D 4 5", "u6400", "O6400", "o2457", "o2464", "o2457"}));
  EXPECT_DOUBLE_EQ(stageX.positionUm, 165.0);
  EXPECT_DOUBLE_EQ(stageY.positionUm, 228.0);
  EXPECT_DOUBLE_EQ(stageZ.positionUm, 22.0);
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[3], 384.0);
  EXPECT_EQ(objectiveSettings.current, 1);
  EXPECT_EQ(objectiveSettings.previous, 1);
  EXPECT_DOUBLE_EQ(fieldOfViewUm, 394.0);
  EXPECT_DOUBLE_EQ(camera.scaleBarFieldUm, 394.0) << "the live scale bar follows the objective";
  EXPECT_EQ(videoRunning, 1) << "live video is back on after the change";
  EXPECT_DOUBLE_EQ(fieldOfViewHeightUm, 394.0 * 1028 / 1232);
  EXPECT_EQ(jogPad.jogStepUm, 100);
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, 10), BST_CHECKED);
  EXPECT_EQ(deviceBusy, 0);
  EXPECT_EQ(infoText(), "Obj. Motor:384.0");
  EXPECT_EQ(readBytes(dataPaths.objectiveFile), "objective:1\r\nstep:192,192,192,192\r\n");

  // On to 100X: forward over three positions, overshoot forward and back.
  objectiveSettings.changerSteps[3] = 193.5;
  ASSERT_TRUE(board().clear());
  selectObjective(4);
  // 384 - 577.5 = -193.5 um is -1238.4 steps, sent truncated toward zero.
  EXPECT_EQ(commandsReceived(), (Commands{"D 4 5", "u6400", "O6400", "o-1238", "o-1251", "o-1238"}));
  EXPECT_DOUBLE_EQ(stageX.positionUm, 165.0 - 120.0);
  EXPECT_DOUBLE_EQ(stageY.positionUm, 228.0 - 56.0);
  EXPECT_DOUBLE_EQ(stageZ.positionUm, 22.0 + 18.0);
  EXPECT_EQ(jogPad.jogStepUm, 10);
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, 10), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(hMainWnd, 13), BST_CHECKED);
  EXPECT_EQ(lightSources.laserFocusOffsetUm, 0);
  EXPECT_EQ(readBytes(dataPaths.objectiveFile), "objective:4\r\nstep:192,192,192,193.5\r\n");
}

// The scan geometry as start-up leaves it (Config.txt read, the mounted 50X
// applied) and after a change, worked out by hand for the default scan area
// (492, 411)-(739, 616), 247 x 205 px, with a 0.5 um step, the laser spot at
// (600, 400) (628 px from the top) and the confocal option on.
TEST_F(ObjectiveChange, TheScanGeometryFollowsTheFieldOfViewWithTheStepAndSpotFromConfigTxt) {
  ASSERT_TRUE(testfiles::writeBytes(
      dataPaths.configFile,
      "step:0.5, scan_speed:300, laser shift:(600,400), Ammeter:1, GPIB:18, Standa:0, arduino:12\n"));
  fieldOfViewUm = 89.0;
  fieldOfViewHeightUm = 89.0 * 1028 / 1232;
  scanState = makeInitialScanState();
  loadConfigFile();
  _wremove(dataPaths.configFile);
  EXPECT_EQ(textOf(hScanStepEdit), "0.5");
  EXPECT_EQ(textOf(hScanSpeedEdit), "300");
  selectObjective(3);
  EXPECT_DOUBLE_EQ(fieldOfViewHeightUm, 79.0 * 1028 / 1232);  // 65.92 um, not the placeholder's 74.27
  // 79 um: 7.797 px per step; 247 / 7.797 + 1 = 32.7 and 205 / 7.797 + 1 = 27.3 points;
  // 32 x 27 x 2 / 500 + 2 = 5 min; the corner 108 px left of the spot and 217 px above it.
  EXPECT_EQ(scanState.mapWidth, 32);
  EXPECT_EQ(scanState.mapHeight, 27);
  EXPECT_EQ(scanState.expectedMinutes, 5);
  EXPECT_NEAR(scanState.startOffsetXUm, -6.9253, 1e-3);  // -108 x 79 / 1232
  EXPECT_NEAR(scanState.startOffsetYUm, 13.9148, 1e-3);  // 217 x 79 / 1232

  selectObjective(1);  // 10X, 394 um: 1.563 px per step
  EXPECT_DOUBLE_EQ(fieldOfViewHeightUm, 394.0 * 1028 / 1232);
  EXPECT_EQ(scanState.mapWidth, 158);
  EXPECT_EQ(scanState.mapHeight, 132);
  EXPECT_EQ(scanState.expectedMinutes, 85);  // 158 x 132 x 2 / 500 + 2
  EXPECT_NEAR(scanState.startOffsetXUm, -34.5390, 1e-3);
  EXPECT_NEAR(scanState.startOffsetYUm, 69.3977, 1e-3);
}

TEST_F(ObjectiveChange, TheMountedObjectiveAnIndexOutsideTheTableOrABusyDeviceMoveAndWriteNothing) {
  selectObjective(3);
  EXPECT_EQ(lightSources.laserFocusOffsetUm, -14);
  EXPECT_DOUBLE_EQ(fieldOfViewUm, 79.0);
  fieldOfViewUm = 89.0;
  selectObjective(5);
  selectObjective(-1);
  deviceBusy = 1;
  selectObjective(0);
  EXPECT_EQ(deviceBusy, 1) << "a busy sequence keeps its guard";
  deviceBusy = 0;
  EXPECT_EQ(objectiveSettings.current, 3);
  EXPECT_DOUBLE_EQ(fieldOfViewUm, 89.0);
  EXPECT_DOUBLE_EQ(stageX.positionUm, 100.0);
  EXPECT_DOUBLE_EQ(stageZ.positionUm, 50.0);
  EXPECT_EQ(readBytes(dataPaths.objectiveFile), "<missing>");
  ASSERT_TRUE(sendLine("marker"));
  EXPECT_TRUE(board().waitForReceived("marker\n")) << board().lastReceived;
}

TEST_F(ObjectiveChange, ATurretMoveRefusedByItsTravelLimitStillCompletesTheChange) {
  arduinoLink.upperLimitUm[3] = 100.0;
  selectObjective(1);
  EXPECT_EQ(commandsReceived(), (Commands{"D 4 5", "u6400", "O6400", "o6", "o0"}));
  EXPECT_EQ(objectiveSettings.previous, 1);
  EXPECT_EQ(readBytes(dataPaths.objectiveFile), "objective:1\r\nstep:192,192,192,192\r\n");
}

TEST_F(ObjectiveChange, FineAdjustmentMovesTheTurretAndMakesItTheNewZero) {
  arduinoLink.upperLimitUm[3] = 50.0;
  adjustObjectiveMotor(0.25);
  EXPECT_EQ(commandsReceived(), (Commands{"o1", "y"}));
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[3], 0.0);
  EXPECT_DOUBLE_EQ(arduinoLink.upperLimitUm[3], 10000.0);
  EXPECT_DOUBLE_EQ(arduinoLink.lowerLimitUm[3], -10000.0);
}

}  // namespace
