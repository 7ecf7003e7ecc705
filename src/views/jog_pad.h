#pragma once
// The on-image jog pad: six drawn buttons below the camera picture that move
// the stage while the left mouse button is held on them, and the arrow and
// page keys that jog it from the keyboard. The objective change sets the
// pad's step; the main window draws and drives it. Portable: no Win32.

#include <optional>

enum JogButton { jogMinusX, jogPlusX, jogPlusY, jogMinusY, jogPlusZ, jogMinusZ, jogButtonCount };

struct JogPad {
  int jogStepUm = 10;   // X/Y step per move: 200, 100, 50, 20, 10 um for 5X .. 100X
  int videoWasOn = 0;   // live video was on when the press began
  int buttons[jogButtonCount][4] = {
      {1237, 800, 1287, 840},  // -X
      {1337, 800, 1387, 840},  // +X
      {1287, 760, 1337, 800},  // +Y
      {1287, 840, 1337, 880},  // -Y
      {1392, 780, 1442, 820},  // +Z
      {1392, 820, 1442, 860},  // -Z
  };
  int released = 0;     // the mouse button was released; ends a press
};

extern JogPad jogPad;

extern const char* const jogButtonLabels[jogButtonCount];  // "-X", "+X", "+Y", "-Y", "+Z", "-Z"

// The first button, in the order above, whose rectangle strictly contains
// the point (main-window client pixels); nothing on a border or outside.
std::optional<JogButton> jogButtonAt(const JogPad& pad, int x, int y);

enum class JogAxis { X, Y, Z };

struct JogMove {
  JogAxis axis;
  double distanceUm;
};

// One move of a held button: X and Y by the pad's step, Z by 10 um.
JogMove jogPadMove(const JogPad& pad, JogButton button);

// Windows virtual-key codes of the keys that jog.
constexpr int keyPageUp = 0x21;
constexpr int keyPageDown = 0x22;
constexpr int keyLeft = 0x25;
constexpr int keyUp = 0x26;
constexpr int keyRight = 0x27;
constexpr int keyDown = 0x28;

// Page Up/Down move Z by +-10 um, the arrows X and Y by +-100 um; every other
// key moves nothing.
std::optional<JogMove> keyJogMove(int virtualKey);
