#include "tests/alsa/recorded_console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace recorded_console {
using namespace testing_support;

std::vector<float> recording(int channels, int rate, int soundFrames, int silentFrames) {
  std::vector<float> frames(static_cast<std::size_t>(channels) * (soundFrames + silentFrames), 0.0f);
  for (int frame = 0; frame < soundFrames; ++frame)
    for (int channel = 0; channel < channels; ++channel) {
      double tone = 0.4 / (channel + 1) * std::sin(2 * M_PI * 150.0 * (channel + 1) * frame / rate);
      std::uint32_t x = static_cast<std::uint32_t>(frame) * 2654435761u + static_cast<std::uint32_t>(channel) * 40503u;
      frames[static_cast<std::size_t>(frame) * channels + channel] =
          static_cast<float>(tone + (static_cast<double>(x % 1000) - 500.0) * 1e-5);
    }
  return frames;
}

std::vector<float> picked(const std::vector<float>& interleaved, int channels, const std::vector<int>& chosen) {
  std::vector<float> out;
  for (std::size_t at = 0; at + channels <= interleaved.size(); at += channels)
    for (int channel : chosen) out.push_back(interleaved[at + channel]);
  return out;
}

std::string temporaryFile(const char* stem, const std::string& bytes) {
  std::string path = std::string("/tmp/tavirel-") + stem + "-XXXXXX";
  int fd = mkstemp(path.data());
  if (fd >= 0) close(fd);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string configuration(const std::string& sourcePath, const std::string& recordingPath) {
  std::ifstream source(std::string(TAVIREL_SOURCE_DIR) + "/" + sourcePath);
  std::stringstream text;
  text << source.rdbuf();
  std::string config = text.str();
  auto at = config.find("@RECORDING@", config.find("infile"));
  EXPECT_NE(at, std::string::npos) << sourcePath;
  if (at != std::string::npos) config.replace(at, 11, recordingPath);
  return temporaryFile("alsa-conf", config);
}

namespace {
// Visits the complete frames of a stream: fn(channels, samples, first plane).
template <typename Visit>
void eachFrame(const std::string& stream, Visit visit) {
  std::size_t at = 0;
  while (at + 9 <= stream.size()) {
    std::size_t count = static_cast<unsigned char>(stream[at + 4]);
    std::uint32_t n;
    std::memcpy(&n, stream.data() + at + 5, 4);
    if (at + 9 + 2 * std::size_t{n} * count > stream.size()) break;
    EXPECT_EQ(stream.compare(at, 4, "TVA1"), 0) << "at byte " << at;
    EXPECT_GE(n, 800u);
    visit(count, n, stream.data() + at + 9);
    at += 9 + 2 * std::size_t{n} * count;
  }
}
}  // namespace

std::size_t samplesPerChannel(const std::string& stream) {
  std::size_t samples = 0;
  eachFrame(stream, [&](std::size_t, std::uint32_t n, const char*) { samples += n; });
  return samples;
}

Planes encoded(const std::vector<float>& interleaved, int channels, int rate) {
  std::string input(reinterpret_cast<const char*>(interleaved.data()), interleaved.size() * sizeof(float));
  auto result = runProcess(builtProgram("tva1"),
                           {"encode", "--rate", std::to_string(rate), "--channels", std::to_string(channels)}, {},
                           input);
  EXPECT_EQ(result.exitCode, 0);
  return tva1Samples(result.out);
}

ProcessResult capture(const std::vector<std::string>& args, const std::string& configPath, std::size_t samples) {
  RunningProcess run(builtProgram("tavirel-audio"), args, {{"ALSA_CONFIG_PATH", configPath}});
  // The recording plays in real time; the limit leaves room for a loaded machine.
  auto limit = Milliseconds(static_cast<long>(samples / 16) + 10000);
  EXPECT_TRUE(run.waitFor([&](const ProcessResult& r) { return samplesPerChannel(r.out) >= samples + 1600; }, limit))
      << "streamed " << samplesPerChannel(run.snapshot().out) << " of " << samples << " samples per channel";
  run.closeInput();
  return run.wait(Milliseconds(5000));
}

void expectWholeRecording(const Planes& captured, const Planes& expected) {
  ASSERT_EQ(captured.size(), expected.size());
  for (std::size_t c = 0; c < expected.size(); ++c) {
    const auto& got = captured[c];
    const auto& want = expected[c];
    ASSERT_GE(got.size(), want.size()) << "channel " << c + 1;
    auto equal = static_cast<std::size_t>(std::mismatch(want.begin(), want.end(), got.begin()).first - want.begin());
    EXPECT_EQ(equal, want.size()) << "channel " << c + 1 << " differs from the recording at sample " << equal;
    auto loud = std::find_if(got.begin() + static_cast<std::ptrdiff_t>(want.size()), got.end(),
                             [](std::int16_t s) { return s != 0; });
    auto quiet = static_cast<std::size_t>(loud - got.begin());
    EXPECT_EQ(quiet, got.size()) << "channel " << c + 1 << " is not silent after the recording, from sample " << quiet;
  }
}

}  // namespace recorded_console
