#include "services/message_pump.h"

#include "services/program_state.h"
#include "ui_driver.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace {

constexpr UINT kProbe = WM_APP + 1;        // counted by the probe window
constexpr UINT kNestedProbe = WM_APP + 2;  // calls the pump from inside a dispatch

// Wall time from the high-resolution counter: the tick counter moves in
// steps of up to 16 ms, too coarse to check a wait's length.
std::uint64_t nowMs() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<std::uint64_t>(counter.QuadPart * 1000 / frequency.QuadPart);
}

int probeCount = 0, nestedResult = -1;
std::uint64_t nestedMs = 0;

LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbe) ++probeCount;
  if (message == kNestedProbe) {
    const std::uint64_t start = nowMs();
    nestedResult = pumpMessages(1000);
    nestedMs = nowMs() - start;
  }
  return message >= WM_APP ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

HWND probeWindow() {
  static HWND window = [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = probeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PumpProbe";
    RegisterClassW(&wc);
    return CreateWindowW(L"PumpProbe", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         wc.hInstance, nullptr);
  }();
  return window;
}

std::uint64_t processCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) { return ((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 10000; };
  return ms(kernel) + ms(user);
}

class MessagePump : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureTestMainWindow();
    probeWindow();
    ui::drainMessages();
    scanRunning = stopRequested = probeCount = 0;
  }
  void TearDown() override { programEnding = scanRunning = stopRequested = 0; }
};

TEST_F(MessagePump, WaitsItsFullTimeDispatchingWithoutBurningTheCpuAndNoTimeTakesNoMessage) {
  PostMessageW(probeWindow(), kProbe, 0, 0);
  EXPECT_EQ(pumpMessages(0), 1);
  EXPECT_EQ(probeCount, 0);
  const std::uint64_t cpuBefore = processCpuMs(), start = nowMs();
  EXPECT_EQ(pumpMessages(500), 1);
  const std::uint64_t wallMs = nowMs() - start, cpuMs = processCpuMs() - cpuBefore;
  EXPECT_EQ(probeCount, 1);
  EXPECT_GE(wallMs, 500u);
  EXPECT_LT(cpuMs, 150u) << "a 500 ms wait used " << cpuMs << " ms of CPU";
  EXPECT_EQ(pumpActive, 0);
  // The map scan waits 5 ms per point: the deadline is kept to the
  // millisecond even though the waits sleep, and none ends early.
  beginFineTimer();
  const std::uint64_t shortStart = nowMs();
  for (int i = 0; i < 40; ++i) pumpMessages(5);
  EXPECT_GE(nowMs() - shortStart, 200u);
  endFineTimer();
}

TEST_F(MessagePump, AClickEndsTheWaitAndDuringARunAClickOrStopAsksAndOnlyYesRequestsTheStop) {
  const struct {
    int running;
    HWND window;  // any window of the program
    UINT message;
    WPARAM wParam;
    int answer;  // 0: no question
    DWORD waitMs;
    int returned;  // 3: a click ended the wait, 0: stop requested, 1: the wait ran its time
  } cases[] = {{0, hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, 0, 5000, 3},
               {1, probeWindow(), WM_LBUTTONDOWN, MK_LBUTTON, IDNO, 20000, 3},
               {1, hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, IDYES, 20000, 0},
               {1, hMainWnd, WM_COMMAND, 32802, IDNO, 300, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.message << " running " << c.running);
    scanRunning = c.running;
    stopRequested = 0;
    std::optional<ui::DialogAnswerer> answer;
    if (c.answer) answer.emplace(L"Warning", std::vector<int>{c.answer});
    PostMessageW(c.window, c.message, c.wParam, 0);
    const std::uint64_t start = nowMs();
    EXPECT_EQ(pumpMessages(c.waitMs), c.returned);
    if (answer) {
      EXPECT_TRUE(answer->finish());
      EXPECT_EQ(ui::narrow(answer->text()), "Do you want to stop process, now ?\n");
    }
    if (c.returned == 3) { EXPECT_LT(nowMs() - start, c.waitMs * 4 / 5); }
    EXPECT_EQ(stopRequested, c.answer == IDYES ? 1 : 0);
    EXPECT_EQ(pumpActive, 0);
  }
}

TEST_F(MessagePump, NestedCallReturnsAtOnceAndIsCounted) {
  const int nestedBefore = pumpNestedCalls;
  PostMessageW(probeWindow(), kNestedProbe, 0, 0);
  EXPECT_EQ(pumpMessages(200), 1);
  EXPECT_EQ(nestedResult, 1);
  EXPECT_LT(nestedMs, 100u);
  EXPECT_EQ(pumpNestedCalls, nestedBefore + 1);
}

TEST_F(MessagePump, AQuitIsKeptForTheMainLoopAndEndsARunAsDoesTheProgramsEnd) {
  // During a run the quit (its window is gone) stops it at once, as a
  // confirmed stop would; otherwise the wait runs its time.
  for (const int running : {0, 1}) {
    scanRunning = running;
    stopRequested = 0;
    PostQuitMessage(7);
    const std::uint64_t start = nowMs();
    EXPECT_EQ(pumpMessages(running ? 5000 : 50), running ? 0 : 1);
    if (running) { EXPECT_LT(nowMs() - start, 2500u); }
    EXPECT_EQ(stopRequested, running);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
  }
  // Once the program is ending, a run's next wait ends it as a confirmed
  // stop, once (also a run that began after and cleared the stop flag); a
  // handler dispatched meanwhile, and the run's own way out, wait as usual.
  programEnding = scanRunning = 1;
  stopRequested = 0;
  PostMessageW(probeWindow(), kProbe, 0, 0);
  EXPECT_EQ(pumpMessages(5000), pumpStopConfirmed);
  EXPECT_EQ(stopRequested, 1);
  EXPECT_EQ(probeCount, 1);
  EXPECT_EQ(pumpMessages(50), pumpElapsed);
}

}  // namespace
