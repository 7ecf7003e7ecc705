#pragma once
// The numeric fields of the Configuration dialog and the objective-changer
// step editor: how a typed text is read (as C "%d" and "%f" read it, through
// services/edit_number.h: "12.7" reads 12 as an integer), limited and shown
// again. A field that does not read leaves its setting unchanged. Portable:
// the dialogs themselves are Win32.

#include <string>

// A number read as readEditFloat reads it, but only a finite one: an
// infinity is no setting the instruments could take.
bool readFiniteFloat(const char* text, float& value);

// The dialogs read at most this many characters of a field (the defocus
// field excepted), so a value is shown in as many.
constexpr int dialogFieldChars = 10;

std::string formatInt(int value);          // "%d"
std::string formatFixed(double value);     // "%f"
std::string formatTenths(double value);    // "%.1f"
std::string formatShortest(double value);  // "%g"

// The bias typed in the dialog, limited as in the main window's bias field.
bool readBiasField(const char* text, float& biasV);

// The laser spot in camera pixels, limited to [0, limit] (the picture's width
// or height); false and unchanged when the text does not read.
bool readLaserSpotField(const char* text, int limit, int& spot);

// The defocus added during a map scan, limited to [-30, 30] um.
constexpr double maxDefocusUm = 30.0;
bool readDefocusField(const char* text, double& defocusUm);

// A turret travel between neighbouring objectives, read in single precision
// and limited to the changer's valid range [189, 195].
bool readChangerStepField(const char* text, double& step);
