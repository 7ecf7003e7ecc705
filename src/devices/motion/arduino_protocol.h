#pragma once
// The Arduino's line protocol, without the serial port: the command texts of
// the four motor axes and the two outputs, the step/um conversion, the
// setting clamps, the light level of a control voltage, and the reading of
// replies (splitting the bytes of one read into lines, taking a number or an
// arrival letter from a line). Portable; the port itself is in
// devices/motion/arduino_link.*.

#include <cstddef>
#include <string>
#include <string_view>

// Motor axes of the board: 0 = X, 1 = Y, 2 = Z, 3 = objective changer.
constexpr int motorAxisCount = 4;
inline bool isMotorAxis(int axis) { return axis >= 0 && axis < motorAxisCount; }

// At most this many bytes are taken from the port in one read.
constexpr std::size_t replyChunkBytes = 50;

// Speeds (um/s) and accelerations sent to the board stay within these.
constexpr int minMotorSetting = 1;
constexpr int maxMotorSetting = 5000;
int clampMotorSetting(int value);

// 6.4 motor steps per micrometre, with the axis' sign (`direction`, +1 or -1).
// Truncates toward zero; a value beyond the int range (or NaN) saturates
// (NaN gives 0) instead of overflowing.
int stepsFromUm(int direction, double um);
double umFromSteps(int direction, double steps);

enum class MotorCommand { query, moveTo, speed, acceleration, zero };

// The command text (without its line feed), for example "s-6400" or "q";
// empty for an axis outside 0..3.
std::string motorCommand(MotorCommand command, int axis, int argument = 0);

// The letter the board sends when a move of the axis ends: 'X', 'Y', 'Z',
// and 'O' for the objective changer; 0 for an axis outside 0..3.
char arrivalLetter(int axis);

std::string analogOutputCommand(int pin, int level);   // "G %d %d"
// The same command with its line feed, written into out without allocating
// (for the make-safe round); returns the length.
constexpr int analogOutputLineMax = 32;
int writeAnalogOutputLine(char (&out)[analogOutputLineMax], int pin, int level);
std::string digitalOutputCommand(int pin, int value);  // "D %d %d"

// Output level 0..255 of a control voltage of 0..5 V: trunc(V / 5 * 255).
// Voltages outside 0..5 give the nearest end of the range.
int lightLevel(double volts);

// The decimal number a reply line begins with (after blanks), as "%d" would
// read it; false when there is none or it does not fit an int. Anything after
// the digits, a carriage return for example, is ignored.
bool parseReplySteps(std::string_view line, int& steps);

// One line received while a move is waited for.
struct MoveReply {
  enum Kind { other, position, arrived };
  Kind kind = other;
  int steps = 0;    // position: the reported step count
  char limit = 0;   // arrived: 'L' or 'R' when the move ended on a limit switch
};
MoveReply classifyMoveReply(std::string_view line, int axis);

// Splits the bytes of successive reads into lines at line feeds and gives the
// last non-empty one of each read (carriage returns stay). A read that filled
// the whole chunk may have stopped in the middle of a line, so its unfinished
// tail is kept and completed by the next read instead of being taken as a
// line of its own; a shorter read ended on a pause of the board, so its tail
// is a whole line.
class ReplySplitter {
 public:
  std::string take(std::string_view bytes, bool chunkFull);
  void clear() { pending_.clear(); }
  const std::string& pending() const { return pending_; }

 private:
  std::string pending_;
};
