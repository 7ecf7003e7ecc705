#pragma once
#include <windows.h>

// The whole life of the program: start-up, the message loop and shutdown.
// Returns the exit code carried by the quit message.
int runNerinStation(HINSTANCE instance, int showCommand);

// Everything after the message loop but GDI+: the settings kept, the
// make-safe round, live video off and every device closed.
void shutDownDevices();

// Lists every device's make-safe step (in order of harm: the laser first)
// and installs the crash handlers that run them. Once; the program does it
// first thing.
void installInstrumentSafety();
