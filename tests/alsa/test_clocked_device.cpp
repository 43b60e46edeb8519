// A device whose clock runs on while the program cannot read it: the frames
// it lost are silence of their length in the stream, by the device's own
// count, and the stream keeps the device's time after it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/alsa/plugin/clocked_signal.h"
#include "tests/support/process_runner.h"
#include "tests/support/tva1_samples.h"

namespace {
using namespace testing_support;

constexpr unsigned channels = 2;

bool started(const ProcessResult& result) {
  for (const auto& event : result.events())
    if (event.is_object() && event.value("event", "") == "started") return true;
  return false;
}

// tva1 encode of the device's first `frames` frames: the stream as it would
// be had nothing been lost.
std::vector<std::vector<std::int16_t>> encodedSignal(std::uint64_t frames) {
  std::string input;
  input.reserve(frames * channels * 4);
  for (std::uint64_t frame = 0; frame < frames; ++frame)
    for (unsigned c = 0; c < channels; ++c) {
      float sample = clocked_pcm::sample(c, frame);
      input.append(reinterpret_cast<const char*>(&sample), 4);
    }
  auto encoded = runProcess(builtProgram("tva1"), {"encode", "--rate", "48000", "--channels", "2"}, {}, input);
  EXPECT_EQ(encoded.exitCode, 0);
  return tva1Samples(encoded.out);
}

// How far `captured` from `from` on sits from where `expected` has the same
// sound, in samples (the smallest difference over ±`reach`).
long offsetFrom(const std::vector<std::int16_t>& captured, const std::vector<std::int16_t>& expected, long from,
                long reach) {
  constexpr long window = 1600;
  long best = 0;
  double bestDifference = 1e300;
  for (long shift = -reach; shift <= reach; ++shift) {
    if (from + shift < 0 || from + shift + window > std::ssize(expected) || from + window > std::ssize(captured)) continue;
    double difference = 0;
    for (long i = 0; i < window; ++i) difference += std::abs(captured[from + i] - expected[from + shift + i]);
    if (difference < bestDifference) {
      bestDifference = difference;
      best = shift;
    }
  }
  return best;
}

TEST(ClockedDevice, AnOverrunIsSilenceOfTheFramesTheDeviceLostAndTimeGoesOn) {
  std::string folder = "/tmp/tavirel-clocked-" + std::to_string(getpid());
  std::string config = folder + ".conf", report = folder + ".lost";
  std::remove(report.c_str());
  std::ofstream(config) << "pcm_type.tavirelclocked { lib \"" TAVIREL_BUILD_DIR "/tests/libtavirel_test_pcm.so\" }\n"
                        << "pcm.clocked { type tavirelclocked; channels " << channels << "; report \"" << report
                        << "\"; hint { show on; description \"Clocked Desk|IOIDInput\" } }\n";
  RunningProcess capture(builtProgram("tavirel-audio"), {"run", "--device", "clocked", "--channels", "1,2"},
                         {{"ALSA_CONFIG_PATH", config}, {"TAVIREL_AUDIO_BACKEND", "alsa"}});
  ASSERT_TRUE(capture.waitFor(started, Milliseconds(5000)));
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  // Far longer than the device's buffer: it overruns while the program stands still.
  kill(capture.pid(), SIGSTOP);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(capture.pid(), SIGCONT);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  capture.closeInput();
  auto result = capture.wait(Milliseconds(5000));
  std::remove(config.c_str());
  ASSERT_EQ(result.exitCode, 0);

  std::uint64_t lost = 0;
  std::ifstream(report) >> lost;
  std::remove(report.c_str());
  ASSERT_GT(lost, 48000u / 10) << "the device never overran";

  auto captured = tva1Samples(result.out);
  ASSERT_EQ(captured.size(), channels);
  auto expected = encodedSignal(captured[0].size() * 3 + 48000);
  // Exact up to the gap, then one run of silence.
  auto differs = std::mismatch(captured[0].begin(), captured[0].end(), expected[0].begin()).first - captured[0].begin();
  ASSERT_LT(differs, std::ssize(captured[0])) << "no gap in the stream";
  EXPECT_GT(differs, 16000 / 2) << "the stream differs before the overrun";
  // The silence: the first 10 ms of zeros from there, after the filters ring out.
  std::array<std::int16_t, 160> quiet{};
  auto silenceAt = std::search(captured[0].begin() + differs, captured[0].end(), quiet.begin(), quiet.end());
  auto silent = std::find_if(silenceAt, captured[0].end(), [](std::int16_t s) { return s != 0; }) - silenceAt;
  double gapSeconds = static_cast<double>(silent) / 16000, lostSeconds = static_cast<double>(lost) / 48000;
  EXPECT_NEAR(gapSeconds, lostSeconds, 0.010) << "the device lost " << lost << " frames";
  // After the filters settle, the stream is where the device's clock is.
  long after = (silenceAt - captured[0].begin()) + silent + 200;
  for (std::size_t c = 0; c < channels; ++c) {
    long offset = offsetFrom(captured[c], expected[c], after, 480);
    EXPECT_LE(std::abs(offset), 160) << "channel " << c << ": the stream's time moved by " << offset << " samples";
  }
}
}  // namespace
