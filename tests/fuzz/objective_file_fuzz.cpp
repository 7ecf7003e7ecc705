// Objective.txt as start-up reads it: line 1 (the mounted objective, asked
// about), line 2 (the changer's travels, clamped), each through a 200-byte
// line buffer; the changer plans made from what was read; and the file as
// the program writes it back, which must read back to itself.

#include "devices/motion/objective_plan.h"
#include "fuzz_check.h"
#include "services/objective_table.h"
#include "services/settings_format.h"

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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string lines[2];
  splitLines(textOf(data, size), lines);

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
  return 0;
}
