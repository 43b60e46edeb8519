// The support log of a run on the simulated machine, which writes it to a file
// instead of the system's log. The standard streams carry only frames and events.
#include <gtest/gtest.h>

#include <regex>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
TEST(SupportLog, TellsVersionDeviceRateMidiLostAudioAndTheEnd) {
  auto device = desk(8);
  device["ranges"] = json::array({json::array({44100, 48000})});
  device["blockFrames"] = 441;
  device["renderStatus"] = -10863;
  device["renderFailsAtMs"] = 300;
  auto scenario = world(device);
  scenario["midi"] = {{"destinations", {"Lights"}}};
  ScenarioFile file(scenario);
  SupportLogFile log;
  auto env = file.env();
  env.push_back(log.env());
  RunningProcess run(builtProgram("tavirel-audio-sim"),
                     {"run", "--device", "desk-uid", "--channels", "2,1", "--rate", "44100"}, env);
  run.write("{\"midi\": [144, 60, 127], \"dest\": \"lights\"}\n{\"midi\": [1], \"dest\": \"Video\"}\n");
  auto result = run.wait(Milliseconds(15000));
  ASSERT_EQ(result.exitCode, 3);
  for (auto& event : result.events()) EXPECT_TRUE(event.is_object()) << event;

  std::string expected =
      "info: tavirel-audio [0-9]+\\.[0-9]+\\.[0-9]+ run --device desk-uid --channels 2,1 --rate 44100\n"
      "info: rate: \"Desk\" asked for 44100 Hz \\(was 48000 Hz\\): confirmed\n"
      "info: capture: \"Desk\" uid \"desk-uid\", 8 inputs as 32-bit float at 44100 Hz, channels 2,1 to 16000 Hz "
      "16-bit frames\n"
      "info: MIDI: sent 3 bytes to \"Lights\"\n"
      "problem: MIDI: MIDI destination not found: Video\n"
      "info: capture: device blocks of 441 frames\n"
      "(problem: [0-9]+ device blocks lost to overruns or failed reads \\([0-9]+ in all\\)\n)+"
      "info: 0 gaps, 0.000 s of silence inserted in [0-9.]+ s\n"
      "problem: ending with code 3: No audio from device for 3 s\n";
  auto logged = log.text();
  EXPECT_TRUE(std::regex_match(logged, std::regex(expected))) << logged;
}
}  // namespace
