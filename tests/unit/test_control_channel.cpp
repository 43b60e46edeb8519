// The reader on standard input with the main thread's loop behind it, in a
// child process, since the reader ends the process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "main/control_channel.h"
#include "platform/host.h"
#include "platform/sim/sim_world.h"
#include "tests/unit/forked.h"

using nlohmann::json;
using testing_support::runForked;

namespace {
struct Outcome {
  int exitCode;
  std::vector<json> events;
  double seconds;
};

Outcome channelWith(const std::string& input, const sim::World& world) {
  auto start = std::chrono::steady_clock::now();
  auto ended = runForked([&] {
    sim::configure(world);
    int in[2];
    if (pipe(in) != 0) _exit(98);
    dup2(in[0], STDIN_FILENO);
    close(in[0]);
    std::thread([&input, writer = in[1]] {
      std::size_t done = 0;
      while (done < input.size()) {
        auto wrote = write(writer, input.data() + done, input.size() - done);
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
      }
      close(writer);
    }).detach();
    std::thread(controlChannelReader).detach();
    host::runMainLoop();
  });
  Outcome outcome{ended.exitCode, {}, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
  std::size_t from = 0;
  for (auto end = ended.err.find('\n'); end != std::string::npos; from = end + 1, end = ended.err.find('\n', from))
    outcome.events.push_back(json::parse(ended.err.substr(from, end - from)));
  EXPECT_EQ(from, ended.err.size()) << "a torn event line";
  return outcome;
}

sim::World lightsAndSound() {
  sim::World world;
  world.midi.destinations = {{"Lights"}, {"Sound"}};
  return world;
}

json sentTo(const std::string& dest, std::vector<int> bytes) {
  return {{"event", "midi-sent"}, {"dest", dest}, {"bytes", bytes}};
}

TEST(ControlChannel, EveryMidiLineIsSentInOrderAndTheLastLineCountsWithoutLineFeed) {
  auto outcome = channelWith(
      "{\"midi\": [144, 60, 127], \"dest\": \"Lights\"}\n"
      "{\"midi\": [-5, 300, 64], \"dest\": \"sound\"}\n"
      "{\"midi\": [1], \"dest\": \"Video\"}\n"
      "{\"midi\": [], \"dest\": \"LIGHTS\"}\n"
      "{\"midi\": [2]}\n"
      "{\"midi\": [176, 7, 100], \"dest\": \"Sound\"}",
      lightsAndSound());
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.events, (std::vector<json>{sentTo("Lights", {144, 60, 127}), sentTo("Sound", {0, 255, 64}),
                                               {{"event", "midi-error"}, {"msg", "MIDI destination not found: Video"}},
                                               sentTo("Lights", {}),
                                               {{"event", "midi-error"}, {"msg", "MIDI destination not found: "}},
                                               sentTo("Sound", {176, 7, 100})}));
}

TEST(ControlChannel, BadLinesAreIgnoredSilentlyAndReadingGoesOn) {
  std::string input = "\n" "plain text\n" "[1, 2]\n" "{\"midi\": [144, \"60\"], \"dest\": \"Lights\"}\n"
                      "{\"dest\": \"\xC3\x28\", \"midi\": [1]}\n" "{\"midi\": [99999999999999999999999], \"dest\": \"Lights\"}\n";
  input += std::string(100'000, '[') + "\n";
  input += std::string(maxControlLineBytes, ' ') + "{\"midi\": [3], \"dest\": \"Lights\"}\n";  // too long a line, valid or not
  input += "{\"midi\": [4], \"dest\": \"Lights\"}\n";
  auto outcome = channelWith(input, lightsAndSound());
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.events, (std::vector<json>{sentTo("Lights", {255}), sentTo("Lights", {4})}));
}

TEST(ControlChannel, QuitEndsAfterTheMessagesHandedOverBeforeIt) {
  auto outcome = channelWith(
      "{\"midi\": [1], \"dest\": \"Lights\"}\n"
      "{\"quit\": false, \"midi\": [2], \"dest\": \"Sound\"}\n"
      "{\"midi\": [3], \"dest\": \"Lights\"}\n",
      lightsAndSound());
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.events, (std::vector<json>{sentTo("Lights", {1}), sentTo("Sound", {2})}));

  outcome = channelWith("{\"midi\": [144, \"60\"], \"quit\": null}\n{\"midi\": [3], \"dest\": \"Lights\"}\n",
                        lightsAndSound());
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_TRUE(outcome.events.empty());
}

TEST(ControlChannel, QuitEndsTheProcessEvenWhenTheMidiServiceHangs) {
  auto world = lightsAndSound();
  world.midi.listingHangs = true;
  auto outcome = channelWith("{\"midi\": [1], \"dest\": \"Lights\", \"quit\": true}\n", world);
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_TRUE(outcome.events.empty());
  EXPECT_LT(outcome.seconds, 10.0);
}
}  // namespace
