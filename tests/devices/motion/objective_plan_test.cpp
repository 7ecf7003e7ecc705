#include "devices/motion/objective_plan.h"
#include "services/objective_table.h"

#include <gtest/gtest.h>

namespace {

ObjectiveChangePlan plan(int from, int to, ObjectiveTable table = {}) {
  table.previous = from;
  table.current = to;
  return planObjectiveChange(table);
}

TEST(ObjectiveChangePlan, UsesOnlyTheTravelsBetweenTheTwoPositions) {
  ObjectiveTable table;
  table.changerSteps[0] = 189;
  table.changerSteps[1] = 195;
  EXPECT_DOUBLE_EQ(plan(0, 1, table).turretMoves[0], -189.0);
  EXPECT_DOUBLE_EQ(plan(2, 1, table).turretMoves[0], 195.0);
  EXPECT_DOUBLE_EQ(plan(2, 0, table).turretMoves[0], 189.0 + 195.0);
}

}  // namespace
