// `list` on the simulated machine, and on this Linux machine.
#include <gtest/gtest.h>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
ProcessResult listOn(const json& scenario) {
  ScenarioFile file(scenario);
  return runProcess(builtProgram("tavirel-audio-sim"), {"list"}, file.env());
}

json devices() {
  return json::array({
      {{"id", 40}, {"name", "Desk"}, {"uid", "desk-1"}, {"inputBuffers", {2, 6}}, {"rate", 48000},
       {"ranges", {{44100, 44100}, {48000, 48000}}}},
      {{"id", 41}, {"name", "Speakers"}, {"uid", "spk"}, {"inputBuffers", json::array()}},
      {{"id", 42}, {"name", "Bühne \"B\""}, {"uid", "b"}, {"inputBuffers", {1}}, {"rate", 96000}},
  });
}

TEST(ListCommand, DevicesAndDestinationsInOneDocument) {
  auto result = listOn({{"devices", devices()}, {"midi", {{"destinations", {"Lights", nullptr, "Lights", ""}}}}});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty());
  ASSERT_FALSE(result.out.empty());
  EXPECT_EQ(result.out.back(), '\n');
  EXPECT_NE(result.out[result.out.size() - 2], '\n');  // one line feed, no more
  EXPECT_NE(result.out.find("\n  "), std::string::npos);  // spread over indented lines
  auto document = json::parse(result.out);
  EXPECT_EQ(document["midi"], (json{"Lights", "Destination 2", "Lights", ""}));
  EXPECT_FALSE(document.contains("midiError"));
  ASSERT_EQ(document["inputs"].size(), 2u);
  EXPECT_EQ(document["inputs"][0], (json{{"name", "Desk"}, {"uid", "desk-1"}, {"channels", 8}, {"rate", 48000.0},
                                         {"rates", {44100.0, 48000.0}}}));
  EXPECT_EQ(document["inputs"][1]["name"], "Bühne \"B\"");
}

TEST(ListCommand, EmptyMachine) {
  auto result = listOn(json::object());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty());
  EXPECT_EQ(json::parse(result.out), (json{{"inputs", json::array()}, {"midi", json::array()}}));
}

TEST(ListCommand, AHangingMidiServiceCostsAboutTwoSeconds) {
  ScenarioFile file(json{{"devices", devices()}, {"midi", {{"destinations", {"Lights"}}, {"listingHangs", true}}}});
  RunningProcess process(builtProgram("tavirel-audio-sim"), {"list"}, file.env());
  auto result = process.wait(Milliseconds(10000));
  // The process ends right after its output, so its lifetime bounds when the document came.
  double ms = process.elapsedMs();
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_GE(ms, 1900.0);
  EXPECT_LT(ms, 4000.0);
  EXPECT_TRUE(result.err.empty());
  auto document = json::parse(result.out);
  EXPECT_EQ(document["midi"], json::array());
  EXPECT_EQ(document["midiError"], "MIDI server not responding");
  EXPECT_EQ(document["inputs"].size(), 2u);
}

TEST(ListCommand, ThisMachineWithoutSequencerListsNoMidiAndNoError) {
  auto result = runProcess(builtProgram("tavirel-audio"), {"list"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty()) << result.err.front().text;
  auto document = json::parse(result.out);
  EXPECT_TRUE(document["inputs"].is_array());
  if (access("/dev/snd/seq", F_OK) != 0) {
    EXPECT_EQ(document["midi"], json::array());
  }
  EXPECT_FALSE(document.contains("midiError"));
}
}  // namespace
