// Config.txt as start-up reads it: the three lines through the same stream
// reading, then what start-up makes of them (the scan geometry, the stage's
// axis order), and the file the exit writes back, which must read back to
// itself.

#include "devices/motion/stage_math.h"
#include "fuzz_check.h"
#include "services/objective_table.h"
#include "services/scan_geometry.h"
#include "services/settings_format.h"

ConfigValues readText(const std::string& text, ConfigValues start) {
  // fmemopen refuses an empty buffer; an empty file reads nothing anyway.
  if (text.empty()) return start;
  std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  require(file != nullptr, "the text opens as a stream");
  readConfig(file, start);
  std::fclose(file);
  return start;
}

void checkGeometry(const ConfigValues& v) {
  const ObjectiveTable table;
  for (const double fieldOfViewUm : table.objectiveFieldOfViewUm) {
    for (const int confocal : {0, 1}) {
      ScanState s = makeInitialScanState();
      s.stepUm = v.stepUm;
      s.laserSpotX = v.laserSpotX;
      s.laserSpotY = v.laserSpotY;
      computeScanGeometry(s, fieldOfViewUm, confocal);
      require(s.mapWidth >= 1 && s.mapWidth <= maxMapSidePoints, "map width within its bounds");
      require(s.mapHeight >= 1 && s.mapHeight <= maxMapSidePoints, "map height within its bounds");
      require(s.totalPoints == s.mapWidth * s.mapHeight, "total points is width x height");
      require(s.expectedMinutes >= 2, "the estimate is at least its fixed 2 minutes");
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ConfigValues read = readText(textOf(data, size), ConfigValues{});
  checkGeometry(read);
  for (int controllers = 0; controllers <= 4; ++controllers) {
    const AxisAssignment axes = assignAxes(read.standaConfig, controllers);
    for (const int index : {axes.x, axes.y, axes.z}) {
      require(index >= -1 && index < controllers && index < 3, "an axis is a found controller or none");
    }
  }

  const std::string written = formatConfig(read);
  require(formatConfig(readText(written, ConfigValues{})) == written, "the written file reads back to itself");
  return 0;
}
