#include "services/settings_files.h"

#include "services/data_paths.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/ui_handles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

std::FILE* openFile(const wchar_t* path, const wchar_t* mode) {
  std::FILE* file = nullptr;
  if (_wfopen_s(&file, path, mode) != 0) return nullptr;
  return file;
}

void writeText(const wchar_t* path, const std::string& text) {
  std::FILE* file = openFile(path, L"w");
  if (!file) return;
  std::fputs(text.c_str(), file);
  std::fclose(file);
}

}  // namespace

ConfigValues currentConfigValues() {
  ConfigValues v;
  v.stepUm = scanState.stepUm;
  v.scanSpeed = scanSpeed;
  v.laserSpotX = scanState.laserSpotX;
  v.laserSpotY = scanState.laserSpotY;
  v.currentEquipment = currentEquipment;
  v.gpibAddress = gpibAddress;
  v.standaConfig = standaConfig;
  v.arduinoComPort = arduinoComPort;
  std::copy(std::begin(objectiveSettings.dzUm), std::end(objectiveSettings.dzUm), v.dzUm);
  std::copy(std::begin(objectiveSettings.sampleFocusUm), std::end(objectiveSettings.sampleFocusUm),
            v.sampleFocusUm);
  return v;
}

void applyConfigValues(const ConfigValues& v) {
  scanState.stepUm = v.stepUm;
  scanSpeed = v.scanSpeed;
  scanState.laserSpotX = v.laserSpotX;
  scanState.laserSpotY = v.laserSpotY;
  currentEquipment = v.currentEquipment;
  gpibAddress = v.gpibAddress;
  standaConfig = v.standaConfig;
  arduinoComPort = v.arduinoComPort;
  std::copy(std::begin(v.dzUm), std::end(v.dzUm), objectiveSettings.dzUm);
  std::copy(std::begin(v.sampleFocusUm), std::end(v.sampleFocusUm), objectiveSettings.sampleFocusUm);
}

void loadConfigFile() {
  if (std::FILE* file = openFile(dataPaths.configFile, L"r")) {
    ConfigValues values = currentConfigValues();
    readConfig(file, values);
    applyConfigValues(values);
    computeScanGeometry(scanState, fieldOfViewUm, confocalEnabled);
    std::fclose(file);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%g", scanState.stepUm);
  SetWindowTextA(hScanStepEdit, text);
  std::snprintf(text, sizeof text, "%d", scanSpeed);
  SetWindowTextA(hScanSpeedEdit, text);
}

void saveConfigFile() { writeText(dataPaths.configFile, formatConfig(currentConfigValues())); }

bool readObjectiveFile(int& index, double steps[changerStepCount]) {
  std::FILE* file = openFile(dataPaths.objectiveFile, L"r");
  if (!file) return false;
  char line[200];
  if (std::fgets(line, sizeof line, file)) parseObjectiveIndexLine(line, index);
  if (std::fgets(line, sizeof line, file)) parseChangerStepsLine(line, steps);
  std::fclose(file);
  return true;
}

void saveObjectiveFile() {
  writeText(dataPaths.objectiveFile,
            formatObjectiveFile(objectiveSettings.current, objectiveSettings.changerSteps));
}
