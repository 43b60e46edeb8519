// A MIDI line while the built program captures a virtual ALSA device, on a
// machine without a sequencer: an event, and the run goes on.
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/alsa/recorded_console.h"
#include "tests/support/process_runner.h"

namespace {
using nlohmann::json;
using namespace testing_support;

TEST(AlsaMidiRun, ALineToAnAbsentSequencerIsAnEventAndTheRunGoesOn) {
  if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this machine has a sequencer";
  std::string config = std::string(TAVIREL_SOURCE_DIR) + "/tests/alsa/capture-devices.conf";
  RunningProcess run(builtProgram("tavirel-audio"), {"run", "--device", "desk", "--channels", "1"},
                     {{"ALSA_CONFIG_PATH", config}});
  ASSERT_TRUE(run.waitFor([](const ProcessResult& r) { return !r.err.empty(); }, Milliseconds(10000)));
  run.write("{\"midi\": [144, 60, 127], \"dest\": \"Lights\"}\n");
  ASSERT_TRUE(run.waitFor([](const ProcessResult& r) { return r.err.size() >= 2; }, Milliseconds(10000)));
  auto streamed = run.snapshot().out.size();
  EXPECT_TRUE(run.waitFor([&](const ProcessResult& r) { return r.out.size() > streamed; }, Milliseconds(5000)));
  run.closeInput();
  auto result = run.wait(Milliseconds(10000));
  EXPECT_EQ(result.exitCode, 0);
  auto events = result.events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].value("event", ""), "started");
  EXPECT_EQ(events[1], (json{{"event", "midi-error"}, {"msg", "MIDI destination not found: Lights"}}));
  // The desk is a plug over the null device: one channel of silence throughout.
  recorded_console::expectWholeRecording(testing_support::tva1Samples(result.out), recorded_console::Planes(1));
}
}  // namespace
