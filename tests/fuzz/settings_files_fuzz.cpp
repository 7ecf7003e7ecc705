// The settings files as start-up reads them, each input taken as either:
// - Config.txt: the three lines through the same stream reading, then what
//   start-up makes of them (the scan geometry, the stage's axis order), and
//   the file the exit writes back, which must read back to itself;
// - Objective.txt: line 1 (the mounted objective, asked about), line 2 (the
//   changer's travels, clamped), each through a 200-byte line buffer; the
//   changer plans made from what was read; and the file as the program
//   writes it back, which must read back to itself.

#include "devices/motion/objective_plan.h"
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

void checkConfigFile(const std::string& text) {
  const ConfigValues read = readText(text, ConfigValues{});
  checkGeometry(read);
  for (int controllers = 0; controllers <= 4; ++controllers) {
    const AxisAssignment axes = assignAxes(read.standaConfig, controllers);
    for (const int index : {axes.x, axes.y, axes.z}) {
      require(index >= -1 && index < controllers && index < 3, "an axis is a found controller or none");
    }
  }

  const std::string written = formatConfig(read);
  require(formatConfig(readText(written, ConfigValues{})) == written, "the written file reads back to itself");
}

// The first two lines as fgets with a 200-byte buffer hands them out.
void splitLines(std::string_view text, std::string lines[2]) {
  for (int i = 0; i < 2 && !text.empty(); ++i) {
    std::size_t take = std::min<std::size_t>(text.size(), 199);
    const std::size_t feed = text.substr(0, take).find('\n');
    if (feed != std::string_view::npos) take = feed + 1;
    lines[i] = std::string(text.substr(0, take));
    text.remove_prefix(take);
  }
}

void checkObjectiveFile(const std::string& text) {
  std::string lines[2];
  splitLines(text, lines);

  ObjectiveTable table;
  int index = table.current;
  parseObjectiveIndexLine(lines[0].c_str(), index);
  const char* question = objectiveQuestion(index);
  require(question && std::strstr(question, "Is the current objective lens ") == question, "a question is asked");

  parseChangerStepsLine(lines[1].c_str(), table.changerSteps);
  for (const double step : table.changerSteps) {
    require(step >= minChangerStep && step <= maxChangerStep, "every travel within the changer's range");
  }

  // Confirmed with Yes: an index outside 0..3 was asked as 100X.
  table.previous = isObjectiveIndex(index) ? index : objectiveCount - 1;
  for (int to = 0; to < objectiveCount; ++to) {
    table.current = to;
    const ObjectiveChangePlan plan = planObjectiveChange(table);
    const double travel = std::fabs(plan.turretMoves[0]);
    require(travel <= changerStepCount * maxChangerStep, "no turn beyond the whole turret");
    require((travel == 0.0) == (to == table.previous), "the turret turns exactly when the objective changes");
  }

  const std::string written = formatObjectiveFile(index, table.changerSteps);
  std::string again[2];
  splitLines(written, again);
  int indexAgain = -12345;
  double stepsAgain[changerStepCount] = {0, 0, 0, 0};
  require(parseObjectiveIndexLine(again[0].c_str(), indexAgain) == 1 && indexAgain == index,
          "the written index reads back");
  require(parseChangerStepsLine(again[1].c_str(), stepsAgain) == changerStepCount &&
              formatObjectiveFile(index, stepsAgain) == written,
          "the written travels read back to the same file");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = textOf(data, size);
  checkConfigFile(text);
  checkObjectiveFile(text);
  return 0;
}
