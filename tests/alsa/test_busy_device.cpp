// A device another program holds: still listed from what its card says, and
// a run on it says it is busy. One the user may not open is denied access.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "platform/linux/alsa_card_streams.h"
#include "tests/support/process_runner.h"

namespace {
using nlohmann::json;
using namespace testing_support;

TEST(CardStreams, TheCaptureSectionGivesTheLargestChannelCountAndEveryRate) {
  const char* usbConsole = R"(Behringer X32 at usb-0000:00:14.0-2, high speed : USB Audio

Playback:
  Status: Running
  Interface 1
    Altset 1
    Format: S32_LE
    Channels: 32
    Rates: 48000

Capture:
  Status: Stop
  Interface 2
    Altset 1
    Format: S32_LE
    Channels: 16
    Rates: 48000, 44100
  Interface 2
    Altset 2
    Format: S32_LE
    Channels: 32
    Rates: 48000
)";
  auto capture = captureFromStreamText(usbConsole);
  ASSERT_TRUE(capture.has_value());
  EXPECT_EQ(capture->channels, 32u);
  ASSERT_EQ(capture->ranges.size(), 2u);
  EXPECT_EQ(capture->ranges[0].mMinimum, 44100.0);
  EXPECT_EQ(capture->ranges[1].mMaximum, 48000.0);

  auto continuous = captureFromStreamText("Capture:\n  Interface 1\n    Channels: 2\n    Rates: 8000 - 96000 (continuous)\n");
  ASSERT_TRUE(continuous.has_value());
  EXPECT_EQ(continuous->ranges.size(), 1u);
  EXPECT_EQ(continuous->ranges[0].mMinimum, 8000.0);
  EXPECT_EQ(continuous->ranges[0].mMaximum, 96000.0);

  EXPECT_FALSE(captureFromStreamText("Playback:\n  Interface 1\n    Channels: 2\n    Rates: 48000\n").has_value());
}

TEST(BusyDevice, ARunOnADeviceTakenSinceTheListingSaysItIsBusy) {
  std::string config = "/tmp/tavirel-busy-" + std::to_string(getpid()) + ".conf";
  std::ofstream(config) << "pcm_type.tavirelbusy { lib \"" TAVIREL_BUILD_DIR "/tests/libtavirel_test_pcm.so\" }\n"
                        << "pcm.busyslave { type plug; slave { pcm { type null } channels 4 rate 48000 } }\n"
                        << "pcm.taken { type tavirelbusy; hint { show on; description \"Taken Desk|IOIDInput\" } }\n";
  auto result = runProcess(builtProgram("tavirel-audio"), {"run", "--device", "taken", "--channels", "1"},
                           {{"ALSA_CONFIG_PATH", config}, {"TAVIREL_AUDIO_BACKEND", "alsa"}});
  std::remove(config.c_str());
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.events(), (std::vector<json>{{{"event", "error"},
                                                 {"msg", "Audio device busy: Taken Desk is in use by another program"}}}));
}

// A device the user may not open (EACCES or EPERM from alsa-lib) is the
// denial of microphone access, not a missing device: whether it refused
// since the listing or from the first open, it is listed and a run on it is
// denied, so the parent asks for access instead of waiting for the device.
TEST(DeniedDevice, ARunOnADeviceTheUserMayNotOpenIsDeniedAccess) {
  for (auto [error, opens] : {std::pair{EACCES, 1}, {EPERM, 1}, {EACCES, 0}}) {
    std::string config = "/tmp/tavirel-denied-" + std::to_string(getpid()) + ".conf";
    std::ofstream(config) << "pcm_type.tavirelrefuses { lib \"" TAVIREL_BUILD_DIR "/tests/libtavirel_test_pcm.so\" }\n"
                          << "pcm.refusingslave { type plug; slave { pcm { type null } channels 4 rate 48000 } }\n"
                          << "pcm.locked { type tavirelrefuses; error " << error << "; opens " << opens
                          << "; hint { show on; description \"Locked Desk|IOIDInput\" } }\n";
    std::vector<std::pair<std::string, std::string>> env{{"ALSA_CONFIG_PATH", config},
                                                         {"TAVIREL_AUDIO_BACKEND", "alsa"}};
    auto listed = runProcess(builtProgram("tavirel-audio"), {"list"}, env);
    auto result = runProcess(builtProgram("tavirel-audio"), {"run", "--device", "locked", "--channels", "1"}, env);
    std::remove(config.c_str());
    EXPECT_EQ(listed.exitCode, 0) << error;
    EXPECT_NE(listed.out.find("Locked Desk"), std::string::npos) << error;
    EXPECT_EQ(result.exitCode, 5) << error;
    EXPECT_EQ(result.events(), (std::vector<json>{{{"event", "error"}, {"msg", "Microphone access denied"}}})) << error;
  }
}
}  // namespace
