// What the Arduino's serial port delivers: successive reads of at most one
// chunk each, split into lines, and each line taken as a position or an
// arrival letter of every axis. The input is a sequence of reads, each a
// length byte (taken modulo chunk + 1) followed by that many bytes.

#include "devices/motion/arduino_protocol.h"
#include "fuzz_check.h"

// "%d" as the C library reads it, where the C library is defined: a value
// within the int range.
bool readsAsC(const std::string& line, int& value) {
  const std::string text = line.c_str();  // up to a zero byte, as strtol sees it
  char* end = nullptr;
  errno = 0;
  const long long read = std::strtoll(text.c_str(), &end, 10);
  value = static_cast<int>(read);
  return end != text.c_str() && errno != ERANGE && read >= INT_MIN && read <= INT_MAX;
}

void checkLine(const std::string& line) {
  int steps = 12345, expected = 0;
  const bool read = parseReplySteps(line, steps);
  // A zero byte ends the text for strtol but not for the line: compare only
  // up to it, where both see the same characters.
  if (line.find('\0') == std::string::npos) {
    require(read == readsAsC(line, expected), "a position reads where %d reads one in range");
    require(!read || steps == expected, "the position is the one %d reads");
  }
  for (int axis = -1; axis <= motorAxisCount; ++axis) {
    const MoveReply reply = classifyMoveReply(line, axis);
    require(isMotorAxis(axis) || reply.kind == MoveReply::other, "no reply counts for an axis that is not there");
    if (!isMotorAxis(axis)) continue;
    require(reply.kind != MoveReply::arrived || line[0] == arrivalLetter(axis), "arrival only by the axis letter");
    require(reply.limit == 0 || reply.limit == 'L' || reply.limit == 'R', "a limit is L, R or none");
    const int sign = axis == motorAxisCount - 1 ? 1 : -1;
    const int back = stepsFromUm(sign, umFromSteps(sign, reply.steps));
    require(back >= reply.steps - 1 && back <= reply.steps + 1, "a position converts to um and back");
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReplySplitter splitter;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t wanted = data[at++] % (replyChunkBytes + 1);
    const std::size_t length = std::min(wanted, size - at);
    const std::string_view bytes(reinterpret_cast<const char*>(data + at), length);
    at += length;
    const std::string line = splitter.take(bytes, length == replyChunkBytes);
    require(line.find('\n') == std::string::npos, "a line holds no line feed");
    require(splitter.pending().find('\n') == std::string::npos, "the kept tail holds no line feed");
    require(splitter.pending().size() <= replyChunkBytes, "the kept tail is at most one chunk");
    checkLine(line);
  }
  return 0;
}
