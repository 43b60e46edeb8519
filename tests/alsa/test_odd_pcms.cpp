// PCMs beside the common ones: rates outside the table of common rates, a
// PCM whose open never returns, and samples that are not numbers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "tests/alsa/recorded_console.h"
#include "tests/support/process_runner.h"

namespace {
using nlohmann::json;
using namespace testing_support;
using namespace recorded_console;

class OddPcms : public ::testing::Test {
 protected:
  void SetUp() override {
    // Two seconds of a 300 Hz sine at -6 dBFS at 8 kHz, with a NaN, +∞ and −∞
    // in it, then a quarter of a second of silence for the filters to settle.
    for (int i = 0; i < 16000; ++i) samples.push_back(static_cast<float>(0.5 * std::sin(6.283185307179586 * 300 * i / 8000)));
    samples.resize(18000, 0.0f);
    samples[4000] = NAN;
    samples[8000] = INFINITY;
    samples[12000] = -INFINITY;
    recordingPath = temporaryFile("recording", std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * 4));
    fifoPath = recordingPath + ".fifo";
    ASSERT_EQ(mkfifo(fifoPath.c_str(), 0600), 0);
    std::ifstream in(std::string(TAVIREL_SOURCE_DIR) + "/tests/alsa/odd-pcms.conf");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    using Mark = std::pair<std::string, std::string>;
    for (const auto& [mark, value] : {Mark{"@RECORDING@", recordingPath}, Mark{"@FIFO@", fifoPath}})
      for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark)) text.replace(at, mark.size(), value);
    configPath = temporaryFile("odd-pcms", text);
  }
  void TearDown() override {
    std::remove(recordingPath.c_str());
    std::remove(fifoPath.c_str());
    std::remove(configPath.c_str());
  }

  std::vector<float> samples;
  std::string recordingPath, fifoPath, configPath;
};

// The stuck PCM costs `list` its time limit (1 s) and little more, and is left
// out; the fixed rates outside the table are listed as they are.
TEST_F(OddPcms, AStuckPcmIsLeftOutAndFixedRatesAreListed) {
  auto began = std::chrono::steady_clock::now();
  auto result = runProcess(builtProgram("tavirel-audio"), {"list"}, {{"ALSA_CONFIG_PATH", configPath}}, "",
                           Milliseconds(10000));
  auto took = std::chrono::steady_clock::now() - began;
  EXPECT_EQ(result.exitCode, 0);
  // 1 s in a release build; a sanitizer build on a loaded machine needs more.
  EXPECT_LT(took, std::chrono::milliseconds(3000));
  auto document = json::parse(result.out, nullptr, false);
  ASSERT_TRUE(document.is_object()) << result.out;
  EXPECT_EQ(document["inputs"],
            json::parse(R"([{"name": "Phone Line", "uid": "phone", "channels": 1, "rate": 8000, "rates": [8000]},
                            {"name": "Wide Converter", "uid": "wide", "channels": 1, "rate": 384000, "rates": [384000]}])"));
}

// At 8 kHz the tone comes out at its level, each non-finite sample is one
// click of silence, and the stream is bit for bit what tva1 encode makes of
// the recording with those samples at 0, while the stuck PCM sits beside it.
TEST_F(OddPcms, APhoneLineStreamsItsToneThroughNonFiniteSamples) {
  auto zeroed = samples;
  for (auto& s : zeroed)
    if (!std::isfinite(s)) s = 0;
  auto expected = encoded(zeroed, 1, 8000);
  ASSERT_EQ(expected.size(), 1u);
  EXPECT_EQ(encoded(samples, 1, 8000), expected);
  auto result = capture({"run", "--device", "phone", "--channels", "1"}, configPath, expected[0].size());
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_GE(result.err.size(), 1u);
  EXPECT_EQ(json::parse(result.err[0].text)["rate"], 8000.0);
  auto captured = tva1Samples(result.out);
  expectWholeRecording(captured, expected);
  double sumSquares = 0;
  for (std::size_t k = 1000; k < 7000; ++k) sumSquares += std::pow(expected[0][k] / 32767.0, 2);
  EXPECT_NEAR(20 * std::log10(std::sqrt(sumSquares / 6000) / (0.5 / std::sqrt(2.0))), 0.0, 0.5);

  auto wide = capture({"run", "--device", "wide", "--channels", "1"}, configPath, 1600);
  ASSERT_GE(wide.err.size(), 1u);
  EXPECT_EQ(json::parse(wide.err[0].text)["rate"], 384000.0);
}
}  // namespace
