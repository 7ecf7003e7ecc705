#pragma once
// The on-image jog pad: six drawn buttons below the camera picture that move
// the stage while the left mouse button is held on them. The objective
// change sets its step; the main window draws and drives it.

struct JogPad {
  int jogStepUm = 10;   // X/Y step per move: 200, 100, 50, 20, 10 um for 5X .. 100X
  int videoWasOn = 0;   // live video was on when the press began
  int buttons[6][4] = {
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
