#pragma once
// The counter arithmetic of the message pump's waits. The high-resolution
// counter runs at anything from a few MHz to several GHz and a wait may be
// asked for up to 2^32 ms, so milliseconds times frequency does not fit 64
// bits: these work in whole seconds plus the rest and saturate instead.
// Portable, so it is unit-tested natively.

#include <cstdint>

// Counter ticks in durationMs at frequency ticks per second (rounded down),
// or the largest int64 when that many do not fit.
std::int64_t ticksForMilliseconds(std::uint64_t durationMs, std::int64_t frequency);

// The counter value durationMs after start; the largest int64 when it lies
// beyond it.
std::int64_t deadlineAfter(std::int64_t start, std::uint64_t durationMs, std::int64_t frequency);

// Whole milliseconds in ticks, rounded up so that a wait never ends early; 0
// for no ticks, the largest int64 when they do not fit.
std::int64_t millisecondsForTicks(std::int64_t ticks, std::int64_t frequency);
