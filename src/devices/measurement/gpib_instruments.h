#pragma once
// The two meters on the GPIB bus: a digital multimeter that measures the
// photocurrent, and a sourcemeter that applies the bias and measures the
// current (SCPI). The one that currentEquipment selects is opened at its
// address; one descriptor serves whichever was opened last. A failed bus call
// is reported on standard output and takes the descriptor offline, so later
// calls fail too (reading 0) until the meter is opened again.

extern int gpibBoardIndex;  // interface board of ibdev; always 0
extern int gpibDevice;      // descriptor of the open meter; 0 until one is opened

// 1 when the meter answered; 0 after the first failing step (reported).
int openGpibMultimeter(int primaryAddress);
int openGpibSourcemeter(int primaryAddress);

// Voltage source at biasV on the 1 V range, current limit limitA, current
// measured on the 1 uA range, one reading per trigger, output on. A failed
// command is reported and the others are still sent.
void configureGpibSourcemeter(float biasV, float limitA);

// One reading in amperes; 0.0 when the meter cannot be read.
float readGpibMultimeter();
float readGpibSourcemeter();

// Output off and the descriptor offline, at exit.
void closeGpibSourcemeter();

// The sourcemeter's descriptor from its open until its close, -1 otherwise:
// it stays open with its output on when another meter is chosen.
extern int gpibSourcemeterDevice;
// Output off on the open sourcemeter, with the bus time-out cut to 1 s, and
// nothing else: no report, no wait, no allocation, so that it can run from a
// crash handler. Nothing without one.
void switchGpibSourcemeterOffNow();

// Sends one command (without its terminating zero), reports a failure, then
// gives the meter 10 ms.
void gpibWrite(const char* text);

// After a failed bus call: prints the message and the decoded status to
// standard output (no console in normal use: diagnostic text only), then takes
// the instrument (gpibDevice) offline, so it must be opened anew. When that
// was the sourcemeter, the make-safe round forgets its descriptor: the driver
// may hand the number to another instrument later.
void reportGpibError(const char* message);
