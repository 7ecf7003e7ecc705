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

#include <algorithm>
#include <string>

TEST(NoGpibDriver, CallsFailOpeningReportsOnceAndEveryMeterReadsZeroOrTheTestValues) {
  EXPECT_EQ(Ibsta(), gpibErr) << "even before any call";
  EXPECT_EQ(ibdev(0, 18, 0, gpibTimeout10s, 1, 0), static_cast<int>(gpibErr));
  EXPECT_EQ(gpibBindFailed, 1);
  EXPECT_EQ(Iberr(), 0u);
  EXPECT_EQ(Ibcnt(), static_cast<unsigned long>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetModuleHandleW(L"ni4882.dll"), nullptr);
  for (int (*open)(int) : {openGpibSourcemeter, openGpibMultimeter}) {
    int opened = -1;
    EXPECT_EQ(captureStdout([&] { opened = open(18); }),
              "ibdev Error\nIbsta() = 0x8000  < ERR >\nIberr() = 0 EDVR <Driver error>\nIbcnt() = 126\n\n");
    EXPECT_EQ(opened, 0);
  }
  // The count after a failed load is the system error (126), larger than the
  // reply buffer: the reply must still end inside it.
  for (int equipment : {1, 2, 3, 4, 5, -1}) {
    currentEquipment = equipment;
    float value = -1.0f;
    captureStdout([&] { value = readCurrent(); });
    EXPECT_EQ(value, 0.0f) << "equipment " << equipment;
  }
  // Simulated: readings anywhere in 0 .. 327.67 pA, the whole range used.
  currentEquipment = 0;
  float high = 0.0f;
  for (int i = 0; i < 100000; ++i) {
    const float value = readCurrent();
    ASSERT_GE(value, 0.0f);
    ASSERT_LE(value, 0.00032767f);
    high = std::max(high, value);
  }
  EXPECT_GT(high, 0.0003f);
  currentEquipment = 4;
}
