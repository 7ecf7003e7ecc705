#include "devices/motion/arduino_protocol.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace {

TEST(ArduinoUnits, StepsCarryTheAxisSignTruncateTowardZeroAndSaturate) {
  EXPECT_EQ(stepsFromUm(-1, 1000), -6400);
  EXPECT_EQ(stepsFromUm(1, 192), 1228);   // 1228.8
  EXPECT_EQ(stepsFromUm(1, -0.2), -1);    // -1.28
  EXPECT_EQ(stepsFromUm(1, 0.05), 0);
  EXPECT_EQ(stepsFromUm(1, 1e12), INT_MAX);
  EXPECT_EQ(stepsFromUm(-1, 1e12), INT_MIN);
  EXPECT_EQ(stepsFromUm(1, std::nan("")), 0);
  EXPECT_DOUBLE_EQ(umFromSteps(-1, 1234), -192.8125);
  for (double um : {-15000.0, -100.0, 0.5, 192.0})
    EXPECT_NEAR(umFromSteps(-1, stepsFromUm(-1, um)), um, 1 / 6.4) << um;
}

TEST(ArduinoLightLevel, VoltsToLevelTruncatesAndStaysInTheOutputRange) {
  EXPECT_EQ(lightLevel(1.0), 51);
  EXPECT_EQ(lightLevel(3.0), 153);
  EXPECT_EQ(lightLevel(4.99), 254);  // 254.49
  EXPECT_EQ(lightLevel(5.0), 255);
  EXPECT_EQ(lightLevel(7.5), 255);
  EXPECT_EQ(lightLevel(-1.0), 0);
  EXPECT_EQ(lightLevel(std::nan("")), 0);
}

TEST(ArduinoReplies, NumbersAreReadLikePercentD) {
  int steps = 0;
  EXPECT_TRUE(parseReplySteps("1234\r", steps));
  EXPECT_EQ(steps, 1234);
  EXPECT_TRUE(parseReplySteps(" -56x", steps));
  EXPECT_EQ(steps, -56);
  EXPECT_TRUE(parseReplySteps("-2147483648", steps));
  EXPECT_EQ(steps, INT_MIN);
  steps = 99;
  for (const char* bad : {"", "\r", "X", "-", "2147483648", "99999999999999999999"})
    EXPECT_FALSE(parseReplySteps(bad, steps)) << bad;
  EXPECT_EQ(steps, 99);
}

TEST(ArduinoReplies, MoveRepliesAreTheAxisLetterOrAPosition) {
  EXPECT_EQ(classifyMoveReply("O\r", 3).kind, MoveReply::arrived);
  EXPECT_EQ(classifyMoveReply("O\r", 3).limit, 0);
  EXPECT_EQ(classifyMoveReply("OL", 3).limit, 'L');
  EXPECT_EQ(classifyMoveReply("XR\r", 0).limit, 'R');
  const MoveReply position = classifyMoveReply("-640\r", 0);
  EXPECT_EQ(position.kind, MoveReply::position);
  EXPECT_EQ(position.steps, -640);
  EXPECT_EQ(classifyMoveReply("X", 3).kind, MoveReply::other);  // another axis' letter
  EXPECT_EQ(classifyMoveReply("ready", 0).kind, MoveReply::other);
}

TEST(ArduinoReplies, TheLastNonEmptyLineOfAReadCounts) {
  ReplySplitter s;
  EXPECT_EQ(s.take("", false), "");
  EXPECT_EQ(s.take("1234\r", false), "1234\r");  // a pause ended the read: the line is whole
  EXPECT_EQ(s.take("100\r\n200\r\n", false), "200\r");
  EXPECT_EQ(s.take("100\n\n\n", false), "100");
}

TEST(ArduinoReplies, ALineCutByAFullReadIsCompletedByTheNext) {
  ReplySplitter s;
  std::string chunk;
  for (int i = 0; i < 8; ++i) chunk += "1280\r\n";
  chunk += "12";  // 50 bytes: the read stopped inside "1280"
  ASSERT_EQ(chunk.size(), replyChunkBytes);
  EXPECT_EQ(s.take(chunk, true), "1280\r");
  EXPECT_EQ(s.take("80\r\nX\r\n", false), "X\r");
  s.take(chunk, true);
  EXPECT_EQ(s.take("", false), "12");  // the rest never came

  // The link clears it when it sends a new command, since no reply spans two
  // commands; otherwise "12" and the next reply "-500" would read as 12.
  s.take(chunk, true);
  s.clear();
  EXPECT_EQ(s.take("-500\n", false), "-500");

  // A run without line feeds is kept only as long as a reply can be.
  for (int i = 0; i < 100; ++i) EXPECT_EQ(s.take(std::string(replyChunkBytes, '#'), true), "");
  EXPECT_LE(s.pending().size(), replyChunkBytes);
}

}  // namespace
