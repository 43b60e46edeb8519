// How a run ends when the parent does what parents do: stops its helper with
// a signal, never reads standard error, or talks to a MIDI service that hangs.
#include <gtest/gtest.h>
#include <signal.h>

#include <random>
#include <thread>

#include "tests/process/run_scenario.h"

using namespace run_scenario;

namespace {
// The grace for the last writes, and slack for a loaded machine.
constexpr double endWithinMs = 2000 + 700;

json lightsOnDesk(json device = desk()) {
  auto scenario = world(std::move(device));
  scenario["midi"] = {{"destinations", {"Lights"}}};
  return scenario;
}

// True when `out` is a sequence of whole TVA1 frames.
bool wholeFrames(const std::string& out) {
  std::size_t at = 0;
  while (out.size() - at >= 9) {
    if (out.compare(at, 4, "TVA1") != 0) return false;
    std::size_t count = static_cast<unsigned char>(out[at + 4]), samples = 0;
    for (int i = 0; i < 4; ++i) samples |= std::size_t(static_cast<unsigned char>(out[at + 5 + i])) << (8 * i);
    at += 9 + 2 * count * samples;
  }
  return at == out.size();
}

std::string midiLines(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i)
    lines += "{\"midi\": [176, " + std::to_string(i / 128) + ", " + std::to_string(i % 128) + "], \"dest\": \"Lights\"}\n";
  return lines;
}

// Each signal at a random moment of the stream, a MIDI line written just
// before it: the line is sent, the stream ends on a whole frame, exit 0.
TEST(Signals, TermIntAndHupEndTheRunAsQuitDoes) {
  std::mt19937 random(std::random_device{}());
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    Streaming run(lightsOnDesk(), {"--device", "Desk", "--channels", "1,2,3"});
    ASSERT_TRUE(run.process.waitFor([](const ProcessResult& r) { return !r.err.empty() && !r.out.empty(); },
                                    Milliseconds(10000)));
    std::this_thread::sleep_for(Milliseconds(std::uniform_int_distribution<int>(0, 700)(random)));
    run.process.write("{\"midi\": [144, 60, 127], \"dest\": \"Lights\"}\n");
    double signalledMs = run.process.elapsedMs();
    kill(run.process.pid(), signal);
    auto result = run.process.wait(Milliseconds(10000));
    EXPECT_EQ(result.signal, 0) << signal;
    EXPECT_EQ(result.exitCode, 0) << signal;
    EXPECT_LT(run.process.elapsedMs() - signalledMs, endWithinMs) << signal;
    EXPECT_EQ(result.events().back(), (json{{"event", "midi-sent"}, {"dest", "Lights"}, {"bytes", {144, 60, 127}}}))
        << signal;
    EXPECT_TRUE(wholeFrames(result.out)) << signal;
  }
}

// Nobody reads standard error, and 3 000 MIDI answers fill its pipe: quit,
// the end of input and a vanishing device still end the run on time.
TEST(UnreadStandardError, QuitEndOfInputAndAVanishingDeviceEndTheRunOnTime) {
  enum Ending { quit, endOfInput, vanishing };
  constexpr double vanishAtMs = 3000;
  for (auto ending : {quit, endOfInput, vanishing}) {
    auto device = desk();
    if (ending == vanishing) device["vanishAtMs"] = vanishAtMs;
    ScenarioFile file(lightsOnDesk(device));
    SupportLogFile log;
    auto env = file.env();
    env.push_back(log.env());
    RunningProcess process(builtProgram("tavirel-audio-sim"), runArgs({"--device", "Desk"}), env);
    ASSERT_TRUE(process.waitFor([](const ProcessResult& r) { return !r.err.empty(); }, Milliseconds(10000)));
    process.stallErrors();
    process.write(midiLines(3000));
    // The end is timed from the last send (the support log tells), so that a
    // slow build is not taken for a late end.
    auto sends = [&log] {
      auto text = log.text();
      std::size_t count = 0;
      for (auto at = text.find("MIDI: sent"); at != std::string::npos; at = text.find("MIDI: sent", at + 1)) ++count;
      return count;
    };
    if (ending != vanishing) {
      for (int i = 0; i < 400 && sends() < 3000; ++i) std::this_thread::sleep_for(Milliseconds(50));
      EXPECT_EQ(sends(), 3000u) << ending;
    }
    double askedMs = process.elapsedMs();
    if (ending == quit) process.write("{\"quit\": true}\n");
    if (ending == endOfInput) process.closeInput();
    if (ending == vanishing) askedMs = vanishAtMs + 1000;  // the tick that finds it comes within 1 s
    auto result = process.wait(Milliseconds(15000));
    EXPECT_FALSE(result.timedOut) << ending;
    EXPECT_EQ(result.exitCode, ending == vanishing ? 3 : 0) << ending;
    EXPECT_LT(process.elapsedMs() - askedMs, endWithinMs) << ending;
    for (auto& event : result.events()) ASSERT_TRUE(event.is_object()) << event;  // no line torn
  }
}

// A MIDI service that never answers, with a message waiting for it, leaves
// the watchdog alone: the vanishing device ends the run with its error.
TEST(HungMidiService, AVanishingDeviceStillEndsTheRunWithItsError) {
  constexpr double vanishAtMs = 3000;
  auto device = desk();
  device["vanishAtMs"] = vanishAtMs;
  auto scenario = lightsOnDesk(device);
  scenario["midi"]["listingHangs"] = true;
  Streaming run(scenario, {"--device", "Desk"});
  ASSERT_TRUE(run.process.waitFor([](const ProcessResult& r) { return !r.err.empty(); }, Milliseconds(10000)));
  run.process.write(midiLines(3));
  auto result = run.process.wait(Milliseconds(15000));
  EXPECT_EQ(result.exitCode, 3);
  auto* finding = findEvent(result, "error");
  ASSERT_NE(finding, nullptr);
  EXPECT_EQ(json::parse(finding->text), error("Audio device disconnected"));
  EXPECT_LT(finding->atMs - vanishAtMs, 1000 + endWithinMs);
}
}  // namespace
