// The serial link against the emulated board (arduino_emulator.py), which runs
// this program with the board on a pseudo-terminal behind a COM port.

#include "devices/motion/arduino_link.h"

#include "arduino_emulator_client.h"
#include "services/instrument_safety.h"
#include "services/objective_table.h"
#include "services/ui_handles.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace {

using arduino_emulator::connectionBytes;

using arduino_emulator::board;

// A stand-in for the main window: the light-source radio buttons and the
// text fields the link writes to.
HWND makeControl(HWND parent, const wchar_t* className, DWORD style, int id) {
  return CreateWindowW(className, L"", WS_CHILD | WS_VISIBLE | style, 0, 30 * (id % 10), 200, 24,
                       parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                       GetModuleHandleW(nullptr), nullptr);
}

void createTestWindow() {
  if (hMainWnd) return;
  hMainWnd = CreateWindowW(L"STATIC", L"Arduino test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  for (int id : {illuminationOnButton, illuminationOffButton, laserOnButton, laserOffButton})
    makeControl(hMainWnd, L"BUTTON", BS_AUTORADIOBUTTON, id);
  hInfoEdit = makeControl(hMainWnd, L"EDIT", ES_AUTOHSCROLL, 3101);
  hProgressEdit = makeControl(hMainWnd, L"EDIT", ES_AUTOHSCROLL, 3102);
  hLaserEdit = makeControl(hMainWnd, L"EDIT", ES_AUTOHSCROLL, 3103);
  hLaserPowerEdit = makeControl(hMainWnd, L"EDIT", ES_AUTOHSCROLL, 3104);
}

using ui::textOf;

bool ticked(int id) { return IsDlgButtonChecked(hMainWnd, id) == BST_CHECKED; }

class ArduinoLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board().connected()) << "run under arduino_emulator.py";
    createTestWindow();
    closeArduino();
    arduinoLink = ArduinoLink{};
    lightSources = LightSources{};
    objectiveSettings.current = 3;
    for (HWND edit : {hInfoEdit, hProgressEdit, hLaserEdit, hLaserPowerEdit}) SetWindowTextA(edit, "");
    ASSERT_TRUE(board().reset());
  }
  void TearDown() override { closeArduino(); }

  void connect() {
    ASSERT_TRUE(connectArduino(board().comPort()));
    ASSERT_TRUE(board().waitForReceived(connectionBytes)) << board().lastReceived;
    ASSERT_TRUE(board().clear());
  }

  // Everything sent before the marker has arrived once the marker has, so
  // this proves what was (and was not) sent without waiting on the clock.
  void expectSentBeforeMarker(const std::string& bytes) {
    ASSERT_TRUE(sendLine("marker"));
    EXPECT_TRUE(board().waitForReceived(bytes + "marker\n")) << board().lastReceived;
    board().clear();
  }
};

TEST_F(ArduinoLinkTest, ConnectingSetsTheLineZeroesXReadsThePositionsAndSetsSpeedsAndAccelerations) {
  ASSERT_TRUE(board().ok("LINE 19200 7 E 2"));  // as another program may have left the port
  ASSERT_TRUE(board().ok("POSITION 1 -1280"));
  ASSERT_TRUE(board().ok("POSITION 3 1228"));
  ASSERT_TRUE(connectArduino(board().comPort()));
  EXPECT_EQ(arduinoLink.offline, 0);
  EXPECT_EQ(arduinoLink.comPort, board().comPort());
  EXPECT_TRUE(board().waitForReceived(connectionBytes)) << board().lastReceived;
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[0], 0.0);
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[1], 200.0);  // -1280 steps on a reversed axis
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[2], 0.0);
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[3], 191.875);
  EXPECT_EQ(board().request("LINE"), "OK baud=9600 bits=8 parity=N stop=1");
}

TEST_F(ArduinoLinkTest, TheFirstLaserLevelOnEveryNewLinkReachesTheBoard) {
  // The program believes the laser is at 0 V; the board may not be.
  connect();
  setLaser(0);
  setLaser(0);  // now known: not sent again
  expectSentBeforeMarker("G 5 0\n");
  connect();    // a reconnect, as from the Configuration dialog
  setLaser(0);
  expectSentBeforeMarker("G 5 0\n");
}

TEST_F(ArduinoLinkTest, AnUnfinishedLineIsNotGluedToTheNextCommandsReply) {
  connect();
  // Noise that fills a whole read and ends in the middle of a line, as from
  // a board that restarted: "12" waits for the rest of its line.
  const std::string noise = std::string(47, '#') + "\n12";
  ASSERT_TRUE(board().ok("SEND " + arduino_emulator::escape(noise)));
  EXPECT_EQ(readReplyLine(), std::string(47, '#'));
  ASSERT_TRUE(board().ok("REPLY -500\\n"));
  EXPECT_DOUBLE_EQ(queryMotorPosition(0), 78.125);  // -500 steps on the reversed X axis, not 12
}

TEST_F(ArduinoLinkTest, SpeedsAndAccelerationsAreClampedAndConvertedToSignedSteps) {
  connect();
  setMotorSpeed(0, 1000);
  setMotorSpeed(3, 1000);
  setMotorSpeed(1, 9000);
  setMotorSpeed(2, 0);
  setMotorAcceleration(0, 7000);
  setMotorAcceleration(3, 1000);
  expectSentBeforeMarker("s-6400\nO6400\nS-32000\nT-6\na-32000\nu6400\n");
  EXPECT_EQ(arduinoLink.speedUm[1], 5000);
  EXPECT_EQ(arduinoLink.speedUm[2], 1);
}

TEST_F(ArduinoLinkTest, PositionRepliesAreReadUpToTheirLineEnd) {
  connect();
  ASSERT_TRUE(board().ok("REPLY 1234\\r"));
  EXPECT_DOUBLE_EQ(queryMotorPosition(0), -192.8125);
  // A reply that is no number leaves the last known position.
  ASSERT_TRUE(board().ok("REPLY busy\\r\\n"));
  EXPECT_DOUBLE_EQ(queryMotorPosition(0), -192.8125);
  // A line cut by the end of a full 50-byte read is not taken as a number.
  ASSERT_TRUE(board().ok("REPLY 11111\\r\\n22222\\r\\n33333\\r\\n44444\\r\\n55555\\r\\n66666\\r\\n77777\\r\\n"
                         "8\\r\\n"));
  EXPECT_DOUBLE_EQ(queryMotorPosition(3), 77777 * 5.0 / 4 / 8);
  expectSentBeforeMarker("p\np\nq\n");
}

TEST_F(ArduinoLinkTest, AMoveStreamsPositionsUntilTheAxisLetter) {
  connect();
  EXPECT_TRUE(moveMotorTo(0, 100));
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[0], 100.0);
  EXPECT_EQ(arduinoLink.moving[0], 0);
  EXPECT_EQ(textOf(hProgressEdit).rfind("moving: ", 0), 0u) << textOf(hProgressEdit);
  EXPECT_NE(board().state().find("pos=-640,"), std::string::npos) << board().state();
  EXPECT_EQ(board().received().rfind("m-640\n", 0), 0u);

  // A board that reports the position but no letter: the position ends it.
  ASSERT_TRUE(board().ok("NEXTMOVE 1 final=1 end="));
  EXPECT_TRUE(moveMotorTo(1, 50));
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[1], 50.0);
  EXPECT_EQ(textOf(hProgressEdit).rfind("moving: ", 0), 0u) << textOf(hProgressEdit);  // no time-out
}

TEST_F(ArduinoLinkTest, TheLetterAloneEndsTheWaitAtTheTarget) {
  connect();
  ASSERT_TRUE(board().ok("NEXTMOVE 3 stream=0"));
  EXPECT_TRUE(moveMotorTo(3, 192));
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[3], 192.0);
  EXPECT_DOUBLE_EQ(arduinoLink.upperLimitUm[3], 1e6);
  EXPECT_DOUBLE_EQ(arduinoLink.lowerLimitUm[3], -1e6);
  expectSentBeforeMarker("o1228\n");
}

// "Off" asked while a move waits for its replies (the window's button,
// served by the wait's message pump) goes out right after the move, never
// between its bytes, and is never dropped.
bool offAskedMidMove = false;

TEST_F(ArduinoLinkTest, LightsSwitchedOffDuringAMoveGoOutRightAfterIt) {
  connect();
  setLaser(1);
  setIllumination(1);
  setMotorSpeed(3, 100);  // about 2 s for the move
  expectSentBeforeMarker("G 5 51\nD 6 5\nO640\n");
  SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    offAskedMidMove = arduinoLink.moving[3] != 0;
    setLaser(0);
    setIllumination(0);
    sendLine("mid-move");
  });
  EXPECT_TRUE(moveMotorTo(3, 192));
  EXPECT_TRUE(offAskedMidMove);
  EXPECT_TRUE(ticked(laserOffButton));
  expectSentBeforeMarker("o1228\nmid-move\nG 5 0\nD 6 0\n");
}

TEST_F(ArduinoLinkTest, OnceTheProgramIsEndingOnlySwitchingOffReachesTheBoard) {
  connect();
  setLaser(1);
  makeInstrumentsSafe();  // no steps listed in this program: the latch alone
  setLaserLevel(2.0);
  setDigitalOutput(4, 5);  // the turret's enable
  setIllumination(1);
  EXPECT_FALSE(moveMotorTo(3, 192));
  setLaser(0);
  setIllumination(0);
  liftOutputLatch();
  expectSentBeforeMarker("G 5 51\nG 5 0\nD 6 0\n");
}

TEST_F(ArduinoLinkTest, LimitSwitchRepliesNarrowTheTravel) {
  ASSERT_TRUE(board().ok("POSITION 3 320"));   // the turret at 50 um
  ASSERT_TRUE(board().ok("POSITION 1 -320"));  // Y (reversed) at 50 um
  connect();
  ASSERT_TRUE(board().ok("NEXTMOVE 3 stream=0 stop=hold end=OL"));
  EXPECT_TRUE(moveMotorTo(3, 100));
  EXPECT_DOUBLE_EQ(arduinoLink.upperLimitUm[3], 50.0);
  EXPECT_EQ(textOf(hProgressEdit), "Limited: OL");
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[3], 100.0);
  ASSERT_TRUE(board().ok("NEXTMOVE 1 stream=0 stop=hold end=YR"));
  EXPECT_TRUE(moveMotorTo(1, 0));
  EXPECT_DOUBLE_EQ(arduinoLink.lowerLimitUm[1], 50.0);
  EXPECT_EQ(textOf(hProgressEdit), "Limited: YR");
  board().clear();

  // Beyond the new limits nothing is sent.
  EXPECT_FALSE(moveMotorTo(3, 60));
  EXPECT_EQ(textOf(hInfoEdit), "Error: Out of Motor range");
  EXPECT_FALSE(moveMotorTo(1, 40));
  expectSentBeforeMarker("");

  // Zeroing the turret resets its travel to +-10000 around the new zero.
  zeroMotor(3);
  EXPECT_DOUBLE_EQ(arduinoLink.upperLimitUm[3], 10000.0);
  EXPECT_DOUBLE_EQ(arduinoLink.lowerLimitUm[3], -10000.0);
  expectSentBeforeMarker("y\n");
}

TEST_F(ArduinoLinkTest, ASilentBoardTimesOutAfterEightTimesTheMoveTime) {
  connect();
  ASSERT_TRUE(board().ok("NEXTMOVE 0 stream=0 stop=hold end="));
  const std::uint64_t start = GetTickCount64();
  EXPECT_TRUE(moveMotorTo(0, 1.0));  // 100 + 1 um at 1000 um/s = 101 ms
  const std::uint64_t elapsed = GetTickCount64() - start;
  EXPECT_GE(elapsed, 808u);
  EXPECT_LT(elapsed, 15000u);
  EXPECT_EQ(textOf(hProgressEdit), "time passed: 101");
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[0], 1.0);
  // The move, then position queries while waiting and after the time-out.
  const std::string sent = board().received();
  EXPECT_EQ(sent.rfind("m-6\np\n", 0), 0u) << sent;
  EXPECT_EQ(sent.find_first_not_of("p\n", 3), std::string::npos) << sent;
}

TEST_F(ArduinoLinkTest, MovesThatMustNotReachTheBoard) {
  connect();
  EXPECT_TRUE(moveMotorTo(0, 0.05));  // less than 0.1 um: already there
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[0], 0.0);
  EXPECT_FALSE(moveMotorTo(0, 20000));
  EXPECT_EQ(textOf(hInfoEdit), "Error: Out of Motor range");
  EXPECT_FALSE(moveMotorTo(1, std::nan("")));
  EXPECT_FALSE(moveMotorTo(4, 10));  // no such axis
  setMotorSpeed(-1, 100);
  expectSentBeforeMarker("");
}

TEST_F(ArduinoLinkTest, LaserLevelSendsTheOutputLevelAndShowsVoltageAndPower) {
  connect();
  setLaserLevel(1.0);
  expectSentBeforeMarker("G 5 51\n");
  EXPECT_EQ(textOf(hLaserEdit), "1");
  EXPECT_EQ(textOf(hLaserPowerEdit), "209");  // 209.4 uW per V with the 50X objective
  setLaserLevel(1.0);  // unchanged: nothing sent
  objectiveSettings.current = 9;  // not an objective: the power read-out is left alone
  setLaserLevel(2.5);
  expectSentBeforeMarker("G 5 127\n");
  EXPECT_EQ(textOf(hLaserEdit), "2.5");
  EXPECT_EQ(textOf(hLaserPowerEdit), "209");
}

TEST_F(ArduinoLinkTest, LightSwitchesTickTheirButtonsAndRestoreThePreviousState) {
  connect();
  EXPECT_EQ(setLaser(1), 0);
  EXPECT_TRUE(ticked(laserOnButton));
  EXPECT_EQ(setLaser(0), 1);
  EXPECT_TRUE(ticked(laserOffButton));
  EXPECT_FALSE(ticked(laserOnButton));
  EXPECT_EQ(setLaser(2), 0);  // back on
  EXPECT_EQ(lightSources.laserOn, 1);
  expectSentBeforeMarker("G 5 51\nG 5 0\nG 5 51\n");

  EXPECT_EQ(setIllumination(1), 0);
  EXPECT_TRUE(ticked(illuminationOnButton));
  EXPECT_EQ(setIllumination(0), 1);
  EXPECT_TRUE(ticked(illuminationOffButton));
  EXPECT_EQ(setIllumination(2), 0);  // back to on; the remembered states stay
  EXPECT_TRUE(ticked(illuminationOnButton));
  expectSentBeforeMarker("D 6 5\nD 6 0\nD 6 5\n");

  EXPECT_EQ(setIlluminationLevel(1), 0);
  EXPECT_EQ(setIlluminationLevel(0), 1);
  expectSentBeforeMarker("G 6 153\nG 6 0\n");
}

TEST_F(ArduinoLinkTest, AMissingPortLeavesTheLinkOfflineAndSimulating) {
  ui::DialogAnswerer answer(L"Warning", {IDOK});
  EXPECT_FALSE(connectArduino(board().comPort() + 50));
  ASSERT_TRUE(answer.finish());
  EXPECT_NE(answer.text().find(L"Error in  opening serial port"), std::wstring::npos)
      << ui::narrow(answer.text());
  EXPECT_EQ(arduinoLink.offline, 1);

  const std::uint64_t start = GetTickCount64();
  EXPECT_TRUE(moveMotorTo(0, 500));
  EXPECT_TRUE(moveMotorTo(3, -2e6));  // travel limits are not simulated
  EXPECT_LT(GetTickCount64() - start, 5000u);
  EXPECT_DOUBLE_EQ(queryMotorPosition(0), 500.0);
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[3], -2e6);
  EXPECT_FALSE(sendLine("p"));
  EXPECT_EQ(setLaser(1), 0);
  EXPECT_EQ(lightSources.laserOn, 1);
  EXPECT_EQ(board().received(), "");
}

TEST_F(ArduinoLinkTest, AFailedWriteTakesTheLinkOfflineUntilItIsReconnected) {
  connect();
  // The port stops accepting data: swap in a handle that cannot be written.
  char tempFolder[MAX_PATH];
  char tempFile[MAX_PATH];
  GetTempPathA(MAX_PATH, tempFolder);
  GetTempFileNameA(tempFolder, "ard", 0, tempFile);
  HANDLE readOnly =
      CreateFileA(tempFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  CloseHandle(arduinoLink.portHandle);
  arduinoLink.portHandle = readOnly;

  EXPECT_FALSE(sendLine("p"));
  EXPECT_EQ(arduinoLink.offline, 1);
  EXPECT_TRUE(moveMotorTo(0, 10));  // simulated from now on
  EXPECT_DOUBLE_EQ(arduinoLink.positionUm[0], 10.0);

  // Reconnecting closes the dead handle (a port opened without sharing could
  // not be opened again while it lives) and talks to the board again.
  board().clear();
  connect();
  HANDLE exclusive = CreateFileA(tempFile, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the dead handle is still open";
  CloseHandle(exclusive);
  EXPECT_TRUE(moveMotorTo(0, 20));
  EXPECT_EQ(board().received().rfind("m-128\n", 0), 0u);
  DeleteFileA(tempFile);
}

}  // namespace
