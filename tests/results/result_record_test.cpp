// The record beside a result, as the engineer reading it will parse it.

#include "results/result_record.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <string>

namespace {

using nlohmann::json;

TEST(ResultRecord, ParsesBackWithTheRunItsSettingsDevicesGeometryAndFiles) {
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

  const json j = json::parse(resultRecordText(r));
  EXPECT_EQ(j["program"], "Nerin Station");
  EXPECT_EQ(j["version"], programVersion);
  EXPECT_EQ(j["result"], "map scan");
  EXPECT_EQ(j["started"], "2025-12-05T14:58:03+01:00");
  EXPECT_EQ(j["ended"], "2025-12-05T15:02:41+01:00");
  EXPECT_EQ(j["outcome"], "stopped by the operator");
  const json& s = j["settings"];
  EXPECT_EQ(s["currentEquipment"], "GPIB Sourcemeter");
  EXPECT_EQ(s["gpibAddress"], 18);
  EXPECT_EQ(s["biasVoltageV"].dump(), "0.1") << "as typed, not the float's binary value";
  EXPECT_EQ(s["currentLimitA"].dump(), "0.0001");
  EXPECT_EQ(s["objective"], "100X");
  EXPECT_EQ(s["standaAxisOrder"], "YXZ");
  EXPECT_EQ(s["confocalImage"], true);
  EXPECT_EQ(s["ivRangeV"], 1.5);
  EXPECT_EQ(s["laserOn"], true);
  EXPECT_EQ(j["devices"]["stageX"], "simulated");
  EXPECT_EQ(j["devices"]["stageY"], "connected");
  EXPECT_EQ(j["devices"]["currentMeter"], "failed");
  EXPECT_EQ(j["faults"], json({{"currentMeter", "ibrd Error, Iberr() = 6"}}));
  EXPECT_EQ(j["stageAtStartUm"]["x"], -12.5);
  EXPECT_EQ(j["scan"]["widthPoints"], 4);
  EXPECT_EQ(j["scan"]["areaPx"][2], 739);
  EXPECT_EQ(j["files"], json({"Nerin(0).txt", "optics(3).jpg"}));

  r.hasScan = false;
  EXPECT_FALSE(json::parse(resultRecordText(r)).contains("scan")) << "pictures and spectra have no grid";
}

TEST(ResultRecord, TimesCarryTheirUtcOffsetAndBrokenNamesDoNotLoseTheRecord) {
  const struct {
    int offsetMinutes;
    const char* text;
  } cases[] = {{0, "2026-01-02T03:04:05+00:00"}, {330, "2026-01-02T03:04:05+05:30"},
               {-300, "2026-01-02T03:04:05-05:00"}, {-570, "2026-01-02T03:04:05-09:30"}};
  for (const auto& c : cases) EXPECT_EQ(isoTimeText({2026, 1, 2, 3, 4, 5, c.offsetMinutes}), c.text);

  ResultRecord r;
  r.files = {"camera(\xff).jpg"};  // not UTF-8: replaced, never thrown
  const std::string text = resultRecordText(r);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(json::parse(text)["files"][0], "camera(\xEF\xBF\xBD).jpg");
}

}  // namespace
