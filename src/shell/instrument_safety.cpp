#include "shell/instrument_safety.h"

#include <windows.h>

#include <csignal>
#include <exception>

namespace {

struct Step {
  SafeStep run;
  unsigned boundMs;
};

constexpr LONG maxSteps = 8;
Step steps[maxSteps] = {};
LONG stepCount = 0;

// The round under way. Steps are claimed one at a time, so that whoever
// goes on with a round (a nested call from a crash handler, the watchdog)
// starts after the last step claimed.
volatile LONG roundDepth = 0;
volatile LONG nextStep = 0;
volatile LONG runningStep = -1;   // watched by the watchdog; -1 none
volatile LONG64 runningSince = 0;  // GetTickCount64 at its start

HANDLE stepStarted = nullptr;  // auto-reset: wakes the watchdog at each step
void (*afterTakeover)() = nullptr;

void runClaimedSteps() {
  for (;;) {
    const LONG k = InterlockedIncrement(&nextStep) - 1;
    if (k >= stepCount) return;
    InterlockedExchange64(&runningSince, static_cast<LONG64>(GetTickCount64()));
    InterlockedExchange(&runningStep, k);
    if (stepStarted) SetEvent(stepStarted);
    steps[k].run();
    InterlockedCompareExchange(&runningStep, -1, k);
  }
}

// Sleeps until a step starts or the running one reaches its bound. A step
// past its bound is given up: the remaining steps run here, and the process
// ends, because the thread stuck in that step never returns to finish it.
DWORD WINAPI watchSteps(void*) {
  for (;;) {
    DWORD waitMs = INFINITE;
    const LONG k = runningStep;
    if (k >= 0 && k < stepCount) {
      const ULONGLONG since = static_cast<ULONGLONG>(InterlockedCompareExchange64(&runningSince, 0, 0));
      const ULONGLONG elapsed = GetTickCount64() - since;
      if (elapsed >= steps[k].boundMs) {
        InterlockedCompareExchange(&runningStep, -1, k);
        runClaimedSteps();
        if (afterTakeover) {
          afterTakeover();
        } else {
          TerminateProcess(GetCurrentProcess(), stuckStepExitCode);
        }
        continue;
      }
      waitMs = static_cast<DWORD>(steps[k].boundMs - elapsed);
    }
    WaitForSingleObject(stepStarted, waitMs);
  }
}

void endProcess(UINT exitCode) {
  makeInstrumentsSafe();
  TerminateProcess(GetCurrentProcess(), exitCode);
}

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* info) {
  const UINT code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 1;
  endProcess(code);
  return EXCEPTION_EXECUTE_HANDLER;
}

void onTerminate() { endProcess(3); }

void onAbortSignal(int) { endProcess(3); }

}  // namespace

void addSafeStep(SafeStep step, unsigned boundMs) {
  if (!step || stepCount >= maxSteps) return;
  steps[stepCount] = {step, boundMs};
  InterlockedIncrement(&stepCount);
}

void clearSafeSteps() { InterlockedExchange(&stepCount, 0); }

void makeInstrumentsSafe() {
  if (InterlockedIncrement(&roundDepth) == 1) InterlockedExchange(&nextStep, 0);
  runClaimedSteps();
  InterlockedDecrement(&roundDepth);
}

void startSafetyWatchdog(void (*ended)()) {
  afterTakeover = ended;
  if (stepStarted) return;
  stepStarted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!stepStarted) return;
  if (HANDLE thread = CreateThread(nullptr, 64 * 1024, watchSteps, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION,
                                   nullptr)) {
    CloseHandle(thread);
  }
}

void installCrashSafety() {
  startSafetyWatchdog();
  SetUnhandledExceptionFilter(onUnhandledException);
  std::set_terminate(onTerminate);
  std::signal(SIGABRT, onAbortSignal);
}
