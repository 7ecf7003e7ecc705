#pragma once
// The remote control's protocol: JSON, one object per line, over a TCP
// connection to 127.0.0.1. The client's first line is {"key": "<key>"},
// answered {"ok": true} (a wrong key closes the connection); then requests
// {"id": N, "cmd": "...", ...} answered {"id": N, "ok": true, ...} or
// {"id": N, "ok": false, "error": "..."}, and events {"event": "...", ...}.
//
// Everything that comes from the network is framed, parsed and checked here
// (types, ranges, unknown fields) before the window side acts on it, so
// nothing malformed reaches a device. Portable: no Win32 here.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the remote control listens unless --remote=PORT says otherwise.
inline constexpr int defaultRemotePort = 50321;
// A line longer than this (without its line feed) closes the connection.
inline constexpr std::size_t maxRemoteLineBytes = 64 * 1024;
// A client that has not presented its key this long after connecting is closed.
inline constexpr unsigned remoteKeyWaitMs = 5000;
// The key: this many random bytes, written as twice as many hex digits.
inline constexpr std::size_t remoteKeyBytes = 16;

// ---- The command line ----

struct RemoteOption {
  bool wanted = false;
  int port = defaultRemotePort;
  std::string error;  // an option that does not read: the remote control stays off
};
// "--remote" or "--remote=PORT" (1..65535) among the program's arguments;
// the last one counts, other arguments are not the remote control's.
RemoteOption parseRemoteOption(const std::vector<std::string>& args);

// ---- Lines ----

// Cuts the received bytes into lines at "\n" (a "\r" before it is dropped).
class LineFramer {
 public:
  void add(std::string_view bytes);
  // The next complete line, if one has arrived.
  std::optional<std::string> next();
  // A line has grown beyond maxRemoteLineBytes: the connection is to close.
  bool overflowed() const { return overflowed_; }

 private:
  std::string buffer_;
  std::size_t searched_ = 0;  // bytes of buffer_ known to hold no line feed
  bool overflowed_ = false;
};

// ---- The key ----

std::string keyHex(const unsigned char* bytes, std::size_t count);
// The same text, compared in a time that depends on the lengths only.
bool sameKey(std::string_view given, std::string_view key);
// The client's first line is {"key": "<key>"} and nothing else.
bool keyLineMatches(std::string_view line, std::string_view key);

// ---- Requests ----

enum class RemoteCommand {
  status,
  move,
  laser,
  lamp,
  setBias,
  setLimit,
  setStep,
  readCurrent,
  setArea,
  objective,
  startScan,
  focus,
  wideView,
  ivSweep,
  timeEvolution,
  stop,
  wait,
  lastFiles,
};

struct RemoteRequest {
  std::int64_t id = 0;
  RemoteCommand command = RemoteCommand::status;
  std::string shown;  // the command and its fields, as the console shows it ("move x=100 y=20")
  // move: X, Y, Z in um, where to (or with relative, by how much); an
  // absent axis stays where it is.
  std::optional<double> axisUm[3];
  bool relative = false;
  // laser, lamp
  std::optional<bool> on;
  std::optional<double> levelV;
  // set_bias V, set_limit A, set_step um, iv_sweep's range V, wait's time-out s.
  std::optional<double> value;
  int area[4] = {};       // set_area: left, top, right, bottom, camera px (y downward)
  int magnification = 0;  // objective: 5, 10, 20, 50, 100
  // time_evolution, whole seconds and cycles
  std::optional<int> onS, offS, repeat;
};

struct ParsedRequest {
  std::optional<RemoteRequest> request;  // a request fit to be carried out
  std::optional<std::int64_t> id;        // the id, when it could be read
  std::string error;                     // why it is not
};
ParsedRequest parseRemoteRequest(std::string_view line);

// The runs a command starts, by the names the protocol gives them
// ("map_scan", "focus", "wide_view", "iv_sweep", "time_evolution"); null
// for a command that starts none.
const char* remoteRunName(RemoteCommand command);

// The travel the main window's position fields accept, um: a move beyond
// it is refused.
inline constexpr double stageTravelXYUm = 15000.0;
inline constexpr double stageLowestZUm = -15000.0;
inline constexpr double stageHighestZUm = 5000.0;

struct MoveTargets {
  double um[3] = {};
  bool moves[3] = {};
  std::string error;  // a target beyond the travel
};
// Where a move request sends each axis from the present position.
MoveTargets moveTargets(const RemoteRequest& request, const double presentUm[3]);

// ---- Replies and events ----

using RemoteJson = nlohmann::ordered_json;

// One line each, ending in "\n"; never throws (text that is not UTF-8 is
// replaced).
std::string remoteReply(std::int64_t id, const RemoteJson& fields);
std::string remoteError(std::optional<std::int64_t> id, std::string_view error);
std::string remoteEvent(std::string_view event, const RemoteJson& fields);
std::string remoteKeyAccepted();
std::string remoteBusy();

// What a run left: the answer of "wait" and "last_files", and the
// "run_ended" event.
struct RemoteRunEnd {
  std::string kind;     // remoteRunName
  std::string outcome;  // as its record says: "completed", "stopped by the operator", "failed"
  std::string folder;   // empty when it wrote no file
  std::string record;   // the path of its ".json" record, empty when none
  std::vector<std::string> files;
  std::vector<std::string> faults;  // what the operator was told failed
};
// Its fields; nulls for a run that never was (no run has ended yet).
RemoteJson runEndFields(const RemoteRunEnd* end);
