#pragma once
// The switch between Sample view (lamp, camera on automatic) and Laser view
// (laser, camera on manual, focus raised by the objective's Dz), with the
// live video restarted on the new picture.

// 1 Sample view, 0 Laser view; nothing while a device sequence or a run is
// under way. Returns 0.
int setViewMode(int sample);
// The same switch for the run that holds the devices itself: the map scan
// goes back to Sample view at its end.
int enterViewMode(int sample);
