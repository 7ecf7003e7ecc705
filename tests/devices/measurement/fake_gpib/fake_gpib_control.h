#pragma once
// The test side of the fake GPIB driver: its fake_gpib_* controls, reached in
// the ni4882.dll that lies beside the test program.

#include "fake_controls.h"

struct FakeGpib {
  void (*reset)();
  void (*addReplyBytes)(const char* bytes, int length);
  void (*fail)(const char* function, unsigned long status, unsigned long error, unsigned long count);
  int (*log)(char* buffer, int size);
  // Answers the reads that find no queued reply: writes one into buffer,
  // returns its length. Runs in the thread that reads.
  void (*setReplySource)(int (*source)(char* buffer, int size));
  // Fault-injection controls: the bus failing mid-run from a chosen call on,
  // and a watcher told of every logged call (in the calling thread, under
  // the fake's lock).
  void (*fault)(const char* function, int atCall, unsigned long error);
  void (*watch)(void (*watcher)(const char* call));

  bool complete() const { return fakes::allBound(*this); }
  std::string calls() const { return fakes::readLog(log); }
};

// The descriptor the fake hands out.
constexpr int fakeGpibDevice = 7;

// The controls of the fake, or a FakeGpib with null entries when the library
// beside the program is not the fake.
inline const FakeGpib& fakeGpib() {
  static const FakeGpib fake = fakes::bindControls<FakeGpib>(
      fakes::library("ni4882.dll"), "fake_gpib_",
      {"reset", "add_reply", "fail", "log", "set_reply_source", "fault", "watch"});
  return fake;
}
