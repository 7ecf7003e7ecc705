// The USB sourcemeter through a fake of its COM driver, registered for the
// driver's class id in the test Wine prefix: the calls at their positions with
// their values, readings, and a failure at every step of the connection.

#include "devices/measurement/current_reading.h"
#include "devices/measurement/usb_sourcemeter.h"
#include "fake_keithley_control.h"
#include "services/instrument_safety.h"
#include "services/program_state.h"
#include "stdout_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// The fake lies beside the test program.
std::wstring fakeDllPath() {
  wchar_t path[MAX_PATH];
  const std::wstring program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return program.substr(0, program.find_last_of(L"\\/") + 1) + L"fake_keithley2450.dll";
}

const FakeKeithley& fake() { return fakeKeithley(fakeDllPath()); }

const std::string openCalls =
    "CreateInstance\nDriver.6(\"USB0::0x05E6::0x2450::04437886::INSTR\", -1, 0, \"\")\nDriver.10\nAcquire.3\n"
    "Driver.17\nDirectIO.5(\"*CLS\")\nDriver.4\nIdentity.6\n";

std::string configureCalls(const char* bias, const char* limit) {
  return std::string("Driver.9\nDriver.12\nMeasure.9\nSource.17(\"OutputChannel1\")\nDriver.12\nMeasure.8\n"
                     "Driver.16\nDriver.10\nDriver.17\nMeasConfig.31(0)\nMeasConfig.33(0, -1)\nSource.28(1)\n"
                     "Source.22(1, 0)\nSource.26(1, ") +
         bias + ")\nSource.39(" + limit + ")\nOutput.12(1)\n";
}

class UsbSourcemeter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registerFakeKeithley(fakeDllPath()));
    ASSERT_TRUE(fake().complete()) << "fake_keithley2450.dll is not beside the test program";
    fake().reset();
    usbCurrentLimit = 1e-5f;
    currentEquipment = 4;
  }
  void TearDown() override {
    closeUsbSourcemeter();
    unregisterFakeKeithley();
  }

  int open(float bias) {
    int opened = -1;
    printed = captureStdout([&] { opened = openUsbSourcemeter(bias); });
    return opened;
  }

  std::string printed;
};

TEST_F(UsbSourcemeter, ASessionConnectsConfiguresReadsAndLetsGoOfTheDriver) {
  EXPECT_EQ(open(0.0f), 1);
  EXPECT_EQ(fake().calls(), openCalls + configureCalls("0", "1e-05"));
  EXPECT_EQ(printed, "Instrument Manufacturer: KEITHLEY INSTRUMENTS\n");

  // A reading is one triggered measurement fetched as text.
  const struct {
    const wchar_t* text;
    float microamperes;
  } readings[] = {{L"-1.234E-06", -1.234f}, {L"+1.23456E-07\n", 0.123456f}, {L"NO READING", 0.0f}};
  for (const auto& r : readings) {
    fake().reset();
    fake().setReading(r.text);
    EXPECT_NEAR(readCurrent(), r.microamperes, 1e-6);
    EXPECT_EQ(fake().calls(), "Acquire.12(1, 0, \"defbuffer1\")\nAcquire.4\nDirectIO.5(\"*WAI\")\n"
                              "Data.4(1, 1, \"defbuffer1\", \"READ\")\n");
  }
  fake().setReading(L"-1.234E-06");
  fake().setMode("Data.4", fakeCallFails);
  EXPECT_EQ(readUsbSourcemeter(), 0.0f) << "a failed fetch reads nothing";

  // A configuration's limit is the one the next connection uses; closing
  // switches the output off, closes the session and releases every interface.
  fake().reset();
  configureUsbSourcemeter(0.25f, 0.0001f);
  closeUsbSourcemeter();
  EXPECT_EQ(fake().calls(), configureCalls("0.25", "0.0001") + "Output.12(0)\nDriver.8\n");
  EXPECT_EQ(fake().references(), 0);
  EXPECT_EQ(readUsbSourcemeter(), 0.0f) << "a read after closing reads nothing";
  fake().reset();
  EXPECT_EQ(open(0.5f), 1);
  EXPECT_EQ(fake().calls(), openCalls + configureCalls("0.5", "0.0001"));
}

// A configuration that fails where the driver hands out the output keeps
// the one held before: the make-safe round and the exit switch it off.
TEST_F(UsbSourcemeter, AFailedConfigurationKeepsTheOutputItHadForSwitchingOff) {
  for (const int mode : {fakeCallFails, fakeNoInterface}) {
    ASSERT_EQ(open(0.0f), 1);
    fake().setMode("Source.17", mode);
    configureUsbSourcemeter(0.5f, 0.0001f);
    fake().reset();
    switchUsbSourcemeterOffNow();
    closeUsbSourcemeter();
    EXPECT_EQ(fake().calls(), "Output.12(0)\nOutput.12(0)\nDriver.8\n") << "mode " << mode;
  }
}

// A step that hangs before it: the watchdog's own thread, which enters COM
// as the driver needs, switches the output off.
TEST_F(UsbSourcemeter, TheWatchdogSwitchesTheOutputOffFromItsOwnThread) {
  static const HANDLE takenOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  static const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_EQ(open(0.0f), 1);
  fake().reset();
  clearSafeSteps();
  startSafetyWatchdog([] { SetEvent(takenOver); });
  addSafeStep([] { WaitForSingleObject(release, 30000); }, 100);
  addSafeStep(switchUsbSourcemeterOffNow, 3000);
  std::thread round(makeInstrumentsSafe);
  EXPECT_EQ(WaitForSingleObject(takenOver, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(fake().calls(), "Output.12(0)\n");
  SetEvent(release);
  round.join();
  clearSafeSteps();
  liftOutputLatch();
}

TEST_F(UsbSourcemeter, AFailureAtAnyStepOfTheConnectionGivesZeroAndNoDriverConnectsNothing) {
  const struct {
    const char* call;
    int mode;
    int opened;
  } cases[] = {
      {"Driver.root", fakeNoInterface, 0}, {"Driver.6", fakeCallFails, 0},     {"Driver.10", fakeCallFails, 0},
      {"Driver.10", fakeNoInterface, 0},   {"Acquire.3", fakeCallFails, 0},    {"Driver.17", fakeCallFails, 0},
      {"DirectIO.5", fakeCallFails, 0},    {"Driver.4", fakeNoInterface, 0},   {"Driver.9", fakeNoInterface, 0},
      {"Driver.12", fakeCallFails, 0},     {"Measure.9", fakeNoInterface, 0},  {"Source.17", fakeCallFails, 0},
      {"Measure.8", fakeCallFails, 0},     {"Driver.16", fakeCallFails, 0},    {"MeasConfig.31", fakeCallFails, 0},
      {"Source.28", fakeCallFails, 0},     {"Source.22", fakeCallFails, 0},    {"Source.39", fakeCallFails, 0},
      {"Output.12", fakeCallFails, 0},
      // Results that are not examined.
      {"Identity.6", fakeCallFails, 1},    {"MeasConfig.33", fakeCallFails, 1}, {"Source.26", fakeCallFails, 1},
  };
  for (const auto& c : cases) {
    fake().reset();
    fake().setMode(c.call, c.mode);
    EXPECT_EQ(open(0.0f), c.opened) << c.call << " mode " << c.mode;
    closeUsbSourcemeter();
  }
  unregisterFakeKeithley();
  fake().reset();
  EXPECT_EQ(open(0.0f), 0);
  configureUsbSourcemeter(0.5f, 0.0001f);
  EXPECT_EQ(readUsbSourcemeter(), 0.0f);
  closeUsbSourcemeter();
  EXPECT_EQ(fake().calls(), "");
}

}  // namespace
