// The catalogue of input devices and the three lookup passes.
#include <gtest/gtest.h>

#include "device/device_catalogue.h"
#include "platform/sim/sim_world.h"

namespace {
sim::Device device(AudioObjectID id, std::optional<std::string> name, std::optional<std::string> uid,
                   std::vector<UInt32> buffers = {2}) {
  sim::Device d;
  d.id = id;
  d.name = std::move(name);
  d.uid = std::move(uid);
  d.inputBuffers = std::move(buffers);
  return d;
}

void configure(std::vector<sim::Device> devices) {
  sim::World world;
  world.devices = std::move(devices);
  sim::configure(world);
}

TEST(InputDevices, RecordsEveryInputDeviceInListOrder) {
  auto desk = device(20, "Desk", "D-1", {8, 8});
  desk.rate = 44100;
  desk.ranges = {{44100, 48000}};
  auto nameless = device(21, "x", "N-1", {1});
  nameless.unreadable = {"name", "rates"};
  auto rateless = device(22, "Rateless", "R-1", {2});
  rateless.unreadable = {"rate"};
  rateless.ranges = {{48000, 48000}};
  auto unconfigured = device(24, "Broken", "B-1", {2});
  unconfigured.unreadable = {"config"};
  configure({desk, device(23, "Speakers", "S-1", {}), nameless, unconfigured, rateless});

  auto records = inputDevices();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(toJson(records[0]), nlohmann::json::parse(R"({"name": "Desk", "uid": "D-1", "channels": 16,
                                                          "rate": 44100.0, "rates": [44100.0, 48000.0]})"));
  EXPECT_EQ(toJson(records[1]), nlohmann::json::parse(R"({"name": "", "uid": "N-1", "channels": 1,
                                                          "rate": 48000.0, "rates": []})"));
  EXPECT_EQ(toJson(records[2]), nlohmann::json::parse(R"({"name": "Rateless", "uid": "R-1", "channels": 2,
                                                          "rate": 0.0, "rates": [48000.0]})"));
}

TEST(InputDevices, NoDevicesOrNoListGiveNothing) {
  configure({});
  EXPECT_TRUE(inputDevices().empty());
  EXPECT_EQ(findDevice(""), std::nullopt);
  EXPECT_EQ(findDevice("Desk"), std::nullopt);
  sim::World world;
  world.devices = {device(2, "Desk", "D")};
  world.deviceListFails = true;
  sim::configure(world);
  EXPECT_TRUE(inputDevices().empty());
  EXPECT_EQ(findDevice("Desk"), std::nullopt);
}

TEST(FindDevice, WholeNameWinsOverAnEarlierPartialMatch) {
  configure({device(2, "Desk 32 Monitor", "A"), device(3, "desk 32", "B")});
  EXPECT_EQ(findDevice("Desk 32"), 3u);
}

TEST(FindDevice, UidPassComesFirstAndIsCaseSensitive) {
  configure({device(2, "abc-123", "X"), device(3, "Other", "ABC-123")});
  EXPECT_EQ(findDevice("ABC-123"), 3u);
  EXPECT_EQ(findDevice("abc-123"), 2u);  // not the UID: the first candidate's name
  configure({device(3, "Other", "ABC-123")});
  EXPECT_EQ(findDevice("abc-123"), std::nullopt);
}

TEST(FindDevice, PartOfTheNameInAnyCaseAndFirstOfEqualNames) {
  configure({device(2, "Speakers", "S"), device(3, "Stage Desk 32", "D1"), device(4, "Stage Desk 32", "D2")});
  EXPECT_EQ(findDevice("DESK"), 3u);
  EXPECT_EQ(findDevice("stage desk 32"), 3u);
  EXPECT_EQ(findDevice("Desk 33"), std::nullopt);
}

TEST(FindDevice, OnlyPresentInputDevicesAreCandidates) {
  auto leaving = device(4, "Gone", "G");
  leaving.vanishAtMs = 0;
  configure({device(2, "Speakers", "OUT-1", {}), device(3, "Mic", "IN-1", {0, 1}), leaving});
  EXPECT_EQ(findDevice("OUT-1"), std::nullopt);
  EXPECT_EQ(findDevice("Speakers"), std::nullopt);
  EXPECT_EQ(findDevice("IN-1"), 3u);
  EXPECT_EQ(findDevice("Gone"), std::nullopt);
}

TEST(FindDevice, EmptyQueryMatchesOnlyAnEmptyUidOrName) {
  configure({device(2, "Desk", "D"), device(3, "", "E"), device(4, "Mic", std::nullopt)});
  EXPECT_EQ(findDevice(""), 4u);  // the empty UID pass runs first
  configure({device(2, "Desk", "D"), device(3, std::nullopt, "E")});
  EXPECT_EQ(findDevice(""), 3u);
  configure({device(2, "Desk", "D")});
  EXPECT_EQ(findDevice(""), std::nullopt);
}

TEST(FindDevice, CanonicallyEquivalentSpellingsMatch) {
  const std::string precomposed = "B\xC3\xBChne";  // "Bühne" with U+00FC
  const std::string decomposed = "Bu\xCC\x88hne";  // u + U+0308
  configure({device(2, "Mic", "M"), device(3, precomposed + " Links", "P")});
  EXPECT_EQ(findDevice(decomposed + " links"), 3u);
  EXPECT_EQ(findDevice("BU\xCC\x88HNE"), 3u);
  configure({device(2, "Mic", "M"), device(3, decomposed + " Rechts", "P")});
  EXPECT_EQ(findDevice(precomposed + " rechts"), 3u);
  EXPECT_EQ(findDevice("B\xC3\x9CHNE"), 3u);  // "BÜHNE", precomposed capital
}
}  // namespace
