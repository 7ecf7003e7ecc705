// The remote control's input: bytes as they arrive from a client, in
// pieces of the sizes the input's first byte chooses, cut into lines, each
// line tried as the key line and as a request, and the answer to each
// formatted. A request that is accepted holds only values the commands
// take; every answer is one JSON object on one line.

#include "console/remote/remote_protocol.h"
#include "fuzz_check.h"

const std::string key = "00112233445566778899aabbccddeeff";

bool within(const std::optional<double>& v, double low, double high) { return !v || (*v >= low && *v <= high); }

void checkRequest(const ParsedRequest& parsed) {
  require(parsed.request.has_value() != !parsed.error.empty(), "a request is either accepted or has its reason");
  if (!parsed.request) return;
  const RemoteRequest& r = *parsed.request;
  require(parsed.id && *parsed.id == r.id, "an accepted request has its id");
  for (const auto& axis : r.axisUm) require(within(axis, -30000, 30000), "moves stay within twice the travel");
  require(within(r.levelV, 0.1, 5.0), "the laser level is one the field takes");
  require(!r.value || std::isfinite(*r.value), "values are finite");
  require(within(r.onS, 0, 10000) && within(r.offS, 0, 10000) && within(r.repeat, 0, 200),
          "time-evolution values are the fields'");
  for (int i = 0; i < 4; ++i) require(r.area[i] >= 0 && r.area[i] <= (i % 2 ? 1028 : 1232), "areas lie on the picture");
  require(r.shown.find('\n') == std::string::npos, "the console shows it on one line");
}

void checkLine(const std::string& line) {
  require(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1, "one line");
  const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
  require(j.is_object() && j.contains("ok"), "an answer is a JSON object with \"ok\"");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  const std::string bytes = textOf(data + 1, size - 1);
  LineFramer framer;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    framer.add(std::string_view(bytes).substr(at, piece));
    while (const std::optional<std::string> line = framer.next()) {
      require(line->find('\n') == std::string::npos && line->size() <= maxRemoteLineBytes, "lines are bounded");
      require(!keyLineMatches(*line, key) || line->find(key) != std::string::npos, "only the key opens");
      const ParsedRequest parsed = parseRemoteRequest(*line);
      checkRequest(parsed);
      checkLine(parsed.request ? remoteReply(parsed.request->id, {{"shown", parsed.request->shown}})
                               : remoteError(parsed.id, parsed.error));
    }
  }
  return 0;
}
