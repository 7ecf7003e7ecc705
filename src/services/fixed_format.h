#pragma once
// printf "%f" of a float, written without printf. The map tables and the
// spectra are hundreds of thousands of these per file, and a printf call per
// value would be most of the time a save takes. The bytes are exactly those
// of the C library's "%f" on the value widened to double: six decimals,
// rounded half to even on the exact binary value, a minus sign on negative
// values (also -0.000000 for a negative value that rounds to zero).
// Magnitudes of 2^32 and above, infinities and NaNs go through snprintf.
// (Little-endian machines, default rounding mode: what the program runs on.)

#include <cstddef>
#include <string>

// A call may store scratch bytes past the end it returns, within this room;
// the next write overwrites them.
constexpr int fixedTextMaxChars = 64;

// Writes "%f" of value at out (no terminating NUL) and returns the end.
char* writeFixed6(char* out, float value);

// Writes "%f," of each of count values (as a run of "%f," fields, the way a
// map table lists a row); out needs count * fixedTextMaxChars bytes of room.
char* writeFixed6List(char* out, const float* values, int count);

// A setting's number that keeps every significant digit the float has (a
// current limit of 1.5 uA, which "%f" shows as 0.000002): "%f" when that
// reads back as the same float, otherwise the shortest "%g" that does, its
// exponent without plus sign or leading zeros ("1.5e-6"); all within
// maxChars characters, or, when no exact text fits, the most digits that do.
std::string keptDigitsText(float value, std::size_t maxChars = 32);
