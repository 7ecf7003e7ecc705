#pragma once
// What the fake vendor libraries of the instruments share: the way they
// export, the guard their entry points take, a setting that a whole program
// started by a test finds in its environment, and the call log's controls.

#include "fake_crash.h"
#include "fake_library.h"

#include <windows.h>

#include <string>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace fakes {

// The text of an environment variable, empty when it is unset. Read from the
// process's environment, not the C runtime's copy of it, which a test that
// sets a variable while it runs would not change.
inline std::string setting(const char* name) {
  char value[256];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// The guard of a fake whose entry points can be told to crash (fake_crash.h):
// each entry point takes it first, which names the entry point.
template <CrashPoint& crash>
struct CrashGuard : CrashCheck, Guard {
  explicit CrashGuard(const std::source_location& at = std::source_location::current()) : CrashCheck(crash, at) {}
};

}  // namespace fakes

// The controls of a fake's call log, under its lock: <prefix>log copies the
// calls so far, one a line, into a buffer (cut to fit) and returns the whole
// length; <prefix>clear_log empties it; <prefix>watch hands every logged call
// to a watcher (null: none), see fakes::CallLog::Watcher.
#define FAKE_LOG_CONTROLS(prefix, callLog)                                                                         \
  FAKE_EXPORT int prefix##log(char* buffer, int size) { fakes::Guard guard; return callLog.copy(buffer, size); }  \
  FAKE_EXPORT void prefix##clear_log() { fakes::Guard guard; callLog.clear(); }                                  \
  FAKE_EXPORT void prefix##watch(fakes::CallLog::Watcher watcher) { fakes::Guard guard; callLog.watch(watcher); }
