#pragma once
// The three Standa stage axes (X, Y and the focus axis Z) in micrometres.
// A not-connected axis is simulated: moves set positionUm at once.
// This header is portable; the operations are implemented on the Win32 side
// (devices/motion/stage_axis.cpp) because they wait through the message pump.

#include "devices/motion/ximc_types.h"

struct StageAxis {
  int deviceNumber = 0;                      // 0 not connected; 1, 2, 3 connected as X, Y, Z
  ximc_engine_settings_t engineSettings = {};
  ximc_device_t deviceId = 0;
  ximc_status_t status = {};
  int atRightLimit = 0;                      // GPIOFlags right edge at the last position read
  int atLeftLimit = 0;                       // GPIOFlags left edge at the last position read
  int stepsPerUnit = 1;                      // k of the step/um conversion
  double positionUm = 0.0;                   // last known position, read by the whole program
  int zeroSteps = 0;                         // controller step count of 0 um
  char deviceName[256] = {};                 // enumerated name the axis was opened with
};

extern StageAxis stageX;
extern StageAxis stageY;
extern StageAxis stageZ;

// The default speed of a move and the upper bound of any speed sent.
constexpr int defaultStageSpeed = 700;

bool connectStage(int axisOrder, int speed);
void closeStageAxis(StageAxis& axis);
double readAxisPosition(StageAxis& axis);
double readAxisPositionAndMotion(StageAxis& axis, int& running);
void setAxisPosition(StageAxis& axis, double um);
void setAxisSpeed(StageAxis& axis, int speed);
void setAxisSpeedExact(StageAxis& axis, int stepsPerSecond, int microstepsPerSecond);
bool startAxisMove(StageAxis& axis, double targetUm);
int waitAxisArrival(StageAxis& axis, double targetUm, int timeoutMs);
int moveAxisTo(StageAxis& axis, double targetUm, int speed = defaultStageSpeed);
void moveAxisBy(StageAxis& axis, double distanceUm);
void moveZBy(double distanceUm);
void moveZTo(double targetUm);
bool moveAxesTo(StageAxis& a, StageAxis& b, double targetA, double targetB, int speed = defaultStageSpeed);
void moveXYBy(double dx, double dy);
void moveAxesBy(StageAxis& a, StageAxis& b, double da, double db, int speed);
void stopAxis(StageAxis& axis);
