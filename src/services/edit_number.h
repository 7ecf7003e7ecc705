#pragma once
// Numbers typed into edit fields, read as C's sscanf "%d" and "%f" read them
// (leading blanks, a sign, as many characters as make a number, the rest
// ignored: "2.5" reads 2 with "%d"), but without sscanf's undefined
// behaviour on out-of-range input: an integer too large for an int reads as
// the nearest int, a float too large as an infinity. NaN does not read.

// True when the text starts with a number; value is then set.
bool readEditInt(const char* text, int& value);
bool readEditFloat(const char* text, float& value);
// The same as "%lf" reads it, in double precision.
bool readEditDouble(const char* text, double& value);
