#pragma once
// The test side of the fake GPIB driver: its fake_gpib_* controls, reached in
// the ni4882.dll that lies beside the test program.

#include "fake_controls.h"

#include <windows.h>

#include <string>

struct FakeGpib {
  void (*reset)();
  void (*addReplyBytes)(const char* bytes, int length);
  void (*fail)(const char* function, unsigned long status, unsigned long error, unsigned long count);
  void (*setStatus)(unsigned long status, unsigned long error, unsigned long count);
  int (*log)(char* buffer, int size);
  // Answers the reads that find no queued reply: writes one into buffer,
  // returns its length. Runs in the thread that reads.
  void (*setReplySource)(int (*source)(char* buffer, int size));
  // Fault-injection controls: the bus failing mid-run from a chosen call on,
  // and a watcher told of every logged call (in the calling thread, under
  // the fake's lock).
  void (*fault)(const char* function, int atCall, unsigned long error);
  void (*watch)(void (*watcher)(const char* call));

  bool complete() const { return reset && addReplyBytes && fail && setStatus && log && setReplySource; }

  void addReply(const std::string& bytes) const { addReplyBytes(bytes.data(), static_cast<int>(bytes.size())); }

  std::string calls() const { return fakes::readLog(log); }
};

// The descriptor the fake hands out.
constexpr int fakeGpibDevice = 7;

// The controls of the fake, or a FakeGpib with null entries when the library
// beside the program is not the fake.
inline const FakeGpib& fakeGpib() {
  static const FakeGpib fake = [] {
    FakeGpib f = {};
    HMODULE module = GetModuleHandleA("ni4882.dll");
    if (!module) module = LoadLibraryA("ni4882.dll");
    if (!module) return f;
    fakes::bindControl(module, "fake_gpib_reset", f.reset);
    fakes::bindControl(module, "fake_gpib_add_reply", f.addReplyBytes);
    fakes::bindControl(module, "fake_gpib_fail", f.fail);
    fakes::bindControl(module, "fake_gpib_set_status", f.setStatus);
    fakes::bindControl(module, "fake_gpib_log", f.log);
    fakes::bindControl(module, "fake_gpib_set_reply_source", f.setReplySource);
    fakes::bindControl(module, "fake_gpib_fault", f.fault);
    fakes::bindControl(module, "fake_gpib_watch", f.watch);
    return f;
  }();
  return fake;
}
