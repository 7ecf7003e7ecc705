#pragma once
// The two settings files, Config.txt and Objective.txt: their line formats,
// parsed with C sscanf semantics (a conversion stops at the first mismatch;
// the fields before it are taken, the rest keep their values) and written
// with C printf formats. Portable: the files are opened by services/settings_files.

#include <cstdio>
#include <string>

struct ConfigValues {
  double stepUm = 1.0;
  int scanSpeed = 500;
  int laserSpotX = 0;
  int laserSpotY = 0;
  int currentEquipment = 4;
  int gpibAddress = 18;
  int standaConfig = 0;
  int arduinoComPort = 12;
  double dzUm[5] = {0, 0, 0, -14, 0};
  double sampleFocusUm[5] = {0, -8, 25, 20, 10};
};

// Each returns the number of fields converted (sscanf's count; -1 at an
// empty input) and leaves the unconverted fields as they were.
int parseConfigLine1(const char* line, ConfigValues& v);
int parseConfigLine2(const char* line, ConfigValues& v);
int parseConfigLine3(const char* line, ConfigValues& v);

// Reads up to three lines and parses them in turn. A line is read whole
// (up to 4096 bytes), so whatever formatConfig wrote reads back.
void readConfig(std::FILE* file, ConfigValues& v);

// The three lines exactly as written; line 3 has no line end.
std::string formatConfig(const ConfigValues& v);

// Objective.txt line 1: "objective:%d". Returns the sscanf count.
int parseObjectiveIndexLine(const char* line, int& index);

// Objective.txt line 2: "step:%lf,%lf,%lf,%lf". When at least one value was
// converted, all four (converted or kept) are clamped to 189..195 and stored
// in steps; otherwise steps is untouched. Returns the sscanf count.
int parseChangerStepsLine(const char* line, double steps[4]);

std::string formatObjectiveFile(int index, const double steps[4]);

// The start-up confirmation for an objective index; any index outside 0..3
// is asked as 100X.
const char* objectiveQuestion(int index);
