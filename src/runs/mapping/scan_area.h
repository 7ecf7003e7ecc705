#pragma once
// The scan area the operator drags on the camera picture: when a drag counts
// as an area, and the texts that ask about it and report it. The window side
// draws the rubber band and asks. Portable: no Win32 here.

#include <string>

// The lowest objective (0..4 = 5X .. 100X) that scans: 50X. Below it neither
// an area is taken nor a scan started.
constexpr int lowestScanObjective = 3;

// A drag whose larger side is this many pixels or fewer is a click, not an area.
constexpr int areaDragThresholdPx = 10;

bool areaDragCounts(int x1, int y1, int x2, int y2);

// The title of the area question, "Area: %.1f um x %.1f um": the drag's
// width and height in um at fieldOfViewUm / 1232 per pixel, times viewScale
// (pass 1 unless the wide-view mosaic is shown).
std::string areaQuestionTitle(int x1, int y1, int x2, int y2, double fieldOfViewUm, int viewScale);

// "%d min. expected", shown in "Time/estimated" when an area is taken.
std::string expectedMinutesText(int minutes);
