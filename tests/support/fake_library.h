#pragma once
// Shared by the fake vendor libraries: the lock that guards their state (the
// program and the test both call in), and the call log: one line per call,
// kept for the test that loaded the fake, and appended to the file named by an
// environment variable when a whole program (which the test cannot reach)
// uses the fake.

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace fakes {

// A slim reader/writer lock needs no set-up or tear-down, so nothing of it
// runs while the process detaches the library. One per fake library.
inline SRWLOCK lock = SRWLOCK_INIT;

struct Guard {
  Guard() { AcquireSRWLockExclusive(&lock); }
  ~Guard() { ReleaseSRWLockExclusive(&lock); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;
};

class CallLog {
 public:
  // Told of every call as it is logged, in the calling thread and under the
  // fake's lock: it may post messages, but must not call the fake.
  using Watcher = void (*)(const char* call);

  explicit CallLog(const char* fileVariable) : fileVariable_(fileVariable) {}

  void watch(Watcher watcher) { watcher_ = watcher; }

  void add(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    calls_.append(text).push_back('\n');
    if (watcher_) watcher_(text);
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(fileVariable_, path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    if (std::FILE* file = std::fopen(path, "ab")) {
      std::fprintf(file, "%s\n", text);
      std::fclose(file);
    }
  }

  void clear() { calls_.clear(); }

  // Copies the log (one call a line) into buffer, cut to fit, and returns its
  // whole length.
  int copy(char* buffer, int size) const {
    return std::snprintf(buffer, buffer ? static_cast<size_t>(std::max(size, 0)) : 0, "%s", calls_.c_str());
  }

 private:
  const char* fileVariable_;
  std::string calls_;  // one call a line
  Watcher watcher_ = nullptr;
};

}  // namespace fakes
