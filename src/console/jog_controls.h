#pragma once
// Jogging the stage from the main window: the arrow and page keys, and the
// jog pad drawn below the camera picture, whose buttons move the stage for
// as long as the left mouse button is held on them.

#include "views/jog_pad.h"

#include <windows.h>

// Page Up/Down: Z +-10 um; arrows: X, Y +-100 um; other keys move nothing.
void keyboardJog(int virtualKey);

// A left press at (x, y) of the main window: on a button, moves repeatedly
// until the button is released (anywhere: the mouse is captured meanwhile).
void jogPadPress(JogPad& pad, int x, int y);
// Ends a press and draws the buttons at rest.
void jogPadRelease(JogPad& pad);
void paintJogPad(const JogPad& pad, HDC dc);
