#pragma once
// The map scan: the Start command and the run it starts. The stage moves the
// sample under the fixed laser spot over the selected area, point by point,
// row by row; at each point the current is read and, with the confocal
// option, the colour the camera sees at the spot. The rows are drawn as they
// are finished; at the end, or after a confirmed stop, the stage goes back,
// and the maps and the window pictures are saved into a new dated folder.

#include "results/result_record.h"
#include "runs/mapping/map_buffers.h"
#include "runs/mapping/z_creep.h"

#include <windows.h>

// The maps of the last scan (100 x 100 zeros before the first); replaced at
// the start of every scan. They are saved into dataPaths.measurementFolder.
extern MapBuffers mapBuffers;
extern ZCreepTracker zCreepTracker;

// "Start" (2000): nothing while a run or a device sequence is under way;
// refused with a warning below the 50X objective; otherwise the scan in
// Laser view with the camera on its manual settings, the button reading
// "Stop", and afterwards Sample view with live video.
void startMapScan();
// The scan itself. False, having done nothing, when a device sequence is
// already under way.
bool runMapScan();
// True when the maps held are those of a scan (until the first scan, or
// after one refused for want of memory, there is nothing to save).
bool mapScanned();
// The record of the scan that measured the maps now held (its settings,
// times and outcome), for maps saved again later; before the first scan,
// the settings in force now.
ResultRecord mapScanRecord();

// Point (x, y) of the map (clamped into it): the current, and with the
// confocal option the colour at the laser spot, read and stored; shown with
// the progress of the pointsDone-th point (the texts at most every 50 ms).
void measurePoint(int x, int y, long long pointsDone);
// Z and the f-factor of five frames become the creep correction's reference.
void startZCreepTracking(ZCreepTracker& tracker);
// The focus adjusted from the f-factor of the frame just taken.
void correctZCreep(ZCreepTracker& tracker);
// The 2 x 2 red mark of the point being measured, on the camera picture.
void markScanPoint(HDC dc, int x, int y);
