// The remote control's protocol as rows of remote_protocol.scenario: what a
// request line becomes (or why it is refused), how received bytes become
// lines, the key, the replies and the command line.

#include "console/remote/remote_protocol.h"
#include "support/scenario.h"

namespace {

using scenario::Args;
using scenario::rest;
using scenario::str;

std::string value(const std::optional<double>& v) { return v ? str(*v) : "-"; }

ParsedRequest parsed;
LineFramer framer;
const std::string key = "001fa0ff000000000000000000000000";

const scenario::Steps steps = {
    // The request as the console shows it, or why it is refused.
    {"request", [](const Args& a) {
       parsed = parseRemoteRequest(rest(a, 1));
       return parsed.request ? parsed.request->shown : "refused " + parsed.error;
     }},
    // The last request's id (answered also when refused), whether its move is
    // relative, its axes and its area.
    {"fields", [](const Args&) {
       if (!parsed.request) return parsed.id ? "id " + std::to_string(*parsed.id) : std::string("no id");
       const RemoteRequest& r = *parsed.request;
       return std::to_string(r.id) + (r.relative ? " by " : " to ") + value(r.axisUm[0]) + " " + value(r.axisUm[1]) + " " +
              value(r.axisUm[2]) + " area " + str(r.area[0]) + " " + str(r.area[1]) + " " + str(r.area[2]) + " " + str(r.area[3]);
     }},
    // Where the last move takes the stage from (x y z).
    {"targets", [](const Args& a) {
       const double present[3] = {std::stod(a.at(1)), std::stod(a.at(2)), std::stod(a.at(3))};
       const MoveTargets t = moveTargets(*parsed.request, present);
       if (!t.error.empty()) return t.error;
       std::string out;
       for (int i = 0; i < 3; ++i) out += (i ? " " : "") + (t.moves[i] ? str(t.um[i]) : "-");
       return out;
     }},
    {"add", [](const Args& a) { return framer.add(rest(a, 1)), std::string(); }},
    {"add-x", [](const Args& a) { return framer.add(std::string(std::stoul(a.at(1)), 'x') + rest(a, 2)), std::string(); }},
    {"next", [](const Args&) { const auto line = framer.next(); return line ? "\"" + *line + "\"" : std::string("none"); }},
    {"overflowed", [](const Args&) { return std::string(framer.overflowed() ? "yes" : "no"); }},
    {"new-framer", [](const Args&) { return framer = LineFramer{}, std::string(); }},
    {"key-hex", [](const Args& a) {
       unsigned char bytes[remoteKeyBytes] = {};
       for (std::size_t i = 1; i < a.size(); ++i) bytes[i - 1] = static_cast<unsigned char>(std::stoul(a[i], nullptr, 16));
       return keyHex(bytes, sizeof bytes);
     }},
    {"key-line", [](const Args& a) { return std::string(keyLineMatches(rest(a, 1), key) ? "opens" : "refused"); }},
    {"empty-key", [](const Args&) { return std::string(sameKey("", "") ? "opens" : "refused"); }},
    {"reply", [](const Args& a) { return remoteReply(std::stoll(a.at(1)), {{a.at(2), a.at(3)}}); }},
    {"error", [](const Args& a) { return remoteError(a.at(1) == "-" ? std::nullopt : std::optional<std::int64_t>(std::stoll(a[1])), rest(a, 2)); }},
    {"busy", [](const Args&) { return remoteBusy(); }},
    {"run-ended", [](const Args& a) {
       RemoteRunEnd end{"map_scan", "completed", "C:\\d", "C:\\d\\Nerin.txt.json", {"C:\\d\\Nerin.txt"}, {}};
       return a.size() > 1 ? runEndFields(nullptr).dump() : remoteEvent("run_ended", runEndFields(&end));
     }},
    {"option", [](const Args& a) {
       const RemoteOption o = parseRemoteOption(Args(a.begin() + 1, a.end()));
       return std::string(o.wanted ? "on " : "off ") + std::to_string(o.port) + (o.error.empty() ? "" : " refused");
     }},
};

TEST(RemoteProtocol, Scenarios) {
  scenario::runFile(REMOTE_PROTOCOL_SCENARIO, steps);
}

}  // namespace
