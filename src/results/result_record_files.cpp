#include "results/result_record_files.h"

#include "devices/camera/camera.h"
#include "devices/motion/arduino_link.h"
#include "devices/motion/stage_axis.h"
#include "results/result_files.h"
#include "services/device_faults.h"
#include "services/objective_table.h"
#include "services/program_state.h"
#include "services/reporting.h"

#include <windows.h>

#include <cstdio>

namespace {

long long minutesOf(const SYSTEMTIME& time) {
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  const unsigned long long ticks = (static_cast<unsigned long long>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  return static_cast<long long>(ticks / 600000000ULL);  // 100 ns ticks
}

}  // namespace

std::string recordFileName(const std::wstring& path) {
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

namespace {

// Failed when it failed since it was last connected; otherwise connected
// when it is there.
DeviceState stateOf(bool there, FaultyDevice device) {
  if (!there) return DeviceState::simulated;
  return deviceOutOfService(device) ? DeviceState::failed : DeviceState::connected;
}

FaultyDevice meterOf(int equipment) { return equipment == 4 ? FaultyDevice::usbSourcemeter : FaultyDevice::gpib; }

bool writeRecord(const std::wstring& path, const std::string& text) {
  std::FILE* file = text.empty() ? nullptr : createNewTextFile(path);
  if (!file) return false;
  const bool written = std::fputs(text.c_str(), file) >= 0;
  return std::fclose(file) == 0 && written;
}

}  // namespace

LocalTime localTimeOf(const FILETIME& utcFile) {
  SYSTEMTIME utc, local;
  FileTimeToSystemTime(&utcFile, &utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
          static_cast<int>(minutesOf(local) - minutesOf(utc))};
}

LocalTime localTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return localTimeOf(now);
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
  s.laserOn = lightSources.laserOn != 0;
  s.laserLevelV = lightSources.laserLevel;
  s.cameraGain = camera.gain;
  s.cameraExposureUs = camera.exposureUs;
  s.confocalImage = confocalEnabled != 0;
  s.zCreepCorrection = zCreepCorrection != 0;
  s.cameraAperturePx = cameraAperture;
  s.standaAxisOrder = standaConfig;
  s.arduinoComPort = arduinoComPort;
  RecordDevices& d = record.devices;
  d.stageX = stateOf(stageX.deviceNumber != 0, FaultyDevice::stage);
  d.stageY = stateOf(stageY.deviceNumber != 0, FaultyDevice::stage);
  d.stageZ = stateOf(stageZ.deviceNumber != 0, FaultyDevice::stage);
  const bool portOpen = arduinoLink.portHandle && arduinoLink.portHandle != INVALID_HANDLE_VALUE;
  d.arduino = stateOf(portOpen, FaultyDevice::arduino);
  // A meter that did not answer at start-up was replaced by the test source (0).
  d.currentMeter = stateOf(currentEquipment >= 2, meterOf(currentEquipment));
  d.camera = stateOf(camera.connected != 0 || deviceOutOfService(FaultyDevice::camera), FaultyDevice::camera);
  record.stageAtStartUm[0] = stageX.positionUm;
  record.stageAtStartUm[1] = stageY.positionUm;
  record.stageAtStartUm[2] = stageZ.positionUm;
  return record;
}

void finishRecord(ResultRecord& record, RunOutcome asRun) {
  record.ended = localTimeNow();
  record.outcome = anyDeviceFailed() ? RunOutcome::failed : asRun;
  const struct {
    FaultyDevice device;
    const char* name;
    DeviceState* states[3];
  } kinds[] = {
      {FaultyDevice::stage, "stage", {&record.devices.stageX, &record.devices.stageY, &record.devices.stageZ}},
      {FaultyDevice::arduino, "arduino", {&record.devices.arduino}},
      {FaultyDevice::gpib, "currentMeter", {&record.devices.currentMeter}},
      {FaultyDevice::usbSourcemeter, "currentMeter", {&record.devices.currentMeter}},
      {FaultyDevice::camera, "camera", {&record.devices.camera}},
  };
  for (const auto& kind : kinds) {
    if (!deviceFailed(kind.device)) continue;
    record.faults.emplace_back(kind.name, deviceFaultDetail(kind.device));
    for (DeviceState* state : kind.states) {
      // An axis without a controller had nothing to fail.
      const bool noController = kind.device == FaultyDevice::stage && state && *state == DeviceState::simulated;
      if (state && !noController) *state = DeviceState::failed;
    }
  }
}

bool writeRecordsBeside(const std::vector<std::wstring>& paths, ResultRecord record) {
  record.files.clear();
  for (const std::wstring& path : paths) record.files.push_back(recordFileName(path));
  return writeRecordTextBeside(paths, resultRecordText(record));
}

namespace {
RecordsWrittenHook recordsWrittenHook = nullptr;
}  // namespace

void setRecordsWrittenHook(RecordsWrittenHook hook) { recordsWrittenHook = hook; }

bool writeRecordTextBeside(const std::vector<std::wstring>& paths, const std::string& text) {
  bool all = true;
  for (const std::wstring& path : paths) {
    if (writeRecord(path + L".json", text)) continue;
    all = false;
    const std::string line = "The record of " + recordFileName(path) + " could not be written.";
    showInfo(line.c_str());
  }
  if (recordsWrittenHook) recordsWrittenHook(paths, text);
  return all;
}
