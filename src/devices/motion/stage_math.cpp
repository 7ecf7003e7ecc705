#include "devices/motion/stage_math.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace {

// Micrometres per whole step: 250 / 200.
constexpr double umPerStepNumerator = 250.0;
constexpr double stepsPerUmNumerator = 200.0;

int saturateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

double stepsToUm(int curPosition, int uCurPosition, int zeroSteps, int k) {
  // The whole steps are subtracted as integers (wide enough that no reading
  // can overflow), only then combined with the microsteps.
  const long long wholeSteps = static_cast<long long>(curPosition) - zeroSteps;
  const double steps = static_cast<double>(wholeSteps) + uCurPosition / 256.0;
  return steps / k * umPerStepNumerator / stepsPerUmNumerator;
}

double umToSteps(double um, int k) { return um * k * stepsPerUmNumerator / umPerStepNumerator; }

int zeroStepsFor(int curPosition, double um, int k) {
  const double offset = std::trunc(umToSteps(um, k));
  return saturateToInt(static_cast<double>(curPosition) - offset);
}

StepTarget splitSteps(double steps) {
  StepTarget target;
  const double whole = std::floor(steps);
  target.whole = static_cast<long long>(whole);
  // For a step count a hair below a whole number (a tiny negative value) the
  // fraction rounds to exactly 1.0, which would be 256 microsteps: the
  // controller takes 0..255, so it becomes the next whole step.
  target.micro = static_cast<int>(std::trunc((steps - whole) * stageMicrostepsPerStep));
  if (target.micro >= stageMicrostepsPerStep) {
    target.whole += 1;
    target.micro %= stageMicrostepsPerStep;
  }
  return target;
}

bool moveTargetFor(double targetUm, int zeroSteps, int k, int& wholeOut, int& microOut) {
  const double steps = umToSteps(targetUm, k);
  // Anything beyond +-2^62 steps is far outside the controller's range; the
  // bound keeps the conversion to long long defined.
  if (!std::isfinite(steps) || std::fabs(steps) > 4.0e18) return false;
  const StepTarget split = splitSteps(steps);
  const long long whole = split.whole + zeroSteps;
  if (whole < INT_MIN || whole > INT_MAX) return false;
  wholeOut = static_cast<int>(whole);
  microOut = split.micro;
  return true;
}

int effectiveMoveSpeed(int speed) { return speed > 0 ? speed : stageMaxSpeed; }

int singleMoveTimeoutMs(double distanceUm, int k, int speed) {
  const double steps = std::fabs(umToSteps(distanceUm, k));
  const double base = std::trunc(steps * 1000.0 / effectiveMoveSpeed(speed));
  if (!std::isfinite(base)) return INT_MAX;
  return saturateToInt(2.0 * base + 1000.0);
}

int clampXYSpeed(int speed) {
  if (speed < stageMinXYSpeed) return stageMinXYSpeed;
  return speed > stageMaxSpeed ? stageMaxSpeed : speed;
}

XYMovePlan planXYMove(double dA, double dB, int speed) {
  XYMovePlan plan;
  plan.speed = clampXYSpeed(speed);
  const double distance = std::sqrt(dA * dA + dB * dB);
  if (!std::isfinite(distance) || distance <= 0.0) return plan;
  plan.totalMs = distance * 1000.0 / plan.speed;
  auto axisSpeed = [&plan](double d) {
    const double rate = d * 1000.0 / plan.totalMs;  // never above plan.speed
    AxisSpeed s;
    s.steps = static_cast<int>(std::trunc(rate));
    s.micro = static_cast<int>(std::trunc((rate - s.steps) * stageMicrostepsPerStep));
    return s;
  };
  plan.a = axisSpeed(dA);
  plan.b = axisSpeed(dB);
  return plan;
}

long long xyMoveLimitMs(double totalMs) {
  if (!(totalMs < 1.0e15)) return LLONG_MAX / 2;  // also NaN
  return static_cast<long long>(std::trunc(totalMs)) * 8 + 500;
}

AxisAssignment assignAxes(int order, int count) {
  AxisAssignment a;
  if (order < 0) order = 0;
  if (order > 5) order = 5;
  if (count <= 0) return a;
  if (count == 1) {
    a.x = 0;
    return a;
  }
  if (count == 2) {
    if (order == 0) {
      a.x = 0;
      a.y = 1;
    } else {
      a.y = 0;
      a.x = 1;
    }
    return a;
  }
  // The axis that each of the first three enumerated controllers drives.
  static const char table[6][3] = {
      {'X', 'Y', 'Z'}, {'X', 'Z', 'Y'}, {'Y', 'X', 'Z'},
      {'Y', 'Z', 'X'}, {'Z', 'X', 'Y'}, {'Z', 'Y', 'X'},
  };
  for (int i = 0; i < 3; ++i) {
    switch (table[order][i]) {
      case 'X': a.x = i; break;
      case 'Y': a.y = i; break;
      default: a.z = i; break;
    }
  }
  return a;
}

int arrivalCheck(float last, float prev, double targetUm, int atLeftLimit, int atRightLimit,
                 int polls) {
  const float err = std::fabs(last - static_cast<float>(targetUm));
  const float change = std::fabs(last - prev);
  if (err < 0.1f) return arrivalArrived;
  if (atLeftLimit && last > targetUm) return arrivalLeftLimit;
  if (atRightLimit && targetUm > last) return arrivalRightLimit;
  // Over 100 polls without moving while still away from the target: stuck.
  if (change < 0.1f && err > 1.0f && polls > 100) return arrivalNotMoving;
  return arrivalGoOn;
}

std::string arrivalOutcomeText(int outcome, int polls, int timeoutMs) {
  char text[64];
  switch (outcome) {
    case arrivalArrived: std::snprintf(text, sizeof text, "arrived:count%d", polls); break;
    case arrivalLeftLimit: std::snprintf(text, sizeof text, "Limit left Switch on    "); break;
    case arrivalRightLimit: std::snprintf(text, sizeof text, "Limit right Switch on    "); break;
    case arrivalMotorStopped: std::snprintf(text, sizeof text, "Motor stopped    "); break;
    default: std::snprintf(text, sizeof text, "Not moving after %d msec     ", timeoutMs); break;
  }
  return text;
}
