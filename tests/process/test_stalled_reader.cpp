// A parent that stops reading standard output, so that a frame write blocks,
// and then asks the process to end or waits for a finding: the end waits for
// the blocked write only process::writeGrace (1 s), then comes anyway.
#include <gtest/gtest.h>

#include <thread>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
// The grace, and slack for a loaded machine.
constexpr double endWithinMs = 1000 + 1200;

// Eight channels at 16 kHz fill a pipe in a quarter of a second; by then a
// write is blocked.
void stallUntilAWriteBlocks(Streaming& run) {
  ASSERT_TRUE(run.process.waitFor([](const ProcessResult& r) { return !r.out.empty(); }, Milliseconds(10000)));
  run.process.stallOutput();
  std::this_thread::sleep_for(Milliseconds(800));
}

const std::vector<std::string> allChannels{"--device", "Desk", "--channels", "1,2,3,4,5,6,7,8"};

TEST(StalledReader, QuitEndsTheProcessWithinTheGrace) {
  Streaming run(world(desk()), allChannels);
  stallUntilAWriteBlocks(run);
  double askedMs = run.process.elapsedMs();
  run.process.write("{\"quit\": true}\n");
  auto result = run.process.wait(Milliseconds(8000));
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_LT(run.process.elapsedMs() - askedMs, endWithinMs);
}

TEST(StalledReader, EndOfInputEndsTheProcessWithinTheGrace) {
  Streaming run(world(desk()), allChannels);
  stallUntilAWriteBlocks(run);
  double askedMs = run.process.elapsedMs();
  run.process.closeInput();
  auto result = run.process.wait(Milliseconds(8000));
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_LT(run.process.elapsedMs() - askedMs, endWithinMs);
}

TEST(StalledReader, AWatchdogFindingEndsTheProcessWithinTheGrace) {
  auto device = desk();
  device["vanishAtMs"] = 1500;
  Streaming run(world(device), allChannels);
  stallUntilAWriteBlocks(run);
  auto result = run.process.wait(Milliseconds(8000));
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 3);
  auto* finding = findEvent(result, "error");
  ASSERT_NE(finding, nullptr);
  EXPECT_EQ(json::parse(finding->text), error("Audio device disconnected"));
  // The vanishing at 1.5 s, the next tick at most 1 s later, then the grace.
  EXPECT_LT(finding->atMs, 1500 + 1000 + endWithinMs);
}
}  // namespace
