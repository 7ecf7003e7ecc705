// The make-safe round with steps of the test's own: what the device sides
// provide is tested with their devices (main window and end-to-end tests).

#include "shell/instrument_safety.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace {

std::mutex ranLock;
std::string ran;  // one letter per step run

void note(char step) {
  std::lock_guard<std::mutex> guard(ranLock);
  ran += step;
}

std::string steps() {
  std::lock_guard<std::mutex> guard(ranLock);
  return ran;
}

HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
HANDLE takenOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);

class InstrumentSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    clearSafeSteps();
    ran.clear();
  }
  void TearDown() override { clearSafeSteps(); }
};

TEST_F(InstrumentSafety, EveryRoundRunsEveryStepOnceInOrderAlsoWhenAStepFaults) {
  addSafeStep([] { note('1'); }, 1000);
  // A fault inside this step reaches the crash handler, which makes safe
  // again: the round goes on after the step instead of starting over.
  addSafeStep(
      [] {
        note('2');
        makeInstrumentsSafe();
        note('b');
      },
      1000);
  addSafeStep([] { note('3'); }, 1000);
  makeInstrumentsSafe();
  EXPECT_EQ(steps(), "123b");
  ran.clear();
  makeInstrumentsSafe();
  EXPECT_EQ(steps(), "123b") << "every call is a whole round";
}

TEST_F(InstrumentSafety, AStepPastItsBoundIsLeftHangingAndTheWatchdogRunsTheRest) {
  startSafetyWatchdog([] { SetEvent(takenOver); });
  addSafeStep([] { note('1'); }, 1000);
  addSafeStep(
      [] {
        note('h');
        WaitForSingleObject(release, 30000);
        note('r');
      },
      100);
  addSafeStep([] { note('3'); }, 1000);
  std::thread round(makeInstrumentsSafe);
  EXPECT_EQ(WaitForSingleObject(takenOver, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(steps(), "1h3");
  SetEvent(release);
  round.join();
  EXPECT_EQ(steps(), "1h3r") << "nothing runs twice once the stuck step comes back";
}

// Each way of ending badly in a process of its own: the steps run, and the
// process ends at once with the code of its end, no dialog waited for.
TEST(InstrumentSafetyDeathTest, CrashesTerminateAndAbortMakeSafeAndEndTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    void (*end)();
    int code;
  } ends[] = {
      {[] {
         static volatile std::uintptr_t nowhere = 16;
         *reinterpret_cast<volatile int*>(nowhere) = 0;
       },
       static_cast<int>(EXCEPTION_ACCESS_VIOLATION)},
      {[] { std::terminate(); }, 3},
      {[] { std::abort(); }, 3},
  };
  for (const auto& e : ends) {
    EXPECT_EXIT(
        {
          clearSafeSteps();
          addSafeStep(
              [] {
                DWORD written = 0;
                WriteFile(GetStdHandle(STD_ERROR_HANDLE), "made safe\n", 10, &written, nullptr);
              },
              1000);
          installCrashSafety();
          e.end();
        },
        ::testing::ExitedWithCode(e.code), "made safe");
  }
}

}  // namespace
