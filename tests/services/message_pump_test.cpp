// The message pump's waits, clicks, stops and quits, as rows of
// message_pump.scenario.

#include "services/message_pump.h"

#include "services/program_state.h"
#include "scenario.h"
#include "ui_driver.h"
#include "win_test_main_window.h"

#include <cstdint>
#include <optional>

namespace {

using scenario::Args;

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

std::uint64_t processCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) { return ((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 10000; };
  return ms(kernel) + ms(user);
}

int probeCount = 0, nestedResult = -1, nestedAtStage = 0;
std::map<std::string, std::uint64_t> tookMs;  // "wall" and "cpu" of the last wait, "nested" of the probe's

LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbe) ++probeCount;
  if (message == kNestedProbe) {
    const std::uint64_t start = nowMs();
    nestedResult = pumpMessages(1000);
    tookMs["nested"] = nowMs() - start;
  }
  return message >= WM_APP ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

HWND probeWindow() {  // a hidden top-level window of this thread
  static const HWND window = [] {
    const HWND probe = CreateWindowW(L"STATIC", L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(probe, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(probeProc));
    return probe;
  }();
  return window;
}

std::optional<ui::DialogAnswerer> answer;
const std::map<std::string, int*> flags = {{"scanRunning", &scanRunning}, {"stopRequested", &stopRequested},
                                           {"programEnding", &programEnding}, {"pumpActive", &pumpActive},
                                           {"probes", &probeCount}, {"nested", &nestedResult}};
const std::map<std::string, std::pair<UINT, WPARAM>> messages = {
    {"probe", {kProbe, 0}}, {"nested-probe", {kNestedProbe, 0}}, {"click", {WM_LBUTTONDOWN, MK_LBUTTON}},
    {"stop-command", {WM_COMMAND, 32802}}};

const scenario::Steps steps = {
    {"==", [](const Args&) {
       ensureTestMainWindow();
       probeWindow();
       ui::drainMessages();
       programEnding = scanRunning = stopRequested = probeCount = 0;
       nestedAtStage = pumpNestedCalls;
       return std::string();
     }},
    {"set", [](const Args& a) { return *flags.at(a.at(1)) = std::stoi(a.at(2)), std::string(); }},
    {"get", [](const Args& a) { return std::to_string(*flags.at(a.at(1))); }},
    // post main|probe <message>
    {"post", [](const Args& a) {
       const auto& [message, wParam] = messages.at(a.at(2));
       return std::to_string(PostMessageW(a.at(1) == "main" ? hMainWnd : probeWindow(), message, wParam, 0));
     }},
    {"quit", [](const Args& a) { return PostQuitMessage(std::stoi(a.at(1))), std::string(); }},
    // The quit kept for the main loop, taken.
    {"quit-kept", [](const Args&) {
       MSG msg;
       return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? std::to_string(msg.wParam) : "none";
     }},
    // The operator's next answer to the "Warning" question: 6 Yes, 7 No.
    {"answer", [](const Args& a) { return answer.emplace(L"Warning", std::vector<int>{std::stoi(a.at(1))}), std::string(); }},
    {"asked", [](const Args&) {
       const bool found = answer->finish();
       const std::string text = ui::narrow(answer->text());
       return answer.reset(), found ? text : "no question";
     }},
    // A wait: what it returned; its wall and CPU time are kept for the rows below.
    {"pump", [](const Args& a) {
       const std::uint64_t cpuBefore = processCpuMs(), start = nowMs();
       const int returned = pumpMessages(std::stoul(a.at(1)));
       tookMs["wall"] = nowMs() - start, tookMs["cpu"] = processCpuMs() - cpuBefore;
       return std::to_string(returned);
     }},
    {"ms", [](const Args& a) { return std::to_string(tookMs.at(a.at(1))); }},
    {"nested-calls", [](const Args&) { return std::to_string(pumpNestedCalls - nestedAtStage); }},
    // Wall time of this many waits of this length under the fine timer.
    {"fine-waits", [](const Args& a) {
       beginFineTimer();
       const std::uint64_t start = nowMs();
       for (int i = 0; i < std::stoi(a.at(1)); ++i) pumpMessages(std::stoul(a.at(2)));
       const std::uint64_t took = nowMs() - start;
       return endFineTimer(), std::to_string(took);
     }},
};

TEST(MessagePump, Scenarios) {
  scenario::runFile(MESSAGE_PUMP_SCENARIO, steps);
  programEnding = scanRunning = stopRequested = 0;
}

}  // namespace
