#pragma once
// The arithmetic of the stage axes: controller steps <-> micrometres, the
// speeds of an X-Y move that makes both axes arrive together, the time limits
// of the waits and the decisions of the arrival wait. Portable: no Win32.
//
// One whole step is 1.25 um; a step is divided into 256 microsteps.

#include <string>

constexpr int stageMicrostepsPerStep = 256;
constexpr int stageMinXYSpeed = 10;     // lowest speed of an X-Y move
constexpr int stageMaxSpeed = 700;      // default of every move, upper bound of every speed sent

// Position in um of a controller reading (CurPosition, uCurPosition) for an
// axis whose 0 um lies at zeroSteps; k is the axis' stepsPerUnit.
double stepsToUm(int curPosition, int uCurPosition, int zeroSteps, int k);

// Controller steps (fractional) that correspond to u um.
double umToSteps(double um, int k);

// zeroSteps that makes the present step count curPosition read as u um
// (the fraction of a step is truncated toward zero).
int zeroStepsFor(int curPosition, double um, int k);

// A target in whole steps and microsteps (0..255) for command_move.
struct StepTarget {
  long long whole = 0;
  int micro = 0;
};

// Splits a fractional step count: whole = floor(s), micro = the fraction in
// 1/256 steps, truncated. A fraction that rounds up to a whole 256 carries
// into the next whole step.
StepTarget splitSteps(double steps);

// The command_move target for t um on an axis with zeroSteps and k. False
// (nothing to send) when t is not a finite number or the step count does not
// fit the controller's int.
bool moveTargetFor(double targetUm, int zeroSteps, int k, int& wholeOut, int& microOut);

// Speed as given to a single-axis move; a speed of 0 or less means the default.
int effectiveMoveSpeed(int speed);

// Time limit of a single-axis move over distanceUm at speed (um/s as the
// estimate reads it): 2 x base + 1000 ms, base = trunc(steps x 1000 / speed).
// Saturates at the largest int instead of overflowing.
int singleMoveTimeoutMs(double distanceUm, int k, int speed);

// Speed of one axis of an X-Y move: whole steps per second and 1/256 parts.
struct AxisSpeed {
  int steps = 0;
  int micro = 0;
};

// Speed of an X-Y move limited to [10, 700].
int clampXYSpeed(int speed);

// The speeds of an X-Y move over distances dA and dB (um, not negative) that
// make both axes travel for the same time T at the combined speed.
struct XYMovePlan {
  int speed = 0;         // the speed after clamping to [10, 700]
  double totalMs = 0.0;  // T = sqrt(dA^2 + dB^2) x 1000 / speed
  AxisSpeed a;
  AxisSpeed b;
};
XYMovePlan planXYMove(double dA, double dB, int speed);

// Polling limit of an X-Y move: trunc(T) x 8 + 500 ms (saturating).
long long xyMoveLimitMs(double totalMs);

// Which enumerated controller (0, 1, 2) becomes X, Y and Z; -1 for an axis
// that stays simulated. count is the number of controllers found, order the
// operator's axis order 0..5 (out-of-range orders are taken as the nearest).
struct AxisAssignment {
  int x = -1;
  int y = -1;
  int z = -1;
};
AxisAssignment assignAxes(int order, int count);

// Outcomes of the arrival wait.
enum ArrivalOutcome {
  arrivalNotMoving = 0,  // time-out, stuck, or stopped by a click
  arrivalArrived = 1,
  arrivalLeftLimit = 2,
  arrivalRightLimit = 3,
  arrivalMotorStopped = 5,
  arrivalGoOn = -1,      // not an outcome: keep polling
};

// One poll of the arrival wait, before it pauses: last is the position just
// read, prev the one before (1 000 000 at the first poll), polls the number
// of finished polls. Distances are compared in single precision.
int arrivalCheck(float last, float prev, double targetUm, int atLeftLimit, int atRightLimit,
                 int polls);

// The diagnostic text of an outcome.
std::string arrivalOutcomeText(int outcome, int polls, int timeoutMs);
