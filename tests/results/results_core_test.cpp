// The dated folder's name, the names that never replace a file, and the
// record beside a result as the engineer reading it will parse it, as rows of
// image_names.scenario and result_record.scenario.

#include "results/image_names.h"
#include "results/result_record.h"
#include "support/scenario.h"

#include <nlohmann/json.hpp>

#include <set>

namespace {

using nlohmann::json;
using scenario::arg;
using scenario::Args;

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::set<std::wstring> files;  // the names already taken
int counter = 0;
const FileExists exists = [](const std::wstring& name) { return files.count(name) > 0; };

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
    {"stamp", [](const Args& a) {
       return narrow(folderStamp(std::stoi(a.at(1)), std::stoi(a.at(2)), std::stoi(a.at(3)), std::stoi(a.at(4)),
                                 std::stoi(a.at(5))));
     }},
    {"taken", [](const Args& a) { return files.insert(wide(a.at(1))), std::string(); }},
    {"free", [](const Args& a) { return files.erase(wide(a.at(1))), std::string(); }},
    // The name a window picture takes (and keeps).
    {"unique", [](const Args& a) {
       const std::wstring name = uniqueFileName(wide(a.at(1)), wide(a.at(2)), exists);
       return files.insert(name), narrow(name);
     }},
    // A counted name in the folder, and the counter after it.
    {"counted", [](const Args& a) {
       const std::string name = narrow(nextCountedFileName(wide(a.at(1)), wide(a.at(2)), counter, exists));
       return name + " next " + std::to_string(counter);
     }},
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

TEST(ResultsCore, Scenarios) {
  scenario::runFile(IMAGE_NAMES_SCENARIO, steps);
  scenario::runFile(RESULT_RECORD_SCENARIO, steps);
}

}  // namespace
