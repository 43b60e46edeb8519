// The catalogue of input devices and the three lookup passes.
#include <gtest/gtest.h>

#include "device/device_catalogue.h"
#include "platform/sim/sim_world.h"
#include "tests/unit/sim_devices.h"

namespace {
using testing_support::configureDevices;
using testing_support::inputDevice;

TEST(InputDevices, RecordsEveryInputDeviceInListOrder) {
  auto desk = inputDevice(20, "Desk", "D-1", {8, 8});
  desk.rate = 44100;
  desk.ranges = {{44100, 48000}};
  auto nameless = inputDevice(21, "x", "N-1", {1});
  nameless.unreadable = {"name", "rates"};
  auto rateless = inputDevice(22, "Rateless", "R-1", {2});
  rateless.unreadable = {"rate"};
  rateless.ranges = {{48000, 48000}};
  auto unconfigured = inputDevice(24, "Broken", "B-1", {2});
  unconfigured.unreadable = {"config"};
  configureDevices({desk, inputDevice(23, "Speakers", "S-1", {}), nameless, unconfigured, rateless});

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
  configureDevices({});
  EXPECT_TRUE(inputDevices().empty());
  EXPECT_EQ(findDevice(""), std::nullopt);
  EXPECT_EQ(findDevice("Desk"), std::nullopt);
  sim::World world;
  world.devices = {inputDevice(2, "Desk", "D")};
  world.deviceListFails = true;
  sim::configure(world);
  EXPECT_TRUE(inputDevices().empty());
  EXPECT_EQ(findDevice("Desk"), std::nullopt);
}

TEST(FindDevice, WholeNameWinsOverAnEarlierPartialMatch) {
  configureDevices({inputDevice(2, "Desk 32 Monitor", "A"), inputDevice(3, "desk 32", "B")});
  EXPECT_EQ(findDevice("Desk 32"), 3u);
}

TEST(FindDevice, UidPassComesFirstAndIsCaseSensitive) {
  configureDevices({inputDevice(2, "abc-123", "X"), inputDevice(3, "Other", "ABC-123")});
  EXPECT_EQ(findDevice("ABC-123"), 3u);
  EXPECT_EQ(findDevice("abc-123"), 2u);  // not the UID: the first candidate's name
  configureDevices({inputDevice(3, "Other", "ABC-123")});
  EXPECT_EQ(findDevice("abc-123"), std::nullopt);
}

TEST(FindDevice, PartOfTheNameInAnyCaseAndFirstOfEqualNames) {
  configureDevices({inputDevice(2, "Speakers", "S"), inputDevice(3, "Stage Desk 32", "D1"),
                    inputDevice(4, "Stage Desk 32", "D2")});
  EXPECT_EQ(findDevice("DESK"), 3u);
  EXPECT_EQ(findDevice("stage desk 32"), 3u);
  EXPECT_EQ(findDevice("Desk 33"), std::nullopt);
}

TEST(FindDevice, OnlyPresentInputDevicesAreCandidates) {
  auto leaving = inputDevice(4, "Gone", "G");
  leaving.vanishAtMs = 0;
  configureDevices({inputDevice(2, "Speakers", "OUT-1", {}), inputDevice(3, "Mic", "IN-1", {0, 1}), leaving});
  EXPECT_EQ(findDevice("OUT-1"), std::nullopt);
  EXPECT_EQ(findDevice("Speakers"), std::nullopt);
  EXPECT_EQ(findDevice("IN-1"), 3u);
  EXPECT_EQ(findDevice("Gone"), std::nullopt);
}

TEST(FindDevice, EmptyQueryMatchesOnlyAnEmptyUidOrName) {
  configureDevices({inputDevice(2, "Desk", "D"), inputDevice(3, "", "E"), inputDevice(4, "Mic", std::nullopt)});
  EXPECT_EQ(findDevice(""), 4u);  // the empty UID pass runs first
  configureDevices({inputDevice(2, "Desk", "D"), inputDevice(3, std::nullopt, "E")});
  EXPECT_EQ(findDevice(""), 3u);
  configureDevices({inputDevice(2, "Desk", "D")});
  EXPECT_EQ(findDevice(""), std::nullopt);
}

TEST(FindDevice, CanonicallyEquivalentSpellingsMatch) {
  const std::string precomposed = "B\xC3\xBChne";  // "Bühne" with U+00FC
  const std::string decomposed = "Bu\xCC\x88hne";  // u + U+0308
  configureDevices({inputDevice(2, "Mic", "M"), inputDevice(3, precomposed + " Links", "P")});
  EXPECT_EQ(findDevice(decomposed + " links"), 3u);
  EXPECT_EQ(findDevice("BU\xCC\x88HNE"), 3u);
  configureDevices({inputDevice(2, "Mic", "M"), inputDevice(3, decomposed + " Rechts", "P")});
  EXPECT_EQ(findDevice(precomposed + " rechts"), 3u);
  EXPECT_EQ(findDevice("B\xC3\x9CHNE"), 3u);  // "BÜHNE", precomposed capital
}
}  // namespace
