#pragma once
// What the operator does on the camera picture beyond the scan area: switch
// between Sample view (lamp, camera on automatic) and Laser view (laser,
// camera on manual, focus raised by the objective's Dz), and right-click a
// point to make it the laser spot or to bring it under the centre or the spot.

// 1 Sample view, 0 Laser view; nothing while a device sequence or a run is
// under way. Returns 0.
int setViewMode(int sample);
// The same switch for the run that holds the devices itself: the map scan
// goes back to Sample view at its end.
int enterViewMode(int sample);

// Laser view: asks whether the clicked point (client pixels) becomes the
// laser spot.
void setLaserSpotAt(int x, int yTop);
// Sample view: asks whether to move the clicked point to the picture's
// centre (Yes) or to the laser spot (No); Cancel moves nothing.
void moveToClickedPoint(int x, int yTop);
