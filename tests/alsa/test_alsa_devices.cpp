// The Linux device layer against real alsa-lib, with the virtual capture
// devices of capture-devices.conf: what is listed, with which channels and
// rates, lookup, ids, rate negotiation and devices that go away.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "device/audio_properties.h"
#include "device/device_catalogue.h"
#include "platform/linux/alsa_devices.h"
#include "tests/alsa/alsa_test_config.h"

namespace {
using nlohmann::json;
const json allTableRates = {16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000};

json catalogue() {
  json records = json::array();
  for (const auto& record : inputDevices()) records.push_back(toJson(record));
  return records;
}

AudioObjectID idOf(const std::string& query) {
  auto id = findDevice(query);
  EXPECT_TRUE(id.has_value()) << query;
  return id.value_or(0);
}

TEST(AlsaCatalogue, ListsTheAdvertisedCapturePcmsWithWhatTheyCarry) {
  EXPECT_EQ(catalogue(), json::parse(R"([
    {"name": "Stage Desk 32", "uid": "desk", "channels": 8, "rate": 48000.0, "rates": [48000.0]},
    {"name": "Quad Mic", "uid": "quad", "channels": 4, "rate": 48000.0,
     "rates": [16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000]},
    {"name": "B\u00fchne Links", "uid": "studio", "channels": 2, "rate": 44100.0, "rates": [44100.0]},
    {"name": "Loose Plugin", "uid": "loose", "channels": 64, "rate": 48000.0,
     "rates": [16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000]},
    {"name": "Playback/recording through the house sound server", "uid": "house", "channels": 2,
     "rate": 48000.0, "rates": [48000.0]}
  ])"));
}

TEST(AlsaCatalogue, LooksUpByUidWholeNameAndPartOfName) {
  auto desk = idOf("desk");
  EXPECT_EQ(idOf("stage desk 32"), desk);
  EXPECT_EQ(idOf("DESK 3"), desk);
  EXPECT_EQ(idOf("Bu\xCC\x88HNE"), idOf("studio"));  // decomposed, other case
  EXPECT_NE(idOf("quad"), desk);
  // Output only, output aliases without a direction, a null PCM, one that
  // cannot open, one without a hint.
  for (const char* absent : {"speaker", "Speaker", "default", "Default ALSA Output", "wedges", "Monitor Wedges",
                             "Black Hole", "blackhole", "Broken Link", "hidden", "null"})
    EXPECT_EQ(findDevice(absent), std::nullopt) << absent;
}

TEST(AlsaCatalogue, IdsAreStableAndNeverTheReservedOnes) {
  auto first = allDevices();
  auto second = allDevices();
  EXPECT_EQ(first, second);
  ASSERT_FALSE(first.empty());
  for (auto id : first) EXPECT_GT(id, kAudioObjectSystemObject);
  std::sort(first.begin(), first.end());
  EXPECT_EQ(std::adjacent_find(first.begin(), first.end()), first.end());
}

TEST(AlsaCatalogue, CaptureUnitSeesPcmChannelsAndRate) {
  auto device = alsaDevice(idOf("desk"));
  ASSERT_TRUE(device.has_value());
  EXPECT_EQ(device->pcm, "desk");
  EXPECT_EQ(device->name, "Stage Desk 32");
  EXPECT_EQ(device->channels, 8u);
  EXPECT_EQ(device->rate, 48000);
  EXPECT_FALSE(device->hardware);
  EXPECT_EQ(alsaDevice(0), std::nullopt);
  EXPECT_EQ(alsaDevice(kAudioObjectSystemObject), std::nullopt);
  EXPECT_EQ(alsaCaptureDevices().size(), 5u);
}

TEST(AlsaRates, NegotiationChangesTheRateForThisProcessOnlyWhenOffered) {
  auto quad = idOf("quad");
  EXPECT_TRUE(setSampleRate(quad, 44100));
  EXPECT_EQ(sampleRate(quad), 44100);
  EXPECT_EQ(alsaDevice(quad)->rate, 44100);
  EXPECT_TRUE(setSampleRate(quad, 96000));
  EXPECT_EQ(alsaDevice(quad)->rate, 96000);

  auto desk = idOf("desk");
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(setSampleRate(desk, 44100));  // refused at once, no waiting
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(sampleRate(desk), 48000);
  EXPECT_TRUE(setSampleRate(desk, 48000.4));
  EXPECT_EQ(sampleRate(desk), 48000);
}

TEST(AlsaPresence, AnUnpluggedDeviceLeavesTheListAndComesBackUnderItsId) {
  auto studio = idOf("studio");
  alsa_test::writeConfig(alsa_test::configWithout({"studio"}));
  auto ids = allDevices();
  EXPECT_EQ(std::find(ids.begin(), ids.end(), studio), ids.end());
  EXPECT_EQ(findDevice("studio"), std::nullopt);
  EXPECT_EQ(sampleRate(studio), 0);
  EXPECT_EQ(inputChannelCount(studio), 0);
  EXPECT_EQ(alsaDevice(studio), std::nullopt);

  alsa_test::writeConfig(alsa_test::configWithout({}));
  EXPECT_EQ(findDevice("studio"), studio);
}

TEST(AlsaPresence, NoDevicesAtAll) {
  alsa_test::writeConfig("");
  EXPECT_TRUE(allDevices().empty());
  EXPECT_EQ(catalogue(), json::array());
  EXPECT_EQ(findDevice(""), std::nullopt);
  alsa_test::writeConfig(alsa_test::configWithout({}));
}
}  // namespace

namespace {
// The capture unit reads its device on another thread while the main thread
// rescans for the watchdog and the commands.
TEST(AlsaConcurrency, ReadsFromTwoThreadsAgree) {
  auto desk = idOf("desk");
  std::thread capture([desk] {
    for (int i = 0; i < 200; ++i) {
      auto device = alsaDevice(desk);
      ASSERT_TRUE(device.has_value());
      EXPECT_EQ(device->channels, 8u);
    }
  });
  for (int i = 0; i < 200; ++i) {
    auto ids = allDevices();
    EXPECT_NE(std::find(ids.begin(), ids.end(), desk), ids.end());
    EXPECT_EQ(sampleRate(desk), 48000);
  }
  capture.join();
}
}  // namespace
