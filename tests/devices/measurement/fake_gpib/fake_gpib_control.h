#pragma once
// The test side of the fake GPIB driver: its fake_gpib_* controls, reached in
// the ni4882.dll that lies beside the test program.

#include "../../fake_plumbing.h"

// The settings, in words (fakeGpib().control("fail", "ibdev", 0x8000, 7, 3)):
//   reset               no replies, failures, faults or reply source; an empty log
//   reply <bytes>       the next ibrd answers these bytes, all after the blank
//                       (in the order queued); with none queued it answers nothing
//   fail <function> <status> <error> <count>   the next call of this function
//        ends with this status, error code and count (ibdev then returns -1,
//        ibrd delivers nothing)
//   fault <function> <n> <error>   the bus fails in the middle of a run: from
//        the nth next call of this function on, that call and every later
//        call of any function ends with ERR (and TIMO with error 6, EABO) and
//        this error code, and delivers nothing; a reset repairs it
struct FakeGpib {
  void (*controlWords)(const char* words);
  template <typename... Values>
  void control(const Values&... values) const { controlWords(fakes::words(values...).c_str()); }
  void reset() const { control("reset"); }
  int (*log)(char* buffer, int size);
  // Answers the reads that find no queued reply: writes one into buffer,
  // returns its length. Runs in the thread that reads.
  void (*setReplySource)(int (*source)(char* buffer, int size));
  // A watcher told of every logged call (in the calling thread, under the
  // fake's lock).
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
      {"control", "log", "set_reply_source", "watch"});
  return fake;
}
