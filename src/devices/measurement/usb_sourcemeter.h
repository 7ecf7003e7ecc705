#pragma once
// The Keithley 2450 SourceMeter on USB, driven through its IVI-COM
// instrument driver: the driver object is created from its class id, opened
// on the instrument's fixed VISA resource, configured as a voltage source that
// measures current, and read one triggered measurement at a time. Every
// failure of the driver ends the operation quietly (0 from the open, 0.0 from
// a read); nothing is shown and nothing can take the program down.

// The current limit of the last configuration (A); the open uses it.
extern float usbCurrentLimit;

// Connects with bias biasV (and usbCurrentLimit). 1 when the instrument
// answered every step, 0 at the first failing one.
int openUsbSourcemeter(float biasV);

// Output on at biasV (V) on channel 1 with the current limit limitA (A).
// Stops at the first failing step, leaving the instrument partly configured.
void configureUsbSourcemeter(float biasV, float limitA);

// One measurement into the default reading buffer, fetched back: amperes, or
// 0.0 when any step fails.
float readUsbSourcemeter();

// Output off, the driver session closed, COM released. Run at exit after the
// bias was set to 0 V.
void closeUsbSourcemeter();

// Output off, if the driver was opened and not closed; nothing else (no
// report, no allocation), so that it can run from a crash handler.
void switchUsbSourcemeterOffNow();
