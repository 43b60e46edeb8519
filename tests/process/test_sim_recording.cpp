// A simulated channel that plays a recording: the stream carries exactly what
// the encoder makes of the file's samples, over its whole length, once and
// looped; a recording the simulation cannot play refuses the scenario.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/sim_recording.h"
#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
const std::string scenarios = std::string(TAVIREL_SOURCE_DIR) + "/examples/scenarios/";

// The samples of each channel of a TVA1 stream, whole frames only.
std::vector<std::vector<std::int16_t>> channelsOf(const std::string& stream) {
  std::vector<std::vector<std::int16_t>> channels;
  for (std::size_t at = 0; at + 9 <= stream.size();) {
    std::size_t count = static_cast<unsigned char>(stream[at + 4]);
    std::uint32_t n;
    std::memcpy(&n, stream.data() + at + 5, 4);
    if (at + 9 + 2 * count * n > stream.size()) break;
    channels.resize(count);
    for (std::size_t c = 0; c < count; ++c) {
      auto* first = reinterpret_cast<const std::int16_t*>(stream.data() + at + 9 + 2 * c * n);
      channels[c].insert(channels[c].end(), first, first + n);
    }
    at += 9 + 2 * count * n;
  }
  return channels;
}

TEST(SimRecording, TheStreamIsTheEncodedFileOnceAndLooped) {
  auto speech = sim::readRecording(scenarios + "speech.wav", 1, 48000).samples;
  ASSERT_TRUE(speech);
  std::size_t seconds = 3, frames = seconds * 48000;
  ASSERT_GT(frames, 2 * speech->size());  // the loop comes round at least twice
  std::vector<float> interleaved;
  for (std::size_t i = 0; i < frames; ++i) {
    interleaved.push_back(i < speech->size() ? (*speech)[i] : 0.0f);
    interleaved.push_back((*speech)[i % speech->size()]);
  }
  std::string raw(reinterpret_cast<const char*>(interleaved.data()), interleaved.size() * sizeof(float));
  auto encoded = runProcess(builtProgram("tva1"), {"encode", "--rate", "48000", "--channels", "2"}, {}, raw);
  ASSERT_EQ(encoded.exitCode, 0);
  auto expected = channelsOf(encoded.out);

  RunningProcess run(builtProgram("tavirel-audio-sim"), {"run", "--device", "Desk", "--channels", "1,2"},
                     {{"TAVIREL_SIM_SCENARIO", scenarios + "speech.json"}});
  std::size_t streamBytes = 2 * 2 * 16000 * seconds;
  ASSERT_TRUE(run.waitFor([&](const ProcessResult& r) { return r.out.size() > streamBytes; }, Milliseconds(20000)));
  run.closeInput();
  auto streamed = channelsOf(run.wait(Milliseconds(10000)).out);

  ASSERT_EQ(streamed.size(), 2u);
  ASSERT_EQ(expected.size(), 2u);
  std::size_t common = std::min(streamed[0].size(), expected[0].size());
  EXPECT_GT(common, 16000 * seconds * 9 / 10);
  for (std::size_t c = 0; c < 2; ++c) {
    streamed[c].resize(common);
    expected[c].resize(common);
    EXPECT_EQ(streamed[c], expected[c]) << "channel " << c + 1;
  }
}

TEST(SimRecording, ARecordingThatCannotBePlayedRefusesTheScenario) {
  struct Case {
    json signal;
    std::string says;
  };
  std::vector<Case> cases = {
      {{{"kind", "recording"}}, "devices[0].signals[0].file must name a sound file for a recording"},
      {{{"kind", "recording"}, {"file", "/nonexistent/take.wav"}},
       "devices[0].signals[0].file \"/nonexistent/take.wav\" cannot be read as a sound file"},
      {{{"kind", "recording"}, {"file", scenarios + "speech.wav"}, {"fileChannel", 2}},
       "devices[0].signals[0].file \"" + scenarios + "speech.wav\" has 1 channels; fileChannel 2 is not one"},
      {{{"kind", "recording"}, {"file", scenarios + "stage.json"}}, "cannot be read as a sound file"},
  };
  auto at44 = desk(2, 44100);
  at44["signals"] = {{{"kind", "recording"}, {"file", scenarios + "speech.wav"}}};
  for (auto& [signal, says] : cases) {
    auto device = desk(2);
    device["signals"] = {signal};
    ScenarioFile file(ScenarioText{world(device).dump()});
    auto result = runProcess(builtProgram("tavirel-audio-sim"), {"list"}, file.env());
    EXPECT_NE(result.exitCode, 0) << says;
    ASSERT_EQ(result.err.size(), 1u) << says;
    EXPECT_NE(json::parse(result.err[0].text).value("msg", "").find(says), std::string::npos) << result.err[0].text;
  }
  ScenarioFile file(ScenarioText{world(at44).dump()});
  auto result = runProcess(builtProgram("tavirel-audio-sim"), {"list"}, file.env());
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_NE(result.err[0].text.find("runs at 48000 Hz, the device at 44100 Hz"), std::string::npos)
      << result.err[0].text;
}
}  // namespace
