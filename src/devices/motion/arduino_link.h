#pragma once
// The Arduino board on a serial port: it turns the objective changer (motor
// axis 3; the firmware also knows axes 0..2 = X, Y, Z, which are configured
// but not moved) and drives the illumination lamp and the laser.
//
// When the port cannot be opened, or a write to it fails, the link is
// offline and simulates: commands are skipped, moves set the known position
// at once and queries return it, so the program runs without the board.
// Everything runs on the UI thread; waits pump messages.

#include <windows.h>

#include "devices/motion/arduino_protocol.h"

#include <string>

struct ArduinoLink {
  HANDLE portHandle = nullptr;              // INVALID_HANDLE_VALUE after a failed open
  DWORD bytesWritten = 0;                   // count of the last WriteFile
  DWORD bytesRead = 0;                      // count of the last ReadFile
  BOOL lastCallOk = 0;                      // result of the last GetCommState / WriteFile / ReadFile
  char commandText[100] = {};               // a formatted command before it is sent
  unsigned char offline = 0;                // 1: no usable port; commands are skipped, moves simulated
  double positionUm[motorAxisCount] = {};   // last known position per axis
  int speedUm[motorAxisCount] = {1000, 1000, 1000, 1000};  // last speed set, um/s
  double upperLimitUm[motorAxisCount] = {10000, 10000, 10000, 1e6};
  double lowerLimitUm[motorAxisCount] = {-15000, -10000, -15000, -1e6};
  int direction[motorAxisCount] = {-1, -1, -1, 1};  // sign of the step count per axis
  int comPort = 10;
  unsigned char moving[motorAxisCount] = {};  // 1 while a move of that axis is waited for
  char ioText[100] = {};                    // the last line sent (without line feed) or reply taken
  ReplySplitter replies;                    // completes lines cut at a read boundary
  // A move is waiting for its replies: light commands asked meanwhile (an
  // "Off" from the window, while the pump serves it) wait for its end, so
  // that no bytes come between the move's, and go out right after it.
  unsigned char inTransaction = 0;
  char pendingLines[4][16] = {};            // the last level asked per light output, in order
  int pendingCount = 0;
};

extern ArduinoLink arduinoLink;

// Pins, voltages and the remembered switch states of the two light sources.
struct LightSources {
  int laserOn = 0;
  double laserLevelShown = 0.0;   // laser control voltage last sent, V
  bool laserLevelSent = false;    // laserLevelShown went out on the link now open
  int laserFocusOffsetUm = 0;     // Dz of the mounted objective (set by the objective changer)
  int laserPin = 5;
  double laserLevel = 1.0;        // voltage used when the laser is switched on, V
  int illuminationPin = 6;
  // Switch states remembered for "restore" (mode 2).
  int illuminationState = 0;
  int illuminationPrevious = 0;
  int illuminationLevelState = 0;
  int illuminationLevelPrevious = 0;
  int laserPrevious = 0;
};

extern LightSources lightSources;

// Main window radio buttons of the light sources.
constexpr int illuminationOnButton = 2105;
constexpr int illuminationOffButton = 2106;
constexpr int laserOnButton = 2200;
constexpr int laserOffButton = 2201;

// Opens "\\.\COM<port>" at 9600 8N1, zeroes axis 0, reads the four
// positions and sends the speeds and accelerations. A port that cannot be
// opened is reported in a "Warning" box and leaves the link offline.
bool connectArduino(int port);
void closeArduino();

// One command: the text and a line feed. False (and the link offline) when
// the write fails; false at once while offline.
bool sendLine(const char* text);
// The last complete line among the bytes that arrived within one read (at
// most 50 bytes, ending after a 10 ms pause); empty when nothing came.
std::string readReplyLine();

double queryMotorPosition(int axis);
void setMotorSpeed(int axis, int umPerSecond);
void setMotorAcceleration(int axis, int value);
void zeroMotor(int axis);
bool startMotorMove(int axis, double targetUm);
// 1 when done (also after a time-out of 8 x timeMs, with a fresh position
// query), 0 when there is no port.
int waitMotorArrival(int axis, double targetSteps, int timeMs);
bool moveMotorTo(int axis, double targetUm);
void moveMotorBy(int axis, double distanceUm);

void setAnalogOutput(int pin, int level);   // "G %d %d"
void setDigitalOutput(int pin, int value);  // "D %d %d"

// Mode 0 off, 1 on, 2 back to the state before the last switch; the result
// is the state before the call.
int setIllumination(int mode);       // lamp output on/off
int setIlluminationLevel(int mode);  // lamp brightness 0 V / 3 V
int setLaser(int mode);              // laser at 0 V / `laserLevel`
// Laser and lamp at level 0 ("G <pin> 0" each), written straight to an open
// port and nothing else: no state kept, nothing shown, no allocation, each
// write bounded by the port's write time-out. For the make-safe round, which
// may run from a crash handler.
void darkenLightsNow();
// After a make-safe round, on the window's thread: the remembered states and
// the radio buttons show both light sources off, as the round left them.
void showLightsDarkened();

// Sends the laser control voltage and shows it with the power it gives. A
// level equal to the last one sent is skipped, except the first after each
// connectArduino, so the board always learns the laser's state.
void setLaserLevel(double volts);
// A voltage the operator typed: it becomes `laserLevel` and is shown; while
// the laser is on it is sent at once, while it is off it waits for the laser
// to be switched on, so that the laser never emits while the window says it
// is off.
void takeTypedLaserLevel(double volts);
