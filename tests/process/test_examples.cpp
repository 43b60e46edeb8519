// The reader examples in examples/, run against the simulated program on the
// sample scenario, and judged by what they measured: both channels' whole
// second arrived, the sine at its level and the silent channel silent.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
std::vector<std::pair<std::string, std::string>> stageScenario() {
  return {{"TAVIREL_SIM_SCENARIO", std::string(TAVIREL_SOURCE_DIR) + "/examples/scenarios/stage.json"}};
}

// Channel 1 of the stage is a 440 Hz sine at half of full scale.
constexpr double sinePeak = 0.5 * 32767;

TEST(Examples, PythonReaderStreamsSendsMidiAndQuits) {
  auto result = runProcess("/usr/bin/python3",
                           {std::string(TAVIREL_SOURCE_DIR) + "/examples/python/listen.py",
                            builtProgram("tavirel-audio-sim"), "Desk"},
                           stageScenario());
  ASSERT_EQ(result.exitCode, 0) << result.out;
  auto summary = json::parse(result.out);
  EXPECT_EQ(summary["exit"], 0);
  EXPECT_EQ(summary["events"], json::parse(R"([
    {"event": "started", "device": "Desk", "rate": 48000.0, "deviceChannels": 8, "channels": [1, 2]},
    {"event": "midi-sent", "dest": "Lights", "bytes": [144, 60, 127]}])"));
  EXPECT_GE(summary["samples"][0].get<int>(), 16000);
  EXPECT_EQ(summary["samples"][0], summary["samples"][1]);
  EXPECT_NEAR(summary["rms"][0].get<double>(), sinePeak / std::sqrt(2.0), sinePeak * 0.01);
  EXPECT_EQ(summary["rms"][1], 0.0);
}

TEST(Examples, PythonLineCheckPutsTheSilentChannelFirst) {
  auto result = runProcess("/usr/bin/python3",
                           {std::string(TAVIREL_SOURCE_DIR) + "/examples/python/line_check.py",
                            builtProgram("tavirel-audio-sim"), "Desk", "1"},
                           stageScenario());
  ASSERT_EQ(result.exitCode, 0) << result.out;
  std::istringstream lines(result.out);
  std::string device, header, first;
  std::getline(lines, device);
  std::getline(lines, header);
  std::getline(lines, first);
  EXPECT_EQ(device, "Desk: 8 channels at 48000 Hz");
  EXPECT_EQ(first, "  2  zero           -      -  0.00 %");
}

TEST(Examples, CppReaderCountsFramesAndEvents) {
  auto result = runProcess(builtProgram("examples/cpp/tva1_reader"),
                           {"1", builtProgram("tavirel-audio-sim"), "run", "--device", "Desk", "--channels", "1,2"},
                           stageScenario());
  ASSERT_EQ(result.exitCode, 0) << result.out;
  std::istringstream lines(result.out);
  std::string started, first, second, ended;
  std::getline(lines, started);
  std::getline(lines, first);
  std::getline(lines, second);
  std::getline(lines, ended);
  EXPECT_EQ(started, R"(event {"channels":[1,2],"device":"Desk","deviceChannels":8,"event":"started","rate":48000.0})");
  unsigned long long samples1 = 0, samples2 = 0;
  int peak1 = -1, peak2 = -1;
  ASSERT_EQ(std::sscanf(first.c_str(), "channel 1: %llu samples, peak %d", &samples1, &peak1), 2) << first;
  ASSERT_EQ(std::sscanf(second.c_str(), "channel 2: %llu samples, peak %d", &samples2, &peak2), 2) << second;
  EXPECT_GE(samples1, 16000u);
  EXPECT_EQ(samples1, samples2);
  EXPECT_NEAR(peak1, sinePeak, sinePeak * 0.01);
  EXPECT_EQ(peak2, 0);
  EXPECT_EQ(ended, "exit 0");
}

// A line on standard error that is not an event (the dynamic loader's, when a
// library is missing) and a death by signal: the Python reader passes the line
// on as text, comes to its end and says how the program ended.
TEST(Examples, PythonReaderPassesOnTextAndReportsADeathBySignal) {
  const char* script = R"(
from tavirel_audio import TavirelAudio
audio = TavirelAudio(["sh", "-c", "echo 'cannot open shared object file' >&2; kill -TERM $$"])
print([kind + ": " + str(item) for kind, item in audio.items()], audio.ending(audio.wait()))
)";
  auto result = runProcess("/usr/bin/python3", {"-c", script},
                           {{"PYTHONPATH", std::string(TAVIREL_SOURCE_DIR) + "/examples/python"}}, "",
                           Milliseconds(10000));
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "['text: cannot open shared object file'] killed by SIGTERM\n");
}
}  // namespace
