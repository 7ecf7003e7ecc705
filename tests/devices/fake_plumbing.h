#pragma once
// What the fake vendor libraries of the instruments and their test sides
// share (the fakes include nothing else of the test support): the way they
// export, the guard their entry points take, a setting that a whole program
// started by a test finds in its environment, the call log's controls, and
// the one small language in which a test configures any of them: a setting
// in words, "colour 200 100 100 50", handed to the fake's <prefix>control.

#include "fake_chosen_call.h"
#include "fake_controls.h"
#include "fake_crash.h"
#include "fake_library.h"

#include <windows.h>

#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>

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

// A setting in words as the fake reads it, "colour 200 100 100 50": its
// name, and the stream of its values for >> (whole numbers may be written in
// hex, 0x8000).
inline std::istringstream settingWords(const char* text, std::string& name) {
  std::istringstream words(text ? text : "");
  words >> std::setbase(0) >> name;
  return words;
}

// The rest of a setting after the next blank, as it stands: a reply with its
// own blanks and line ends.
inline std::string rest(std::istream& words) {
  words.get();
  return std::string(std::istreambuf_iterator<char>(words), {});
}

// A setting in words as the test writes it: the values joined by blanks,
// real numbers in full.
template <typename... Values>
std::string words(const Values&... values) {
  std::ostringstream out;
  out.precision(17);
  const char* blank = "";
  ((out << std::exchange(blank, " ") << values), ...);
  return out.str();
}

}  // namespace fakes

// The controls of a fake's call log, under its lock: <prefix>log copies the
// calls so far, one a line, into a buffer (cut to fit) and returns the whole
// length; <prefix>clear_log empties it; <prefix>watch hands every logged call
// to a watcher (null: none), see fakes::CallLog::Watcher.
#define FAKE_LOG_CONTROLS(prefix, callLog)                                                                         \
  FAKE_EXPORT int prefix##log(char* buffer, int size) { fakes::Guard guard; return callLog.copy(buffer, size); }  \
  FAKE_EXPORT void prefix##clear_log() { fakes::Guard guard; callLog.clear(); }                                  \
  FAKE_EXPORT void prefix##watch(fakes::CallLog::Watcher watcher) { fakes::Guard guard; callLog.watch(watcher); }
