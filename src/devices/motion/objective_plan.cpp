#include "devices/motion/objective_plan.h"

#include "services/objective_table.h"

int jogStepForObjective(int index) {
  static const int steps[objectiveCount] = {200, 100, 50, 20, 10};
  return isObjectiveIndex(index) ? steps[index] : steps[objectiveCount - 1];
}

ObjectiveChangePlan planObjectiveChange(const ObjectiveTable& table) {
  ObjectiveChangePlan plan;
  const int to = table.current;
  const int from = table.previous;
  plan.stageShiftXUm = table.xyOffsetUm[to][0] - table.xyOffsetUm[from][0];
  plan.stageShiftYUm = table.xyOffsetUm[to][1] - table.xyOffsetUm[from][1];
  plan.focusShiftUm = table.sampleFocusUm[to] - table.sampleFocusUm[from];

  double sum = 0.0;
  if (to > from) {
    for (int k = from; k < to; ++k) sum += table.changerSteps[k];
    plan.turretMoves[0] = -sum;
    plan.turretMoves[1] = -2.0;
    plan.turretMoves[2] = +2.0;
  } else if (to < from) {
    for (int k = to; k < from; ++k) sum += table.changerSteps[k];
    plan.turretMoves[0] = +sum;
    plan.turretMoves[1] = +1.0;
    plan.turretMoves[2] = -1.0;
  }
  return plan;
}
