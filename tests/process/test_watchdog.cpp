// The watchdog on the simulated machine: what it finds, in which order, and
// when silence is noticed. Each case lasts a few seconds of real time (the
// ticks are a second apart), so each is a test of its own and ctest can run
// them side by side.
#include <gtest/gtest.h>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
constexpr Milliseconds patience(9000);

struct Ended {
  ProcessResult result;
  double startedAtMs = 0, errorAtMs = 0;
  json error;
};

// Runs with standard input open until the process ends by itself.
Ended runUntilItEnds(const json& scenario, const std::vector<std::string>& options = {"--device", "Desk"}) {
  Streaming run(scenario, options);
  Ended ended;
  ended.result = run.process.wait(patience);
  EXPECT_FALSE(ended.result.timedOut);
  if (auto* started = findEvent(ended.result, "started")) ended.startedAtMs = started->atMs;
  if (auto* error = findEvent(ended.result, "error")) {
    ended.errorAtMs = error->atMs;
    ended.error = json::parse(error->text);
  }
  EXPECT_GT(ended.startedAtMs, 0);
  return ended;
}

json deskWith(const json& changes) {
  auto device = desk();
  device.update(changes);
  return world(device);
}

TEST(Watchdog, ADeviceThatLeavesIsDisconnectedAtTheNextTick) {
  auto ended = runUntilItEnds(deskWith({{"vanishAtMs", 300}}));
  EXPECT_EQ(ended.result.exitCode, 3);
  EXPECT_EQ(ended.error, error("Audio device disconnected"));
  EXPECT_EQ(ended.result.err.size(), 2u);
  EXPECT_NEAR(ended.errorAtMs - ended.startedAtMs, 1000, 400);
}

TEST(Watchdog, ARateChangeShowsTheIntegerPart) {
  auto ended = runUntilItEnds(deskWith({{"rateChangeAtMs", 300}, {"rateChangeTo", 44100.9}}));
  EXPECT_EQ(ended.result.exitCode, 3);
  EXPECT_EQ(ended.error, error("Sample rate changed to 44100 Hz"));
  EXPECT_NEAR(ended.errorAtMs - ended.startedAtMs, 1000, 400);
}

TEST(Watchdog, ARateNoIntegerTypeHoldsIsShownInFull) {
  auto ended = runUntilItEnds(deskWith({{"rateChangeAtMs", 300}, {"rateChangeTo", 1e30}}));
  EXPECT_EQ(ended.error, error("Sample rate changed to 1000000000000000019884624838656 Hz"));
}

TEST(Watchdog, HalfAHertzPastOneIsAChange) {
  auto ended = runUntilItEnds(deskWith({{"rateChangeAtMs", 300}, {"rateChangeTo", 48001.5}}));
  EXPECT_EQ(ended.error, error("Sample rate changed to 48001 Hz"));
}

TEST(Watchdog, OneHertzIsNoChangeAndAudioKeepsFlowing) {
  Streaming run(deskWith({{"rateChangeAtMs", 100}, {"rateChangeTo", 48001}}), {"--device", "Desk"});
  EXPECT_FALSE(run.process.waitFor([](const ProcessResult& r) { return findEvent(r, "error") != nullptr; },
                                   Milliseconds(4500)));
  run.process.closeInput();
  auto result = run.process.wait(patience);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(findEvent(result, "error"), nullptr);
  EXPECT_GT(result.out.size(), 0u);
}

// All three findings hold at the fourth tick; silence could not be found at the third.
json everythingGoesWrongAt(double ms, bool vanish) {
  json changes = {{"audioStopsAtMs", 500}, {"rateChangeAtMs", ms}, {"rateChangeTo", 44100}};
  if (vanish) changes["vanishAtMs"] = ms;
  return deskWith(changes);
}

TEST(Watchdog, PresenceComesBeforeRateAndSilence) {
  auto ended = runUntilItEnds(everythingGoesWrongAt(3500, true));
  EXPECT_EQ(ended.error, error("Audio device disconnected"));
}

TEST(Watchdog, RateComesBeforeSilence) {
  auto ended = runUntilItEnds(everythingGoesWrongAt(3500, false));
  EXPECT_EQ(ended.error, error("Sample rate changed to 44100 Hz"));
}

struct Silence {
  const char* what;
  json changes;
  double lastBlockMs;  // capture time of the last processed block
};

std::ostream& operator<<(std::ostream& out, const Silence& silence) { return out << silence.what; }

class SilenceIsNoticed : public ::testing::TestWithParam<Silence> {};

TEST_P(SilenceIsNoticed, BetweenThreeAndFourSecondsAfterTheLastBlock) {
  auto& silence = GetParam();
  auto ended = runUntilItEnds(deskWith(silence.changes));
  EXPECT_EQ(ended.result.exitCode, 3);
  EXPECT_EQ(ended.error, error("No audio from device for 3 s"));
  double quiet = ended.errorAtMs - ended.startedAtMs - silence.lastBlockMs;
  EXPECT_GT(quiet, 2950);
  EXPECT_LT(quiet, 4400);  // a tick's length past 3 s, and slack for a loaded machine
}

INSTANTIATE_TEST_SUITE_P(
    Watchdog, SilenceIsNoticed,
    ::testing::Values(Silence{"audio_stops", {{"audioStopsAtMs", 500}}, 500},
                      Silence{"no_audio_at_all", {{"audioStopsAtMs", 0}}, 0},
                      Silence{"renders_fail", {{"renderStatus", -10863}, {"renderFailsAtMs", 500}}, 500},
                      Silence{"blocks_without_frames", {{"blockFrames", 0}}, 0},
                      Silence{"unreadable_rate_skips_only_the_rate_check",
                              {{"audioStopsAtMs", 500}, {"unitRate", 48000}, {"unreadable", {"rate"}}},
                              500}),
    [](const ::testing::TestParamInfo<Silence>& param) { return std::string(param.param.what); });
}  // namespace

namespace {
// The parent stops reading standard output for 5 s: frames wait for it, nothing
// is dropped, and none of it is silence. Once the parent reads again the run goes on.
TEST(Watchdog, AParentThatStopsReadingIsNotSilence) {
  auto device = desk(16);
  ScenarioFile file(world(device));
  SupportLogFile log;
  auto env = file.env();
  env.push_back(log.env());
  std::string pipeline =
      "set -o pipefail; \"$0\" run --device Desk --channels 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16 "
      "| { sleep 5; cat >/dev/null; }";
  RunningProcess run("/bin/bash", {"-c", pipeline, builtProgram("tavirel-audio-sim")}, env);
  EXPECT_FALSE(run.waitFor([](const ProcessResult& r) { return findEvent(r, "error") != nullptr; },
                           Milliseconds(7000)));
  run.closeInput();
  auto result = run.wait(Milliseconds(5000));
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(json::parse(result.err[0].text).value("event", ""), "started");
  // Five seconds of 16 channels fit the output queue: no block dropped, no gap.
  auto logged = log.text();
  EXPECT_EQ(logged.find("problem: dropped "), std::string::npos) << logged;
  EXPECT_EQ(logged.find("gap: "), std::string::npos) << logged;
}
}  // namespace
