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

// One step of the operator's session, on the fake scripted so: its result,
// the calls on the bus and what it printed. The steps run in order, each
// after the state the earlier ones left.
struct Step {
  const char* reply;   // queued for the next ibrd, null: none
  const char* fails;   // this call fails once with status ERR ...
  unsigned long status, error, count;
  double (*action)();
  double result;
  const char* calls;
  std::string printed;
};

double readWith(int equipment) {
  currentEquipment = equipment;
  return readCurrent();
}

const std::string noBoard = "ibdev Error\nIbsta() = 0x8000  < ERR >\nIberr() = 7 ENEB <No GPIB board>\nIbcnt() = 3\n\n";

const Step session[] = {
    {nullptr, nullptr, 0, 0, 0, [] { return double(openGpibMultimeter(18)); }, 1,
     "ibdev 0 18 0 13 1 0\nibclr 7\nibwrt 7 4 \"REN\\0\"\nibwrt 7 4 \"F3X\\0\"\n", ""},
    // The multimeter's reading is echoed for diagnosis; a vertical tab ends
    // only the sourcemeter's reply.
    {"1.23456E-07\r\n", nullptr, 0, 0, 0, [] { return readWith(2); }, 0.123456, "ibrd 7 100\n", "1.23456E-07\r\n\n"},
    {"NDCA-002.5000E-6", nullptr, 0, 0, 0, [] { return readWith(2); }, -2.5, "ibrd 7 100\n", "NDCA-002.5000E-6\n"},
    {"\v1.23456E-07", nullptr, 0, 0, 0, [] { return readWith(2); }, 0.123456, "ibrd 7 100\n", "\v1.23456E-07\n"},
    {nullptr, nullptr, 0, 0, 0, [] { return double(openGpibSourcemeter(5)); }, 1, "ibdev 0 5 0 13 1 0\nibclr 7\n", ""},
    {nullptr, nullptr, 0, 0, 0, [] { return (configureGpibSourcemeter(0.5f, 0.0001f), 0.0); }, 0,
     "ibwrt 7 17 \":SOUR:VOLT:RANG 1\"\nibwrt 7 19 \":SOUR:VOLT 0.500000\"\nibwrt 7 24 \":SOUR:VOLT:ILIM 0.000100\"\n"
     "ibwrt 7 25 \":SENSe:FUNCtion \\\"Current\\\"\"\nibwrt 7 21 \":SENSe:Curr:RANG 1E-6\"\nibwrt 7 7 \":COUN 1\"\n"
     "ibwrt 7 8 \":OUTP ON\"\n", ""},
    {"1.23456E-07\n", nullptr, 0, 0, 0, [] { return readWith(3); }, 0.123456, "ibwrt 7 6 \":READ?\"\nibrd 7 100\n", ""},
    {"-2.50000E-06,+1.000000E+00,+9.91E+37\n", nullptr, 0, 0, 0, [] { return readWith(3); }, -2.5,
     "ibwrt 7 6 \":READ?\"\nibrd 7 100\n", ""},
    {"\v1.23456E-07", nullptr, 0, 0, 0, [] { return readWith(3); }, 0, "ibwrt 7 6 \":READ?\"\nibrd 7 100\n", ""},
    {nullptr, nullptr, 0, 0, 0, [] { return (closeGpibSourcemeter(), 0.0); }, 0,
     "ibwrt 7 9 \":OUTP OFF\"\nibonl 7 0\n", ""},
    // A failed ibdev is reported once, its descriptor taken offline, and
    // nothing else is tried.
    {nullptr, "ibdev", gpibErr, 7, 3, [] { return double(openGpibSourcemeter(18)); }, 0,
     "ibdev 0 18 0 13 1 0\nibonl -1 0\n", noBoard},
    {nullptr, "ibdev", gpibErr, 7, 3, [] { return double(openGpibMultimeter(18)); }, 0,
     "ibdev 0 18 0 13 1 0\nibonl -1 0\n", noBoard},
    {nullptr, nullptr, 0, 0, 0, [] { return double(openGpibSourcemeter(18)); }, 1, "ibdev 0 18 0 13 1 0\nibclr 7\n",
     ""},
    // A reply that never comes reads zero and takes the meter offline.
    {"1.0E-06\n", "ibrd", gpibErr | gpibTimo, 6, 0, [] { return readWith(3); }, 0,
     "ibwrt 7 6 \":READ?\"\nibrd 7 100\nibonl 7 0\n",
     "ibrd Error\nIbsta() = 0xc000  < ERR TIMO >\nIberr() = 6 EABO <Operation aborted>\nIbcnt() = 0\n\n"},
    // The driver hands that descriptor to the next instrument opened: the
    // make-safe round must not switch "its" output off.
    {nullptr, nullptr, 0, 0, 0, [] { return double(openGpibMultimeter(22)); }, 1, nullptr, ""},
    {nullptr, nullptr, 0, 0, 0, [] { return (switchGpibSourcemeterOffNow(), 0.0); }, 0, "", ""},
};

TEST(GpibWithFake, ASessionSendsTheExactBytesReadsAndReportsFailures) {
  ASSERT_TRUE(fake().complete()) << "ni4882.dll beside the test program is not the fake";
  for (const Step& step : session) {
    fake().reset();
    if (step.reply) fake().addReply(step.reply);
    if (step.fails) fake().fail(step.fails, step.status, step.error, step.count);
    double result = -1;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(captureStdout([&] { result = step.action(); }), step.printed) << step.calls;
    EXPECT_NEAR(result, step.result, 1e-6) << step.calls;
    if (step.calls) {
      EXPECT_EQ(fake().calls(), step.calls);
    }
    // The sourcemeter settles 10 ms after each command and 100 ms at the end.
    if (step.calls && std::string(step.calls).find(":OUTP ON") != std::string::npos) {
      EXPECT_GE(GetTickCount64() - start, 150u);
    }
  }
  currentEquipment = 4;
}

// The round may run in a crash handler while the crashed thread holds the
// loader's lock: it calls only what was looked up when the driver was bound.
TEST(GpibWithFake, TheMakeSafeStepNeedsNoLookupAndSetsAShortTimeOutAroundTheOutputOff) {
  ASSERT_EQ(openGpibSourcemeter(18), 1);
  fake().reset();
  using LockLoader = LONG(WINAPI*)(ULONG, ULONG*, ULONG_PTR*);
  using UnlockLoader = LONG(WINAPI*)(ULONG, ULONG_PTR);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  LockLoader lockLoader = nullptr;
  UnlockLoader unlockLoader = nullptr;
  fakes::bindControl(ntdll, "LdrLockLoaderLock", lockLoader);
  fakes::bindControl(ntdll, "LdrUnlockLoaderLock", unlockLoader);
  ASSERT_TRUE(lockLoader && unlockLoader);
  // Threads start before the lock is taken: a thread's start needs it too.
  HANDLE events[4];  // locked, go, done, unlock
  for (HANDLE& event : events) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread round([&] {
    WaitForSingleObject(events[1], INFINITE);
    switchGpibSourcemeterOffNow();
    SetEvent(events[2]);
  });
  std::thread holder([&] {
    ULONG_PTR cookie = 0;
    lockLoader(0, nullptr, &cookie);
    SetEvent(events[0]);
    WaitForSingleObject(events[3], INFINITE);
    unlockLoader(0, cookie);
  });
  ASSERT_EQ(WaitForSingleObject(events[0], 10000), WAIT_OBJECT_0);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForSingleObject(events[2], 10000), WAIT_OBJECT_0) << "the step waited for the loader's lock";
  SetEvent(events[3]);
  holder.join();
  round.join();
  for (HANDLE event : events) CloseHandle(event);
  EXPECT_EQ(fake().calls(), "ibconfig 7 3 11\nibwrt 7 9 \":OUTP OFF\"\nibconfig 7 3 13\n");
  closeGpibSourcemeter();
}

TEST(GpibWithFake, AnEntryPointTheDriverLacksFailsLikeAMissingDriverUntilTheNextCall) {
  ASSERT_EQ(openGpibSourcemeter(18), 1);
  EXPECT_EQ(ibtrg(fakeGpibDevice), gpibErr) << "the fake has no ibtrg";
  EXPECT_EQ(gpibBindFailed, 1);
  EXPECT_EQ(Ibsta(), gpibErr);
  EXPECT_EQ(Iberr(), 0u);
  EXPECT_EQ(Ibcnt(), static_cast<unsigned long>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(ibclr(fakeGpibDevice), gpibCmpl);
  EXPECT_EQ(gpibBindFailed, 0);
  EXPECT_EQ(Ibsta(), gpibCmpl);
}

}  // namespace
