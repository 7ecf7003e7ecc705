// readCurrent and the GPIB meters on a computer without the GPIB driver (no
// ni4882.dll beside the test program or in System32): everything fails fast,
// reports what it can, reads 0 and never writes outside its buffers.

#include "devices/measurement/current_reading.h"
#include "devices/measurement/gpib_access.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/gpib_status.h"
#include "services/program_state.h"
#include "stdout_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class NoGpibDriver : public ::testing::Test {
 protected:
  void TearDown() override { currentEquipment = 4; }
};

TEST_F(NoGpibDriver, CallsFailWithErrEdvrAndTheSystemError) {
  EXPECT_EQ(Ibsta(), gpibErr) << "even before any call";
  EXPECT_EQ(ibdev(0, 18, 0, gpibTimeout10s, 1, 0), static_cast<int>(gpibErr));
  EXPECT_FALSE(gpibBound);
  EXPECT_EQ(gpibBindFailed, 1);
  EXPECT_EQ(Ibsta(), gpibErr);
  EXPECT_EQ(Iberr(), 0u);
  EXPECT_EQ(Ibcnt(), static_cast<unsigned long>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(ibcntlCopy, static_cast<long>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetModuleHandleW(L"ni4882.dll"), nullptr);
}

TEST_F(NoGpibDriver, OpeningEitherMeterPrintsOneReportAndFails) {
  for (int multimeter = 0; multimeter < 2; ++multimeter) {
    int opened = -1;
    const std::string out =
        captureStdout([&] { opened = multimeter ? openGpibMultimeter(18) : openGpibSourcemeter(18); });
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(out, "ibdev Error\nIbsta() = 0x8000  < ERR >\nIberr() = 0 EDVR <Driver error>\nIbcnt() = 126\n\n");
  }
}

TEST_F(NoGpibDriver, ReadCurrentGivesZeroOrTheTestValuesNeverACrash) {
  // The count after a failed load is the system error (126), larger than the
  // reply buffer: the reply must still end inside it.
  for (int equipment : {1, 2, 3, 4, 5, -1}) {
    currentEquipment = equipment;
    float value = -1.0f;
    captureStdout([&] { value = readCurrent(); });
    EXPECT_EQ(value, 0.0f) << "equipment " << equipment;
  }
  currentEquipment = 0;
  for (int i = 0; i < 1000; ++i) {
    const float value = readCurrent();
    ASSERT_GE(value, 0.0f);
    ASSERT_LE(value, 0.00032767f);
  }
}

}  // namespace
