#include "results/result_record.h"

#include "services/objective_table.h"
#include "services/program_state.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

using Json = nlohmann::ordered_json;

template <size_t N>
const char* nameOf(const char* const (&names)[N], int index) {
  return index >= 0 && static_cast<size_t>(index) < N ? names[index] : "unknown";
}

const char* deviceState(DeviceState state) {
  switch (state) {
    case DeviceState::connected: return "connected";
    case DeviceState::failed: return "failed";
    case DeviceState::simulated: break;
  }
  return "simulated";
}

Json settingsJson(const RecordSettings& s) {
  Json j;
  j["currentEquipment"] = nameOf(equipmentNames, s.currentEquipment);
  j["gpibAddress"] = s.gpibAddress;
  j["biasVoltageV"] = s.biasVoltageV;
  j["currentLimitA"] = s.currentLimitA;
  j["scanStepUm"] = s.scanStepUm;
  j["scanSpeedUmPerS"] = s.scanSpeedUmPerS;
  j["objective"] = nameOf(objectiveNames, s.objective);
  j["fieldOfViewUm"] = s.fieldOfViewUm;
  j["laserSpotPx"] = {{"x", s.laserSpotXPx}, {"y", s.laserSpotYPx}};
  j["defocusUm"] = s.defocusUm;
  j["laserFocusOffsetUm"] = s.laserFocusOffsetUm;
  j["laserOn"] = s.laserOn;
  j["laserLevelV"] = s.laserLevelV;
  j["cameraGain"] = s.cameraGain;
  j["cameraExposureUs"] = s.cameraExposureUs;
  j["confocalImage"] = s.confocalImage;
  j["zCreepCorrection"] = s.zCreepCorrection;
  j["cameraAperturePx"] = s.cameraAperturePx;
  j["standaAxisOrder"] = nameOf(axisOrderNames, s.standaAxisOrder);
  j["arduinoComPort"] = s.arduinoComPort;
  for (const auto& [name, value] : s.ofRun) j[name] = value;
  return j;
}

Json devicesJson(const RecordDevices& d) {
  return {{"stageX", deviceState(d.stageX)},   {"stageY", deviceState(d.stageY)},
          {"stageZ", deviceState(d.stageZ)},   {"arduino", deviceState(d.arduino)},
          {"currentMeter", deviceState(d.currentMeter)}, {"camera", deviceState(d.camera)}};
}

Json scanJson(const RecordScan& s) {
  Json j;
  j["widthPoints"] = s.widthPoints;
  j["heightPoints"] = s.heightPoints;
  j["stepUm"] = s.stepUm;
  j["areaPx"] = {s.areaPx[0], s.areaPx[1], s.areaPx[2], s.areaPx[3]};
  j["firstPointUm"] = {{"x", s.firstPointXUm}, {"y", s.firstPointYUm}};
  j["expectedMinutes"] = s.expectedMinutes;
  return j;
}

}  // namespace

std::string isoTimeText(const LocalTime& t) {
  const int offset = t.utcOffsetMinutes;
  const int magnitude = offset < 0 ? -offset : offset;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second, offset < 0 ? '-' : '+', magnitude / 60 % 100, magnitude % 60);
  return text;
}

const char* outcomeText(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::completed: return "completed";
    case RunOutcome::stoppedByOperator: return "stopped by the operator";
    case RunOutcome::failed: return "failed";
  }
  return "failed";
}

double decimalOf(float value) {
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) return std::strtod(text, nullptr);
  }
  return value;  // not reached for a finite float; NaN and infinities as they are
}

std::string resultRecordText(const ResultRecord& record) {
  // The library reports by exceptions (no memory, text that is no UTF-8);
  // none of them may leave this function.
  try {
    Json j;
    j["program"] = "Nerin Station";
    j["version"] = programVersion;
    j["result"] = record.result;
    j["started"] = isoTimeText(record.started);
    j["ended"] = isoTimeText(record.ended);
    j["outcome"] = outcomeText(record.outcome);
    j["settings"] = settingsJson(record.settings);
    j["devices"] = devicesJson(record.devices);
    j["faults"] = Json::object();
    for (const auto& [device, detail] : record.faults) j["faults"][device] = detail;
    j["stageAtStartUm"] = {{"x", record.stageAtStartUm[0]}, {"y", record.stageAtStartUm[1]},
                           {"z", record.stageAtStartUm[2]}};
    if (record.hasScan) j["scan"] = scanJson(record.scan);
    j["files"] = record.files;
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  } catch (...) {
    return {};
  }
}

std::string recoveredRecordText(const std::string& scanRecord, const RecoveredScan& scan) {
  try {
    Json j = Json::parse(scanRecord, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
      j = Json::object();
      j["program"] = "Nerin Station";
      j["version"] = programVersion;
      j["result"] = "map scan";
      j["settings"] = {{"biasVoltageV", scan.biasVoltageV}, {"scanStepUm", scan.stepUm}};
      j["scan"] = {{"widthPoints", scan.widthPoints}, {"heightPoints", scan.heightPoints}, {"stepUm", scan.stepUm}};
    }
    j["ended"] = isoTimeText(scan.ended);
    j["outcome"] = outcomeText(RunOutcome::failed);
    j["recoveredFrom"] = scan.journal;
    j["files"] = scan.files;
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  } catch (...) {
    return {};
  }
}
