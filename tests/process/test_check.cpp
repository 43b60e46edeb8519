// The line check on the simulated machine: each state a channel can be in,
// the device's clock against the system's, an early end, and the failures it
// shares with `run`.
#include <gtest/gtest.h>

#include <thread>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
ProcessResult checkToEnd(const json& scenario, std::vector<std::string> options,
                         const std::vector<std::pair<std::string, std::string>>& extraEnv = {}) {
  ScenarioFile file(scenario);
  auto env = file.env();
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  options.insert(options.begin(), "check");
  return runProcess(builtProgram("tavirel-audio-sim"), options, env, "", Milliseconds(20000));
}

json stateOf(const json& document, int channel) { return document["channels"][channel - 1]["state"]; }

TEST(Check, TellsEachStateWithTheLevelsThatMadeIt) {
  auto device = desk(6);
  device["signals"] = {{{"kind", "sine"}, {"amplitude", 0.5}},
                       {{"kind", "silence"}},
                       {{"kind", "noise"}, {"amplitude", 0.00055}},  // RMS -70 dBFS: a muted fader
                       {{"kind", "sine"}, {"amplitude", 2}},
                       {{"kind", "constant"}, {"amplitude", 0.05}}};
  auto result = checkToEnd(world(device), {"--device", "Desk", "--seconds", "1"});
  ASSERT_EQ(result.exitCode, 0);
  EXPECT_EQ(onlyEvent(result).value("event", ""), "started");
  auto document = json::parse(result.out);
  EXPECT_EQ(document["deviceChannels"], 6);
  EXPECT_EQ(document["channels"].size(), 6u);
  EXPECT_EQ(stateOf(document, 1), "signal");
  EXPECT_NEAR(document["channels"][0]["peakDbfs"].get<double>(), -6.02, 0.01);
  EXPECT_NEAR(document["channels"][0]["rmsDbfs"].get<double>(), -9.03, 0.01);
  EXPECT_EQ(stateOf(document, 2), "zero");
  EXPECT_TRUE(document["channels"][1]["peakDbfs"].is_null());
  EXPECT_EQ(stateOf(document, 3), "floor");
  EXPECT_NEAR(document["channels"][2]["rmsDbfs"].get<double>(), -70, 0.5);
  EXPECT_EQ(stateOf(document, 4), "clipping");
  EXPECT_NEAR(document["channels"][3]["fullScaleShare"].get<double>(), 2.0 / 3, 0.01);
  EXPECT_EQ(stateOf(document, 5), "dc");
  EXPECT_NEAR(document["channels"][4]["dcOffset"].get<double>(), 0.05, 1e-6);
  EXPECT_EQ(stateOf(document, 6), "signal");  // no signal given: a sine
  EXPECT_EQ(document["blocks"]["mostCommon"], 480);
  EXPECT_GT(document["latencyMs"]["frames"].get<int>(), 0);
}

TEST(Check, MeasuresTheDevicesClockAndLogsIt) {
  auto device = desk(2);
  device["clockPpm"] = -1000;
  SupportLogFile log;
  auto result = checkToEnd(world(device), {"--device", "Desk"}, {log.env()});
  ASSERT_EQ(result.exitCode, 0);
  auto clock = json::parse(result.out)["clock"];
  // Scheduling on a shared machine blurs the figure by tens of ppm at most.
  EXPECT_NEAR(clock["ppm"].get<double>(), -1000, 150);
  EXPECT_NEAR(clock["measuredRate"].get<double>(), 47952, 8);
  EXPECT_NE(log.text().find("problem: clock: device 48000 Hz measured at 4795"), std::string::npos) << log.text();
}

TEST(Check, QuitEndsItEarlyWithWhatItHas) {
  ScenarioFile file(world(desk(2)));
  RunningProcess check(builtProgram("tavirel-audio-sim"), {"check", "--device", "Desk", "--seconds", "30"}, file.env());
  ASSERT_TRUE(check.waitFor([](const ProcessResult& r) { return !r.err.empty(); }, Milliseconds(5000)));
  std::this_thread::sleep_for(Milliseconds(300));  // some audio to judge
  check.write("{\"quit\": true}\n");
  auto result = check.wait(Milliseconds(5000));
  EXPECT_EQ(result.exitCode, 0);
  auto document = json::parse(result.out);
  EXPECT_LT(document["seconds"].get<double>(), 5);
  EXPECT_EQ(stateOf(document, 2), "signal");
}

TEST(Check, FailsAsRunDoes) {
  auto denied = world(desk());
  denied["authorization"] = {{"state", 2}};
  auto refusing = desk();
  refusing["setRateStatus"] = -50;
  auto notStarting = world(desk());
  notStarting["unit"] = {{"startStatus", -66681}};
  struct Case {
    json scenario;
    std::vector<std::string> options;
    std::string msg;
    int code;
  } cases[] = {
      {world(desk()), {"--seconds", "1"}, "missing --device", 2},
      {world(desk()), {"--device", "Desk", "--seconds", "61"}, "--seconds must be a number above 0 and at most 60, not 61", 2},
      {denied, {"--device", "Desk"}, "Microphone access denied", 5},
      {world(desk()), {"--device", "Piano"}, "Audio device not found: Piano", 3},
      {world(refusing), {"--device", "Desk", "--rate", "44100"},
       "Desk refused 44100 Hz (now 48000 Hz). The console's clock may decide the rate.", 2},
      {notStarting, {"--device", "Desk"}, "Could not start capture (-66681). Is microphone access allowed?", 3},
  };
  for (const auto& failure : cases) {
    auto result = checkToEnd(failure.scenario, failure.options);
    EXPECT_EQ(result.exitCode, failure.code) << failure.msg;
    EXPECT_EQ(onlyEvent(result), error(failure.msg));
    EXPECT_EQ(result.out, "");
  }
}
}  // namespace
