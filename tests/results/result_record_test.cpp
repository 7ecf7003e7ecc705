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

  // Each value as the engineer's JSON reader sees it, by its path.
  const json j = json::parse(resultRecordText(r));
  const std::pair<const char*, const char*> expected[] = {
      {"/program", R"("Nerin Station")"}, {"/result", R"("map scan")"},
      {"/started", R"("2025-12-05T14:58:03+01:00")"}, {"/ended", R"("2025-12-05T15:02:41+01:00")"},
      {"/outcome", R"("stopped by the operator")"}, {"/settings/currentEquipment", R"("GPIB Sourcemeter")"},
      {"/settings/gpibAddress", "18"}, {"/settings/biasVoltageV", "0.1"},  // as typed, not the float's binary value
      {"/settings/currentLimitA", "0.0001"}, {"/settings/objective", R"("100X")"},
      {"/settings/standaAxisOrder", R"("YXZ")"}, {"/settings/confocalImage", "true"},
      {"/settings/ivRangeV", "1.5"}, {"/settings/laserOn", "true"}, {"/devices/stageX", R"("simulated")"},
      {"/devices/stageY", R"("connected")"}, {"/devices/currentMeter", R"("failed")"},
      {"/faults", R"({"currentMeter":"ibrd Error, Iberr() = 6"})"}, {"/stageAtStartUm/x", "-12.5"},
      {"/scan/widthPoints", "4"}, {"/scan/areaPx/2", "739"}, {"/files", R"(["Nerin(0).txt","optics(3).jpg"])"}};
  for (const auto& [path, value] : expected) EXPECT_EQ(j.value(json::json_pointer(path), json()).dump(), value) << path;
  EXPECT_EQ(j["version"], programVersion);

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
