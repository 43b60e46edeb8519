// The simulation's scenario: every key reads and writes back, and anything
// else is refused with the file and the key in the message.
#include <gtest/gtest.h>

#include "platform/sim/sim_scenario.h"
#include "tests/support/scenario_round_trip.h"

using nlohmann::json;

namespace {
// Every key, none at its default.
json everyKey() {
  json device = {{"id", 41},
                 {"name", "Desk"},
                 {"uid", "desk-uid"},
                 {"inputBuffers", {2, 6}},
                 {"rate", 44100.0},
                 {"ranges", {{44100.0, 44100.0}, {8000.0, 96000.0}}},
                 {"unreadable", {"name", "uid", "rate", "rates", "config"}},
                 {"shortReads", true},
                 {"setRateStatus", -50},
                 {"rateSettleMs", 12.5},
                 {"vanishAtMs", 900.0},
                 {"rateChangeAtMs", 400.0},
                 {"rateChangeTo", 32000.0},
                 {"signals", {{{"kind", "noise"}, {"frequency", 1000.0}, {"amplitude", 0.25}, {"seed", 7},
                               {"file", "take.wav"}, {"fileChannel", 2}, {"loop", true}}}},
                 {"blockFrames", 4096},
                 {"clockPpm", -100.0},
                 {"unitRate", 48000.0},
                 {"audioStopsAtMs", 300.0},
                 {"renderStatus", 1},
                 {"renderFailsAtMs", 200.0},
                 {"renderFailsForMs", 100.0}};
  return {{"devices", {device}},
          {"deviceListFails", true},
          {"deviceListShortReads", true},
          {"unit",
           {{"missing", true},
            {"instanceStatus", 1},
            {"nullInstance", true},
            {"currentDeviceStatus", 2},
            {"formatStatus", 3},
            {"initializeStatus", 4},
            {"startStatus", 5}}},
          {"authorization", {{"state", 0}, {"answer", false}, {"answerAfterMs", 150.0}}},
          {"midi", {{"destinations", {"Lights", nullptr}}, {"listingHangs", true}, {"sendStatus", -1}, {"clientStatus", 9}}},
          {"speed", 8.0}};
}

TEST(SimScenario, EveryKeyReadsBackAsWritten) {
  auto scenario = everyKey();
  auto reading = sim::readScenario(scenario.dump(), "every-key.json");
  ASSERT_TRUE(reading.world) << reading.problem;
  // A key the table gains must be added above: the writer names every key.
  EXPECT_EQ(sim::scenarioJson(*reading.world), scenario);

  const sim::World& world = *reading.world;
  EXPECT_EQ(world.devices.at(0).ranges.at(1).mMaximum, 96000.0);
  EXPECT_EQ(world.devices.at(0).signals.at(0).seed, 7u);
  EXPECT_EQ(world.devices.at(0).setRateStatus, -50);
  EXPECT_EQ(world.midi.destinations.at(1).name, std::nullopt);
  EXPECT_EQ(world.unit.startStatus, 5);
  testing_support::expectScenarioRoundTrips(scenario);
}

TEST(SimScenario, NullIsAbsenceAndMissingKeysKeepTheirDefaults) {
  auto reading = sim::readScenario(R"({"devices": [{"id": 40, "name": null, "unitRate": null}]})", "s.json");
  ASSERT_TRUE(reading.world) << reading.problem;
  const sim::Device& device = reading.world->devices.at(0);
  EXPECT_EQ(device.name, std::nullopt);
  EXPECT_EQ(device.unitRate, std::nullopt);
  EXPECT_EQ(device.rate, 48000.0);
  EXPECT_EQ(device.blockFrames, 480u);
  EXPECT_EQ(reading.world->speed, 1.0);
}

TEST(SimScenario, RefusalsNameTheFileAndTheKey) {
  struct Case {
    const char* text;
    const char* problem;
  };
  const Case cases[] = {
      {R"({"devices": [{"unreadble": ["name"]}]})", "devices[0].unreadble is not a key of the scenario"},
      {R"({"Speed": 2})", "Speed is not a key of the scenario"},
      {R"({"unit": {"startStatus": 1, "started": true}})", "unit.started is not a key of the scenario"},
      {R"({"devices": [{"rate": "48000"}]})", "devices[0].rate must be a number, not a string"},
      {R"({"devices": [{"shortReads": 1}]})", "devices[0].shortReads must be true or false, not 1"},
      {R"({"devices": [{"blockFrames": 480.5}]})",
       "devices[0].blockFrames must be a whole number from 0 to 4294967295, not 480.5"},
      {R"({"devices": [{"id": -1}]})", "devices[0].id must be a whole number from 0 to 4294967295, not -1"},
      {R"({"unit": {"startStatus": 2147483648}})",
       "unit.startStatus must be a whole number from -2147483648 to 2147483647, not 2147483648"},
      {R"({"devices": {"id": 40}})", "devices must be an array, not an object"},
      {R"({"devices": [{"ranges": [[44100]]}]})", "devices[0].ranges[0] must be a pair [lowest, highest], not an array"},
      {R"({"devices": [{"signals": [{}, {"kind": "sin"}]}]})",
       R"(devices[0].signals[1].kind must be one of sine, constant, silence, noise, recording, not "sin")"},
      {R"({"devices": [{"unreadable": ["name", "nmae"]}]})",
       R"(devices[0].unreadable[1] must be one of name, uid, rate, rates, config, not "nmae")"},
      {R"({"midi": {"destinations": ["Lights", 3]}})", "midi.destinations[1] must be a string, not 3"},
      {R"(["devices"])", "the scenario must be an object, not an array"},
      {"{\"devices\": [\n  {\"id\": 40,}\n]}", "not valid JSON (line 2, column 13)"},
      {"", "not valid JSON (line 1, column 1)"},
      {R"({"devices": [{"k\nd": 1}]})", R"(devices[0]."k\nd" is not a key of the scenario)"},
      {R"({"devices": [{"signals": [{"kind": "sine\n"}]}]})",
       R"(devices[0].signals[0].kind must be one of sine, constant, silence, noise, recording, not "sine\n")"},
      {R"({"devices": [{"rate": 4e8000}]})", "not valid JSON (a number too large for a double)"},
      // Values that read but that no real system has.
      {R"({"devices": [{"name": "Desk"}]})",
       "devices[0].id must be a whole number from 2 to 4294967295 (0 names no object, 1 is the system object), not 0"},
      {R"({"devices": [{"id": 40}, {"id": 1}]})",
       "devices[1].id must be a whole number from 2 to 4294967295 (0 names no object, 1 is the system object), not 1"},
      {R"({"devices": [{"id": 40}, {"id": 41}, {"id": 40}]})",
       "devices[2].id must differ from every other device's, not 40 (the id of devices[0])"},
      {R"({"devices": [{"id": 40, "blockFrames": 8193}]})",
       "devices[0].blockFrames must be a whole number from 0 to 8192, not 8193"},
      // Buffers whose sum would wrap a 32-bit channel count.
      {R"({"devices": [{"id": 40, "inputBuffers": [4294967295]}]})",
       "devices[0].inputBuffers must add up to at most 4096 channels, not 4294967295"},
      {R"({"devices": [{"id": 40, "inputBuffers": [2147483648, 2147483648]}]})",
       "devices[0].inputBuffers must add up to at most 4096 channels, not 4294967296"},
      {R"({"devices": [{"id": 40, "rateChangeAtMs": 0, "rateChangeTo": 44100}]})",
       R"(devices[0].rateChangeAtMs must be a number above 0 or null (the rate from the start is "rate"), not 0.0)"},
  };
  for (auto& [text, problem] : cases) {
    auto reading = sim::readScenario(text, "/tmp/s.json");
    EXPECT_FALSE(reading.world) << text;
    EXPECT_EQ(reading.problem, std::string("Scenario file /tmp/s.json: ") + problem);
  }
  auto unreadable = sim::readScenarioFile("/nonexistent/s.json");
  EXPECT_FALSE(unreadable.world);
  EXPECT_EQ(unreadable.problem, "Scenario file /nonexistent/s.json: cannot be read (No such file or directory)");
}
}  // namespace
