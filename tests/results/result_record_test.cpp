// The record beside a result, as the engineer reading it will parse it, as
// rows of result_record.scenario.

#include "results/result_record.h"

#include "support/scenario.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;
using scenario::Args;
using scenario::arg;

// The record of a map scan stopped by the operator, as the engineer's JSON
// reader sees it; a record without a grid; times with their UTC offset; a
// name that is no UTF-8.
ResultRecord mapScanRecord() {
  ResultRecord r;
  r.result = "map scan";
  r.started = {2025, 12, 5, 14, 58, 3, 60};
  r.ended = {2025, 12, 5, 15, 2, 41, 60};
  r.outcome = RunOutcome::stoppedByOperator;
  r.settings.currentEquipment = 3;
  r.settings.gpibAddress = 18;
  r.settings.biasVoltageV = decimalOf(0.1f);
  r.settings.currentLimitA = decimalOf(1e-4f);
  r.settings.objective = 4;
  r.settings.standaAxisOrder = 2;
  r.settings.confocalImage = true;
  r.settings.ofRun = {{"ivRangeV", 1.5}};
  r.settings.laserOn = true;
  r.devices.stageY = DeviceState::connected;
  r.devices.currentMeter = DeviceState::failed;
  r.faults = {{"currentMeter", "ibrd Error, Iberr() = 6"}};
  r.stageAtStartUm[0] = -12.5;
  r.hasScan = true;
  r.scan.widthPoints = 4;
  r.scan.areaPx[2] = 739;
  r.files = {"Nerin(0).txt", "optics(3).jpg"};
  return r;
}

const scenario::Steps steps = {
    {"record", [](const Args& a) {
       ResultRecord r = mapScanRecord();
       r.hasScan = arg(a, 2) != "without-scan";
       if (arg(a, 2) == "broken-name") r.files = {"camera(\xff).jpg"};
       const json j = json::parse(resultRecordText(r));
       return a.at(1) == "version" ? std::string(j["version"] == programVersion ? "ours" : "other")
                                   : j.value(json::json_pointer(a[1]), json()).dump();
     }},
    {"time", [](const Args& a) { return isoTimeText({2026, 1, 2, 3, 4, 5, std::stoi(a.at(1))}); }},
};

TEST(ResultRecord, Scenarios) {
  scenario::runFile(RESULT_RECORD_SCENARIO, steps);
}

}  // namespace
