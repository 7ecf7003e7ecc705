#pragma once
// What the numeric edit fields of the main window make of the text typed
// into them: the number in the field's format, limited to its range, and the
// working-distance question of the Z field. Portable: no Win32.

#include <optional>
#include <string>

// The range of a bias typed into the main window's field or the
// Configuration dialog, V.
constexpr double minBiasV = -10.1;
constexpr double maxBiasV = 10.0;

// A field is read into a buffer of 10 characters: at most 9 and the end.
constexpr int editFieldTextCapacity = 10;

// A guarded field acts only on a number: an empty text, or one that does not
// begin with an integer, gives nothing. A number is limited to [low, high].
std::optional<int> guardedIntField(const char* text, int low, int high);

// A guarded number read in double precision ("%lf").
std::optional<double> guardedDoubleField(const char* text, double low, double high);

// The other fields act on every Enter. A text that does not begin with a
// number applies the value in force (fallback), so a slip of the finger
// changes no setting; either way the result is limited to [low, high].
int intFieldOr(const char* text, int fallback, int low, int high);
// The same for a field read as a single-precision number ("%f"). A text
// reading "nan" counts as no number.
double floatFieldOr(const char* text, double fallback, double low, double high);

// A typed Z that rises this much or more above the present position asks
// first whether the objective's working distance allows it.
constexpr double zWarningRiseUm = 2000.0;
bool zMoveNeedsWarning(int targetUm, double presentUm);
// The question, with the objective's working distance in um.
std::string zWarningText(int targetUm, double workingDistanceUm);
