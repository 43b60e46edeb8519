// The run command on the simulated machine: every way set-up can fail, with
// its one "error" event and exit code, the access flow, and the "started" event.
#include <gtest/gtest.h>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
struct Failure {
  const char* what;
  json scenario;
  std::vector<std::string> options;
  std::string msg;
  int code;
};

std::ostream& operator<<(std::ostream& out, const Failure& failure) { return out << failure.what; }

json withUnit(json unit) {
  auto scenario = world(desk());
  scenario["unit"] = std::move(unit);
  return scenario;
}

json deskWith(const json& changes, int channels = 8) {
  auto device = desk(channels);
  device.update(changes);
  return world(device);
}

json withAccess(int state) {
  auto scenario = world(desk());
  scenario["authorization"] = {{"state", state}};
  return scenario;
}

const std::string refusal = " Hz). The console's clock may decide the rate.";
const std::string replacement = "\xEF\xBF\xBD";  // U+FFFD
const std::string hugeRateDigits =
    "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447864043704443"
    "8328838781769425232353604305756447921847867069828483872009265758037378302337947880900593689532349707999450811"
    "19038967640880074652742780142494579258788820056842838115669472196386865459400540160";

std::string repeated(const std::string& text, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i) all += text;
  return all;
}

std::vector<Failure> failures() {
  std::vector<std::string> tooMany{"--device", "Desk", "--channels", ""};
  for (int i = 0; i < 256; ++i) tooMany.back() += "1,";
  return {
      {"no device value", world(desk()), {"--device"}, "missing --device", 2},
      {"no device option", world(desk()), {"--channels", "1"}, "missing --device", 2},
      {"missing device before access", withAccess(2), {}, "missing --device", 2},
      {"unknown device", world(desk()), {"--device", "Nope"}, "Audio device not found: Nope", 3},
      {"unknown device and bad channels", world(desk()), {"--device", "Nope", "--channels", "x"},
       "Audio device not found: Nope", 3},
      {"channels x", world(desk()), {"--device", "Desk", "--channels", "x"}, "no channels given", 2},
      {"channels comma", world(desk()), {"--device", "Desk", "--channels", ","}, "no channels given", 2},
      {"channels empty", world(desk()), {"--device", "Desk", "--channels", ""}, "no channels given", 2},
      {"channel 0", world(desk()), {"--device", "desk-uid", "--channels", "0"},
       "Channel 0 does not exist on Desk (8 inputs)", 2},
      {"channel -1", world(desk()), {"--device", "desk", "--channels", "-1"},
       "Channel -1 does not exist on Desk (8 inputs)", 2},
      {"channel 9 after 3", world(desk()), {"--device", "Desk", "--channels", "3,9"},
       "Channel 9 does not exist on Desk (8 inputs)", 2},
      {"unreadable name", deskWith({{"unreadable", {"name"}}}), {"--device", "desk-uid", "--channels", "9"},
       "Channel 9 does not exist on  (8 inputs)", 2},
      {"too many channels", world(desk()), tooMany, "Too many channels: 256 (at most 255)", 2},
      {"rate refused", deskWith({{"setRateStatus", -50}}), {"--device", "Desk", "--rate", "44100"},
       "Desk refused 44100 Hz (now 48000" + refusal, 2},
      {"rate as asked", deskWith({{"setRateStatus", -50}, {"rate", 48000.7}}),
       {"--device", "Desk", "--rate", "44100.9"}, "Desk refused 44100.9 Hz (now 48000" + refusal, 2},
      {"infinite rate", deskWith({{"setRateStatus", -50}}), {"--device", "Desk", "--rate", "inf"},
       "Desk refused inf Hz (now 48000" + refusal, 2},
      {"huge rate", deskWith({{"setRateStatus", -50}}), {"--device", "Desk", "--rate", "1e30"},
       "Desk refused 1000000000000000019884624838656 Hz (now 48000" + refusal, 2},
      {"hexadecimal rate", deskWith({{"setRateStatus", -50}}), {"--device", "Desk", "--rate", "0x1p16"},
       "Desk refused 65536 Hz (now 48000" + refusal, 2},
      {"no component", withUnit({{"missing", true}}), {"--device", "Desk"}, "HAL unit not available", 2},
      {"instance refused", withUnit({{"instanceStatus", -50}}), {"--device", "Desk"}, "AudioComponentInstanceNew -50", 2},
      {"no instance", withUnit({{"nullInstance", true}}), {"--device", "Desk"}, "AudioComponentInstanceNew 0", 2},
      {"device refused", withUnit({{"currentDeviceStatus", -10851}}), {"--device", "Desk"},
       "Could not open device (-10851)", 3},
      {"format refused", withUnit({{"formatStatus", -10868}}), {"--device", "Desk"},
       "Could not set capture format (-10868)", 2},
      {"initialize fails", withUnit({{"initializeStatus", 1852797029}}), {"--device", "Desk"},
       "AudioUnitInitialize 1852797029", 3},
      {"start fails", withUnit({{"startStatus", -66681}}), {"--device", "Desk"},
       "Could not start capture (-66681). Is microphone access allowed?", 3},
      {"no rate anywhere", deskWith({{"unitRate", 0}, {"unreadable", {"rate"}}}), {"--device", "Desk"},
       "Unusable capture rate: 0 Hz", 3},
      {"too slow a unit rate", deskWith({{"unitRate", 500.5}}), {"--device", "Desk"}, "Unusable capture rate: 500 Hz", 3},
      {"far too fast a rate", deskWith({{"ranges", json::array()}}), {"--device", "Desk", "--rate", "1e300"},
       "Unusable capture rate: " + hugeRateDigits + " Hz", 3},
      {"one Hz over a megahertz", deskWith({{"ranges", json::array()}}), {"--device", "Desk", "--rate", "1000001"},
       "Unusable capture rate: 1000001 Hz", 3},
      // Bytes that are not UTF-8 in a message: each maximal bad sequence is one U+FFFD.
      {"name FF", world(desk()), {"--device", "\xFF"}, "Audio device not found: " + replacement, 3},
      {"name Desk FF", world(desk()), {"--device", "Desk\xFF"}, "Audio device not found: Desk" + replacement, 3},
      {"overlong slash", world(desk()), {"--device", "\xC0\xAF"},
       "Audio device not found: " + replacement + replacement, 3},
      {"lone surrogate", world(desk()), {"--device", "\xED\xA0\x80"},
       "Audio device not found: " + replacement + replacement + replacement, 3},
      {"longest argument of FF", world(desk()), {"--device", std::string(131071, '\xFF')},
       "Audio device not found: " + repeated(replacement, 131071), 3},
      {"restricted", withAccess(1), {"--device", "Desk"},
       "Microphone access denied", 5},
      {"denied", withAccess(2), {"--device", "Desk"},
       "Microphone access denied", 5},
      {"unknown state", withAccess(7), {"--device", "Desk"},
       "Microphone access denied", 5},
  };
}

class RunFailure : public ::testing::TestWithParam<Failure> {};

TEST_P(RunFailure, OneErrorEventAndItsExitCode) {
  auto& failure = GetParam();
  auto result = runToEnd(failure.scenario, failure.options);
  EXPECT_EQ(result.exitCode, failure.code);
  EXPECT_EQ(onlyEvent(result), error(failure.msg));
  EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(Run, RunFailure, ::testing::ValuesIn(failures()),
                         [](const ::testing::TestParamInfo<Failure>& param) {
                           std::string name;
                           for (char c : std::string(param.param.what)) name += std::isalnum(c) ? c : '_';
                           return name;
                         });

// A full disk is no reader that went away: the stream is lost while the
// parent waits for it, and it must hear so.
TEST(Run, AFailedWriteOfTheStreamIsAnErrorNotTheEnd) {
  ScenarioFile file(world(desk()));
  auto result = runProcess("/bin/sh", {"-c", "sleep 2 | \"$0\" run --device Desk >/dev/full", builtProgram("tavirel-audio-sim")},
                           file.env());
  EXPECT_EQ(result.exitCode, 3);
  ASSERT_EQ(result.err.size(), 2u);
  EXPECT_EQ(json::parse(result.err[1].text), error("Could not write audio to standard output: No space left on device"));
}

TEST(Run, AskingForAccessWaitsForTheAnswer) {
  auto no = world(desk());
  no["authorization"] = {{"state", 0}, {"answer", false}, {"answerAfterMs", 300}};
  auto refused = runToEnd(no, {"--device", "Desk"});
  EXPECT_EQ(refused.exitCode, 5);
  ASSERT_EQ(refused.err.size(), 2u);
  EXPECT_EQ(json::parse(refused.err[0].text), (json{{"event", "permission"}}));
  EXPECT_EQ(json::parse(refused.err[1].text), error("Microphone access denied"));
  EXPECT_GE(refused.err[1].atMs - refused.err[0].atMs, 250);

  auto yes = no;
  yes["authorization"]["answer"] = true;
  auto granted = runToEnd(yes, {"--device", "Desk"});
  EXPECT_EQ(granted.exitCode, 0);
  ASSERT_EQ(granted.err.size(), 2u);
  EXPECT_EQ(json::parse(granted.err[0].text), (json{{"event", "permission"}}));
  EXPECT_EQ(json::parse(granted.err[1].text).value("event", ""), "started");
}

TEST(Run, StartedNamesTheDeviceRateAndChannels) {
  auto result = runToEnd(world(desk(4)), {"--device", "desk-uid", "--channels", "2, 1,x,,2"});
  EXPECT_EQ(result.exitCode, 0);  // standard input closed
  EXPECT_EQ(onlyEvent(result), (json{{"event", "started"},
                                     {"device", "Desk"},
                                     {"rate", 48000.0},
                                     {"deviceChannels", 4},
                                     {"channels", {2, 1, 2}}}));
}

TEST(Run, ChannelOneByDefaultAndTheUnitsRateWins) {
  auto result = runToEnd(deskWith({{"unitRate", 44100}}), {"--device", "Desk"});
  auto started = onlyEvent(result);
  EXPECT_EQ(started["channels"], json({1}));
  EXPECT_EQ(started["rate"], 44100.0);
  EXPECT_EQ(started["deviceChannels"], 8);
}

TEST(Run, WithoutADeviceSideRateTheRateAtStartIsUsed) {
  auto result = runToEnd(deskWith({{"unitRate", 0}, {"rate", 32000}}), {"--device", "Desk"});
  EXPECT_EQ(onlyEvent(result)["rate"], 32000.0);
}

TEST(Run, RatesThatAreNoRequestLeaveTheDeviceAlone) {
  // The device would refuse any request: each of these must not make one.
  auto refusing = deskWith({{"setRateStatus", -50}});
  for (auto rate : {"48000", "48001", "47999", "abc", "0", "-1", " 44100", "44100 ", "nan", ""}) {
    auto result = runToEnd(refusing, {"--device", "Desk", "--rate", rate});
    EXPECT_EQ(result.exitCode, 0) << rate;
    EXPECT_EQ(onlyEvent(result).value("event", ""), "started") << rate;
  }
}

TEST(Run, AnAcceptedRateIsTheCaptureRate) {
  auto device = desk();
  device["ranges"] = json::array({json::array({44100, 44100}), json::array({48000, 48000})});
  auto result = runToEnd(world(device), {"--device", "Desk", "--rate", "44100"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(onlyEvent(result)["rate"], 44100.0);
}
}  // namespace
