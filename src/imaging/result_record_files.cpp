#include "imaging/result_record_files.h"

#include "imaging/camera.h"
#include "imaging/image_files.h"
#include "motion/arduino_link.h"
#include "motion/objective_table.h"
#include "motion/stage_axis.h"
#include "shell/program_state.h"
#include "shell/reporting.h"

#include <windows.h>

#include <cstdio>

namespace {

long long minutesOf(const SYSTEMTIME& time) {
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  const unsigned long long ticks = (static_cast<unsigned long long>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  return static_cast<long long>(ticks / 600000000ULL);  // 100 ns ticks
}

// The name after the folder, in UTF-8.
std::string fileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, name.c_str(), static_cast<int>(name.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_UTF8, 0, name.c_str(), static_cast<int>(name.size()), utf8.data(), bytes, nullptr,
                        nullptr);
  }
  return utf8;
}

bool writeRecord(const std::wstring& path, const std::string& text) {
  std::FILE* file = text.empty() ? nullptr : createNewTextFile(path);
  if (!file) return false;
  const bool written = std::fputs(text.c_str(), file) >= 0;
  return std::fclose(file) == 0 && written;
}

}  // namespace

LocalTime localTimeNow() {
  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
          static_cast<int>(minutesOf(local) - minutesOf(utc))};
}

ResultRecord recordNow(const char* result) {
  ResultRecord record;
  record.result = result;
  record.started = record.ended = localTimeNow();
  RecordSettings& s = record.settings;
  s.currentEquipment = currentEquipment;
  s.gpibAddress = gpibAddress;
  s.biasVoltageV = decimalOf(biasVoltage);
  s.currentLimitA = decimalOf(currentLimit);
  s.scanStepUm = scanState.stepUm;
  s.scanSpeedUmPerS = scanSpeed;
  s.objective = objectiveSettings.current;
  s.fieldOfViewUm = fieldOfViewUm;
  s.laserSpotXPx = scanState.laserSpotX;
  s.laserSpotYPx = scanState.laserSpotY;
  s.defocusUm = scanState.defocusUm;
  s.laserFocusOffsetUm = lightSources.laserFocusOffsetUm;
  s.laserLevelV = lightSources.laserLevel;
  s.cameraGain = camera.gain;
  s.cameraExposureUs = camera.exposureUs;
  s.confocalImage = confocalEnabled != 0;
  s.zCreepCorrection = zCreepCorrection != 0;
  s.cameraAperturePx = cameraAperture;
  s.standaAxisOrder = standaConfig;
  s.arduinoComPort = arduinoComPort;
  RecordDevices& d = record.devices;
  d.stageX = stageX.deviceNumber != 0;
  d.stageY = stageY.deviceNumber != 0;
  d.stageZ = stageZ.deviceNumber != 0;
  d.arduino = !arduinoLink.offline && arduinoLink.portHandle && arduinoLink.portHandle != INVALID_HANDLE_VALUE;
  // A meter that did not answer was replaced by the test source (0).
  d.currentMeter = currentEquipment >= 2;
  d.camera = camera.connected != 0;
  record.stageAtStartUm[0] = stageX.positionUm;
  record.stageAtStartUm[1] = stageY.positionUm;
  record.stageAtStartUm[2] = stageZ.positionUm;
  return record;
}

void writeRecordsBeside(const std::vector<std::wstring>& paths, ResultRecord record) {
  record.files.clear();
  for (const std::wstring& path : paths) record.files.push_back(fileNameOf(path));
  const std::string text = resultRecordText(record);
  for (size_t i = 0; i < paths.size(); ++i) {
    if (writeRecord(paths[i] + L".json", text)) continue;
    const std::string line = "The record of " + record.files[i] + " could not be written.";
    showInfo(line.c_str());
  }
}
