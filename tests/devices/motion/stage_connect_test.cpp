#include "stage_fixture.h"

#include <cstring>

namespace {

using StageConnect = StageWithFake;

// The enumerated name of the controller at this index, as the fake gives it.
std::string nameOf(int index) { return "xi-com:\\\\.\\COM" + std::to_string(21 + index); }

// The axis holds the controller at this enumeration index, or is simulated
// (index -1).
void expectAxis(const StageAxis& axis, int index, int number, const char* name) {
  SCOPED_TRACE(name);
  if (index < 0) {
    EXPECT_EQ(axis.deviceNumber, 0);
    return;
  }
  EXPECT_EQ(axis.deviceName, nameOf(index));
  EXPECT_EQ(axis.deviceId, fakeXimc().deviceId(index));
  EXPECT_EQ(axis.deviceNumber, number);
}

TEST_F(StageConnect, EveryAxisOrderPutsTheControllersOnTheirAxes) {
  struct Row {
    int count, order;
    int x, y, z;  // enumeration index of each axis, -1 simulated
  };
  const Row rows[] = {
      {3, 0, 0, 1, 2}, {3, 1, 0, 2, 1}, {3, 2, 1, 0, 2}, {3, 3, 2, 0, 1}, {3, 4, 1, 2, 0}, {3, 5, 2, 1, 0},
      // Two controllers are X and Y in enumeration order only for order 0.
      {2, 0, 0, 1, -1}, {2, 1, 1, 0, -1}, {2, 2, 1, 0, -1}, {2, 3, 1, 0, -1}, {2, 4, 1, 0, -1},
      {2, 5, 1, 0, -1}, {1, 4, 0, -1, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.count << " controllers, order " << r.order);
    closeAllAxes();
    ASSERT_TRUE(connectWith(r.count, r.order));
    expectAxis(stageX, r.x, 1, "X");
    expectAxis(stageY, r.y, 2, "Y");
    expectAxis(stageZ, r.z, 3, "Z");
  }
}

TEST_F(StageConnect, WithTwoControllersZIsSimulated) {
  ASSERT_TRUE(connectWith(2, 3));
  // Its move takes effect at once and reaches no controller.
  EXPECT_EQ(moveAxisTo(stageZ, 25.0), 1);
  EXPECT_EQ(stageZ.positionUm, 25.0);
  EXPECT_FALSE(contains(fake().calls(), "command_move"));
}

TEST_F(StageConnect, ConnectionSetsTheSpeedDropsTheRampsAndMakesThePresentPositionZero) {
  fake().reset(1);
  fake().setPosition(0, 1234, 100);
  ASSERT_TRUE(connectStage(0, 500));
  const std::string calls = fake().calls();
  EXPECT_TRUE(contains(calls, "set_bindy_key keyfile.sqlite\n")) << calls;
  // Network controllers are looked for without any fixed address.
  EXPECT_TRUE(contains(calls, "enumerate_devices 5 addr=\n")) << calls;
  // The fake's flags are 0x51: only the acceleration bit 0x10 goes.
  EXPECT_TRUE(contains(calls, "set_engine_settings 11 500 0 0x41\n")) << calls;
  EXPECT_EQ(fake().openEnumerations(), 0);

  EXPECT_EQ(stageX.zeroSteps, 1234);
  EXPECT_EQ(stageX.positionUm, 0.0);
  // The zero counts whole steps; the 100 microsteps stay in the reading.
  EXPECT_DOUBLE_EQ(readAxisPosition(stageX), 100 / 256.0 * 1.25);
  EXPECT_EQ(moveAxisTo(stageX, 0.0), 1);
  EXPECT_EQ(fake().position(0), 1234 * 256);

  // A speed above the bound never reaches the controller.
  closeAllAxes();
  fake().reset(1);
  ASSERT_TRUE(connectStage(0, 900));
  EXPECT_TRUE(contains(fake().calls(), "set_engine_settings 11 700 0 0x41\n"));
}

TEST_F(StageConnect, WithoutControllersEveryAxisIsSimulated) {
  EXPECT_FALSE(connectWith(0, 0));
  EXPECT_EQ(fake().openEnumerations(), 0);
  EXPECT_EQ(stageX.deviceNumber + stageY.deviceNumber + stageZ.deviceNumber, 0);

  // An enumeration that fails outright gives nothing to free.
  fake().reset(3);
  fake().failEnumeration(1);
  EXPECT_FALSE(connectStage(0, 500));
  EXPECT_FALSE(contains(fake().calls(), "free_enumerate_devices"));
  EXPECT_FALSE(contains(fake().calls(), "open_device"));
}

TEST_F(StageConnect, AnUnusableNameLeavesOnlyItsAxisSimulated) {
  fake().reset(2);
  fake().setName(0, nullptr);
  EXPECT_TRUE(connectStage(0, 500));
  EXPECT_EQ(stageX.deviceNumber, 0);
  EXPECT_EQ(stageY.deviceName, nameOf(1));
  EXPECT_EQ(fake().openEnumerations(), 0);

  // A name that does not fit the 256-byte buffer is not opened cut short.
  closeAllAxes();
  fake().reset(2);
  const std::string longName = "xi-net://" + std::string(300, 'a');
  fake().setName(1, longName.c_str());
  EXPECT_TRUE(connectStage(0, 500));
  EXPECT_EQ(stageX.deviceName, nameOf(0));
  EXPECT_EQ(stageY.deviceNumber, 0);
  EXPECT_EQ(stageY.deviceName[0], '\0');
  EXPECT_FALSE(contains(fake().calls(), "open_device xi-net"));

  // No usable name at all: nothing was connected.
  closeAllAxes();
  fake().reset(1);
  fake().setName(0, nullptr);
  EXPECT_FALSE(connectStage(0, 500));
  EXPECT_EQ(stageX.deviceNumber, 0);
}

TEST_F(StageConnect, ReconnectingReopensTheControllersAndCloseReleasesThem) {
  ASSERT_TRUE(connectWith(3, 0));
  // Connecting again without closing first still reaches all three.
  ASSERT_TRUE(connectStage(2, 500));
  EXPECT_TRUE(contains(fake().calls(), "close_device 11\n"));
  EXPECT_EQ(stageX.deviceName, nameOf(1));
  EXPECT_EQ(stageX.deviceId, fake().deviceId(1));
  EXPECT_EQ(stageY.deviceId, fake().deviceId(0));

  closeStageAxis(stageX);
  closeStageAxis(stageY);
  closeStageAxis(stageZ);
  EXPECT_EQ(fake().isOpen(0) + fake().isOpen(1) + fake().isOpen(2), 0);
  EXPECT_EQ(stageX.deviceNumber + stageY.deviceNumber + stageZ.deviceNumber, 0);
  // A closed axis is simulated from where it was.
  stopAxis(stageX);
  EXPECT_FALSE(contains(fake().calls(), "command_stop"));
}

}  // namespace
