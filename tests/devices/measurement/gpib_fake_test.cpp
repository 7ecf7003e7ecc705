// The GPIB meters through the access layer, with the fake driver beside the
// test program: the exact bytes on the bus, readings through readCurrent, and
// the reports that failures print.

#include "devices/measurement/current_reading.h"
#include "devices/measurement/gpib_access.h"
#include "devices/measurement/gpib_instruments.h"
#include "devices/measurement/gpib_status.h"
#include "fake_gpib_control.h"
#include "services/program_state.h"
#include "stdout_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

const FakeGpib& fake() { return fakeGpib(); }

// Runs first, while the layer has not bound the driver yet.
TEST(GpibBeforeBinding, TheFirstStatusComesFromThePerThreadAccessor) {
  ASSERT_TRUE(fake().complete()) << "ni4882.dll beside the test program is not the fake";
  if (gpibBound) GTEST_SKIP() << "the driver was bound by an earlier test";
  fake().reset();
  fake().setStatus(gpibCmpl, 0, 5);
  EXPECT_EQ(Ibsta(), gpibCmpl);
  EXPECT_TRUE(gpibBound);
  EXPECT_EQ(fake().calls(), "ThreadIbsta\n");
  EXPECT_EQ(Ibcnt(), 5u) << "once bound, the process-wide accessor answers";
  EXPECT_EQ(fake().calls(), "ThreadIbsta\n");
}

class GpibWithFake : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fake().complete()) << "ni4882.dll beside the test program is not the fake";
    fake().reset();
    gpibDevice = 0;
  }
  void TearDown() override { currentEquipment = 4; }
};

TEST_F(GpibWithFake, OpeningAndClosingSendTheExactBytes) {
  EXPECT_EQ(openGpibMultimeter(18), 1);
  EXPECT_EQ(gpibDevice, fakeGpibDevice);
  EXPECT_EQ(fake().calls(),
            "ibdev 0 18 0 13 1 0\n"
            "ibclr 7\n"
            "ibwrt 7 4 \"REN\\0\"\n"
            "ibwrt 7 4 \"F3X\\0\"\n");

  fake().reset();
  EXPECT_EQ(openGpibSourcemeter(5), 1);
  EXPECT_EQ(fake().calls(), "ibdev 0 5 0 13 1 0\nibclr 7\n") << "the sourcemeter is configured separately";

  fake().reset();
  closeGpibSourcemeter();
  EXPECT_EQ(fake().calls(), "ibwrt 7 9 \":OUTP OFF\"\nibonl 7 0\n") << "closing: output off, then offline";
}

TEST_F(GpibWithFake, ConfiguringTheSourcemeterSendsSevenCommandsAndWaits) {
  ASSERT_EQ(openGpibSourcemeter(18), 1);
  fake().reset();
  LARGE_INTEGER frequency, start, stop;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  configureGpibSourcemeter(0.5f, 0.0001f);
  QueryPerformanceCounter(&stop);
  EXPECT_EQ(fake().calls(),
            "ibwrt 7 17 \":SOUR:VOLT:RANG 1\"\n"
            "ibwrt 7 19 \":SOUR:VOLT 0.500000\"\n"
            "ibwrt 7 24 \":SOUR:VOLT:ILIM 0.000100\"\n"
            "ibwrt 7 25 \":SENSe:FUNCtion \\\"Current\\\"\"\n"
            "ibwrt 7 21 \":SENSe:Curr:RANG 1E-6\"\n"
            "ibwrt 7 7 \":COUN 1\"\n"
            "ibwrt 7 8 \":OUTP ON\"\n");
  // 10 ms after each command and 100 ms at the end: a lower bound only.
  const double elapsedMs = 1000.0 * static_cast<double>(stop.QuadPart - start.QuadPart) / frequency.QuadPart;
  EXPECT_GE(elapsedMs, 150.0);
}

struct ReadCase {
  int equipment;
  std::string reply;
  float microamperes;
};

TEST_F(GpibWithFake, ReadCurrentConvertsEitherMetersReplyToMicroamperes) {
  const ReadCase cases[] = {
      {3, "1.23456E-07\n", 0.123456f},
      {2, "1.23456E-07\r\n", 0.123456f},
      {3, "-2.50000E-06,+1.000000E+00,+9.91E+37\n", -2.5f},
      {2, "NDCA-002.5000E-6", -2.5f},
      {3, "\v1.23456E-07", 0.0f},  // the sourcemeter's reply ends at a vertical tab
      {2, "\v1.23456E-07", 0.123456f},
  };
  ASSERT_EQ(openGpibSourcemeter(18), 1);
  for (const ReadCase& c : cases) {
    fake().reset();
    fake().addReply(c.reply);
    currentEquipment = c.equipment;
    float value = -1.0f;
    const std::string out = captureStdout([&] { value = readCurrent(); });
    EXPECT_NEAR(value, c.microamperes, 1e-6) << c.reply;
    const std::string expectedCalls = c.equipment == 3 ? "ibwrt 7 6 \":READ?\"\nibrd 7 100\n" : "ibrd 7 100\n";
    EXPECT_EQ(fake().calls(), expectedCalls) << c.reply;
    // The multimeter's reading is echoed for diagnosis.
    EXPECT_EQ(out, c.equipment == 2 ? c.reply + "\n" : "") << c.reply;
  }
}

TEST_F(GpibWithFake, AFailedIbdevIsReportedOnceAndNothingElseIsTried) {
  for (int multimeter = 0; multimeter < 2; ++multimeter) {
    fake().reset();
    fake().fail("ibdev", gpibErr, 7, 0);
    int opened = -1;
    const std::string out =
        captureStdout([&] { opened = multimeter ? openGpibMultimeter(18) : openGpibSourcemeter(18); });
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(out, "ibdev Error\nIbsta() = 0x8000  < ERR >\nIberr() = 7 ENEB <No GPIB board>\nIbcnt() = 0\n\n");
    // The report takes the (failed) descriptor offline; no ibclr.
    EXPECT_EQ(fake().calls(), "ibdev 0 18 0 13 1 0\nibonl -1 0\n");
  }
}

TEST_F(GpibWithFake, AFailedReadIsReportedAndReadsZero) {
  ASSERT_EQ(openGpibSourcemeter(18), 1);
  fake().reset();
  fake().addReply("1.0E-06\n");
  fake().fail("ibrd", gpibErr | gpibTimo, 6, 0);
  currentEquipment = 3;
  float value = -1.0f;
  const std::string out = captureStdout([&] { value = readCurrent(); });
  EXPECT_EQ(value, 0.0f);
  EXPECT_EQ(out.rfind("ibrd Error\nIbsta() = 0xc000  < ERR TIMO >\nIberr() = 6 EABO <Operation aborted>\n", 0), 0u)
      << out;
  EXPECT_EQ(fake().calls(), "ibwrt 7 6 \":READ?\"\nibrd 7 100\nibonl 7 0\n");

  // The driver hands the descriptor to the next instrument opened: the
  // make-safe round must not switch "its" output off.
  ASSERT_EQ(openGpibMultimeter(22), 1);
  fake().reset();
  switchGpibSourcemeterOffNow();
  EXPECT_EQ(fake().calls(), "");
}

// The round may run in a crash handler while the crashed thread holds the
// loader's lock: it calls only what was looked up when the driver was bound.
TEST_F(GpibWithFake, TheMakeSafeStepNeedsNoLookupAndSetsAShortTimeOutAroundTheOutputOff) {
  ASSERT_EQ(openGpibSourcemeter(18), 1);
  fake().reset();
  using LockLoader = LONG(WINAPI*)(ULONG, ULONG*, ULONG_PTR*);
  using UnlockLoader = LONG(WINAPI*)(ULONG, ULONG_PTR);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto lockLoader = reinterpret_cast<LockLoader>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
  const auto unlockLoader = reinterpret_cast<UnlockLoader>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
  ASSERT_TRUE(lockLoader && unlockLoader);
  const HANDLE locked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE unlock = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread round([&] {
    WaitForSingleObject(go, INFINITE);
    switchGpibSourcemeterOffNow();
    SetEvent(done);
  });
  std::thread holder([&] {
    ULONG_PTR cookie = 0;
    lockLoader(0, nullptr, &cookie);
    SetEvent(locked);
    WaitForSingleObject(unlock, INFINITE);
    unlockLoader(0, cookie);
  });
  ASSERT_EQ(WaitForSingleObject(locked, 10000), WAIT_OBJECT_0);
  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0) << "the step waited for the loader's lock";
  SetEvent(unlock);
  holder.join();
  round.join();
  for (HANDLE event : {locked, unlock, go, done}) CloseHandle(event);
  EXPECT_EQ(fake().calls(), "ibconfig 7 3 11\nibwrt 7 9 \":OUTP OFF\"\nibconfig 7 3 13\n");
  closeGpibSourcemeter();
}

// The decoding of every status bit and error code is pinned by the core's
// tests; here the report reads all three from the driver.
TEST_F(GpibWithFake, TheReportDecodesTheDriversStatusThenTakesTheMeterOffline) {
  gpibDevice = fakeGpibDevice;
  fake().setStatus(gpibEnd | gpibCmpl, 2, 12);
  EXPECT_EQ(captureStdout([] { reportGpibError("ibwrt Error"); }),
            "ibwrt Error\nIbsta() = 0x2100  < END CMPL >\nIberr() = 2 ENOL <No Listener>\nIbcnt() = 12\n\n");
  EXPECT_EQ(fake().calls(), "ibonl 7 0\n");
}

TEST_F(GpibWithFake, AnEntryPointTheDriverLacksFailsLikeAMissingDriverUntilTheNextCall) {
  ASSERT_EQ(openGpibSourcemeter(18), 1);
  EXPECT_EQ(ibtrg(fakeGpibDevice), gpibErr) << "the fake has no ibtrg";
  EXPECT_EQ(gpibBindFailed, 1);
  EXPECT_EQ(Ibsta(), gpibErr);
  EXPECT_EQ(Iberr(), 0u);
  EXPECT_EQ(Ibcnt(), static_cast<unsigned long>(ERROR_PROC_NOT_FOUND));

  fake().reset();
  EXPECT_EQ(ibclr(fakeGpibDevice), gpibCmpl);
  EXPECT_EQ(gpibBindFailed, 0);
  EXPECT_EQ(Ibsta(), gpibCmpl);
  EXPECT_EQ(ibstaCopy, static_cast<int>(gpibCmpl));
}

}  // namespace
