#pragma once
// The instruments answer in amperes; the program shows and stores
// microamperes. Portable.

// a x 1 000 000, widened to double and the product rounded to float, sign kept.
inline float amperesToMicroamperes(float amperes) { return static_cast<float>(static_cast<double>(amperes) * 1e6); }
