#pragma once
// What the operator does on the camera picture beyond the scan area:
// right-click a point to make it the laser spot or to bring it under the
// centre or the spot. (The switch between Sample and Laser view is
// views/view_mode.h.)

// Laser view: asks whether the clicked point (client pixels) becomes the
// laser spot.
void setLaserSpotAt(int x, int yTop);
// Sample view: asks whether to move the clicked point to the picture's
// centre (Yes) or to the laser spot (No); Cancel moves nothing.
void moveToClickedPoint(int x, int yTop);
