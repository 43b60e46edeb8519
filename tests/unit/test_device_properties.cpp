// Property reads over the simulated machine: rate lists, channel sums,
// neutral results, short reads and the rate request's confirmation.
#include <gtest/gtest.h>

#include <chrono>

#include "device/audio_properties.h"
#include "platform/sim/sim_world.h"
#include "tests/unit/sim_devices.h"

namespace {
using Ranges = std::vector<AudioValueRange>;
using Rates = std::vector<double>;
using testing_support::configureDevices;

sim::Device device(AudioObjectID id, std::vector<UInt32> buffers = {2}) {
  return testing_support::inputDevice(id, "Device " + std::to_string(id), "UID-" + std::to_string(id),
                                      std::move(buffers));
}

Rates ratesOf(Ranges ranges) {
  auto d = device(7);
  d.ranges = std::move(ranges);
  configureDevices({d});
  return availableRates(7);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(AvailableRates, NarrowRangesAreSingleRatesAndWideOnesPickTableRates) {
  EXPECT_EQ(ratesOf({{48000, 48000}}), (Rates{48000}));
  EXPECT_EQ(ratesOf({{8000, 200000}}),
            (Rates{16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000}));
  EXPECT_EQ(ratesOf({{44100, 48000}}), (Rates{44100, 48000}));  // both bounds count
  EXPECT_EQ(ratesOf({{48000, 48001}}), (Rates{48000}));          // 1 Hz wide is a span
  EXPECT_EQ(ratesOf({{47999.6, 48000.1}}), (Rates{47999.6}));    // narrower: its minimum, unrounded
  EXPECT_EQ(ratesOf({{48000, 44100}}), (Rates{48000}));          // inverted: its minimum
  EXPECT_EQ(ratesOf({{50000, 60000}}), Rates{});
  EXPECT_EQ(ratesOf({{96000, 96000}, {44100, 44100}, {32000, 96000}}),
            (Rates{32000, 44100, 48000, 88200, 96000}));
  EXPECT_EQ(ratesOf({}), Rates{});
}

TEST(InputChannelCount, SumsEveryInputBuffer) {
  configureDevices({device(2, {2, 8, 0}), device(3, {}), device(4, {1})});
  EXPECT_EQ(inputChannelCount(2), 10);
  EXPECT_EQ(inputChannelCount(3), 0);  // output only: a list of zero buffers
  EXPECT_EQ(inputChannelCount(4), 1);
  EXPECT_EQ(inputChannelCount(99), 0);  // no such device
}

TEST(NeutralResults, EveryFailedReadFoldsIntoTheNeutralValue) {
  auto broken = device(5, {2});
  broken.unreadable = {"name", "uid", "rate", "rates", "config"};
  broken.ranges = {{48000, 48000}};
  auto anonymous = device(6, {2});
  anonymous.name.reset();
  anonymous.uid.reset();
  configureDevices({broken, anonymous});
  EXPECT_EQ(stringProp(5, kAudioObjectPropertyName), "");
  EXPECT_EQ(stringProp(5, kAudioDevicePropertyDeviceUID), "");
  EXPECT_EQ(sampleRate(5), 0.0);
  EXPECT_EQ(availableRates(5), Rates{});
  EXPECT_EQ(inputChannelCount(5), 0);
  EXPECT_EQ(stringProp(6, kAudioObjectPropertyName), "");  // a null reference
  EXPECT_EQ(stringProp(6, kAudioDevicePropertyDeviceUID), "");
  EXPECT_EQ(prop<Float64>(5, kAudioDevicePropertyNominalSampleRate, 0.0), std::nullopt);
  EXPECT_EQ(prop<Float64>(6, kAudioDevicePropertyNominalSampleRate, 0.0), 48000.0);
  EXPECT_EQ(prop<UInt32>(6, fourCharCode("zzzz"), 7u), std::nullopt);

  sim::World failing;
  failing.devices = {device(2)};
  failing.deviceListFails = true;
  sim::configure(failing);
  EXPECT_TRUE(allDevices().empty());
  configureDevices({});
  EXPECT_TRUE(allDevices().empty());
}

TEST(StringProp, ReadsNamesAndUidsAsUtf8) {
  auto d = device(9);
  d.name = "Pult Bühne 🎤";
  configureDevices({d});
  EXPECT_EQ(stringProp(9, kAudioObjectPropertyName), "Pult Bühne 🎤");
  EXPECT_EQ(stringProp(9, kAudioDevicePropertyDeviceUID), "UID-9");
}

TEST(AllDevices, ListsPresentDevicesInOrder) {
  auto leaving = device(12);
  leaving.vanishAtMs = 0;
  configureDevices({device(11), leaving, device(10)});
  EXPECT_EQ(allDevices(), (std::vector<AudioObjectID>{11, 10}));
}

// A read that returns fewer bytes than its size announced must not yield
// unwritten slots (id 0, a 0..0 range that would add the rate 0) nor let a
// buffer count that overstates the data walk past it.
TEST(ShortReads, ListsAreTrimmedAndTheConfigurationWalkIsBounded) {
  auto d = device(3, {2, 8, 4});
  d.shortReads = true;
  d.ranges = {{48000, 48000}, {96000, 96000}};
  sim::World world;
  world.devices = {d, device(4)};
  world.deviceListShortReads = true;
  sim::configure(world);
  EXPECT_EQ(availableRates(3), (Rates{48000}));
  EXPECT_EQ(inputChannelCount(3), 10);
  EXPECT_EQ(allDevices(), (std::vector<AudioObjectID>{3}));
}

TEST(SetSampleRate, AcceptedRateArrivesAfterSettling) {
  auto d = device(2);
  d.ranges = {{44100, 44100}, {48000, 48000}};
  d.rateSettleMs = 250;
  configureDevices({d});
  EXPECT_TRUE(setSampleRate(2, 44100));
  EXPECT_EQ(sampleRate(2), 44100);
}

TEST(SetSampleRate, ReadBackWithinOneHertzConfirms) {
  auto d = device(2);
  d.rateChangeAtMs = 0;
  d.rateChangeTo = 48000.6;  // whatever is asked, the device reports this
  configureDevices({d});
  EXPECT_TRUE(setSampleRate(2, 48000));
}

TEST(SetSampleRate, RefusedRequestFailsWithoutWaiting) {
  auto d = device(2);
  d.setRateStatus = -50;
  configureDevices({d});
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(setSampleRate(2, 44100));
  EXPECT_LT(secondsSince(start), 0.5);
  EXPECT_EQ(sampleRate(2), 48000);
  EXPECT_FALSE(setSampleRate(99, 44100));  // no such device
}

TEST(SetSampleRate, RateThatNeverArrivesFailsAfterAboutThreeSeconds) {
  auto d = device(2);
  d.ranges = {{48000, 48000}};  // accepts the request, never takes 44100
  configureDevices({d});
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(setSampleRate(2, 44100));
  EXPECT_GE(secondsSince(start), 2.9);
  EXPECT_LT(secondsSince(start), 6.0);
  EXPECT_EQ(sampleRate(2), 48000);
}
}  // namespace
