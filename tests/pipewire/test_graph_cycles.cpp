// Which graph cycles count as missed: only those that began while the
// stream's audio thread was held up, never a cycle the graph skipped the
// stream in, nor a change of driver, rate or quantum.
#include <gtest/gtest.h>

#include "platform/linux/pw_cycles.h"

namespace {

constexpr std::int64_t awake = 2'000'000;          // the thread seen every 2 ms
constexpr std::int64_t cycleNs = 21'333'334;       // 1024 frames at 48 kHz

spa_io_clock clockAt(std::uint64_t position, std::uint64_t duration = 1024, std::uint32_t id = 30,
                     std::uint32_t rate = 48000) {
  spa_io_clock clock{};
  clock.id = id;
  clock.rate = {1, rate};
  clock.position = position;
  clock.duration = duration;
  return clock;
}

TEST(GraphCycles, OnlyCyclesThatBeganWhileTheThreadWasHeldUpAreLost) {
  CycleAnchor anchor;
  EXPECT_EQ(missedFrames(anchor, clockAt(5000), 1, awake, 48000), 0u) << "the first cycle has nothing to compare with";
  EXPECT_EQ(missedFrames(anchor, clockAt(5000 + 1024), 1, awake, 48000), 0u);
  EXPECT_EQ(missedFrames(anchor, clockAt(5000 + 4 * 1024), 1, awake, 48000), 0u)
      << "the graph skipped the stream while its thread was awake";
  EXPECT_EQ(missedFrames(anchor, clockAt(5000 + 7 * 1024), 1, 2 * cycleNs + awake, 48000), 2048u)
      << "two cycles began while the thread stood still";
  EXPECT_EQ(missedFrames(anchor, clockAt(5000 + 9 * 1024), 1, 5 * cycleNs, 48000), 1024u)
      << "never more than the position says";
  EXPECT_EQ(missedFrames(anchor, clockAt(5000 + 11 * 1024), 2, 2 * cycleNs, 48000), 0u) << "two buffers, two cycles";
}

TEST(GraphCycles, ANewDriverRateOrQuantumStartsTheCountOver) {
  constexpr std::int64_t stalled = 1'000'000'000;
  CycleAnchor anchor;
  missedFrames(anchor, clockAt(1000), 1, awake, 48000);
  EXPECT_EQ(missedFrames(anchor, clockAt(900000, 1024, 31), 1, stalled, 48000), 0u) << "another driver, another clock";
  EXPECT_EQ(missedFrames(anchor, clockAt(905000, 256, 31), 1, stalled, 48000), 0u) << "a new quantum";
  EXPECT_EQ(missedFrames(anchor, clockAt(995000, 256, 31, 44100), 1, stalled, 48000), 0u) << "a new graph rate";
  EXPECT_EQ(missedFrames(anchor, clockAt(100, 256, 31, 44100), 1, stalled, 48000), 0u) << "a clock that started over";
  EXPECT_EQ(missedFrames(anchor, clockAt(100 + 3 * 256, 256, 31, 44100), 1, stalled, 48000), 557u)
      << "counting goes on from the new anchor, in stream frames";
}

}  // namespace
