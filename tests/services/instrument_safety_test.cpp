// The make-safe round with steps of the test's own: what the device sides
// provide is tested with their devices (main window and end-to-end tests).

#include "services/instrument_safety.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
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
HANDLE releaseSecond = CreateEventW(nullptr, TRUE, FALSE, nullptr);
HANDLE takenOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);

class InstrumentSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    clearSafeSteps();
    ran.clear();
  }
  void TearDown() override {
    clearSafeSteps();
    liftOutputLatch();
  }
};

TEST_F(InstrumentSafety, EveryRoundRunsEveryStepOnceInOrderAlsoWhenAStepFaults) {
  addSafeStep([] { note('1'); }, 1000);
  // A fault inside this step reaches the crash handler, which makes safe
  // again: the round goes on after the step instead of starting over.
  addSafeStep([] { note('2'), makeInstrumentsSafe(), note('b'); }, 1000);
  addSafeStep([] { note('3'); }, 1000);
  makeInstrumentsSafe();
  EXPECT_EQ(steps(), "123b");
  ran.clear();
  makeInstrumentsSafe();
  EXPECT_EQ(steps(), "123b") << "every call is a whole round";
}

// The watchdog's steps run on a thread of their own, bounded like the
// owner's (the USB sourcemeter's tests show that thread enters COM).
DWORD stepThread = 0;

TEST_F(InstrumentSafety, AStepPastItsBoundIsLeftHangingAndTheWatchdogAloneRunsTheRestEachBounded) {
  startSafetyWatchdog([] { SetEvent(takenOver); });
  addSafeStep([] { note('1'); }, 1000);
  addSafeStep([] { note('h'), WaitForSingleObject(release, 30000), note('r'); }, 100);
  addSafeStep([] { note('3'), WaitForSingleObject(releaseSecond, 30000); }, 100);
  addSafeStep([] { stepThread = GetCurrentThreadId(), note('4'); }, 1000);
  DWORD roundThread = 0;
  std::thread round([&roundThread] {
    roundThread = GetCurrentThreadId();
    makeInstrumentsSafe();
    note('x');
  });
  // The stuck step comes back while the watchdog is in the next one: it
  // must not go on with the round, nor end it.
  ASSERT_TRUE(ui::eventually([] { return steps() == "1h3"; }, 10000)) << steps();
  SetEvent(release);
  EXPECT_EQ(WaitForSingleObject(takenOver, 10000), WAIT_OBJECT_0);
  round.join();
  std::string each = steps();
  EXPECT_EQ(each.back(), 'x') << each << ": the owner's thread goes on only once the round has ended";
  std::sort(each.begin(), each.end());
  EXPECT_EQ(each, "134hrx") << "each step once";
  EXPECT_NE(stepThread, roundThread);
  EXPECT_TRUE(outputsLatchedOff());
  SetEvent(releaseSecond);
}

void writeMadeSafe() {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), "made safe\n", 10, &written, nullptr);
}

// Each way of ending badly in a process of its own: the steps run, and the
// process ends at once with the code of its end, no dialog waited for.
TEST(InstrumentSafetyDeathTest, CrashesTerminateAbortAndAStuckStepMakeSafeAndEndTheProcessOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    void (*end)();
    int code;
  } ends[] = {
      // A step that comes back past its bound: the watchdog has the rest and
      // ends the process; the thread that was stuck never goes on to exit.
      {[] {
         clearSafeSteps();
         addSafeStep([] { Sleep(500); }, 100);
         addSafeStep([] { Sleep(1000), writeMadeSafe(); }, 5000);
         makeInstrumentsSafe();
       },
       static_cast<int>(stuckStepExitCode)},
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
          addSafeStep(writeMadeSafe, 1000);
          installCrashSafety();
          e.end();
        },
        ::testing::ExitedWithCode(e.code), "made safe");
  }
}

}  // namespace
