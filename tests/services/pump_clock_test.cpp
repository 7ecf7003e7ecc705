#include "services/pump_clock.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();

TEST(PumpClock, DeadlinesAtSlowAndGigahertzCountersForShortAndVeryLongWaits) {
  struct Row {
    std::int64_t frequency;
    std::uint64_t durationMs;
    std::int64_t ticks;
  };
  const Row rows[] = {
      {10'000'000, 1, 10'000},
      {10'000'000, 4'000'000'000, 40'000'000'000'000},
      {3'000'000'000, 1, 3'000'000},
      {3'000'000'000, 4'000'000'000, 12'000'000'000'000'000},  // ms x Hz alone would be 1.2e19
      {3'000'000'000, std::numeric_limits<std::uint64_t>::max(), largest},  // saturates
      {3'579'545, 1'500, 5'369'317},            // the old 3.58 MHz counter, rounded down
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.frequency << " Hz, " << r.durationMs << " ms");
    EXPECT_EQ(ticksForMilliseconds(r.durationMs, r.frequency), r.ticks);
    const std::int64_t start = 123'456'789'000;
    const std::int64_t deadline = deadlineAfter(start, r.durationMs, r.frequency);
    EXPECT_EQ(deadline, r.ticks == largest ? largest : start + r.ticks);
    // Waiting out the deadline takes at least the whole duration.
    EXPECT_GE(millisecondsForTicks(deadline - start, r.frequency), static_cast<std::int64_t>(r.durationMs));
  }
  // A counter already near its end saturates instead of wrapping into the past.
  EXPECT_EQ(deadlineAfter(largest - 5, 1, 10'000'000), largest);
}

TEST(PumpClock, MillisecondsLeftRoundUpAndNeverOverflow) {
  EXPECT_EQ(millisecondsForTicks(0, 3'000'000'000), 0);
  EXPECT_EQ(millisecondsForTicks(-7, 3'000'000'000), 0);
  EXPECT_EQ(millisecondsForTicks(1, 3'000'000'000), 1);
  EXPECT_EQ(millisecondsForTicks(30'000'000, 3'000'000'000), 10);
  EXPECT_EQ(millisecondsForTicks(30'000'001, 3'000'000'000), 11);
  EXPECT_EQ(millisecondsForTicks(largest, 10'000'000), largest / 10'000'000 * 1000 + 478);
}

}  // namespace
