// The built program on a real PipeWire graph: a private daemon, a 32-channel
// source node fed with a known recording, and the program listing it,
// capturing it (two programs at once), and ending when it goes or the graph's
// rate changes. Everything runs in one process against one daemon.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <algorithm>
#include <array>
#include <signal.h>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "tests/pipewire/pipewire_daemon.h"
#include "tests/support/process_runner.h"
#include "tests/support/tva1_samples.h"

namespace {
using nlohmann::json;
using namespace testing_support;
using namespace pipewire_test;

constexpr int consoleChannels = 32;
constexpr int recordingFrames = 48000;
// Silence after the recording: pw-cat leaves out the end of its last block.
constexpr int trailingFrames = 8192;

float recorded(int channel, int frame) {
  // A tone and level of its own per channel, and a little noise, so that no
  // channel could pass for another and the first sample is not zero.
  double tone = 0.5 / (1 + channel % 7) * std::sin(2 * M_PI * (110.0 + 37.0 * channel) * frame / 48000.0);
  std::uint32_t x = static_cast<std::uint32_t>(frame) * 2654435761u + static_cast<std::uint32_t>(channel) * 40503u;
  return static_cast<float>(tone + (static_cast<double>(x % 1000) - 500.0) * 1e-5);
}

template <typename T>
void put(std::ofstream& out, T value) {
  out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

// The recording as a 32-bit float WAV file, which pw-cat reads sample for sample.
void writeRecording(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  std::uint32_t frames = recordingFrames + trailingFrames;
  std::uint32_t dataBytes = frames * consoleChannels * 4;
  out.write("RIFF", 4);
  put<std::uint32_t>(out, 36 + dataBytes);
  out.write("WAVEfmt ", 8);
  put<std::uint32_t>(out, 16);
  put<std::uint16_t>(out, 3);  // IEEE float
  put<std::uint16_t>(out, consoleChannels);
  put<std::uint32_t>(out, 48000);
  put<std::uint32_t>(out, 48000 * consoleChannels * 4);
  put<std::uint16_t>(out, consoleChannels * 4);
  put<std::uint16_t>(out, 32);
  out.write("data", 4);
  put<std::uint32_t>(out, dataBytes);
  for (std::uint32_t frame = 0; frame < frames; ++frame)
    for (int channel = 0; channel < consoleChannels; ++channel)
      put<float>(out, frame < recordingFrames ? recorded(channel, static_cast<int>(frame)) : 0.0f);
}

std::string channelMap() {
  std::string map;
  for (int channel = 0; channel < consoleChannels; ++channel) {
    if (channel > 0) map += ',';
    map.append("AUX").append(std::to_string(channel));
  }
  return map;
}

bool started(const ProcessResult& result) {
  for (const auto& event : result.events())
    if (event.is_object() && event.value("event", "") == "started") return true;
  return false;
}

std::string lastMessage(const ProcessResult& result) {
  auto events = result.events();
  return events.empty() || !events.back().is_object() ? "" : events.back().value("msg", "");
}

using Channels = std::vector<std::vector<float>>;

// The recording's channels `picks` (1-based).
Channels recordingOf(const std::vector<int>& picks) {
  Channels channels;
  for (int pick : picks) {
    auto& samples = channels.emplace_back();
    for (int frame = 0; frame < recordingFrames; ++frame) samples.push_back(recorded(pick - 1, frame));
  }
  return channels;
}

// What pw-record wrote of the node's channels `picks`, from its first sound
// on: the reference of what the graph delivered.
Channels recordedOf(const std::string& path, const std::vector<int>& picks) {
  std::ifstream in(path, std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Channels channels(picks.size());
  auto data = file.find("data");
  if (data == std::string::npos) return channels;
  const char* frames = file.data() + data + 8;
  std::size_t count = (file.size() - data - 8) / (4 * consoleChannels);
  auto at = [&](std::size_t frame, int channel) {
    float sample;
    std::memcpy(&sample, frames + (frame * consoleChannels + static_cast<std::size_t>(channel)) * 4, 4);
    return sample;
  };
  std::size_t first = 0;
  while (first < count && at(first, picks[0] - 1) == 0.0f) ++first;
  for (std::size_t frame = first; frame < count; ++frame)
    for (std::size_t c = 0; c < picks.size(); ++c) channels[c].push_back(at(frame, picks[c] - 1));
  return channels;
}

// What tva1 encode makes of `channels` after `phase` silent frames.
std::vector<std::vector<std::int16_t>> encoded(const Channels& channels, int phase) {
  std::size_t frames = channels.empty() ? 0 : channels[0].size();
  std::string input(static_cast<std::size_t>(phase) * channels.size() * 4, '\0');
  for (std::size_t frame = 0; frame < frames; ++frame)
    for (const auto& channel : channels) input.append(reinterpret_cast<const char*>(&channel[frame]), 4);
  auto result = runProcess(builtProgram("tva1"),
                           {"encode", "--rate", "48000", "--channels", std::to_string(channels.size())}, {}, input);
  EXPECT_EQ(result.exitCode, 0);
  return tva1Samples(result.out);
}

std::ptrdiff_t firstSound(const std::vector<std::int16_t>& samples) {
  return std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; }) - samples.begin();
}

// Where the encoded `source` lies in a captured stream: the decimation phase
// and the silence before it that make the longest exact start, and how long
// that start is.
struct Placed {
  std::vector<std::vector<std::int16_t>> expected;
  std::ptrdiff_t shift = -1;
  std::ptrdiff_t exactFor = 0;
};

// The capture may begin at any phase of the 48:16 decimation: the encoder
// is given 0, 1 or 2 silent frames first, and the one that agrees longest wins.
Placed place(const std::vector<std::vector<std::int16_t>>& captured, const Channels& source) {
  Placed best;
  for (int phase = 0; phase < 3; ++phase) {
    auto expected = encoded(source, phase);
    if (expected.size() != source.size() || captured.size() != source.size()) return best;
    auto shift = firstSound(captured[0]) - firstSound(expected[0]);
    if (shift < 0) continue;
    std::ptrdiff_t exact = std::ssize(expected[0]);
    for (std::size_t c = 0; c < source.size(); ++c) {
      auto start = captured[c].begin() + std::min<std::ptrdiff_t>(shift, std::ssize(captured[c]));
      auto length = std::min<std::ptrdiff_t>(captured[c].end() - start, std::ssize(expected[c]));
      exact = std::min(exact, std::mismatch(start, start + length, expected[c].begin()).first - start);
    }
    if (best.shift < 0 || exact > best.exactFor) best = {std::move(expected), shift, exact};
  }
  return best;
}

// `stream` carries the encoded recording of channels `picks`, whole, after
// the silence before the recording began.
void expectEncodedRecording(const std::string& stream, const std::vector<int>& picks) {
  auto placed = place(tva1Samples(stream), recordingOf(picks));
  ASSERT_FALSE(placed.expected.empty());
  EXPECT_EQ(placed.exactFor, std::ssize(placed.expected[0])) << "the captured channels differ from the encoded recording";
}

// What is wrong with `captured` as `placed` but for one gap of about the
// length the program stood still (200 ms; the graph holds a few cycles for a
// follower): "" when it differs from the source only there, with silence in
// place of what was lost and everything after it where it was in time.
// The sanitizers' builds run far slower than real time: the program is held
// up well past the stall, at worst to the end of the recording.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool slowBuild = true;
constexpr std::ptrdiff_t longestSilence = 16000;
#else
constexpr bool slowBuild = false;
constexpr std::ptrdiff_t longestSilence = 16000 / 4;
#endif

std::string lossInPlace(const std::vector<std::vector<std::int16_t>>& captured, const Placed& placed) {
  if (placed.expected.empty()) return "nothing to compare";
  const auto& expected = placed.expected[0];
  if (placed.exactFor >= std::ssize(expected)) return "no gap where the program stood still";
  // The silence: the first 10 ms of zeros from where the stream differs.
  std::array<std::int16_t, 160> quiet{};
  auto differs = captured[0].begin() + placed.shift + placed.exactFor;
  auto silenceAt = std::search(differs, captured[0].end(), quiet.begin(), quiet.end());
  auto silence = std::find_if(silenceAt, captured[0].end(), [](std::int16_t s) { return s != 0; }) - silenceAt;
  if (silence < 16000 / 20 || silence > longestSilence) return "silence of " + std::to_string(silence) + " samples";
  // Once the filters have settled, every sample is where it was without the loss.
  auto settled = (silenceAt - captured[0].begin()) + silence + 300 - placed.shift;
  if (settled >= std::ssize(expected)) return slowBuild ? "" : "the gap at the very end";
  for (std::size_t c = 0; c < captured.size(); ++c)
    if (!std::equal(placed.expected[c].begin() + settled, placed.expected[c].end(),
                    captured[c].begin() + placed.shift + settled))
      return "channel " + std::to_string(c) + " out of time after the gap";
  return "";
}

class PipeWireCapture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    missing = new std::string(missingPrograms());
    if (!missing->empty()) return;
    daemon = new PrivateDaemon;
    recording = new std::string("/tmp/tavirel-pw-recording-" + std::to_string(getpid()) + ".wav");
    writeRecording(*recording);
  }
  static void TearDownTestSuite() {
    delete daemon;
    if (recording != nullptr) std::remove(recording->c_str());
    delete recording;
    delete missing;
  }
  void SetUp() override {
    if (!missing->empty())
      GTEST_SKIP() << "PipeWire is not installed (missing " << *missing << "); scripts/setup installs it";
    ASSERT_TRUE(daemon->answering()) << "the private PipeWire daemon did not answer";
  }

  static const Environment& env() { return daemon->environment(); }
  // For the feed and the console: with the real-time module, as the program
  // has it, so that under load neither misses a cycle and drops samples.
  static Environment realTime() {
    auto environment = env();
    environment.emplace_back("PIPEWIRE_CONFIG_NAME", "client-rt.conf");
    return environment;
  }

  static json list() {
    auto result = runProcess(builtProgram("tavirel-audio"), {"list"}, env());
    EXPECT_EQ(result.exitCode, 0);
    try {
      return json::parse(result.out);
    } catch (const json::exception&) {
      return json::object();
    }
  }

  static json listed(const std::string& uid) {
    auto document = list();
    for (const auto& input : document.value("inputs", json::array()))
      if (input.value("uid", "") == uid) return input;
    return nullptr;
  }

  // A 32-channel source node named `uid`, present while the returned process
  // runs: the playback side of a loopback whose capture side is the sink
  // `uid`-feed, so that what is played into that sink comes out of the source.
  static std::unique_ptr<RunningProcess> console(const std::string& uid) {
    std::string map = "[";
    map.append(channelMap()).append("]");
    std::string sink = "media.class=Audio/Sink node.name=";
    sink.append(uid).append("-feed");
    std::string source = "media.class=Audio/Source node.description=\"Test Console 32\" node.name=";
    source.append(uid);
    auto loopback = std::make_unique<RunningProcess>(
        installed("pw-loopback"),
        std::vector<std::string>{"--channels", std::to_string(consoleChannels), "-m", map,
                                 "--capture-props", sink, "--playback-props", source},
        realTime());
    for (int attempt = 0; attempt < 50 && listed(uid).is_null(); ++attempt)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return loopback;
  }

  static std::unique_ptr<RunningProcess> run(const std::vector<std::string>& args) {
    return std::make_unique<RunningProcess>(builtProgram("tavirel-audio"), args, env());
  }

  static void play(const std::string& feed) {
    auto played = runProcess(installed("pw-cat"),
                             {"--playback", "--target", feed, "--rate", "48000", "--channels",
                              std::to_string(consoleChannels), "--channel-map", channelMap(), "--format", "f32",
                              *recording},
                             realTime(), "", Milliseconds(20000));
    EXPECT_EQ(played.exitCode, 0) << played.out;
  }

  // pw-record of all the node's channels into `path`, as the reference of
  // what the graph delivered; it ends on SIGINT.
  static std::unique_ptr<RunningProcess> recordNode(const std::string& uid, const std::string& path) {
    return std::make_unique<RunningProcess>(
        installed("pw-record"),
        std::vector<std::string>{"--target", uid, "--rate", "48000", "--channels", std::to_string(consoleChannels),
                                 "--channel-map", channelMap(), "--format", "f32", path},
        realTime());
  }
  static void stop(RunningProcess& recorder) {
    kill(recorder.pid(), SIGINT);
    recorder.wait(Milliseconds(3000));
  }

  // Ends the run, then pw-record beside it: the run's result, and what the
  // reference holds of channels `picks`.
  static std::pair<ProcessResult, Channels> endWithReference(RunningProcess& capture, RunningProcess& recorder,
                                                             const std::string& path, const std::vector<int>& picks) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    capture.closeInput();
    auto result = capture.wait(Milliseconds(5000));
    stop(recorder);
    auto delivered = recordedOf(path, picks);
    std::remove(path.c_str());
    return {std::move(result), std::move(delivered)};
  }

  static void setting(const std::string& key, const std::string& value) {
    auto set = runProcess(installed("pw-metadata"), {"-n", "settings", "0", key, value}, env());
    EXPECT_EQ(set.exitCode, 0);
  }

  static std::string* missing;
  static PrivateDaemon* daemon;
  static std::string* recording;
};

std::string* PipeWireCapture::missing = nullptr;
PrivateDaemon* PipeWireCapture::daemon = nullptr;
std::string* PipeWireCapture::recording = nullptr;

TEST_F(PipeWireCapture, ListShowsTheSourceWithAllItsChannelsAndNotTheSink) {
  auto node = console("tv-list");
  auto entry = listed("tv-list");
  ASSERT_FALSE(entry.is_null());
  EXPECT_EQ(entry, (json{{"name", "Test Console 32"},
                         {"uid", "tv-list"},
                         {"channels", 32},
                         {"rate", 48000.0},
                         {"rates", {48000.0}}}));
  EXPECT_TRUE(listed("tv-list-feed").is_null());
}

TEST_F(PipeWireCapture, TwoProgramsAtOnceStreamTheRecordingBitForBit) {
  auto node = console("tv-desk");
  auto first = run({"run", "--device", "tv-desk", "--channels", "1,17,32"});
  auto second = run({"run", "--device", "Test Console 32", "--channels", "32,1"});
  ASSERT_TRUE(first->waitFor(started, Milliseconds(5000)));
  ASSERT_TRUE(second->waitFor(started, Milliseconds(5000)));
  play("tv-desk-feed");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  first->closeInput();
  second->closeInput();
  auto one = first->wait(Milliseconds(5000));
  auto two = second->wait(Milliseconds(5000));
  ASSERT_EQ(one.exitCode, 0) << lastMessage(one);
  ASSERT_EQ(two.exitCode, 0) << lastMessage(two);
  EXPECT_EQ(one.events().front(), (json{{"event", "started"},
                                        {"device", "Test Console 32"},
                                        {"rate", 48000.0},
                                        {"deviceChannels", 32},
                                        {"channels", {1, 17, 32}}}));
  expectEncodedRecording(one.out, {1, 17, 32});
  expectEncodedRecording(two.out, {32, 1});
}

TEST_F(PipeWireCapture, ACheckJudgesEveryChannelOfTheNodeAndTheGraphsClock) {
  auto node = console("tv-check");
  auto result = runProcess(builtProgram("tavirel-audio"), {"check", "--device", "tv-check", "--seconds", "2"}, env());
  ASSERT_EQ(result.exitCode, 0) << lastMessage(result);
  auto document = json::parse(result.out);
  ASSERT_EQ(document["channels"].size(), 32u);
  for (const auto& channel : document["channels"]) EXPECT_EQ(channel["state"], "zero") << channel;
  // The private daemon's graph runs on the system clock itself.
  ASSERT_TRUE(document["clock"]["ppm"].is_number()) << document["clock"];
  EXPECT_NEAR(document["clock"]["ppm"].get<double>(), 0, 200);
}

TEST_F(PipeWireCapture, ANodeThatGoesAwayEndsTheRunAsDisconnected) {
  auto node = console("tv-gone");
  auto capture = run({"run", "--device", "tv-gone", "--channels", "2"});
  ASSERT_TRUE(capture->waitFor(started, Milliseconds(5000)));
  node.reset();
  auto result = capture->wait(Milliseconds(6000));
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(lastMessage(result), "Audio device disconnected");
}

// A daemon whose process is stopped answers nothing however long we wait:
// the listing goes on without it after half a second, as the parent is
// promised. One that stalls mid-run with its node still there is no
// disconnected device: it is silence, which the silence check may report.
TEST_F(PipeWireCapture, AStoppedDaemonIsNotWaitedForAndAStallDisconnectsNothing) {
  auto node = console("tv-stall");
  daemon->stall(true);
  auto began = std::chrono::steady_clock::now();
  auto entry = listed("tv-stall");
  auto took = std::chrono::steady_clock::now() - began;
  daemon->stall(false);
  EXPECT_TRUE(entry.is_null()) << "the listing waited for a stopped daemon";
  EXPECT_LT(took, std::chrono::milliseconds(2500));

  auto capture = run({"run", "--device", "tv-stall", "--channels", "1"});
  ASSERT_TRUE(capture->waitFor(started, Milliseconds(5000)));
  // Longer than a device-list read waits (2 s).
  daemon->stall(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  daemon->stall(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  capture->closeInput();
  auto result = capture->wait(Milliseconds(5000));
  if (result.exitCode != 0) {
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(lastMessage(result), "No audio from device for 3 s");
  }
}

TEST_F(PipeWireCapture, AGraphRateChangeEndsTheRun) {
  auto node = console("tv-clock");
  auto capture = run({"run", "--device", "tv-clock", "--channels", "1"});
  ASSERT_TRUE(capture->waitFor(started, Milliseconds(5000)));
  setting("clock.force-rate", "44100");
  auto result = capture->wait(Milliseconds(6000));
  setting("clock.force-rate", "0");
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(lastMessage(result), "Sample rate changed to 44100 Hz");
}

TEST_F(PipeWireCapture, ARateIsAskedOfTheGraphOnlyWhenItAllowsIt) {
  auto node = console("tv-ask");
  auto refused = runProcess(builtProgram("tavirel-audio"), {"run", "--device", "tv-ask", "--rate", "44100"}, env());
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(lastMessage(refused),
            "Test Console 32 refused 44100 Hz (now 48000 Hz). The console's clock may decide the rate.");

  setting("clock.allowed-rates", "[ 44100 48000 ]");
  auto capture = run({"run", "--device", "tv-ask", "--rate", "44100"});
  bool began = capture->waitFor(started, Milliseconds(5000));
  capture->closeInput();
  auto result = capture->wait(Milliseconds(5000));
  auto rates = listed("tv-ask").value("rates", json::array());
  setting("clock.force-rate", "0");
  setting("clock.allowed-rates", "[ 48000 ]");
  ASSERT_TRUE(began) << lastMessage(result);
  EXPECT_EQ(result.events().front().value("rate", 0.0), 44100.0);
  EXPECT_EQ(rates, (json{44100.0, 48000.0}));
}
// The graph changes its quantum and its clients while the recording plays:
// the stream keeps every frame and adds nothing, as pw-record of the node
// shows the graph delivered it.
TEST_F(PipeWireCapture, QuantumChangesAndClientsComingAndGoingPutNoSilenceIn) {
  auto node = console("tv-busy");
  std::string reference = "/tmp/tavirel-pw-reference-" + std::to_string(getpid()) + ".wav";
  std::string visitor = reference + ".visitor.wav";
  auto capture = run({"run", "--device", "tv-busy", "--channels", "1,32"});
  ASSERT_TRUE(capture->waitFor(started, Milliseconds(5000)));
  auto whole = recordNode("tv-busy", reference);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::thread changes([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    setting("clock.force-quantum", "2048");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    setting("clock.force-quantum", "0");
  });
  std::thread comings([&visitor] {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    auto client = recordNode("tv-busy", visitor);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    stop(*client);
  });
  play("tv-busy-feed");
  changes.join();
  comings.join();
  auto [result, delivered] = endWithReference(*capture, *whole, reference, {1, 32});
  std::remove(visitor.c_str());
  ASSERT_EQ(result.exitCode, 0) << lastMessage(result);
  // The graph itself may put in or leave out a few frames as the quantum
  // changes; the reference has those too. Over the recording and a little
  // after, the stream is exactly what the reference holds.
  ASSERT_GT(delivered[0].size(), static_cast<std::size_t>(recordingFrames)) << "pw-record holds too little";
  for (auto& channel : delivered) channel.resize(recordingFrames + 4096);
  auto placed = place(tva1Samples(result.out), delivered);
  ASSERT_FALSE(placed.expected.empty());
  EXPECT_EQ(placed.exactFor, std::ssize(placed.expected[0]))
      << "the stream differs from what the graph delivered after " << static_cast<double>(placed.exactFor) / 16000
      << " s";
}

// The program stands still for 200 ms while the graph goes on: what the node
// carried meanwhile is lost, and the stream holds silence of that length in
// its place, so that everything after it is where it belongs in time.
TEST_F(PipeWireCapture, CyclesTheProgramMissedAreSilenceInTheirPlace) {
  auto node = console("tv-miss");
  std::string reference = "/tmp/tavirel-pw-reference-" + std::to_string(getpid()) + ".wav";
  auto capture = run({"run", "--device", "tv-miss", "--channels", "1,17"});
  ASSERT_TRUE(capture->waitFor(started, Milliseconds(5000)));
  auto whole = recordNode("tv-miss", reference);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  pid_t program = capture->pid();
  std::thread stall([program] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(program, SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(program, SIGCONT);
  });
  play("tv-miss-feed");
  stall.join();
  auto [result, delivered] = endWithReference(*capture, *whole, reference, {1, 17});
  ASSERT_EQ(result.exitCode, 0) << lastMessage(result);
  ASSERT_GT(delivered[0].size(), static_cast<std::size_t>(recordingFrames)) << "pw-record holds too little";
  for (auto& channel : delivered) channel.resize(recordingFrames + 4096);

  // Judged against what the graph delivered (pw-record of the node), and
  // against the recording itself for when pw-record lost some of it.
  auto captured = tva1Samples(result.out);
  std::string problems;
  for (const auto& source : {delivered, recordingOf({1, 17})}) {
    std::string problem = lossInPlace(captured, place(captured, source));
    if (problem.empty()) return;
    problems += problem + "; ";
  }
  ADD_FAILURE() << problems;
}
}  // namespace
