// 10 000 MIDI lines as fast as the parent can write them during `run`: every
// one is answered, in order, and audio keeps coming. The rate is printed as a
// figure, not asserted.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
TEST(MidiLoad, TenThousandLinesAreAllAnsweredInOrderWhileFramesFlow) {
  constexpr int count = 10'000;
  auto scenario = world(desk());
  scenario["midi"] = {{"destinations", {"Main FX", "Lights", "Sound"}}};
  Streaming run(scenario, {"--device", "Desk", "--channels", "1,2"});
  ASSERT_TRUE(run.process.waitFor([](const ProcessResult& r) { return !r.err.empty() && !r.out.empty(); },
                                  Milliseconds(10000)));

  // Each line carries its number in its bytes; every seventh names no destination.
  std::string lines;
  for (int i = 0; i < count; ++i)
    lines += "{\"midi\": [176, " + std::to_string(i / 128) + ", " + std::to_string(i % 128) + "], \"dest\": \"" +
             (i % 7 == 6 ? "Video" : i % 2 ? "sound" : "LIGHTS") + "\"}\n";
  auto before = run.process.snapshot();
  double startMs = run.process.elapsedMs();
  run.process.write(lines);
  bool answered = run.process.waitFor(
      [&](const ProcessResult& r) { return r.err.size() >= before.err.size() + count; }, Milliseconds(60000));
  double endMs = run.process.elapsedMs();
  auto after = run.process.snapshot();
  bool stillStreaming = run.process.waitFor(
      [&](const ProcessResult& r) { return r.out.size() > after.out.size(); }, Milliseconds(5000));
  run.process.closeInput();
  auto result = run.process.wait(Milliseconds(10000));
  ASSERT_TRUE(answered);
  EXPECT_TRUE(stillStreaming);
  EXPECT_EQ(result.exitCode, 0);

  std::size_t first = before.err.size();
  ASSERT_EQ(result.err.size(), first + count);
  for (int i = 0; i < count; ++i) {
    auto event = json::parse(result.err[first + static_cast<std::size_t>(i)].text);
    if (i % 7 == 6) {
      ASSERT_EQ(event, (json{{"event", "midi-error"}, {"msg", "MIDI destination not found: Video"}})) << i;
    } else {
      ASSERT_EQ(event, (json{{"event", "midi-sent"}, {"dest", i % 2 ? "Sound" : "Lights"},
                             {"bytes", {176, i / 128, i % 128}}}))
          << i;
    }
  }
  // Frames written while the lines were handled: 2 channels of 16-bit samples at 16 kHz.
  double seconds = (endMs - startMs) / 1000.0;
  double audioSeconds = static_cast<double>(after.out.size() - before.out.size()) / (2 * 2 * 16000.0);
  std::printf("[ figures  ] %d lines answered in %.3f s: %.0f lines/s; %.3f s of audio arrived meanwhile\n", count,
              seconds, count / seconds, audioSeconds);
}
}  // namespace
