#pragma once
#include <windows.h>

// The whole life of the program: start-up, the message loop and shutdown.
// Returns the exit code carried by the quit message.
int runNerinStation(HINSTANCE instance, int showCommand);
