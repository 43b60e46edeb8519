// A simulated channel that plays a recording: the stream carries exactly what
// the encoder makes of the file's samples, over its whole length, once and
// looped; a recording the simulation cannot play refuses the scenario.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
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

// Below 14 kHz the anti-alias corner must move under half the rate: a 300 Hz
// tone at -6 dBFS comes out at its level and frequency at every such rate. A
// NaN, +∞ and −∞ in a recording are each one click of silence, counted in
// the support log: the stream is exactly the encoding of the recording with
// those samples at 0.
TEST(SimRecording, LowRatesAndNonFiniteSamplesStreamTheSource) {
  const double tau = 6.283185307179586;
  std::vector<float> take(12000);
  for (std::size_t i = 0; i < take.size(); ++i) take[i] = static_cast<float>(0.5 * std::sin(tau * 300 * double(i) / 8000));
  take[2000] = NAN, take[4000] = INFINITY, take[6000] = -INFINITY;
  std::string wav = "/tmp/tavirel-nonfinite-" + std::to_string(getpid()) + ".wav";
  SF_INFO info{};
  info.samplerate = 8000, info.channels = 1, info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(wav.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(sf_writef_float(file, take.data(), static_cast<sf_count_t>(take.size())), sf_count_t(take.size()));
  sf_close(file);

  auto zeroed = take;
  for (auto& v : zeroed) v = std::isfinite(v) ? v : 0.0f;
  std::string raw(reinterpret_cast<const char*>(zeroed.data()), zeroed.size() * sizeof(float));
  auto encoded = runProcess(builtProgram("tva1"), {"encode", "--rate", "8000", "--channels", "1"}, {}, raw);
  auto expected = channelsOf(encoded.out);
  ASSERT_EQ(expected.size(), 1u);

  struct Capture {
    double rate;
    std::unique_ptr<SupportLogFile> log;
    std::unique_ptr<ScenarioFile> scenario;
    std::unique_ptr<RunningProcess> run;
  };
  std::vector<Capture> captures;
  for (double rate : {8000.0, 11025.0, 12000.0, 14000.0}) {
    auto device = desk(2, rate);
    device["signals"] = {{{"kind", "sine"}, {"frequency", 300}, {"amplitude", 0.5}},
                         rate == 8000 ? json{{"kind", "recording"}, {"file", wav}} : json{{"kind", "silence"}}};
    Capture c{rate, std::make_unique<SupportLogFile>(), std::make_unique<ScenarioFile>(world(device)), nullptr};
    auto env = c.scenario->env();
    env.push_back(c.log->env());
    c.run = std::make_unique<RunningProcess>(builtProgram("tavirel-audio-sim"),
                                             runArgs({"--device", "Desk", "--channels", "1,2"}), env);
    captures.push_back(std::move(c));
  }
  for (auto& c : captures) {
    // Two seconds: past the recording, and past a watchdog tick after it.
    ASSERT_TRUE(c.run->waitFor([](const ProcessResult& r) { return r.out.size() > 2 * 2 * 16000 * 2; },
                               Milliseconds(20000)));
    c.run->closeInput();
    auto streamed = channelsOf(c.run->wait(Milliseconds(10000)).out);
    ASSERT_EQ(streamed.size(), 2u);
    double power = 0, inPhase = 0, quadrature = 0;
    for (std::size_t k = 8000; k < 24000; ++k) {
      double v = streamed[0][k] / 32767.0, t = tau * 300 * double(k) / 16000;
      power += v * v, inPhase += v * std::sin(t), quadrature += v * std::cos(t);
    }
    double level = 20 * std::log10(std::sqrt(power / 16000) / (0.5 / std::sqrt(2.0)));
    double tone = 2 * std::hypot(inPhase, quadrature) / 16000;  // the 300 Hz part's amplitude
    EXPECT_NEAR(level, 0.0, 0.5) << c.rate;
    EXPECT_NEAR(tone, 0.5, 0.03) << c.rate;
    if (c.rate != 8000) continue;
    ASSERT_GE(streamed[1].size(), expected[0].size());
    streamed[1].resize(expected[0].size());
    EXPECT_EQ(streamed[1], expected[0]);
    EXPECT_NE(c.log->text().find("channel 2: "), std::string::npos) << c.log->text();
    EXPECT_NE(c.log->text().find(" non-finite samples taken as silence (3 in all)"), std::string::npos)
        << c.log->text();
  }
  std::remove(wav.c_str());
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
