// The list document when devices report rates that JSON cannot hold.
#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

#include "main/commands.h"
#include "platform/sim/sim_world.h"
#include "tests/unit/forked.h"

using nlohmann::json;

namespace {
TEST(ListCommand, NonFiniteRatesBecomeZeroOrAreLeftOut) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double inf = std::numeric_limits<double>::infinity();
  sim::World world;
  sim::Device nanDevice;
  nanDevice.id = 40;
  nanDevice.name = "Odd";
  nanDevice.uid = "odd";
  nanDevice.inputBuffers = {2};
  nanDevice.rate = nan;
  nanDevice.ranges = {{44100, 44100}, {inf, inf}, {nan, nan}, {48000, 48000}};
  auto infDevice = nanDevice;
  infDevice.id = 41;
  infDevice.rate = inf;
  world.devices = {nanDevice, infDevice};
  world.midi.destinations = {{"Lights"}};

  auto ended = testing_support::runForked([&] {
    sim::configure(world);
    listCommand();
  });
  EXPECT_EQ(ended.exitCode, 0);
  EXPECT_EQ(ended.err, "");
  auto document = json::parse(ended.out, nullptr, false);
  ASSERT_FALSE(document.is_discarded()) << ended.out;
  ASSERT_EQ(document["inputs"].size(), 2u);
  for (auto& input : document["inputs"]) {
    EXPECT_EQ(input["rate"], 0.0);
    EXPECT_EQ(input["rates"], (json{44100.0, 48000.0}));
  }
  EXPECT_EQ(document["midi"], json{"Lights"});
}
}  // namespace
