#pragma once
// Config.txt and Objective.txt in the data folder: read once at start,
// Config.txt written back at a normal exit.

#include "services/objective_table.h"
#include "services/settings_format.h"

// The settings as they stand in the program state, and back.
ConfigValues currentConfigValues();
void applyConfigValues(const ConfigValues& values);

// Reads Config.txt (a missing file keeps the defaults), recomputes the scan
// geometry and shows the step and speed in their edits.
void loadConfigFile();
// Writes the three lines of Config.txt; nothing happens when it cannot be opened.
void saveConfigFile();
// Reads Objective.txt: the objective its first line names into index and
// the changer steps of its second line into steps, each left as it was when
// its line does not read. False, with nothing read, when there is no file.
bool readObjectiveFile(int& index, double steps[changerStepCount]);
// Writes Objective.txt for the mounted objective and the changer steps.
void saveObjectiveFile();
