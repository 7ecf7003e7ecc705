// The remote control's protocol: what a request line becomes (or why it is
// refused), how received bytes become lines, the key, the command line.

#include "console/remote/remote_protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct Row {
  const char* line;
  const char* error;  // empty: the request is valid and is shown as `shown`
  const char* shown;
};

const Row rows[] = {
    {R"({"id": 1, "cmd": "status"})", "", "status"},
    {R"({"id": -7, "cmd": "move", "x": 100, "y": 20.5})", "", "move x=100 y=20.5"},
    {R"({"id": 2, "cmd": "move", "dz": -3})", "", "move dz=-3"},
    {R"({"id": 3, "cmd": "laser", "on": true, "level": 2.5})", "", "laser on=true level=2.5"},
    {R"({"id": 4, "cmd": "set_area", "left": 0, "top": 1028, "right": 1232, "bottom": 0})", "",
     "set_area left=0 top=1028 right=1232 bottom=0"},
    {R"({"id": 5, "cmd": "time_evolution", "on": 5.0, "off": 2, "repeat": 3})", "",
     "time_evolution on=5.0 off=2 repeat=3"},
    {R"({"id": 6, "cmd": "objective", "magnification": 50})", "", "objective magnification=50"},
    {"not json", "not JSON", ""},
    {"[1, 2]", "JSON object", ""},
    {R"({"cmd": "status"})", "\"id\"", ""},
    {R"({"id": 1.5, "cmd": "status"})", "\"id\"", ""},
    {R"({"id": 18446744073709551615, "cmd": "status"})", "\"id\"", ""},
    {R"({"id": 1, "cmd": 7})", "\"cmd\"", ""},
    {R"({"id": 1, "cmd": "fly"})", "unknown command \"fly\"", ""},
    {R"({"id": 1, "cmd": "status", "x": 1})", "status takes no field \"x\"", ""},
    {R"({"id": 1, "cmd": "move"})", "move needs one of", ""},
    {R"({"id": 1, "cmd": "move", "x": 15000.5})", "\"x\" must be a number from -15000 to 15000", ""},
    {R"({"id": 1, "cmd": "move", "z": 5001})", "\"z\" must be a number from -15000 to 5000", ""},
    {R"({"id": 1, "cmd": "move", "x": "100"})", "\"x\" must be a number", ""},
    {R"({"id": 1, "cmd": "move", "x": 1, "dy": 1})", "either x, y, z or dx, dy, dz", ""},
    {R"({"id": 1, "cmd": "laser", "on": 1})", "\"on\" must be true or false", ""},
    {R"({"id": 1, "cmd": "laser", "level": 5.01})", "\"level\" must be a number from 0.1 to 5", ""},
    {R"({"id": 1, "cmd": "lamp", "level": 3})", "lamp takes no field \"level\"", ""},
    {R"({"id": 1, "cmd": "set_bias", "volts": -10.2})", "from -10.1 to 10", ""},
    {R"({"id": 1, "cmd": "set_bias"})", "set_bias needs \"volts\"", ""},
    {R"({"id": 1, "cmd": "set_limit", "amperes": 0})", "\"amperes\" must be a number from 1e-09 to 1.05", ""},
    {R"({"id": 1, "cmd": "set_area", "left": 1, "top": 1, "right": 1233, "bottom": 5})",
     "\"right\" must be a whole number from 0 to 1232", ""},
    {R"({"id": 1, "cmd": "set_area", "left": 1, "top": 1, "right": 3})", "set_area needs \"bottom\"", ""},
    {R"({"id": 1, "cmd": "time_evolution", "on": 2.5})", "\"on\" must be a whole number", ""},
    {R"({"id": 1, "cmd": "objective", "magnification": 40})", "5, 10, 20, 50 or 100", ""},
    {R"({"id": 1, "cmd": "wait", "timeout_s": -1})", "\"timeout_s\" must be a number from 0 to 86400", ""},
};

TEST(RemoteProtocol, RequestsAreCheckedBeforeAnythingActsOnThem) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const ParsedRequest parsed = parseRemoteRequest(row.line);
    if (*row.error) {
      EXPECT_FALSE(parsed.request);
      EXPECT_NE(parsed.error.find(row.error), std::string::npos) << parsed.error;
    } else {
      ASSERT_TRUE(parsed.request) << parsed.error;
      EXPECT_EQ(parsed.request->shown, row.shown);
    }
  }
  const RemoteRequest move = *parseRemoteRequest(R"({"id": -7, "cmd": "move", "x": 100, "y": 20.5})").request;
  EXPECT_EQ(move.id, -7);
  EXPECT_FALSE(move.relative);
  EXPECT_EQ(*move.axisUm[1], 20.5);
  EXPECT_FALSE(move.axisUm[2]);
  const RemoteRequest area = *parseRemoteRequest(rows[4].line).request;
  EXPECT_EQ(area.area[1], 1028);
  EXPECT_EQ(area.area[2], 1232);
  // The id of a refused request is answered when it could be read.
  EXPECT_EQ(parseRemoteRequest(R"({"id": 9, "cmd": "fly"})").id, 9);
  EXPECT_FALSE(parseRemoteRequest("not json").id);
}

TEST(RemoteProtocol, RelativeMovesStayWithinTheTravel) {
  const double present[3] = {14990.0, 0.0, 4990.0};
  const RemoteRequest up = *parseRemoteRequest(R"({"id": 1, "cmd": "move", "dx": 10, "dz": 10})").request;
  const MoveTargets ok = moveTargets(up, present);
  EXPECT_TRUE(ok.error.empty());
  EXPECT_EQ(ok.um[0], 15000.0);
  EXPECT_FALSE(ok.moves[1]);
  const RemoteRequest beyond = *parseRemoteRequest(R"({"id": 1, "cmd": "move", "dz": 10.5})").request;
  EXPECT_EQ(moveTargets(beyond, present).error, "Z would go to 5000.5 um, beyond -15000 to 5000 um");
}

TEST(RemoteProtocol, LinesAreCutAtLineFeedsAndBounded) {
  LineFramer framer;
  framer.add("{\"a\":1}\r\n{\"b\"");
  EXPECT_EQ(framer.next(), "{\"a\":1}");
  EXPECT_FALSE(framer.next());
  framer.add(":2}\n\n");
  EXPECT_EQ(framer.next(), "{\"b\":2}");
  EXPECT_EQ(framer.next(), "");
  framer.add(std::string(maxRemoteLineBytes, 'x'));
  EXPECT_FALSE(framer.next());
  EXPECT_FALSE(framer.overflowed()) << "a line of exactly the bound is still a line";
  framer.add("x");
  EXPECT_FALSE(framer.next());
  EXPECT_TRUE(framer.overflowed());
  framer.add("\n");
  EXPECT_FALSE(framer.next()) << "nothing more after an overflow";

  LineFramer whole;  // a long line arriving with its line feed in one piece
  whole.add(std::string(maxRemoteLineBytes + 1, 'x') + "\n{}\n");
  EXPECT_FALSE(whole.next());
  EXPECT_TRUE(whole.overflowed());
}

TEST(RemoteProtocol, OnlyTheExactKeyOpensTheConnection) {
  const unsigned char bytes[remoteKeyBytes] = {0x00, 0x1f, 0xa0, 0xff};
  const std::string key = keyHex(bytes, sizeof bytes);
  EXPECT_EQ(key, "001fa0ff000000000000000000000000");
  EXPECT_TRUE(keyLineMatches(R"({"key": ")" + key + "\"}", key));
  // One digit short, one different, one more; empty, a number, another field, no object.
  for (const std::string& wrong : {R"({"key": "001fa0ff00000000000000000000000"})"s,
                                   R"({"key": "001fa0ff000000000000000000000001"})"s, R"({"key": ")" + key + "0\"}",
                                   R"({"key": ""})"s, R"({"key": 1})"s, R"({"key": ")" + key + R"(", "id": 1})",
                                   "\"" + key + "\"", "{"s})
    EXPECT_FALSE(keyLineMatches(wrong, key)) << wrong;
  EXPECT_FALSE(sameKey("", "")) << "no key opens nothing";
}

TEST(RemoteProtocol, RepliesAreOneJsonLineEach) {
  EXPECT_EQ(remoteReply(3, {{"started", "map_scan"}}), "{\"id\":3,\"ok\":true,\"started\":\"map_scan\"}\n");
  EXPECT_EQ(remoteError(std::nullopt, "a \"quoted\"\nline"),
            "{\"id\":null,\"ok\":false,\"error\":\"a \\\"quoted\\\"\\nline\"}\n");
  EXPECT_EQ(remoteError(4, "bad \xff byte"), "{\"id\":4,\"ok\":false,\"error\":\"bad \xEF\xBF\xBD byte\"}\n");
  EXPECT_EQ(remoteBusy(), "{\"ok\":false,\"error\":\"busy\"}\n");
  RemoteRunEnd end{"map_scan", "completed", "C:\\d", "C:\\d\\Nerin.txt.json", {"C:\\d\\Nerin.txt"}, {}};
  EXPECT_EQ(remoteEvent("run_ended", runEndFields(&end)),
            "{\"event\":\"run_ended\",\"kind\":\"map_scan\",\"outcome\":\"completed\",\"folder\":\"C:\\\\d\","
            "\"record\":\"C:\\\\d\\\\Nerin.txt.json\",\"files\":[\"C:\\\\d\\\\Nerin.txt\"],\"faults\":[]}\n");
  EXPECT_EQ(runEndFields(nullptr)["outcome"], nullptr);
}

TEST(RemoteProtocol, TheOptionNamesThePort) {
  struct {
    std::vector<std::string> args;
    bool wanted;
    int port;
    bool error;
  } cases[] = {
      {{}, false, defaultRemotePort, false},
      {{"--remote"}, true, defaultRemotePort, false},
      {{"x", "--remote=1"}, true, 1, false},
      {{"--remote=65535"}, true, 65535, false},
      {{"--remote=65536"}, false, defaultRemotePort, true},
      {{"--remote=0"}, false, defaultRemotePort, true},
      {{"--remote="}, false, defaultRemotePort, true},
      {{"--remote=12a"}, false, defaultRemotePort, true},
      {{"--remote=-5"}, false, defaultRemotePort, true},
      {{"--remote=7", "--remote"}, true, defaultRemotePort, false},
      {{"--remotely"}, false, defaultRemotePort, false},
  };
  for (const auto& c : cases) {
    const RemoteOption option = parseRemoteOption(c.args);
    EXPECT_EQ(option.wanted, c.wanted) << testing::PrintToString(c.args);
    EXPECT_EQ(option.port, c.port) << testing::PrintToString(c.args);
    EXPECT_EQ(!option.error.empty(), c.error) << testing::PrintToString(c.args);
  }
}

}  // namespace
