#pragma once
#include <windows.h>

// The whole life of the program: start-up, the message loop and shutdown.
// Returns the exit code carried by the quit message.
int runNerinStation(HINSTANCE instance, int showCommand);

// Lists every device's make-safe step (in order of harm: the laser first)
// and installs the crash handlers that run them. Once; the program does it
// first thing.
void installInstrumentSafety();
