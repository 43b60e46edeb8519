// The demo's own ALSA configuration, played from a recording as scripts/demo
// plays it: the four channels the demo streams carry the whole recording,
// sample for sample as tva1 encode makes it.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/alsa/recorded_console.h"

namespace {
using nlohmann::json;
using namespace recorded_console;

TEST(DemoConsole, StreamsTheWholeRecordingSampleForSample) {
  constexpr int channels = 8, rate = 48000;
  auto frames = recording(channels, rate, rate * 2, rate / 4);
  std::string recordingPath =
      temporaryFile("demo-recording", std::string(reinterpret_cast<const char*>(frames.data()), frames.size() * 4));
  std::string configPath = configuration("demo/asound.conf", recordingPath);

  auto expected = encoded(picked(frames, channels, {0, 1, 6, 2}), 4, rate);
  ASSERT_EQ(expected.size(), 4u);
  auto result = capture({"run", "--device", "Demo Console", "--channels", "1,2,7,3"}, configPath, expected[0].size());
  std::remove(recordingPath.c_str());
  std::remove(configPath.c_str());

  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(json::parse(result.err[0].text)["deviceChannels"], 8);
  expectWholeRecording(testing_support::tva1Samples(result.out), expected);
}
}  // namespace
