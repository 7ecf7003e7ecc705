#include "motion/objective_plan.h"
#include "motion/objective_table.h"

#include <gtest/gtest.h>

namespace {

ObjectiveChangePlan plan(int from, int to, ObjectiveTable table = {}) {
  table.previous = from;
  table.current = to;
  return planObjectiveChange(table);
}

TEST(ObjectiveChangePlan, FiftyToTenXShiftsStageAndFocusAndTurnsTheTurretBack) {
  const ObjectiveChangePlan p = plan(3, 1);
  EXPECT_DOUBLE_EQ(p.stageShiftXUm, 65.0);   // 97 - 32
  EXPECT_DOUBLE_EQ(p.stageShiftYUm, 28.0);   // -15 - (-43)
  EXPECT_DOUBLE_EQ(p.focusShiftUm, -28.0);   // -8 - 20
  EXPECT_DOUBLE_EQ(p.turretMoves[0], 384.0);
  EXPECT_DOUBLE_EQ(p.turretMoves[1], 1.0);
  EXPECT_DOUBLE_EQ(p.turretMoves[2], -1.0);
}

TEST(ObjectiveChangePlan, TenToHundredXTurnsForwardOverThreePositions) {
  ObjectiveTable table;
  table.changerSteps[1] = 190;
  table.changerSteps[2] = 191;
  table.changerSteps[3] = 195;
  table.changerSteps[0] = 189;  // not crossed
  const ObjectiveChangePlan p = plan(1, 4, table);
  EXPECT_DOUBLE_EQ(p.turretMoves[0], -576.0);
  EXPECT_DOUBLE_EQ(p.turretMoves[1], -2.0);
  EXPECT_DOUBLE_EQ(p.turretMoves[2], 2.0);
  EXPECT_DOUBLE_EQ(plan(1, 4).turretMoves[0], -576.0);
  EXPECT_DOUBLE_EQ(p.stageShiftXUm, -23.0 - 97.0);
  EXPECT_DOUBLE_EQ(p.focusShiftUm, 10.0 - (-8.0));
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
