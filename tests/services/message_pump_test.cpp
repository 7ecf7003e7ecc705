#include "services/message_pump.h"

#include "services/program_state.h"
#include "ui_driver.h"
#include "win_test_main_window.h"

#include <gtest/gtest.h>

#include <cstdint>

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

int probeCount = 0;
int nestedResult = -1;
std::uint64_t nestedMs = 0;

LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbe) {
    ++probeCount;
    return 0;
  }
  if (message == kNestedProbe) {
    const std::uint64_t start = nowMs();
    nestedResult = pumpMessages(1000);
    nestedMs = nowMs() - start;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND probeWindow() {
  static HWND window = [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = probeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PumpProbe";
    RegisterClassW(&wc);
    return CreateWindowW(L"PumpProbe", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
  }();
  return window;
}

std::uint64_t processCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return ((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
  };
  return ms(kernel) + ms(user);
}

void drainQueue() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

class MessagePump : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureTestMainWindow();
    probeWindow();
    drainQueue();
    scanRunning = 0;
    stopRequested = 0;
    probeCount = 0;
  }
  void TearDown() override { scanRunning = 0; }
};

TEST_F(MessagePump, ZeroDurationTakesNoMessage) {
  PostMessageW(probeWindow(), kProbe, 0, 0);
  EXPECT_EQ(pumpMessages(0), 1);
  EXPECT_EQ(probeCount, 0);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, probeWindow(), kProbe, kProbe, PM_NOREMOVE));
}

TEST_F(MessagePump, WaitsTheFullDurationDispatchingMessagesWithoutBurningTheCpu) {
  PostMessageW(probeWindow(), kProbe, 0, 0);
  const std::uint64_t cpuBefore = processCpuMs();
  const std::uint64_t start = nowMs();
  EXPECT_EQ(pumpMessages(500), 1);
  const std::uint64_t wallMs = nowMs() - start;
  const std::uint64_t cpuMs = processCpuMs() - cpuBefore;
  EXPECT_EQ(probeCount, 1);
  EXPECT_GE(wallMs, 500u);
  EXPECT_LT(cpuMs, 150u) << "a 500 ms wait used " << cpuMs << " ms of CPU";
  EXPECT_EQ(pumpActive, 0);
}

TEST_F(MessagePump, ShortWaitsLastTheirFullLength) {
  // The map scan waits 5 ms per point: the deadline is kept to the
  // millisecond even though the waits sleep, and none ends early.
  beginFineTimer();
  const std::uint64_t start = nowMs();
  for (int i = 0; i < 40; ++i) pumpMessages(5);
  const std::uint64_t wallMs = nowMs() - start;
  EXPECT_GE(wallMs, 200u);
  endFineTimer();
}

TEST_F(MessagePump, ClickWithoutARunEndsTheWaitWithoutAQuestion) {
  PostMessageW(hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  const std::uint64_t start = GetTickCount64();
  EXPECT_EQ(pumpMessages(5000), 3);
  EXPECT_LT(GetTickCount64() - start, 4000u);
  EXPECT_EQ(stopRequested, 0);
  EXPECT_EQ(pumpActive, 0);
}

TEST_F(MessagePump, AClickOrStopDuringARunAsksAndOnlyYesRequestsTheStop) {
  const struct {
    HWND window;  // any window of the program
    UINT message;
    WPARAM wParam;
    int answer;
    DWORD waitMs;
    int returned;  // 3: a click ended the wait, 0: stop requested, 1: the wait ran its time
  } cases[] = {{probeWindow(), WM_LBUTTONDOWN, MK_LBUTTON, IDNO, 20000, 3},
               {hMainWnd, WM_LBUTTONDOWN, MK_LBUTTON, IDYES, 20000, 0},
               {hMainWnd, WM_COMMAND, 32802, IDNO, 300, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    scanRunning = 1;
    stopRequested = 0;
    ui::DialogAnswerer answer(L"Warning", {c.answer});
    PostMessageW(c.window, c.message, c.wParam, 0);
    EXPECT_EQ(pumpMessages(c.waitMs), c.returned);
    ASSERT_TRUE(answer.finish());
    EXPECT_EQ(ui::narrow(answer.text()), "Do you want to stop process, now ?\n");
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

TEST_F(MessagePump, QuitMessageTakenDuringAWaitIsKeptForTheMainLoopAndEndsARun) {
  // During a run the quit (its window is gone) stops it at once, as a
  // confirmed stop would; otherwise the wait runs its time.
  for (const int running : {0, 1}) {
    scanRunning = running;
    stopRequested = 0;
    PostQuitMessage(7);
    const std::uint64_t start = nowMs();
    EXPECT_EQ(pumpMessages(running ? 5000 : 50), running ? 0 : 1);
    if (running) {
      EXPECT_LT(nowMs() - start, 2500u);
    }
    EXPECT_EQ(stopRequested, running);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
  }
  scanRunning = stopRequested = 0;
}

TEST_F(MessagePump, OnceTheProgramIsEndingARunsNextWaitEndsItAsAConfirmedStopOnce) {
  // Also a run that began after (it cleared the stop flag at its start); a
  // handler dispatched meanwhile, and the run's own way out, wait as usual.
  programEnding = 1;
  scanRunning = 1;
  stopRequested = 0;
  PostMessageW(probeWindow(), kProbe, 0, 0);
  EXPECT_EQ(pumpMessages(5000), pumpStopConfirmed);
  EXPECT_EQ(stopRequested, 1);
  EXPECT_EQ(probeCount, 1);
  EXPECT_EQ(pumpMessages(50), pumpElapsed);
  programEnding = scanRunning = stopRequested = 0;
}

}  // namespace
