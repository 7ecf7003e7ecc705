#pragma once
// The five objectives of the turret (0..4 = 5X, 10X, 20X, 50X, 100X) and
// their per-objective settings. Portable data; the change itself
// (selectObjective) lives in runs/objective/objective_changer.*.

constexpr int objectiveCount = 5;
constexpr int changerStepCount = 4;
inline constexpr const char* objectiveNames[objectiveCount] = {"5X", "10X", "20X", "50X", "100X"};
constexpr double minChangerStep = 189.0;  // valid range of a turret travel
constexpr double maxChangerStep = 195.0;

struct ObjectiveTable {
  double objectiveFieldOfViewUm[objectiveCount] = {788, 394, 197, 79, 42};
  double dzUm[objectiveCount] = {0, 0, 0, -14, 0};              // laser focus minus sample focus
  double sampleFocusUm[objectiveCount] = {0, -8, 25, 20, 10};   // Z of the sample focus
  int xyOffsetUm[objectiveCount][2] = {{0, 0}, {97, -15}, {35, -28}, {32, -43}, {-23, -71}};
  double changerSteps[changerStepCount] = {192, 192, 192, 192};  // turret travel k -> k+1
  float laserPowerPerVolt[objectiveCount] = {287.0f, 270.0f, 232.0f, 209.4f, 140.6f};  // uW per V
  float workingDistanceMm[objectiveCount] = {23.6f, 17.7f, 10.4f, 7.0f, 3.2f};
  int current = 3;    // objective in use (the requested one during a change)
  int previous = 3;   // objective the turret is at
  char statusText[200] = {};
};

extern ObjectiveTable objectiveSettings;

inline bool isObjectiveIndex(int index) { return index >= 0 && index < objectiveCount; }
