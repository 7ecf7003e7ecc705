#pragma once
// Changing the objective: the turret on Arduino axis 3, with the stage and
// focus compensated so the same sample point stays under the laser and in
// focus.

// Applies objective 0..4 (5X .. 100X). An index outside that range is ignored.
// Returns 0.
int selectObjective(int index);

// Fine adjustment of the turret by d (axis-3 units, the buttons use +-0.25);
// the new position becomes the turret's zero.
void adjustObjectiveMotor(double distance);
