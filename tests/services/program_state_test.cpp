// What the program starts with, before Config.txt is read. Each test case
// runs in a process of its own, so nothing has changed the state yet.

#include "services/objective_table.h"
#include "services/program_state.h"

#include <gtest/gtest.h>

TEST(ProgramState, StartsWithTheDefaultSettingsFlagsAndGeometry) {
  EXPECT_EQ(currentEquipment, 4);  // the USB sourcemeter
  EXPECT_EQ(standaConfig, 0);
  EXPECT_EQ(arduinoComPort, 12);
  EXPECT_EQ(gpibAddress, 18);
  EXPECT_EQ(scanSpeed, 500);
  EXPECT_EQ(biasVoltage, 0.0f);
  EXPECT_EQ(currentLimit, 1e-4f);
  EXPECT_EQ(confocalEnabled, 1);
  EXPECT_EQ(zCreepCorrection, 0);
  EXPECT_EQ(cameraAperture, 5);
  EXPECT_EQ(fieldOfViewUm, 89.0);  // a placeholder until the objective is applied
  EXPECT_NEAR(fieldOfViewHeightUm, 74.263, 1e-3);  // 89 x 1028 / 1232
  EXPECT_EQ(deviceBusy + scanRunning + stopRequested + wideViewShown, 0);

  EXPECT_EQ(scanState.stepUm, 1.0);
  EXPECT_EQ(scanState.sampleView, 1);
  EXPECT_EQ(scanState.viewScale, 1);
  EXPECT_EQ(scanState.mapViewSize, 400);
  EXPECT_EQ(scanState.viewCentreX, 616);
  EXPECT_EQ(scanState.viewCentreY, 514);
  const int selection[4] = {492, 411, 739, 616};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(scanState.selection[i], selection[i]) << i;
  EXPECT_EQ(scanState.mapWidth, 18) << "the geometry is computed at construction";

  EXPECT_EQ(objectiveSettings.current, 3);  // 50X
  EXPECT_EQ(objectiveSettings.previous, 3);
}
