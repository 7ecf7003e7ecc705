#pragma once
// What an objective change does, worked out without touching a device: the
// stage shift that keeps the same sample point under the laser, the focus
// shift, and the turret moves with their approach sequence. Portable.

struct ObjectiveTable;

struct ObjectiveChangePlan {
  double stageShiftXUm = 0.0;
  double stageShiftYUm = 0.0;
  double focusShiftUm = 0.0;
  // Turret moves on Arduino axis 3, each waited for: the whole travel, then a
  // small overshoot and its return, so the turret always settles from the
  // same side.
  double turretMoves[3] = {0.0, 0.0, 0.0};
};

// The jog-pad step for an objective: 200, 100, 50, 20, 10 um for 5X .. 100X.
int jogStepForObjective(int index);

// The plan for turning from table.previous to table.current (both 0..4 and
// different).
ObjectiveChangePlan planObjectiveChange(const ObjectiveTable& table);
