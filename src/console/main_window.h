#pragma once
#include <windows.h>

// Registers "NerinMain" (main window, menu 109) and the plot window classes
// "Nerin", "CFI" and "IV", all with icon 141.
void registerWindowClasses(HINSTANCE instance);
// Creates and shows the main window "Nerin Station"; false when it fails.
bool createMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One message of the message loop: the accelerators (table 109) first, then
// the window it is for.
void dispatchProgramMessage(HACCEL accelerators, MSG& msg);
