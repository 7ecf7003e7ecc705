// The settings files, the edit readers, the scan geometry, the pump's clock,
// the library search path and the elapsed time, as rows of
// services_core.scenario: the numbers there are worked out by hand.

#include "services/edit_number.h"
#include "services/library_search.h"
#include "services/pump_clock.h"
#include "services/report_format.h"
#include "services/scan_geometry.h"
#include "services/settings_format.h"
#include "support/scenario.h"

#include <cstdio>

namespace {

using scenario::arg;
using scenario::Args;
using scenario::num;
using scenario::rest;
using scenario::str;

// A whole number with its thousands marked, so that it compares exactly.
std::string exact(long long value) {
  std::string digits = std::to_string(value < 0 ? -value : value), out;
  for (std::size_t i = 0; i < digits.size(); ++i) out += ((i && (digits.size() - i) % 3 == 0) ? "'" : "") + digits.substr(i, 1);
  return (value < 0 ? "-" : "") + out;
}

// Config.txt read over the defaults through the program's own stream path.
ConfigValues readConfigText(const std::string& text) {
  ConfigValues v;
  std::FILE* f = std::tmpfile();
  std::fputs(text.c_str(), f);
  std::rewind(f);
  readConfig(f, v);
  std::fclose(f);
  return v;
}

ScanState scan;
ScanState measured(const Args& a, int from) {
  ScanState s;
  for (int i = 0; i < 4; ++i) s.selection[i] = static_cast<int>(num(a, from + i));
  s.stepUm = num(a, 5);
  s.viewScale = static_cast<int>(num(a, 8));
  s.laserSpotX = static_cast<int>(num(a, 9));
  s.laserSpotY = static_cast<int>(num(a, 10));
  computeScanGeometry(s, num(a, 6), static_cast<int>(num(a, 7)));
  return s;
}
std::string summary(const ScanState& s) {
  return str(s.mapWidth) + " " + str(s.mapHeight) + " " + str(s.mapViewWidth) + " " + str(s.mapViewHeight) + " " +
         str(s.pointSizePx) + " " + str(s.realLeftPx) + " " + str(s.realTopPx) + " " + str(s.startOffsetXUm) + " " +
         str(s.startOffsetYUm) + " " + str(s.expectedMinutes);
}

const scenario::Steps steps = {
    {"config", [](const Args& a) { return formatConfig(readConfigText(rest(a, 1))); }},
    {"objective", [](const Args& a) {
       int index = 3;
       double steps[4] = {190, 191, 193, 194};
       if (a.size() > 2) std::sscanf(a[2].c_str(), "%lf,%lf,%lf,%lf", &steps[0], &steps[1], &steps[2], &steps[3]);
       parseObjectiveIndexLine(a.at(1).c_str(), index);
       parseChangerStepsLine(a.at(1).c_str(), steps);
       return formatObjectiveFile(index, steps);
     }},
    {"int", [](const Args& a) {
       int value = 0;
       const bool read = readEditInt(arg(a, 1).c_str(), value);
       return (read ? "" : "no ") + std::to_string(value);
     }},
    {"float", [](const Args& a) {
       float value = 1.0f;
       const bool read = readEditFloat(arg(a, 1).c_str(), value);
       return (read ? "read " : "no ") + str(value);
     }},
    // left top right bottom step field-of-view confocal scale spot-x spot-y
    {"geometry", [](const Args& a) { return scan = a.size() > 1 ? measured(a, 1) : makeInitialScanState(), std::string(); }},
    {"get", [](const Args& a) {
       const std::map<std::string, double> values = {
           {"width", scan.mapWidth}, {"height", scan.mapHeight}, {"points", scan.totalPoints},
           {"point", scan.pointSizePx}, {"view-width", scan.mapViewWidth}, {"view-height", scan.mapViewHeight},
           {"minutes", scan.expectedMinutes}, {"px-per-step", scan.pixelsPerStep},
           {"offset-x", scan.startOffsetXUm}, {"offset-y", scan.startOffsetYUm}};
       char text[64];
       std::snprintf(text, sizeof text, "%.*f", a.size() > 2 ? std::stoi(a[2]) : 0, values.at(a.at(1)));
       return std::string(text);
     }},
    // The same area dragged from each of its corners gives the same scan.
    {"any-corner", [](const Args& a) {
       Args from = a;
       const std::string usual = summary(measured(a, 1));
       for (const auto& [x0, y0, x1, y1] : {std::tuple{1, 2, 3, 4}, {3, 2, 1, 4}, {1, 4, 3, 2}, {3, 4, 1, 2}}) {
         from[1] = a[x0], from[2] = a[y0], from[3] = a[x1], from[4] = a[y1];
         if (summary(measured(from, 1)) != usual) return "differs from " + a[x0] + "," + a[y0];
       }
       return std::string("same");
     }},
    {"ticks", [](const Args& a) { return exact(ticksForMilliseconds(std::stoull(a.at(1)), std::stoll(a.at(2)))); }},
    {"deadline", [](const Args& a) {
       return exact(deadlineAfter(std::stoll(a.at(1)), std::stoull(a.at(2)), std::stoll(a.at(3))));
     }},
    {"ms", [](const Args& a) { return exact(millisecondsForTicks(std::stoll(a.at(1)), std::stoll(a.at(2)))); }},
    {"search", [](const Args& a) {
       const std::string path = rest(a, 1);
       std::string out;
       for (const std::wstring& folder : absolutePathFolders(std::wstring(path.begin(), path.end())))
         out += std::string(folder.begin(), folder.end()) + "|";
       return out;
     }},
    {"elapsed", [](const Args& a) { return "\"" + elapsedText(std::stoull(a.at(1)), std::stoi(a.at(2))) + "\""; }},
};

TEST(ServicesCore, Scenarios) {
  scenario::runFile(SERVICES_CORE_SCENARIO, steps);
}

}  // namespace
