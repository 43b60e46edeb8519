// The tva1 tool: encode writes the capture's stream, wav and info read it
// back, and every bad input is one line on standard error: exit 2 for a bad
// command line, 65 for bad data.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/process/run_scenario.h"
#include "tests/process/tva1_streams.h"
#include "tests/support/process_runner.h"

using namespace testing_support;
using namespace tva1_streams;

namespace {

class Tva1 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::signal(SIGPIPE, SIG_IGN);  // a refused input must not end the test
    dir_ = std::filesystem::temp_directory_path() /
           ("tva1-test-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(Tva1, EncodeRefusesBadOptions) {
  for (auto rate : {"0", "-48000", "nan", "inf", "48k", "", "0.5"})
    expectRefusal(tva1({"encode", "--rate", rate, "--channels", "2"}, floats({0, 0})), "--rate");
  for (auto channels : {"0", "256", "-1", "two", "1.5"})
    expectRefusal(tva1({"encode", "--rate", "48000", "--channels", channels}), "--channels");
  for (auto args : std::vector<std::vector<std::string>>{
           {"encode"}, {"encode", "--rate", "48000"}, {"encode", "--channels", "1"}, {"encode", "--rate"},
           {"encode", "--rate", "48000", "--channels", "1", "--gain", "2"}})
    expectRefusal(tva1(args), "usage");
  expectRefusal(tva1({"convert"}), "usage");
  EXPECT_EQ(tva1({"encode", "--channels", "255", "--rate", "44100"}).exitCode, 0);
}

TEST_F(Tva1, EncodeFeedsBlocksOf8192AndFramesEachOnceReady) {
  // At 16 kHz the samples pass through, so every frame can be predicted:
  // blocks of 8192, 8192 and 3616 sample frames, each a frame of its own.
  std::vector<float> input;
  for (int i = 0; i < 20000; ++i) {
    input.push_back((static_cast<float>(i % 1000) + 0.5f) / 32767);
    input.push_back(-0.5f);
  }
  auto result = tva1({"encode", "--rate", "16000", "--channels", "2"}, floats(input));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty());
  std::string expected;
  for (std::size_t start : {0, 8192, 16384}) {
    std::size_t n = std::min<std::size_t>(8192, 20000 - start);
    std::vector<std::int16_t> planar;
    for (std::size_t i = 0; i < n; ++i) planar.push_back(static_cast<std::int16_t>((start + i) % 1000));
    for (std::size_t i = 0; i < n; ++i) planar.push_back(-16383);
    expected += frame(2, planar);
  }
  EXPECT_TRUE(result.out == expected) << "got " << result.out.size() << " bytes, expected " << expected.size();
}

TEST_F(Tva1, EncodeKeepsWhatNoFrameCarriedYetAndSaysWhatItLeftOut) {
  // 500 samples at 16 kHz never fill a frame; at 48 kHz 8192 + 100 frames give
  // 2731 samples then 34 more, and the second block adds no frame.
  auto short_ = tva1({"encode", "--rate", "16000", "--channels", "1"}, floats(std::vector<float>(500, 0.1f)));
  EXPECT_EQ(short_.exitCode, 0);
  EXPECT_EQ(short_.out, "");
  ASSERT_EQ(short_.err.size(), 1u);
  EXPECT_NE(short_.err[0].text.find("the last 500 samples per channel (0.03125 s)"), std::string::npos)
      << short_.err[0].text;
  auto result = tva1({"encode", "--rate", "48000", "--channels", "1"}, floats(std::vector<float>(8292, 0.1f)));
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_EQ(result.out.size(), 9u + 2 * 2731);
  EXPECT_EQ(u32At(result.out, 5), 2731u);
  ASSERT_EQ(result.err.size(), 1u);
  EXPECT_NE(result.err[0].text.find("the last 34 samples"), std::string::npos) << result.err[0].text;
}

TEST_F(Tva1, EncodeRefusesInputEndingInsideASampleFrameAfterWritingTheRest) {
  std::string input = floats(std::vector<float>(2 * 1000, 0.25f)) + "xyz";
  auto result = tva1({"encode", "--rate", "16000", "--channels", "2"}, input);
  expectDataError(result, "3 stray bytes");
  EXPECT_EQ(result.out.size(), 9u + 2 * 1000 * 2);
}

TEST_F(Tva1, EncodeEndsWithZeroAndSilentlyWhenTheReaderGoes) {
  RunningProcess encoder(builtProgram("tva1"), {"encode", "--rate", "16000", "--channels", "1"});
  encoder.closeOutput();
  encoder.write(floats(std::vector<float>(8192, 0.5f)));
  encoder.closeInput();
  auto result = encoder.wait(Milliseconds(20000));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty());
}

TEST_F(Tva1, WavWritesOneMonoFilePerChannelWithCorrectHeaders) {
  std::vector<std::int16_t> planar = constant(800, 1000);
  auto second = constant(800, -2);
  planar.insert(planar.end(), second.begin(), second.end());
  std::string stream = frame(2, planar) + frame(2, std::vector<std::int16_t>(2 * 900, 7));
  auto result = tva1({"wav", dir_.string()}, stream);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty());
  for (int channel : {1, 2}) {
    std::string wav = readFile((dir_ / ("channel-" + std::to_string(channel) + ".wav")).string());
    ASSERT_EQ(wav.size(), 44u + 2 * 1700) << channel;
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(u32At(wav, 4), 36u + 3400);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32At(wav, 16), 16u);
    EXPECT_EQ(u32At(wav, 20), 1u | 1u << 16);  // integer PCM, mono
    EXPECT_EQ(u32At(wav, 24), 16000u);
    EXPECT_EQ(u32At(wav, 28), 32000u);
    EXPECT_EQ(u32At(wav, 32), 2u | 16u << 16);
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(u32At(wav, 40), 3400u);
    EXPECT_EQ(wav.substr(44 + 1600, 2), std::string("\x07\x00", 2));
  }
  std::string first = readFile((dir_ / "channel-1.wav").string());
  EXPECT_EQ(first.substr(44, 2), std::string("\xE8\x03", 2));
  std::string two = readFile((dir_ / "channel-2.wav").string());
  EXPECT_EQ(two.substr(44, 2), std::string("\xFE\xFF", 2));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "channel-3.wav"));
}

struct Malformed {
  const char* name;
  std::string tail;  // after one valid two-channel frame
  const char* mentions;
};

TEST_F(Tva1, MalformedStreamsAreRefusedAfterTheValidFrames) {
  std::string good = frame(2, constant(1600, 3));
  std::string header = "TVA1";
  std::vector<Malformed> cases{
      {"bad magic", "TVA2" + frame(2, constant(1600, 3)).substr(4), "magic"},
      {"not a stream", "hello, world", "magic"},
      {"a header that is not one", "TVB", "magic"},
      {"799 samples", frame(2, constant(2 * 799, 3)), "799"},
      {"channel count changes", frame(1, constant(800, 3)), "changed from 2 to 1"},
      {"zero channels", std::string("TVA1\0\x20\x03\0\0", 9), "zero channels"},
      // Refused from the header alone: the input after it is never held.
      {"more samples than any frame", std::string("TVA1\x02\xff\xff\xff\xff", 9) + std::string(1 << 20, 'x'),
       "4294967295 samples per channel, above 262144"},
      {"one sample past the bound", std::string("TVA1\x02\x01\x00\x04\x00", 9), "262145 samples per channel"},
  };
  for (auto& bad : cases) {
    SCOPED_TRACE(bad.name);
    std::filesystem::remove_all(dir_);
    auto wav = tva1({"wav", dir_.string()}, good + bad.tail);
    expectDataError(wav, bad.mentions);
    EXPECT_NE(wav.err[0].text.find("frame 2"), std::string::npos) << wav.err[0].text;
    std::string kept = readFile((dir_ / "channel-2.wav").string());
    ASSERT_EQ(kept.size(), 44u + 1600);
    EXPECT_EQ(u32At(kept, 40), 1600u);
    EXPECT_EQ(u32At(kept, 4), 36u + 1600);

    auto info = tva1({"info"}, good + bad.tail);
    expectDataError(info, bad.mentions);
    EXPECT_NE(info.out.find("frames: 1\n"), std::string::npos) << info.out;
  }
  auto first = tva1({"info"}, std::string("TVA1\0\x20\x03\0\0", 9));
  expectDataError(first, "frame 1 at byte 0: zero channels");
}

// A capture ended while a frame was being written leaves it cut short: the
// end of the stream, not an error, wherever the cut falls.
TEST_F(Tva1, ACutShortLastFrameEndsTheStreamWithANote) {
  std::string good = frame(2, constant(1600, 3));
  for (std::size_t cut : {std::size_t{2}, std::size_t{5}, std::size_t{9}, std::size_t{2000}}) {
    SCOPED_TRACE(cut);
    std::string stream = good + good.substr(0, cut);
    auto info = tva1({"info"}, stream);
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.out.find("frames: 1\n"), std::string::npos) << info.out;
    ASSERT_EQ(info.err.size(), 1u);
    EXPECT_NE(info.err[0].text.find("tva1: standard input: frame 2 at byte 3209: cut short"), std::string::npos) << info.err[0].text;

    std::filesystem::remove_all(dir_);
    auto wav = tva1({"wav", dir_.string()}, stream);
    EXPECT_EQ(wav.exitCode, 0);
    EXPECT_EQ(wav.err.size(), 1u);
    EXPECT_EQ(readFile((dir_ / "channel-2.wav").string()).size(), 44u + 1600);
    EXPECT_EQ(tva1({"pcm"}, stream).out.size(), 2u * 1600);
  }
  expectDataError(tva1({"info"}, good + "TVx"), "bad magic");
}

TEST_F(Tva1, ReadsTheStreamFromAFileOperandOrDash) {
  std::string stream = frame(1, constant(800, 100)) + frame(1, constant(900, -100));
  std::filesystem::create_directories(dir_);
  std::string path = (dir_ / "take.tva1").string();
  std::ofstream(path, std::ios::binary) << stream;
  auto piped = tva1({"info"}, stream);
  ASSERT_EQ(piped.exitCode, 0);
  EXPECT_EQ(tva1({"info", path}).out, piped.out);
  EXPECT_EQ(tva1({"info", "-"}, stream).out, piped.out);
  EXPECT_EQ(tva1({"pcm", path}).out.size(), 2u * 1700);
  EXPECT_TRUE(tva1({"meter", "--tee", path}).out == stream);
  ASSERT_EQ(tva1({"wav", (dir_ / "out").string(), path}).exitCode, 0);
  EXPECT_EQ(readFile((dir_ / "out" / "channel-1.wav").string()).size(), 44u + 2 * 1700);
  EXPECT_EQ(tva1({"info", (dir_ / "missing.tva1").string()}).exitCode, 1);
  expectRefusal(tva1({"info", path, path}), "unexpected argument");
}

// Ctrl-C on `tavirel-audio run | tva1 wav out/` must leave files that
// players read to the last frame written, not files that claim no data.
TEST_F(Tva1, AnInterruptedWavLeavesFilesThatPlayToTheLastFrame) {
  RunningProcess wav(builtProgram("tva1"), {"wav", dir_.string()});
  const std::size_t frames = 20;
  for (std::size_t i = 0; i < frames; ++i) wav.write(frame(2, constant(2 * 800, static_cast<std::int16_t>(i))));
  const auto last = dir_ / "channel-2.wav";
  const std::uintmax_t full = 44 + 2 * 800 * frames;
  for (int i = 0; i < 2000 && !(std::filesystem::exists(last) && std::filesystem::file_size(last) == full); ++i)
    std::this_thread::sleep_for(Milliseconds(10));
  ASSERT_EQ(std::filesystem::file_size(last), full);
  kill(wav.pid(), SIGINT);
  EXPECT_EQ(wav.wait(Milliseconds(20000)).signal, SIGINT);
  for (const char* name : {"channel-1.wav", "channel-2.wav"}) {
    auto soxi = runProcess("/usr/bin/soxi", {"-D", (dir_ / name).string()});
    EXPECT_EQ(soxi.out, "1.000000\n") << name;  // 20 frames of 800 samples at 16 kHz
  }
}

TEST_F(Tva1, InfoCountsSamplesAndMeasuresLevels) {
  // Channel 1 a full-scale square wave, channel 2 half scale, channel 3 silent.
  std::vector<std::int16_t> planar;
  for (int i = 0; i < 1000; ++i) planar.push_back(i % 2 ? -32767 : 32767);
  for (int i = 0; i < 1000; ++i) planar.push_back(i % 2 ? -16384 : 16384);
  auto silent = constant(1000, 0);
  planar.insert(planar.end(), silent.begin(), silent.end());
  std::string stream = frame(3, planar) + frame(3, planar);
  auto result = tva1({"info"}, stream);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.err.empty());
  EXPECT_EQ(result.out,
            "frames: 2\nchannels: 3\nsamples per channel: 2000 (0.125 s at 16000 Hz)\n"
            "channel 1: peak 0.00 dBFS, rms 0.00 dBFS\n"
            "channel 2: peak -6.02 dBFS, rms -6.02 dBFS\n"
            "channel 3: peak -inf dBFS, rms -inf dBFS\n");
  EXPECT_EQ(tva1({"info"}).out, "frames: 0\nchannels: 0\nsamples per channel: 0 (0.000 s at 16000 Hz)\n");
}

TEST_F(Tva1, EncodeWritesTheStreamARunWritesForTheSameAudio) {
  // A simulated console delivering blocks of 8192 frames at 44.1 kHz; the
  // third channel overdriven into the clamp.
  const double rate = 44100;
  auto device = run_scenario::desk(3, rate);
  device["blockFrames"] = 8192;
  device["signals"] = {{{"kind", "sine"}, {"frequency", 440}, {"amplitude", 0.5}},
                       {{"kind", "silence"}},
                       {{"kind", "sine"}, {"frequency", 5000}, {"amplitude", 1.3}}};
  auto scenario = run_scenario::world(device);
  scenario["speed"] = 8;
  run_scenario::Streaming run(scenario, {"--device", "Desk", "--channels", "3,1,3"});
  const std::size_t enough = 4 * (9 + 2 * 3 * 2731);
  run.process.waitFor([&](const ProcessResult& r) { return r.out.size() >= enough; }, Milliseconds(20000));
  run.process.closeInput();
  auto streamed = run.process.wait(Milliseconds(20000));
  ASSERT_GE(streamed.out.size(), enough);

  // The same samples, as the simulated device computes them, picked 3, 1, 3.
  auto sample = [&](double frequency, double amplitude, std::uint64_t frame) {
    double phase = std::fmod(frequency * static_cast<double>(frame) / rate, 1.0);
    return static_cast<float>(amplitude * std::sin(6.283185307179586 * phase));
  };
  std::vector<float> input;
  for (std::uint64_t frame = 0; frame < 6 * 8192; ++frame) {
    float loud = sample(5000, 1.3, frame);
    input.insert(input.end(), {loud, sample(440, 0.5, frame), loud});
  }
  auto encoded = tva1({"encode", "--rate", "44100", "--channels", "3"}, floats(input));
  ASSERT_EQ(encoded.exitCode, 0);
  ASSERT_GE(encoded.out.size(), enough);
  EXPECT_TRUE(encoded.out.compare(0, enough, streamed.out, 0, enough) == 0);
}

}  // namespace
