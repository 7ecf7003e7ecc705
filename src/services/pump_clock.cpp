#include "services/pump_clock.h"

#include <cmath>
#include <limits>

namespace {

constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();

}  // namespace

std::int64_t ticksForMilliseconds(std::uint64_t durationMs, std::int64_t frequency) {
  if (frequency <= 0) return 0;
  const std::uint64_t seconds = durationMs / 1000;
  const std::int64_t restMs = static_cast<std::int64_t>(durationMs % 1000);
  if (seconds > static_cast<std::uint64_t>(largest / frequency)) return largest;
  const std::int64_t whole = static_cast<std::int64_t>(seconds) * frequency;
  // restMs * frequency / 1000 without forming the product: restMs < 1000
  // keeps restMs * (frequency / 1000) below frequency.
  const std::int64_t part = restMs * (frequency / 1000) + restMs * (frequency % 1000) / 1000;
  return whole > largest - part ? largest : whole + part;
}

std::int64_t deadlineAfter(std::int64_t start, std::uint64_t durationMs, std::int64_t frequency) {
  const std::int64_t ticks = ticksForMilliseconds(durationMs, frequency);
  return start > largest - ticks ? largest : start + ticks;
}

std::int64_t millisecondsForTicks(std::int64_t ticks, std::int64_t frequency) {
  if (ticks <= 0 || frequency <= 0) return 0;
  const std::int64_t seconds = ticks / frequency;
  const std::int64_t rest = ticks % frequency;
  if (seconds > (largest - 1000) / 1000) return largest;
  // rest * 1000 / frequency rounded up: exact for any counter below 9e15 Hz.
  const std::int64_t restMs =
      frequency <= largest / 1001
          ? (rest * 1000 + frequency - 1) / frequency
          : static_cast<std::int64_t>(std::ceil(static_cast<double>(rest) / static_cast<double>(frequency) * 1000.0));
  return seconds * 1000 + restMs;
}
