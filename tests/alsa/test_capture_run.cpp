// The built program captures a virtual ALSA console end to end: the frames it
// writes carry, bit for bit, what tva1 encode makes of the same samples.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/linux/alsa_capture.h"
#include "platform/platform.h"
#include "tests/support/process_runner.h"

namespace {
using nlohmann::json;
using namespace testing_support;

constexpr int deviceChannels = 4;
constexpr int recordingFrames = 48000 * 3;

float recorded(int channel, int frame) {
  // A different tone and level per channel, and a little noise so that no two
  // channels could pass for each other.
  double tone = 0.4 / (channel + 1) * std::sin(2 * M_PI * 150.0 * (channel + 1) * frame / 48000.0);
  std::uint32_t x = static_cast<std::uint32_t>(frame) * 2654435761u + static_cast<std::uint32_t>(channel) * 40503u;
  return static_cast<float>(tone + (static_cast<double>(x % 1000) - 500.0) * 1e-5);
}

std::string tempPath(const char* stem) {
  std::string pattern = std::string("/tmp/tavirel-") + stem + "-XXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd >= 0) close(fd);
  return pattern;
}

// Channel samples of a frame stream, concatenated per channel.
std::vector<std::vector<std::int16_t>> samplesOf(const std::string& stream) {
  std::vector<std::vector<std::int16_t>> channels;
  std::size_t at = 0;
  while (at + 9 <= stream.size()) {
    EXPECT_EQ(stream.compare(at, 4, "TVA1"), 0);
    std::size_t count = static_cast<unsigned char>(stream[at + 4]);
    std::uint32_t n;
    std::memcpy(&n, stream.data() + at + 5, 4);
    EXPECT_GE(n, 800u);
    if (at + 9 + 2 * n * count > stream.size()) break;
    channels.resize(count);
    for (std::size_t c = 0; c < count; ++c) {
      const char* from = stream.data() + at + 9 + 2 * n * c;
      std::vector<std::int16_t> part(n);
      std::memcpy(part.data(), from, 2 * n);
      channels[c].insert(channels[c].end(), part.begin(), part.end());
    }
    at += 9 + 2 * n * count;
  }
  return channels;
}

class CaptureRun : public ::testing::Test {
 protected:
  void SetUp() override {
    recording = tempPath("recording");
    {
      std::ofstream out(recording, std::ios::binary);
      for (int frame = 0; frame < recordingFrames; ++frame)
        for (int channel = 0; channel < deviceChannels; ++channel) {
          float sample = recorded(channel, frame);
          out.write(reinterpret_cast<const char*>(&sample), 4);
        }
    }
    std::ifstream source(std::string(TAVIREL_SOURCE_DIR) + "/tests/alsa/capture-run.conf");
    std::stringstream text;
    text << source.rdbuf();
    std::string config = text.str();
    config.replace(config.find("@RECORDING@", config.find("infile")), 11, recording);
    configPath = tempPath("capture-conf");
    std::ofstream(configPath) << config;
  }
  void TearDown() override {
    std::remove(recording.c_str());
    std::remove(configPath.c_str());
  }

  std::string recording, configPath;
};

TEST_F(CaptureRun, FramesEqualTheEncoderOfTheSameSamples) {
  RunningProcess run(builtProgram("tavirel-audio"), {"run", "--device", "console", "--channels", "2,1"},
                     {{"ALSA_CONFIG_PATH", configPath}});
  // 1.5 s of the 3 s recording, then the parent closes the control pipe.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  run.closeInput();
  auto result = run.wait(Milliseconds(5000));
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(json::parse(result.err[0].text), (json{{"event", "started"},
                                                   {"device", "Test Console"},
                                                   {"rate", 48000.0},
                                                   {"deviceChannels", 4},
                                                   {"channels", {2, 1}}}));

  // The same samples, channel 2 then channel 1, through tva1 encode.
  std::string picked;
  for (int frame = 0; frame < recordingFrames; ++frame)
    for (int channel : {1, 0}) {
      float sample = recorded(channel, frame);
      picked.append(reinterpret_cast<const char*>(&sample), 4);
    }
  auto encoded = runProcess(builtProgram("tva1"), {"encode", "--rate", "48000", "--channels", "2"}, {}, picked);
  ASSERT_EQ(encoded.exitCode, 0);

  auto captured = samplesOf(result.out);
  auto expected = samplesOf(encoded.out);
  ASSERT_EQ(captured.size(), 2u);
  ASSERT_EQ(expected.size(), 2u);
  // The run stopped part-way: compare what it wrote, at least a second of it.
  ASSERT_GE(captured[0].size(), 16000u);
  ASSERT_LE(captured[0].size(), expected[0].size());
  for (std::size_t c = 0; c < 2; ++c) {
    ASSERT_EQ(captured[c].size(), captured[0].size());
    EXPECT_TRUE(std::equal(captured[c].begin(), captured[c].end(), expected[c].begin())) << "channel " << c;
  }
}

TEST_F(CaptureRun, AChannelTheConsoleLacksIsRefusedByName) {
  auto result = runProcess(builtProgram("tavirel-audio"), {"run", "--device", "console", "--channels", "5"},
                           {{"ALSA_CONFIG_PATH", configPath}});
  EXPECT_EQ(result.exitCode, 2);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(json::parse(result.err[0].text)["msg"], "Channel 5 does not exist on Test Console (4 inputs)");
}

TEST(CaptureFormats, IntegerSamplesBecomeFloatsWithFullScaleOne) {
  float out[3];
  const unsigned char s16[] = {0x00, 0x80, 0xff, 0x7f, 0x00, 0x40};
  convertChannel(s16, SND_PCM_FORMAT_S16_LE, 1, 0, 3, out);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 32767.0f / 32768.0f);
  EXPECT_EQ(out[2], 0.5f);

  // 24 bits in four bytes: the top byte is not part of the sample.
  const unsigned char s24[] = {0x00, 0x00, 0x80, 0x7f, 0x00, 0x00, 0x40, 0x00, 0xff, 0xff, 0xff, 0x00};
  convertChannel(s24, SND_PCM_FORMAT_S24_LE, 1, 0, 3, out);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], -1.0f / 8388608.0f);

  const unsigned char s24packed[] = {0x00, 0x00, 0x80, 0x00, 0x00, 0x40, 0xff, 0xff, 0xff};
  convertChannel(s24packed, SND_PCM_FORMAT_S24_3LE, 1, 0, 3, out);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], -1.0f / 8388608.0f);

  const unsigned char s32[] = {0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0xc0};
  convertChannel(s32, SND_PCM_FORMAT_S32_LE, 1, 0, 3, out);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], -0.5f);

  const unsigned char u8[] = {0x00, 0x80, 0xc0};
  convertChannel(u8, SND_PCM_FORMAT_U8, 1, 0, 3, out);
  EXPECT_EQ(out[0], -1.0f);
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_EQ(out[2], 0.5f);
}

TEST(CaptureFormats, OneChannelIsPickedOutOfInterleavedFrames) {
  // Three channels of floats; channel 1 holds 0.25, 0.5, 0.75.
  float frames[9] = {9, 0.25f, 9, 9, 0.5f, 9, 9, 0.75f, 9};
  float out[3];
  convertChannel(reinterpret_cast<const unsigned char*>(frames), SND_PCM_FORMAT_FLOAT_LE, 3, 1, 3, out);
  EXPECT_EQ(out[0], 0.25f);
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(out[2], 0.75f);
  double wide[4] = {9, -0.125, 9, 1.0 / 3};
  convertChannel(reinterpret_cast<const unsigned char*>(wide), SND_PCM_FORMAT_FLOAT64_LE, 2, 1, 2, out);
  EXPECT_EQ(out[0], -0.125f);
  EXPECT_EQ(out[1], static_cast<float>(1.0 / 3));
}
}  // namespace

namespace {
TEST(LinuxCaptureUnit, AnUnknownDeviceCannotBeMadeCurrent) {
  AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_HALOutput,
                                        kAudioUnitManufacturer_Apple, 0, 0};
  AudioComponent component = AudioComponentFindNext(nullptr, &description);
  ASSERT_NE(component, nullptr);
  AudioUnit unit = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(component, &unit), noErr);
  ASSERT_NE(unit, nullptr);
  AudioObjectID unknown = 987654;
  EXPECT_NE(AudioUnitSetProperty(unit, kAudioOutputUnitProperty_CurrentDevice, kAudioUnitScope_Global, 0, &unknown,
                                 sizeof unknown),
            noErr);
  // Without a device there is nothing to initialise or start.
  EXPECT_NE(AudioUnitInitialize(unit), noErr);
  EXPECT_NE(AudioOutputUnitStart(unit), noErr);
  description.componentSubType = fourCharCode("vpio");
  EXPECT_EQ(AudioComponentFindNext(nullptr, &description), nullptr);
}
}  // namespace
