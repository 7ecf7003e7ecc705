// A stand-in for the NI-488.2 driver (ni4882.dll): the entry points the
// program uses and the status accessors, by the same names and calling
// convention. Every call is logged with the bytes it carried; reads are served
// from scripted replies; any call can be made to fail with a scripted status.
// The fake_gpib_* exports let a test script it in words and read the log; a whole
// program started by a test appends the log to the file named by
// FAKE_GPIB_LOG instead.

#include "../../fake_plumbing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>

#define NI488CC __stdcall

namespace {

constexpr int deviceDescriptor = 7;  // unlike 0 and 1, so a wrong descriptor shows
constexpr unsigned long cmpl = 0x0100, end = 0x2000, err = 0x8000;

struct Failure {
  std::string function;
  unsigned long status = 0, error = 0, count = 0;
};

// An access violation inside a chosen call (fake_crash.h): every entry
// point takes this guard first.
fakes::CrashPoint crash("FAKE_GPIB_CRASH");
using Guard = fakes::CrashGuard<crash>;

fakes::CallLog calls("FAKE_GPIB_LOG");
std::deque<std::string> replies;
std::deque<Failure> failures;
unsigned long statusWord = 0, errorCode = 0, byteCount = 0;
// Answers a read when no reply is queued: writes the reply into the buffer
// and returns its length (a meter whose reading follows the stage, say).
using ReplySource = int (*)(char* buffer, int size);
ReplySource replySource = nullptr;

// A whole program started by an end-to-end test cannot be given a reply
// source. With FAKE_GPIB_COUNTED_READS set, a read that finds no reply
// answers the number of reads since the last ":OUTP ON" in nanoamperes, so
// that the readings of a scan are the same in every run of it.
int readsSinceOutputOn = 0;

// A bus that fails in the middle of a run ("fault" in fake_gpib_control.h): every
// call fails with this error from the chosen one on.
fakes::ChosenCall busFault;
unsigned long busError = 0;

// The bytes as C would write them in quotes: "REN\0".
std::string quoted(const void* bytes, size_t count) {
  std::string text = "\"";
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (size_t i = 0; p && i < count; ++i) {
    const unsigned char c = p[i];
    const char* named = c == 0 ? "\\0" : c == '\n' ? "\\n" : c == '"' ? "\\\"" : c == '\\' ? "\\\\" : nullptr;
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, c < 0x20 || c >= 0x7F ? "\\x%02X" : "%c", c);
    text += named ? named : escaped;
  }
  return text + "\"";
}

// Ends a call: the scripted failure of this function if there is one (true),
// otherwise the given success status.
bool finish(const char* function, unsigned long status, unsigned long count) {
  if (busFault.failingFrom(function)) {
    // A timed-out transfer reports TIMO with its abort.
    statusWord = err | cmpl | (busError == 6 ? 0x4000ul : 0ul), errorCode = busError, byteCount = 0;
    return true;
  }
  const auto f = std::find_if(failures.begin(), failures.end(), [&](const Failure& x) { return x.function == function; });
  if (f == failures.end()) return statusWord = status, errorCode = 0, byteCount = count, false;
  statusWord = f->status, errorCode = f->error, byteCount = f->count;
  return failures.erase(f), true;
}

}  // namespace

// ---- the driver's entry points ----

FAKE_EXPORT int NI488CC ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  Guard guard;
  calls.add("ibdev %d %d %d %d %d %d", board, pad, sad, tmo, eot, eos);
  return finish("ibdev", cmpl, 0) ? -1 : deviceDescriptor;
}

FAKE_EXPORT unsigned long NI488CC ibclr(int ud) {
  Guard guard;
  return calls.add("ibclr %d", ud), finish("ibclr", cmpl, 0), statusWord;
}

FAKE_EXPORT unsigned long NI488CC ibwrt(int ud, const void* buf, size_t cnt) {
  Guard guard;
  calls.add("ibwrt %d %u %s", ud, static_cast<unsigned>(cnt), quoted(buf, cnt).c_str());
  if (buf && std::string(static_cast<const char*>(buf), cnt) == ":OUTP ON") readsSinceOutputOn = 0;
  return finish("ibwrt", cmpl, static_cast<unsigned long>(cnt)), statusWord;
}

FAKE_EXPORT unsigned long NI488CC ibconfig(int ud, int option, int v) {
  Guard guard;
  return calls.add("ibconfig %d %d %d", ud, option, v), finish("ibconfig", cmpl, 0), statusWord;
}

FAKE_EXPORT unsigned long NI488CC ibrd(int ud, void* buf, size_t cnt) {
  Guard guard;
  calls.add("ibrd %d %u", ud, static_cast<unsigned>(cnt));
  std::string reply;
  if (busFault.failsNext("ibrd")) {
    // A failing bus delivers nothing, and asks no reply source.
  } else if (!replies.empty()) {
    reply = replies.front(), replies.pop_front();
  } else if (replySource) {
    char made[128] = {};
    const int n = replySource(made, sizeof made);
    reply.assign(made, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof made))));
  } else if (!fakes::setting("FAKE_GPIB_COUNTED_READS").empty()) {
    reply = std::to_string(++readsSinceOutputOn) + ".000000E-09\n";
  }
  const size_t n = std::min(reply.size(), cnt);
  if (!finish("ibrd", end | cmpl, static_cast<unsigned long>(n)) && buf) std::memcpy(buf, reply.data(), n);
  return statusWord;
}

FAKE_EXPORT unsigned long NI488CC ibonl(int ud, int v) {
  Guard guard;
  return calls.add("ibonl %d %d", ud, v), finish("ibonl", cmpl, 0), statusWord;
}

FAKE_EXPORT unsigned long NI488CC Ibsta() { Guard guard; return statusWord; }
FAKE_EXPORT unsigned long NI488CC Iberr() { Guard guard; return errorCode; }
FAKE_EXPORT unsigned long NI488CC Ibcnt() { Guard guard; return byteCount; }
FAKE_EXPORT unsigned long NI488CC ThreadIbsta() { return Ibsta(); }
FAKE_EXPORT unsigned long NI488CC ThreadIberr() { return Iberr(); }
FAKE_EXPORT unsigned long NI488CC ThreadIbcnt() { return Ibcnt(); }

// ---- test controls ----

// One setting in words (the list is in fake_gpib_control.h).
FAKE_EXPORT void fake_gpib_control(const char* text) {
  Guard guard;
  std::string name;
  std::istringstream words = fakes::settingWords(text, name);
  Failure f;
  int atCall = 0;
  if (name == "reset") {
    calls.clear(), replies.clear(), failures.clear(), busFault.choose("", 0);
    replySource = nullptr, statusWord = errorCode = byteCount = 0;
  }
  if (name == "reply") replies.push_back(fakes::rest(words));
  if (name == "fail" && words >> f.function >> f.status >> f.error >> f.count) failures.push_back(f);
  if (name == "fault" && words >> f.function >> atCall >> busError) busFault.choose(f.function, atCall);
}

// Reads that find no queued reply ask this function (in the caller's
// thread) for theirs; null answers nothing. Cleared by the reset.
FAKE_EXPORT void fake_gpib_set_reply_source(ReplySource source) { Guard guard; replySource = source; }

FAKE_LOG_CONTROLS(fake_gpib_, calls)
