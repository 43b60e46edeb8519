// The built program captures a virtual ALSA console end to end: the frames it
// writes carry, bit for bit, what tva1 encode makes of the same samples.
#include <gtest/gtest.h>

#include <cstdio>

#include "capture/capture.h"
#include "device/device_catalogue.h"
#include "platform/common/os_status.h"
#include "platform/linux/alsa_capture.h"
#include "platform/platform.h"
#include "tests/alsa/recorded_console.h"
#include "tests/support/hal_unit.h"
#include "tests/support/process_runner.h"

namespace {
using nlohmann::json;
using namespace testing_support;
using namespace recorded_console;

// The test console of capture-run.conf: four channels at 44.1 kHz, so the
// resampler's phase runs across the capture's periods.
constexpr int deviceChannels = 4;
constexpr int deviceRate = 44100;

class CaptureRun : public ::testing::Test {
 protected:
  void SetUp() override {
    frames = recording(deviceChannels, deviceRate, deviceRate * 2, deviceRate / 4);
    recordingPath = temporaryFile("recording", std::string(reinterpret_cast<const char*>(frames.data()), frames.size() * 4));
    configPath = configuration("tests/alsa/capture-run.conf", recordingPath);
  }
  void TearDown() override {
    std::remove(recordingPath.c_str());
    std::remove(configPath.c_str());
  }

  std::vector<float> frames;
  std::string recordingPath, configPath;
};

TEST_F(CaptureRun, TheWholeRecordingIsStreamedSampleForSample) {
  // Channel 2 then channel 1, through tva1 encode.
  auto expected = encoded(picked(frames, deviceChannels, {1, 0}), 2, deviceRate);
  ASSERT_EQ(expected.size(), 2u);
  auto result = capture({"run", "--device", "console", "--channels", "2,1"}, configPath, expected[0].size());
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_EQ(json::parse(result.err[0].text), (json{{"event", "started"},
                                                   {"device", "Test Console"},
                                                   {"rate", 44100.0},
                                                   {"deviceChannels", 4},
                                                   {"channels", {2, 1}}}));
  expectWholeRecording(tva1Samples(result.out), expected);
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
  AudioUnit unit = newHalUnit();
  ASSERT_NE(unit, nullptr);
  EXPECT_NE(makeCurrent(unit, 987654), noErr);
  // Without a device there is nothing to initialise or start.
  EXPECT_NE(AudioUnitInitialize(unit), noErr);
  EXPECT_NE(AudioOutputUnitStart(unit), noErr);
  AudioComponentDescription voice{kAudioUnitType_Output, fourCharCode("vpio"), kAudioUnitManufacturer_Apple, 0, 0};
  EXPECT_EQ(AudioComponentFindNext(nullptr, &voice), nullptr);
}

TEST(LinuxCaptureUnit, AnInitialisedUnitKeepsTheDeviceItOpened) {
  AudioUnit unit = newHalUnit();
  ASSERT_NE(unit, nullptr);
  ASSERT_EQ(enableIO(unit, kAudioUnitScope_Input, 1, 1), noErr);
  ASSERT_EQ(enableIO(unit, kAudioUnitScope_Output, 0, 0), noErr);
  auto desk = findDevice("desk"), studio = findDevice("studio");  // 8 channels at 48 kHz, 2 at 44.1 kHz
  ASSERT_TRUE(desk && studio);
  ASSERT_EQ(makeCurrent(unit, *desk), noErr);
  AudioStreamBasicDescription client = clientFormat(48000, 8);
  ASSERT_EQ(
      AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 1, &client, sizeof client),
      noErr);
  ASSERT_EQ(AudioUnitInitialize(unit), noErr);

  // The open stream is the desk's: over PipeWire a render would otherwise
  // read the studio's channel count out of the desk's planes.
  EXPECT_EQ(makeCurrent(unit, *studio), os_status::initialized);
  AudioStreamBasicDescription device{};
  UInt32 size = sizeof device;
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 1, &device, &size),
            noErr);
  EXPECT_EQ(device.mChannelsPerFrame, 8u);
  EXPECT_EQ(device.mSampleRate, 48000);
}
}  // namespace
