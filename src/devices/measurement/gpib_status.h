#pragma once
// The NI-488.2 status word and error codes, and the diagnostic text printed
// after a failed bus call. Portable.

#include <string>

constexpr unsigned long gpibErr = 0x8000;   // the call failed
constexpr unsigned long gpibTimo = 0x4000;  // timed out
constexpr unsigned long gpibEnd = 0x2000;   // END or EOS seen
constexpr unsigned long gpibCmpl = 0x0100;  // I/O completed
constexpr int gpibTimeout10s = 13;          // T10s
constexpr int gpibEdvr = 0;                 // driver (system) error

// The report: the message, the status word in hexadecimal with the names of
// its bits, the error code with its name (nothing after an unknown code, so
// the count follows on the same line), the count, and an empty line.
std::string formatGpibReport(const char* message, unsigned long status, long error, unsigned long count);
