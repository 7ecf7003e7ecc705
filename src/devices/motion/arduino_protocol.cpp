#include "devices/motion/arduino_protocol.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

// The firmware's letters per axis (X, Y, Z, objective changer).
constexpr char queryLetters[motorAxisCount] = {'p', 'P', 'Q', 'q'};
constexpr char moveLetters[motorAxisCount] = {'m', 'M', 'L', 'o'};
constexpr char speedLetters[motorAxisCount] = {'s', 'S', 'T', 'O'};
constexpr char accelerationLetters[motorAxisCount] = {'a', 'A', 'b', 'u'};
constexpr char zeroLetters[motorAxisCount] = {'z', 'Z', 'Y', 'y'};
constexpr char arrivalLetters[motorAxisCount] = {'X', 'Y', 'Z', 'O'};

int sign(int direction) { return direction < 0 ? -1 : 1; }

int saturatedInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);  // truncates toward zero
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string formatted(const char* format, int a, int b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

int clampMotorSetting(int value) {
  if (value < minMotorSetting) return minMotorSetting;
  if (value > maxMotorSetting) return maxMotorSetting;
  return value;
}

int stepsFromUm(int direction, double um) {
  // The multiplications in this order, so that truncation lands where the
  // board expects it.
  return saturatedInt(um * 0.2 * 4 * 8 * sign(direction));
}

double umFromSteps(int direction, double steps) { return steps * 5 / 4 / 8 / sign(direction); }

std::string motorCommand(MotorCommand command, int axis, int argument) {
  if (!isMotorAxis(axis)) return {};
  switch (command) {
    case MotorCommand::query:
      return std::string(1, queryLetters[axis]);
    case MotorCommand::zero:
      return std::string(1, zeroLetters[axis]);
    case MotorCommand::moveTo:
      return std::string(1, moveLetters[axis]) + std::to_string(argument);
    case MotorCommand::speed:
      return std::string(1, speedLetters[axis]) + std::to_string(argument);
    case MotorCommand::acceleration:
      return std::string(1, accelerationLetters[axis]) + std::to_string(argument);
  }
  return {};
}

char arrivalLetter(int axis) { return isMotorAxis(axis) ? arrivalLetters[axis] : 0; }

std::string analogOutputCommand(int pin, int level) { return formatted("G %d %d", pin, level); }

int writeAnalogOutputLine(char (&out)[analogOutputLineMax], int pin, int level) {
  char* const last = out + analogOutputLineMax;
  char* at = out;
  *at++ = 'G';
  *at++ = ' ';
  at = std::to_chars(at, last, pin).ptr;
  *at++ = ' ';
  at = std::to_chars(at, last, level).ptr;
  *at++ = '\n';
  return static_cast<int>(at - out);
}

std::string digitalOutputCommand(int pin, int value) { return formatted("D %d %d", pin, value); }

int lightLevel(double volts) {
  if (!(volts > 0.0)) return 0;  // also NaN
  if (volts >= 5.0) return 255;
  return static_cast<int>(volts / 5 * 255);
}

bool parseReplySteps(std::string_view line, int& steps) {
  std::size_t i = 0;
  while (i < line.size() && isBlank(line[i])) ++i;
  bool negative = false;
  if (i < line.size() && (line[i] == '-' || line[i] == '+')) {
    negative = line[i] == '-';
    ++i;
  }
  if (i >= line.size() || line[i] < '0' || line[i] > '9') return false;
  long long value = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    value = value * 10 + (line[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return false;
  steps = static_cast<int>(value);
  return true;
}

MoveReply classifyMoveReply(std::string_view line, int axis) {
  MoveReply reply;
  if (line.empty() || !isMotorAxis(axis)) return reply;
  if (line[0] == arrivalLetter(axis)) {
    reply.kind = MoveReply::arrived;
    if (line.size() > 1 && (line[1] == 'L' || line[1] == 'R')) reply.limit = line[1];
    return reply;
  }
  if (parseReplySteps(line, reply.steps)) reply.kind = MoveReply::position;
  return reply;
}

std::string ReplySplitter::take(std::string_view bytes, bool chunkFull) {
  std::string data = pending_;
  data.append(bytes.data(), bytes.size());
  pending_.clear();

  if (chunkFull) {
    const std::size_t lastFeed = data.rfind('\n');
    const std::size_t tailStart = lastFeed == std::string::npos ? 0 : lastFeed + 1;
    if (tailStart < data.size()) {
      pending_ = data.substr(tailStart);
      // No reply is this long; a run of bytes without any line feed is noise,
      // of which only the newest part could still begin a line.
      if (pending_.size() > replyChunkBytes) pending_.erase(0, pending_.size() - replyChunkBytes);
      data.resize(tailStart);
    }
  }

  std::string_view rest = data;
  std::string_view last;
  while (!rest.empty()) {
    const std::size_t feed = rest.find('\n');
    const std::string_view piece = rest.substr(0, feed);
    if (!piece.empty()) last = piece;
    if (feed == std::string_view::npos) break;
    rest.remove_prefix(feed + 1);
  }
  return std::string(last);
}
